// "Caustic Rock": layered ripples whose light is gathered into bright lines
// by warping the point down the ripples' slope.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class CausticRockTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Caustic Rock"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
