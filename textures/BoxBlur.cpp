// The height map's blur: two rounds of a horizontal and a vertical running-sum
// box filter, which approach a Gaussian and cost the same for any radius (one
// add and one subtract per pixel and pass). Positions past the line's ends
// are folded by the map's wrap rule, so a repeating texture blurs across its
// seam the same way it is sampled.
#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>

#include "textures/HeightMap.h"
#include "textures/WrapFold.h"

namespace ridgeforge::mesh {

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
    // A radius wider than the line adds nothing a line-wide one does not, and
    // an unbounded one would overflow the window arithmetic.
    const double capped = std::min<double>(radius, static_cast<double>(n));
    const std::int64_t k = std::min<std::int64_t>(static_cast<std::int64_t>(std::round(capped)), n);
    const float scale = 1.0f / static_cast<float>(2 * k + 1);
    const WrapMode wrap = map.settings.wrap;

    std::vector<float> out(pixels.size());
    std::vector<std::int64_t> lineIndices(static_cast<std::size_t>(lines));
    std::iota(lineIndices.begin(), lineIndices.end(), std::int64_t{0});
    std::for_each(std::execution::par, lineIndices.begin(), lineIndices.end(), [&](std::int64_t line) {
        const float* in = pixels.data() + line * stride;
        float* dst = out.data() + line * stride;
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
    for (int round = 0; round < 2; ++round) {
        BoxBlurPass(*this, pixels, rx, true);
        BoxBlurPass(*this, pixels, ry, false);
    }
}

}  // namespace ridgeforge::mesh
