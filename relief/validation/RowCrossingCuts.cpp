// Copies found through an open-addressed table on the corner indices; the
// row test on the triangle clipped to a slab, in doubles, with slack of
// 1e-5 of the coordinates' size where the float cut and row arithmetic err
// by a few parts in 1e7.
#include "relief/validation/internal/RowCrossingCuts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ridgeforge::mesh {
namespace {

constexpr double kSlack = 1e-5;

// Whether some row centre line of the grid lies within [low, high] widened
// by the slack for coordinates of size `scale`.
bool SpanHoldsRowLine(double low, double high, double scale, const LayerGrid& grid) {
    if (grid.rows <= 0) return false;
    const double cell = grid.cell, origin = grid.originV;
    const double margin = kSlack * (scale + std::fabs(origin) + cell);
    // Row r's line lies at origin + (r + 0.5) x cell.
    const double first = std::ceil((low - margin - origin) / cell - 0.5);
    const double last = std::floor((high + margin - origin) / cell - 0.5);
    return std::max(first, 0.0) <= std::min(last, static_cast<double>(grid.rows - 1));
}

std::uint64_t CornerHash(const std::uint32_t* c) {
    std::uint64_t h = 14695981039346656037ull;
    for (int k = 0; k < 3; ++k) {
        h ^= c[k];
        h *= 1099511628211ull;
    }
    return h ^ (h >> 29);
}

}  // namespace

TriangleCopies FindTriangleCopies(const TriangleMesh& mesh) {
    const std::size_t n = mesh.TriangleCount();
    TriangleCopies result;
    if (n < 2) return result;
    std::size_t size = 2;
    while (size < 2 * n) size *= 2;
    constexpr std::uint32_t kFree = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> table(size, kFree);
    result.first.resize(n);
    result.copies.assign(n, 0);
    bool any = false;
    const std::uint32_t* idx = mesh.indices.data();
    for (std::size_t t = 0; t < n; ++t) {
        const std::uint32_t* c = idx + 3 * t;
        std::size_t s = static_cast<std::size_t>(CornerHash(c)) & (size - 1);
        for (;; s = (s + 1) & (size - 1)) {
            const std::uint32_t held = table[s];
            if (held == kFree) {
                table[s] = static_cast<std::uint32_t>(t);
                result.first[t] = static_cast<std::uint32_t>(t);
                result.copies[t] = 1;
                break;
            }
            const std::uint32_t* h = idx + 3 * std::size_t{held};
            if (h[0] == c[0] && h[1] == c[1] && h[2] == c[2]) {
                result.first[t] = held;
                ++result.copies[held];
                any = true;
                break;
            }
        }
    }
    if (!any) return TriangleCopies{};
    return result;
}

bool CutMayCrossRow(const Vec3f corners[3], float h, const LayerGrid& grid) {
    double scaleH = std::fabs(static_cast<double>(h)), scaleV = 0.0;
    for (int k = 0; k < 3; ++k) {
        scaleH = std::max(scaleH, std::fabs(static_cast<double>(corners[k].z)));
        scaleV = std::max(scaleV, std::fabs(static_cast<double>(corners[k].y)));
    }
    // The float cut lands on the triangle at a height within a few parts in
    // 1e7 of h; the slab holds every such height.
    const double slab = kSlack * scaleH + std::numeric_limits<double>::min();
    const double below = static_cast<double>(h) - slab, above = static_cast<double>(h) + slab;
    double low = std::numeric_limits<double>::infinity(), high = -low;
    const auto take = [&](double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    };
    for (int k = 0; k < 3; ++k) {
        const Vec3f& a = corners[k];
        const Vec3f& b = corners[(k + 1) % 3];
        const double az = a.z, bz = b.z;
        if (az >= below && az <= above) take(a.y);
        if (az == bz) continue;
        for (const double at : {below, above}) {
            if ((at > az) != (at > bz)) take(a.y + (at - az) / (bz - az) * (static_cast<double>(b.y) - a.y));
        }
    }
    // A slab that misses the triangle holds no cut of it.
    return low <= high && SpanHoldsRowLine(low, high, scaleV, grid);
}

LayerBuckets BucketRowCrossingCuts(const TriangleMesh& mesh, const LayerAxes& axes, const TriangleCopies& copies,
                                   const LayerGrid& grid, float lowestH, float layerHeight, std::uint64_t layers) {
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cuts;  // (layer, triangle) in triangle order
    LayerBuckets buckets;
    buckets.offsets.assign(layers + 1, 0);
    for (std::size_t t = 0; t < triangles; ++t) {
        if (copies.FirstOf(t) != t) continue;
        Vec3f c[3];
        CornersAcross(mesh, axes, t, c);
        const float lowH = std::min({c[0].z, c[1].z, c[2].z}), highH = std::max({c[0].z, c[1].z, c[2].z});
        const LayerSpan span = LayersCutting(lowH, highH, lowestH, layerHeight, layers);
        if (span.first == span.last) continue;
        // A triangle whose whole extent in v holds no row line crosses none
        // on any layer: the side of a finely divided cylinder.
        const float lowV = std::min({c[0].y, c[1].y, c[2].y}), highV = std::max({c[0].y, c[1].y, c[2].y});
        if (!SpanHoldsRowLine(lowV, highV, std::max(std::fabs(lowV), std::fabs(highV)), grid)) continue;
        for (std::uint64_t l = span.first; l < span.last; ++l) {
            if (span.last - span.first > 1 && !CutMayCrossRow(c, LayerCutHeight(lowestH, layerHeight, l), grid)) {
                continue;
            }
            cuts.emplace_back(static_cast<std::uint32_t>(l), static_cast<std::uint32_t>(t));
            ++buckets.offsets[l + 1];
        }
    }
    for (std::uint64_t l = 0; l < layers; ++l) buckets.offsets[l + 1] += buckets.offsets[l];
    buckets.triangles.resize(cuts.size());
    std::vector<std::uint64_t> next(buckets.offsets.begin(), buckets.offsets.end() - 1);
    for (const auto& [layer, t] : cuts) buckets.triangles[next[layer]++] = t;
    return buckets;
}

}  // namespace ridgeforge::mesh
