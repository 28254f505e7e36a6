// Build of the sparse field: size and placement, column crossings, and the
// choice of the bricks to store. Voxel values are filled in VoxelValues.cpp,
// nearest triangles found in NearestTriangles.cpp.
#include "relief/displacement/SparseDistanceGrid.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

#include "mesh/CancellableLoop.h"
#include "relief/displacement/SparseGridBuild.h"
#include "platform/Memory.h"

namespace ridgeforge::mesh {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Bytes a stored brick costs (512 floats and 512 flag bytes).
constexpr double kBrickBytes = 2560.0;

// Second memory gate, once the bricks to store are known: the bricks and, in
// mode 1, the double-buffered nearest-triangle keys of their voxels.
bool StoredBricksFit(std::uint64_t bricks, std::int32_t mode) {
    double bytes = static_cast<double>(bricks) * kBrickBytes;
    if (mode == 1) bytes += static_cast<double>(bricks) * 512.0 * 8.0 * 2.0;
    if (bytes > kSparseGridByteLimit) return false;
    const std::uint64_t installed = platform::PhysicalMemoryBytes();
    return installed == 0 || bytes <= static_cast<double>(installed);
}

using ColumnHit = std::pair<std::uint32_t, float>;

// Crossings of the vertical lines through the voxel columns with one triangle.
void CrossTriangle(const TriangleMesh& part, std::size_t t, const SparseDistanceGrid& grid,
                   std::vector<ColumnHit>& out) {
    const Vec3d p[3] = {ToDouble(part.vertices[part.indices[3 * t]].position),
                        ToDouble(part.vertices[part.indices[3 * t + 1]].position),
                        ToDouble(part.vertices[part.indices[3 * t + 2]].position)};
    const double area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
    if (area == 0.0 || std::isnan(area)) return;
    const double sign = area > 0.0 ? 1.0 : -1.0;
    const double cell = grid.cellSize;
    const auto range = [&](int axis, std::int64_t count, std::int64_t& first, std::int64_t& last) {
        const double lo = std::min({p[0][axis], p[1][axis], p[2][axis]});
        const double hi = std::max({p[0][axis], p[1][axis], p[2][axis]});
        first = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil((lo - grid.origin[axis]) / cell)));
        last =
            std::min<std::int64_t>(count - 1, static_cast<std::int64_t>(std::floor((hi - grid.origin[axis]) / cell)));
    };
    std::int64_t i0, i1, j0, j1;
    range(0, grid.nx, i0, i1);
    range(1, grid.ny, j0, j1);
    const double absArea = area * sign;
    // A huge triangle over a fine grid crosses many columns: a stop is seen
    // within it, not only between chunks of triangles.
    const bool huge = j1 - j0 > 64;
    for (std::int64_t j = j0; j <= j1; ++j) {
        if (huge && PollCancel()) throw Stopped{};
        const double y = grid.origin[1] + static_cast<double>(j) * cell;
        // Only the columns near where the line y meets the triangle: a long
        // triangle lying across x and y would otherwise test every column of
        // its box. One column of slack each side keeps every column the edge
        // test below accepts.
        double xLow = std::numeric_limits<double>::max(), xHigh = -xLow;
        for (int e = 0; e < 3; ++e) {
            const Vec3d& a = p[e];
            const Vec3d& b = p[(e + 1) % 3];
            if ((a.y < y && b.y < y) || (a.y > y && b.y > y)) continue;
            const double x = a.y == b.y ? a.x : a.x + (b.x - a.x) * ((y - a.y) / (b.y - a.y));
            xLow = std::min({xLow, x, a.y == b.y ? b.x : x});
            xHigh = std::max({xHigh, x, a.y == b.y ? b.x : x});
        }
        if (xLow > xHigh) continue;
        const std::int64_t iFirst = std::max(
            i0, static_cast<std::int64_t>(std::max(std::floor((xLow - grid.origin[0]) / cell) - 1.0, static_cast<double>(i0))));
        const std::int64_t iLast = std::min(
            i1, static_cast<std::int64_t>(std::min(std::ceil((xHigh - grid.origin[0]) / cell) + 1.0, static_cast<double>(i1))));
        for (std::int64_t i = iFirst; i <= iLast; ++i) {
            const double x = grid.origin[0] + static_cast<double>(i) * cell;
            // Edge function opposite each corner, positive inside.
            double w[3];
            for (int e = 0; e < 3; ++e) {
                const Vec3d& a = p[(e + 1) % 3];
                const Vec3d& b = p[(e + 2) % 3];
                w[e] = sign * ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x));
            }
            if (w[0] < 0.0 || w[1] < 0.0 || w[2] < 0.0) continue;
            const double z = (w[0] * p[0].z + w[1] * p[1].z + w[2] * p[2].z) / absArea;
            out.emplace_back(static_cast<std::uint32_t>(j * grid.nx + i), static_cast<float>(z));
        }
    }
}

