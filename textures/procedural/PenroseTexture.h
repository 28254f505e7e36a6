// "Penrose": a window into a Penrose tiling (golden-ratio subdivision of
// Robinson triangles) with v-grooves, raised centres and folded corners. The
// tiling never repeats, so the pattern does not tile.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class PenroseTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Penrose"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
