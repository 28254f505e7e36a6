// The histogram-preserving patch blend (after Heitz and Neyret 2018, with the
// triangle grid of their tiling-and-blending scheme): each output pixel lies
// in one triangle of a P x P grid; each triangle corner picks a hashed
// offset into the input, and the three wrapped samples are blended with
// weights w_k as  sum w_k (s_k - mean) / sqrt(sum w_k^2) + mean, which keeps
// the variance that a plain weighted average would shrink in the middle of
// each triangle. Corner offsets repeat with period P, so the output tiles.
#include "textures/seamless/HistogramPatchGrid.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <execution>
#include <numeric>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::seamless {

namespace {

using procedural::HashToUnit;
using procedural::LatticeHash;

std::int64_t WrapIndex(std::int64_t i, std::int64_t n) {
    // Sample positions stay within one image width of the image, so the
    // division is rarely needed.
    if (i >= 0 && i < n) return i;
    if (i >= n && i < 2 * n) return i - n;
    if (i < 0 && i >= -n) return i + n;
    std::int64_t r = i % n;
    return r < 0 ? r + n : r;
}

// Hashed sample offsets of the grid corners on one grid row, columns 0..P.
struct CornerRow {
    double u[65];
    double v[65];
};

void FillCornerRow(CornerRow& row, std::int64_t b, std::int32_t p, std::uint32_t seed) {
    const auto wb = static_cast<std::uint32_t>(WrapIndex(b, p));
    for (std::int32_t a = 0; a <= p; ++a) {
        const auto wa = static_cast<std::uint32_t>(WrapIndex(a, p));
        row.u[a] = HashToUnit(LatticeHash(wa, wb, seed));
        row.v[a] = HashToUnit(LatticeHash(wb, wa, seed ^ 0x9E3779B9u));
    }
}

struct Source {
    const float* pixels;
    std::int64_t width, height;
};

// Bilinear sample at pixel coordinates, wrapping round both edges.
float SampleWrapped(const Source& s, double sx, double sy) {
    const double fx = std::floor(sx), fy = std::floor(sy);
    const double tx = sx - fx, ty = sy - fy;
    const std::int64_t ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const std::int64_t x0 = WrapIndex(ix, s.width), x1 = WrapIndex(ix + 1, s.width);
    const std::int64_t y0 = WrapIndex(iy, s.height), y1 = WrapIndex(iy + 1, s.height);
    const float* row0 = s.pixels + y0 * s.width;
    const float* row1 = s.pixels + y1 * s.width;
    const double top = row0[x0] + (row0[x1] - row0[x0]) * tx;
    const double bottom = row1[x0] + (row1[x1] - row1[x0]) * tx;
    return static_cast<float>(top + (bottom - top) * ty);
}

// Sum of f(pixel) over an image, rows in parallel. Each row is summed on its
// own and the row sums are added in order, so the result does not depend on
// how rows were spread over threads (the mean must be the same on every run).
template <typename F>
double SumByRows(const std::vector<float>& pixels, std::size_t rowLength, const std::vector<std::int32_t>& rows, F f) {
    std::vector<double> sums(rows.size());
    std::for_each(std::execution::par, rows.begin(), rows.end(), [&](std::int32_t r) {
        const float* row = pixels.data() + static_cast<std::size_t>(r) * rowLength;
        double a = 0.0, b = 0.0;
        std::size_t x = 0;
        for (; x + 1 < rowLength; x += 2) {
            a += f(row[x]);
            b += f(row[x + 1]);
        }
        if (x < rowLength) a += f(row[x]);
        sums[static_cast<std::size_t>(r)] = a + b;
    });
    return std::accumulate(sums.begin(), sums.end(), 0.0);
}

std::vector<std::int32_t> RowIndices(std::int32_t count) {
    std::vector<std::int32_t> rows(static_cast<std::size_t>(count));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

}  // namespace

PatchGridResult HistogramPatchGrid(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                                   std::int32_t outputWidth, std::int32_t outputHeight, std::int32_t patches,
                                   std::uint32_t seed) {
    PatchGridResult result;
    if (width < 1 || height < 1 || input.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return result;
    }
    const auto start = std::chrono::steady_clock::now();

    const std::int32_t p = std::clamp(patches, 1, 64);
    const std::int32_t wo = std::max(outputWidth, 1), ho = std::max(outputHeight, 1);
    const std::vector<std::int32_t> inputRows = RowIndices(height);
    const double inputCount = static_cast<double>(input.size());
    const float mean = static_cast<float>(
        SumByRows(input, static_cast<std::size_t>(width), inputRows, [](float value) { return double{value}; }) /
        inputCount);
    auto squaredDeviation = [m = double{mean}](float value) { return (value - m) * (value - m); };

    std::vector<float> output(static_cast<std::size_t>(wo) * static_cast<std::size_t>(ho));
    const std::vector<std::int32_t> rows = RowIndices(ho);
    const Source source{input.data(), width, height};
    const double pd = p;

    std::for_each(std::execution::par, rows.begin(), rows.end(), [&](std::int32_t r) {
        const double v = (r + 0.5) / ho;
        const double y = pd * v;
        const double j = std::floor(y);
        const double fv = y - j;
        // Corner offsets depend only on the grid corner, so each row works
        // them out once for its two grid rows instead of per pixel.
        CornerRow lower, upper;
        FillCornerRow(lower, static_cast<std::int64_t>(j), p, seed);
        FillCornerRow(upper, static_cast<std::int64_t>(j) + 1, p, seed);
        float* out = output.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(wo);
        for (std::int32_t c = 0; c < wo; ++c) {
            const double u = (c + 0.5) / wo;
            const double x = pd * u;
            const double i = std::floor(x);
            const double fu = x - i;
            // u < 1, so the cell column i is below P and i + 1 at most P.
            const auto ii = std::min(static_cast<std::size_t>(i), static_cast<std::size_t>(p - 1));

            const CornerRow* rowOf[3];
            std::size_t column[3];
            double w[3];
            if (1.0 - fu - fv > 0.0) {
                rowOf[0] = &lower;
                column[0] = ii;
                w[0] = 1.0 - fu - fv;
                rowOf[1] = &lower;
                column[1] = ii + 1;
                w[1] = fu;
                rowOf[2] = &upper;
                column[2] = ii;
                w[2] = fv;
            } else {
                rowOf[0] = &upper;
                column[0] = ii + 1;
                w[0] = fu + fv - 1.0;
                rowOf[1] = &lower;
                column[1] = ii + 1;
                w[1] = 1.0 - fv;
                rowOf[2] = &upper;
                column[2] = ii;
                w[2] = 1.0 - fu;
            }
            double sum = 0.0, weight2 = 0.0;
            for (int k = 0; k < 3; ++k) {
                const double ou = rowOf[k]->u[column[k]];
                const double ov = rowOf[k]->v[column[k]];
                const float sample = SampleWrapped(source, (ou + u) * width - 0.5, (ov + v) * height - 0.5);
                sum += w[k] * (sample - mean);
                weight2 += w[k] * w[k];
            }
            const double value = sum / std::sqrt(std::max(1e-8, weight2)) + mean;
            out[c] = procedural::Clamp01(static_cast<float>(value));
        }
    });

    result.patches = p;
    result.mean = mean;
    result.contrastBefore = static_cast<float>(
        std::sqrt(SumByRows(input, static_cast<std::size_t>(width), inputRows, squaredDeviation) / inputCount));
    result.contrastAfter = static_cast<float>(std::sqrt(
        SumByRows(output, static_cast<std::size_t>(wo), rows, squaredDeviation) / static_cast<double>(output.size())));
    result.pixels = std::move(output);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    result.milliseconds = std::chrono::duration<double, std::nano>(elapsed).count() / 1e6;
    return result;
}

}  // namespace ridgeforge::mesh::seamless
