// A segment crosses a triangle when its ends are not on one side of the
// triangle's plane and its line passes through the triangle: the three
// orientations of the line against the triangle's edges agree in sign where
// they are not zero (a zero means the line meets that edge's line).
#include "mesh/validation/TriangleCrossing.h"

#include "mesh/validation/ExactPredicates.h"

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
