// Which parts of one mesh receive texture and how strongly: weights per
// triangle corner and per vertex, and two bytes per triangle. A coverage is
// tied to the mesh it was computed for; `MatchesMesh` tells whether the sizes
// still fit before any reader indexes into it.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct TextureCoverage {
    // Weight of each triangle corner, 0..1 (index count entries).
    std::vector<float> cornerWeights;
    // Weight of each vertex, >= 0; 0 means the vertex is not moved.
    std::vector<float> vertexWeights;
    // One byte per triangle: non-zero when the triangle receives texture.
    std::vector<std::uint8_t> texturedFaces;
    // One byte per triangle: the face byte it was projected with (255 outward, 0 inward).
    std::vector<std::uint8_t> faceMask;

    bool MatchesMesh(const TriangleMesh& mesh) const {
        const std::size_t triangles = mesh.indices.size() / 3;
        return cornerWeights.size() == mesh.indices.size() && vertexWeights.size() == mesh.vertices.size() &&
               texturedFaces.size() == triangles && faceMask.size() == triangles;
    }
};

}  // namespace ridgeforge::mesh
