// Tests of a trial collapse against the surface just beyond the fan: the fan
// triangles that turn are judged against each other and against every
// triangle around the fan's outer corners, for a fold across an outer edge
// and for a crossing anywhere else. The crossing test is the classic one for
// triangles off each other's planes: two triangles meet exactly when an edge
// of one passes through the other; neighbours that share a corner meet
// elsewhere only through an edge opposite that corner.
#include <algorithm>
#include <cmath>

#include "mesh/simplify/internal/FoldChecks.h"
#include "mesh/simplify/internal/MeshSimplifier.h"

namespace ridgeforge::mesh {

namespace {

double LargestMagnitude(const Vec3d& p) { return std::max({std::abs(p.x), std::abs(p.y), std::abs(p.z)}); }

}  // namespace

bool SegmentMayCross(const Vec3d& p, const Vec3d& q, const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const Vec3d n = Cross(b - a, c - a);
    const double length = Length(n);
    if (!(length > 0.0)) return false;
    // Well above the rounding of coordinates this large to floats.
    const double tolerance = 1e-6 * (LargestMagnitude(a) + LargestMagnitude(p) + LargestMagnitude(q - p));
    const double slack = tolerance * length;
    const double dp = Dot(n, p - a), dq = Dot(n, q - a);
    if ((dp > slack && dq > slack) || (dp < -slack && dq < -slack)) return false;
    if (std::abs(dp) <= slack && std::abs(dq) <= slack) return false;  // in the plane
    const double s = std::clamp(dp / (dp - dq), 0.0, 1.0);
    const Vec3d x = p + (q - p) * s;
    const Vec3d corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        const Vec3d& from = corners[k];
        const Vec3d edge = corners[(k + 1) % 3] - from;
        if (Dot(Cross(edge, x - from), n) < -tolerance * Length(edge) * length) return false;
    }
    return true;
}

bool TrianglesMayCross(const Vec3d (&x)[3], const Vec3d (&y)[3], const int (&shared)[3]) {
    int count = 0, corner = -1;
    for (int k = 0; k < 3; ++k) {
        if (shared[k] >= 0) {
            ++count;
            corner = k;
        }
    }
    if (count >= 2) return false;
    if (count == 1) {
        const int other = shared[corner];
        return SegmentMayCross(x[(corner + 1) % 3], x[(corner + 2) % 3], y[0], y[1], y[2]) ||
               SegmentMayCross(y[(other + 1) % 3], y[(other + 2) % 3], x[0], x[1], x[2]);
    }
    for (int axis = 0; axis < 3; ++axis) {
        const double xLow = std::min({x[0][axis], x[1][axis], x[2][axis]});
        const double xHigh = std::max({x[0][axis], x[1][axis], x[2][axis]});
        const double yLow = std::min({y[0][axis], y[1][axis], y[2][axis]});
        const double yHigh = std::max({y[0][axis], y[1][axis], y[2][axis]});
        const double margin = 1e-5 * (std::abs(xLow) + std::abs(xHigh) + (xHigh - xLow) + (yHigh - yLow));
        if (xHigh + margin < yLow || yHigh + margin < xLow) return false;
    }
    for (int k = 0; k < 3; ++k) {
        if (SegmentMayCross(x[k], x[(k + 1) % 3], y[0], y[1], y[2])) return true;
        if (SegmentMayCross(y[k], y[(k + 1) % 3], x[0], x[1], x[2])) return true;
    }
    return false;
}

