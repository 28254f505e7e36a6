// The local operations the export fixes are made of: finding folded-over
// triangles, relaxing a vertex region apart within a bounded move, growing a
// region in rings, pinning the corners of unusually long edges, and turning
// away needles (no-area triangles with three distinct corners on one line) by
// flipping their long edge.
//
// Needs: a mesh that satisfies the validity rule and, where asked for, the
// VertexAdjacency built from it (BuildVertexAdjacency) and not made stale by
// changed indices. Single-threaded but for CornerNormalSums, in millimetres;
// normals are read from the corners on the fly and never written.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Folded when the triangle's normal n and the sum s of the normals of every
// triangle at its three corners satisfy n . s < -0.3 |n| |s|: it faces away
// from the surface around it by more than about 107 degrees.
// The sum of each corner is that of the normals of the triangles at it, in
// adjacency order, and s adds the three corners' sums: a scan of many
// triangles works them out once a vertex (CornerNormalSums), and both ways
// give the same bits. A corner shared by tens of thousands of triangles (the
// hub of a fan) then costs its fan once, not once a triangle.
bool IsFoldedTriangle(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t triangle);
bool IsFoldedTriangle(const TriangleMesh& mesh, const std::vector<Vec3d>& cornerSums, std::uint32_t triangle);
Vec3d CornerNormalSum(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t vertex);
// Every vertex's sum, in parallel; a vertex the adjacency lists nothing for gets zero.
std::vector<Vec3d> CornerNormalSums(const TriangleMesh& mesh, const VertexAdjacency& adjacency);

// Judges lists of triangles on the mesh as it is at each call (its corners
// may have moved since the last): the listed triangles that are folded, in
// list order. Each corner's sum is worked out once a call, so a list of all
// the triangles at a fan's hub costs the fan once.
class FoldJudge {
public:
    explicit FoldJudge(std::size_t vertices);
    std::vector<std::uint32_t> Folded(const TriangleMesh& mesh, const VertexAdjacency& adjacency,
                                      const std::vector<std::uint32_t>& triangles);

private:
    std::size_t vertices_ = 0;
    std::vector<Vec3d> sums_;
    std::vector<std::uint64_t> summedIn_;
    std::uint64_t call_ = 0;
};

// Turns the long edge of needle triangles, up to 8 passes; each vertex takes
// part in at most one turn a pass. Returns the number of edges turned. A
// needle on an open, non-manifold or same-wound edge, or whose turn would
// duplicate an edge or tip a triangle, stays.
std::uint64_t RemoveZeroAreaTriangles(TriangleMesh& mesh);

namespace fixes {

// A folded triangle that lies flat on its only neighbour across one edge,
// with the neighbour's far corner on the front side (or within 1e-4 of the
// distance on the plane).
bool FoldLiesOnNeighbour(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t triangle);

// One relaxation step: each listed vertex that is not pinned moves halfway to
// the mean of its neighbours (as they were before the step), but never more
// than maximumMove from the start position recorded the first time it moved.
// `start` and `moved` hold one entry per vertex and are shared by every step of
// one run; `pinned` holds one byte per vertex.
void RelaxVertices(TriangleMesh& mesh, const VertexAdjacency& adjacency, const std::vector<std::uint32_t>& vertices,
                   std::vector<Vec3f>& start, std::vector<std::uint8_t>& moved, const std::vector<std::uint8_t>& pinned,
                   float maximumMove);

// The corners of the triangles in the order first met, then `rings` times the
// neighbours of every vertex listed so far.
std::vector<std::uint32_t> CollectVerticesAround(const TriangleMesh& mesh, const VertexAdjacency& adjacency,
                                                 const std::vector<std::uint32_t>& triangles, int rings);

// The triangles at the listed vertices, ascending, each once.
std::vector<std::uint32_t> TrianglesAtVertices(const VertexAdjacency& adjacency,
                                               const std::vector<std::uint32_t>& vertices);

// The median of every triangle's longest edge; 0 without triangles.
float MedianLongestEdge(const TriangleMesh& mesh);

// One byte per vertex: set at both ends of every edge longer than 4 x the
// median longest edge.
std::vector<std::uint8_t> LongEdgeVertices(const TriangleMesh& mesh);

// No area (zero unit face normal) but three edges of non-zero length.
bool IsNeedleTriangle(const TriangleMesh& mesh, std::uint32_t triangle);

std::uint64_t CountZeroAreaTriangles(const TriangleMesh& mesh);
// Ascending.
std::vector<std::uint32_t> ListZeroAreaTriangles(const TriangleMesh& mesh);

std::vector<Vec3f> SnapshotPositions(const TriangleMesh& mesh);

// The triangle target of a local collapse that should remove `remove` of
// `current` triangles: never below 1, since 0 means "no target".
std::uint64_t CollapseTarget(std::uint64_t current, std::uint64_t remove);

}  // namespace fixes
}  // namespace ridgeforge::mesh
