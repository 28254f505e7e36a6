// Exact crossing tests between a segment and a triangle and between two
// triangles, built on the orientation predicate. Float corners are widened to
// double, so the answer is exact for the triangles as stored.
//
// Touching counts: a segment through a triangle's edge or corner, or ending
// on the triangle, crosses it. Anything lying in one plane never does, so
// coplanar triangles do not cross.
#pragma once

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

// One triangle of a search: its corners as stored and their box.
struct TriangleRecord {
    Vec3f corners[3];
    Vec3f boxMin;
    Vec3f boxMax;
};

TriangleRecord MakeTriangleRecord(const Vec3f& a, const Vec3f& b, const Vec3f& c);

// Whether the segment p-q meets the triangle a, b, c. A segment whose ends
// lie on the same side of the triangle's plane, or both in it, does not.
bool SegmentCrossesTriangle(const Vec3d& p, const Vec3d& q, const Vec3d& a, const Vec3d& b, const Vec3d& c);

// Whether an edge of either triangle crosses the other; false when all of
// second's corners lie in first's plane.
bool TrianglesIntersect(const TriangleRecord& first, const TriangleRecord& second);

}  // namespace ridgeforge::mesh
