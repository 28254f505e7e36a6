// "Knurl": the diamond pyramids, straight ridges or square pyramids of a
// knurled grip, optionally with flat lands.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class KnurlTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Knurl"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    // The uncut top: Contrast(1, contrast).
    float NeutralHeight() const override;

    // The whole-number slope of the diamond grooves, so both groove families
    // repeat across the tile: max(1, round(tan(angle) x grooves)).
    std::int32_t DiamondSlope() const;
};

}  // namespace ridgeforge::mesh::procedural
