// Where an edge collapse puts the surviving vertex and what it costs: the
// point that minimises the summed quadric error (Garland and Heckbert 1997),
// found by cofactors, or the cheaper of the two ends and the midpoint where
// that point is ill-determined or strays from the edge.
//
// A collapse offers the edges to all of the survivor's neighbours at once;
// their costs are worked out two at a time in the lanes of one vector, each
// lane doing exactly the operations of the one-edge form in the same order,
// so that both forms give the same bits.
//
// Needs: for each end, its quadric (`quadric`, ten doubles: xx xy xz xw yy yz
// yw zz zw ww), `position` and `held` flag.
// Returns: the placement, not admissible when both ends are held or every
// candidate point lies on or below the bed.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

struct CollapsePlacement {
    bool admissible = false;
    Vec3d position;
    double cost = 0.0;
};

// Points at or below the bed (along its axis, within the tolerance) are not
// admissible; without a bed every point is.
struct BedRule {
    bool active = false;
    int axis = 2;
    double level = 0.0;
    double tolerance = 0.0;
    bool Above(const Vec3d& p) const { return !active || p[axis] > level + tolerance; }
};

namespace collapse_cost {

// Two doubles worked on side by side; each lane rounds exactly as the same
// sums on one double would.
using DoublePair = double __attribute__((vector_size(16)));

// The quadric's value, written once for one point or a pair of points, and
// for one quadric or a pair of quadrics.
template <typename Q, typename T>
[[gnu::always_inline]] inline T QuadricValue(const Q& q, T x, T y, T z) {
    return q[0] * x * x + 2.0 * q[1] * x * y + 2.0 * q[2] * x * z + 2.0 * q[3] * x + q[4] * y * y + 2.0 * q[5] * y * z +
           2.0 * q[6] * y + q[7] * z * z + 2.0 * q[8] * z + q[9];
}

[[gnu::always_inline]] inline double Evaluate(const std::array<double, 10>& q, const Vec3d& v) {
    return std::max(0.0, QuadricValue(q, v.x, v.y, v.z));
}

struct PointPair {
    DoublePair x, y, z;
    Vec3d Lane(int i) const { return {x[i], y[i], z[i]}; }
};

}  // namespace collapse_cost

template <typename End>
CollapsePlacement CollapseCost(const End& va, const End& vb, const BedRule& bed) {
    using namespace collapse_cost;
    std::array<double, 10> q;
    for (int i = 0; i < 10; ++i) q[i] = va.quadric[i] + vb.quadric[i];
    CollapsePlacement best;
    if (va.held && vb.held) return best;
    if (va.held || vb.held) {
        best.position = va.held ? va.position : vb.position;
        best.cost = Evaluate(q, best.position);
        best.admissible = true;
        return best;
    }

    const Vec3d& pa = va.position;
    const Vec3d& pb = vb.position;
    const Vec3d mid = (pa + pb) * 0.5;
    // The point where the quadric's gradient vanishes, by cofactors.
    const double xx = q[0], xy = q[1], xz = q[2], yy = q[4], yz = q[5], zz = q[7];
    const double c00 = yy * zz - yz * yz, c01 = xz * yz - xy * zz, c02 = xy * yz - xz * yy;
    const double c11 = xx * zz - xz * xz, c12 = xy * xz - xx * yz, c22 = xx * yy - xy * xy;
    const double det = xx * c00 + xy * c01 + xz * c02;
    const double trace = xx + yy + zz;
    if (std::fabs(det) > 1e-9 * trace * trace * trace) {
        const double wx = q[3], wy = q[6], wz = q[8];
        const Vec3d p = {-(c00 * wx + c01 * wy + c02 * wz) / det, -(c01 * wx + c11 * wy + c12 * wz) / det,
                         -(c02 * wx + c12 * wy + c22 * wz) / det};
        if (IsFinite(p) && LengthSquared(p - mid) <= LengthSquared(pa - pb) && bed.Above(p)) {
            return {true, p, Evaluate(q, p)};
        }
    }
    // Both ends at once: most edges of a finely divided surface come here.
    const DoublePair ends = QuadricValue(q, DoublePair{pa.x, pb.x}, DoublePair{pa.y, pb.y}, DoublePair{pa.z, pb.z});
    const double costs[3] = {std::max(0.0, ends[0]), std::max(0.0, ends[1]), Evaluate(q, mid)};
    const Vec3d* points[3] = {&pa, &pb, &mid};
    for (int i = 0; i < 3; ++i) {
        if (!bed.Above(*points[i])) continue;
        if (!best.admissible || costs[i] < best.cost) best = {true, *points[i], costs[i]};
    }
    return best;
}

