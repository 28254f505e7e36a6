// "Rocks": stones made of four Worley layers (F2^2 - F1^2) at growing
// frequencies over a gently warped domain, with a fine fractal grain on top.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class RocksTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Rocks"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
