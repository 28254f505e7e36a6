// "Penrose Tiles": the thick and thin rhombi of a Penrose tiling, each
// chamfered round its outer edges, the thin ones optionally sunk. The tile is
// one fixed window of the tiling, so the pattern does not repeat.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class PenroseTilesTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Penrose Tiles"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;

    // Carries (x, y) down `levels` subdivisions, leaving it in the frame of
    // the small tile it lies in, and returns that tile's kind: 0 and 1 the
    // two mirror halves of a thick rhombus, 2 and 3 of a thin one.
    static std::int32_t LocateTile(float& x, float& y, std::int32_t levels);
};

}  // namespace ridgeforge::mesh::procedural
