// "Leather": raised grains with rounded shoulders between recessed creases.
// The creases are the cell borders of a jittered Worley field whose domain is
// bent by gradient noise, so they wander instead of running straight.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class LeatherTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Leather"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
