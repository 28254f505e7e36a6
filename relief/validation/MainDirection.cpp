// Power iteration on the 3 x 3 sum of unit outer products; 32 steps reach
// the main direction closely enough for a frame whose only use is to make
// boxes thinner (the boxes are taken in whatever frame comes out, and are
// exact in it).
#include "relief/validation/internal/MainDirection.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::mesh {

void MainDirection::Add(const Vec3d& edge) {
    const double l2 = LengthSquared(edge);
    if (!(l2 > 0.0) || !std::isfinite(l2)) return;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sum_[i][j] += edge[i] * edge[j] / l2;
}

void MainDirection::AddLongestEdge(const Vec3f (&corners)[3]) {
    Vec3d longest{};
    for (int k = 0; k < 3; ++k) {
        const Vec3d e = ToDouble(corners[(k + 1) % 3]) - ToDouble(corners[k]);
        if (LengthSquared(e) > LengthSquared(longest)) longest = e;
    }
    Add(longest);
}

void MainDirection::Frame(Vec3d (&axes)[3]) const {
    // Off every axis and every diagonal, so that no symmetric sum leaves it
    // square to the main direction.
    Vec3d u{0.577, 0.578, 0.579};
    for (int step = 0; step < 32; ++step) {
        Vec3d next{};
        for (int i = 0; i < 3; ++i) next[i] = sum_[i][0] * u.x + sum_[i][1] * u.y + sum_[i][2] * u.z;
        const double l = Length(next);
        if (!(l > 0.0) || !std::isfinite(l)) break;
        u = next * (1.0 / l);
    }
    const Vec3d helper = std::fabs(u.x) < 0.6 ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0};
    const Vec3d v = Cross(u, helper) * (1.0 / Length(Cross(u, helper)));
    axes[0] = u;
    axes[1] = v;
    axes[2] = Cross(u, v);
}

void FrameBox(const Vec3f (&corners)[3], const Vec3d (&axes)[3], Vec3d& low, Vec3d& high) {
    double largest = 0.0;
    for (int k = 0; k < 3; ++k) {
        const Vec3d c = ToDouble(corners[k]);
        const Vec3d turned{Dot(c, axes[0]), Dot(c, axes[1]), Dot(c, axes[2])};
        largest = std::max({largest, std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)});
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = k == 0 ? turned[axis] : std::min(low[axis], turned[axis]);
            high[axis] = k == 0 ? turned[axis] : std::max(high[axis], turned[axis]);
        }
    }
    const double slack = 1e-12 * largest;
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] -= slack;
        high[axis] += slack;
    }
}

}  // namespace ridgeforge::mesh
