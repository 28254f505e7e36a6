// The grain frame shared by the timber and wood-ring patterns: which tile
// axis runs across the grain, and how many noise cells lie across and along.
#pragma once

#include <cstdint>

namespace ridgeforge::mesh::procedural {

class ProceduralTexture;

struct GrainFrame {
    float across = 0.0f;           // a: u for vertical grain, v for horizontal
    float along = 0.0f;            // b
    std::int32_t cellsAcross = 1;  // C = round("cells")
    std::int32_t cellsAlong = 1;   // P = max(1, round(C / round("stretch")))
};

// Reads "direction", "cells" and "stretch" of the pattern.
GrainFrame MakeGrainFrame(const ProceduralTexture& pattern, float u, float v);

}  // namespace ridgeforge::mesh::procedural
