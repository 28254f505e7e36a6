// "Contours": a field of soft, melted cells (a smooth minimum of distances
// at two scales) shown as contour lines of even width, as terraces, or bare.
// The lines keep one width in tile units by dividing the distance to the
// nearest level by the field's gradient.
#pragma once

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class ContoursTexture final : public ProceduralTexture {
public:
    const char* Name() const override { return "Contours"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;

private:
    // The two-scale soft-cell field at (u, v), from the current parameters.
    float Field(float u, float v) const;
};

}  // namespace ridgeforge::mesh::procedural
