// Small helpers shared by the noise source files only.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textures/procedural/Noise.h"

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
    const std::int64_t sum = static_cast<std::int64_t>(i) + offset;
    if (sum >= 0 && sum < period) return static_cast<std::uint32_t>(sum);  // no division
    std::int64_t r = sum % period;
    if (r < 0) r += period;
    return static_cast<std::uint32_t>(r);
}

// Clamp that sends NaN to the lower bound, so a stray NaN argument stays in range.
inline float ClampRange(float v, float lo, float hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

// LatticeHash of four corners with one seed, the four mixes side by side in
// the lanes of one vector where the processor has them. Only wrapping adds,
// subtractions, XORs and rotations, so each lane equals LatticeHash exactly.
inline void LatticeHash4(const std::uint32_t x[4], const std::uint32_t y[4], std::uint32_t seed, std::uint32_t out[4]) {
#if defined(__SSE2__)
    const auto rotl = [](__m128i v, int k) {
        return _mm_or_si128(_mm_slli_epi32(v, k), _mm_srli_epi32(v, 32 - k));
    };
    const __m128i salt = _mm_set1_epi32(static_cast<int>(0xDEADBF08u));
    __m128i a = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x)), salt);
    __m128i b = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)), salt);
    __m128i c = _mm_set1_epi32(static_cast<int>(seed + 0xDEADBF08u));
    c = _mm_xor_si128(c, b);
    c = _mm_sub_epi32(c, rotl(b, 14));
    a = _mm_xor_si128(a, c);
    a = _mm_sub_epi32(a, rotl(c, 11));
    b = _mm_xor_si128(b, a);
    b = _mm_sub_epi32(b, rotl(a, 25));
    c = _mm_xor_si128(c, b);
    c = _mm_sub_epi32(c, rotl(b, 16));
    a = _mm_xor_si128(a, c);
    a = _mm_sub_epi32(a, rotl(c, 4));
    b = _mm_xor_si128(b, a);
    b = _mm_sub_epi32(b, rotl(a, 14));
    c = _mm_xor_si128(c, b);
    c = _mm_sub_epi32(c, rotl(b, 24));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), c);
#else
    for (int k = 0; k < 4; ++k) out[k] = LatticeHash(x[k], y[k], seed);
#endif
}

}  // namespace ridgeforge::mesh::procedural::detail
