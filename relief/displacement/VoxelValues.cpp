// The displaced signed distance of every stored voxel.
//
// Signs come from the parity of the column's crossings below the voxel, so a
// voxel needs no inside test of its own; the magnitude is the distance to the
// nearest surface point q, less the relief height interpolated at q. Only
// voxels near the surface are measured; the others keep the band value.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

#include "mesh/CancellableLoop.h"
#include "mesh/RayTests.h"
#include "relief/displacement/SparseGridBuild.h"
#include "relief/displacement/TriangleWeights.h"

namespace ridgeforge::mesh::sparse {
namespace {

struct Counters {
    std::uint64_t near = 0;
    std::uint64_t relief = 0;
    std::uint64_t farOctants = 0;
    std::uint64_t remeasured = 0;
    std::uint64_t checked = 0;
    std::uint64_t disagreeing = 0;
    std::uint64_t exactOnly = 0;
    double largest = 0.0;
};

struct Nearest {
    bool found = false;
    double distance = 0.0;
    double height = 0.0;
};

class ValueFiller {
public:
    ValueFiller(const TriangleMesh& part, const std::vector<TriangleCorners>& corners, const AabbTree& tree,
                const std::vector<float>& heights, float cutPlaneZ, SparseDistanceGrid& grid,
                const std::vector<std::uint64_t>& seeds, bool check)
        : part_(part),
          corners_(corners),
          tree_(tree),
          heights_(heights),
          cut_(cutPlaneZ),
          grid_(grid),
          seeds_(seeds),
          check_(check),
          band_(grid.bandValue),
          nearSurface_(2.0 * grid.cellSize + 0.05) {}

    void FillBrick(const StoredBricks& bricks, std::size_t brick, Counters& counters) const {
        std::int64_t at[3];
        bricks.Coordinates(grid_, brick, at);
        bool near[8];
        for (int o = 0; o < 8; ++o) near[o] = seeds_.empty() ? OctantIsNear(at, o, counters) : true;
        for (int lj = 0; lj < 8; ++lj) {
            for (int li = 0; li < 8; ++li) FillColumn(at, li, lj, brick, near, counters);
        }
    }

private:
    bool OctantIsNear(const std::int64_t at[3], int octant, Counters& counters) const {
        Vec3f centre;
        for (int a = 0; a < 3; ++a) {
            const double corner = 8.0 * static_cast<double>(at[a]) + 4.0 * ((octant >> a) & 1);
            centre[a] = static_cast<float>(grid_.origin[a] + (corner + 1.5) * grid_.cellSize);
        }
        const float reach = static_cast<float>(band_ + std::sqrt(3.0) / 2.0 * 3.0 * grid_.cellSize);
        const bool found = tree_.ClosestPoint(part_, centre, nullptr, 0, {}, reach).found;
        if (!found) ++counters.farOctants;
        return found;
    }

    Nearest OnTriangle(std::uint32_t t, const Vec3d& p) const {
        const std::size_t i = 3 * std::size_t{t};
        const TriangleCorners& corners = corners_[t];
        const Vec3d a = ToDouble(corners.at[0]);
        const Vec3d b = ToDouble(corners.at[1]);
        const Vec3d c = ToDouble(corners.at[2]);
        const Vec3d q = ClosestPointOnTriangle(p, a, b, c);
        const TriangleWeights w = ClampedTriangleWeights(q, a, b, c);
        return {
            true, Length(p - q),
            MixCorners(w, heights_[part_.indices[i]], heights_[part_.indices[i + 1]], heights_[part_.indices[i + 2]])};
    }

    // The nearest point within `within`; `known` is a triangle already
    // measured for p, whose measure would only come out the same again.
    Nearest ExactQuery(const Vec3d& p, double within, std::int64_t known = -1) const {
        const ClosestHit hit = tree_.ClosestPoint(part_, ToFloat(p), nullptr, 0, {}, static_cast<float>(within));
        if (!hit.found || hit.triangle < 0 || hit.triangle == known) return {};
        return OnTriangle(static_cast<std::uint32_t>(hit.triangle), p);
    }

    // Mode 1: the propagated nearest triangle, re-measured near the displaced surface.
    Nearest FromSeed(std::size_t v, const Vec3d& p, double sign, Counters& counters) const {
        const std::uint64_t key = seeds_[v];
        Nearest seeded;
        if (key != kNoSeed && std::bit_cast<float>(static_cast<std::uint32_t>(key >> 32)) < band_) {
            seeded = OnTriangle(static_cast<std::uint32_t>(key), p);
        }
        Nearest best = seeded;
        if (seeded.found && std::fabs(sign * seeded.distance - seeded.height) < nearSurface_) {
            ++counters.remeasured;
            const Nearest exact = ExactQuery(p, 1.0001 * seeded.distance + 0.000001, static_cast<std::uint32_t>(key));
            if (exact.found && exact.distance < seeded.distance) best = exact;
        }
        if (check_) {
            ++counters.checked;
            const Nearest exact = ExactQuery(p, band_);
            if (exact.found && !seeded.found) ++counters.exactOnly;
            if (exact.found && seeded.found) {
                const double difference = std::fabs(exact.distance - seeded.distance);
                if (difference > 0.0001) {
                    ++counters.disagreeing;
                    counters.largest = std::max(counters.largest, std::min(difference, 1000.0));
                }
            }
        }
        return best;
    }

