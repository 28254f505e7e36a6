// Exact crossing tests between a segment and a triangle and between two
// triangles, built on the orientation predicate. Float corners are widened to
// double, so the answer is exact for the triangles as stored.
//
// Touching counts: a segment through a triangle's edge or corner, or ending
// on the triangle, crosses it. Anything lying in one plane never does, so
// coplanar triangles without a common corner do not cross. Neighbours, which
// share a corner or an edge, cross when they meet anywhere beyond what they
// share, in one plane or not.
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

// Triangles that share one corner: first's corner `firstCorner` is second's
// corner `secondCorner`. Whether they meet anywhere but there: off one plane,
// when an edge opposite the shared corner meets the other triangle; in one
// plane, when their angles at the corner overlap.
bool CornerNeighboursMeet(const TriangleRecord& first, int firstCorner, const TriangleRecord& second, int secondCorner);

// Triangles that share an edge, `firstOwn` and `secondOwn` being the corner of
// each that is not on it. Whether they overlap beyond the edge: off one plane
// they meet only along it; in one plane they overlap when their own corners
// lie on the same side of it (a fold laid flat).
bool EdgeNeighboursOverlap(const TriangleRecord& first, int firstOwn, const TriangleRecord& second, int secondOwn);

}  // namespace ridgeforge::mesh
