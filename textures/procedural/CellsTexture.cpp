// Cells: Worley distances (Worley 1996, "A cellular texture basis function")
// read three ways: one minus the nearest distance gives domed cobbles, F2 - F1
// ridges between cells, and the distance to the border grooves along it.
#include "textures/procedural/CellsTexture.h"

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& CellsTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Cells per tile", 3, 64, 6, "How many cells span the tile"),
        FloatParameter("randomness", "Randomness", 0.0f, 1.0f, 1.0f, "0 is a regular grid, 1 is cells anywhere", 0.01f),
        ChoiceParameter("feature", "Look", {"Cobbles", "Crackle", "Grooves"}, 0,
                        "Rounded cells, ridges between cells, or grooves along the cell edges"),
        ChoiceParameter("metric", "Distance", {"Euclidean", "Manhattan", "Chebyshev"}, 0,
                        "How distance is measured: round, diamond or square cells"),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float CellsTexture::Sample(float u, float v) const {
    const std::int32_t n = GetWhole("cells");
    const float x = static_cast<float>(n) * u;
    const float y = static_cast<float>(n) * v;
    const float r = GetValue("randomness");
    const std::int32_t m = GetWhole("metric");
    const auto seed = static_cast<std::uint32_t>(GetWhole("seed"));

    float f = 0.0f;
    switch (GetWhole("feature")) {
        case 1:
            f = CellDistances(x, y, n, r, m, 1, seed);
            break;
        case 2:
            f = CellDistances(x, y, n, r, m, 2, seed);
            break;
        default:
            f = 1.0f - CellDistances(x, y, n, r, m, 0, seed);
            break;
    }
    return Contrast(f, GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