// Step 4: every column's crossings, sorted. False when their number would not
// fit the 32-bit column offsets.
bool BuildColumns(const TriangleMesh& part, SparseDistanceGrid& grid, SparseDistanceGridStats& stats) {
    const std::uint64_t triangles = part.indices.size() / 3;
    constexpr std::uint64_t kTriangleChunk = 4096;
    std::vector<std::vector<ColumnHit>> hits((triangles + kTriangleChunk - 1) / kTriangleChunk);
    ParallelForChunks<kTriangleChunk>(triangles, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t chunk) {
        for (std::uint64_t t = begin; t < end; ++t) CrossTriangle(part, t, grid, hits[chunk]);
    });
    const std::uint64_t columns = static_cast<std::uint64_t>(grid.nx * grid.ny);
    std::uint64_t total = 0;
    for (const auto& list : hits) total += list.size();
    if (total > 0xFFFFFFFFull) return false;
    grid.columnOffsets.assign(columns + 1, 0);
    // The serial passes over the crossings poll every million of them.
    const auto poll = [](std::size_t k) {
        if ((k & 0xFFFFFu) == 0) ThrowIfStopped(CurrentCancelContext());
    };
    for (const auto& list : hits) {
        for (std::size_t k = 0; k < list.size(); ++k) {
            poll(k);
            ++grid.columnOffsets[list[k].first + 1];
        }
    }
    for (std::uint64_t c = 0; c < columns; ++c) grid.columnOffsets[c + 1] += grid.columnOffsets[c];
    grid.columnCrossings.resize(total);
    {
        std::vector<std::uint32_t> next(grid.columnOffsets.begin(), grid.columnOffsets.end() - 1);
        for (const auto& list : hits) {
            for (std::size_t k = 0; k < list.size(); ++k) {
                poll(k);
                grid.columnCrossings[next[list[k].first]++] = list[k].second;
            }
        }
    }
    hits.clear();
    std::atomic<std::uint64_t> odd{0};
    ParallelForChunks<1024>(columns, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        std::uint64_t chunkOdd = 0;
        for (std::uint64_t c = begin; c < end; ++c) {
            float* first = grid.columnCrossings.data() + grid.columnOffsets[c];
            float* last = grid.columnCrossings.data() + grid.columnOffsets[c + 1];
            std::sort(first, last);
            chunkOdd += static_cast<std::uint64_t>(last - first) & 1u;
        }
        odd.fetch_add(chunkOdd);
    });
    stats.oddColumns = odd.load();
    return true;
}

// Step 5: the bricks that hold a voxel within band + cell, along each axis,
// of the surface, in slot order. A triangle longer than a brick is cut, by
// halving its longest edge, into pieces no longer than a brick, and each
// piece marks the bricks about its own box: the marked bricks follow the
// surface, so a part of a few long triangles lying across the grid marks
// about as many as it would standing along an axis.
constexpr std::uint64_t kCandidateChunk = 64;

struct Piece {
    Vec3d at[3];
};

