// "Stripes": parallel stripes of a wave profile, vertical, horizontal or
// diagonal, optionally wandering and steepened towards a hard step.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class StripesTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Stripes"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
