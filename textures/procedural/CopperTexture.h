// "Copper": a fractal noise warped three levels deep (after Quilez's domain
// warping) and eaten into pits, with an optional raised rim round each pit.
#pragma once

#include <cstdint>

#include "textures/procedural/Noise.h"
#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class CopperTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Copper"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    // Each of the seven noises keeps its lattice cells along the row.
    void SampleRow(float v, int width, float* out) const override;

private:
    struct Settings {
        std::int32_t n = 1;
        std::uint32_t seed = 0;
        float phase = 0.0f, warp = 0.0f, swirl = 0.0f, detail = 1.0f, pits = 0.0f, ridges = 0.0f, contrast = 1.0f;
    };
    Settings ReadSettings() const;

    // One sampler per noise read for a pixel, so each follows its own point.
    struct Noises {
        FractalNoiseSampler q1, q2, r1, r2, t1, t2, f;
        explicit Noises(const Settings& settings);
    };
    static float Shade(const Settings& settings, Noises& noises, float u, float v);
};

}  // namespace ridgeforge::mesh::procedural
