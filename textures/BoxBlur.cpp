// The height map's blur: two rounds of a horizontal and a vertical running-sum
// box filter, which approach a Gaussian and cost the same for any radius (one
// add and one subtract per pixel and pass). Positions past the line's ends
// are folded by the map's wrap rule, so a repeating texture blurs across its
// seam the same way it is sampled. A window wider than the line is summed as
// whole periods of the folded line plus the remainder, so it costs the same
// and gives the sum of its 2k+1 folded samples.
#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>

#include "textures/HeightMap.h"
#include "textures/WrapFold.h"

namespace ridgeforge::mesh {
namespace {

// Beyond this many pixels a larger radius changes the result by less than a
// float can show; the bound keeps the window arithmetic from overflowing.
constexpr double kLargestRadius = 1099511627776.0;  // 2^40

// One line, k > n: the window covers the line at least once. Repeat folds
// with period n and Mirror with period 2n, so the window is q whole periods
// plus r positions; Clamp counts the positions before and after the line as
// its first and last pixel.
void WideWindowLine(const float* in, float* dst, std::int64_t n, std::int64_t step, std::int64_t k, WrapMode wrap) {
    auto at = [&](std::int64_t i) { return static_cast<double>(in[FoldIndex(i, n, wrap) * step]); };
    const std::int64_t window = 2 * k + 1;
    const double scale = 1.0 / static_cast<double>(window);
    if (wrap == WrapMode::Clamp) {
        double line = 0.0;
        for (std::int64_t j = 0; j < n; ++j) line += at(j);
        for (std::int64_t i = 0; i < n; ++i) {
            const auto before = static_cast<double>(k - i);
            const auto after = static_cast<double>(i + k - (n - 1));
            dst[i * step] = static_cast<float>((before * at(0) + line + after * at(n - 1)) * scale);
        }
        return;
    }
    const std::int64_t period = wrap == WrapMode::Mirror ? 2 * n : n;
    double periodSum = 0.0;
    for (std::int64_t j = 0; j < period; ++j) periodSum += at(j);
    const std::int64_t whole = window / period;
    const std::int64_t rest = window % period;
    // The window of pixel i starts at i - k, the same place modulo the period as first + i.
    const std::int64_t first = ((-k) % period + period) % period;
    double partial = 0.0;
    for (std::int64_t j = 0; j < rest; ++j) partial += at(first + j);
    const double wholeSum = static_cast<double>(whole) * periodSum;
    for (std::int64_t i = 0; i < n; ++i) {
        dst[i * step] = static_cast<float>((wholeSum + partial) * scale);
        partial -= at(first + i);
        partial += at(first + i + rest);
    }
}

}  // namespace

void BoxBlurPass(const HeightMap& map, std::vector<float>& pixels, float radius, bool horizontal) {
    // Not-a-number and anything rounding below one pixel leave the line alone.
    if (!(radius >= 0.5f)) {
        return;
    }
    const std::int64_t width = map.width;
    const std::int64_t height = map.height;
    if (width < 1 || height < 1 || pixels.size() != static_cast<std::uint64_t>(width * height)) {
        return;
    }
    const std::int64_t n = horizontal ? width : height;
    const std::int64_t lines = horizontal ? height : width;
    const std::int64_t step = horizontal ? 1 : width;    // between samples of a line
    const std::int64_t stride = horizontal ? width : 1;  // between lines
    const auto k = static_cast<std::int64_t>(std::min(std::round(static_cast<double>(radius)), kLargestRadius));
    const float scale = 1.0f / static_cast<float>(2 * k + 1);
    const WrapMode wrap = map.settings.wrap;

    std::vector<float> out(pixels.size());
    std::vector<std::int64_t> lineIndices(static_cast<std::size_t>(lines));
    std::iota(lineIndices.begin(), lineIndices.end(), std::int64_t{0});
    std::for_each(std::execution::par, lineIndices.begin(), lineIndices.end(), [&](std::int64_t line) {
        const float* in = pixels.data() + line * stride;
        float* dst = out.data() + line * stride;
        if (k > n) {
            WideWindowLine(in, dst, n, step, k, wrap);
            return;
        }
        auto at = [&](std::int64_t i) { return in[FoldIndex(i, n, wrap) * step]; };
        float sum = 0.0f;
        for (std::int64_t j = -k; j <= k; ++j) {
            sum += at(j);
        }
        for (std::int64_t i = 0; i < n; ++i) {
            dst[i * step] = sum * scale;
            sum -= at(i - k);
            sum += at(i + k + 1);
        }
    });
    pixels.swap(out);
}

void HeightMap::ApplyBlur() {
    pixels = seamlessPixels;
    // A radius that is not a finite number means no blur rather than a blur
    // over nothing or over everything.
    auto finiteOrZero = [](float value) { return std::isfinite(value) ? value : 0.0f; };
    const float r = std::max({0.0f, finiteOrZero(minimumBlurMillimetres), finiteOrZero(settings.blurMillimetres)});
    if (width <= 0 || height <= 0 || seamlessPixels.empty() || !(r > 0.0f)) {
        return;
    }
    const float px = settings.widthMillimetres > 0.0f ? static_cast<float>(width) / settings.widthMillimetres : 0.0f;
    const float py = settings.heightMillimetres > 0.0f ? static_cast<float>(height) / settings.heightMillimetres : 0.0f;
    const float rx = r * px;
    const float ry = r * py;
    if (!(rx > 0.0f) && !(ry > 0.0f)) {
        return;
    }
    // The blur makes a list of its own; the unblurred one stays shared.
    std::vector<float> blurred = seamlessPixels.Values();
    for (int round = 0; round < 2; ++round) {
        BoxBlurPass(*this, blurred, rx, true);
        BoxBlurPass(*this, blurred, ry, false);
    }
    pixels = std::move(blurred);
}

}  // namespace ridgeforge::mesh
