// Small helpers shared by the noise source files only.
#pragma once

#include <cmath>
#include <cstdint>

namespace ridgeforge::mesh::procedural::detail {

// Integer cell and fraction of a lattice coordinate. Points far outside the
// 32-bit lattice (or not finite) are pinned to its edge rather than converted
// with undefined behaviour; textures never come near it.
inline void SplitCell(float x, std::int32_t& cell, float& fraction) {
    const float f = std::floor(x);
    if (!(f >= -2147483648.0f && f < 2147483648.0f)) {
        cell = f > 0.0f ? INT32_MAX : (f < 0.0f ? INT32_MIN : 0);
        fraction = 0.0f;
        return;
    }
    cell = static_cast<std::int32_t>(f);
    fraction = x - f;
}

// (i + offset) mod period, non-negative, without 32-bit overflow at the lattice edge.
inline std::uint32_t Wrap(std::int32_t i, std::int64_t offset, std::int32_t period) {
    if (period < 1) return 0;
    std::int64_t r = (static_cast<std::int64_t>(i) + offset) % period;
    if (r < 0) r += period;
    return static_cast<std::uint32_t>(r);
}

// Clamp that sends NaN to the lower bound, so a stray NaN argument stays in range.
inline float ClampRange(float v, float lo, float hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

}  // namespace ridgeforge::mesh::procedural::detail
