// Noise: the field is one of the shared noises at n cells per tile (with
// matching periods, so it tiles); Bands folds it through |cos| into contour
// lines, Veins keeps the largest of three sawtooth folds of it.
#include "textures/procedural/NoiseTexture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& NoiseTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        ChoiceParameter("kind", "Kind", {"Fractal", "Uniform", "Blue"}, 0,
                        "Fractal has detail at every scale and looks natural; Uniform has one size of feature and an "
                        "even spread of heights, the matte of a blasted surface; Blue spreads its bumps evenly with "
                        "no clumping at all - a fine even stipple"),
        IntegerParameter("scale", "Cells per tile", 1, 256, 6,
                         "How many noise cells span the tile: more is finer. Blue wants many - it is a stipple"),
        FloatParameter("detail", "Detail", 0.0f, 8.0f, 3.0f, "Octaves of finer noise laid over the first (Fractal)",
                       0.1f),
        FloatParameter("roughness", "Roughness", 0.0f, 1.0f, 0.5f, "How strong each finer octave is (Fractal)", 0.01f),
        FloatParameter("softness", "Softness", 0.0f, 1.0f, 0.0f,
                       "0 leaves flat plateaus with a step between them; higher rounds the steps over (Uniform, Blue)",
                       0.01f),
        FloatParameter("spread", "Spread", 0.0f, 1.0f, 0.7f,
                       "How far the cells are scattered off a regular grid. Low keeps the roughness even (Uniform)",
                       0.01f),
        ChoiceParameter("shape", "Shape", {"Plain", "Bands", "Veins"}, 0,
                        "How the field's value is read. Plain is the field itself; Bands folds it into contour lines, "
                        "which is what makes marble; Veins folds it at three scales at once"),
        FloatParameter("bands", "Bands", 1.0f, 32.0f, 6.0f, "How many times Bands or Veins folds the field over", 0.1f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

namespace {
float Frac(float a) { return a - std::floor(a); }
}  // namespace

float NoiseTexture::Sample(float u, float v) const {
    const std::int32_t n = GetWhole("scale");
    const float x = static_cast<float>(n) * u;
    const float y = static_cast<float>(n) * v;
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));

    float f = 0.0f;
    switch (GetWhole("kind")) {
        case 1:
            f = UniformNoise(x, y, n, GetValue("spread"), GetValue("softness"), seed);
            break;
        case 2:
            f = BlueNoise(x, y, n, GetValue("softness"), seed);
            break;
        default:
            f = FractalNoise(x, y, n, n, GetValue("detail"), GetValue("roughness"), seed);
            break;
    }

    const std::int32_t shape = GetWhole("shape");
    if (shape == 1) {
        const float t = GetValue("bands") * f;
        f = std::fabs(std::cos(std::numbers::pi_v<float> * t));
    } else if (shape == 2) {
        const float t = GetValue("bands") * f;
        f = std::max({Frac(4.0f * t), Frac(2.0f * t), Frac(t)});
    }
    return Contrast(f, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
