// "Stars": a lattice of four-pointed star pyramids, optionally overlaid by a
// second lattice turned 45 degrees, cut into rings or terraces.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class StarsTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Stars"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
