// Nearest triangle of every stored voxel without a tree query per voxel.
//
// A first pass gives each voxel near a triangle that triangle's exact distance;
// propagation then lets a voxel try the nearest triangles of its six face
// neighbours, round after round, until nothing improves (a closest-point
// transform by front propagation, as in Mauch 2000). Keys pack the float
// distance above the triangle index, so one integer minimum keeps the nearer
// triangle, and ties go to the lower index whichever thread wins.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <limits>

#include "mesh/CancellableLoop.h"
#include "mesh/RayTests.h"
#include "relief/displacement/SparseGridBuild.h"

namespace ridgeforge::mesh::sparse {
namespace {

std::uint64_t MakeKey(double distance, std::uint32_t triangle) {
    const float d = static_cast<float>(distance);
    return (std::uint64_t{std::bit_cast<std::uint32_t>(d)} << 32) | triangle;
}

float KeyDistance(std::uint64_t key) { return std::bit_cast<float>(static_cast<std::uint32_t>(key >> 32)); }

double DistanceToTriangle(const TriangleCorners& corners, const Vec3d& p) {
    return Length(p -
                  ClosestPointOnTriangle(p, ToDouble(corners.at[0]), ToDouble(corners.at[1]), ToDouble(corners.at[2])));
}

void KeepSmaller(std::uint64_t& slot, std::uint64_t key) {
    std::atomic_ref<std::uint64_t> ref(slot);
    std::uint64_t current = ref.load(std::memory_order_relaxed);
    while (key < current && !ref.compare_exchange_weak(current, key, std::memory_order_relaxed)) {}
}

// Before propagation every stored voxel inside a triangle's box, grown by
// 1.5 cells, takes that triangle's distance as its key, and keeps the least.
// A long triangle lying across the grid has a box that holds most of the
// stored voxels, nearly all of them far nearer to other triangles; measuring
// each of them made the cost follow the longest edge. So this runs in two
// passes: first each triangle measures only the bricks within reach of it;
// then, knowing the farthest key each brick holds, it passes over every
// other brick whose voxels all lie farther from it than that (such a
// triangle cannot be the least of any of them) and measures the rest as
// before. The keys are those of one pass over every brick of every box.
struct VoxelRange {
    std::int64_t lo[3], hi[3];
};

// The voxel range of the triangle's box grown by 1.5 cells; false when it
// misses the grid.
bool GrownBox(const TriangleCorners& corners, const SparseDistanceGrid& grid, VoxelRange& box) {
    const double grow = 1.5 * grid.cellSize;
    const std::int64_t counts[3] = {grid.nx, grid.ny, grid.nz};
    const Vec3f& a = corners.at[0];
    const Vec3f& b = corners.at[1];
    const Vec3f& c = corners.at[2];
    for (int axis = 0; axis < 3; ++axis) {
        const double l = std::min({a[axis], b[axis], c[axis]}) - grow;
        const double h = std::max({a[axis], b[axis], c[axis]}) + grow;
        box.lo[axis] =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil((l - grid.origin[axis]) / grid.cellSize)));
        box.hi[axis] = std::min<std::int64_t>(
            counts[axis] - 1, static_cast<std::int64_t>(std::floor((h - grid.origin[axis]) / grid.cellSize)));
        if (box.lo[axis] > box.hi[axis]) return false;
    }
    return true;
}

// Keys the voxels of one stored brick that lie in the box.
void MeasureBrick(const SparseDistanceGrid& grid, const VoxelRange& box, const TriangleCorners& corners,
                  std::uint32_t t, std::int32_t brick, const std::int64_t at[3], std::vector<std::uint64_t>& keys) {
    const Vec3d da = ToDouble(corners.at[0]), db = ToDouble(corners.at[1]), dc = ToDouble(corners.at[2]);
    for (std::int64_t k = std::max(box.lo[2], at[2] * 8); k <= std::min(box.hi[2], at[2] * 8 + 7); ++k) {
        for (std::int64_t j = std::max(box.lo[1], at[1] * 8); j <= std::min(box.hi[1], at[1] * 8 + 7); ++j) {
            for (std::int64_t i = std::max(box.lo[0], at[0] * 8); i <= std::min(box.hi[0], at[0] * 8 + 7); ++i) {
                const Vec3d p = VoxelPosition(grid, i, j, k);
                const double d = Length(p - ClosestPointOnTriangle(p, da, db, dc));
                const std::size_t v = std::size_t(brick) * 512 + std::size_t((i & 7) + 8 * (j & 7) + 64 * (k & 7));
                KeepSmaller(keys[v], MakeKey(d, t));
            }
        }
    }
}

