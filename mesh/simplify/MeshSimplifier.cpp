// Quadric edge collapse (Garland and Heckbert 1997) with push-order-stamped heap
// entries and an append-only vertex-to-triangle incidence, so that each
// collapse touches only the triangles around its two vertices.
#include "mesh/simplify/internal/MeshSimplifier.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "mesh/ParallelChunks.h"
#include "mesh/simplify/internal/FoldChecks.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint64_t kHousekeepingInterval = 16384;
// A trial at the hub of a fan reads the whole fan, so a few thousand trials
// can take seconds: between housekeepings, the clock is read every so many
// trials and the progress callback asked when a tenth of a second has gone.
constexpr std::uint64_t kClockInterval = 16;
constexpr char kStage[] = "Simplifying the mesh";
// Far enough below 2^32 that the pushes of one housekeeping interval fit.
constexpr std::uint32_t kLastOrderBeforeRenumbering = 0xF0000000u;

// A triangle's unit normal, zero where it has no area. Only the planes of the
// quadrics need it: the shape test works from the corners rather than keep a
// normal per triangle, as a triangle record of 16 bytes instead of 40 misses
// the cache far less in the scattered collapses.
Vec3d UnitNormal(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const Vec3d n = Cross(b - a, c - a);
    const double length = Length(n);
    return length > 0.0 ? n / length : Vec3d{};
}

// Whether a triangle that spanned m now spans n, turned past the angle whose
// cosine is given: |n| cos |m| > m . n, compared in squares so that no root is
// taken. A triangle that had no area has no direction to keep, and counts as
// turned for any angle under a right angle, as a zero normal would.
bool TurnedTooFar(const Vec3d& n, const Vec3d& m, double cosine) {
    const double mm = Dot(m, m);
    if (mm == 0.0) return cosine > 0.0;
    const double d = Dot(m, n);
    const double r2 = cosine * cosine * Dot(n, n) * mm;
    if (cosine >= 0.0) return d < 0.0 || r2 > d * d;
    return d < 0.0 && r2 < d * d;
}

}  // namespace

MeshSimplifier::MeshSimplifier(const TriangleMesh& mesh, const MeshSimplifyOptions& options, SimplifyReport& report)
    : mesh_(mesh), options_(options), report_(report) {}