template <typename End>
void CollapseCostPair(const End& u0, const End& v0, const End& u1, const End& v1, const BedRule& bed,
                      CollapsePlacement out[2]) {
    using namespace collapse_cost;
    if (u0.held || v0.held || u1.held || v1.held) {
        out[0] = CollapseCost(u0, v0, bed);
        out[1] = CollapseCost(u1, v1, bed);
        return;
    }
    DoublePair q[10];
    for (int i = 0; i < 10; ++i) {
        q[i] = DoublePair{u0.quadric[i], u1.quadric[i]} + DoublePair{v0.quadric[i], v1.quadric[i]};
    }
    const PointPair a = {DoublePair{u0.position.x, u1.position.x}, DoublePair{u0.position.y, u1.position.y},
                         DoublePair{u0.position.z, u1.position.z}};
    const PointPair b = {DoublePair{v0.position.x, v1.position.x}, DoublePair{v0.position.y, v1.position.y},
                         DoublePair{v0.position.z, v1.position.z}};
    const PointPair mid = {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5, (a.z + b.z) * 0.5};

    const DoublePair xx = q[0], xy = q[1], xz = q[2], yy = q[4], yz = q[5], zz = q[7];
    const DoublePair c00 = yy * zz - yz * yz, c01 = xz * yz - xy * zz, c02 = xy * yz - xz * yy;
    const DoublePair c11 = xx * zz - xz * xz, c12 = xy * xz - xx * yz, c22 = xx * yy - xy * xy;
    const DoublePair det = xx * c00 + xy * c01 + xz * c02;
    const DoublePair trace = xx + yy + zz;
    const DoublePair least = 1e-9 * trace * trace * trace;
    bool taken[2] = {false, false};
    if (std::fabs(det[0]) > least[0] || std::fabs(det[1]) > least[1]) {
        const DoublePair wx = q[3], wy = q[6], wz = q[8];
        const PointPair p = {-(c00 * wx + c01 * wy + c02 * wz) / det, -(c01 * wx + c11 * wy + c12 * wz) / det,
                             -(c02 * wx + c12 * wy + c22 * wz) / det};
        const DoublePair cost = QuadricValue(q, p.x, p.y, p.z);
        for (int i = 0; i < 2; ++i) {
            if (!(std::fabs(det[i]) > least[i])) continue;
            const Vec3d point = p.Lane(i);
            if (IsFinite(point) && LengthSquared(point - mid.Lane(i)) <= LengthSquared(a.Lane(i) - b.Lane(i)) &&
                bed.Above(point)) {
                out[i] = {true, point, std::max(0.0, cost[i])};
                taken[i] = true;
            }
        }
    }
    if (taken[0] && taken[1]) return;
    const DoublePair atA = QuadricValue(q, a.x, a.y, a.z);
    const DoublePair atB = QuadricValue(q, b.x, b.y, b.z);
    const DoublePair atMid = QuadricValue(q, mid.x, mid.y, mid.z);
    for (int i = 0; i < 2; ++i) {
        if (taken[i]) continue;
        const Vec3d points[3] = {a.Lane(i), b.Lane(i), mid.Lane(i)};
        const double costs[3] = {std::max(0.0, atA[i]), std::max(0.0, atB[i]), std::max(0.0, atMid[i])};
        CollapsePlacement best;
        for (int j = 0; j < 3; ++j) {
            if (!bed.Above(points[j])) continue;
            if (!best.admissible || costs[j] < best.cost) best = {true, points[j], costs[j]};
        }
        out[i] = best;
    }
}

}  // namespace ridgeforge::mesh
