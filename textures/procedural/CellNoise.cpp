// Cellular functions: Worley's feature-point distances ("A Cellular Texture
// Basis Function", 1996) with the exact distance to the cell border after
// Inigo Quilez's two-pass method, flat random plateaus per cell, a blue-noise
// stipple (white lattice noise minus its local mean) and a soft cell field
// (a smooth minimum of distances).
//
// Each cell holds one hashed feature point; the point's cell coordinates wrap
// with the period, so every function tiles after `cells` cells. Neighbourhoods
// are fixed (3 x 3, or 5 x 5 for the soft field) and nothing is allocated.
#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/NoiseDetail.h"

namespace ridgeforge::mesh::procedural {

using detail::ClampRange;
using detail::SplitCell;
using detail::Wrap;

namespace {

constexpr float kFar = 3.4028235e38f;

struct Cell {
    std::int32_t ix, iy;
    float fx, fy;
};

Cell CellOf(float x, float y) {
    Cell c{};
    SplitCell(x, c.ix, c.fx);
    SplitCell(y, c.iy, c.fy);
    return c;
}

// The feature points of the (2 R + 1)^2 cells around cell (ix, iy), row by
// row from offset (-R, -R), exactly as CellPoint gives them: the wrapped
// coordinates are worked out once per row and column, and the hashes four at
// a time.
template <int R>
struct CellPointBlock {
    static constexpr int kSide = 2 * R + 1;
    static constexpr int kCount = kSide * kSide;
    float px[kCount], py[kCount];

