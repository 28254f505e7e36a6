// Deterministic, seedable, tileable functions of a 2-D point that every
// procedural texture is built from: lattice hashing, value and gradient
// noise with a period, fractal sums, Worley cell distances, uniform cells,
// blue-noise stipple, a soft cell field, a brick layout, wave profiles, a
// Penrose tiling locator and a few clamps.
//
// All randomness is a hash of integer lattice coordinates and a seed (the
// final mix of Bob Jenkins' lookup3), so there are no permutation tables and
// no generator state: every function is pure, allocates nothing and may run
// on any number of render threads at once.
//
// Points are in lattice units (a texture multiplies u, v by its cell count);
// lattice coordinates are reduced modulo their period with a non-negative
// remainder, so a function with period p repeats after p units. Integer
// lattice arithmetic is 32-bit and wraps.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ridgeforge::mesh::procedural {

// Labels of every wave-profile choice; the index is the Wave kind.
extern const std::vector<std::string> WaveNames;

// A hash as a number in [0, 1).
inline float HashToUnit(std::uint32_t h) { return static_cast<float>(h) * 2.3283064e-10f; }
// (3 - 2t) t^2 for t already in [0, 1].
inline float Smoothstep(float t) { return (3.0f - 2.0f * t) * t * t; }
// 6t^5 - 15t^4 + 10t^3.
inline float QuinticFade(float t) { return ((6.0f * t - 15.0f) * t + 10.0f) * t * t * t; }
// i mod period with a non-negative remainder; 0 for a period below 1.
inline std::int32_t WrapIndex(std::int32_t i, std::int32_t period) {
    if (period < 1) return 0;
    // Most lattice points of a tile are already in range: no division.
    if (static_cast<std::uint32_t>(i) < static_cast<std::uint32_t>(period)) return i;
    std::int32_t r = i % period;
    return r < 0 ? r + period : r;
}

namespace detail {
constexpr std::uint32_t Rotl(std::uint32_t v, int k) { return (v << k) | (v >> (32 - k)); }
}  // namespace detail

// Inline: every noise sample hashes several corners, and a call per corner
// cost more than the mix itself.
inline std::uint32_t LatticeHash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    using detail::Rotl;
    std::uint32_t a = x + 0xDEADBF08u;
    std::uint32_t b = y + 0xDEADBF08u;
    std::uint32_t c = seed + 0xDEADBF08u;
    c ^= b;
    c -= Rotl(b, 14);
    a ^= c;
    a -= Rotl(c, 11);
    b ^= a;
    b -= Rotl(a, 25);
    c ^= b;
    c -= Rotl(b, 16);
    a ^= c;
    a -= Rotl(c, 4);
    b ^= a;
    b -= Rotl(a, 14);
    c ^= b;
    c -= Rotl(b, 24);
    return c;
}

// Feature point of cell (ix + ox, iy + oy) relative to the corner of cell
// (ix, iy); jitter 0 puts every point on its cell's corner.
void CellPoint(std::int32_t ix, std::int32_t iy, std::int32_t ox, std::int32_t oy, std::int32_t period, float jitter,
               std::uint32_t seed, float& px, float& py);

// Bilinear value noise in [0, 1].
float ValueNoise(float x, float y, std::int32_t periodX, std::int32_t periodY, std::uint32_t seed);
// Gradient noise, about -1..1, zero on every lattice point.
float PeriodicNoise(float x, float y, std::int32_t periodX, std::int32_t periodY, std::uint32_t seed);
// As PeriodicNoise, with the exact partial derivatives.
float PeriodicNoiseDerivatives(float x, float y, std::int32_t periodX, std::int32_t periodY, std::uint32_t seed,
                               float& ddx, float& ddy);

// The four corner gradients of one lattice cell of the gradient noise. A
// caller that samples the same cell many times (a point moved in small
// steps) can keep it instead of hashing the corners again.
struct GradientCell {
    std::int32_t ix = 0, iy = 0;   // the cell, before wrapping
    float gx[4] = {}, gy[4] = {};  // corners (0,0), (1,0), (0,1), (1,1)
};
GradientCell MakeGradientCell(std::int32_t ix, std::int32_t iy, std::int32_t periodX, std::int32_t periodY,
                              std::uint32_t seed);
namespace detail {
inline constexpr float kGradientScale = 0.6616f;
inline float Lerp2(float c00, float c10, float c01, float c11, float sx, float sy) {
    return ((1.0f - sx) * c00 + sx * c10) * (1.0f - sy) + ((1.0f - sx) * c01 + sx * c11) * sy;
}
// The corner gradients' dot products with the point's offsets from the
// corners (0,0), (1,0), (0,1), (1,1): what the value and both derivatives
// blend.
struct CornerDots {
    float n00, n10, n01, n11;
};
inline CornerDots GradientDots(const GradientCell& cell, float fx, float fy) {
    const float* gx = cell.gx;
    const float* gy = cell.gy;
    return {gx[0] * fx + gy[0] * fy, gx[1] * (fx - 1.0f) + gy[1] * fy, gx[2] * fx + gy[2] * (fy - 1.0f),
            gx[3] * (fx - 1.0f) + gy[3] * (fy - 1.0f)};
}
}  // namespace detail

