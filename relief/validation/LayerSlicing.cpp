#include "relief/validation/LayerSlicing.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "text/Format.h"

namespace ridgeforge::mesh {

LayerAxes AxesAcross(int buildAxis) {
    const int h = std::clamp(buildAxis, 0, 2);
    return {(h + 1) % 3, (h + 2) % 3, h};
}

namespace {

// Floats in their order as whole numbers (the sign and magnitude bits turned
// into two's complement), and back: the floats between two heights are
// then a range of numbers that a search can halve.
std::int64_t OrderedFloat(float f) {
    const auto bits = std::bit_cast<std::int32_t>(f);
    return bits >= 0 ? bits : std::int64_t{std::numeric_limits<std::int32_t>::min()} - bits;
}

float FloatOrdered(std::int64_t ordered) {
    const std::int64_t bits = ordered >= 0 ? ordered : std::int64_t{std::numeric_limits<std::int32_t>::min()} - ordered;
    return std::bit_cast<float>(static_cast<std::int32_t>(bits));
}

}  // namespace

// Each row's height is searched for from where the row's line should lie,
// in steps of floats that double till they pass it and then halve: it lies
// a few floats away, but near zero floats are so fine that it is many. The
// search stays between -infinity (row 0) and +infinity (the last row).
RowLineGaps::RowLineGaps(const LayerGrid& grid)
    : RowLines(grid),
      inverseF_(1.0f / grid.cell),
      lastGap_(static_cast<float>(std::max(grid.rows, 0))),
      lowestAt_(static_cast<std::size_t>(std::max(grid.rows, 0)) + 2) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const std::int64_t least = OrderedFloat(-kInfinity), most = OrderedFloat(kInfinity);
    lowestAt_.front() = -kInfinity;
    lowestAt_.back() = kInfinity;
    for (std::int32_t k = 1; k <= std::max(grid.rows, 0); ++k) {
        const auto reaches = [&](std::int64_t v) { return RowAt(FloatOrdered(v)) >= k; };
        // low never reaches the row, high does.
        std::int64_t low = OrderedFloat(originV_ + (static_cast<float>(k) - 0.5f) * cell_), high = low;
        if (reaches(high)) {
            low = std::max(least, high - 1);
            for (std::int64_t step = 2; reaches(low); step *= 2) {
                high = low;
                low = std::max(least, high - step);
            }
        } else {
            high = std::min(most, low + 1);
            for (std::int64_t step = 2; !reaches(high); step *= 2) {
                low = high;
                high = std::min(most, low + step);
            }
        }
        while (high - low > 1) {
            const std::int64_t middle = low + (high - low) / 2;
            (reaches(middle) ? high : low) = middle;
        }
        lowestAt_[static_cast<std::size_t>(k)] = FloatOrdered(high);
    }
}

std::int32_t ClampedColumn(const LayerGrid& frame, float u) {
    const double c = std::floor((u - frame.originU) / frame.cell);
    return static_cast<std::int32_t>(std::clamp(c, 0.0, static_cast<double>(frame.columns - 1)));
}

std::int32_t ClampedRow(const LayerGrid& frame, float v) {
    const double r = std::floor((v - frame.originV) / frame.cell);
    return static_cast<std::int32_t>(std::clamp(r, 0.0, static_cast<double>(frame.rows - 1)));
}

void FillLayerRaster(LayerGrid& grid, std::vector<std::uint8_t>& raster) {
    RasterWindow window;
    raster.clear();
    FillLayerRaster(grid, raster, window);
}

