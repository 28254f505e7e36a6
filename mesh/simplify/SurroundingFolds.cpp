// The save check calls a triangle folded when it faces away from the sum of
// the normals (weighted by area) of every triangle at its corners by more
// than about 107 degrees. A collapse changes those sums for every triangle
// with a corner on the fan, not only for the fan's own: merging small
// triangles into a large one can tip the sum against a small neighbour
// across a sharp rim, though no triangle turns. Near a sharp crease, a trial
// collapse works out the sums before and after at the vertices it reads and
// tests the fan's triangles, and the triangles around any of its outer
// vertices with a sharp crease. The crease bounds are only kept for the
// edges at a vertex, so they cannot prove every other triangle safe; what
// slips through is rare, and the simplify stage's own check of the result
// finds it.
//
// The hub of a fan (a round face closed from its centre) has thousands of
// triangles, and every collapse along its rim reads it. Its sum is kept
// rather than summed afresh, and each of its triangles is skipped while a
// bound on its distance from folded exceeds what the trial can change: the
// margin n.s/|n| + 0.29|s| falls by at most 1.29 |ds| when the sum s moves
// by ds. The bounds are kept in order, so a trial reads only the few that a
// triangle near folded leaves too small, and tests those triangles.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "mesh/simplify/internal/FoldChecks.h"
#include "mesh/simplify/internal/MeshSimplifier.h"

namespace ridgeforge::mesh {
namespace {

// The save check's limit, -0.3, and a stricter one for what a collapse
// leaves, so that rounding the result to floats cannot tip it over.
constexpr double kFoldedBefore = 0.3;
constexpr double kFoldedAfter = 0.29;
// Marks a fan triangle's position among the candidates, apart from triangle numbers.
constexpr std::uint32_t kFanTriangle = 0x80000000u;
// A vertex with more triangles in its row than this is a hub.
constexpr std::uint32_t kHubTriangles = 256;
// How fast the fold margin falls as the sum moves.
constexpr double kMarginSlope = 1.0 + kFoldedAfter;

// A margin as a hub keeps it, with the drift at the time added. One that is
// not a number is kept as minus infinity: tested always, and the sort's
// order stays strict.
double KeptMargin(double margin, double drift) {
    return std::isnan(margin) ? -std::numeric_limits<double>::infinity() : margin + drift;
}

}  // namespace

Vec3d* VertexSums::Find(std::uint32_t v) {
    if (entries_.size() <= kScanned) {
        for (auto& [w, sum] : entries_) {
            if (w == v) return &sum;
        }
        return nullptr;
    }
    const auto found = index_.find(v);
    return found == index_.end() ? nullptr : &entries_[found->second].second;
}

Vec3d& VertexSums::Add(std::uint32_t v, const Vec3d& sum) {
    entries_.push_back({v, sum});
    if (entries_.size() > kScanned) {
        if (index_.empty()) {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                index_.emplace(entries_[i].first, static_cast<std::uint32_t>(i));
        } else {
            index_.emplace(v, static_cast<std::uint32_t>(entries_.size() - 1));
        }
    }
    return entries_.back().second;
}

// Each sum reads the vertex's row, then its triangles, then their corners:
// three reads that wait on each other, to records scattered in memory.
// Asking for each level of all the vertices at once lets those waits overlap
// rather than add up, a dozen vertices and more in a row.
void MeshSimplifier::PrefetchSums() {
    std::sort(summed_.begin(), summed_.end());
    summed_.erase(std::unique(summed_.begin(), summed_.end()), summed_.end());
    // A hub's row is not read: its sum is kept.
    summed_.erase(std::remove_if(summed_.begin(), summed_.end(),
                                 [this](std::uint32_t v) { return vertices_[v].incidenceCount > kHubTriangles; }),
                  summed_.end());
    for (const std::uint32_t v : summed_) __builtin_prefetch(&vertices_[v].position);
    for (const std::uint32_t v : summed_) __builtin_prefetch(incidence_.data() + vertices_[v].incidenceOffset);
    for (const std::uint32_t v : summed_) {
        const VertexState& around = vertices_[v];
        for (std::uint32_t j = 0; j < around.incidenceCount; ++j)
            __builtin_prefetch(&triangles_[incidence_[around.incidenceOffset + j]]);
    }
    for (const std::uint32_t v : summed_) {
        const VertexState& around = vertices_[v];
        for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
            for (const std::uint32_t c : triangles_[incidence_[around.incidenceOffset + j]].corners)
                __builtin_prefetch(&vertices_[c].position);
        }
    }
}

