// The hexagon grid and line profile shared by the hex Truchet and wire mesh
// patterns: n hexagons of circumradius 1 across the tile and 2m rows down it,
// m = max(1, round(n sqrt(3) / 3)), so the lattice repeats with the tile.
#pragma once

#include <cstdint>

#include "textures/procedural/NearestHexCenter.h"

namespace ridgeforge::mesh::procedural {

// Double rows of the grid for n hexagons across.
std::int32_t HexDoubleRows(std::int32_t n);

// The nearest hexagon of the tile point (u, v).
HexCenter LocateHexagon(float u, float v, std::int32_t n);

// Round (0) gives the smooth step of h0; Flat (any other) gives a flat top
// wherever h0 >= 0.3.
float LineProfile(float h0, std::int32_t profile);

}  // namespace ridgeforge::mesh::procedural