// Marks every brick holding a voxel inside the piece's box grown by reach.
void MarkAroundBox(const Piece& piece, const SparseDistanceGrid& grid, double reach,
                   std::vector<std::uint8_t>& marked) {
    const std::int64_t counts[3] = {grid.nx, grid.ny, grid.nz};
    const std::int64_t bricks[3] = {grid.bx, grid.by, grid.bz};
    std::int64_t lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        const double low = std::min({piece.at[0][a], piece.at[1][a], piece.at[2][a]});
        const double high = std::max({piece.at[0][a], piece.at[1][a], piece.at[2][a]});
        const double l = std::ceil((low - reach - grid.origin[a]) / grid.cellSize);
        const double h = std::floor((high + reach - grid.origin[a]) / grid.cellSize);
        const double last = static_cast<double>(counts[a] - 1);
        if (!(l <= last) || !(h >= 0.0) || !(l <= h)) return;
        lo[a] = static_cast<std::int64_t>(std::clamp(l, 0.0, last)) >> 3;
        hi[a] = std::min(static_cast<std::int64_t>(std::clamp(h, 0.0, last)) >> 3, bricks[a] - 1);
    }
    for (std::int64_t k = lo[2]; k <= hi[2]; ++k) {
        for (std::int64_t j = lo[1]; j <= hi[1]; ++j) {
            for (std::int64_t i = lo[0]; i <= hi[0]; ++i) {
                // Neighbouring pieces mark mostly the same bricks: a read
                // spares the shared line a write.
                std::atomic_ref<std::uint8_t> slot(marked[static_cast<std::size_t>((k * grid.by + j) * grid.bx + i)]);
                if (slot.load(std::memory_order_relaxed) == 0) slot.store(1, std::memory_order_relaxed);
            }
        }
    }
}

// The pieces of one triangle, each no longer than `longest` (a triangle that
// is not finite stays whole: its box marks nothing).
void MarkAroundTriangle(Piece whole, const SparseDistanceGrid& grid, double reach, double longest,
                        std::vector<Piece>& stack, std::vector<std::uint8_t>& marked) {
    stack.assign(1, whole);
    // A huge triangle over a fine grid is many pieces: a stop is seen
    // within it, not only between chunks of triangles.
    std::uint64_t pieces = 0;
    while (!stack.empty()) {
        if ((++pieces & 4095u) == 0 && PollCancel()) throw Stopped{};
        const Piece piece = stack.back();
        stack.pop_back();
        int edge = 0;
        double length = -1.0;
        for (int e = 0; e < 3; ++e) {
            const double l = Length(piece.at[(e + 1) % 3] - piece.at[e]);
            if (l > length) {
                length = l;
                edge = e;
            }
        }
        if (!(length > longest) || !std::isfinite(length)) {
            MarkAroundBox(piece, grid, reach, marked);
            continue;
        }
        const Vec3d& from = piece.at[edge];
        const Vec3d& to = piece.at[(edge + 1) % 3];
        const Vec3d& apex = piece.at[(edge + 2) % 3];
        const Vec3d middle = (from + to) * 0.5;
        stack.push_back({{from, middle, apex}});
        stack.push_back({{middle, to, apex}});
    }
}

std::vector<std::int64_t> CandidateBricks(const TriangleMesh& part, const SparseDistanceGrid& grid, double band) {
    const double reach = band + grid.cellSize;
    const double brickEdge = 8.0 * grid.cellSize;
    std::vector<std::uint8_t> marked(static_cast<std::size_t>(grid.bx * grid.by * grid.bz), 0);
    ParallelForChunks<kCandidateChunk>(
        part.indices.size() / 3, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            std::vector<Piece> stack;
            for (std::uint64_t t = begin; t < end; ++t) {
                Piece whole;
                for (int k = 0; k < 3; ++k) whole.at[k] = ToDouble(part.vertices[part.indices[3 * t + k]].position);
                MarkAroundTriangle(whole, grid, reach, brickEdge, stack, marked);
            }
        });
    std::vector<std::int64_t> slots;
    for (std::size_t s = 0; s < marked.size(); ++s) {
        if (marked[s] != 0) slots.push_back(static_cast<std::int64_t>(s));
    }
    return slots;
}

