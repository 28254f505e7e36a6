// "Noise": fractal, uniform or blue noise over a whole number of cells per
// tile, read plain or folded into bands (marble) or veins at three scales.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class NoiseTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Noise"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
