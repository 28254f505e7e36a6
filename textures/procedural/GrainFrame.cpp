#include "textures/procedural/GrainFrame.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {
namespace {

std::int32_t Whole(const ProceduralTexture& pattern, const char* key) {
    return static_cast<std::int32_t>(RoundHalfAwayFromZero(pattern.GetValue(key)));
}

}  // namespace

GrainFrame MakeGrainFrame(const ProceduralTexture& pattern, float u, float v) {
    GrainFrame frame;
    const bool horizontal = Whole(pattern, "direction") == 1;
    frame.across = horizontal ? v : u;
    frame.along = horizontal ? u : v;
    frame.cellsAcross = Whole(pattern, "cells");
    const float stretch = static_cast<float>(std::max(1, Whole(pattern, "stretch")));
    frame.cellsAlong = std::max<std::int32_t>(
        1, static_cast<std::int32_t>(RoundHalfAwayFromZero(static_cast<float>(frame.cellsAcross) / stretch)));
    return frame;
}

}  // namespace ridgeforge::mesh::procedural
