// Truchet (after Smith's quarter-circle tiles): in every cell the distance to
// the nearer of two opposite corners drives a periodic wave, so rings of
// radius k / R surround each corner; turning a cell mirrors it, and the
// rings of neighbouring cells meet at the cell edges because R is whole.
#include "textures/procedural/TruchetTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& TruchetTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Cells per tile", 2, 32, 6,
                         "How many Truchet cells span the tile each way; rounded up to an even number"),
        IntegerParameter("rings", "Rings per cell", 1, 20, 7,
                         "How many rings are drawn about each corner. 7 is the original, and a whole number is what "
                         "lets the scattered layout join up"),
        FloatParameter("width", "Line width", 0.05f, 1.0f, 0.5f,
                       "How much of each ring stands up. 0.5 is the original; less draws finer lines", 0.01f),
        ChoiceParameter("profile", "Line profile", {"Sine", "Triangle"}, 0,
                        "The cross-section of each line. Both are symmetric, which is what the scattered layout needs; "
                        "a saw would put a straight step along every cell edge"),
        ChoiceParameter("layout", "Layout", {"Alternating", "Scattered"}, 1,
                        "Scattered turns the cells at random, as the original does, and the curves wander; "
                        "Alternating turns every other one, which closes them into a lattice of rings"),
        SeedParameter(),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float TruchetTexture::Sample(float u, float v) const {
    const std::int32_t n = RoundUpToEven(GetWhole("cells"));
    const float X = static_cast<float>(n) * u;
    const float Y = static_cast<float>(n) * v;
    const std::int32_t ci = WrapIndex(FloorIndex(X), n);
    const std::int32_t cj = WrapIndex(FloorIndex(Y), n);
    float x = X - std::floor(X);
    const float y = Y - std::floor(Y);

    bool turned = false;
    if (GetWhole("layout") == 1) {
        const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));
        turned = HashToUnit(LatticeHash(static_cast<std::uint32_t>(ci), static_cast<std::uint32_t>(cj), seed)) < 0.5f;
    } else {
        turned = (ci + cj) % 2 != 0;
    }
    if (turned) x = 1.0f - x;

    const float d = std::min(std::sqrt((x - 1.0f) * (x - 1.0f) + (y - 1.0f) * (y - 1.0f)), std::sqrt(x * x + y * y));
    const float rings = static_cast<float>(GetWhole("rings"));
    const float w = Wave(d * rings + 0.5f, GetWhole("profile") == 0 ? 0 : 2);
    const float width = GetValue("width");
    const float h = Clamp01((w - (1.0f - width)) / width);
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
