// Iterative radix-2 Cooley-Tukey transform with a bit-reversal permutation.
// The twiddle factor is advanced by multiplication within a stage rather
// than recomputed, which keeps results identical to the reference order of
// operations; the inverse divides by n.
#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>
#include <utility>
#include <vector>

#include "mesh/ParallelChunks.h"
#include "textures/NormalMap.h"

namespace ridgeforge::mesh {

void Fft(std::complex<double>* data, std::uint32_t n, bool inverse) {
    if (n < 2 || (n & (n - 1)) != 0) {
        return;
    }
    for (std::uint32_t i = 1, j = 0; i < n; ++i) {
        std::uint32_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j |= bit;
        if (i < j) {
            std::swap(data[i], data[j]);
        }
    }
    constexpr double kTwoPi = 6.283185307179586476925286766559;
    for (std::uint32_t m = 2; m <= n; m <<= 1) {
        const double theta = (inverse ? kTwoPi : -kTwoPi) / static_cast<double>(m);
        const std::complex<double> step(std::cos(theta), std::sin(theta));
        const std::uint32_t half = m / 2;
        for (std::uint32_t k = 0; k < n; k += m) {
            std::complex<double> w(1.0, 0.0);
            for (std::uint32_t t = 0; t < half; ++t) {
                const std::complex<double> u = data[k + t];
                const std::complex<double> v = w * data[k + t + half];
                data[k + t] = u + v;
                data[k + t + half] = u - v;
                w *= step;
            }
        }
    }
    if (inverse) {
        const double count = static_cast<double>(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            data[i] /= count;
        }
    }
}

void Fft2D(std::complex<double>* data, std::uint32_t n, std::uint32_t m, bool inverse) {
    // Rows and columns are independent transforms, so running them on the
    // parallel pool changes the time, never the result.
    std::vector<std::uint32_t> rows(m);
    std::iota(rows.begin(), rows.end(), 0u);
    std::for_each(std::execution::par, rows.begin(), rows.end(),
                  [&](std::uint32_t row) { Fft(data + static_cast<std::size_t>(row) * n, n, inverse); });
    // Columns are gathered a block at a time so that each row is read in
    // whole cache lines; every column is still transformed on its own.
    // Each block allocates its gather buffer, so the blocks run through
    // ForEachChunk: a failed allocation reaches the caller instead of ending
    // the process.
    constexpr std::uint32_t kBlock = 16;
    const std::size_t blocks = (n + kBlock - 1) / kBlock;
    ForEachChunk(blocks, 1, [&](std::size_t firstBlock, std::size_t endBlock) {
        for (std::size_t block = firstBlock; block < endBlock; ++block) {
            const auto first = static_cast<std::uint32_t>(block * kBlock);
            const std::uint32_t count = std::min(kBlock, n - first);
            std::vector<std::complex<double>> columns(static_cast<std::size_t>(count) * m);
            for (std::uint32_t r = 0; r < m; ++r) {
                const std::complex<double>* row = data + static_cast<std::size_t>(r) * n + first;
                for (std::uint32_t c = 0; c < count; ++c) {
                    columns[static_cast<std::size_t>(c) * m + r] = row[c];
                }
            }
            for (std::uint32_t c = 0; c < count; ++c) {
                Fft(columns.data() + static_cast<std::size_t>(c) * m, m, inverse);
            }
            for (std::uint32_t r = 0; r < m; ++r) {
                std::complex<double>* row = data + static_cast<std::size_t>(r) * n + first;
                for (std::uint32_t c = 0; c < count; ++c) {
                    row[c] = columns[static_cast<std::size_t>(c) * m + r];
                }
            }
        }
    });
}

}  // namespace ridgeforge::mesh