// The least distance any voxel of the brick can have from the triangle:
// its centre's distance less the half diagonal (and a hair for rounding).
double BrickLowerBound(const SparseDistanceGrid& grid, const std::int64_t at[3], const TriangleCorners& corners) {
    const Vec3d centre = VoxelPosition(grid, 8 * at[0], 8 * at[1], 8 * at[2]) + Vec3d{3.5, 3.5, 3.5} * grid.cellSize;
    const double toCentre = DistanceToTriangle(corners, centre);
    return toCentre - 3.5 * std::sqrt(3.0) * grid.cellSize * (1.0 + 1e-9) - 1e-9;
}

// One pass of triangle t. The first measures the bricks within `near` of
// it; the second the others, but for those whose voxels all lie farther
// than the largest distance the brick held after the first (brickFarthest).
void SeedTriangle(const SparseDistanceGrid& grid, const TriangleCorners& corners, std::uint32_t t, double near,
                  const std::vector<float>* brickFarthest, std::vector<std::uint64_t>& keys) {
    VoxelRange box;
    if (!GrownBox(corners, grid, box)) return;
    // A huge triangle's box can hold most of a fine grid: a stop is seen
    // within it, not only between chunks of triangles.
    const std::int64_t slots = ((box.hi[0] >> 3) - (box.lo[0] >> 3) + 1) * ((box.hi[1] >> 3) - (box.lo[1] >> 3) + 1);
    const bool huge = slots * ((box.hi[2] >> 3) - (box.lo[2] >> 3) + 1) > 4096;
    for (std::int64_t bk = box.lo[2] >> 3; bk <= box.hi[2] >> 3; ++bk) {
        if (huge && PollCancel()) throw Stopped{};
        for (std::int64_t bj = box.lo[1] >> 3; bj <= box.hi[1] >> 3; ++bj) {
            for (std::int64_t bi = box.lo[0] >> 3; bi <= box.hi[0] >> 3; ++bi) {
                const std::int32_t brick =
                    grid.brickTable[static_cast<std::size_t>((bk * grid.by + bj) * grid.bx + bi)];
                if (brick < 0) continue;
                const std::int64_t at[3] = {bi, bj, bk};
                const double lower = BrickLowerBound(grid, at, corners);
                const bool isNear = lower <= near;
                if (brickFarthest == nullptr ? !isNear : isNear) continue;
                if (brickFarthest != nullptr) {
                    // Keys only fall, so a triangle farther than the brick's
                    // farthest key is the least of none of its voxels (the
                    // margin outweighs the rounding to float).
                    const double farthest = (*brickFarthest)[static_cast<std::size_t>(brick)];
                    if (lower > farthest * (1.0 + 1e-6) + 1e-9) continue;
                }
                MeasureBrick(grid, box, corners, t, brick, at, keys);
            }
        }
    }
}

// The largest key distance of each stored brick; infinity while a voxel
// holds none.
std::vector<float> BrickFarthest(const std::vector<std::uint64_t>& keys) {
    std::vector<float> farthest(keys.size() / 512, 0.0f);
    ParallelForChunks<64>(farthest.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        for (std::uint64_t b = begin; b < end; ++b) {
            float most = 0.0f;
            for (std::size_t v = b * 512; v < b * 512 + 512; ++v) {
                most =
                    std::max(most, keys[v] == kNoSeed ? std::numeric_limits<float>::infinity() : KeyDistance(keys[v]));
            }
            farthest[b] = most;
        }
    });
    return farthest;
}

// The stored face neighbours of voxel v in the order -x, +x, -y, +y, -z, +z
// (-1 where absent): inside the brick by offset, across its faces through
// the brick's neighbours.
void FaceNeighbours(const std::vector<std::int32_t>& brickNeighbours, std::size_t v, std::int64_t neighbours[6]) {
    const std::size_t brick = v / 512;
    const std::int64_t local = static_cast<std::int64_t>(v % 512);
    const std::int64_t at[3] = {local & 7, (local >> 3) & 7, local >> 6};
    static constexpr std::int64_t kStride[3] = {1, 8, 64};
    for (int n = 0; n < 6; ++n) {
        const int axis = n >> 1;
        const bool up = (n & 1) != 0;
        if (up ? at[axis] < 7 : at[axis] > 0) {
            neighbours[n] = static_cast<std::int64_t>(v) + (up ? kStride[axis] : -kStride[axis]);
            continue;
        }
        const std::int32_t other = brickNeighbours[brick * 6 + static_cast<std::size_t>(n)];
        neighbours[n] = other < 0 ? -1 : std::int64_t{other} * 512 + local + (up ? -7 : 7) * kStride[axis];
    }
}

