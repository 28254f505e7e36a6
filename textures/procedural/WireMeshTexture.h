// "Wire Mesh": raised wires along the edges of a hexagonal net, from straight
// struts to rings.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class WireMeshTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Wire Mesh"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