    void FillColumn(const std::int64_t at[3], int li, int lj, std::size_t brick, const bool near[8],
                    Counters& counters) const {
        const std::int64_t i = at[0] * 8 + li;
        const std::int64_t j = at[1] * 8 + lj;
        float* values = grid_.values.data() + brick * 512 + static_cast<std::size_t>(li + 8 * lj);
        std::uint8_t* flags = grid_.reliefFlags.data() + brick * 512 + static_cast<std::size_t>(li + 8 * lj);
        if (i >= grid_.nx || j >= grid_.ny) {
            for (int lk = 0; lk < 8; ++lk) values[64 * lk] = band_;
            return;
        }
        const std::size_t column = static_cast<std::size_t>(j * grid_.nx + i);
        const float* crossing = grid_.columnCrossings.data() + grid_.columnOffsets[column];
        const float* columnEnd = grid_.columnCrossings.data() + grid_.columnOffsets[column + 1];
        std::uint64_t below = 0;
        Nearest previous;
        for (int lk = 0; lk < 8; ++lk) {
            const std::int64_t k = at[2] * 8 + lk;
            if (k >= grid_.nz) {
                values[64 * lk] = band_;
                continue;
            }
            const Vec3d p = VoxelPosition(grid_, i, j, k);
            const float z = static_cast<float>(p.z);
            while (crossing != columnEnd && *crossing < z) {
                ++crossing;
                ++below;
            }
            const double sign = (below & 1u) != 0 ? -1.0 : 1.0;
            double value = sign * band_;
            const int octant = (li >> 2) | ((lj >> 2) << 1) | ((lk >> 2) << 2);
            if (near[octant]) {
                ++counters.near;
                Nearest found;
                if (!seeds_.empty()) {
                    found = FromSeed(brick * 512 + static_cast<std::size_t>(li + 8 * lj + 64 * lk), p, sign, counters);
                } else {
                    double within = band_;
                    if (previous.found) within = std::min(within, previous.distance + 1.001 * grid_.cellSize + 0.00001);
                    found = ExactQuery(p, within);
                    previous = found;
                }
                if (found.found) {
                    value = sign * found.distance - found.height;
                    if (found.height != 0.0) {
                        flags[64 * lk] = 1;
                        ++counters.relief;
                    }
                }
            } else {
                previous = {};
            }
            if (z < cut_) value = std::max(value, static_cast<double>(cut_) - p.z);
            values[64 * lk] = static_cast<float>(value);
        }
    }

    const TriangleMesh& part_;
    const std::vector<TriangleCorners>& corners_;
    const AabbTree& tree_;
    const std::vector<float>& heights_;
    float cut_;
    SparseDistanceGrid& grid_;
    const std::vector<std::uint64_t>& seeds_;
    bool check_;
    float band_;
    double nearSurface_;
};

}  // namespace

void FillVoxelValues(const TriangleMesh& part, const std::vector<TriangleCorners>& corners, const AabbTree& tree,
                     const std::vector<float>& heights, float cutPlaneZ, SparseDistanceGrid& grid,
                     const StoredBricks& bricks, const std::vector<std::uint64_t>& seeds, bool check,
                     SparseDistanceGridStats& stats) {
    const ValueFiller filler(part, corners, tree, heights, cutPlaneZ, grid, seeds, check);
    std::atomic<std::uint64_t> near{0}, relief{0}, farOctants{0}, remeasured{0}, checked{0}, disagreeing{0},
        exactOnly{0};
    std::atomic<double> largest{0.0};
    ParallelForChunks<4>(bricks.slots.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        Counters counters;
        for (std::uint64_t b = begin; b < end; ++b) filler.FillBrick(bricks, b, counters);
        near.fetch_add(counters.near);
        relief.fetch_add(counters.relief);
        farOctants.fetch_add(counters.farOctants);
        remeasured.fetch_add(counters.remeasured);
        checked.fetch_add(counters.checked);
        disagreeing.fetch_add(counters.disagreeing);
        exactOnly.fetch_add(counters.exactOnly);
        double seen = largest.load();
        while (counters.largest > seen && !largest.compare_exchange_weak(seen, counters.largest)) {}
    });
    stats.nearVoxels = near.load();
    stats.reliefVoxels = relief.load();
    stats.farOctants = farOctants.load();
    stats.remeasuredVoxels = remeasured.load();
    stats.checkedVoxels = checked.load();
    stats.disagreeingVoxels = disagreeing.load();
    stats.exactOnlyVoxels = exactOnly.load();
    stats.largestDisagreement = largest.load();
}

}  // namespace ridgeforge::mesh::sparse
