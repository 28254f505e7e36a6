// "Copper": a fractal noise warped three levels deep (after Quilez's domain
// warping) and eaten into pits, with an optional raised rim round each pit.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class CopperTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Copper"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
