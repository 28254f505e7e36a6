// "Weave": two families of threads passing over and under each other, plain
// or twill. Each family is a row of flat or rounded threads separated by
// grooves, rising and dipping along its length; where they cross the higher
// one shows.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class WeaveTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Weave"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;

private:
    // Height of one family of threads at a point whose coordinate across the
    // threads is a and along them is b, both in thread pitches.
    float StrandHeight(float a, float b) const;
};

}  // namespace ridgeforge::mesh::procedural
