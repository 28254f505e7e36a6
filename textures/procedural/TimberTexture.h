// "Timber": a figured board from domain-warped noise cut by rings, with
// blotches and hairline pores along the grain.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class TimberTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Timber"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
};

}  // namespace ridgeforge::mesh::procedural
