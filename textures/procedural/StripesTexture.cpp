// Stripes: a wave profile of N times the across coordinate, optionally bent
// by a cosine along the stripes and steepened about its middle by a rescaled
// smoothstep. Diagonal stripes use u + v, so N stripes cross each tile edge
// and the tile stays seamless.
#include "textures/procedural/StripesTexture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& StripesTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("stripes", "Stripes per tile", 1, 64, 8, "How many stripes span the tile"),
        ChoiceParameter("direction", "Direction", {"Vertical", "Horizontal", "Diagonal"}, 0,
                        "Which way the stripes run"),
        ChoiceParameter("profile", "Profile", WaveNames, 0, "The shape of one stripe"),
        FloatParameter("sharpness", "Sharpness", 0.0f, 1.0f, 0.0f, "0 keeps the profile; 1 makes it a hard step",
                       0.01f),
        FloatParameter("phase", "Phase", 0.0f, 1.0f, 0.0f, "Slides the stripes by a share of one", 0.01f),
        FloatParameter("wander", "Wander", 0.0f, 1.0f, 0.0f,
                       "How far each stripe wanders from straight, in stripe widths. 0 leaves them straight; 0.16 is "
                       "the shader's",
                       0.01f),
        IntegerParameter("waves", "Wanders per tile", 1, 32, 5,
                         "How many times a stripe swings to and fro along the tile"),
    };
    return table;
}

float StripesTexture::Sample(float u, float v) const {
    float along = v;
    float across = u;
    switch (GetWhole("direction")) {
        case 1:
            along = u;
            across = v;
            break;
        case 2:
            along = u - v;
            across = u + v;
            break;
        default:
            break;
    }

    float t = static_cast<float>(GetWhole("stripes")) * across;
    const float wander = GetValue("wander");
    if (wander > 0.0f) {
        const float waves = static_cast<float>(GetWhole("waves"));
        t += wander * std::cos(2.0f * std::numbers::pi_v<float> * waves * along);
    }
    const float h = Wave(t + GetValue("phase"), GetWhole("profile"));

    const float sharpness = GetValue("sharpness");
    if (sharpness <= 0.0f) return h;
    // Capped below 1 so the ramp keeps a width and the division stays finite.
    const float e = 0.5f * std::min(0.999f, sharpness);
    return Smoothstep(Clamp01((h - e) / (1.0f - 2.0f * e)));
}

}  // namespace ridgeforge::mesh::procedural
