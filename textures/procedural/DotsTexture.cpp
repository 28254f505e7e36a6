// Dots: the distance to the nearest dot centre, measured in dot spacings,
// is turned into a dome, boss, cone or cylinder profile with an optional
// rounded rim. Staggered rows and hexagonal double rows are rounded to whole
// counts so that the lattice repeats across the tile.
#include "textures/procedural/DotsTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/NearestHexCenter.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

float PlateNeutralHeight(const ParameterSet& pattern) { return Contrast(0.0f, pattern.GetValue("contrast")); }

const std::vector<ParameterDefinition>& DotsTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        ChoiceParameter("layout", "Layout", {"Square", "Staggered", "Hexagonal"}, 2,
                        "Square is a grid; Staggered shifts every other row by half; Hexagonal packs them closest"),
        IntegerParameter("count", "Dots across", 1, 64, 8, "How many dots span the tile"),
        FloatParameter("size", "Dot size", 0.05f, 1.0f, 0.7f,
                       "Diameter as a share of the spacing. At 1 neighbours touch", 0.01f),
        ChoiceParameter("shape", "Shape", {"Dome", "Boss", "Cone", "Cylinder"}, 0,
                        "Dome is rounded; Boss is flat-topped with a tapered side; Cone is pointed; Cylinder is "
                        "flat-topped and straight-sided"),
        FloatParameter("softness", "Edge softness", 0.0f, 0.5f, 0.1f,
                       "How much of the rim is rounded over, as a share of the radius", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float DotsTexture::DotAt(float u, float v) const {
    const std::int32_t n = GetWhole("count");
    const float x = static_cast<float>(n) * u;
    const std::int32_t layout = GetWhole("layout");
    if (layout == 1) {
        const std::int32_t m = RoundUpToEven(n);
        const float y = static_cast<float>(m) * v;
        const std::int32_t base = FloorIndex(y);
        float best = 3.4028235e38f;
        for (std::int32_t r = base - 1; r <= base + 1; ++r) {
            const float s = (r % 2 != 0) ? 0.5f : 0.0f;
            const float c = std::floor(x - s) + 0.5f + s;
            const float dy = y - (static_cast<float>(r) + 0.5f);
            for (int k = -1; k <= 1; ++k) {
                const float dx = x - (c + static_cast<float>(k));
                best = std::min(best, std::sqrt(dx * dx + dy * dy));
            }
        }
        return best;
    }
    if (layout == 2) {
        const float k = std::max(1.0f, std::round(static_cast<float>(n) * kSqrt3 / 3.0f));
        const HexCenter h = NearestHexCenter(x * kSqrt3, k * v * 3.0f);
        return std::sqrt(h.offsetX * h.offsetX + h.offsetY * h.offsetY) / kSqrt3;
    }
    const float dx = Frac(x) - 0.5f;
    const float dy = Frac(static_cast<float>(n) * v) - 0.5f;
    return std::sqrt(dx * dx + dy * dy);
}

float DotsTexture::Sample(float u, float v) const {
    const float contrast = GetValue("contrast");
    const float radius = GetValue("size") / 2.0f;
    const float d = DotAt(u - std::floor(u), v - std::floor(v)) / radius;
    if (!(d < 1.0f)) return Contrast(0.0f, contrast);

    float p = 1.0f;
    switch (GetWhole("shape")) {
        case 0:
            p = std::sqrt(1.0f - d * d);
            break;
        case 1:
            p = Clamp01((1.0f - d) / 0.35f);
            break;
        case 2:
            p = 1.0f - d;
            break;
        default:
            break;
    }
    const float softness = GetValue("softness");
    if (softness > 0.0f) p *= SmoothStepClamped(Clamp01((1.0f - d) / softness));
    return Contrast(Clamp01(p), contrast);
}

}  // namespace ridgeforge::mesh::procedural
