// The save check calls a triangle folded when it faces away from the sum of
// the normals (weighted by area) of every triangle at its corners by more
// than about 107 degrees. A collapse changes those sums for every triangle
// with a corner on the fan, not only for the fan's own: merging small
// triangles into a large one can tip the sum against a small neighbour
// across a sharp rim, though no triangle turns. Each vertex keeps its sum;
// a trial collapse works out the sums it would leave at the fan's vertices
// and tests every triangle that touches them, before and after.
#include <cmath>

#include "mesh/simplify/internal/MeshSimplifier.h"

namespace ridgeforge::mesh {
namespace {

// The save check's limit, -0.3, and a stricter one for what a collapse
// leaves, so that rounding the result to floats cannot tip it over.
constexpr double kFoldedBefore = 0.3;
constexpr double kFoldedAfter = 0.29;

bool FacesAway(const Vec3d& n, const Vec3d& s, double limit) {
    const double d = Dot(n, s);
    return d < 0.0 && d * d > limit * limit * Dot(n, n) * Dot(s, s);
}

}  // namespace

bool MeshSimplifier::FoldsAround(std::uint32_t keep, std::uint32_t remove, const Vec3d& target) {
    const auto normalOf = [this](const std::uint32_t (&c)[3]) {
        const Vec3d& a = vertices_[c[0]].position;
        return Cross(vertices_[c[1]].position - a, vertices_[c[2]].position - a);
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
                sumsAfter_.push_back({c, normalSum_[c]});
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
        return sum ? *sum : normalSum_[c];
    };
    // The fan's own triangles, as they stand before and after.
    for (const RingTriangle& r : ring_) {
        bool hasKeep = false, hasRemove = false;
        for (const std::uint32_t c : r.corners) {
            hasKeep = hasKeep || c == keep;
            hasRemove = hasRemove || c == remove;
        }
        if (hasKeep && hasRemove) continue;
        const Vec3d before = normalOf(r.corners);
        Vec3d c[3];
        Vec3d sBefore, sAfter;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = r.corners[k];
            const bool moved = v == keep || v == remove;
            c[k] = moved ? target : vertices_[v].position;
            sBefore += normalSum_[v];
            sAfter += sumAfter(v);
        }
        const Vec3d after = Cross(c[1] - c[0], c[2] - c[0]);
        if (FacesAway(after, sAfter, kFoldedAfter) && !FacesAway(before, sBefore, kFoldedBefore)) return true;
    }
    // The triangles beyond the fan that share a corner with it.
    for (std::size_t i = 1; i < sumsAfter_.size(); ++i) {
        const VertexState& around = vertices_[sumsAfter_[i].first];
        for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
            const TriangleState& tri = triangles_[incidence_[around.incidenceOffset + j]];
            if (!tri.live) continue;
            bool onFan = false;
            for (const std::uint32_t c : tri.corners) onFan = onFan || c == keep || c == remove;
            if (onFan) continue;
            const Vec3d n = normalOf(tri.corners);
            Vec3d sBefore, sAfter;
            for (const std::uint32_t c : tri.corners) {
                sBefore += normalSum_[c];
                sAfter += sumAfter(c);
            }
            if (FacesAway(n, sAfter, kFoldedAfter) && !FacesAway(n, sBefore, kFoldedBefore)) return true;
        }
    }
    return false;
}

// After a collapse: the sums at keep and at the fan's outer vertices (as the
// last trial listed them), worked
// out afresh from their live triangles so that no rounding builds up.
void MeshSimplifier::SumNormalsAround() {
    for (const auto& [v, unused] : sumsAfter_) {
        const VertexState& around = vertices_[v];
        Vec3d sum;
        for (std::uint32_t j = 0; j < around.incidenceCount; ++j) {
            const TriangleState& tri = triangles_[incidence_[around.incidenceOffset + j]];
            if (!tri.live) continue;
            const Vec3d& a = vertices_[tri.corners[0]].position;
            sum += Cross(vertices_[tri.corners[1]].position - a, vertices_[tri.corners[2]].position - a);
        }
        normalSum_[v] = sum;
    }
}

}  // namespace ridgeforge::mesh
