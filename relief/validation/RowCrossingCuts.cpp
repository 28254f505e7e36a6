// Copies found through the shared first-occurrence table on the corner
// indices in order; the row test on the triangle clipped to a slab, in
// doubles, with slack of 1e-5 of the coordinates' size where the float cut
// and row arithmetic err by a few parts in 1e7.
#include "relief/validation/internal/RowCrossingCuts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "mesh/FirstOccurrence.h"
#include "mesh/ParallelChunks.h"
#include "relief/validation/internal/LayerRuns.h"

namespace ridgeforge::mesh {
namespace {

constexpr double kSlack = 1e-5;

// FNV-1a over the three corner indices in order, mixed so that the table's
// slot, from the top bits, differs for the triangles of a fan.
std::uint64_t CornerHash(const std::uint32_t* c) {
    std::uint64_t h = 14695981039346656037ull;
    for (int k = 0; k < 3; ++k) h = (h ^ c[k]) * 1099511628211ull;
    h ^= h >> 31;
    h *= 0xbf58476d1ce4e5b9ull;
    return h ^ (h >> 29);
}

// The row test of one triangle at many cut heights. With its corners taken
// by height (z0 <= z1 <= z2), its section at a height runs from the long edge
// z0-z2 to the edge below or above z1, each linear in the height, so the
// v-extent of a slab of it lies at the slab's two ends and at z1 when the
// slab holds it: a height costs a few products.
class SlabRows {
public:
    SlabRows(const Vec3f corners[3], const LayerGrid& grid) {
        int order[3] = {0, 1, 2};
        std::sort(order, order + 3, [&](int a, int b) { return corners[a].z < corners[b].z; });
        for (int k = 0; k < 3; ++k) {
            z_[k] = corners[order[k]].z;
            v_[k] = corners[order[k]].y;
            scaleH_ = std::max(scaleH_, std::fabs(z_[k]));
            scaleV_ = std::max(scaleV_, std::fabs(v_[k]));
        }
        const auto slope = [&](int a, int b) { return z_[b] > z_[a] ? (v_[b] - v_[a]) / (z_[b] - z_[a]) : 0.0; };
        long_ = slope(0, 2);
        lower_ = slope(0, 1);
        upper_ = slope(1, 2);
        origin_ = grid.originV;
        perCell_ = 1.0 / grid.cell;
        lastRow_ = static_cast<double>(grid.rows) - 1.0;
        margin_ = kSlack * (scaleV_ + std::fabs(origin_) + grid.cell);
    }

    // Whether some row centre line lies within the triangle's extent in v.
    bool MayCrossAnywhere() const {
        return HoldsRowLine(std::min({v_[0], v_[1], v_[2]}), std::max({v_[0], v_[1], v_[2]}));
    }

