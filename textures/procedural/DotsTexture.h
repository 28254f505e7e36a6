// "Dots": raised dots of one of four profiles on a square, staggered or
// hexagonal lattice, on a flat plate.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

// The height of the bare plate between features: Contrast(0, contrast).
// Dots and Tread Plate both stand on such a plate.
float PlateNeutralHeight(const ParameterSet& pattern);

class DotsTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Dots"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    float NeutralHeight() const override { return PlateNeutralHeight(*this); }

    // Distance from (u, v) in [0, 1) to the nearest dot centre, in dot spacings.
    float DotAt(float u, float v) const;
};

}  // namespace ridgeforge::mesh::procedural
