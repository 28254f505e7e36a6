// "Flat Rock": flat plates of stone with creases between them and a
// crumpled skin.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class FlatRockTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Flat Rock"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;

    // A field in [0, 2], flat over each cell of a jittered lattice with the
    // given period and creased between cells; a higher exponent gives
    // flatter plates and crisper creases.
    static float CellField(float x, float y, std::int32_t period, std::int32_t exponent, std::int32_t seed);
};

}  // namespace ridgeforge::mesh::procedural
