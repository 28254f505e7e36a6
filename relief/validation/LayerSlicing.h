// Cutting a mesh into layers along a build axis and filling each layer's cut
// into a grid of cells: the rasteriser that the printability check and the
// sliced preview share, so that both see the same layers.
//
// A layer L is cut at lowest h + (L + 0.5137) x layer height: the odd offset
// keeps cuts off the exact heights at which generated parts place their
// vertices. Cuts become oriented segments (material on their left), the
// segments become crossings of row centre lines, and a row is filled between
// crossings by the non-zero winding rule.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/ScratchAllocator.h"
#include "mesh/TriangleMesh.h"
#include "mesh/ZeroPageAllocator.h"

namespace ridgeforge::mesh {

inline constexpr float kLayerCutOffset = 0.5137f;

// The most layers either cuts a part into: 400 m at 0.2 mm, far past any
// printer, yet little to hold per layer. A taller part, as one stray point
// far above the rest makes, is refused rather than cut.
inline constexpr std::uint64_t kMostLayers = 2'000'000;

// A count worked out in doubles, as FormatCount writes it; past what 64 bits
// hold (a float overflow even gives infinity) "more than" that bound.
std::string FormatLargeCount(double count);

struct Point2 {
    float u = 0.0f, v = 0.0f;
};

// The build axis h and the two axes across it, u = h + 1 and v = h + 2 (mod 3),
// so that u x v points up the build axis.
struct LayerAxes {
    int u = 0, v = 1, h = 2;
};
LayerAxes AxesAcross(int buildAxis);
// The model point of (u, v) at height h, for axes as AxesAcross makes them.
// Written out per build axis and inline: the print check's contour lines
// take two for every cut, and indexed stores stall there.
inline Vec3f ModelPoint(const LayerAxes& axes, float u, float v, float h) {
    switch (axes.h) {
        case 0:
            return {h, u, v};
        case 1:
            return {v, h, u};
        default:
            return {u, v, h};
    }
}

struct LayerCrossing {
    float u = 0.0f;
    std::int32_t winding = 0;
};

// The raster frame of one layer: cell (column, row) has its lower corner at
// (originU + column x cell, originV + row x cell).
struct LayerGrid {
    float cell = 1.0f;
    float originU = 0.0f, originV = 0.0f;
    std::int32_t columns = 0, rows = 0;
    std::vector<std::vector<LayerCrossing>> crossings;  // one list per row
};

// The column and row of the cell holding (u, v), clamped to the grid.
std::int32_t ClampedColumn(const LayerGrid& frame, float u);
std::int32_t ClampedRow(const LayerGrid& frame, float v);

// The segment where the plane at height h cuts the triangle (corners given as
// (u, v, h)); false when fewer than two edges cross it. The segment is turned
// so that the reference direction (the face normal across the build axis)
// lies on its right: outlines then run counter-clockwise round the material.
// Inline: the print check cuts millions of triangles a layer, each with
// both of these.
inline bool SliceTriangle(const Vec3f corners[3], float h, Point2 reference, Point2& p0, Point2& p1) {
    const bool above0 = h >= corners[0].z, above1 = h >= corners[1].z, above2 = h >= corners[2].z;
    if (above0 == above1 && above1 == above2) return false;
    // The two crossed edges are those of the corner alone on its side, taken
    // as a walk round the triangle meets them (0-1, 1-2, 2-0), each with its
    // corners in that order. Picked without a branch: which corner is alone
    // changes from one triangle to the next, and the turns were mispredicted.
    const bool firstIs12 = above0 == above1;   // corner 2 alone: 1-2, then 2-0
    const bool secondIs12 = above0 == above2;  // corner 1 alone: 0-1, then 1-2
    const auto crossing = [h](const Vec3f& a, const Vec3f& b) {
        const Vec3f& low = a.z < b.z ? a : b;
        const Vec3f& high = a.z < b.z ? b : a;
        const float t = (h - low.z) / (high.z - low.z);
        return Point2{low.x + t * (high.x - low.x), low.y + t * (high.y - low.y)};
    };
    const Point2 first = crossing(corners[firstIs12 ? 1 : 0], corners[firstIs12 ? 2 : 1]);
    const Point2 second = crossing(corners[secondIs12 ? 1 : 2], corners[secondIs12 ? 2 : 0]);
    const bool turn = (second.v - first.v) * reference.u - (second.u - first.u) * reference.v < 0.0f;
    p0 = turn ? second : first;
    p1 = turn ? first : second;
    return true;
}

// The row lines of a layer grid found by a multiplication in double in
// place of the float division AddScanlineCrossings defines them by: the
// product differs from the float quotient by at most half a unit in its last
// place (2^-25 of it), which a margin of 2^-20 of the row number covers.
// A cut of a part of slivers mostly lies between two lines, and a division
// was most of what it cost.
class RowLines {
public:
    explicit RowLines(const LayerGrid& grid)
        : originV_(grid.originV), cell_(grid.cell), inverse_(1.0 / static_cast<double>(grid.cell)), rows_(grid.rows) {}

