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

ContoursTexture::Settings ContoursTexture::ReadSettings() const {
    Settings settings;
    settings.cells = GetWhole("cells");
    settings.falloff = GetValue("falloff");
    settings.randomness = GetValue("randomness");
    settings.seed = static_cast<std::uint32_t>(GetWhole("seed"));
    settings.lines = GetWhole("lines");
    settings.style = GetWhole("style");
    settings.width = GetValue("width");
    settings.contrast = GetValue("contrast");
    return settings;
}

ContoursTexture::FieldSampler::FieldSampler(const Settings& s)
    : fine(3 * s.cells, s.falloff, s.randomness, s.seed + 5),
      coarse(s.cells, s.falloff, s.randomness, s.seed),
      nf(static_cast<float>(s.cells)) {}

float ContoursTexture::FieldSampler::operator()(float u, float v) {
    const float f = fine(3.0f * nf * u, 3.0f * nf * v);
    const float c = coarse(nf * u, nf * v);
    return std::sqrt(0.66f * c + 0.34f * f);
}

float ContoursTexture::Shade(const Settings& s, FieldSampler& here, FieldSampler& right, FieldSampler& above, float u,
                             float v) {
    const float f = here(u, v);
    switch (s.style) {
        case 2:
            return Contrast(Clamp01(f / 0.96f), s.contrast);
        case 1:
            return Contrast(Quantize(Clamp01(f / 0.96f), s.lines), s.contrast);
        default:
            break;
    }

    constexpr float eps = 0.001f;
    const float gx = (right(u + eps, v) - f) / eps;
    const float gy = (above(u, v + eps) - f) / eps;
    const float t = static_cast<float>(s.lines) * f;
    const float d = std::fabs(t - std::round(t));
    const float g = std::sqrt(gx * gx + gy * gy);
    const float den = std::max(0.0001f, static_cast<float>(s.lines) * std::max(0.0001f, g));
    const float w = 0.02f * s.width + 0.002f;
    const float h = Smoothstep(Clamp01(1.0f - d / den / w));
    return Contrast(h, s.contrast);
}

float ContoursTexture::Sample(float u, float v) const {
    const Settings settings = ReadSettings();
    FieldSampler here(settings), right(settings), above(settings);
    return Shade(settings, here, right, above, u, v);
}

void ContoursTexture::SampleRow(float v, int width, float* out) const {
    const Settings settings = ReadSettings();
    // One sampler per place the field is read, so each keeps the cell its
    // own points stay in along the row.
    FieldSampler here(settings), right(settings), above(settings);
    for (int x = 0; x < width; ++x) out[x] = Shade(settings, here, right, above, PixelCentre(x, width), v);
}

}  // namespace ridgeforge::mesh::procedural
