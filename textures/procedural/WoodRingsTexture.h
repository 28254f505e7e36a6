// "Wood Rings": growth rings as grooves of constant width that wander with
// the figure, each ring of its own depth, with fine speckle.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class WoodRingsTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Wood Rings"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
