// "Cells": a Worley cell field read as rounded cobbles, ridges between the
// cells (crackle) or grooves along the cell borders.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class CellsTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Cells"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