// The noise and its derivatives at fraction (fx, fy) of the cell; equal to
// PeriodicNoiseDerivatives at the point. Inline, so that a caller that
// reads only the derivatives does not pay for the value.
inline float EvaluateGradientCell(const GradientCell& cell, float fx, float fy, float& ddx, float& ddy) {
    using detail::kGradientScale;
    using detail::Lerp2;
    const float* gx = cell.gx;
    const float* gy = cell.gy;
    const auto [n00, n10, n01, n11] = detail::GradientDots(cell, fx, fy);
    const float u = QuinticFade(fx), v = QuinticFade(fy);
    const float du = 30.0f * fx * fx * (fx - 1.0f) * (fx - 1.0f);
    const float dv = 30.0f * fy * fy * (fy - 1.0f) * (fy - 1.0f);
    const float value = Lerp2(n00, n10, n01, n11, u, v);
    ddx =
        (Lerp2(gx[0], gx[1], gx[2], gx[3], u, v) + du * ((1.0f - v) * (n10 - n00) + v * (n11 - n01))) * kGradientScale;
    ddy =
        (Lerp2(gy[0], gy[1], gy[2], gy[3], u, v) + dv * ((1.0f - u) * (n01 - n00) + u * (n11 - n10))) * kGradientScale;
    return value * kGradientScale;
}


// Octaves of PeriodicNoise mapped to about 0..1 (0.5 mean). Octaves 0 is one
// octave; a fractional count fades the next octave in linearly.
float FractalNoise(float x, float y, std::int32_t periodX, std::int32_t periodY, float octaves, float persistence,
                   std::uint32_t seed);
float FractalNoiseDerivatives(float x, float y, std::int32_t periodX, std::int32_t periodY, float octaves,
                              float persistence, std::uint32_t seed, float& ddx, float& ddy);

// Worley distances in [0, 1]. Metric 1 Manhattan, 2 Chebyshev, else
// Euclidean. Mode 0 nearest distance, 1 second minus nearest, 2 distance to
// the cell border, 3 second squared minus nearest squared.
float CellDistances(float x, float y, std::int32_t cells, float randomness, std::int32_t metric, std::int32_t mode,
                    std::uint32_t seed);
// Flat plateaus, one random height per cell, softened at the borders.
float UniformNoise(float x, float y, std::int32_t cells, float spread, float softness, std::uint32_t seed);
// White noise minus its local mean, reflected into [0, 1].
float BlueLatticeValue(std::int32_t ix, std::int32_t iy, std::int32_t period, std::uint32_t seed);
float BlueNoise(float x, float y, std::int32_t cells, float softness, std::uint32_t seed);
// Smooth minimum of the distances to nearby feature points, >= 0.
float SoftCellField(float x, float y, std::int32_t cells, float falloff, float randomness, std::uint32_t seed);

// (joint amount: 0 on the face, 1 in the joint; random value of the brick).
std::pair<float, float> BrickPattern(float x, float y, float brickWidth, float brickHeight, float mortar,
                                     float smoothness, float bevel, float offset, std::int32_t offsetEvery,
                                     std::int32_t rowPeriod, std::int32_t columnPeriod, std::uint32_t seed);

// Profile with period 1, 0 at whole x: kind 1 saw, 2 triangle, else sine.
float Wave(float x, std::int32_t kind);

// Clamped to [0, 1]; a value that is not finite gives 0.
float Clamp01(float v);
// Clamp01((v - 0.5) k + 0.5).
float Contrast(float v, float k);
// Clamp01(v) rounded to levels - 1 steps when levels >= 2.
float Quantize(float v, std::int32_t levels);

// Row-major 2 x 2 matrix: (m00 m01; m10 m11).
struct Matrix2 {
    float m00 = 1.0f, m01 = 0.0f;
    float m10 = 0.0f, m11 = 1.0f;
};

// Reflects the point across the line with unit normal n when it lies on the
// negative side and returns the reflection applied (identity when none); then
// turns the normal to (nx - 1, ny) normalised, ready for the next fold.
Matrix2 MirrorFold(float& px, float& py, float& nx, float& ny);

struct PenroseSample {
    bool onTile = false;
    bool acute = false;  // kind of the final Robinson triangle
    float height = 0.0f;
};

// Locates the point in a Penrose tiling made by golden-ratio subdivision of
// Robinson triangles, depth levels deep, and gives the relief height there
// (groove along the edges, pyramid and fold of the faces, in tile sizes).
PenroseSample PenroseTiling(float x, float y, std::int32_t depth, float groove, float pyramid, float fold);

}  // namespace ridgeforge::mesh::procedural
