// The nearest centre of a hexagonal lattice of circumradius 1 whose rows run
// along x: two rectangular sub-lattices of spacing sqrt(3) by 3, the second
// shifted by (sqrt(3)/2, 1.5). Shared by the dot, hex Truchet and wire mesh
// patterns.
#pragma once

#include <cstdint>

namespace ridgeforge::mesh::procedural {

struct HexCenter {
    float offsetX = 0.0f;  // the point less the nearest centre
    float offsetY = 0.0f;
    std::int32_t column = 0;  // rounded lattice indices within the sub-lattice
    std::int32_t row = 0;
    std::int32_t subLattice = 0;  // 0 or 1
};

inline constexpr float kSqrt3 = 1.7320508f;

// On a tie sub-lattice 0 wins.
HexCenter NearestHexCenter(float x, float y);

}  // namespace ridgeforge::mesh::procedural