// Step 6: the candidates with surface within reach of their centre.
std::vector<std::int64_t> KeptBricks(const TriangleMesh& part, const AabbTree& tree, const SparseDistanceGrid& grid,
                                     const std::vector<std::int64_t>& candidates, double band) {
    const float reach = static_cast<float>(band + std::sqrt(3.0) / 2.0 * 7.0 * grid.cellSize);
    std::vector<std::uint8_t> keep(candidates.size(), 0);
    ParallelForChunks<64>(candidates.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        for (std::uint64_t c = begin; c < end; ++c) {
            const std::int64_t slot = candidates[c];
            const std::int64_t at[3] = {slot % grid.bx, slot / grid.bx % grid.by, slot / (grid.bx * grid.by)};
            Vec3d centre;
            for (int a = 0; a < 3; ++a) {
                centre[a] = grid.origin[a] + (8.0 * static_cast<double>(at[a]) + 3.5) * grid.cellSize;
            }
            keep[c] = tree.ClosestPoint(part, ToFloat(centre), nullptr, 0, {}, reach).found ? 1 : 0;
        }
    });
    std::vector<std::int64_t> kept;
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        if (keep[c] != 0) kept.push_back(candidates[c]);
    }
    return kept;
}

}  // namespace

namespace sparse {

Vec3d VoxelPosition(const SparseDistanceGrid& grid, std::int64_t i, std::int64_t j, std::int64_t k) {
    return {grid.origin[0] + static_cast<double>(i) * grid.cellSize,
            grid.origin[1] + static_cast<double>(j) * grid.cellSize,
            grid.origin[2] + static_cast<double>(k) * grid.cellSize};
}

std::vector<TriangleCorners> CornerTable(const TriangleMesh& part) {
    std::vector<TriangleCorners> table(part.indices.size() / 3);
    ParallelForChunks<16384>(table.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        for (std::uint64_t t = begin; t < end; ++t) {
            for (int k = 0; k < 3; ++k) table[t].at[k] = part.vertices[part.indices[3 * t + k]].position;
        }
    });
    return table;
}

}  // namespace sparse

std::uint64_t SparseDistanceGrid::CrossingsBelow(std::int64_t i, std::int64_t j, float z) const {
    const std::size_t column = static_cast<std::size_t>(j * nx + i);
    if (column + 1 >= columnOffsets.size()) return 0;
    const float* first = columnCrossings.data() + columnOffsets[column];
    const float* last = columnCrossings.data() + columnOffsets[column + 1];
    return static_cast<std::uint64_t>(std::lower_bound(first, last, z) - first);
}

float SparseDistanceGrid::Sample(std::int64_t i, std::int64_t j, std::int64_t k) const {
    const std::int64_t index = VoxelIndex(i, j, k);
    if (index >= 0) return values[static_cast<std::size_t>(index)];
    const float z = static_cast<float>(origin[2] + static_cast<double>(k) * cellSize);
    return (CrossingsBelow(i, j, z) & 1u) != 0 ? -bandValue : bandValue;
}

void SparseDistanceGrid::Gradient(std::int64_t i, std::int64_t j, std::int64_t k, double gradient[3]) const {
    const std::int64_t at[3] = {i, j, k};
    const std::int64_t counts[3] = {nx, ny, nz};
    for (int a = 0; a < 3; ++a) {
        const std::int64_t previous = std::max<std::int64_t>(at[a] - 1, 0);
        const std::int64_t next = std::min(at[a] + 1, counts[a] - 1);
        if (next == previous) {
            gradient[a] = 0.0;
            continue;
        }
        std::int64_t p[3] = {i, j, k};
        std::int64_t n[3] = {i, j, k};
        p[a] = previous;
        n[a] = next;
        gradient[a] = (static_cast<double>(Sample(n[0], n[1], n[2])) - Sample(p[0], p[1], p[2])) /
                      (static_cast<double>(next - previous) * cellSize);
    }
}

