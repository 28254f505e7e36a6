// A segment crosses a triangle when its ends are not on one side of the
// triangle's plane and its line passes through the triangle: the three
// orientations of the line against the triangle's edges agree in sign where
// they are not zero (a zero means the line meets that edge's line).
// Neighbours are decided from the same orientations, with in-plane cases
// seen along the axis their plane projects onto one-to-one.
#include "relief/validation/TriangleCrossing.h"

#include <cmath>

#include "relief/validation/ExactPredicates.h"

namespace ridgeforge::mesh {
namespace {

// The line test once the ends' sides sp and sq of the plane are known.
bool CrossesGivenSides(int sp, int sq, const Vec3d& p, const Vec3d& q, const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    if (sp == sq) return false;
    const int t[3] = {Orient3d(p, q, a, b), Orient3d(p, q, b, c), Orient3d(p, q, c, a)};
    int sign = 0;
    for (int s : t) {
        if (s == 0) continue;
        if (sign != 0 && s != sign) return false;
        sign = s;
    }
    return sign != 0;
}

// True when every one of the three sides is the same strict side: then no
// edge between those points meets the plane, and the other triangle, lying in
// its own plane, cannot meet the triangle the sides belong to either.
bool AllOnOneSide(const int side[3]) { return side[0] != 0 && side[0] == side[1] && side[1] == side[2]; }

// Exact orientation of a, b, c seen along axis `drop` (the points projected
// onto the plane across it): the orientation of the projected points against
// the unit step along that axis, exact because that coordinate is 0 in all three.
int Orient2d(Vec3d a, Vec3d b, Vec3d c, int drop) {
    Vec3d up{};
    a[drop] = b[drop] = c[drop] = 0.0;
    up[drop] = 1.0;
    return Orient3d(a, b, c, up);
}

// The axis along which the plane of a, b, c projects one-to-one: the largest
// component of its normal.
int DropAxis(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const Vec3d n = Cross(b - a, c - a);
    const double x = std::fabs(n.x), y = std::fabs(n.y), z = std::fabs(n.z);
    return x >= y && x >= z ? 0 : (y >= z ? 1 : 2);
}

// x, in the plane of the corner v between rays to c and d, lies within the
// corner's closed angle.
bool InAngle(const Vec3d& v, const Vec3d& c, const Vec3d& d, const Vec3d& x, int drop) {
    const int turn = Orient2d(v, c, d, drop);
    return turn != 0 && Orient2d(v, c, x, drop) * turn >= 0 && Orient2d(v, x, d, drop) * turn >= 0;
}

}  // namespace

TriangleRecord MakeTriangleRecord(const Vec3f& a, const Vec3f& b, const Vec3f& c) {
    return {{a, b, c}, Min(a, Min(b, c)), Max(a, Max(b, c))};
}

bool SegmentCrossesTriangle(const Vec3d& p, const Vec3d& q, const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    return CrossesGivenSides(Orient3d(a, b, c, p), Orient3d(a, b, c, q), p, q, a, b, c);
}

bool TrianglesIntersect(const TriangleRecord& first, const TriangleRecord& second) {
    Vec3d a[3], b[3];
    for (int k = 0; k < 3; ++k) {
        a[k] = ToDouble(first.corners[k]);
        b[k] = ToDouble(second.corners[k]);
    }
    // Sides of each triangle's corners against the other's plane; every edge
    // test below needs these same signs, so they are taken once.
    int bSide[3], aSide[3];
    for (int k = 0; k < 3; ++k) bSide[k] = Orient3d(a[0], a[1], a[2], b[k]);
    if (bSide[0] == 0 && bSide[1] == 0 && bSide[2] == 0) return false;
    if (AllOnOneSide(bSide)) return false;
    for (int k = 0; k < 3; ++k) aSide[k] = Orient3d(b[0], b[1], b[2], a[k]);
    if (AllOnOneSide(aSide)) return false;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        if (CrossesGivenSides(aSide[i], aSide[j], a[i], a[j], b[0], b[1], b[2])) return true;
        if (CrossesGivenSides(bSide[i], bSide[j], b[i], b[j], a[0], a[1], a[2])) return true;
    }
    return false;
}

}  // namespace ridgeforge::mesh

namespace ridgeforge::mesh {

bool CornerNeighboursMeet(const TriangleRecord& first, int firstCorner, const TriangleRecord& second,
                          int secondCorner) {
    const Vec3d v = ToDouble(first.corners[firstCorner]);
    const Vec3d a = ToDouble(first.corners[(firstCorner + 1) % 3]);
    const Vec3d b = ToDouble(first.corners[(firstCorner + 2) % 3]);
    const Vec3d c = ToDouble(second.corners[(secondCorner + 1) % 3]);
    const Vec3d d = ToDouble(second.corners[(secondCorner + 2) % 3]);
    // The usual neighbour: the other's far corners on one side of the plane,
    // so all of it but the shared corner lies off the plane.
    const int sc = Orient3d(v, a, b, c), sd = Orient3d(v, a, b, d);
    if (sc == sd && sc != 0) return false;
    const int sa = Orient3d(v, c, d, a), sb = Orient3d(v, c, d, b);
    if (sa == sb && sa != 0) return false;
    if (sc == 0 && sd == 0 && sa == 0 && sb == 0) {
        // Two closed angles at one corner share a direction exactly when a
        // ray bounding one lies within the other.
        const int drop = DropAxis(v, a, b);
        return InAngle(v, c, d, a, drop) || InAngle(v, c, d, b, drop) || InAngle(v, a, b, c, drop) ||
               InAngle(v, a, b, d, drop);
    }
    // Off one plane the two meet along a line from the corner; beyond the
    // corner, the nearer end of that meeting lies on an opposite edge.
    return CrossesGivenSides(sa, sb, a, b, v, c, d) || CrossesGivenSides(sc, sd, c, d, v, a, b);
}

bool EdgeNeighboursOverlap(const TriangleRecord& first, int firstOwn, const TriangleRecord& second, int secondOwn) {
    const Vec3d w0 = ToDouble(first.corners[firstOwn]);
    const Vec3d u = ToDouble(first.corners[(firstOwn + 1) % 3]);
    const Vec3d v = ToDouble(first.corners[(firstOwn + 2) % 3]);
    const Vec3d w1 = ToDouble(second.corners[secondOwn]);
    if (Orient3d(u, v, w0, w1) != 0) return false;
    const int drop = DropAxis(u, v, w0);
    return Orient2d(u, v, w0, drop) * Orient2d(u, v, w1, drop) > 0;
}

}  // namespace ridgeforge::mesh
