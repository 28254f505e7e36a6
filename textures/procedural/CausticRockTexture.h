// "Caustic Rock": layered ripples whose light is gathered into bright lines
// by warping the point down the ripples' slope.
#pragma once

#include "textures/procedural/CausticLanes.h"
#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class CausticRockTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Caustic Rock"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    // Four pixels at a time, one per vector lane.
    void SampleRow(float v, int width, float* out) const override;

private:
    struct Settings {
        float step = 0.0f;  // focus x 0.008 / cells
        int count = 0;      // layers
        CausticLayer layers[kMaxCausticLayers];
        float brilliance = 0.0f, contrast = 1.0f;
    };
    Settings ReadSettings() const;

    // The ripple sum at the point the light is gathered to from (u, v).
    static float GatherLight(const Settings& settings, float u, float v);
    // The height from the ripple sum.
    static float Brighten(const Settings& settings, float sum);
};

}  // namespace ridgeforge::mesh::procedural