// A fan that does not turn at all moves in its own plane, which the
// orientation tests judge. A fan triangle folds onto the triangle across its
// outer edge only where the crease there (bounded by the creases at the
// edge's ends) and its turn add up to a fold, however small the turn. The
// crossing tests cost more than all the others, so only fan triangles that
// turn by more than about 3 degrees are tested for a crossing: a smaller turn
// moves a triangle too little to reach through another.
bool MeshSimplifier::BeyondFanFails(std::uint32_t keep, std::uint32_t remove, const Vec3d& target) {
    constexpr double kSmallTurnCosineSquared = 0.99863 * 0.99863;
    // A little below the fold test's 165 degrees, for the rounding of the angles.
    constexpr float kFoldedDegrees = 164.5f;
    turned_.clear();
    bool anyTurn = false;
    for (std::size_t i = 0; i < fan_.size(); ++i) {
        FanTriangle& f = fan_[i];
        f.turn = AngleBetween(f.after, f.before);
        const double along = Dot(f.after, f.before);
        const double scale = Dot(f.after, f.after) * Dot(f.before, f.before);
        anyTurn = anyTurn || !(along > 0.0 && along * along >= scale);
        if (along > 0.0 && along * along >= kSmallTurnCosineSquared * scale) continue;
        turned_.push_back(i);
    }
    if (!anyTurn) return false;
    bool nearFold = !turned_.empty();
    for (const FanTriangle& f : fan_) {
        nearFold = nearFold || std::min(vertices_[f.u].crease, vertices_[f.v].crease) + f.turn >= kFoldedDegrees;
    }
    // No crease beyond the fan can fold and no triangle turns far enough to cross.
    if (!nearFold) return false;
    const auto corners = [&](const FanTriangle& f, Vec3d(&out)[3]) {
        out[0] = target;
        out[1] = vertices_[f.u].position;
        out[2] = vertices_[f.v].position;
    };
    // The fan's triangles against each other, where they share only keep.
    for (const std::size_t i : turned_) {
        Vec3d x[3], y[3];
        corners(fan_[i], x);
        for (std::size_t j = 0; j < fan_.size(); ++j) {
            const FanTriangle& g = fan_[j];
            if (j == i || g.u == fan_[i].u || g.u == fan_[i].v || g.v == fan_[i].u || g.v == fan_[i].v) continue;
            corners(g, y);
            if (TrianglesMayCross(x, y, {0, -1, -1})) return true;
        }
    }
    // Each triangle around an outer corner once: from the first of its
    // corners to be visited.
    const std::uint32_t mark = NextMark();
    for (const FanTriangle& f : fan_) {
        for (const std::uint32_t link : {f.u, f.v}) {
            if (vertices_[link].mark == mark) continue;
            vertices_[link].mark = mark;
            const VertexState& around = vertices_[link];
            for (std::uint32_t r = 0; r < around.incidenceCount; ++r) {
                const TriangleState& tri = triangles_[incidence_[around.incidenceOffset + r]];
                if (!tri.live) continue;
                bool skip = false;
                for (const std::uint32_t c : tri.corners) {
                    skip = skip || c == keep || c == remove || (c != link && vertices_[c].mark == mark);
                }
                if (skip) continue;
                const Vec3d y[3] = {vertices_[tri.corners[0]].position, vertices_[tri.corners[1]].position,
                                    vertices_[tri.corners[2]].position};
                const Vec3d normal = Cross(y[1] - y[0], y[2] - y[0]);
                // Across a fan triangle's outer edge: a fold there passes
                // through itself, however little the fan triangle turns.
                for (const FanTriangle& g : fan_) {
                    if (std::min(vertices_[g.u].crease, vertices_[g.v].crease) + g.turn < kFoldedDegrees) continue;
                    const bool hasU = tri.corners[0] == g.u || tri.corners[1] == g.u || tri.corners[2] == g.u;
                    const bool hasV = tri.corners[0] == g.v || tri.corners[1] == g.v || tri.corners[2] == g.v;
                    if (hasU && hasV && FoldedFurther(g.after, normal, g.before, normal)) return true;
                }
                for (const std::size_t i : turned_) {
                    const FanTriangle& g = fan_[i];
                    int shared[3] = {-1, -1, -1};
                    for (int k = 0; k < 3; ++k) {
                        if (tri.corners[k] == g.u) shared[1] = k;
                        if (tri.corners[k] == g.v) shared[2] = k;
                    }
                    if (shared[1] >= 0 && shared[2] >= 0) continue;
                    Vec3d x[3];
                    corners(g, x);
                    if (TrianglesMayCross(x, y, shared)) return true;
                }
            }
        }
    }
    return false;
}

// After an accepted collapse: the creases at keep are those between its
// fan's triangles, known exactly; an outer edge's crease grows by at most its
// fan triangle's turn, which its ends' bounds take on.
void MeshSimplifier::BoundCreases(std::uint32_t keep) {
    for (const FanTriangle& f : fan_) {
        if (f.turn == 0.0f) continue;
        const float outer = std::min(vertices_[f.u].crease, vertices_[f.v].crease) + f.turn;
        vertices_[f.u].crease = std::max(vertices_[f.u].crease, outer);
        vertices_[f.v].crease = std::max(vertices_[f.v].crease, outer);
    }
    float atKeep = 0.0f;
    AnyNeighbourPair([&](std::size_t i, std::size_t j, std::uint32_t shared) {
        const float angle = AngleBetween(fan_[i].after, fan_[j].after);
        atKeep = std::max(atKeep, angle);
        vertices_[shared].crease = std::max(vertices_[shared].crease, angle);
        return false;
    });
    vertices_[keep].crease = atKeep;
}

}  // namespace ridgeforge::mesh
