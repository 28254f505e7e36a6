// Rocks: F2^2 - F1^2 of a Worley field is flat-ish inside a cell and rises
// towards its neighbours, which reads as a stone; four layers at 1, 2, 5 and
// 12 times the stone count give stones, chips and pitting. The domain warp is
// a pair of periodic sines so the tile stays seamless.
#include "textures/procedural/RocksTexture.h"

#include <cmath>
#include <numbers>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& RocksTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Stones per tile", 3, 24, 5, "How many stones span the tile"),
        FloatParameter("randomness", "Randomness", 0.0f, 1.0f, 1.0f, "0 lays the stones on a grid, 1 scatters them",
                       0.01f),
        FloatParameter("warp", "Warp", 0.0f, 0.05f, 0.01f, "Bends the coordinates so the stones are not too regular",
                       0.001f),
        FloatParameter("detail", "Detail", 0.0f, 1.0f, 1.0f, "The finer Voronoi layers over the big stones", 0.01f),
        FloatParameter("grain", "Grain", 0.0f, 1.0f, 0.35f, "Fine noise over the whole surface", 0.01f),
        ChoiceParameter("metric", "Distance", {"Euclidean", "Manhattan", "Chebyshev"}, 0,
                        "How distance is measured: rounded, faceted or blocky stones"),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float RocksTexture::Sample(float u, float v) const {
    constexpr float pi = std::numbers::pi_v<float>;
    const std::int32_t n = GetWhole("cells");
    const float r = GetValue("randomness");
    const std::int32_t m = GetWhole("metric");
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));

    float ub = u;
    float vb = v;
    const float warp = GetValue("warp");
    if (warp > 0.0f) {
        ub = u + warp * std::sin(4.0f * pi * u - std::cos(8.0f * pi * v));
        vb = v + warp * std::sin(4.0f * pi * v - std::cos(8.0f * pi * u));
    }

    const float nf = static_cast<float>(n);
    const float detail = GetValue("detail");
    const float c0 = CellDistances(nf * ub - 0.35f, nf * vb - 0.35f, n, r, m, 3, seed);
    const float c1 = CellDistances(2.0f * nf * vb + nf / 2.0f, 2.0f * nf * ub + nf / 2.0f, 2 * n, r, m, 3, seed);
    const float c2 = CellDistances(5.0f * nf * ub, 5.0f * nf * vb, 5 * n, r, m, 3, seed);
    const float c3 = CellDistances(12.0f * nf * ub, 12.0f * nf * vb, 12 * n, r, m, 3, seed);
    float h = 0.6f * c0 + 0.3f * c1 + 0.075f * detail * (1.0f - c2) + 0.025f * detail * c3;

    const float grain = GetValue("grain");
    if (grain > 0.0f) {
        h += 0.1f * grain * FractalNoise(16.0f * nf * ub, 16.0f * nf * vb, 16 * n, 16 * n, 1.0f, 0.5f, seed + 31);
    }
    h = Clamp01(h / 1.1f);
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
