// "Truchet": concentric rings about two opposite corners of square cells,
// the cells turned at random or alternately so the rings join into wandering
// curves or close into loops.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class TruchetTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Truchet"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
