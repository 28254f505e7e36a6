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
#include <algorithm>
#include <cmath>
#include <iterator>

#include "mesh/simplify/internal/MeshSimplifier.h"

namespace ridgeforge::mesh {
namespace {

// The save check's limit, -0.3, and a stricter one for what a collapse
// leaves, so that rounding the result to floats cannot tip it over.
constexpr double kFoldedBefore = 0.3;
constexpr double kFoldedAfter = 0.29;
// Marks a fan triangle's position among the candidates, apart from triangle numbers.
constexpr std::uint32_t kFanTriangle = 0x80000000u;

bool FacesAway(const Vec3d& n, const Vec3d& s, double limit) {
    const double d = Dot(n, s);
    return d < 0.0 && d * d > limit * limit * Dot(n, n) * Dot(s, s);
}

}  // namespace

// Each sum reads the vertex's row, then its triangles, then their corners:
// three reads that wait on each other, to records scattered in memory.
// Asking for each level of all the vertices at once lets those waits overlap
// rather than add up, a dozen vertices and more in a row.
void MeshSimplifier::PrefetchSums() {
    std::sort(summed_.begin(), summed_.end());
    summed_.erase(std::unique(summed_.begin(), summed_.end()), summed_.end());
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
    for (const FanTriangle& f : fan_) {
        for (const std::uint32_t link : {f.u, f.v}) {
            if (vertices_[link].mark == mark) continue;
            vertices_[link].mark = mark;
            const VertexState& around = vertices_[link];
            if (around.crease < kSharp) continue;
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
    const auto normalOf = [this](const std::uint32_t (&c)[3]) {
        const Vec3d& a = vertices_[c[0]].position;
        return Cross(vertices_[c[1]].position - a, vertices_[c[2]].position - a);
    };
    // Each vertex's sum as it stands, worked out once from its live triangles.
    sumsBefore_.clear();
    const auto sumBefore = [&](std::uint32_t v) {
        for (const auto& [w, sum] : sumsBefore_) {
            if (w == v) return sum;
        }
        Vec3d sum;
        const VertexState& around = vertices_[v];
        for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
            const TriangleState& tri = triangles_[incidence_[around.incidenceOffset + j]];
            if (tri.live) sum += normalOf(tri.corners);
        }
        sumsBefore_.push_back({v, sum});
        return sum;
    };
    // The fan's vertices, each with its sum less its fan triangles' normals;
    // the triangles that stay then add theirs as they will be.
    sumsAfter_.clear();
    const auto slot = [this](std::uint32_t v) -> Vec3d* {
        for (auto& [w, sum] : sumsAfter_) {
            if (w == v) return &sum;
        }
        return nullptr;
    };
    sumsAfter_.push_back({keep, Vec3d{}});
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        const RingTriangle& r = ring_[i];
        bool hasKeep = false;
        for (const std::uint32_t c : r.corners) hasKeep = hasKeep || c == keep;
        // A triangle holding both ends is listed from each row; count it once.
        if (i >= ringKeepCount_ && hasKeep) continue;
        const Vec3d before = normalOf(r.corners);
        for (const std::uint32_t c : r.corners) {
            if (c == keep || c == remove) continue;
            Vec3d* sum = slot(c);
            if (sum == nullptr) {
                const Vec3d start = sumBefore(c);
                sumsAfter_.push_back({c, start});
                sum = &sumsAfter_.back().second;
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
            after = before = normalOf(tri.corners);
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
