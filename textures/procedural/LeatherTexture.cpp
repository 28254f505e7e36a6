// Leather: the distance to the nearest grain border (in grains) is 0 in the
// crease, rises through a smoothstep shoulder and is flat on the grain face;
// the face alone is roughened by a fine fractal noise.
#include "textures/procedural/LeatherTexture.h"

#include <algorithm>
#include <limits>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& LeatherTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Grains per tile", 3, 64, 18,
                         "More grains make a finer leather at the same tile size"),
        FloatParameter("crease", "Crease width", 0.0f, 0.2f, 0.035f,
                       "Width of the recessed crease, relative to one grain", 0.01f),
        FloatParameter("rounding", "Grain rounding", 0.03f, 0.45f, 0.18f,
                       "Width of the rounded shoulder from the crease to the grain face", 0.01f),
        FloatParameter("irregularity", "Grain irregularity", 0.0f, 1.0f, 0.85f,
                       "How far grain centres scatter from a regular grid", 0.01f),
        FloatParameter("warp", "Edge waviness", 0.0f, 0.4f, 0.18f, "Bends the crease lines in fractions of a grain",
                       0.01f),
        FloatParameter("roughness", "Fine roughness", 0.0f, 0.4f, 0.1f, "Fine surface relief on the raised grain",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float LeatherTexture::Sample(float u, float v) const {
    const std::int32_t n = GetWhole("cells");
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));
    const float x = static_cast<float>(n) * u;
    const float y = static_cast<float>(n) * v;

    // The waviness runs at twice the grain frequency; its period must double
    // with it to keep the tile seamless.
    const std::int32_t period = n <= std::numeric_limits<std::int32_t>::max() / 2 ? 2 * n : n;
    const float w = std::max(0.0f, GetValue("warp"));
    const float dx = w * PeriodicNoise(2.0f * x, 2.0f * y, period, period, seed + 13);
    const float dy = w * PeriodicNoise(2.0f * x, 2.0f * y, period, period, seed + 47);

    // CellDistances normalises the border distance by the jitter; undo it to
    // measure in grains.
    const float irregularity = GetValue("irregularity");
    const float d = CellDistances(x + dx, y + dy, n, irregularity, 0, 2, seed) * (0.5f * irregularity + 0.5f);

    const float t = Clamp01((d - 0.5f * GetValue("crease")) / GetValue("rounding"));
    const float g = Smoothstep(t);

    const float roughness = GetValue("roughness");
    if (roughness > 0.0f) {
        const float fine = FractalNoise(6.0f * x, 6.0f * y, 6 * n, 6 * n, 2.0f, 0.5f, seed + 83);
        return (1.0f - roughness * fine) * g;
    }
    return g;
}

}  // namespace ridgeforge::mesh::procedural
