// Contours: the field is the square root of a mix of two soft-cell fields
// (a smooth minimum of distances, so neighbouring cells melt together). Lines
// are drawn where the field crosses one of L evenly spaced levels; dividing
// the level distance by the gradient (a first-order distance estimate) keeps
// their width even where the field is steep or flat.
#include "textures/procedural/ContoursTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& ContoursTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Cells per tile", 3, 10, 4, "How many soft cells span the tile"),
        FloatParameter("falloff", "Hardness", 1.0f, 8.0f, 4.0f, "Low melts the cells together; high keeps them apart",
                       0.1f),
        IntegerParameter("lines", "Contours", 2, 48, 12, "How many contour lines the field is cut into"),
        FloatParameter("width", "Line width", 0.0f, 1.0f, 0.5f,
                       "How thick each contour is, as a share of the tile - the same everywhere it runs", 0.01f),
        ChoiceParameter("style", "Style", {"Contour lines", "Terraces", "Smooth cells"}, 0,
                        "Lines standing on a floor, stepped plateaus, or the bare field"),
        FloatParameter("randomness", "Randomness", 0.0f, 1.0f, 1.0f, "0 lays the cells on a grid, 1 scatters them",
                       0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float ContoursTexture::Field(float u, float v) const {
    const std::int32_t n = GetWhole("cells");
    const float falloff = GetValue("falloff");
    const float r = GetValue("randomness");
    const auto s = static_cast<std::uint32_t>(GetWhole("seed"));
    const float nf = static_cast<float>(n);
    const float fine = SoftCellField(3.0f * nf * u, 3.0f * nf * v, 3 * n, falloff, r, s + 5);
    const float coarse = SoftCellField(nf * u, nf * v, n, falloff, r, s);
    return std::sqrt(0.66f * coarse + 0.34f * fine);
}

float ContoursTexture::Sample(float u, float v) const {
    const float f = Field(u, v);
    const std::int32_t lines = GetWhole("lines");
    const float contrast = GetValue("contrast");

    switch (GetWhole("style")) {
        case 2:
            return Contrast(Clamp01(f / 0.96f), contrast);
        case 1:
            return Contrast(Quantize(Clamp01(f / 0.96f), lines), contrast);
        default:
            break;
    }

    constexpr float eps = 0.001f;
    const float gx = (Field(u + eps, v) - f) / eps;
    const float gy = (Field(u, v + eps) - f) / eps;
    const float t = static_cast<float>(lines) * f;
    const float d = std::fabs(t - std::round(t));
    const float g = std::sqrt(gx * gx + gy * gy);
    const float den = std::max(0.0001f, static_cast<float>(lines) * std::max(0.0001f, g));
    const float w = 0.02f * GetValue("width") + 0.002f;
    const float h = Smoothstep(Clamp01(1.0f - d / den / w));
    return Contrast(h, contrast);
}

}  // namespace ridgeforge::mesh::procedural
