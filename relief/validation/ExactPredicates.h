// Exact orientation of four points: the sign of det(b - a, c - a, d - a).
//
// A double evaluation decides the sign when it clears a forward error bound;
// only the cases it cannot certify go to the exact evaluation on
// floating-point expansions (J. R. Shewchuk, "Adaptive Precision
// Floating-Point Arithmetic and Fast Robust Geometric Predicates", 1997).
// Products are split exactly with a fused multiply-add, so the answer is exact
// for any double input whose products neither overflow nor underflow, which
// covers every float coordinate widened to double.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

// +1 when d lies on the side to which (b - a) x (c - a) points, -1 on the
// other side, 0 when the four points lie in one plane.
int Orient3d(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d);

// The same sign, always computed exactly.
int Orient3dExact(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d);

// Adds one double to an expansion: components that do not overlap, ordered
// by growing magnitude, zeros dropped. Its sum is exact; its sign is the sign
// of the last component.
void GrowExpansion(std::vector<double>& expansion, double value);

// How many orientation tests this process has made, and how many of them the
// double filter could not decide. Summed over all threads; meant for
// benchmarks and tests, not for decisions.
struct OrientationCounts {
    std::uint64_t tests = 0;
    std::uint64_t exactTests = 0;
};
OrientationCounts OrientationTestCounts();

}  // namespace ridgeforge::mesh