bool MeshSimplifier::SetUp(ProgressPoll& poll) {
    const std::size_t vertexCount = mesh_.vertices.size();
    const std::size_t triangleCount = mesh_.indices.size() / 3;
    vertices_.clear();
    vertices_.resize(vertexCount);
    changedAt_.assign(vertexCount, 0);
    ForEachChunk(vertexCount, 16384, [this](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            vertices_[v] = VertexState{};
            vertices_[v].position = ToDouble(mesh_.vertices[v].position);
        }
    });
    if (!poll.Check(0.0f)) return false;
    triangles_.clear();
    triangles_.resize(triangleCount);
    liveTriangles_ = triangleCount;
    if (!poll.Check(0.0f)) return false;

    ForEachChunk(triangleCount, 16384, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            TriangleState& tri = triangles_[t];
            tri = TriangleState{};
            for (int k = 0; k < 3; ++k) tri.corners[k] = mesh_.indices[3 * t + k];
        }
    });
    // The rows grow to three times their first length (a row entry for each
    // corner) before they are built again, checked every housekeeping
    // interval, hence the margin: room for that now spares copying tens of
    // megabytes as the vector doubles.
    incidence_.reserve(9 * triangleCount + 1024 + 32 * kHousekeepingInterval);
    RebuildIncidence();
    initialIncidence_ = incidence_.size();
    if (!poll.Check(0.0f)) return false;

    // Unweighted plane quadrics: every plane counts the same whatever the
    // triangle's area, so slivers still pin the sharp edges they sit on.
    // Each vertex sums its triangles' planes in triangle order (the order of
    // its incidence row), so the sums do not depend on the threads. A plane
    // is worked out again for each of its corners, the same bits each time,
    // which costs less than writing and reading back one per triangle.
    ForEachChunk(vertexCount, 16384, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            VertexState& vertex = vertices_[v];
            Quadric& q = vertex.quadric;
            // The widest angle between two of its triangles bounds the
            // sharpest crease at the vertex; a triangle without area, or
            // too many to compare, leave it unbounded.
            constexpr std::uint32_t kCompared = 16;
            Vec3d normals[kCompared];
            double leastCosine = vertex.incidenceCount > kCompared ? -1.0 : 1.0;
            for (std::uint32_t i = 0; i < vertex.incidenceCount; ++i) {
                const TriangleState& tri = triangles_[incidence_[vertex.incidenceOffset + i]];
                const Vec3d& a = vertices_[tri.corners[0]].position;
                const Vec3d n = UnitNormal(a, vertices_[tri.corners[1]].position, vertices_[tri.corners[2]].position);
                if (i < kCompared) {
                    normals[i] = n;
                    if (n == Vec3d{}) leastCosine = -1.0;
                    for (std::uint32_t j = 0; j < i; ++j) leastCosine = std::min(leastCosine, Dot(n, normals[j]));
                }
                if (n == Vec3d{}) continue;
                const double d = -Dot(n, a);
                const Quadric plane = {n.x * n.x, n.x * n.y, n.x * n.z, n.x * d, n.y * n.y,
                                       n.y * n.z, n.y * d,   n.z * n.z, n.z * d, d * d};
                for (int k = 0; k < 10; ++k) q[k] += plane[k];
            }
            vertex.crease = AngleDegrees(leastCosine);
        }
    });

    bed_ = {};
    if (options_.bedAxis >= 0 && options_.bedAxis <= 2 && vertexCount > 0) {
        const int axis = options_.bedAxis;
        // Each chunk starts from the first vertex, as one pass over all
        // would, so the extremes come out the same whatever the grouping.
        constexpr std::size_t kChunk = 65536;
        // Read from the input's compact float positions rather than across
        // the vertex records: the same values, widened exactly.
        const auto coordinate = [&](std::size_t v) { return static_cast<double>(mesh_.vertices[v].position[axis]); };
        const double first = coordinate(0);
        std::vector<std::array<double, 2>> extents((vertexCount + kChunk - 1) / kChunk);
        ForEachChunk(vertexCount, kChunk, [&](std::size_t begin, std::size_t end) {
            double lowest = first, highest = first;
            for (std::size_t v = begin; v < end; ++v) {
                lowest = std::min(lowest, coordinate(v));
                highest = std::max(highest, coordinate(v));
            }
            extents[begin / kChunk] = {lowest, highest};
        });
        double lowest = first, highest = first;
        for (const auto& [chunkLowest, chunkHighest] : extents) {
            lowest = std::min(lowest, chunkLowest);
            highest = std::max(highest, chunkHighest);
        }
        bed_ = {true, axis, lowest, std::max((highest - lowest) * 1e-6, 0.0001)};
        std::atomic<std::size_t> held{0};
        ForEachChunk(vertexCount, kChunk, [&](std::size_t begin, std::size_t end) {
            std::size_t count = 0;
            for (std::size_t v = begin; v < end; ++v) {
                if (coordinate(v) > bed_.level + bed_.tolerance) continue;
                vertices_[v].held = 1;
                ++count;
            }
            held.fetch_add(count, std::memory_order_relaxed);
        });
        report_.verticesHeldOnBed += held.load();
    }

    if (options_.heldTriangles && options_.heldTriangles->size() == triangleCount) {
        for (std::size_t t = 0; t < triangleCount; ++t) {
            if ((*options_.heldTriangles)[t] == 0) continue;
            for (const std::uint32_t c : triangles_[t].corners) vertices_[c].held = 1;
        }
    }

    const double degrees = std::clamp(static_cast<double>(options_.angleDegrees), 1.0, 179.0);
    cosine_ = std::cos(degrees * 3.14159265358979323846 / 180.0);
    markValue_ = 0;
    return true;
}

