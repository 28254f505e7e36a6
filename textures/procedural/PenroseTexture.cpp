// Penrose: the tiling is infinite and never repeats, so the seed picks a
// window of it (a hashed turn and distance from the tiling's centre) instead
// of reshuffling anything; the same seed always shows the same window.
#include "textures/procedural/PenroseTexture.h"

#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& PenroseTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("depth", "Tile size", 3, 8, 6,
                         "How many times the pattern is deflated: more is smaller tiles"),
        FloatParameter("groove", "Groove", 0.0f, 1.0f, 0.5f, "The v-groove between one tile and the next", 0.01f),
        FloatParameter("pyramid", "Centre rise", 0.0f, 1.0f, 0.35f, "Each tile raised to a low pyramid", 0.01f),
        FloatParameter("fold", "Fold", 0.0f, 1.0f, 0.5f, "Corners lifted; kites and darts fold opposite ways", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float PenroseTexture::Sample(float u, float v) const {
    const std::int32_t depth = GetWhole("depth");
    const float groove = 0.1f * GetValue("groove") + 0.02f;
    const float pyramid = 0.25f * GetValue("pyramid");
    const float fold = 0.4f * GetValue("fold");
    const auto s = static_cast<std::uint32_t>(GetWhole("seed"));

    // Unsigned wrapping on purpose: -4 is 2^32 - 4.
    const float angle = 6.2831855f * HashToUnit(LatticeHash(s - 4u, 7u, 0u - 4u));
    const float radius = 0.4f * HashToUnit(LatticeHash(s - 4u, 19u, 0u - 4u));
    const float x = 0.7f * (u - 0.5f) + radius * std::cos(angle);
    const float y = 0.7f * (v - 0.5f) + radius * std::sin(angle);

    const PenroseSample tile = PenroseTiling(x, y, depth, groove, pyramid, fold);
    const float total = groove + pyramid + fold;
    const float h = tile.onTile && total > 0.0f ? Clamp01(tile.height / total) : 0.0f;
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
