// Hex Truchet: every hexagon carries arcs of radius 0.5 about three alternate
// corners; each arc joins the midpoints of the two edges at its corner, so
// arcs of neighbouring hexagons always meet whichever way each is turned.
#include "textures/procedural/HexTruchetTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/HexLines.h"
#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {
namespace {

constexpr float kCorners[6][2] = {{0.8660254f, 0.5f},   {0.0f, 1.0f},  {-0.8660254f, 0.5f},
                                  {-0.8660254f, -0.5f}, {0.0f, -1.0f}, {0.8660254f, -0.5f}};

}  // namespace

const std::vector<ParameterDefinition>& HexTruchetTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("hexes", "Hexagons across", 1, 24, 7,
                         "How many hexagons span the tile; the number down follows from it so they stay regular"),
        FloatParameter("width", "Line width", 0.02f, 0.5f, 0.15f,
                       "How wide each loop stands, as a share of a hexagon's radius", 0.01f),
        ChoiceParameter("profile", "Line profile", {"Round", "Flat"}, 0, "A rounded bead or a flat-topped ribbon"),
        SeedParameter(),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

float HexTruchetTexture::Sample(float u, float v) const {
    const std::int32_t n = GetWhole("hexes");
    const HexCenter hex = LocateHexagon(u, v, n);
    const std::int32_t ci = WrapIndex(hex.column, n);
    const std::int32_t cj = WrapIndex(hex.row, HexDoubleRows(n));
    const std::uint32_t seed = static_cast<std::uint32_t>(GetWhole("seed")) + (hex.subLattice == 1 ? 977u : 0u);
    const float r = HashToUnit(LatticeHash(static_cast<std::uint32_t>(ci), static_cast<std::uint32_t>(cj), seed));

    float d = 3.4028235e38f;
    for (int c = (r < 0.5f ? 1 : 0); c < 6; c += 2) {
        const float dx = hex.offsetX - kCorners[c][0];
        const float dy = hex.offsetY - kCorners[c][1];
        d = std::min(d, std::sqrt(dx * dx + dy * dy));
    }
    const float e = std::fabs(d - 0.5f);
    const float h0 = Clamp01(1.0f - e / GetValue("width"));
    return Contrast(LineProfile(h0, GetWhole("profile")), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
