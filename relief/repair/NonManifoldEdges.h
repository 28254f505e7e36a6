// Fixes for edges that three or more triangles share, which a slicer cannot
// read as inside and outside: counting them, dropping double-skinned pairs
// (the same three corners wound both ways), giving each wedge of surface at
// such an edge its own copy of the edge's corners, and, as a last resort,
// cutting the triangles at the remaining shared edges away and filling the
// holes again.
//
// Needs: a mesh that satisfies the validity rule; one without triangles gives
// 0 and is left alone. Single-threaded, in place, no progress; bounds and
// normals are left to the caller except where said.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Edges used by three or more triangles.
std::uint64_t CountNonManifoldEdges(const TriangleMesh& mesh);

// Removes, for each corner triple, as many oppositely wound pairs as there
// are; triangles wound the same way always stay. Returns the pairs removed.
std::uint64_t RemoveDoubleSkinnedPairs(TriangleMesh& mesh);

// Gives every fan of surface at a corner of a non-manifold edge its own copy
// of the corner, nudged at most 0.002 mm (or 10 x the weld tolerance) into its
// own fan. A split that would leave an edge over-shared or newly open is
// undone exactly. Returns the number of vertex copies made.
std::uint64_t SplitNonManifoldEdges(TriangleMesh& mesh);

// Cuts the triangles at non-manifold edges out of a copy, separates the fans
// at the cut corners, fills the holes (up to 5 mm across) and keeps the copy
// only when it has fewer non-manifold edges and no more open edges. Returns
// the non-manifold edge count of the mesh afterwards. Recomputes the bounds
// when it keeps the copy.
std::uint64_t CutAndFillNonManifoldEdges(TriangleMesh& mesh);

namespace nonmanifold {

// The triangles of one edge, found by binary search in a sorted edge list.
std::vector<std::uint32_t> TrianglesOfEdge(const std::vector<SortedEdge>& edges, std::uint64_t key);

}  // namespace nonmanifold
}  // namespace ridgeforge::mesh
