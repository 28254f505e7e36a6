// "Timber": a figured board from domain-warped noise cut by rings, with
// blotches and hairline pores along the grain.
#pragma once

#include <cstdint>

#include "textures/procedural/GrainFrame.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class TimberTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Timber"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    // Each of the six noises keeps its lattice cells along the row.
    void SampleRow(float v, int width, float* out) const override;

private:
    struct Settings {
        GrainFrame frame;
        std::uint32_t seed = 0;
        float figure = 0.0f, rings = 1.0f, sharpness = 0.0f, blotch = 0.0f, fibre = 0.0f, contrast = 1.0f;
    };
    Settings ReadSettings(float u, float v) const;

    // One sampler per noise read for a pixel, so each follows its own point.
    struct Noises {
        FractalNoiseSampler w1, w2, grain, rings, blotch, fibre;
        explicit Noises(const Settings& settings);
    };
    static float Shade(const Settings& settings, const GrainFrame& frame, Noises& noises);
};

}  // namespace ridgeforge::mesh::procedural
