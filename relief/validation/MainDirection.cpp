// The main direction is the eigenvector of the largest eigenvalue of the
// 3 x 3 sum of unit outer products (the remesher's Jacobi decomposition);
// the frame's only use is to make boxes thinner, and the boxes are taken in
// whatever frame comes out, exact in it.
#include "relief/validation/internal/MainDirection.h"

#include <algorithm>
#include <cmath>

#include "mesh/remesh/CellVertexPlacement.h"

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
    double sum[3][3], values[3], vectors[3][3];
    std::copy(&sum_[0][0], &sum_[0][0] + 9, &sum[0][0]);
    SymmetricEigen3(sum, values, vectors);
    const int main = values[0] >= values[1] && values[0] >= values[2] ? 0 : (values[1] >= values[2] ? 1 : 2);
    // A column of the decomposition's rotations: of unit length already.
    const Vec3d u{vectors[0][main], vectors[1][main], vectors[2][main]};
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
