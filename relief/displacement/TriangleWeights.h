// Where a point lies in a triangle, as the weights of corners b and c.
#pragma once

#include <algorithm>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

struct TriangleWeights {
    double s = 0.0;  // weight of corner b
    double t = 0.0;  // weight of corner c; corner a has 1 - s - t
};

// The weights of q's projection onto the triangle's plane, s clamped to 0..1
// and then t to 0..1 - s; (0, 0) for a triangle without area.
inline TriangleWeights ClampedTriangleWeights(const Vec3d& q, const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const Vec3d v0 = b - a;
    const Vec3d v1 = c - a;
    const Vec3d v2 = q - a;
    const double d00 = Dot(v0, v0), d01 = Dot(v0, v1), d11 = Dot(v1, v1);
    const double d20 = Dot(v2, v0), d21 = Dot(v2, v1);
    const double denominator = d00 * d11 - d01 * d01;
    if (!(denominator > 0.0)) return {};
    const double s = std::clamp((d11 * d20 - d01 * d21) / denominator, 0.0, 1.0);
    const double t = std::clamp((d00 * d21 - d01 * d20) / denominator, 0.0, 1.0 - s);
    return {s, t};
}

inline double MixCorners(const TriangleWeights& w, double a, double b, double c) {
    return (1.0 - w.s - w.t) * a + w.s * b + w.t * c;
}

}  // namespace ridgeforge::mesh