void MeshSimplifier::RebuildIncidence() {
    ++surfaceVersion_;  // the rows' order is what sums read in
    // A counting sort on all threads: counts and places with atomic steps,
    // then each vertex's row sorted, which gives the rows a serial pass in
    // triangle order would (a triangle naming a vertex twice is listed twice).
    // The counts and cursors live in compact arrays of their own: the vertex
    // records are two cache lines each, and every pass over them would move
    // tens of megabytes to touch four bytes a vertex.
    const std::size_t vertexCount = vertices_.size();
    std::vector<std::uint32_t, UnwrittenAllocator<std::uint32_t>> count(vertexCount), cursor(vertexCount);
    ForEachChunk(vertexCount, 65536, [&](std::size_t begin, std::size_t end) {
        std::fill(count.begin() + static_cast<std::ptrdiff_t>(begin), count.begin() + static_cast<std::ptrdiff_t>(end),
                  0u);
    });
    ForEachChunk(triangles_.size(), 65536, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            if (!triangles_[t].live) continue;
            for (const std::uint32_t c : triangles_[t].corners) {
                std::atomic_ref<std::uint32_t>(count[c]).fetch_add(1, std::memory_order_relaxed);
            }
        }
    });
    // The rows' starts by a prefix sum in chunks.
    constexpr std::size_t kChunk = 65536;
    std::vector<std::uint32_t> chunkStart((vertexCount + kChunk - 1) / kChunk + 1, 0);
    ForEachChunk(vertexCount, kChunk, [&](std::size_t begin, std::size_t end) {
        std::uint32_t sum = 0;
        for (std::size_t v = begin; v < end; ++v) sum += count[v];
        chunkStart[begin / kChunk + 1] = sum;
    });
    for (std::size_t c = 1; c < chunkStart.size(); ++c) chunkStart[c] += chunkStart[c - 1];
    ForEachChunk(vertexCount, kChunk, [&](std::size_t begin, std::size_t end) {
        std::uint32_t sum = chunkStart[begin / kChunk];
        for (std::size_t v = begin; v < end; ++v) {
            cursor[v] = sum;
            sum += count[v];
        }
    });
    incidence_.resize(chunkStart.back());
    ForEachChunk(triangles_.size(), 65536, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            if (!triangles_[t].live) continue;
            for (const std::uint32_t c : triangles_[t].corners) {
                const std::uint32_t slot =
                    std::atomic_ref<std::uint32_t>(cursor[c]).fetch_add(1, std::memory_order_relaxed);
                incidence_[slot] = static_cast<std::uint32_t>(t);
            }
        }
    });
    // Each cursor now stands at the end of its row.
    ForEachChunk(vertexCount, 16384, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            VertexState& vertex = vertices_[v];
            vertex.incidenceOffset = cursor[v] - count[v];
            vertex.incidenceCount = count[v];
            vertex.liveTriangles = count[v];
            const auto row = incidence_.begin() + vertex.incidenceOffset;
            std::sort(row, row + count[v]);
        }
    });
}

bool MeshSimplifier::MakeCandidate(std::uint32_t a, std::uint32_t b, CollapseCandidate& candidate) const {
    return Offerable(a, b, CollapseCost(a, b), candidate);
}

bool MeshSimplifier::Offerable(std::uint32_t a, std::uint32_t b, const Placement& placement,
                               CollapseCandidate& candidate) const {
    if (!placement.admissible || placement.cost >= static_cast<double>(options_.detailLevel)) return false;
    if (options_.maxEdgeLength > 0.0f &&
        Length(vertices_[a].position - vertices_[b].position) > static_cast<double>(options_.maxEdgeLength)) {
        return false;
    }
    candidate = {static_cast<float>(placement.cost), a, b};
    return true;
}

void MeshSimplifier::PushCandidate(std::uint32_t a, std::uint32_t b) {
    CollapseCandidate candidate;
    if (MakeCandidate(a, b, candidate)) heap_.Push(candidate);
}

void MeshSimplifier::PushCandidates(std::uint32_t keep, const std::vector<std::uint32_t>& others) {
    std::size_t i = 0;
    for (; i + 1 < others.size(); i += 2) {
        Placement placements[2];
        CollapseCostPair(keep, others[i], keep, others[i + 1], placements);
        for (int lane = 0; lane < 2; ++lane) {
            CollapseCandidate candidate;
            if (Offerable(keep, others[i + lane], placements[lane], candidate)) heap_.Push(candidate);
        }
    }
    if (i < others.size()) PushCandidate(keep, others[i]);
}

