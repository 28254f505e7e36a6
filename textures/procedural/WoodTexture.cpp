// Wood: the grain lines are level sets of the across-the-board coordinate
// (or of the distance to the tile centre for end grain) pushed about by a
// low-frequency fractal "figure" noise; a wave profile turns the position into
// height, and a fibre noise stretched along the board scores it.
#include "textures/procedural/WoodTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& WoodTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("rings", "Grain lines per tile", 1, 64, 12, "How many lines cross the board"),
        ChoiceParameter("direction", "Direction", {"Horizontal", "Vertical", "End grain (rings)"}, 0,
                        "Which way the board runs, or the end of it"),
        FloatParameter("wander", "Figure", 0.0f, 6.0f, 4.0f,
                       "How far a line strays, in lines: past 1 they close into the arches of a flatsawn board", 0.01f),
        IntegerParameter("figure", "Figure size", 1, 12, 1, "Fewer is longer, broader sweeps"),
        IntegerParameter("stretch", "Stretch", 1, 8, 3,
                         "How much more the figure varies across the board than down it"),
        ChoiceParameter("profile", "Line profile", WaveNames, 1,
                        "Saw is the hard edge of latewood; sine and triangle are softer"),
        FloatParameter("fibre", "Fibre", 0.0f, 1.0f, 0.45f, "The fine grain between the lines", 0.01f),
        IntegerParameter("fibreLines", "Fibre fineness", 16, 512, 160, "Fibres across the board"),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float WoodTexture::Sample(float u, float v) const {
    const std::int32_t direction = GetWhole("direction");
    const bool endGrain = direction == 2;
    const float along = direction == 1 ? v : u;
    const float across = direction == 1 ? u : v;
    const std::int32_t n = GetWhole("rings");
    const auto s = static_cast<std::uint32_t>(GetWhole("seed"));

    float t = 0.0f;
    if (endGrain) {
        // Distance to the nearest copy of the tile centre, so the rings of
        // neighbouring tiles meet at the edges.
        float dx = std::fabs(u - 0.5f);
        dx = std::min(dx, 1.0f - dx);
        float dy = std::fabs(v - 0.5f);
        dy = std::min(dy, 1.0f - dy);
        t = 2.0f * static_cast<float>(n) * std::sqrt(dx * dx + dy * dy);
    } else {
        t = static_cast<float>(n) * across;
    }

    const float wander = GetValue("wander");
    if (wander > 0.0f) {
        const std::int32_t f = GetWhole("figure");
        const std::int32_t k = GetWhole("stretch");
        const float ff = static_cast<float>(f);
        const float noise =
            endGrain ? FractalNoise(ff * u, ff * v, f, f, 2.0f, 0.5f, s)
                     : FractalNoise(ff * along, static_cast<float>(k) * ff * across, f, k * f, 2.0f, 0.5f, s);
        t += wander * (2.0f * noise - 1.0f);
    }

    float h = Wave(t, GetWhole("profile"));

    const float fibre = GetValue("fibre");
    if (fibre > 0.0f) {
        const std::int32_t lines = GetWhole("fibreLines");
        const std::int32_t a = std::max(1, lines / 24);
        const float lf = static_cast<float>(lines);
        const float noise = endGrain
                                ? FractalNoise(lf * u, lf * v, lines, lines, 1.0f, 0.5f, s + 7)
                                : FractalNoise(static_cast<float>(a) * along, lf * across, a, lines, 1.0f, 0.5f, s + 7);
        h *= 1.0f - (1.0f - noise) * fibre;
    }
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
