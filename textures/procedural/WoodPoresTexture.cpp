// Wood Pores: a fractal noise with far more cells across the grain than
// along it has long thin peaks; thresholding them gives the pores. A coarser
// noise lowered or raised by "breakup" makes them cluster and break into
// shorter pieces, and a smoothstep of adjustable width rounds their edges.
#include "textures/procedural/WoodPoresTexture.h"

#include <algorithm>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& WoodPoresTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        FloatParameter("density", "Density", 0.0f, 1.0f, 0.5f, "How much of the surface is pore", 0.01f),
        IntegerParameter("along", "Pores along the grain", 2, 64, 8,
                         "Fewer is longer pores: noise cells per tile along the grain"),
        IntegerParameter("across", "Rows across the grain", 8, 1024, 256,
                         "More is finer pores: noise cells per tile across the grain"),
        ChoiceParameter("direction", "Direction", {"Horizontal", "Vertical"}, 0, "Which way the grain runs"),
        FloatParameter("breakup", "Break-up", 0.0f, 1.0f, 0.5f,
                       "How much the pores cluster and break into shorter ones", 0.01f),
        FloatParameter("softness", "Edge softness", 0.0f, 1.0f, 0.1f, "0 is a hard-edged pore; more is a rounded one",
                       0.01f),
        FloatParameter("depth", "Pore depth", 0.0f, 1.0f, 1.0f, "How deep a pore goes, of the strength", 0.01f),
        SeedParameter(),
    };
    return table;
}

float WoodPoresTexture::Sample(float u, float v) const {
    const bool vertical = GetWhole("direction") == 1;
    const float along = vertical ? v : u;
    const float across = vertical ? u : v;
    const std::int32_t p = GetWhole("along");
    const std::int32_t q = GetWhole("across");
    const auto s = static_cast<std::uint32_t>(GetWhole("seed"));

    const float pore = FractalNoise(static_cast<float>(p) * along, static_cast<float>(q) * across, p, q, 1.0f, 0.5f, s);
    const std::int32_t p2 = std::max(1, p / 2);
    const std::int32_t q2 = std::max(1, q / 8);
    const float breakup =
        FractalNoise(static_cast<float>(p2) * along, static_cast<float>(q2) * across, p2, q2, 0.0f, 0.5f, s + 101);
    const float nu = pore - 0.6f * GetValue("breakup") * (breakup - 0.5f);

    const float threshold = 0.82f - 0.3f * GetValue("density");
    const float halfWidth = 0.08f * GetValue("softness") + 0.01f;
    const float amount = Smoothstep(Clamp01((nu - (threshold - halfWidth)) / (2.0f * halfWidth)));
    return 1.0f - GetValue("depth") * amount;
}

}  // namespace ridgeforge::mesh::procedural