Vec3d MeshSimplifier::NormalOf(const std::uint32_t (&corners)[3]) const {
    const Vec3d& a = vertices_[corners[0]].position;
    return Cross(vertices_[corners[1]].position - a, vertices_[corners[2]].position - a);
}

// In the order of the vertex's row, so that the same triangles give the same bits.
Vec3d MeshSimplifier::FreshSum(std::uint32_t v) const {
    Vec3d sum;
    const VertexState& around = vertices_[v];
    for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
        const TriangleState& tri = triangles_[incidence_[around.incidenceOffset + j]];
        if (tri.live) sum += NormalOf(tri.corners);
    }
    return sum;
}

Vec3d MeshSimplifier::SumAt(std::uint32_t v) {
    const VertexState& around = vertices_[v];
    if (around.incidenceCount <= kHubTriangles) return FreshSum(v);
    HubState& hub = hubs_[v];
    // Worked out afresh now and then, so that the rounding of the updates
    // cannot add up; often enough to cost a few triangles per update.
    if (!hub.sumKnown || hub.updates > std::max(16u, around.incidenceCount / 8)) {
        hub.sum = FreshSum(v);
        hub.sumKnown = true;
        hub.updates = 0;
    }
    return hub.sum;
}

// The change a collapse makes to the sum at each outer corner, in deltas_,
// and the largest of them. A triangle beyond the fan has no corner at keep
// or remove, so its sum moves by at most three of these.
double MeshSimplifier::OuterChange(std::uint32_t keep, std::uint32_t remove) {
    deltas_.Clear();
    const auto add = [this](std::uint32_t v, const Vec3d& change) {
        if (Vec3d* known = deltas_.Find(v)) {
            *known += change;
        } else {
            deltas_.Add(v, change);
        }
    };
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        if (ListedAgain(i, keep)) continue;
        const Vec3d before = NormalOf(ring_[i].corners);
        for (const std::uint32_t c : ring_[i].corners) {
            if (c != keep && c != remove) add(c, Vec3d{} - before);
        }
    }
    for (const FanTriangle& f : fan_) {
        add(f.u, f.after);
        add(f.v, f.after);
    }
    double largest = 0.0;
    for (const auto& [v, change] : deltas_.Entries()) largest = std::max(largest, Length(change));
    return largest;
}

// The hub's triangles with their fold margins as they stand, least first.
void MeshSimplifier::TakeHubMargins(std::uint32_t hub) {
    std::vector<HubMargin> margins = std::move(hubs_[hub].margins);
    margins.clear();
    double scale = 0.0;
    const VertexState& around = vertices_[hub];
    for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
        const std::uint32_t t = incidence_[around.incidenceOffset + j];
        const TriangleState& tri = triangles_[t];
        if (!tri.live) continue;
        const Vec3d sum = SumAt(tri.corners[0]) + SumAt(tri.corners[1]) + SumAt(tri.corners[2]);
        margins.push_back({KeptMargin(FoldMargin(NormalOf(tri.corners), sum, kFoldedAfter), drift_), t});
        scale = std::max(scale, Length(sum));
    }
    std::sort(margins.begin(), margins.end());
    // Found again: the sums may have added hubs to the table.
    HubState& state = hubs_[hub];
    state.margins = std::move(margins);
    state.added.clear();
    state.addedLeast = std::numeric_limits<double>::infinity();
    state.scale = scale;
    state.marginKnown = true;
    state.takenAt = surfaceVersion_;
}