bool SparseDistanceGrid::Build(const TriangleMesh& part, const AabbTree& tree, const std::vector<float>& heights,
                               float cutPlaneZ, double cellSize, SparseDistanceGrid& grid,
                               SparseDistanceGridStats& stats, std::uint64_t voxelLimit, std::int32_t mode,
                               bool check) {
    grid = SparseDistanceGrid{};
    stats = SparseDistanceGridStats{};
    if (!IsValidMesh(part) || part.indices.empty() || heights.size() != part.vertices.size() || !(cellSize > 0.0)) {
        return false;
    }
    const auto startColumns = Clock::now();
    // Step 1: band and margin.
    double largest = 0.0;
    for (const float h : heights) largest = std::max(largest, static_cast<double>(std::fabs(h)));
    const double band = largest + 2.0 * cellSize;
    const double margin = band + 2.0 * cellSize;
    Vec3d low{3e38, 3e38, 3e38};
    Vec3d high{-3e38, -3e38, -3e38};
    for (const Vertex& v : part.vertices) {
        low = Min(low, ToDouble(v.position));
        high = Max(high, ToDouble(v.position));
    }
    // Step 2: size, refused before anything is allocated.
    double counts[3];
    for (int a = 0; a < 3; ++a) counts[a] = std::ceil((high[a] + margin - (low[a] - margin)) / cellSize) + 1.0;
    const auto bricksAlong = [](double n) { return std::ceil(n / 8.0); };
    stats.estimatedBytes =
        bricksAlong(counts[0]) * bricksAlong(counts[1]) * bricksAlong(counts[2]) * 5.0 + counts[0] * counts[1] * 4.0;
    const double voxels = counts[0] * counts[1] * counts[2];
    if (!std::isfinite(stats.estimatedBytes) || stats.estimatedBytes > kSparseGridByteLimit ||
        !(voxels <= static_cast<double>(voxelLimit))) {
        stats.refused = true;
        return false;
    }
    // Step 3: placement; the odd fractions keep columns off the part's own
    // edges and vertices, and the cut plane falls between two layers.
    grid.cellSize = cellSize;
    grid.bandValue = static_cast<float>(band);
    grid.nx = static_cast<std::int64_t>(counts[0]);
    grid.ny = static_cast<std::int64_t>(counts[1]);
    grid.nz = static_cast<std::int64_t>(counts[2]);
    const double lowZ = low.z - margin;
    grid.origin[0] = low.x - margin + 0.3183 * cellSize;
    grid.origin[1] = low.y - margin + 0.2718 * cellSize;
    grid.origin[2] = cutPlaneZ - (std::floor((cutPlaneZ - lowZ) / cellSize) + 0.5) * cellSize;
    grid.bx = (grid.nx + 7) / 8;
    grid.by = (grid.ny + 7) / 8;
    grid.bz = (grid.nz + 7) / 8;

    if (!BuildColumns(part, grid, stats)) {
        stats.refused = true;
        return false;
    }
    stats.columnsSeconds = SecondsSince(startColumns);

    const auto startBricks = Clock::now();
    const std::vector<std::int64_t> candidates = CandidateBricks(part, grid, band);
    stats.candidateBricks = candidates.size();
    sparse::StoredBricks bricks;
    bricks.slots = KeptBricks(part, tree, grid, candidates, band);
    if (!StoredBricksFit(bricks.slots.size(), mode)) {
        stats.refused = true;
        return false;
    }
    grid.brickTable.assign(static_cast<std::size_t>(grid.bx * grid.by * grid.bz), -1);
    for (std::size_t b = 0; b < bricks.slots.size(); ++b) {
        grid.brickTable[static_cast<std::size_t>(bricks.slots[b])] = static_cast<std::int32_t>(b);
    }
    grid.values.assign(bricks.slots.size() * 512, 0.0f);
    grid.reliefFlags.assign(bricks.slots.size() * 512, 0);
    stats.bricksSeconds = SecondsSince(startBricks);

    const std::vector<sparse::TriangleCorners> corners = sparse::CornerTable(part);
    std::vector<std::uint64_t> seeds;
    if (mode == 1) seeds = sparse::FindNearestTriangles(corners, grid, bricks, stats);
    const auto startValues = Clock::now();
    sparse::FillVoxelValues(part, corners, tree, heights, cutPlaneZ, grid, bricks, seeds, check && mode == 1, stats);
    stats.valuesSeconds = SecondsSince(startValues);
    return true;
}

}  // namespace ridgeforge::mesh
