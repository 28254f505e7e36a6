// The indexed triangle mesh that every part of the system passes around, and
// its basic geometric queries.
//
// The validity rule: a mesh is valid when its index count is a multiple of 3
// and every index is below the vertex count. Operations that read positions
// through indices check it first and return a neutral result (empty, zero, or
// the mesh unchanged) when it fails; they never report an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

struct Vertex {
    Vec3f position;
    Vec3f normal;
};

struct TriangleMesh {
    std::vector<Vertex> vertices;
    std::vector<std::uint32_t> indices;
    Vec3f boundsMin;
    Vec3f boundsMax;
    bool boundsValid = false;

    std::size_t TriangleCount() const { return indices.size() / 3; }

    void RecomputeBounds();
    // Area-weighted vertex normals; all zero when the mesh breaks the validity rule.
    void RecomputeNormals();
    // Unit normal of triangle t, or (0, 0, 0) when t or one of its corners is out of range.
    Vec3f FaceNormal(std::uint64_t t) const;
    float SurfaceArea() const;
    // Positive for a closed mesh whose faces point outwards.
    float SignedVolume() const;
};

// An axis-aligned box with the mesh's notion of validity.
struct BoundingBox {
    Vec3f min;
    Vec3f max;
    bool valid = false;
};

inline BoundingBox MeshBounds(const TriangleMesh& mesh) { return {mesh.boundsMin, mesh.boundsMax, mesh.boundsValid}; }

// The validity rule shared by every operation that reads positions through indices.
bool IsValidMesh(const TriangleMesh& mesh);

// The largest vertex or index count a mesh may have: indices are 32-bit.
inline constexpr std::uint64_t kMaxMeshElements = 0xFFFFFFFFull;

// True when a mesh of this many vertices and index entries can be addressed
// with 32-bit indices (and its triangles numbered in 32 bits). Whatever builds
// a mesh from outside data checks this before allocating.
constexpr bool FitsMeshIndices(std::uint64_t vertexCount, std::uint64_t indexCount) {
    return vertexCount <= kMaxMeshElements && indexCount <= kMaxMeshElements;
}

struct EdgeCounts {
    std::uint64_t edges = 0;
    std::uint64_t openBoundaryEdges = 0;
    std::uint64_t manifoldEdges = 0;
    std::uint64_t nonManifoldEdges = 0;
};

// Per-vertex adjacency in compressed rows.
struct BodyList {
    std::vector<std::uint32_t> vertexNeighbourOffsets;
    std::vector<std::uint32_t> vertexNeighbours;
    std::vector<std::uint32_t> vertexTriangleOffsets;
    std::vector<std::uint32_t> vertexTriangles;
};

using SortedEdge = std::pair<std::uint64_t, std::uint32_t>;

// Key of the undirected edge (i, j): equal keys mean the same edge.
constexpr std::uint64_t EdgeKey(std::uint32_t i, std::uint32_t j) {
    return i < j ? (std::uint64_t{i} << 32) | j : (std::uint64_t{j} << 32) | i;
}

// Median of the edge lengths of at most about 40,001 evenly spaced triangles.
float MedianEdgeLength(const TriangleMesh& mesh);

// The connectivity below is built in mesh/Connectivity.cpp, which also offers
// the union-find and the split into components by a stated joining rule.
// Bodies connected through shared vertex indices.
std::uint64_t CountBodies(const TriangleMesh& mesh);
// (edge key, triangle) for every triangle side, sorted by key then triangle.
std::vector<SortedEdge> BuildSortedEdgeKeys(const TriangleMesh& mesh);
// The triangle half of SplitIntoBodies: for each vertex the triangles that
// use it, ascending, one entry per corner. False, with empty rows, for a
// broken mesh.
bool BuildVertexTriangleRows(const TriangleMesh& mesh, std::vector<std::uint32_t>& offsets,
                             std::vector<std::uint32_t>& triangles);
// Callers pass a valid mesh; a broken one gets empty rows (every offset 0).
BodyList SplitIntoBodies(const TriangleMesh& mesh);
// The same rows under the names the mapping and repair code use; a triangle
// that names a vertex in two corners is listed twice for it.
using VertexAdjacency = BodyList;
inline VertexAdjacency BuildVertexAdjacency(const TriangleMesh& mesh) { return SplitIntoBodies(mesh); }
EdgeCounts EdgeStatistics(const TriangleMesh& mesh);

}  // namespace ridgeforge::mesh
