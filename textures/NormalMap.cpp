// Normal map to heights by a Poisson solve in the frequency domain: the
// divergence of the slope field is transformed, divided by the eigenvalues of
// the periodic five-point Laplacian and transformed back. Periodic boundaries
// suit textures, which tile; the mean height is undetermined and set to 0
// before the result is scaled to 0..1.
#include "textures/NormalMap.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>
#include <new>
#include <string>

#include "textures/WrapFold.h"

namespace ridgeforge::mesh {

namespace {

constexpr std::int32_t kMinGrid = 8;
constexpr std::int32_t kMaxGrid = 4096;

}  // namespace

std::int32_t NormalMapGridSize(std::int32_t size) {
    if (size <= 12) {
        return kMinGrid;
    }
    if (size < 16) {
        return 16;
    }
    if (size >= kMaxGrid) {
        return kMaxGrid;
    }
    std::int32_t p = 16;
    while (p * 2 <= size) {
        p *= 2;
    }
    return size - p > 2 * p - size ? 2 * p : p;
}

float SampleChannelWrapped(const std::vector<float>& rgb, std::int32_t width, std::int32_t height, int channel, float x,
                           float y) {
    if (width < 1 || height < 1 || channel < 0 || channel > 2 ||
        rgb.size() != static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3u ||
        !std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9f || std::fabs(y) > 1e9f) {
        return 0.0f;
    }
    return SampleBilinearFolded(x, y, width, height, WrapMode::Repeat, [&](std::int64_t px, std::int64_t py) {
        return rgb[static_cast<std::size_t>((py * width + px) * 3 + channel)];
    });
}

namespace {

NormalMapHeights Integrate(const std::vector<float>& rgb, std::int32_t width, std::int32_t height, bool greenUp) {
    NormalMapHeights result;
    if (width < 1 || height < 1 ||
        rgb.size() != static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 3u) {
        result.message = "the image has no three-channel pixels to read normals from";
        return result;
    }
    const std::int32_t n = NormalMapGridSize(width);
    const std::int32_t m = NormalMapGridSize(height);
    const float sx = static_cast<float>(width) / static_cast<float>(n);
    const float sy = static_cast<float>(height) / static_cast<float>(m);
    const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(m);

    std::vector<float> slopeX(cells), slopeY(cells);
    std::vector<std::int32_t> rows(static_cast<std::size_t>(m));
    std::iota(rows.begin(), rows.end(), 0);
    std::for_each(std::execution::par, rows.begin(), rows.end(), [&](std::int32_t j) {
        const float y = (static_cast<float>(j) + 0.5f) * sy - 0.5f;
        for (std::int32_t i = 0; i < n; ++i) {
            const float x = (static_cast<float>(i) + 0.5f) * sx - 0.5f;
            float nx = 2.0f * SampleChannelWrapped(rgb, width, height, 0, x, y) - 1.0f;
            float ny = 2.0f * SampleChannelWrapped(rgb, width, height, 1, x, y) - 1.0f;
            float nz = 2.0f * SampleChannelWrapped(rgb, width, height, 2, x, y) - 1.0f;
            const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (length > 1e-6f) {
                nx /= length, ny /= length, nz /= length;
            }
            // Normals lying flat or facing backwards would give unbounded slopes.
            const float z = std::max(0.05f, nz);
            const std::size_t k = static_cast<std::size_t>(j) * n + i;
            slopeX[k] = -nx / z;
            slopeY[k] = greenUp ? ny / z : -ny / z;
        }
    });

    std::vector<std::complex<double>> grid(cells);
    for (std::int32_t j = 0; j < m; ++j) {
        const std::int32_t up = j == 0 ? m - 1 : j - 1;
        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t left = i == 0 ? n - 1 : i - 1;
            const std::size_t k = static_cast<std::size_t>(j) * n + i;
            const float divergence = slopeX[k] - slopeX[static_cast<std::size_t>(j) * n + left] + slopeY[k] -
                                     slopeY[static_cast<std::size_t>(up) * n + i];
            grid[k] = std::complex<double>(divergence, 0.0);
        }
    }
    std::vector<float>().swap(slopeX);
    std::vector<float>().swap(slopeY);

    constexpr double kTwoPi = 6.283185307179586476925286766559;
    Fft2D(grid.data(), static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(m), false);
    for (std::int32_t ky = 0; ky < m; ++ky) {
        const double cy = 2.0 * std::cos(kTwoPi * ky / m);
        for (std::int32_t kx = 0; kx < n; ++kx) {
            std::complex<double>& value = grid[static_cast<std::size_t>(ky) * n + kx];
            if (kx == 0 && ky == 0) {
                value = 0.0;
                continue;
            }
            const double eigenvalue = cy + 2.0 * std::cos(kTwoPi * kx / n) - 4.0;
            value = std::complex<double>(value.real() / eigenvalue, value.imag() / eigenvalue);
        }
    }
    Fft2D(grid.data(), static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(m), true);

    double lo = grid[0].real(), hi = grid[0].real();
    for (const std::complex<double>& value : grid) {
        lo = std::min(lo, value.real());
        hi = std::max(hi, value.real());
    }
    result.heights.resize(cells);
    const bool flat = !(hi - lo > 1e-12);
    for (std::size_t k = 0; k < cells; ++k) {
        result.heights[k] = flat ? 0.5f : static_cast<float>((grid[k].real() - lo) / (hi - lo));
    }
    result.ok = true;
    result.width = n;
    result.height = m;
    result.message = "height integrated from the normals (" + std::to_string(width) + " x " + std::to_string(height) +
                     " -> " + std::to_string(n) + " x " + std::to_string(m) + ", green pointing " +
                     (greenUp ? "up" : "down") + "); the depth is the strength setting's, the map only says the shape";
    return result;
}

}  // namespace

NormalMapHeights IntegrateNormalMap(const std::vector<float>& rgb, std::int32_t width, std::int32_t height,
                                    bool greenUp) {
    // The working grids of a 4096 x 4096 map take about 384 MiB; without
    // that memory the conversion fails instead of ending the program.
    try {
        return Integrate(rgb, width, height, greenUp);
    } catch (const std::bad_alloc&) {
        NormalMapHeights result;
        result.message = "there is not enough memory to integrate the normals";
        return result;
    }
}

}  // namespace ridgeforge::mesh
