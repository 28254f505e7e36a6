// The fold rule shared by the blur and the samplers: a position on a line of n
// pixels, possibly outside it, brought back into 0 .. n-1 by the wrap mode;
// and the bilinear sample that reads its four pixels through that rule.
// Positions are 64-bit so that folding never overflows for any position the
// callers let through.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "textures/TextureSettings.h"

namespace ridgeforge::mesh {

inline std::int64_t FoldIndex(std::int64_t i, std::int64_t n, WrapMode wrap) {
    // Most positions already lie on the line; skip the divisions for them.
    if (static_cast<std::uint64_t>(i) < static_cast<std::uint64_t>(n)) {
        return i;
    }
    switch (wrap) {
        case WrapMode::Mirror: {
            std::int64_t m = i % (2 * n);
            if (m < 0) {
                m += 2 * n;
            }
            // Edges repeat their own pixel: -1 maps to 0 and n to n - 1.
            return m >= n ? 2 * n - m - 1 : m;
        }
        case WrapMode::Clamp:
            return std::clamp<std::int64_t>(i, 0, n - 1);
        case WrapMode::Repeat:
        default: {
            const std::int64_t r = i % n;
            return r < 0 ? r + n : r;
        }
    }
}

// Bilinear sample at pixel position (x, y) of a width x height grid, integer
// positions falling exactly on pixels: pixel(column, row) gives a pixel's
// value, its neighbours folded into the grid by the wrap mode. The caller
// checks that x and y are finite and far below 2^63 and the grid not empty.
template <class Pixel>
float SampleBilinearFolded(float x, float y, std::int64_t width, std::int64_t height, WrapMode wrap,
                           const Pixel& pixel) {
    const float fx0 = std::floor(x);
    const float fy0 = std::floor(y);
    const float fx = x - fx0;
    const float fy = y - fy0;
    const auto x0 = static_cast<std::int64_t>(fx0);
    const auto y0 = static_cast<std::int64_t>(fy0);
    const std::int64_t ax = FoldIndex(x0, width, wrap);
    const std::int64_t bx = FoldIndex(x0 + 1, width, wrap);
    const std::int64_t ay = FoldIndex(y0, height, wrap);
    const std::int64_t by = FoldIndex(y0 + 1, height, wrap);
    const float a = pixel(ax, ay);
    const float b = pixel(bx, ay);
    const float c = pixel(ax, by);
    const float d = pixel(bx, by);
    const float top = a + (b - a) * fx;
    const float bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
}

}  // namespace ridgeforge::mesh