// Per stored brick its six face neighbours (-1 where absent, in the order of
// FaceNeighbours) and the lattice place of its first voxel, so that no voxel
// divides its brick's slot to find its place.
struct BrickLinks {
    std::vector<std::int32_t> neighbours;
    std::vector<std::array<std::int64_t, 3>> origin;
};

BrickLinks LinkBricks(const SparseDistanceGrid& grid, const StoredBricks& bricks) {
    const std::size_t brickCount = bricks.slots.size();
    BrickLinks links{std::vector<std::int32_t>(brickCount * 6, -1),
                     std::vector<std::array<std::int64_t, 3>>(brickCount)};
    const std::int64_t counts[3] = {grid.bx, grid.by, grid.bz};
    for (std::size_t b = 0; b < brickCount; ++b) {
        std::int64_t at[3];
        bricks.Coordinates(grid, b, at);
        for (int a = 0; a < 3; ++a) links.origin[b][a] = 8 * at[a];
        for (int n = 0; n < 6; ++n) {
            std::int64_t q[3] = {at[0], at[1], at[2]};
            q[n >> 1] += (n & 1) != 0 ? 1 : -1;
            if (q[n >> 1] < 0 || q[n >> 1] >= counts[n >> 1]) continue;
            links.neighbours[b * 6 + n] =
                grid.brickTable[static_cast<std::size_t>((q[2] * grid.by + q[1]) * grid.bx + q[0])];
        }
    }
    return links;
}

// The rounds of the propagation. A round measures, against the keys as the
// round before left them, every voxel with a face neighbour that changed in
// that round, and writes the lowered keys once all are measured: the result
// of a double-buffered sweep, without copying every key each round. Which
// voxels changed is one bit each, so the voxels next to them come from a
// few shifts per brick layer instead of six reads per voxel.
class Propagation {
public:
    Propagation(const std::vector<TriangleCorners>& corners, const SparseDistanceGrid& grid, const StoredBricks& bricks,
                std::vector<std::uint64_t>& keys)
        : grid_(grid),
          keys_(keys),
          reach_(2.0 * grid.cellSize + grid.bandValue),
          links_(LinkBricks(grid, bricks)),
          corners_(corners),
          changed_(bricks.slots.size()),
          lowered_(bricks.slots.size()) {
        ParallelForChunks<kChunk / 512>(changed_.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            for (std::uint64_t v = 512 * begin; v < 512 * end; ++v) {
                if (keys_[v] != kNoSeed) Mark(changed_, v);
            }
        });
    }

    // The number of keys lowered.
    std::uint64_t Round() {
        std::vector<std::vector<std::pair<std::uint64_t, std::uint64_t>>> lowered((keys_.size() + kChunk - 1) / kChunk);
        ParallelForChunks<kChunk / 512>(changed_.size(), [&](std::uint64_t begin, std::uint64_t end,
                                                             std::uint64_t chunk) {
            for (std::uint64_t b = begin; b < end; ++b) {
                const Mask front = Front(b);
                for (std::uint64_t z = 0; z < 8; ++z) {
                    for (std::uint64_t bits = front[z]; bits != 0; bits &= bits - 1) {
                        const std::uint64_t v = 512 * b + 64 * z + static_cast<std::uint64_t>(std::countr_zero(bits));
                        const std::uint64_t key = Improve(v);
                        if (key < keys_[v]) lowered[chunk].emplace_back(v, key);
                    }
                }
            }
        });
        // Chunks hold whole bricks, so each brick has one writer.
        std::atomic<std::uint64_t> changes{0};
        ParallelForChunks<1>(lowered.size(), [&](std::uint64_t chunk, std::uint64_t, std::uint64_t) {
            for (const auto& [v, key] : lowered[chunk]) {
                keys_[v] = key;
                Mark(lowered_, v);
            }
            changes.fetch_add(lowered[chunk].size());
        });
        changed_.swap(lowered_);
        std::fill(lowered_.begin(), lowered_.end(), Mask{});
        return changes.load();
    }

