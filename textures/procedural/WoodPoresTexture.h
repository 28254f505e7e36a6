// "Wood Pores": the elongated pores of open-grained wood sunk into a flat
// surface: thresholded noise with cells stretched along the grain, broken up
// by a coarser noise so the pores cluster.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class WoodPoresTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Wood Pores"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
