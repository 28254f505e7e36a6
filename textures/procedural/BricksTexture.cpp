// Bricks: the shared brick layout gives the joint amount and a random number
// per brick; the face is lowered by that number ("variation") and roughened
// by a noise of four cells per brick, then cut down to the mortar by the
// joint. The course count is rounded up to whole offset periods so the
// pattern tiles.
#include "textures/procedural/BricksTexture.h"

#include <algorithm>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& BricksTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("rows", "Rows per tile", 1, 32, 8,
                         "Courses of bricks in the tile (rounded up to the offset period)"),
        IntegerParameter("bricks", "Bricks per row", 1, 32, 4, "Bricks along one course"),
        FloatParameter("mortar", "Mortar width", 0.0f, 0.45f, 0.1f, "As a share of the brick's smaller side", 0.01f),
        FloatParameter("mortarSmooth", "Mortar smoothness", 0.0f, 1.0f, 0.3f, "How softly the joint meets the face",
                       0.01f),
        FloatParameter("bevel", "Bevel width", 0.0f, 0.25f, 0.04f,
                       "How far the joint's slope extends into each brick, as a share of its smaller side", 0.01f),
        FloatParameter("offset", "Row offset", 0.0f, 1.0f, 0.5f, "How far every offset course is shifted, in bricks",
                       0.01f),
        IntegerParameter("offsetEvery", "Offset every", 1, 4, 2, "Every Nth course is shifted"),
        FloatParameter("variation", "Height variation", 0.0f, 1.0f, 0.0f, "Bricks sit at random heights", 0.01f),
        FloatParameter("roughness", "Face roughness", 0.0f, 1.0f, 0.0f, "Noise on the brick faces", 0.01f),
        SeedParameter(),
    };
    return table;
}

float BricksTexture::Sample(float u, float v) const {
    const std::int32_t every = std::max(1, GetWhole("offsetEvery"));
    const std::int32_t rows = (GetWhole("rows") - 1 + every) / every * every;
    const std::int32_t bricks = std::max(1, GetWhole("bricks"));
    const auto s = static_cast<std::uint32_t>(GetWhole("seed"));

    const float brickHeight = 1.0f / static_cast<float>(rows);
    const float brickWidth = 1.0f / static_cast<float>(bricks);
    const float smaller = std::min(brickWidth, brickHeight);
    const float mortar = GetValue("mortar") * smaller;
    const float bevel = GetValue("bevel") * smaller;

    const auto [joint, brick] = BrickPattern(u, v, brickWidth, brickHeight, mortar, GetValue("mortarSmooth"), bevel,
                                             GetValue("offset"), every, rows, bricks, s);

    float face = 1.0f - 0.5f * GetValue("variation") * brick;
    const float roughness = GetValue("roughness");
    if (roughness > 0.0f) {
        const float noise = FractalNoise(4.0f * static_cast<float>(bricks) * u, 4.0f * static_cast<float>(rows) * v,
                                         4 * bricks, 4 * rows, 2.0f, 0.5f, s + 17);
        face += 0.2f * roughness * (2.0f * noise - 1.0f);
    }
    return Clamp01(face * (1.0f - joint));
}

}  // namespace ridgeforge::mesh::procedural