    // The first row whose centre line lies at or above v, within [0, rows]:
    // from the product where the margin about it holds no row's boundary,
    // else from the division itself.
    [[gnu::always_inline]] std::int32_t RowAt(float v) const {
        const double x = static_cast<double>(v - originV_) * inverse_ - 0.5;
        const double margin = (std::fabs(x) + 1.0) * 0x1p-20;
        const std::int32_t below = ClampedCeiling(x - margin), above = ClampedCeiling(x + margin);
        if (below == above) return below;
        return ClampedCeiling((v - originV_) / cell_ - 0.5);
    }

protected:
    float originV_, cell_;

private:
    // ceil(x) clamped to [0, rows], a NaN to 0; by truncation, as the maths
    // library's ceiling costs a tenth of a whole cut.
    std::int32_t ClampedCeiling(double x) const {
        const double clamped = std::min(std::max(0.0, x), static_cast<double>(rows_));
        const auto whole = static_cast<std::int32_t>(clamped);
        return whole + (static_cast<double>(whole) < clamped ? 1 : 0);
    }

    double inverse_;
    std::int32_t rows_;
};

// The row lines with the lowest height at which RowAt reaches each row,
// searched for once for a grid among the floats about each line, so that
// telling whether a cut crosses a line takes two comparisons: a part of
// slivers cuts millions of triangles a layer, and nearly every cut lies
// between two lines.
class RowLineGaps : public RowLines {
public:
    explicit RowLineGaps(const LayerGrid& grid);

