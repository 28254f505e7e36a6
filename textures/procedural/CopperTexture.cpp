// Copper: domain warping three levels deep (Quilez, "Warping", 2002): each
// level's noise displaces the lookup of the next, which gives the swirled,
// etched look. The result is eaten into pits (high values cut away), and the
// rim folds the pit value about a level so a lip stands round each pit.
#include "textures/procedural/CopperTexture.h"

#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& CopperTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("scale", "Cells per tile", 2, 16, 4, "How coarse the underlying noise is"),
        FloatParameter("warp", "Warp", 0.0f, 8.0f, 4.0f, "How far the first noise drags the second", 0.1f),
        FloatParameter("swirl", "Swirl", 0.0f, 8.0f, 7.0f, "How far the second drags the third", 0.1f),
        FloatParameter("detail", "Detail", 1.0f, 7.0f, 5.0f, "Octaves in each of them", 0.1f),
        FloatParameter("pits", "Pitting", 0.0f, 1.0f, 0.5f, "How much of the surface is eaten away", 0.01f),
        FloatParameter("ridges", "Rim", 0.0f, 1.0f, 0.5f, "The raised lip round each pit", 0.01f),
        FloatParameter("phase", "Variation", 0.0f, 1.0f, 0.0f, "Slides the warp: another part of the same pattern",
                       0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

CopperTexture::Settings CopperTexture::ReadSettings() const {
    Settings s;
    s.n = GetWhole("scale");
    s.seed = static_cast<std::uint32_t>(GetWhole("seed"));
    s.phase = static_cast<float>(s.n) * GetValue("phase");
    s.warp = GetValue("warp");
    s.swirl = GetValue("swirl");
    s.detail = GetValue("detail");
    s.pits = GetValue("pits");
    s.ridges = GetValue("ridges");
    s.contrast = GetValue("contrast");
    return s;
}

CopperTexture::Noises::Noises(const Settings& s)
    : q1(s.n, s.n, s.detail, 0.5f, s.seed),
      q2(s.n, s.n, s.detail, 0.5f, s.seed),
      r1(s.n, s.n, s.detail, 0.5f, s.seed + 1),
      r2(s.n, s.n, s.detail, 0.5f, s.seed + 1),
      t1(s.n, s.n, s.detail, 0.5f, s.seed + 2),
      t2(s.n, s.n, s.detail, 0.5f, s.seed + 2),
      f(s.n, s.n, s.detail, 0.5f, s.seed + 3) {}

float CopperTexture::Shade(const Settings& s, Noises& noise, float u, float v) {
    const float x = static_cast<float>(s.n) * u;
    const float y = static_cast<float>(s.n) * v;
    const float q1 = noise.q1(x, y);
    const float q2 = noise.q2(x + 1.0f, y + 1.0f);
    const float r1 = noise.r1(x + s.warp * q1, y + s.warp * q2);
    const float r2 = noise.r2(x, y);
    const float t1 = noise.t1(x + s.swirl * r1 + s.phase, y + s.swirl * r2 + s.phase);
    const float t2 = noise.t2(x + 0.563f * s.swirl * r1 + s.phase, y + 0.563f * s.swirl * r2 + s.phase);
    const float f = noise.f(x + r1 + t1, y + r2 + t2);

    const float a = Clamp01((0.8f * s.pits + 0.9f) * f);
    float b = Clamp01(1.9f * a * a * a);
    const float rim = 0.25f * s.ridges;
    if (rim > 0.0f) b = std::fabs(b - rim) / (1.0f - rim);

    const float h = Clamp01(1.0f - Clamp01(b));
    return Contrast(h, s.contrast);
}

float CopperTexture::Sample(float u, float v) const {
    const Settings settings = ReadSettings();
    Noises noises(settings);
    return Shade(settings, noises, u, v);
}

void CopperTexture::SampleRow(float v, int width, float* out) const {
    const Settings settings = ReadSettings();
    Noises noises(settings);
    for (int x = 0; x < width; ++x) out[x] = Shade(settings, noises, PixelCentre(x, width), v);
}

}  // namespace ridgeforge::mesh::procedural