bool MeshSimplifier::OfferAllEdges(ProgressPoll& poll) {
    // Every edge once (from the triangle that runs it upwards), in triangle
    // and corner order: the order the ties pop in. The costs are worked out
    // on all threads into fixed slots and kept in that order.
    // A slot left without a candidate names one vertex twice.
    std::vector<CollapseCandidate, UnwrittenAllocator<CollapseCandidate>> candidates(3 * triangles_.size());
    ForEachChunk(triangles_.size(), 16384, [&](std::size_t begin, std::size_t end) {
        // Slot 3t + k holds the edge from corner k of triangle t to the next
        // one; the edges are costed two at a time, as they turn up.
        const auto edge = [this](std::size_t slot) {
            const TriangleState& tri = triangles_[slot / 3];
            return std::pair{tri.corners[slot % 3], tri.corners[(slot % 3 + 1) % 3]};
        };
        std::size_t waiting = 0;
        bool pending = false;
        for (std::size_t slot = 3 * begin; slot < 3 * end; ++slot) {
            const auto [i, j] = edge(slot);
            candidates[slot] = {};
            if (!(i < j)) continue;
            if (!pending) {
                waiting = slot;
                pending = true;
                continue;
            }
            const auto [i0, j0] = edge(waiting);
            Placement placements[2];
            CollapseCostPair(i0, j0, i, j, placements);
            if (!Offerable(i0, j0, placements[0], candidates[waiting])) candidates[waiting] = {};
            if (!Offerable(i, j, placements[1], candidates[slot])) candidates[slot] = {};
            pending = false;
        }
        if (pending) {
            const auto [i0, j0] = edge(waiting);
            if (!MakeCandidate(i0, j0, candidates[waiting])) candidates[waiting] = {};
        }
    });
    if (!poll.Check(0.0f)) return false;
    heap_.Assign(candidates, [](const CollapseCandidate& c) { return c.a == c.b; });
    return true;
}

bool MeshSimplifier::IsStale(const CollapseCandidate& c) const {
    return c.order < changedAt_[c.a] || c.order < changedAt_[c.b];
}

void MeshSimplifier::GatherRing(std::uint32_t keep, std::uint32_t remove) {
    ring_.clear();
    for (const std::uint32_t v : {keep, remove}) {
        const VertexState& around = vertices_[v];
        for (std::uint32_t i = 0; i < around.incidenceCount; ++i) {
            const std::uint32_t t = incidence_[around.incidenceOffset + i];
            const TriangleState& tri = triangles_[t];
            if (!tri.live) continue;
            ring_.push_back({t, {tri.corners[0], tri.corners[1], tri.corners[2]}});
            // The tests read the neighbours' marks, held flags and positions,
            // and the offers after a collapse their quadrics: both lines.
            for (const std::uint32_t c : tri.corners) {
                __builtin_prefetch(reinterpret_cast<const char*>(&vertices_[c]));
                __builtin_prefetch(reinterpret_cast<const char*>(&vertices_[c]) + 64);
            }
        }
        if (v == keep) ringKeepCount_ = ring_.size();
    }
}

std::uint32_t MeshSimplifier::NextMark() {
    if (++markValue_ == 0) {
        for (VertexState& v : vertices_) v.mark = 0;
        markValue_ = 1;
    }
    return markValue_;
}

bool MeshSimplifier::PassesTopology(std::uint32_t keep, std::uint32_t remove) {
    NextMark();
    std::uint32_t shared = 0, common = 0;
    for (std::size_t i = 0; i < ringKeepCount_; ++i) {
        for (const std::uint32_t c : ring_[i].corners) {
            if (c == remove) ++shared;
            if (c != keep) vertices_[c].mark = markValue_;
        }
    }
    if (shared != 2 || ring_.size() < 7) return false;
    for (std::size_t i = ringKeepCount_; i < ring_.size(); ++i) {
        for (const std::uint32_t c : ring_[i].corners) {
            if (c != remove && vertices_[c].mark == markValue_) {
                ++common;
                vertices_[c].mark = 0;  // count each shared neighbour once
            }
        }
    }
    return common == 2;
}

