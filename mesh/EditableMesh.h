// A working copy of a triangle mesh for local edits (edge splits, collapses,
// flips and vertex moves) that never rebuilds the indexed mesh in between.
//
// Nothing is erased while work goes on: vertices and triangles are marked
// dead. The vertex-to-triangle incidence is a compact array rebuilt between
// passes; triangles that become incident to a vertex after a rebuild go to
// that vertex's added list. A listed triangle is not guaranteed to still
// contain the vertex (a rewrite leaves the old entry until the next rebuild),
// so every query that needs a second vertex checks that vertex itself.
//
// Needs: a TriangleMesh that satisfies the validity rule (corners out of
// range are ignored by the incidence and dropped by ToTriangleMesh).
// Returns: the compacted TriangleMesh, orientation kept, normals recomputed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// "None" wherever a vertex or triangle slot may be empty.
inline constexpr std::uint32_t kEditableNone = 0xFFFFFFFFu;

struct EditableEdge {
    std::uint64_t key = 0;  // smaller index << 32 | larger index
    std::uint32_t firstTriangle = kEditableNone;
    std::uint32_t secondTriangle = kEditableNone;
    std::uint32_t extraTriangles = 0;  // more than 0: non-manifold
};

class EditableMesh {
public:
    using Triangle = std::array<std::uint32_t, 3>;

    explicit EditableMesh(const TriangleMesh& mesh);

    void RebuildVertexFaces();

    // Calls f(t) for every listed live triangle of v: the compact run, then the added list.
    template <typename F>
    void ForEachListedTriangle(std::uint32_t v, F&& f) const {
        if (v + 1u < vertexFaceOffsets.size()) {
            for (std::uint32_t i = vertexFaceOffsets[v]; i < vertexFaceOffsets[v + 1]; ++i) {
                const std::uint32_t t = vertexFaces[i];
                if (triangleAlive[t]) f(t);
            }
        }
        if (v < addedFaces.size()) {
            for (const std::uint32_t t : addedFaces[v]) {
                if (triangleAlive[t]) f(t);
            }
        }
    }

    bool Contains(std::uint32_t t, std::uint32_t v) const {
        const Triangle& tri = triangles[t];
        return tri[0] == v || tri[1] == v || tri[2] == v;
    }

    void OneRing(std::uint32_t v, std::vector<std::uint32_t>& out) const;
    void EdgeTriangles(std::uint32_t v, std::uint32_t w, std::vector<std::uint32_t>& out) const;
    bool HasEdgeTriangleCount(std::uint32_t v, std::uint32_t w, const std::vector<std::uint32_t>& list) const;
    std::vector<EditableEdge> CollectEdges() const;
    TriangleMesh ToTriangleMesh() const;

    // The vertex collapse of remeshing and simplification: every listed live
    // triangle of `remove` that also has `keep` as a corner dies, the others
    // take `keep` in place of `remove` and join its list; `remove` dies.
    // Positions are the caller's business.
    void CollapseVertex(std::uint32_t remove, std::uint32_t keep);

    std::uint32_t VertexCount() const { return static_cast<std::uint32_t>(positions.size()); }
    std::uint32_t TriangleCount() const { return static_cast<std::uint32_t>(triangles.size()); }

    std::vector<Vec3f> positions;
    std::vector<std::uint8_t> vertexAlive;
    std::vector<Triangle> triangles;
    std::vector<std::uint8_t> triangleAlive;
    std::vector<std::uint32_t> vertexFaceOffsets;
    std::vector<std::uint32_t> vertexFaces;
    std::vector<std::vector<std::uint32_t>> addedFaces;
};

}  // namespace ridgeforge::mesh
