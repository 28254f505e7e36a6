// Copper: domain warping three levels deep (Quilez, "Warping", 2002): each
// level's noise displaces the lookup of the next, which gives the swirled,
// etched look. The result is eaten into pits (high values cut away), and the
// rim folds the pit value about a level so a lip stands round each pit.
#include "textures/procedural/CopperTexture.h"

#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& CopperTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("scale", "Cells per tile", 2, 16, 4, "How coarse the underlying noise is"),
        FloatParameter("warp", "Warp", 0.0f, 8.0f, 4.0f, "How far the first noise drags the second", 0.1f),
        FloatParameter("swirl", "Swirl", 0.0f, 8.0f, 7.0f, "How far the second drags the third", 0.1f),
        FloatParameter("detail", "Detail", 1.0f, 7.0f, 5.0f, "Octaves in each of them", 0.1f),
        FloatParameter("pits", "Pitting", 0.0f, 1.0f, 0.5f, "How much of the surface is eaten away", 0.01f),
        FloatParameter("ridges", "Rim", 0.0f, 1.0f, 0.5f, "The raised lip round each pit", 0.01f),
        FloatParameter("phase", "Variation", 0.0f, 1.0f, 0.0f, "Slides the warp: another part of the same pattern",
                       0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float CopperTexture::Sample(float u, float v) const {
    const std::int32_t n = GetWhole("scale");
    const auto s = static_cast<std::uint32_t>(GetWhole("seed"));
    const float x = static_cast<float>(n) * u;
    const float y = static_cast<float>(n) * v;
    const float phase = static_cast<float>(n) * GetValue("phase");
    const float warp = GetValue("warp");
    const float swirl = GetValue("swirl");
    const float detail = GetValue("detail");
    const auto noise = [&](float px, float py, std::uint32_t seed) {
        return FractalNoise(px, py, n, n, detail, 0.5f, seed);
    };

    const float q1 = noise(x, y, s);
    const float q2 = noise(x + 1.0f, y + 1.0f, s);
    const float r1 = noise(x + warp * q1, y + warp * q2, s + 1);
    const float r2 = noise(x, y, s + 1);
    const float t1 = noise(x + swirl * r1 + phase, y + swirl * r2 + phase, s + 2);
    const float t2 = noise(x + 0.563f * swirl * r1 + phase, y + 0.563f * swirl * r2 + phase, s + 2);
    const float f = noise(x + r1 + t1, y + r2 + t2, s + 3);

    const float a = Clamp01((0.8f * GetValue("pits") + 0.9f) * f);
    float b = Clamp01(1.9f * a * a * a);
    const float rim = 0.25f * GetValue("ridges");
    if (rim > 0.0f) b = std::fabs(b - rim) / (1.0f - rim);

    const float h = Clamp01(1.0f - Clamp01(b));
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
