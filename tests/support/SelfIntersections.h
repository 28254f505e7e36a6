// A self-intersection and fold count for judging what a mesh algorithm does
// to a surface. Candidate pairs come from the bounding-box tree (a dual walk
// of the tree against itself); each pair is decided by exact orientation
// tests (a fast double evaluation with an error bound, falling back to exact
// expansion arithmetic after Shewchuk, "Adaptive Precision Floating-Point
// Arithmetic and Fast Robust Geometric Predicates", 1997).
//
// A pair counts when the two triangles share a point that is not a corner or
// edge they share: disjoint triangles that touch or cross, triangles sharing
// one corner that meet anywhere else, triangles sharing an edge that lie in
// one plane on the same side of it (an overlapping fold, which also counts as
// a folded edge). A triangle with no area is not judged against a triangle
// it shares an edge with. A
// folded edge is an edge of exactly two triangles turned almost fully against
// each other (normals more than about 165 degrees apart, or exactly coplanar
// with both on the same side).
//
// Needs: a mesh that satisfies the validity rule.
// Returns: both counts; zero for an invalid or empty mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::test {

struct SelfIntersectionCount {
    std::uint64_t intersectingPairs = 0;
    std::uint64_t foldedEdges = 0;
};

SelfIntersectionCount CountSelfIntersections(const mesh::TriangleMesh& mesh);

// One byte per triangle, set for every triangle of a counted pair or of a
// folded edge: where a mesh is damaged, so that what an algorithm adds can be
// told from what its input brought.
std::vector<std::uint8_t> DamagedTriangles(const mesh::TriangleMesh& mesh);

// The same, summed over the mesh's connected bodies (through shared
// vertices) counted each on its own: shells that overlap on purpose, as two
// boxes pushed into each other, do not count.
SelfIntersectionCount CountWithinBodies(const mesh::TriangleMesh& mesh);

// Exact sign of (b - a) x (c - a) . (d - a): positive when d lies on the side
// the triangle a-b-c faces, negative behind it, 0 when the four are coplanar.
int Orient3d(const mesh::Vec3f& a, const mesh::Vec3f& b, const mesh::Vec3f& c, const mesh::Vec3f& d);

}  // namespace ridgeforge::test
