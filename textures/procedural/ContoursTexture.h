// "Contours": a field of soft, melted cells (a smooth minimum of distances
// at two scales) shown as contour lines of even width, as terraces, or bare.
// The lines keep one width in tile units by dividing the distance to the
// nearest level by the field's gradient.
#pragma once

#include <cstdint>

#include "textures/procedural/Noise.h"
#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class ContoursTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Contours"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    // Keeps each soft-cell field's feature points while the row stays in a cell.
    void SampleRow(float v, int width, float* out) const override;

private:
    struct Settings {
        std::int32_t cells = 3, lines = 2, style = 0;
        float falloff = 1.0f, randomness = 0.0f, width = 0.0f, contrast = 1.0f;
        std::uint32_t seed = 0;
    };
    Settings ReadSettings() const;

    // The two-scale soft-cell field at (u, v).
    struct FieldSampler {
        SoftCellSampler fine, coarse;
        float nf;
        explicit FieldSampler(const Settings& settings);
        float operator()(float u, float v);
    };

    // The height at (u, v); the field is read through here, and for the
    // gradient through right (at u + 0.001) and above (at v + 0.001).
    static float Shade(const Settings& settings, FieldSampler& here, FieldSampler& right, FieldSampler& above,
                       float u, float v);
};

}  // namespace ridgeforge::mesh::procedural
