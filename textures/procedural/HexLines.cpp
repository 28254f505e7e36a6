#include "textures/procedural/HexLines.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

std::int32_t HexDoubleRows(std::int32_t n) {
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(static_cast<float>(n) * kSqrt3 / 3.0f)));
}

HexCenter LocateHexagon(float u, float v, std::int32_t n) {
    const float m = static_cast<float>(HexDoubleRows(n));
    return NearestHexCenter(static_cast<float>(n) * u * kSqrt3, m * v * 3.0f);
}

float LineProfile(float h0, std::int32_t profile) { return profile == 0 ? SmoothStepClamped(h0) : Clamp01(h0 / 0.3f); }

}  // namespace ridgeforge::mesh::procedural
