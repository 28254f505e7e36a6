// Tread Plate: each cell of an even checkerboard holds one bar on a
// diagonal, the direction flipping from cell to cell. The bar's outline
// r = |a| / (length / 2) + (w / (width / 2))^2 is pointed at both ends and
// widest in the middle; it rises over the outer share "edge" of r.
#include "textures/procedural/TreadPlateTexture.h"

#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& TreadPlateTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("count", "Bars across", 2, 48, 8, "How many bars span the tile; rounded up to an even number"),
        FloatParameter("length", "Bar length", 0.3f, 1.05f, 0.95f, "How long each bar is, as a share of its cell",
                       0.01f),
        FloatParameter("width", "Bar width", 0.1f, 0.35f, 0.26f, "How wide each bar is, as a share of its cell", 0.01f),
        FloatParameter("edge", "Edge", 0.05f, 1.0f, 0.4f,
                       "How much of each bar slopes up from the plate; the rest is its rounded top", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float TreadPlateTexture::Sample(float u, float v) const {
    const std::int32_t n = RoundUpToEven(GetWhole("count"));
    const float X = static_cast<float>(n) * u;
    const float Y = static_cast<float>(n) * v;
    const std::int32_t i = FloorIndex(X);
    const std::int32_t j = FloorIndex(Y);
    const float x = X - std::floor(X) - 0.5f;
    const float y = Y - std::floor(Y) - 0.5f;

    const float s = ((WrapIndex(i, n) + WrapIndex(j, n)) % 2 != 0) ? -1.0f : 1.0f;
    const float along = (s * y + x) * 0.70710677f;
    const float across = (y - s * x) * 0.70710677f;
    const float w = across / (GetValue("width") / 2.0f);
    const float r = std::fabs(along) / (GetValue("length") / 2.0f) + w * w;

    const float contrast = GetValue("contrast");
    if (!(r < 1.0f)) return Contrast(0.0f, contrast);
    return Contrast(SmoothStepClamped(Clamp01((1.0f - r) / GetValue("edge"))), contrast);
}

}  // namespace ridgeforge::mesh::procedural
