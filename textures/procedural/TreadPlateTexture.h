// "Tread Plate": raised diagonal bars of a floor plate, alternating in
// direction on a checkerboard.
#pragma once

#include "textures/procedural/DotsTexture.h"

namespace ridgeforge::mesh::procedural {

class TreadPlateTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Tread Plate"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    float NeutralHeight() const override { return PlateNeutralHeight(*this); }
};

}  // namespace ridgeforge::mesh::procedural
