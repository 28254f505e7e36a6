// Caustic Rock: a sum of gradient-noise layers of growing period and falling
// weight; ten small steps down the sum's gradient gather neighbouring points
// into the troughs' edges, the way a wavy surface focuses light, and an
// exponential curve brightens the gathered lines.
#include "textures/procedural/CausticRockTexture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "textures/procedural/Noise.h"
#include "textures/procedural/NoiseDetail.h"

namespace ridgeforge::mesh::procedural {
namespace {

constexpr int kMaxLayers = 24;

struct Layer {
    std::int32_t period;
    float weight;
    std::uint32_t seed;
    GradientCell cell;  // the corners last sampled; the point moves by less than a cell per round
    bool hasCell;
};

// PeriodicNoiseDerivatives of the layer at (x p, y p), hashing the corners
// only when the point has moved into another cell.
float SampleLayer(Layer& l, float x, float y, float& dx, float& dy) {
    const float p = static_cast<float>(l.period);
    std::int32_t ix = 0, iy = 0;
    float fx = 0.0f, fy = 0.0f;
    detail::SplitCell(x * p, ix, fx);
    detail::SplitCell(y * p, iy, fy);
    if (!l.hasCell || l.cell.ix != ix || l.cell.iy != iy) {
        l.cell = MakeGradientCell(ix, iy, l.period, l.period, l.seed);
        l.hasCell = true;
    }
    return EvaluateGradientCell(l.cell, fx, fy, dx, dy);
}

}  // namespace

const std::vector<ParameterDefinition>& CausticRockTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Cells per tile", 2, 16, 8,
                         "How many of the large pools span the tile. At least 2: periodic noise one cell across has "
                         "every lattice corner wrapped to the same one, and nearly vanishes"),
        IntegerParameter("octaves", "Ripples", 1, 24, 8, "How many finer ripples are laid over the large ones"),
        FloatParameter("focus", "Focus", 0.0f, 20.0f, 1.0f,
                       "How far the light is gathered into lines. 0 is the bare ripples; 1 is the shader; higher is "
                       "sharper and glassier",
                       0.01f),
        FloatParameter("brilliance", "Brilliance", 0.0f, 4.0f, 1.3f,
                       "How hard the gathered light is brightened: high leaves thin bright lines on dark pools", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float CausticRockTexture::Sample(float u, float v) const {
    const std::int32_t cells = GetWhole("cells");
    const float k = GetValue("focus") * 0.008f / static_cast<float>(cells);
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));
    const int count = std::clamp(GetWhole("octaves"), 0, kMaxLayers);

    // The layers' growth and fall-off are the same for every pixel: taken
    // once per program run.
    static const auto [growth, falloff] = [] {
        std::array<float, kMaxLayers + 1> g{}, f{};
        for (int i = 1; i <= kMaxLayers; ++i) {
            const float fi = static_cast<float>(i);
            g[i] = std::pow(fi, 1.2f);
            f[i] = std::pow(fi, 1.9f);
        }
        return std::pair{g, f};
    }();
    Layer layers[kMaxLayers];
    for (int i = 1; i <= count; ++i) {
        layers[i - 1] = {std::max<std::int32_t>(
                             1, static_cast<std::int32_t>(std::lround(growth[i] * static_cast<float>(cells)))),
                         1.0f / falloff[i], seed + 7919u * static_cast<std::uint32_t>(i), GradientCell{}, false};
    }

    float x = u, y = v;
    for (int round = 0; round < 10; ++round) {
        float gx = 0.0f, gy = 0.0f;
        for (int i = 0; i < count; ++i) {
            Layer& l = layers[i];
            float dx = 0.0f, dy = 0.0f;
            SampleLayer(l, x, y, dx, dy);
            gx += l.weight * dx;
            gy += l.weight * dy;
        }
        x -= k * gx;
        y -= k * gy;
    }

    float s = 0.0f;
    for (int i = 0; i < count; ++i) {
        float dx = 0.0f, dy = 0.0f;
        s += layers[i].weight * SampleLayer(layers[i], x, y, dx, dy);
    }

    const float brilliance = GetValue("brilliance");
    float h = 0.0f;
    if (brilliance < 0.001f) {
        h = (s + 1.15f) / 2.1f;
    } else {
        const float e0 = std::exp(-2.1f * brilliance);
        h = (std::exp(brilliance * (s - 0.95f)) - e0) / (1.0f - e0);
    }
    return Contrast(Clamp01(h), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