bool MeshSimplifier::PassesShape(std::uint32_t keep, std::uint32_t remove, const Vec3d& target) {
    const bool keepHeld = vertices_[keep].held != 0;
    fan_.clear();
    bool wide = false;
    for (const RingTriangle& tri : ring_) {
        bool moved[3], hasKeep = false, hasRemove = false;
        for (int k = 0; k < 3; ++k) {
            hasKeep = hasKeep || tri.corners[k] == keep;
            hasRemove = hasRemove || tri.corners[k] == remove;
            moved[k] = tri.corners[k] == keep || tri.corners[k] == remove;
        }
        if (hasKeep && hasRemove) continue;  // the edge's own triangles go
        const VertexState* v[3] = {&vertices_[tri.corners[0]], &vertices_[tri.corners[1]], &vertices_[tri.corners[2]]};
        if (keepHeld) {
            bool newAllHeld = true, oldAllHeld = true;
            for (int k = 0; k < 3; ++k) {
                newAllHeld = newAllHeld && (moved[k] || v[k]->held);
                oldAllHeld = oldAllHeld && v[k]->held;
            }
            if (newAllHeld && !oldAllHeld) {
                ++report_.refusedOther;
                return false;
            }
        }
        const Vec3d& a = v[0]->position;
        const Vec3d& b = v[1]->position;
        const Vec3d& c = v[2]->position;
        const Vec3d& na = moved[0] ? target : a;
        const Vec3d e1 = (moved[1] ? target : b) - na, e2 = (moved[2] ? target : c) - na;
        const Vec3d n = Cross(e1, e2);
        const double spread = LengthSquared(e1) + LengthSquared(e2);
        // |n| <= 1e-6 spread, squared: degenerate.
        const Vec3d m = Cross(b - a, c - a);
        if (Dot(n, n) <= 1e-12 * spread * spread || TurnedTooFar(n, m, cosine_)) {
            ++report_.refusedTip;
            return false;
        }
        std::uint32_t others[2], o = 0;
        for (int k = 0; k < 3 && o < 2; ++k) {
            if (!moved[k]) others[o++] = tri.corners[k];
        }
        if (o != 2) continue;
        fan_.push_back({others[0], others[1], n, m, hasKeep, tri.index});
        // Normals all within 82.5 degrees of the first one's lie within 165
        // degrees of each other, and then no pair can have folded.
        const Vec3d& first = fan_.front().after;
        const double d = Dot(n, first);
        wide = wide || !(d > 0.0 && d * d >= 0.017 * Dot(n, n) * Dot(first, first));
    }
    if ((wide && FanFolds()) || BeyondFanFails(keep, remove, target) || FoldsAround(keep, remove)) {
        ++report_.refusedTip;
        return false;
    }
    return true;
}

// Two triangles of the fan around keep may each turn within the angle and
// still end folded against each other along the edge they share, and a fold
// there makes the surface pass through itself. A pair whose normals end more
// than about 165 degrees apart is refused unless it was folded that far
// already. A triangle from around keep and one from around remove met at
// most at a corner before, so how they stood then excuses nothing.
bool MeshSimplifier::FanFolds() {
    return AnyNeighbourPair([this](std::size_t i, std::size_t j, std::uint32_t) {
        const FanTriangle& p = fan_[i];
        const FanTriangle& q = fan_[j];
        return p.aroundKeep != q.aroundKeep ? Folded(p.after, q.after)
                                            : FoldedFurther(p.after, q.after, p.before, q.before);
    });
}