template <typename Raster>
void FillLayerRaster(LayerGrid& grid, Raster& raster, RasterWindow& window) {
    const std::size_t columns = static_cast<std::size_t>(std::max(0, grid.columns));
    const std::size_t size = columns * static_cast<std::size_t>(std::max(0, grid.rows));
    if (raster.size() != size) {
        raster.assign(size, 0);
    } else if (!window.Empty()) {
        for (std::int32_t r = window.rowBegin; r < window.rowEnd; ++r) {
            std::uint8_t* cells = raster.data() + static_cast<std::size_t>(r) * columns;
            std::fill(cells + window.columnBegin, cells + window.columnEnd, std::uint8_t{0});
        }
    }
    window = RasterWindow{static_cast<std::int32_t>(columns), 0, std::max(0, grid.rows), 0};
    const auto columnAt = [&](float u) {
        const double c = std::ceil((u - grid.originU) / grid.cell - 0.5);
        return static_cast<std::size_t>(std::clamp(c, 0.0, static_cast<double>(columns)));
    };
    for (std::size_t r = 0; r < grid.crossings.size(); ++r) {
        std::vector<LayerCrossing>& row = grid.crossings[r];
        if (row.empty()) continue;
        std::sort(row.begin(), row.end(), [](const LayerCrossing& a, const LayerCrossing& b) { return a.u < b.u; });
        std::int32_t winding = 0;
        std::uint8_t* cells = raster.data() + r * columns;
        for (std::size_t k = 0; k + 1 < row.size(); ++k) {
            winding += row[k].winding;
            if (winding == 0) continue;
            const std::size_t c0 = columnAt(row[k].u), c1 = columnAt(row[k + 1].u);
            if (c1 <= c0) continue;
            std::fill(cells + c0, cells + c1, std::uint8_t{1});
            const auto ri = static_cast<std::int32_t>(r);
            window.columnBegin = std::min(window.columnBegin, static_cast<std::int32_t>(c0));
            window.columnEnd = std::max(window.columnEnd, static_cast<std::int32_t>(c1));
            window.rowBegin = std::min(window.rowBegin, ri);
            window.rowEnd = std::max(window.rowEnd, ri + 1);
        }
        row.clear();
    }
    if (window.Empty()) window = RasterWindow{};
}
template void FillLayerRaster(LayerGrid&, std::vector<std::uint8_t>&, RasterWindow&);
template void FillLayerRaster(LayerGrid&, ScratchVector<std::uint8_t>&, RasterWindow&);

LayerSpan LayersCutting(float low, float high, float lowestH, float layerHeight, std::uint64_t layers) {
    const auto layerAt = [&](float h) {
        const double l = std::ceil(static_cast<double>((h - lowestH) / layerHeight - kLayerCutOffset));
        return static_cast<std::uint64_t>(std::clamp(l, 0.0, static_cast<double>(layers)));
    };
    return {layerAt(low), layerAt(high)};
}

LayerBuckets BucketTrianglesByLayer(const TriangleMesh& mesh, const LayerAxes& axes, float lowestH, float layerHeight,
                                    std::uint64_t layers, CancelContext* cancel) {
    LayerBuckets buckets;
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<LayerSpan> spans(triangles);
    buckets.offsets.assign(layers + 1, 0);
    // A triangle counts once per layer it spans: the passes poll every few
    // triangles, since a few tall ones can be most of the work.
    constexpr std::size_t kPollEvery = 1024;
    for (std::size_t t = 0; t < triangles; ++t) {
        if (t % kPollEvery == 0) ThrowIfStopped(cancel);
        Vec3f c[3];
        CornersAcross(mesh, axes, t, c);
        const float low = std::min({c[0].z, c[1].z, c[2].z}), high = std::max({c[0].z, c[1].z, c[2].z});
        spans[t] = LayersCutting(low, high, lowestH, layerHeight, layers);
        for (std::uint64_t l = spans[t].first; l < spans[t].last; ++l) ++buckets.offsets[l + 1];
    }
    for (std::uint64_t l = 0; l < layers; ++l) buckets.offsets[l + 1] += buckets.offsets[l];
    buckets.triangles.resize(buckets.offsets[layers]);
    std::vector<std::uint64_t> next(buckets.offsets.begin(), buckets.offsets.end() - 1);
    for (std::size_t t = 0; t < triangles; ++t) {
        if (t % kPollEvery == 0) ThrowIfStopped(cancel);
        for (std::uint64_t l = spans[t].first; l < spans[t].last; ++l) {
            buckets.triangles[next[l]++] = static_cast<std::uint32_t>(t);
        }
    }
    return buckets;
}

std::string FormatLargeCount(double count) {
    constexpr std::uint64_t kBound = 18'000'000'000'000'000'000ull;
    if (!(count < static_cast<double>(kBound))) return "more than " + FormatCount(kBound);
    return FormatCount(count > 0.0 ? static_cast<std::uint64_t>(count) : 0);
}

}  // namespace ridgeforge::mesh
