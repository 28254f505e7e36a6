// "Bricks": courses of bricks in mortar with offset courses, bevelled
// joints, per-brick heights and a noisy face.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class BricksTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Bricks"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