void MeshSimplifier::Apply(std::uint32_t keep, std::uint32_t remove, const Placement& placement) {
    UpdateHubs(keep, remove);
    ++surfaceVersion_;
    const std::uint32_t start = static_cast<std::uint32_t>(incidence_.size());
    const std::uint32_t mark = NextMark();
    scratch_.clear();
    for (const RingTriangle& ringTriangle : ring_) {
        const std::uint32_t t = ringTriangle.index;
        TriangleState& tri = triangles_[t];
        if (!tri.live) continue;  // the edge's own triangles, met again from remove's row
        const bool hasKeep = tri.corners[0] == keep || tri.corners[1] == keep || tri.corners[2] == keep;
        const bool hasRemove = tri.corners[0] == remove || tri.corners[1] == remove || tri.corners[2] == remove;
        if (hasKeep && hasRemove) {
            tri.live = 0;
            liveTriangles_ -= 1;
            for (const std::uint32_t c : tri.corners) {
                if (--vertices_[c].liveTriangles == 0) changedAt_[c] = heap_.NextOrder();
            }
            continue;
        }
        for (std::uint32_t& c : tri.corners) {
            if (c == remove) c = keep;
            if (c != keep && vertices_[c].mark != mark) {
                vertices_[c].mark = mark;  // each neighbour once
                scratch_.push_back(c);
            }
        }
        incidence_.push_back(t);
    }
    VertexState& k = vertices_[keep];
    VertexState& r = vertices_[remove];
    k.incidenceOffset = start;
    k.incidenceCount = static_cast<std::uint32_t>(incidence_.size()) - start;
    k.liveTriangles = k.incidenceCount;
    r.incidenceCount = 0;
    r.liveTriangles = 0;
    for (int i = 0; i < 10; ++i) k.quadric[i] += r.quadric[i];
    k.position = placement.position;
    changedAt_[keep] = changedAt_[remove] = heap_.NextOrder();
    report_.largestCollapseCost = std::max(report_.largestCollapseCost, static_cast<float>(placement.cost));
    ++report_.collapses;

    // Offered in ascending order: equal costs pop in the order pushed.
    std::sort(scratch_.begin(), scratch_.end());
    PushCandidates(keep, scratch_);
}

// An edge that many triangles repeat (copies of one triangle) is offered
// once for each, and each trial would be refused as the first was: a trial
// reads only the surface, so until it changes the first refusal stands, and
// is counted again as it was counted then. Only trials that read long rows
// are remembered: the others cost less than the remembering.
void MeshSimplifier::TryUnlessRefused(const CollapseCandidate& entry) {
    constexpr std::uint32_t kLongRows = 64;
    if (vertices_[entry.a].incidenceCount + vertices_[entry.b].incidenceCount <= kLongRows) {
        TryCollapseEdge(entry.a, entry.b);
        return;
    }
    const std::uint64_t edge = (static_cast<std::uint64_t>(entry.a) << 32) | entry.b;
    if (const auto found = refusals_.find(edge); found != refusals_.end() && found->second.version == surfaceVersion_) {
        report_.refusedPinch += found->second.pinch;
        report_.refusedTip += found->second.tip;
        report_.refusedOther += found->second.other;
        return;
    }
    const std::uint64_t pinch = report_.refusedPinch, tip = report_.refusedTip, other = report_.refusedOther;
    if (TryCollapseEdge(entry.a, entry.b)) return;
    // Bounded: refusals of surfaces long gone are dropped together.
    if (refusals_.size() >= 65536) refusals_.clear();
    refusals_[edge] = {surfaceVersion_, static_cast<std::uint8_t>(report_.refusedPinch - pinch),
                       static_cast<std::uint8_t>(report_.refusedTip - tip),
                       static_cast<std::uint8_t>(report_.refusedOther - other)};
}

bool MeshSimplifier::TryCollapseEdge(std::uint32_t a, std::uint32_t b) {
    const bool swap = vertices_[b].held && !vertices_[a].held;
    const std::uint32_t keep = swap ? b : a;
    const std::uint32_t remove = swap ? a : b;
    // Start fetching the triangles around both ends; the cost is worked out
    // meanwhile, and the topology and shape tests read them next.
    for (const std::uint32_t v : {keep, remove}) {
        const VertexState& around = vertices_[v];
        for (std::uint32_t i = 0; i < around.incidenceCount; ++i) {
            __builtin_prefetch(&triangles_[incidence_[around.incidenceOffset + i]]);
        }
    }
    const Placement placement = CollapseCost(keep, remove);
    if (!placement.admissible) {
        ++report_.refusedOther;
        return false;
    }
    GatherRing(keep, remove);
    if (!PassesTopology(keep, remove)) {
        ++report_.refusedPinch;
        return false;
    }
    if (!PassesShape(keep, remove, placement.position)) return false;
    BoundCreases(keep);
    Apply(keep, remove, placement);
    return true;
}

