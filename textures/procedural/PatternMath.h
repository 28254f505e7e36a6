// Small shared pieces of the pattern formulas: fractional part, the clamped
// smooth step and the safe split of a coordinate into cell and fraction.
#pragma once

#include <cmath>
#include <cstdint>

#include "textures/procedural/NoiseDetail.h"

namespace ridgeforge::mesh::procedural {

inline float Frac(float z) { return z - std::floor(z); }

// 0 for t <= 0, 1 for t >= 1, t^2 (3 - 2t) between (NaN gives 0).
inline float SmoothStepClamped(float t) {
    if (!(t > 0.0f)) return 0.0f;
    if (t >= 1.0f) return 1.0f;
    return t * t * (3.0f - 2.0f * t);
}

// floor(z) as a 32-bit cell index, pinned at the lattice edge for far or
// non-finite points instead of converting with undefined behaviour.
inline std::int32_t FloorIndex(float z) {
    std::int32_t cell = 0;
    float fraction = 0.0f;
    detail::SplitCell(z, cell, fraction);
    return cell;
}

// Rounds up to an even count, so that alternating rows or cells repeat.
inline std::int32_t RoundUpToEven(std::int32_t n) { return n % 2 == 0 ? n : n + 1; }

}  // namespace ridgeforge::mesh::procedural