// Adds to the candidates the hub's triangles off the fan that a change of at
// most `change` to their sums might fold: those whose margin, lowered by the
// drift since it was taken, does not exceed what the change can take. The
// margins are worked out afresh when many would be tested, unless nothing
// has changed since they were: a hub with a triangle near folded would
// otherwise pay for its fan at every trial beside it.
void MeshSimplifier::AddHubCandidates(std::uint32_t hub, double change, std::uint32_t keep, std::uint32_t remove) {
    const auto clear = [&](const HubState& state, double margin) {
        return margin - drift_ - kMarginSlope * change > 1e-9 * state.scale;
    };
    const auto firstClear = [&](const HubState& state) {
        return std::partition_point(state.margins.begin(), state.margins.end(),
                                    [&](const HubMargin& m) { return !clear(state, m.margin); });
    };
    if (!hubs_[hub].marginKnown) TakeHubMargins(hub);
    HubState* state = &hubs_[hub];
    if (state->takenAt != surfaceVersion_) {
        const auto tested = static_cast<std::size_t>(firstClear(*state) - state->margins.cbegin());
        const bool addedTested = !clear(*state, state->addedLeast);
        if (tested + (addedTested ? state->added.size() : 0) > state->margins.size() / 8 + 8) {
            TakeHubMargins(hub);
            state = &hubs_[hub];
        }
    }
    const auto add = [&](std::uint32_t t) {
        const TriangleState& tri = triangles_[t];
        if (!tri.live) return;
        for (const std::uint32_t c : tri.corners) {
            if (c == keep || c == remove) return;
        }
        candidates_.push_back(t);
    };
    for (auto m = state->margins.cbegin(), end = firstClear(*state); m != end; ++m) add(m->triangle);
    if (clear(*state, state->addedLeast)) return;
    for (const HubMargin& m : state->added) {
        if (!clear(*state, m.margin)) add(m.triangle);
    }
}

// Before an accepted collapse changes anything: the sums kept at hubs take
// the collapse's change, the hubs' bounds its drift, and a hub on the fan
// the margins of its new triangles, which the drift does not cover.
void MeshSimplifier::UpdateHubs(std::uint32_t keep, std::uint32_t remove) {
    if (hubs_.empty()) return;
    const double largest = OuterChange(keep, remove);
    Vec3d keepAfter;
    for (const FanTriangle& f : fan_) keepAfter += f.after;
    drift_ += kMarginSlope * 3.0 * largest;
    const auto after = [&](std::uint32_t v) {
        const Vec3d* change = deltas_.Find(v);
        return SumAt(v) + (change ? *change : Vec3d{});
    };
    for (const FanTriangle& f : fan_) {
        for (const std::uint32_t w : {f.u, f.v}) {
            const auto known = hubs_.find(w);
            if (known == hubs_.end() || !known->second.marginKnown) continue;
            const Vec3d sum = keepAfter + after(f.u) + after(f.v);
            // Found again: working out the sums may have added hubs to the table.
            HubState& state = hubs_[w];
            const HubMargin entry{KeptMargin(FoldMargin(f.after, sum, kFoldedAfter), drift_), f.index};
            state.added.push_back(entry);
            state.addedLeast = std::min(state.addedLeast, entry.margin);
            state.scale = std::max(state.scale, Length(sum));
            // Scanned whenever its least margin is used up: past a share of
            // the fan, working the margins out afresh costs less.
            if (state.added.size() > state.margins.size() / 8 + 8) state.marginKnown = false;
        }
    }
    for (const auto& [v, change] : deltas_.Entries()) {
        const auto known = hubs_.find(v);
        if (known == hubs_.end() || !known->second.sumKnown) continue;
        known->second.sum += change;
        ++known->second.updates;
    }
    hubs_.erase(remove);
    if (const auto known = hubs_.find(keep); known != hubs_.end()) {
        known->second.sum = keepAfter;
        known->second.sumKnown = true;
        known->second.updates = 0;
        known->second.marginKnown = false;
    }
}

