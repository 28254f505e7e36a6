// Weave: each thread family is a row of threads (flat or half-sine section)
// with a groove beside each, and rises and dips along its length as a sine of
// period 2F pitches, each thread shifted one pitch from its neighbour, which
// gives plain weave for F = 1 and twill for more. The thread count is rounded
// up to whole repeats so the tile is seamless.
#include "textures/procedural/WeaveTexture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& WeaveTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("threads", "Threads per tile", 2, 64, 6,
                         "How many threads span the tile each way; rounded up to fit whole repeats of the weave"),
        IntegerParameter("float", "Weave float", 1, 8, 1,
                         "How many threads each one passes over before it dips under. 1 is a plain over-under weave; "
                         "more leans the pattern into a twill"),
        FloatParameter("gap", "Gap", 0.0f, 0.6f, 0.36f, "How much of each thread's pitch is the groove beside it",
                       0.01f),
        FloatParameter("round", "Thread rounding", 0.0f, 1.0f, 0.0f,
                       "0 leaves the threads flat-topped as the original has them; 1 gives them a round section",
                       0.01f),
        FloatParameter("crossing", "Crossing depth", 0.0f, 1.0f, 0.9f,
                       "How much higher a thread sits where it passes over than where it passes under", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.07f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float WeaveTexture::StrandHeight(float a, float b) const {
    constexpr float pi = std::numbers::pi_v<float>;
    const float gap = GetValue("gap");
    const float f = a - std::floor(a);
    if (f <= gap) return 0.0f;

    const float section = 1.0f + GetValue("round") * (std::sin(pi * (f - gap) / (1.0f - gap)) - 1.0f);
    const float floatLength = static_cast<float>(std::max(1, GetWhole("float")));
    const float w = std::sin((pi / floatLength) * (b - std::ceil(a)));
    const float crossing = GetValue("crossing");
    return ((0.5f * w + 0.5f) * crossing + (1.0f - crossing)) * section;
}

float WeaveTexture::Sample(float u, float v) const {
    const std::int32_t repeat = 2 * std::max(1, GetWhole("float"));
    const std::int32_t threads = (GetWhole("threads") - 1 + repeat) / repeat * repeat;
    const float x = static_cast<float>(threads) * u;
    const float y = static_cast<float>(threads) * v;
    const float h = Clamp01(std::max(StrandHeight(y, x + 1.0f), StrandHeight(x, y)));
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