    // Whether a cut from v0 to v1 crosses no row centre line: both ends lie
    // in one gap between two lines. The gap is guessed by a product, a hair
    // low so that a height on a line falls in the gap below it as RowAt
    // has it, and settled by the heights; false when the guess is off (a
    // height just above a line) or a height is NaN.
    [[gnu::always_inline]] bool SameGap(float v0, float v1) const {
        constexpr float kBelowHalf = 0.5f - 0x1p-12f;
        float guess = (std::min(v0, v1) - originV_) * inverseF_ + kBelowHalf;
        guess = guess >= 0.0f ? guess : 0.0f;
        guess = guess <= lastGap_ ? guess : lastGap_;
        const auto gap = static_cast<std::size_t>(guess);
        const float from = lowestAt_[gap], to = lowestAt_[gap + 1];
        return v0 >= from && v1 >= from && v0 < to && v1 < to;
    }

private:
    float inverseF_ = 0.0f, lastGap_ = 0.0f;
    // Entry k: the lowest float v with RowAt(v) >= k; -infinity before row
    // 1, +infinity past the last.
    std::vector<float> lowestAt_;
};

// Adds the crossings of the segment with the row centre lines, each winding
// `copies` times (the cut of that many copies of one triangle); `lines` are
// the grid's own.
[[gnu::always_inline]] inline void AddScanlineCrossings(LayerGrid& grid, const RowLines& lines, Point2 p0, Point2 p1,
                                                        std::int32_t copies = 1) {
    if (p0.v == p1.v) return;
    const std::int32_t r0 = lines.RowAt(std::min(p0.v, p1.v)), r1 = lines.RowAt(std::max(p0.v, p1.v));
    if (r0 >= r1) return;
    const std::int32_t winding = p1.v > p0.v ? copies : -copies;
    const float slope = (p1.u - p0.u) / (p1.v - p0.v);
    for (std::int32_t r = r0; r < r1; ++r) {
        const float v = (static_cast<float>(r) + 0.5f) * grid.cell + grid.originV;
        grid.crossings[static_cast<std::size_t>(r)].push_back({p0.u + (v - p0.v) * slope, winding});
    }
}

inline void AddScanlineCrossings(LayerGrid& grid, Point2 p0, Point2 p1, std::int32_t copies = 1) {
    AddScanlineCrossings(grid, RowLines(grid), p0, p1, copies);
}

// Fills `raster` (columns x rows, row-major, 1 = inside) from the crossings by the non-zero rule and
// empties the crossing lists, keeping their capacity.
void FillLayerRaster(LayerGrid& grid, std::vector<std::uint8_t>& raster);

// The columns [columnBegin, columnEnd) of rows [rowBegin, rowEnd): a part of
// a raster outside which every cell is 0.
struct RasterWindow {
    std::int32_t columnBegin = 0, columnEnd = 0, rowBegin = 0, rowEnd = 0;
    bool Empty() const { return columnEnd <= columnBegin || rowEnd <= rowBegin; }
};

// The same for a raster reused from layer to layer, whose set cells all lie
// in `window`: only that window is cleared, and `window` then holds the
// cells this fill set. A raster of another size is sized and cleared whole.
// The cost follows the layer's material, not the frame: a part lying across
// the diagonal has small sections in a wide frame. The print check keeps
// its rasters in scratch storage (see ScratchAllocator).
template <typename Raster>
void FillLayerRaster(LayerGrid& grid, Raster& raster, RasterWindow& window);
extern template void FillLayerRaster(LayerGrid&, std::vector<std::uint8_t>&, RasterWindow&);
extern template void FillLayerRaster(LayerGrid&, ScratchVector<std::uint8_t>&, RasterWindow&);

// The layers [first, last) that cut a triangle spanning [low, high] above the
// part's lowest point, clamped to [0, layers].
struct LayerSpan {
    std::uint64_t first = 0, last = 0;
};
LayerSpan LayersCutting(float low, float high, float lowestH, float layerHeight, std::uint64_t layers);

// The triangles cut by each layer, in triangle order: layer L has
// offsets[L + 1] - offsets[L] of them (the offsets count every layer's
// entries one after the other), from triangles[offsets[L]], or from
// triangles[starts[L]] where layers share lists: a run of layers that no
// triangle starts or ends in holds the same triangles, and a part of
// slivers spanning every layer keeps one list for all of them rather than
// tens of millions of entries. The list is sized once from empty and
// written by the workers that fill it, not cleared first on one thread.
struct LayerBuckets {
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint32_t, ZeroPageAllocator<std::uint32_t>> triangles;
    std::vector<std::uint64_t> starts;  // per layer, or empty: each layer's own

    std::span<const std::uint32_t> Layer(std::uint64_t layer) const {
        const std::uint64_t from = starts.empty() ? offsets[layer] : starts[layer];
        return {triangles.data() + from, static_cast<std::size_t>(offsets[layer + 1] - offsets[layer])};
    }
};
// A stop asked of `cancel` throws `Stopped`.
LayerBuckets BucketTrianglesByLayer(const TriangleMesh& mesh, const LayerAxes& axes, float lowestH, float layerHeight,
                                    std::uint64_t layers, CancelContext* cancel = nullptr);

// The three corners of triangle t as (u, v, h), for axes as AxesAcross makes
// them; written out per build axis, as every cut of every layer asks.
inline void CornersAcross(const TriangleMesh& mesh, const LayerAxes& axes, std::size_t t, Vec3f corners[3]) {
    const std::uint32_t* index = &mesh.indices[3 * t];
    const Vec3f& a = mesh.vertices[index[0]].position;
    const Vec3f& b = mesh.vertices[index[1]].position;
    const Vec3f& c = mesh.vertices[index[2]].position;
    switch (axes.h) {
        case 0:
            corners[0] = {a.y, a.z, a.x};
            corners[1] = {b.y, b.z, b.x};
            corners[2] = {c.y, c.z, c.x};
            break;
        case 1:
            corners[0] = {a.z, a.x, a.y};
            corners[1] = {b.z, b.x, b.y};
            corners[2] = {c.z, c.x, c.y};
            break;
        default:
            corners[0] = a;
            corners[1] = b;
            corners[2] = c;
            break;
    }
}

}  // namespace ridgeforge::mesh
