// The fold rule shared by the blur and the sampler: a position on a line of n
// pixels, possibly outside it, brought back into 0 .. n-1 by the wrap mode.
// Positions are 64-bit so that folding never overflows for any position the
// callers let through.
#pragma once

#include <algorithm>
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

}  // namespace ridgeforge::mesh
