// Lattice hashing and the gradient, value and fractal noises with a period.
//
// The hash is the final mix of Bob Jenkins' lookup3 (2006) on the two lattice
// coordinates and the seed: only 32-bit wrapping additions, XORs,
// subtractions and rotations, so every platform gives the same patterns.
// The gradient noise is Perlin's improved noise (2002) with its quintic fade
// and eight gradients picked by hash bits; the lattice wraps with the period,
// so each noise tiles after a whole number of cells.
#include "textures/procedural/Noise.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/NoiseDetail.h"

namespace ridgeforge::mesh::procedural {

using detail::kGradientScale;
using detail::Lerp2;
using detail::SplitCell;

namespace {

// The four lattice corners of a point with their fractions.
struct Corners {
    std::uint32_t x0, x1, y0, y1;
    float fx, fy;
};

Corners CornersOf(float x, float y, std::int32_t periodX, std::int32_t periodY) {
    const std::int32_t px = std::max(periodX, 1);
    const std::int32_t py = std::max(periodY, 1);
    Corners c{};
    std::int32_t ix = 0, iy = 0;
    SplitCell(x, ix, c.fx);
    SplitCell(y, iy, c.fy);
    // One 32-bit remainder per axis: this runs for every noise sample, and
    // the next corner wraps by comparison, not by a second division.
    c.x0 = static_cast<std::uint32_t>(WrapIndex(ix, px));
    c.x1 = c.x0 + 1 == static_cast<std::uint32_t>(px) ? 0u : c.x0 + 1;
    c.y0 = static_cast<std::uint32_t>(WrapIndex(iy, py));
    c.y1 = c.y0 + 1 == static_cast<std::uint32_t>(py) ? 0u : c.y0 + 1;
    return c;
}

// Gradient of a corner: (+-1, +-2) or (+-2, +-1), chosen by the hash bits.
void Gradient(std::uint32_t h, float& gx, float& gy) {
    const float sa = (h & 1u) ? -1.0f : 1.0f;
    const float sb = (h & 2u) ? -2.0f : 2.0f;
    if ((h & 7u) < 4u) {
        gx = sa;
        gy = sb;
    } else {
        gx = sb;
        gy = sa;
    }
}


// Octave schedule of the fractal sums.
struct Octaves {
    int count;       // whole octaves summed
    float fraction;  // share of one more octave faded in
    float persistence;
};

Octaves OctavesOf(float octaves, float persistence) {
    const float o = detail::ClampRange(octaves, 0.0f, 15.0f);
    return {static_cast<int>(o) + 1, o - std::floor(o), detail::ClampRange(persistence, 0.0f, 1.0f)};
}

std::int32_t DoublePeriod(std::int32_t period) { return period > INT32_MAX / 2 ? INT32_MAX : period * 2; }

}  // namespace

float ValueNoise(float x, float y, std::int32_t periodX, std::int32_t periodY, std::uint32_t seed) {
    const Corners c = CornersOf(x, y, periodX, periodY);
    const std::uint32_t xs[4] = {c.x0, c.x1, c.x0, c.x1};
    const std::uint32_t ys[4] = {c.y0, c.y0, c.y1, c.y1};
    std::uint32_t h[4];
    detail::LatticeHash4(xs, ys, seed, h);
    return Lerp2(HashToUnit(h[0]), HashToUnit(h[1]), HashToUnit(h[2]), HashToUnit(h[3]), Smoothstep(c.fx),
                 Smoothstep(c.fy));
}

GradientCell MakeGradientCell(std::int32_t ix, std::int32_t iy, std::int32_t periodX, std::int32_t periodY,
                              std::uint32_t seed) {
    const std::int32_t px = std::max(periodX, 1);
    const std::int32_t py = std::max(periodY, 1);
    // One 32-bit remainder per axis: this runs for every noise sample, and
    // the next corner wraps by comparison, not by a second division.
    const auto x0 = static_cast<std::uint32_t>(WrapIndex(ix, px));
    const auto y0 = static_cast<std::uint32_t>(WrapIndex(iy, py));
    const std::uint32_t x1 = x0 + 1 == static_cast<std::uint32_t>(px) ? 0u : x0 + 1;
    const std::uint32_t y1 = y0 + 1 == static_cast<std::uint32_t>(py) ? 0u : y0 + 1;
    GradientCell cell;
    cell.ix = ix;
    cell.iy = iy;
    const std::uint32_t xs[4] = {x0, x1, x0, x1};
    const std::uint32_t ys[4] = {y0, y0, y1, y1};
    std::uint32_t h[4];
    detail::LatticeHash4(xs, ys, seed, h);
    for (int k = 0; k < 4; ++k) Gradient(h[k], cell.gx[k], cell.gy[k]);
    return cell;
}

float PeriodicNoiseDerivatives(float x, float y, std::int32_t periodX, std::int32_t periodY, std::uint32_t seed,
                               float& ddx, float& ddy) {
    std::int32_t ix = 0, iy = 0;
    float fx = 0.0f, fy = 0.0f;
    SplitCell(x, ix, fx);
    SplitCell(y, iy, fy);
    return EvaluateGradientCell(MakeGradientCell(ix, iy, periodX, periodY, seed), fx, fy, ddx, ddy);
}

float PeriodicNoise(float x, float y, std::int32_t periodX, std::int32_t periodY, std::uint32_t seed) {
    std::int32_t ix = 0, iy = 0;
    float fx = 0.0f, fy = 0.0f;
    SplitCell(x, ix, fx);
    SplitCell(y, iy, fy);
    // The value alone, by the same operations as EvaluateGradientCell's, so
    // the two agree to the bit; most callers never read the derivatives.
    const auto [n00, n10, n01, n11] = detail::GradientDots(MakeGradientCell(ix, iy, periodX, periodY, seed), fx, fy);
    return Lerp2(n00, n10, n01, n11, QuinticFade(fx), QuinticFade(fy)) * kGradientScale;
}

float FractalNoiseDerivatives(float x, float y, std::int32_t periodX, std::int32_t periodY, float octaves,
                              float persistence, std::uint32_t seed, float& ddx, float& ddy) {
    const Octaves schedule = OctavesOf(octaves, persistence);
    float frequency = 1.0f, amplitude = 1.0f, sum = 0.0f, weight = 0.0f, sumX = 0.0f, sumY = 0.0f;
    std::int32_t px = std::max(periodX, 1), py = std::max(periodY, 1);
    for (int i = 0; i < schedule.count; ++i) {
        float dx = 0.0f, dy = 0.0f;
        sum += amplitude * PeriodicNoiseDerivatives(x * frequency, y * frequency, px, py, seed, dx, dy);
        sumX += amplitude * frequency * dx;
        sumY += amplitude * frequency * dy;
        weight += amplitude;
        px = DoublePeriod(px);
        py = DoublePeriod(py);
        amplitude *= schedule.persistence;
        frequency *= 2.0f;
    }
    const float base = sum * 0.5f / weight + 0.5f;
    ddx = sumX * 0.5f / weight;
    ddy = sumY * 0.5f / weight;
    if (schedule.fraction == 0.0f) return base;

    float dx = 0.0f, dy = 0.0f;
    const float extra = amplitude * PeriodicNoiseDerivatives(x * frequency, y * frequency, px, py, seed, dx, dy);
    weight += amplitude;
    const float t = schedule.fraction;
    ddx += t * ((sumX + amplitude * frequency * dx) * 0.5f / weight - ddx);
    ddy += t * ((sumY + amplitude * frequency * dy) * 0.5f / weight - ddy);
    return base + t * ((sum + extra) * 0.5f / weight + 0.5f - base);
}

float FractalNoise(float x, float y, std::int32_t periodX, std::int32_t periodY, float octaves, float persistence,
                   std::uint32_t seed) {
    const Octaves schedule = OctavesOf(octaves, persistence);
    float frequency = 1.0f, amplitude = 1.0f, sum = 0.0f, weight = 0.0f;
    std::int32_t px = std::max(periodX, 1), py = std::max(periodY, 1);
    for (int i = 0; i < schedule.count; ++i) {
        sum += amplitude * PeriodicNoise(x * frequency, y * frequency, px, py, seed);
        weight += amplitude;
        px = DoublePeriod(px);
        py = DoublePeriod(py);
        amplitude *= schedule.persistence;
        frequency *= 2.0f;
    }
    const float base = sum * 0.5f / weight + 0.5f;
    if (schedule.fraction == 0.0f) return base;
    const float extra = amplitude * PeriodicNoise(x * frequency, y * frequency, px, py, seed);
    weight += amplitude;
    return base + schedule.fraction * ((sum + extra) * 0.5f / weight + 0.5f - base);
}

}  // namespace ridgeforge::mesh::procedural
