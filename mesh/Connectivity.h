// Connectivity of an indexed triangle mesh, built in one place: the sorted
// edge table, the per-vertex rows of triangles and neighbours (BodyList, in
// mesh/TriangleMesh.h), one union-find, and the split into components, where
// each caller states whether pieces join through shared vertices or only
// through shared edges.
//
// Needs: a mesh that satisfies the validity rule; a broken or empty mesh gives
// no components.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// The root lookup of a union-find forest kept as a parent table, halving the
// path on the way (each visited entry then points at its grandparent). For
// callers that choose roots themselves or grow the table as they go.
template <typename Index>
Index FindRoot(std::vector<Index>& parent, Index x) {
    while (parent[static_cast<std::size_t>(x)] != x) {
        parent[static_cast<std::size_t>(x)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
        x = parent[static_cast<std::size_t>(x)];
    }
    return x;
}

// Disjoint sets over 0..n-1 with path halving. Join hangs the second root
// under the first, so the root of a set is predictable from the join order.
class UnionFind {
public:
    explicit UnionFind(std::size_t count);
    std::uint32_t Find(std::uint32_t x);
    // False when a and b were already in one set.
    bool Join(std::uint32_t a, std::uint32_t b);
    // Joins the second and third corners to the first.
    void JoinTriangle(const std::uint32_t* corners) {
        Join(corners[0], corners[1]);
        Join(corners[0], corners[2]);
    }

private:
    std::vector<std::uint32_t> parent_;
};

// The triangles the rows below are built from: a mesh's index list, or an
// editing copy's corner triples with its live flags (dead triangles are left
// out). A corner at or above the vertex count is left out of the vertex rows,
// and so is every side it bounds from the side rows.
class TriangleCorners {
public:
    explicit TriangleCorners(const TriangleMesh& mesh)
        : flat_(mesh.indices.data()), count_(mesh.indices.size() / 3), vertexCount_(mesh.vertices.size()) {}
    TriangleCorners(std::size_t vertexCount, const std::vector<std::array<std::uint32_t, 3>>& triangles,
                    const std::vector<std::uint8_t>& alive)
        : triples_(triangles.data()), alive_(alive.data()), count_(triangles.size()), vertexCount_(vertexCount) {}

    std::size_t TriangleCount() const { return count_; }
    std::size_t VertexCount() const { return vertexCount_; }
    bool Uses(std::size_t t) const { return alive_ == nullptr || alive_[t] != 0; }
    std::uint32_t Corner(std::size_t t, std::size_t k) const { return flat_ ? flat_[3 * t + k] : triples_[t][k]; }
    // Calls pass(cornersOf, uses), where cornersOf(t) points at triangle t's
    // three corners and uses(t) says whether it counts: the choice between
    // the two sources is made once for a whole pass, not at every corner.
    template <typename Pass>
    void Visit(const Pass& pass) const {
        if (flat_ != nullptr) {
            pass([p = flat_](std::size_t t) { return p + 3 * t; }, [](std::size_t) { return true; });
        } else {
            pass([p = triples_](std::size_t t) { return p[t].data(); },
                 [a = alive_](std::size_t t) { return a[t] != 0; });
        }
    }

private:
    const std::uint32_t* flat_ = nullptr;
    const std::array<std::uint32_t, 3>* triples_ = nullptr;
    const std::uint8_t* alive_ = nullptr;
    std::size_t count_ = 0;
    std::size_t vertexCount_ = 0;
};

// Row v of a table in compressed rows: entries[offsets[v]] up to
// entries[offsets[v + 1]]; offsets has one entry per vertex and one more.
// Triangles and their sides (3t + k) are numbered in 32 bits: an input of
// more than (2^32 - 1) / 3 triangles, or more entries than that in all, gets
// empty rows.
template <typename Entry>
struct VertexRows {
    std::vector<std::uint32_t> offsets;
    std::vector<Entry> entries;
};

// Each vertex's triangles in ascending order; a triangle that names the
// vertex in two corners is listed twice. The second form refills `rows` in
// the storage they already have, for callers that rebuild them pass by pass.
VertexRows<std::uint32_t> BuildVertexTriangles(const TriangleCorners& corners);
void BuildVertexTriangles(const TriangleCorners& corners, VertexRows<std::uint32_t>& rows);

// Side k of triangle t runs from corner k to corner k + 1 and is numbered
// 3t + k. A side with both ends in range is listed in the row of its smaller
// end, with its larger end; each row is ordered by the larger end, and sides
// of one edge (equal ends) keep no promised order among themselves.
struct EdgeSide {
    std::uint32_t larger;
    std::uint32_t side;
};
VertexRows<EdgeSide> BuildEdgeSides(const TriangleCorners& corners);

// Each vertex's distinct neighbours in ascending order, from the triangle rows
// BuildVertexTriangles gave for the same corners. Built in parallel blocks of
// rows on large meshes.
VertexRows<std::uint32_t> BuildVertexNeighbours(const TriangleCorners& corners,
                                                const VertexRows<std::uint32_t>& triangles);

enum class JoinThrough {
    SharedVertices,  // triangles that touch at a single corner are one piece
    SharedEdges,     // a shared corner alone does not join; two bodies may touch
};

// The pieces of a mesh: a number for each triangle, counted from 0 in the
// order of each piece's first triangle, and each piece's union-find root (a
// vertex for SharedVertices, a triangle for SharedEdges).
struct Components {
    std::vector<std::uint32_t> ofTriangle;
    std::vector<std::uint32_t> root;
    std::uint64_t Count() const { return root.size(); }
};

Components FindComponents(const TriangleMesh& mesh, JoinThrough rule);

// The SharedEdges pieces from the mesh's edge table (BuildSortedEdgeKeys),
// for a caller that has built the table already; the mesh must be valid.
Components FindComponents(const TriangleMesh& mesh, const std::vector<SortedEdge>& edges);

}  // namespace ridgeforge::mesh