private:
    static constexpr std::uint64_t kChunk = 16384;
    static_assert(kChunk % 512 == 0);
    // Per brick one bit per voxel: word z holds layer z, bit x + 8 y.
    using Mask = std::array<std::uint64_t, 8>;
    static constexpr std::uint64_t kLowX = 0x0101010101010101ull;
    static constexpr std::uint64_t kHighX = 0x8080808080808080ull;

    static void Mark(std::vector<Mask>& masks, std::uint64_t v) {
        masks[v / 512][(v % 512) / 64] |= std::uint64_t{1} << (v % 64);
    }

    // The voxels of brick b with a face neighbour, in it or across its faces
    // (FaceNeighbours), that changed in the round before.
    Mask Front(std::uint64_t b) const {
        const Mask none{};
        const Mask* side[6];
        for (std::uint64_t n = 0; n < 6; ++n) {
            const std::int32_t other = links_.neighbours[b * 6 + n];
            side[n] = other >= 0 ? &changed_[static_cast<std::size_t>(other)] : &none;
        }
        const Mask& own = changed_[b];
        Mask front{};
        for (int z = 0; z < 8; ++z) {
            const std::uint64_t w = own[static_cast<std::size_t>(z)];
            std::uint64_t near = ((w << 1) & ~kLowX) | ((w >> 1) & ~kHighX) | (w << 8) | (w >> 8);
            near |= z > 0 ? own[static_cast<std::size_t>(z - 1)] : (*side[4])[7];
            near |= z < 7 ? own[static_cast<std::size_t>(z + 1)] : (*side[5])[0];
            near |= ((*side[0])[static_cast<std::size_t>(z)] & kHighX) >> 7;
            near |= ((*side[1])[static_cast<std::size_t>(z)] & kLowX) << 7;
            near |= (*side[2])[static_cast<std::size_t>(z)] >> 56;
            near |= (*side[3])[static_cast<std::size_t>(z)] << 56;
            front[static_cast<std::size_t>(z)] = near;
        }
        return front;
    }

    // Voxel v's key against the distinct triangles its face neighbours hold.
    std::uint64_t Improve(std::uint64_t v) const {
        std::int64_t neighbours[6];
        FaceNeighbours(links_.neighbours, v, neighbours);
        std::uint64_t best = keys_[v];
        const std::uint32_t own = best == kNoSeed ? 0xFFFFFFFFu : static_cast<std::uint32_t>(best);
        std::uint32_t tried[6];
        int triedCount = 0;
        Vec3d p;
        bool havePosition = false;
        for (const std::int64_t n : neighbours) {
            if (n < 0 || keys_[std::size_t(n)] == kNoSeed) continue;
            const std::uint64_t key = keys_[std::size_t(n)];
            const std::uint32_t t = static_cast<std::uint32_t>(key);
            if (t == own || std::find(tried, tried + triedCount, t) != tried + triedCount) continue;
            tried[triedCount++] = t;
            if (!(KeyDistance(key) <= reach_)) continue;
            if (!havePosition) {
                const std::array<std::int64_t, 3>& brick = links_.origin[v / 512];
                const std::int64_t local = static_cast<std::int64_t>(v % 512);
                p = VoxelPosition(grid_, brick[0] + (local & 7), brick[1] + ((local >> 3) & 7),
                                  brick[2] + (local >> 6));
                havePosition = true;
            }
            best = std::min(best, MakeKey(DistanceToTriangle(corners_[t], p), t));
        }
        return best;
    }

    const SparseDistanceGrid& grid_;
    std::vector<std::uint64_t>& keys_;
    double reach_;
    BrickLinks links_;
    const std::vector<TriangleCorners>& corners_;
    std::vector<Mask> changed_;  // changed in the round before
    std::vector<Mask> lowered_;  // lowered in this round
};

}  // namespace

std::vector<std::uint64_t> FindNearestTriangles(const std::vector<TriangleCorners>& corners,
                                                const SparseDistanceGrid& grid, const StoredBricks& bricks,
                                                SparseDistanceGridStats& stats) {
    using Clock = std::chrono::steady_clock;
    const auto startSeeding = Clock::now();
    std::vector<std::uint64_t> keys(grid.values.size(), kNoSeed);
    // Within reach: the band, the boxes' growth and a cell of slack.
    const double near = static_cast<double>(grid.bandValue) + 2.5 * grid.cellSize;
    const auto measureAll = [&](const std::vector<float>* brickFarthest) {
        ParallelForChunks<1024>(corners.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            for (std::uint64_t t = begin; t < end; ++t) {
                SeedTriangle(grid, corners[t], static_cast<std::uint32_t>(t), near, brickFarthest, keys);
            }
        });
    };
    measureAll(nullptr);
    const std::vector<float> brickFarthest = BrickFarthest(keys);
    measureAll(&brickFarthest);
    stats.seedingSeconds = std::chrono::duration<double>(Clock::now() - startSeeding).count();

    const auto startPropagation = Clock::now();
    const std::int32_t maxRounds = static_cast<std::int32_t>(std::ceil(grid.bandValue / grid.cellSize)) + 2;
    Propagation propagation(corners, grid, bricks, keys);
    for (std::int32_t round = 0; round < maxRounds; ++round) {
        const std::uint64_t changes = propagation.Round();
        stats.rounds = round + 1;
        if (changes == 0) break;
    }
    stats.propagationSeconds = std::chrono::duration<double>(Clock::now() - startPropagation).count();
    return keys;
}

}  // namespace ridgeforge::mesh::sparse
