// Deterministic pattern helpers: the brick layout with mortar joints, the
// periodic wave profiles, and the clamps every texture ends with.
#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/NoiseDetail.h"

namespace ridgeforge::mesh::procedural {

const std::vector<std::string> WaveNames = {"Sine", "Saw", "Triangle"};

namespace {

// floor(v) as a lattice index, pinned to the 32-bit range.
std::int32_t FloorIndex(float v) {
    std::int32_t i = 0;
    float f = 0.0f;
    detail::SplitCell(v, i, f);
    return i;
}

}  // namespace

std::pair<float, float> BrickPattern(float x, float y, float brickWidth, float brickHeight, float mortar,
                                     float smoothness, float bevel, float offset, std::int32_t offsetEvery,
                                     std::int32_t rowPeriod, std::int32_t columnPeriod, std::uint32_t seed) {
    const float w = std::max(brickWidth, 1e-6f);
    const float h = std::max(brickHeight, 1e-6f);
    const std::int32_t row = FloorIndex(y / h);
    const bool shifted = detail::Wrap(row, 0, std::max(offsetEvery, 1)) == 0;
    const float xs = shifted ? x + w * offset : x;
    const std::int32_t column = FloorIndex(xs / w);
    const float lx = xs - static_cast<float>(column) * w;
    const float ly = y - static_cast<float>(row) * h;

    const float brick = HashToUnit(LatticeHash(detail::Wrap(row, 0, std::max(rowPeriod, 1)),
                                               detail::Wrap(column, 0, std::max(columnPeriod, 1)), seed));

    const float d = std::min(std::min(lx, ly), std::min(w - lx, h - ly));
    const float inner = (1.0f - detail::ClampRange(smoothness, 0.0f, 1.0f)) * mortar;
    const float outer = mortar + std::max(bevel, 0.0f);
    float joint;
    if (d >= outer) {
        joint = 0.0f;
    } else if (inner >= d || inner >= outer) {
        joint = 1.0f;
    } else {
        const float t = (d - inner) / (outer - inner);
        joint = 1.0f - Smoothstep(detail::ClampRange(t, 0.0f, 1.0f));
    }
    return {joint, brick};
}

float Wave(float x, std::int32_t kind) {
    if (kind == 1) return x - std::floor(x);
    if (kind == 2) return 2.0f * std::fabs(x - std::floor(x + 0.5f));
    return std::sin(6.2831855f * x - 1.5707964f) * 0.5f + 0.5f;
}

float Clamp01(float v) {
    if (!std::isfinite(v)) return 0.0f;
    if (v > 1.0f) return 1.0f;
    if (v < 0.0f) return 0.0f;
    return v;
}

float Contrast(float v, float k) { return Clamp01((v - 0.5f) * k + 0.5f); }

float Quantize(float v, std::int32_t levels) {
    const float c = Clamp01(v);
    if (levels < 2) return c;
    const float steps = static_cast<float>(levels - 1);
    return std::round(c * steps) / steps;
}

}  // namespace ridgeforge::mesh::procedural