    CellPointBlock(std::int32_t ix, std::int32_t iy, std::int32_t period, float jitter, std::uint32_t seed) {
        std::uint32_t wx[kSide], wy[kSide];
        for (int k = 0; k < kSide; ++k) {
            wx[k] = Wrap(ix, k - R, period);
            wy[k] = Wrap(iy, k - R, period);
        }
        constexpr int kPadded = (kCount + 3) / 4 * 4;
        std::uint32_t xs[kPadded] = {}, ys[kPadded] = {}, hx[kPadded], hy[kPadded];
        for (int i = 0; i < kCount; ++i) {
            xs[i] = wx[i % kSide];
            ys[i] = wy[i / kSide];
        }
        // The swapped order in the second hash keeps x and y offsets independent.
        for (int i = 0; i < kPadded; i += 4) {
            detail::LatticeHash4(xs + i, ys + i, seed, hx + i);
            detail::LatticeHash4(ys + i, xs + i, seed ^ 0x9E3779B9u, hy + i);
        }
        for (int i = 0; i < kCount; ++i) {
            px[i] = static_cast<float>(i % kSide - R) + jitter * HashToUnit(hx[i]);
            py[i] = static_cast<float>(i / kSide - R) + jitter * HashToUnit(hy[i]);
        }
    }
};

}  // namespace

void CellPoint(std::int32_t ix, std::int32_t iy, std::int32_t ox, std::int32_t oy, std::int32_t period, float jitter,
               std::uint32_t seed, float& px, float& py) {
    const std::uint32_t wx = Wrap(ix, ox, period);
    const std::uint32_t wy = Wrap(iy, oy, period);
    // The swapped order in the second hash keeps x and y offsets independent.
    px = static_cast<float>(ox) + jitter * HashToUnit(LatticeHash(wx, wy, seed));
    py = static_cast<float>(oy) + jitter * HashToUnit(LatticeHash(wy, wx, seed ^ 0x9E3779B9u));
}

float CellDistances(float x, float y, std::int32_t cells, float randomness, std::int32_t metric, std::int32_t mode,
                    std::uint32_t seed) {
    const std::int32_t n = std::max(cells, 3);
    const float j = ClampRange(randomness, 0.0f, 1.0f);
    const Cell c = CellOf(x, y);
    const float s = j * 0.5f + 0.5f;
    using Points = CellPointBlock<1>;
    const Points points(c.ix, c.iy, n, j, seed);

    if (mode == 2) {
        // Border distance is always Euclidean: find the nearest point, then
        // the nearest bisector between it and each other point.
        float mx = 0.0f, my = 0.0f, best = kFar;
        for (int i = 0; i < Points::kCount; ++i) {
            const float dx = points.px[i] - c.fx, dy = points.py[i] - c.fy;
            const float d2 = dx * dx + dy * dy;
            if (d2 < best) {
                best = d2;
                mx = dx;
                my = dy;
            }
        }
        float border = kFar;
        for (int i = 0; i < Points::kCount; ++i) {
            const float dx = points.px[i] - c.fx, dy = points.py[i] - c.fy;
            const float ex = dx - mx, ey = dy - my;
            const float e2 = ex * ex + ey * ey;
            if (e2 <= 0.0001f) continue;
            const float len = std::sqrt(e2);
            border = std::min(border, ((dx + mx) * 0.5f * ex + (dy + my) * 0.5f * ey) / len);
        }
        return Clamp01(border / s);
    }

    float f1 = kFar, f2 = kFar;
    for (int i = 0; i < Points::kCount; ++i) {
        const float dx = points.px[i] - c.fx, dy = points.py[i] - c.fy;
        float d;
        if (metric == 1) {
            d = std::fabs(dx) + std::fabs(dy);
        } else if (metric == 2) {
            d = std::max(std::fabs(dx), std::fabs(dy));
        } else {
            d = std::sqrt(dx * dx + dy * dy);
        }
        if (d < f1) {
            f2 = f1;
            f1 = d;
        } else {
            f2 = std::min(f2, d);
        }
    }
    // The largest nearest distance a point can have, so results span [0, 1].
    const float scale = metric == 1 ? 2.0f * s : (metric == 2 ? s : std::sqrt(2.0f * s * s));
    float result;
    if (mode == 1) {
        result = (f2 - f1) / scale;
    } else if (mode == 3) {
        result = f2 * f2 - f1 * f1;
    } else {
        result = f1 / scale;
    }
    return Clamp01(result);
}

float UniformNoise(float x, float y, std::int32_t cells, float spread, float softness, std::uint32_t seed) {
    const std::int32_t n = std::max(cells, 1);
    const float j = ClampRange(spread, 0.0f, 1.0f);
    const float w = ClampRange(softness, 0.0f, 1.0f);
    const Cell c = CellOf(x, y);
    float d1 = kFar, d2 = kFar, value1 = 0.0f, value2 = 0.0f;
    bool haveSecond = false;
    for (std::int32_t oy = -1; oy <= 1; ++oy) {
        for (std::int32_t ox = -1; ox <= 1; ++ox) {
            float px, py;
            CellPoint(c.ix, c.iy, ox, oy, n, j, seed, px, py);
            const float dx = px - c.fx, dy = py - c.fy;
            const float d = dx * dx + dy * dy;
            const float value = HashToUnit(LatticeHash(Wrap(c.ix, ox, n), Wrap(c.iy, oy, n), seed ^ 0x51ED270Bu));
            if (d < d1) {
                haveSecond = d1 < kFar;
                d2 = d1;
                value2 = value1;
                d1 = d;
                value1 = value;
            } else if (d < d2) {
                haveSecond = true;
                d2 = d;
                value2 = value;
            }
        }
    }
    if (w <= 0.0f || !haveSecond) return value1;
    const float t = ClampRange((std::sqrt(d2) - std::sqrt(d1)) / (w * 0.5f), 0.0f, 1.0f);
    const float k = Smoothstep(t);
    const float mid = (value1 + value2) * 0.5f;
    return mid + (value1 - mid) * k;
}

float BlueLatticeValue(std::int32_t ix, std::int32_t iy, std::int32_t period, std::uint32_t seed) {
    const std::uint32_t s = seed ^ 0x0B1E5EEDu;
    auto h = [&](std::int64_t ox, std::int64_t oy) {
        return HashToUnit(LatticeHash(Wrap(ix, ox, period), Wrap(iy, oy, period), s));
    };
    float sum = 0.0f;
    for (std::int64_t oy = -1; oy <= 1; ++oy) {
        for (std::int64_t ox = -1; ox <= 1; ++ox) sum += h(ox, oy);
    }
    const float r = (sum / 9.0f - h(0, 0)) * 1.05f + 0.5f;
    if (r < 0.0f) return -r;
    if (r > 1.0f) return 2.0f - r;
    return r;
}

float BlueNoise(float x, float y, std::int32_t cells, float softness, std::uint32_t seed) {
    const std::int32_t n = std::max(cells, 3);
    const float w = ClampRange(softness, 0.0f, 1.0f);
    const Cell c = CellOf(x, y);
    float wx, wy;
    if (w <= 0.0f) {
        wx = c.fx < 0.5f ? 0.0f : 1.0f;
        wy = c.fy < 0.5f ? 0.0f : 1.0f;
    } else {
        wx = Smoothstep(ClampRange((c.fx - 0.5f) / w + 0.5f, 0.0f, 1.0f));
        wy = Smoothstep(ClampRange((c.fy - 0.5f) / w + 0.5f, 0.0f, 1.0f));
    }
    // Neighbour indices step past the lattice edge only for absurd points;
    // the period wraps them anyway.
    const std::int32_t ix1 = c.ix == INT32_MAX ? c.ix : c.ix + 1;
    const std::int32_t iy1 = c.iy == INT32_MAX ? c.iy : c.iy + 1;
    const float v00 = BlueLatticeValue(c.ix, c.iy, n, seed);
    const float v10 = BlueLatticeValue(ix1, c.iy, n, seed);
    const float v01 = BlueLatticeValue(c.ix, iy1, n, seed);
    const float v11 = BlueLatticeValue(ix1, iy1, n, seed);
    return ((1.0f - wx) * v00 + wx * v10) * (1.0f - wy) + ((1.0f - wx) * v01 + wx * v11) * wy;
}

float SoftCellField(float x, float y, std::int32_t cells, float falloff, float randomness, std::uint32_t seed) {
    const float e = ClampRange(falloff, 0.5f, 16.0f);
    const float j = ClampRange(randomness, 0.0f, 1.0f);
    const std::int32_t n = std::max(cells, 3);
    const float radius = std::min(static_cast<float>(n) * 0.5f, 2.0f);
    const float radius2 = radius * radius;
    const Cell c = CellOf(x, y);
    const bool wholePower = e == std::floor(e) && e >= 1.0f;
    const int power = static_cast<int>(e);
    float sum = 0.0f;
    const CellPointBlock<2> points(c.ix, c.iy, n, j, seed);
    for (int i = 0; i < CellPointBlock<2>::kCount; ++i) {
        const float dx = points.px[i] - c.fx, dy = points.py[i] - c.fy;
        const float q = std::max(0.0001f, dx * dx + dy * dy);
        if (q >= radius2) continue;
        const float w = 1.0f - q / radius2;
        float qe = 1.0f;
        if (wholePower) {
            for (int k = 0; k < power; ++k) qe *= q;
        } else {
            qe = std::pow(q, e);
        }
        sum += w * w * w / qe;
    }
    if (!(sum > 0.0f)) return 0.0f;
    return std::pow(1.0f / sum, 0.5f / e);
}

}  // namespace ridgeforge::mesh::procedural