bool MeshSimplifier::Run(const ProgressCallback& progress, TriangleMesh& result) {
    // Setting up a part of millions of triangles takes seconds, so it asks too.
    ProgressPoll poll(progress, kStage);
    if (!SetUp(poll) || !poll.Ask(0.0f) || !OfferAllEdges(poll) || !poll.Check(0.0f)) return false;

    const double level = options_.detailLevel;
    std::uint64_t attempts = 0;
    const StaleTest stale{this};
    for (;;) {
        if (options_.targetTriangles > 0 && liveTriangles_ <= options_.targetTriangles) break;
        if (heap_.Empty() || static_cast<double>(heap_.Top().cost) >= level) break;
        const CollapseCandidate entry = heap_.Pop(stale);
        if (!heap_.Empty()) {
            // Collapses come in cost order, scattered over the surface: start
            // fetching the next candidate's vertices while this one is done.
            const CollapseCandidate& next = heap_.Top();
            for (const std::uint32_t v : {next.a, next.b}) {
                __builtin_prefetch(&changedAt_[v]);
                __builtin_prefetch(reinterpret_cast<const char*>(&vertices_[v]));
                __builtin_prefetch(reinterpret_cast<const char*>(&vertices_[v]) + 64);
            }
        }
        if (IsStale(entry)) continue;
        TryUnlessRefused(entry);
        const bool housekeeping = ++attempts % kHousekeepingInterval == 0;
        if (housekeeping || (attempts % kClockInterval == 0 && poll.Due())) {
            const double fraction = std::sqrt(std::clamp(static_cast<double>(entry.cost) / level, 0.0, 1.0));
            if (!poll.Ask(static_cast<float>(fraction))) return false;
        }
        if (!housekeeping) continue;
        if (incidence_.size() > 3 * initialIncidence_ + 1024) RebuildIncidence();
        const bool ordersRunningOut = heap_.NextOrder() > kLastOrderBeforeRenumbering;
        // Purged when stale entries may outnumber the rest, so that the
        // purges cost no more than the pushes.
        if (heap_.Size() > 2 * std::max<std::size_t>(keptAtPurge_, liveTriangles_) + 65536 || ordersRunningOut) {
            heap_.Purge(stale);
            keptAtPurge_ = heap_.Size();
        }
        if (ordersRunningOut) {
            // Only fresh entries are left, so no vertex needs to mark any stale.
            heap_.Renumber();
            std::fill(changedAt_.begin(), changedAt_.end(), 0u);
        }
    }
    Compact(result);
    return true;
}

void MeshSimplifier::Compact(TriangleMesh& result) {
    std::vector<std::uint32_t> map(vertices_.size(), kNone);
    result.vertices.clear();
    result.indices.clear();
    result.indices.reserve(liveTriangles_ * 3);
    report_.sourceTriangle.reserve(liveTriangles_);
    for (std::size_t t = 0; t < triangles_.size(); ++t) {
        if (!triangles_[t].live) continue;
        for (const std::uint32_t v : triangles_[t].corners) {
            if (map[v] == kNone) {
                map[v] = static_cast<std::uint32_t>(result.vertices.size());
                result.vertices.push_back({ToFloat(vertices_[v].position), mesh_.vertices[v].normal});
                report_.sourceVertex.push_back(v);
            }
            result.indices.push_back(map[v]);
        }
        report_.sourceTriangle.push_back(static_cast<std::uint32_t>(t));
    }
    result.RecomputeBounds();
    result.RecomputeNormals();
}

}  // namespace ridgeforge::mesh