bool MeshSimplifier::FoldsAround(std::uint32_t keep, std::uint32_t remove) {
    // A triangle faces away from the sum at its corners only near a sharp
    // crease: nothing is summed unless one of the fan's vertices has one,
    // and the triangles beyond the fan are tested only around such a vertex.
    constexpr float kSharp = 60.0f;
    float sharpest = std::max(vertices_[keep].crease, vertices_[remove].crease);
    for (const FanTriangle& f : fan_) sharpest = std::max({sharpest, vertices_[f.u].crease, vertices_[f.v].crease});
    if (sharpest < kSharp) return false;
    candidates_.clear();
    for (std::size_t i = 0; i < fan_.size(); ++i) candidates_.push_back(kFanTriangle | static_cast<std::uint32_t>(i));
    const std::uint32_t mark = NextMark();
    double change = -1.0;  // worked out when the first hub asks
    for (const FanTriangle& f : fan_) {
        for (const std::uint32_t link : {f.u, f.v}) {
            if (vertices_[link].mark == mark) continue;
            vertices_[link].mark = mark;
            const VertexState& around = vertices_[link];
            if (around.crease < kSharp) continue;
            if (around.incidenceCount > kHubTriangles) {
                if (change < 0.0) change = 3.0 * OuterChange(keep, remove);
                AddHubCandidates(link, change, keep, remove);
                continue;
            }
            for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
                const std::uint32_t t = incidence_[around.incidenceOffset + j];
                const TriangleState& tri = triangles_[t];
                if (!tri.live) continue;
                bool onFan = false;
                for (const std::uint32_t c : tri.corners) onFan = onFan || c == keep || c == remove;
                if (!onFan) candidates_.push_back(t);
            }
        }
    }
    std::sort(candidates_.begin(), candidates_.end());
    candidates_.erase(std::unique(candidates_.begin(), candidates_.end()), candidates_.end());

    summed_.assign({keep, remove});
    for (const FanTriangle& f : fan_) summed_.insert(summed_.end(), {f.u, f.v});
    for (const std::uint32_t candidate : candidates_) {
        if (candidate & kFanTriangle) continue;
        const TriangleState& tri = triangles_[candidate];
        summed_.insert(summed_.end(), std::begin(tri.corners), std::end(tri.corners));
    }
    PrefetchSums();
    // Each vertex's sum as it stands, worked out once from its live triangles.
    sumsBefore_.Clear();
    const auto sumBefore = [&](std::uint32_t v) {
        if (const Vec3d* known = sumsBefore_.Find(v)) return *known;
        const Vec3d sum = SumAt(v);
        sumsBefore_.Add(v, sum);
        return sum;
    };
    // The fan's vertices, each with its sum less its fan triangles' normals;
    // the triangles that stay then add theirs as they will be.
    sumsAfter_.Clear();
    const auto slot = [this](std::uint32_t v) { return sumsAfter_.Find(v); };
    sumsAfter_.Add(keep, Vec3d{});
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        if (ListedAgain(i, keep)) continue;
        const RingTriangle& r = ring_[i];
        const Vec3d before = NormalOf(r.corners);
        for (const std::uint32_t c : r.corners) {
            if (c == keep || c == remove) continue;
            Vec3d* sum = slot(c);
            if (sum == nullptr) {
                const Vec3d start = sumBefore(c);
                sum = &sumsAfter_.Add(c, start);
            }
            *sum = *sum - before;
        }
    }
    for (const FanTriangle& f : fan_) {
        *slot(keep) += f.after;
        *slot(f.u) += f.after;
        *slot(f.v) += f.after;
    }
    const auto sumAfter = [&](std::uint32_t c) {
        const Vec3d* sum = slot(c == remove ? keep : c);
        return sum ? *sum : sumBefore(c);
    };
    for (const std::uint32_t candidate : candidates_) {
        Vec3d before, after, sBefore, sAfter;
        if (candidate & kFanTriangle) {
            // A fan triangle, as it stands before (from the ring) and after.
            const FanTriangle& f = fan_[candidate & ~kFanTriangle];
            after = f.after;
            before = f.before;
            for (const std::uint32_t c : {keep, f.u, f.v}) sAfter += sumAfter(c);
            sBefore = sumBefore(f.u) + sumBefore(f.v) + sumBefore(f.aroundKeep ? keep : remove);
        } else {
            const TriangleState& tri = triangles_[candidate];
            after = before = NormalOf(tri.corners);
            for (const std::uint32_t c : tri.corners) {
                sBefore += sumBefore(c);
                sAfter += sumAfter(c);
            }
        }
        if (FacesAway(after, sAfter, kFoldedAfter) && !FacesAway(before, sBefore, kFoldedBefore)) return true;
    }
    return false;
}

}  // namespace ridgeforge::mesh
