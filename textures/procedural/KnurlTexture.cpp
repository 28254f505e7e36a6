// Knurl: triangle ridges T(z) = 1 - 2|frac(z) - 0.5| along one axis
// (straight), both axes (square) or two slanted families (diamond); the
// minimum of two families gives pyramids, and a flat top truncates them.
#include "textures/procedural/KnurlTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {
namespace {

float Ridge(float z) { return 1.0f - 2.0f * std::fabs(Frac(z) - 0.5f); }

}  // namespace

const std::vector<ParameterDefinition>& KnurlTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        ChoiceParameter("kind", "Kind", {"Diamond", "Straight", "Square"}, 0,
                        "Diamond crosses the grooves at an angle; Straight is ridges along the axis; Square crosses "
                        "them at right angles"),
        IntegerParameter("grooves", "Grooves across", 2, 128, 24, "How many grooves cross the tile from side to side"),
        FloatParameter("angle", "Angle", 10.0f, 60.0f, 30.0f,
                       "The grooves' angle to the axis (Diamond). Rounded to the nearest that repeats across the tile",
                       0.5f),
        FloatParameter("flat", "Flat top", 0.0f, 0.8f, 0.0f,
                       "Truncates the pyramids into flat lands. 0 leaves them sharp", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float KnurlTexture::NeutralHeight() const { return Contrast(1.0f, GetValue("contrast")); }

std::int32_t KnurlTexture::DiamondSlope() const {
    const float n = static_cast<float>(GetWhole("grooves"));
    const float radians = GetValue("angle") * 3.1415927f / 180.0f;
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(std::tan(radians) * n)));
}

float KnurlTexture::Sample(float u, float v) const {
    const float n = static_cast<float>(GetWhole("grooves"));
    float h = 0.0f;
    switch (GetWhole("kind")) {
        case 1:
            h = Ridge(n * u);
            break;
        case 2:
            h = std::min(Ridge(n * u), Ridge(n * v));
            break;
        default: {
            const float k = static_cast<float>(DiamondSlope());
            h = std::min(Ridge(n * u - k * v), Ridge(n * u + k * v));
            break;
        }
    }
    const float f = 1.0f - GetValue("flat");
    h = std::min(h, f) / f;
    return Contrast(Clamp01(h), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
