// Wood Rings: the ring coordinate t = R a + W (2n - 1) bends with a fractal
// noise n; dividing the distance to the nearest whole t by the length of
// t's gradient turns it into a distance in tile units, so every ring keeps
// its width however far it bends.
#include "textures/procedural/WoodRingsTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/GrainFrame.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& WoodRingsTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("rings", "Rings across the tile", 1, 64, 14, "How many growth rings span the tile"),
        FloatParameter("wander", "Wander", 0.0f, 20.0f, 5.0f, "How far the rings bend from straight, in ring widths",
                       0.1f),
        IntegerParameter("cells", "Bend scale", 1, 32, 3, "How large the bends are: few is long sweeping figure"),
        IntegerParameter("stretch", "Stretch along the grain", 1, 32, 6,
                         "How much longer the figure runs along the grain than across it"),
        ChoiceParameter("direction", "Direction", {"Vertical", "Horizontal"}, 0, "Which way the rings run"),
        FloatParameter("width", "Ring width", 0.02f, 1.0f, 0.3f, "How much of the space between rings each one fills",
                       0.01f),
        FloatParameter("variation", "Ring variation", 0.0f, 1.0f, 0.8f,
                       "How much the rings differ from one another in depth", 0.01f),
        FloatParameter("grain", "Grain", 0.0f, 1.0f, 1.0f,
                       "Fine speckle on the rings and the board. 1 is the shader's; 0 leaves them clean", 0.01f),
        IntegerParameter("fibre", "Grain stretch", 1, 16, 1,
                         "1 is the shader's round speckle; higher draws it out into fibres along the grain"),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float WoodRingsTexture::Sample(float u, float v) const {
    const GrainFrame g = MakeGrainFrame(*this, u, v);
    const float C = static_cast<float>(g.cellsAcross);
    const float P = static_cast<float>(g.cellsAlong);
    const std::int32_t rings = GetWhole("rings");
    const float R = static_cast<float>(rings);
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));
    const float wander = GetValue("wander");

    float gx = 0.0f, gy = 0.0f;
    const float n =
        FractalNoiseDerivatives(C * g.across, P * g.along, g.cellsAcross, g.cellsAlong, 3.0f, 0.5f, seed, gx, gy);
    const float t = R * g.across + wander * (2.0f * n - 1.0f);
    const float dx = R + 2.0f * wander * C * gx;
    const float dy = 2.0f * wander * P * gy;
    const float gradient = std::sqrt(dx * dx + dy * dy);
    const float d = std::fabs(t - std::round(t)) / std::max(0.0001f, gradient);
    const float ring = Clamp01(1.0f - d / (0.5f * std::max(0.001f, GetValue("width")) / R));

    const std::int32_t k = WrapIndex(FloorIndex(t + 0.5f), rings);
    const float variation = GetValue("variation");
    const float depth =
        1.0f -
        0.6f * variation * (1.0f - HashToUnit(LatticeHash(static_cast<std::uint32_t>(k), 0, seed ^ 0x9E3779B9u)));

    const std::int32_t fr = std::min(18 * rings, 4096);
    const std::int32_t q = std::max<std::int32_t>(
        1, static_cast<std::int32_t>(std::lround(static_cast<float>(fr) / static_cast<float>(GetWhole("fibre")))));
    const float g1 = ValueNoise(static_cast<float>(fr) * g.across, static_cast<float>(q) * g.along, fr, q, seed + 7);
    const float g2 = ValueNoise(static_cast<float>(fr) * g.across, static_cast<float>(q) * g.along, fr, q, seed + 11);
    const float grain = GetValue("grain");
    const float speckle = 1.0f - grain * (1.0f - SmoothStepClamped((g1 + 0.2f) / 1.1f));
    const float board = 1.0f + 0.1f * grain * (0.7f * g2 - 0.5f);

    const float h = Clamp01((1.0f - ring * depth * speckle) * board);
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
