// Which surface pieces cross a grid cell, from the inside/outside state of its
// eight corners: the cube table of dual contouring, shared by the contour
// remesher and the solid displacement.
//
// Numbering: corner i lies at (i & 1, (i >> 1) & 1, (i >> 2) & 1); a
// configuration has bit i set when corner i is inside. Edge 4a + k runs along
// axis a with k = offset(a+1) + 2 offset(a+2). Face 2a + s is the face where
// coordinate a equals s; a face mask has bit f for face f.
//
// Crossed edges are joined into pieces through the faces of the cell (two
// crossed edges on a face belong together). A face with four crossed edges is
// ambiguous; by default its outside corners are joined and its inside corners
// cut apart, and a set face-mask bit resolves it the other way, so that two
// neighbouring cells can agree on their shared face.
#pragma once

#include <cstdint>

namespace ridgeforge::mesh {

inline constexpr std::uint8_t kNoCubePiece = 255;

struct CubeConfigurationTable {
    // Per configuration and edge: the piece crossing that edge, or kNoCubePiece.
    std::uint8_t edgeComponents[256][12];
    std::uint8_t componentCounts[256];
    // Ambiguous faces whose two crossing pairs ended up in one piece anyway.
    std::uint8_t joinedFaces[256];
};

// The pieces of one configuration under the given face resolution; pieces are
// numbered in the order of their smallest edge. joinedFaces may be null.
std::int32_t ResolveCubeConfiguration(std::uint8_t configuration, std::uint8_t faceMask,
                                      std::uint8_t edgeComponents[12], std::uint8_t* joinedFaces = nullptr);

// The table for face mask 0, built once on first use from any thread.
const CubeConfigurationTable& GetCubeConfigurationTable();

// The two corners of a cell edge (lower first along the edge's axis).
inline constexpr int CubeEdgeCorner(int edge, int end) {
    const int a = edge >> 2;
    const int k = edge & 3;
    const int low = ((k & 1) << ((a + 1) % 3)) | ((k >> 1) << ((a + 2) % 3));
    return end == 0 ? low : low | (1 << a);
}

}  // namespace ridgeforge::mesh
