// A segment crosses a triangle when its ends are not on one side of the
// triangle's plane and its line passes through the triangle: the three
// orientations of the line against the triangle's edges agree in sign where
// they are not zero (a zero means the line meets that edge's line).
// Neighbours are decided from the same orientations, with in-plane cases
// seen along the axis their plane projects onto one-to-one.
#include "relief/validation/TriangleCrossing.h"

#include <algorithm>
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

// In one plane: whether the closed angles a-v-b and c-v-d share a direction,
// which is when a ray bounding one lies within the other. x lies within the
// angle p-v-q when the turn p, q is not zero and neither p, x nor x, q turns
// against it. The four containment tests share their turns at v, so each is
// taken once, when first needed.
bool AnglesOverlap(const Vec3d& v, const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    const int drop = DropAxis(v, a, b);
    const Vec3d* rays[4] = {&a, &b, &c, &d};
    constexpr int kUnknown = 2;
    int turns[4][4];
    for (auto& row : turns)
        for (int& t : row) t = kUnknown;
    const auto turn = [&](int p, int q) {
        const int lo = std::min(p, q), hi = std::max(p, q);
        if (turns[lo][hi] == kUnknown) turns[lo][hi] = Orient2d(v, *rays[lo], *rays[hi], drop);
        return p < q ? turns[lo][hi] : -turns[lo][hi];
    };
    const auto within = [&](int p, int q, int x) {
        const int t = turn(p, q);
        return t != 0 && turn(p, x) * t >= 0 && turn(x, q) * t >= 0;
    };
    return within(2, 3, 0) || within(2, 3, 1) || within(0, 1, 2) || within(0, 1, 3);
}

// The float filter before the exact edge tests: true when an axis across an
// edge of either triangle, in that triangle's plane, shows the two apart by
// more than the rounding of the projections could hide; then they are
// disjoint. Any axis may show that, so the rounding of the axis itself does
// not matter: each projection is off by at most 3.4e-16 times the sum of
// |coordinate| x |axis component|, bounded by `reach`. Two triangles that
// straddle each other's planes side by side, as neighbours' neighbours on a
// bumpy surface do, are let go here instead of after twelve more orientations.
bool ClearlyApart(const Vec3d (&a)[3], const Vec3d (&b)[3]) {
    Vec3d largest{};
    for (int k = 0; k < 3; ++k) {
        for (int axis = 0; axis < 3; ++axis) {
            largest[axis] = std::max({largest[axis], std::fabs(a[k][axis]), std::fabs(b[k][axis])});
        }
    }
    const auto apartAcrossEdges = [&](const Vec3d (&p)[3], const Vec3d (&q)[3]) {
        const Vec3d normal = Cross(p[1] - p[0], p[2] - p[0]);
        for (int i = 0; i < 3; ++i) {
            const Vec3d w = Cross(normal, p[(i + 1) % 3] - p[i]);
            const double reach = largest.x * std::fabs(w.x) + largest.y * std::fabs(w.y) + largest.z * std::fabs(w.z);
            const double margin = 1e-15 * reach;
            double pLow = Dot(p[0], w), pHigh = pLow, qLow = Dot(q[0], w), qHigh = qLow;
            for (int k = 1; k < 3; ++k) {
                const double pk = Dot(p[k], w), qk = Dot(q[k], w);
                pLow = std::min(pLow, pk);
                pHigh = std::max(pHigh, pk);
                qLow = std::min(qLow, qk);
                qHigh = std::max(qHigh, qk);
            }
            if (pHigh + margin < qLow || qHigh + margin < pLow) return true;
        }
        return false;
    };
    return apartAcrossEdges(a, b) || apartAcrossEdges(b, a);
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
    if (ClearlyApart(a, b)) return false;
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
        return AnglesOverlap(v, a, b, c, d);
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
