// The simplifier's tests of a trial collapse against folds and crossings, in
// double precision on the positions the collapse would leave.
//
// The crossing test is deliberately generous: a segment that passes within a
// small distance of a triangle (relative to the coordinates, so more than the
// rounding of the result to floats) counts as meeting it, since refusing one
// collapse too many costs a triangle while a crossing let through breaks the
// part. Segments lying in the triangle's plane are left to the orientation
// tests, which keep flat areas from folding.
//
// Needs: corners as doubles.
// Returns: whether the pair folds or may cross.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

// An angle no smaller than the one whose cosine is given, in degrees, and at
// most about 0.01 degrees larger: the arcsine polynomial of Abramowitz and
// Stegun (4.4.45), whose error stays under 6.8e-5 radians, with a little more
// than that added, since the crease bounds may only err upwards. It costs a
// fraction of acos.
inline float AngleDegrees(double cosine) {
    constexpr double kError = 8e-5;
    constexpr double kPi = 3.14159265358979323846;
    const double x = std::min(std::abs(cosine), 1.0);
    const double a = std::sqrt(1.0 - x) * (1.5707288 + x * (-0.2121144 + x * (0.0742610 - 0.0187293 * x)));
    const double angle = cosine < 0.0 ? kPi - a + kError : a + kError;
    return static_cast<float>(angle * (180.0 / kPi));
}

// Whether a triangle with normal n (not unit) faces away from the sum s of
// the normals at its corners by more than the limit: n.s < -limit |n| |s|.
inline bool FacesAway(const Vec3d& n, const Vec3d& s, double limit) {
    const double d = Dot(n, s);
    return d < 0.0 && d * d > limit * limit * Dot(n, n) * Dot(s, s);
}

// How far such a triangle stands from facing away: n.s / |n| + limit |s|,
// infinite without area (it never faces away). While it is positive the
// triangle does not face away, and a change ds to the sum lowers it by at
// most (1 + limit) |ds|.
inline double FoldMargin(const Vec3d& n, const Vec3d& s, double limit) {
    const double length = std::sqrt(Dot(n, n));
    if (!(length > 0.0)) return std::numeric_limits<double>::infinity();
    return Dot(n, s) / length + limit * std::sqrt(Dot(s, s));
}

// The angle between two normals (not unit); 180 when either has no length.
inline float AngleBetween(const Vec3d& x, const Vec3d& y) {
    const double scale = std::sqrt(Dot(x, x) * Dot(y, y));
    return scale > 0.0 ? AngleDegrees(Dot(x, y) / scale) : 180.0f;
}

// Normals x and y (not unit) more than about 165 degrees apart: compared in
// squares, without roots.
inline bool Folded(const Vec3d& x, const Vec3d& y) {
    constexpr double kFoldedCosineSquared = 0.966 * 0.966;
    const double after = Dot(x, y);
    return after < 0.0 && after * after > kFoldedCosineSquared * Dot(x, x) * Dot(y, y);
}

// Folded, and further than x0 and y0 were.
inline bool FoldedFurther(const Vec3d& x, const Vec3d& y, const Vec3d& x0, const Vec3d& y0) {
    if (!Folded(x, y)) return false;
    const double after = Dot(x, y), afterScale = Dot(x, x) * Dot(y, y);
    const double before = Dot(x0, y0), beforeScale = Dot(x0, x0) * Dot(y0, y0);
    return !(before < 0.0 && before * before * afterScale >= after * after * beforeScale);
}

// Whether segment p-q passes through triangle a-b-c, or within the tolerance.
bool SegmentMayCross(const Vec3d& p, const Vec3d& q, const Vec3d& a, const Vec3d& b, const Vec3d& c);

// Whether triangles x and y meet anywhere but at the corners they share:
// `shared[i]` is the corner of y that x's corner i is, or -1. Triangles that
// share an edge are not judged here (their fold test does).
bool TrianglesMayCross(const Vec3d (&x)[3], const Vec3d (&y)[3], const int (&shared)[3]);

}  // namespace ridgeforge::mesh