    bool MayCross(float h) const {
        // A flat triangle has no section to bound: keep its cut.
        if (!(z_[2] > z_[0])) return true;
        // The float cut lands on the triangle at a height within a few parts
        // in 1e7 of h; the slab holds every such height.
        const double at = h;
        const double slab = kSlack * std::max(scaleH_, std::fabs(at)) + std::numeric_limits<double>::min();
        const double below = std::max(at - slab, z_[0]), above = std::min(at + slab, z_[2]);
        // A slab that misses the triangle holds no cut of it.
        if (below > above) return false;
        double low = v_[1], high = v_[1];
        if (!(below < z_[1] && z_[1] < above)) low = high = Long(below);
        for (const double end : {below, above}) {
            for (const double v : {Long(end), Short(end)}) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        return HoldsRowLine(low, high);
    }

private:
    // Whether a row centre line, at origin + (r + 0.5) x cell for r from 0
    // to rows - 1, lies within [low, high] widened by the margin, which
    // dwarfs the rounding of these products.
    bool HoldsRowLine(double low, double high) const {
        const double first = std::max((low - margin_ - origin_) * perCell_ - 0.5, 0.0);
        const double last = std::min((high + margin_ - origin_) * perCell_ - 0.5, lastRow_);
        // From 0 up, truncation takes the last whole row.
        return last >= first && static_cast<double>(static_cast<std::int64_t>(last)) >= first;
    }

    double Long(double z) const { return v_[0] + (z - z_[0]) * long_; }
    double Short(double z) const { return z < z_[1] ? v_[0] + (z - z_[0]) * lower_ : v_[1] + (z - z_[1]) * upper_; }

    double z_[3] = {}, v_[3] = {};
    double origin_ = 0.0, perCell_ = 1.0, lastRow_ = 0.0, margin_ = 0.0;
    double long_ = 0.0, lower_ = 0.0, upper_ = 0.0;
    double scaleH_ = 0.0, scaleV_ = 0.0;
};

}  // namespace

TriangleCopies FindTriangleCopies(const TriangleMesh& mesh) {
    const std::size_t n = mesh.TriangleCount();
    if (n < 2) return {};
    const std::uint32_t* idx = mesh.indices.data();
    TriangleCopies result;
    result.first = detail::FirstOccurrence(
        n, [&](std::size_t t) { return CornerHash(idx + 3 * t); },
        [&](std::size_t a, std::size_t b) {
            return idx[3 * a] == idx[3 * b] && idx[3 * a + 1] == idx[3 * b + 1] && idx[3 * a + 2] == idx[3 * b + 2];
        });
    bool any = false;
    for (std::size_t t = 0; t < n && !any; ++t) any = result.first[t] != t;
    if (!any) return {};
    result.copies.assign(n, 0);
    for (std::size_t t = 0; t < n; ++t) ++result.copies[result.first[t]];
    return result;
}

bool CutMayCrossRow(const Vec3f corners[3], float h, const LayerGrid& grid) {
    return SlabRows(corners, grid).MayCross(h);
}

LayerBuckets BucketRowCrossingCuts(const TriangleMesh& mesh, const LayerAxes& axes, const TriangleCopies& copies,
                                   const LayerGrid& grid, float lowestH, float layerHeight, std::uint64_t layers,
                                   CancelContext* cancel) {
    // Polled by work rather than by triangles: a sliver through thousands of
    // layers makes thousands of row tests.
    constexpr std::uint64_t kPollEveryTests = 4096;
    LayerRuns runs(mesh.TriangleCount(), layers);
    // Each run's (layer, triangle) pairs in triangle order, counted per layer
    // as they are found: the row tests, a slab per layer of every sliver, are
    // the cost, and are made once.
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> cuts(runs.Count());
    ForEachChunk(runs.Count(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t run = first; run < last; ++run) {
            std::uint64_t* count = runs.Row(run);
            std::uint64_t tests = kPollEveryTests;  // the run's first triangle polls
            const auto poll = [&] {
                if (++tests < kPollEveryTests) return;
                tests = 0;
                if (PollCancel(cancel)) throw Stopped{};
            };
            for (std::size_t t = runs.Begin(run); t < runs.End(run); ++t) {
                poll();
                if (copies.FirstOf(t) != t) continue;
                Vec3f c[3];
                CornersAcross(mesh, axes, t, c);
                const float lowH = std::min({c[0].z, c[1].z, c[2].z}), highH = std::max({c[0].z, c[1].z, c[2].z});
                const LayerSpan span = LayersCutting(lowH, highH, lowestH, layerHeight, layers);
                if (span.first == span.last) continue;
                // A triangle whose whole extent in v holds no row line crosses
                // none on any layer: the side of a finely divided cylinder.
                const SlabRows rows(c, grid);
                if (!rows.MayCrossAnywhere()) continue;
                for (std::uint64_t l = span.first; l < span.last; ++l) {
                    poll();
                    if (span.last - span.first > 1 && !rows.MayCross(LayerCutHeight(lowestH, layerHeight, l))) continue;
                    cuts[run].emplace_back(static_cast<std::uint32_t>(l), static_cast<std::uint32_t>(t));
                    ++count[l];
                }
            }
        }
    });
    LayerBuckets buckets = runs.Place();
    ForEachChunk(runs.Count(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t run = first; run < last; ++run) {
            std::uint64_t* next = runs.Row(run);
            for (const auto& [layer, t] : cuts[run]) buckets.triangles[next[layer]++] = t;
            std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(cuts[run]);
        }
    });
    return buckets;
}

}  // namespace ridgeforge::mesh
