// "Wood": grain lines of a board running either way, or the rings of its
// end grain, pushed about by a low-frequency figure noise and scored by fine
// fibre noise stretched along the board.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class WoodTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Wood"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
