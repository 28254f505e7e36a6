// Keeping slots and walls open under a relief: how much room each vertex has
// in the direction its height moves it, and heights lowered to fit that room.
//
// Needs: a valid part with vertex normals, its tree, one height per vertex.
// The clearance pass is a cancellable parallel loop (throws `Stopped`).
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Where nothing was found, a clearance stays at this value.
inline constexpr float kNoClearance = 1e30f;

struct VertexClearance {
    std::vector<float> outward;  // for positive heights
    std::vector<float> inward;   // for negative heights
};

// Rays from every vertex with a non-zero height, along its normal (outward
// for a positive height, inward for a negative one) and slanted 60 degrees
// off it: rayCount 5 casts four slanted rays, any other value two, on
// alternating tangents. A hit counts where the surface faces back.
VertexClearance MeasureHeightClearance(const TriangleMesh& part, const AabbTree& tree,
                                       const std::vector<float>& heights, std::int32_t rayCount);

// Lowers each height so that two facing sides, each held this way, still
// leave `gap` between them, the limit spreading along the surface no faster
// than one millimetre per millimetre. Returns the number of heights lowered.
std::uint64_t HoldHeightsForClearance(const TriangleMesh& part, std::vector<float>& heights,
                                      const VertexClearance& clearance, double gap);

}  // namespace ridgeforge::mesh
