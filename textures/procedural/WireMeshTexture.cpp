// Wire Mesh: a wire is centred where the distance from the opening's centre
// reaches sqrt(3)/2, measured in a blend of the hexagonal metric (straight
// struts) and the Euclidean one (rings).
#include "textures/procedural/WireMeshTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/HexLines.h"
#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& WireMeshTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("hexes", "Openings across", 1, 24, 6,
                         "How many openings span the tile; the number down follows from it so they stay regular"),
        FloatParameter("width", "Wire width", 0.02f, 0.5f, 0.12f,
                       "How thick each strut stands, as a share of an opening's radius", 0.01f),
        FloatParameter("roundness", "Hole roundness", 0.0f, 1.0f, 0.0f,
                       "0 leaves straight struts and hexagonal holes; 1 bends them into rings with round holes. Past "
                       "roundness x 0.134 over the wire width, a small opening appears where three meet",
                       0.01f),
        ChoiceParameter("profile", "Wire profile", {"Round", "Flat"}, 0, "A rounded wire or a flat ribbon"),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float WireMeshTexture::Sample(float u, float v) const {
    const HexCenter hex = LocateHexagon(u, v, GetWhole("hexes"));
    const float ox = hex.offsetX;
    const float oy = hex.offsetY;
    const float hexDistance =
        std::max({std::fabs(ox), std::fabs(0.5f * ox + 0.8660254f * oy), std::fabs(0.8660254f * oy - 0.5f * ox)});
    const float q = hexDistance + GetValue("roundness") * (std::sqrt(ox * ox + oy * oy) - hexDistance);
    const float h0 = Clamp01(1.0f - std::fabs(0.8660254f - q) / GetValue("width"));
    return Contrast(LineProfile(h0, GetWhole("profile")), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
