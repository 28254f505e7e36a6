// Timber: fractal noise stretched along the grain is warped by two further
// noise fields (Quilez-style domain warping), its value drives a second,
// ring-forming noise, and two multiplicative passes add blotches and pores.
// A two-piece tone curve sets the board's light and dark.
#include "textures/procedural/TimberTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/GrainFrame.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& TimberTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Cells across the grain", 2, 64, 12,
                         "The coarse field the figure is built from; more is a finer board"),
        IntegerParameter("stretch", "Stretch along the grain", 1, 32, 7,
                         "How much longer the figure runs along the grain than across it"),
        ChoiceParameter("direction", "Direction", {"Vertical", "Horizontal"}, 0, "Which way the grain runs"),
        FloatParameter("figure", "Figure", 0.0f, 2.0f, 1.1f,
                       "How far the grain is bent from straight. 0 is a quartersawn board, high is wild flame", 0.01f),
        IntegerParameter("rings", "Ring detail", 1, 9, 6, "How many scales of ring are stacked into the grain"),
        FloatParameter("sharpness", "Ring strength", 0.0f, 1.0f, 0.3f, "How hard the rings cut into the figure", 0.01f),
        FloatParameter("blotch", "Blotch", 0.0f, 1.0f, 0.4f, "Darker and lighter passages down the board", 0.01f),
        FloatParameter("fibre", "Fibre", 0.0f, 1.0f, 0.2f, "The hairline pores along the grain", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float TimberTexture::Sample(float u, float v) const {
    const GrainFrame g = MakeGrainFrame(*this, u, v);
    const std::int32_t C = g.cellsAcross;
    const std::int32_t P = g.cellsAlong;
    const float x = static_cast<float>(C) * g.across;
    const float y = static_cast<float>(P) * g.along;
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));
    const float figure = GetValue("figure");

    const float w1 = 2.0f * FractalNoise(x + 3.7f, y + 1.3f, C, P, 2.0f, 0.5f, seed + 11) - 1.0f;
    const float w2 = 2.0f * FractalNoise(x + 9.1f, y + 5.9f, C, P, 2.0f, 0.5f, seed + 23) - 1.0f;
    const float grain = FractalNoise(x + figure * w1, y + figure * w2, C, P, 6.0f, 0.5f, seed);
    const float base = grain + 0.2f * (1.0f - grain);

    const float rings =
        FractalNoise(4.6f * base, 4.6f * base, 16, 16, static_cast<float>(GetWhole("rings")), 1.0f, seed + 31);
    const float ringed = Clamp01(base + GetValue("sharpness") * (2.0f * rings - 1.0f));

    const float bx = 3.0f * (0.5f * std::sin(6.2831855f * (2.0f * g.across + 0.15f * w1)) + 0.5f);
    const float blotch = FractalNoise(bx, y, 8, P, 3.0f, 0.5f, seed + 43);
    const float m1 = 1.0f - 0.5f * GetValue("blotch") * blotch;

    const std::int32_t fibreCells = std::min(16 * C, 2048);
    const float fb = FractalNoise(static_cast<float>(fibreCells) * g.across, static_cast<float>(P) * g.along,
                                  fibreCells, P, 2.0f, 0.5f, seed + 47);
    const float m2 = 1.0f - GetValue("fibre") * SmoothStepClamped((fb - 0.35f) / 0.65f);

    const float value = m1 * ringed * m2;
    const float h =
        value < 0.56f ? 0.53f * Clamp01((value - 0.28f) / 0.28f) : 0.53f + 0.47f * Clamp01((value - 0.56f) / 0.24f);
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
