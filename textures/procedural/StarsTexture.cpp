// Stars: a distance that is the square pyramid's max(a, b) on the diagonals
// but shrinks along the cell's axes by the sharpness, so its level sets are
// four-pointed stars. The optional second lattice is the same distance in
// coordinates turned 45 degrees; the nearer of the two wins.
#include "textures/procedural/StarsTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& StarsTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Stars per tile", 1, 32, 4, "How many stars span the tile each way"),
        FloatParameter("sharpness", "Point sharpness", 1.0f, 5.0f, 2.0f,
                       "A point's length against its width. 1 is a plain grid of square pyramids, 2 the original "
                       "star; higher sends the points further and shrinks the hollows between them",
                       0.1f),
        ChoiceParameter("lattice", "Lattice", {"Square", "Square and turned"}, 0,
                        "Turned lays a second, finer lattice of stars at 45 degrees over the first"),
        ChoiceParameter("style", "Style", {"Pyramids", "Rings", "Steps"}, 0,
                        "A star-shaped pyramid, concentric ridges, or flat terraces"),
        IntegerParameter("rings", "Rings", 1, 16, 4, "How many rings each star is cut into; Pyramids ignores this"),
        ChoiceParameter("profile", "Ring profile", {"Sine", "Saw", "Triangle"}, 0, "The shape of each ring"),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

namespace {

// 0 at a star's centre, about 1 at its cell's edge.
float StarDistance(float p, float q, float sharpness) {
    const float a = 2.0f * std::fabs(p - std::floor(p) - 0.5f);
    const float b = 2.0f * std::fabs(q - std::floor(q) - 0.5f);
    return std::max(std::min(a, b) * sharpness, std::max(a, b)) / std::max(sharpness, 1.0f);
}

}  // namespace

float StarsTexture::Sample(float u, float v) const {
    const float n = static_cast<float>(GetWhole("cells"));
    const float sharpness = GetValue("sharpness");
    const float x = n * u;
    const float y = n * v;

    float d = StarDistance(x, y, sharpness);
    if (GetWhole("lattice") == 1) d = std::min(d, StarDistance(x - y, x + y, sharpness));

    const std::int32_t rings = GetWhole("rings");
    float h = 0.0f;
    switch (GetWhole("style")) {
        case 1:
            h = Clamp01(Wave(static_cast<float>(rings) * d, GetWhole("profile")));
            break;
        case 2:
            h = Quantize(Clamp01(1.0f - d), rings);
            break;
        default:
            h = Clamp01(1.0f - d);
            break;
    }
    return Contrast(h, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
