// Connectivity of an indexed triangle mesh, built in one place: the sorted
// edge table, the per-vertex rows of triangles and neighbours (BodyList, in
// mesh/TriangleMesh.h), one union-find, and the split into components, where
// each caller states whether pieces join through shared vertices or only
// through shared edges.
//
// Needs: a mesh that satisfies the validity rule; a broken or empty mesh gives
// no components.
#pragma once

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

}  // namespace ridgeforge::mesh
