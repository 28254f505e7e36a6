// "Hex Truchet": three arcs in every hexagon, about alternate corners chosen
// at random, joining into meandering lines.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class HexTruchetTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Hex Truchet"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
