#include "relief/displacement/SparseDistanceGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "mesh/RayTests.h"
#include "mesh/TestShapes.h"
#include "relief/displacement/SparseGridBuild.h"
#include "testing/ReliefShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

// Signed distance to an axis-aligned box, negative inside.
double BoxDistance(const Vec3d& p, const Vec3d& low, const Vec3d& high) {
    Vec3d outside;
    double inside = -1e30;
    for (int a = 0; a < 3; ++a) {
        const double below = low[a] - p[a];
        const double above = p[a] - high[a];
        outside[a] = std::max({below, above, 0.0});
        inside = std::max(inside, std::max(below, above));
    }
    return inside > 0.0 ? Length(outside) : inside;
}

struct Built {
    SparseDistanceGrid grid;
    SparseDistanceGridStats stats;
    bool ok = false;
};

Built BuildGrid(const TriangleMesh& part, const std::vector<float>& heights, float cut, double cell, int mode,
                std::uint64_t voxelLimit = ~std::uint64_t{0}) {
    AabbTree tree;
    tree.Build(part);
    Built b;
    b.ok = SparseDistanceGrid::Build(part, tree, heights, cut, cell, b.grid, b.stats, voxelLimit, mode, mode == 1);
    return b;
}

Vec3d At(const SparseDistanceGrid& g, std::int64_t i, std::int64_t j, std::int64_t k) {
    return {g.origin[0] + i * g.cellSize, g.origin[1] + j * g.cellSize, g.origin[2] + k * g.cellSize};
}

TEST(SparseDistanceGrid, PlacementBandAndZeroLevelOfAnUndisplacedBox) {
    const Vec3f low{-3.0f, -2.0f, 1.0f}, high{5.0f, 4.0f, 6.0f};
    const TriangleMesh box = test::MakeGridBox(low, high, 4);
    const std::vector<float> zero(box.vertices.size(), 0.0f);
    for (const int mode : {0, 1}) {
        for (const float cut : {1.0f, -1000.0f}) {
            const Built b = BuildGrid(box, zero, cut, 0.25, mode);
            ASSERT_TRUE(b.ok);
            const SparseDistanceGrid& g = b.grid;
            // band 2 cells, margin 4 cells; x and y whatever the cut plane.
            EXPECT_FLOAT_EQ(g.bandValue, 0.5f);
            EXPECT_NEAR(g.origin[0], -3.0 - 1.0 + 0.3183 * 0.25, 1e-12);
            EXPECT_NEAR(g.origin[1], -2.0 - 1.0 + 0.2718 * 0.25, 1e-12);
            const double layers = (cut - g.origin[2]) / 0.25 - 0.5;
            EXPECT_NEAR(layers, std::round(layers), 1e-9);
            EXPECT_EQ(g.nx, 8 / 0.25 + 8 + 1);
            EXPECT_EQ(g.bx, (g.nx + 7) / 8);
            EXPECT_EQ(b.stats.oddColumns, 0u);
            // Every measured voxel holds the box's own signed distance.
            std::uint64_t checked = 0;
            for (std::int64_t k = 0; k < g.nz; ++k) {
                for (std::int64_t j = 0; j < g.ny; ++j) {
                    for (std::int64_t i = 0; i < g.nx; ++i) {
                        const double exact = BoxDistance(At(g, i, j, k), ToDouble(low), ToDouble(high));
                        const float value = g.Sample(i, j, k);
                        if (std::fabs(exact) < 0.45) {
                            ASSERT_GE(g.VoxelIndex(i, j, k), 0);
                            ASSERT_NEAR(value, exact, 1e-4) << i << " " << j << " " << k;
                            ++checked;
                        }
                        ASSERT_EQ(value < 0.0f, exact < 0.0) << i << " " << j << " " << k;
                    }
                }
            }
            EXPECT_GT(checked, 10000u);
            if (mode == 1) {
                EXPECT_EQ(b.stats.disagreeingVoxels, 0u);
                EXPECT_EQ(b.stats.exactOnlyVoxels, 0u);
                EXPECT_GT(b.stats.rounds, 0);
            }
        }
    }
}

TEST(SparseDistanceGrid, AbsentBricksReadTheBandWithTheColumnParity) {
    // Two boxes one above the other with a wide gap.
    TriangleMesh part = test::MakeBox({0, 0, 0}, {10, 10, 10});
    const TriangleMesh upper = test::MakeBox({0, 0, 30}, {10, 10, 40});
    const std::uint32_t base = static_cast<std::uint32_t>(part.vertices.size());
    part.vertices.insert(part.vertices.end(), upper.vertices.begin(), upper.vertices.end());
    for (const std::uint32_t i : upper.indices) part.indices.push_back(base + i);
    part.RecomputeBounds();
    part.RecomputeNormals();
    const Built b = BuildGrid(part, std::vector<float>(part.vertices.size(), 0.0f), -1e6f, 0.25, 1);
    ASSERT_TRUE(b.ok);
    const SparseDistanceGrid& g = b.grid;
    const auto index = [&](int axis, double at) {
        return static_cast<std::int64_t>(std::llround((at - g.origin[axis]) / g.cellSize));
    };
    const std::int64_t i = index(0, 5.0), j = index(1, 5.0);
    // Inside the lower box (one crossing below), in the gap (two), inside the upper box (three).
    for (const auto& [z, inside] : {std::pair{5.0, true}, std::pair{20.0, false}, std::pair{35.0, true}}) {
        const std::int64_t k = index(2, z);
        ASSERT_EQ(g.VoxelIndex(i, j, k), -1) << z;
        EXPECT_EQ(g.Sample(i, j, k), inside ? -g.bandValue : g.bandValue) << z;
    }
    // Heights widen the band: largest magnitude + 2 cells.
    std::vector<float> heights(part.vertices.size(), 0.1f);
    heights[3] = -0.7f;
    const Built h = BuildGrid(part, heights, -1e6f, 0.25, 1);
    EXPECT_FLOAT_EQ(h.grid.bandValue, 0.7f + 0.5f);
}

TEST(SparseDistanceGrid, HeightsMoveTheZeroLevelAndMarkReliefVoxels) {
    const TriangleMesh box = test::MakeGridBox({0, 0, 0}, {6, 6, 6}, 12);
    std::vector<float> heights(box.vertices.size(), 0.0f);
    for (std::size_t v = 0; v < box.vertices.size(); ++v) {
        if (box.vertices[v].position.z == 6.0f) heights[v] = 0.4f;
    }
    const Built seeded = BuildGrid(box, heights, -1e6f, 0.2, 1);
    const Built exact = BuildGrid(box, heights, -1e6f, 0.2, 0);
    ASSERT_TRUE(seeded.ok && exact.ok);
    const SparseDistanceGrid& g = seeded.grid;
    // Above the middle of the top face the surface now lies at z = 6.4.
    const std::int64_t i = g.nx / 2, j = g.ny / 2;
    bool crossed = false;
    for (std::int64_t k = 1; k < g.nz; ++k) {
        const double z0 = g.origin[2] + (k - 1) * g.cellSize, z1 = z0 + g.cellSize;
        const float a = g.Sample(i, j, k - 1), b = g.Sample(i, j, k);
        if (z0 > 3.0 && a < 0.0f && b >= 0.0f) {
            crossed = true;
            EXPECT_NEAR(z0 + a / (a - b) * g.cellSize, 6.4, 1e-4);
            EXPECT_NEAR(a, z0 - 6.4, 1e-4);
            EXPECT_EQ(g.reliefFlags[static_cast<std::size_t>(g.VoxelIndex(i, j, k))], 1);
        }
        (void)z1;
    }
    EXPECT_TRUE(crossed);
    EXPECT_GT(seeded.stats.reliefVoxels, 0u);
    EXPECT_GT(seeded.stats.remeasuredVoxels, 0u);
    // Propagated nearest triangles give the values of one query per voxel.
    ASSERT_EQ(exact.grid.values.size(), g.values.size());
    double worst = 0.0;
    for (std::size_t v = 0; v < g.values.size(); ++v) {
        if (std::fabs(g.values[v]) < 2.0 * g.cellSize)
            worst = std::max(worst, double(std::fabs(g.values[v] - exact.grid.values[v])));
    }
    EXPECT_LT(worst, 1e-4);
    // Gradient across the side face x = 6 points along +x.
    double gradient[3];
    const std::int64_t side = static_cast<std::int64_t>(std::floor((6.0 - g.origin[0]) / g.cellSize));
    g.Gradient(side, j, g.nz / 2, gradient);
    EXPECT_NEAR(gradient[0], 1.0, 1e-3);
    EXPECT_NEAR(gradient[1], 0.0, 1e-3);
    EXPECT_NEAR(gradient[2], 0.0, 1e-3);
}

// The nearest-triangle keys are those of the plain algorithm, worked out
// here voxel by voxel: every triangle keys the voxels within 1.5 cells of
// its box, then double-buffered rounds let each voxel next to one that
// changed try its six face neighbours' distinct triangles (across brick
// faces too, the padding past the lattice's end included), until a round
// changes nothing or ceil(band / cell) + 2 rounds have run.
TEST(SparseDistanceGrid, NearestTrianglesAreThoseOfThePlainSweep) {
    TriangleMesh lump = MakeTestSphere(3.0f);
    for (Vertex& v : lump.vertices) v.position = {v.position.x * 1.7f + 0.3f, v.position.y, v.position.z * 0.6f};
    // A raw rod leaning across the grid: each long side's box holds most
    // stored voxels, nearly all of them nearer to other sides.
    const TriangleMesh rod = ridgeforge::test::MakeFanCappedRod(1.5f, 14.0f, 12, {1.0f, 0.8f, 0.6f});
    for (const TriangleMesh& part : {test::Subdivide(test::MakeSlotPart(2.0f), 2), lump, rod}) {
        const Built b = BuildGrid(part, std::vector<float>(part.vertices.size(), 0.3f), -1e6f, 0.2, 1);
        ASSERT_TRUE(b.ok);
        const SparseDistanceGrid& g = b.grid;
        sparse::StoredBricks bricks;
        bricks.slots.resize(g.values.size() / 512);
        for (std::size_t slot = 0; slot < g.brickTable.size(); ++slot) {
            if (g.brickTable[slot] >= 0)
                bricks.slots[static_cast<std::size_t>(g.brickTable[slot])] = std::int64_t(slot);
        }
        SparseDistanceGridStats stats;
        const std::vector<std::uint64_t> keys =
            sparse::FindNearestTriangles(sparse::CornerTable(part), g, bricks, stats);

        const auto corner = [&](std::size_t t, int k) {
            return ToDouble(part.vertices[part.indices[3 * t + k]].position);
        };
        const auto key = [&](std::size_t t, const Vec3d& p) {
            const double d = Length(p - ClosestPointOnTriangle(p, corner(t, 0), corner(t, 1), corner(t, 2)));
            return std::uint64_t{std::bit_cast<std::uint32_t>(static_cast<float>(d))} << 32 | t;
        };
        std::vector<std::uint64_t> plain(keys.size(), sparse::kNoSeed);
        for (std::size_t t = 0; t < part.indices.size() / 3; ++t) {
            std::int64_t lo[3], hi[3];
            const std::int64_t counts[3] = {g.nx, g.ny, g.nz};
            for (int a = 0; a < 3; ++a) {
                const double l = std::min({corner(t, 0)[a], corner(t, 1)[a], corner(t, 2)[a]}) - 1.5 * g.cellSize;
                const double h = std::max({corner(t, 0)[a], corner(t, 1)[a], corner(t, 2)[a]}) + 1.5 * g.cellSize;
                lo[a] = std::max<std::int64_t>(0, std::int64_t(std::ceil((l - g.origin[a]) / g.cellSize)));
                hi[a] = std::min<std::int64_t>(counts[a] - 1, std::int64_t(std::floor((h - g.origin[a]) / g.cellSize)));
            }
            for (std::int64_t k = lo[2]; k <= hi[2]; ++k) {
                for (std::int64_t j = lo[1]; j <= hi[1]; ++j) {
                    for (std::int64_t i = lo[0]; i <= hi[0]; ++i) {
                        const std::int64_t v = g.VoxelIndex(i, j, k);
                        if (v >= 0) plain[std::size_t(v)] = std::min(plain[std::size_t(v)], key(t, At(g, i, j, k)));
                    }
                }
            }
        }
        // Lattice places of every stored voxel, and its stored face neighbours.
        const std::int64_t ends[3] = {8 * g.bx, 8 * g.by, 8 * g.bz};
        const auto place = [&](std::size_t v, std::int64_t at[3]) {
            const std::int64_t slot = bricks.slots[v / 512], local = std::int64_t(v % 512);
            at[0] = slot % g.bx * 8 + (local & 7);
            at[1] = slot / g.bx % g.by * 8 + ((local >> 3) & 7);
            at[2] = slot / (g.bx * g.by) * 8 + (local >> 6);
        };
        const double reach = 2.0 * g.cellSize + g.bandValue;
        std::vector<std::uint8_t> changed(plain.size());
        for (std::size_t v = 0; v < plain.size(); ++v) changed[v] = plain[v] != sparse::kNoSeed;
        std::int32_t rounds = 0;
        for (bool any = true; any && rounds < std::int32_t(std::ceil(g.bandValue / g.cellSize)) + 2; ++rounds) {
            std::vector<std::uint64_t> next = plain;
            std::vector<std::uint8_t> changedNext(plain.size(), 0);
            any = false;
            for (std::size_t v = 0; v < plain.size(); ++v) {
                std::int64_t at[3];
                place(v, at);
                std::vector<std::size_t> around;
                for (int n = 0; n < 6; ++n) {
                    std::int64_t q[3] = {at[0], at[1], at[2]};
                    q[n / 2] += n % 2 == 0 ? -1 : 1;
                    if (q[n / 2] < 0 || q[n / 2] >= ends[n / 2]) continue;
                    const std::int64_t w = g.VoxelIndex(q[0], q[1], q[2]);
                    if (w >= 0) around.push_back(std::size_t(w));
                }
                if (std::none_of(around.begin(), around.end(), [&](std::size_t w) { return changed[w] != 0; }))
                    continue;
                // A triangle held by two neighbours counts once, with the
                // distance of the first in the order -x, +x, -y, +y, -z, +z.
                std::vector<std::uint32_t> seen;
                for (const std::size_t w : around) {
                    const std::uint32_t t = std::uint32_t(plain[w]);
                    if (plain[w] == sparse::kNoSeed || t == std::uint32_t(plain[v])) continue;
                    if (std::find(seen.begin(), seen.end(), t) != seen.end()) continue;
                    seen.push_back(t);
                    if (!(std::bit_cast<float>(std::uint32_t(plain[w] >> 32)) <= reach)) continue;
                    next[v] = std::min(next[v], key(t, At(g, at[0], at[1], at[2])));
                }
                if (next[v] < plain[v]) changedNext[v] = 1, any = true;
            }
            plain.swap(next);
            changed.swap(changedNext);
        }
        EXPECT_EQ(stats.rounds, rounds);
        ASSERT_EQ(keys.size(), plain.size());
        std::size_t differing = 0;
        for (std::size_t v = 0; v < keys.size(); ++v) differing += keys[v] != plain[v] ? 1 : 0;
        EXPECT_EQ(differing, 0u);
        EXPECT_GT(std::count_if(keys.begin(), keys.end(), [](std::uint64_t k) { return k != sparse::kNoSeed; }),
                  std::ptrdiff_t(keys.size() / 2));
    }
}

// A rod lying across x and y, whose long sides' boxes span most columns:
// every column holds the crossings of testing each column of every
// triangle's box with the edge functions (the z of each, ascending).
TEST(SparseDistanceGrid, ColumnsOfALeaningRodHoldEveryCrossing) {
    const TriangleMesh rod = ridgeforge::test::MakeFanCappedRod(2.0f, 30.0f, 24, {1.0f, 0.8f, 0.6f});
    const Built b = BuildGrid(rod, std::vector<float>(rod.vertices.size(), 0.0f), -1e6f, 0.25, 1);
    ASSERT_TRUE(b.ok);
    const SparseDistanceGrid& g = b.grid;
    std::vector<std::vector<float>> expected(static_cast<std::size_t>(g.nx * g.ny));
    for (std::size_t t = 0; t < rod.TriangleCount(); ++t) {
        Vec3d p[3];
        for (int k = 0; k < 3; ++k) p[k] = ToDouble(rod.vertices[rod.indices[3 * t + k]].position);
        const double area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
        if (area == 0.0) continue;
        for (std::int64_t j = 0; j < g.ny; ++j) {
            for (std::int64_t i = 0; i < g.nx; ++i) {
                const Vec3d at = At(g, i, j, 0);
                double w[3];
                for (int e = 0; e < 3; ++e) {
                    const Vec3d& u = p[(e + 1) % 3];
                    const Vec3d& v = p[(e + 2) % 3];
                    w[e] = (area > 0 ? 1.0 : -1.0) * ((v.x - u.x) * (at.y - u.y) - (v.y - u.y) * (at.x - u.x));
                }
                if (w[0] < 0.0 || w[1] < 0.0 || w[2] < 0.0) continue;
                const double z = (w[0] * p[0].z + w[1] * p[1].z + w[2] * p[2].z) / std::fabs(area);
                expected[static_cast<std::size_t>(j * g.nx + i)].push_back(static_cast<float>(z));
            }
        }
    }
    std::size_t crossings = 0, differ = 0;
    for (std::size_t c = 0; c < expected.size(); ++c) {
        std::sort(expected[c].begin(), expected[c].end());
        const std::vector<float> got(g.columnCrossings.begin() + g.columnOffsets[c],
                                     g.columnCrossings.begin() + g.columnOffsets[c + 1]);
        crossings += got.size();
        differ += got != expected[c] ? 1 : 0;
    }
    EXPECT_EQ(differ, 0u);
    EXPECT_GT(crossings, 1000u);
}

// Unsigned distance from p to the nearest triangle of the part, by trying
// every triangle.
double BruteDistance(const TriangleMesh& part, const Vec3d& p) {
    double best = 1e30;
    for (std::size_t t = 0; t < part.TriangleCount(); ++t) {
        const Vec3d a = ToDouble(part.vertices[part.indices[3 * t]].position);
        const Vec3d b = ToDouble(part.vertices[part.indices[3 * t + 1]].position);
        const Vec3d c = ToDouble(part.vertices[part.indices[3 * t + 2]].position);
        best = std::min(best, Length(p - ClosestPointOnTriangle(p, a, b, c)));
    }
    return best;
}

std::int64_t SlotOf(const SparseDistanceGrid& g, std::int64_t bi, std::int64_t bj, std::int64_t bk) {
    return (bk * g.by + bj) * g.bx + bi;
}

Vec3d BrickCentre(const SparseDistanceGrid& g, std::int64_t bi, std::int64_t bj, std::int64_t bk) {
    return At(g, 8 * bi, 8 * bj, 8 * bk) + Vec3d{3.5, 3.5, 3.5} * g.cellSize;
}

// Raw parts of a few long triangles, a short rod leaning across the grid
// and an uneven wedge: every brick holding a voxel within the band of the
// surface is stored and its voxels hold the exact distance, and every stored
// brick has surface within band + 7 half-diagonals of its centre.
TEST(SparseDistanceGrid, BricksNearLongTrianglesHoldTheExactDistance) {
    TriangleMesh wedge;
    wedge.vertices = {{{0, 0, 0}, {}}, {{9, 0.5f, 0}, {}}, {{1, 7, 0.3f}, {}}, {{2, 1.5f, 5.5f}, {}}};
    wedge.indices = {0, 2, 1, 0, 1, 3, 1, 2, 3, 0, 3, 2};
    wedge.RecomputeBounds();
    const struct {
        const char* name;
        TriangleMesh part;
    } parts[] = {{"leaning rod", ridgeforge::test::MakeFanCappedRod(1.5f, 14.0f, 12, {1.0f, 0.8f, 0.6f})},
                 {"wedge", wedge}};
    for (const auto& [name, part] : parts) {
        const double cell = 0.3;
        const Built b = BuildGrid(part, std::vector<float>(part.vertices.size(), 0.0f), -1e6f, cell, 1);
        ASSERT_TRUE(b.ok) << name;
        const SparseDistanceGrid& g = b.grid;
        const double band = g.bandValue;
        const double keepReach = band + std::sqrt(3.0) / 2.0 * 7.0 * cell;
        std::uint64_t near = 0, stored = 0;
        for (std::int64_t bk = 0; bk < g.bz; ++bk) {
            for (std::int64_t bj = 0; bj < g.by; ++bj) {
                for (std::int64_t bi = 0; bi < g.bx; ++bi) {
                    const double fromCentre = BruteDistance(part, BrickCentre(g, bi, bj, bk));
                    const bool kept = g.brickTable[static_cast<std::size_t>(SlotOf(g, bi, bj, bk))] >= 0;
                    stored += kept ? 1 : 0;
                    if (kept) {
                        ASSERT_LE(fromCentre, keepReach + 1e-4) << name << " " << bi << " " << bj << " " << bk;
                    }
                    // No voxel of a brick farther than this lies within the band.
                    if (fromCentre > band + 3.5 * std::sqrt(3.0) * cell) continue;
                    for (std::int64_t k = 8 * bk; k < std::min(8 * bk + 8, g.nz); ++k) {
                        for (std::int64_t j = 8 * bj; j < std::min(8 * bj + 8, g.ny); ++j) {
                            for (std::int64_t i = 8 * bi; i < std::min(8 * bi + 8, g.nx); ++i) {
                                const double exact = BruteDistance(part, At(g, i, j, k));
                                if (exact >= band - 1e-4) continue;
                                ++near;
                                ASSERT_TRUE(kept) << name << " " << i << " " << j << " " << k;
                                ASSERT_NEAR(std::fabs(g.Sample(i, j, k)), exact, 1e-4) << name;
                            }
                        }
                    }
                }
            }
        }
        EXPECT_GT(near, 1000u) << name;
        EXPECT_EQ(g.values.size(), stored * 512) << name;
    }
}

// A raw rod 40 mm long, standing and then leaning along the diagonal: the
// bricks looked at lie within the band, a cell and a brick's diagonal of
// its surface (worked out per brick by trying every triangle), so leaning
// it costs about what standing does. Marking half the longest edge about
// every corner looked at every brick of the leaning rod's box.
TEST(SparseDistanceGrid, BricksLookedAtFollowTheSurfaceOfALeaningRod) {
    std::uint64_t looked[2] = {0, 0};
    for (const int leaning : {0, 1}) {
        const Vec3f axis = leaning != 0 ? Vec3f{1, 1, 1} : Vec3f{0, 0, 1};
        const TriangleMesh rod = ridgeforge::test::MakeFanCappedRod(1.0f, 40.0f, 12, axis);
        const double cell = 0.1;
        const Built b = BuildGrid(rod, std::vector<float>(rod.vertices.size(), 0.0f), -1e6f, cell, 0);
        ASSERT_TRUE(b.ok) << leaning;
        const SparseDistanceGrid& g = b.grid;
        const double root3 = std::sqrt(3.0);
        const double bound = root3 * (g.bandValue + cell) + 8.0 * root3 * cell + 3.5 * root3 * cell;
        std::uint64_t near = 0;
        for (std::int64_t bk = 0; bk < g.bz; ++bk) {
            for (std::int64_t bj = 0; bj < g.by; ++bj) {
                for (std::int64_t bi = 0; bi < g.bx; ++bi) {
                    if (BruteDistance(rod, BrickCentre(g, bi, bj, bk)) <= bound) ++near;
                }
            }
        }
        looked[leaning] = b.stats.candidateBricks;
        EXPECT_LE(b.stats.candidateBricks, near) << leaning;
        EXPECT_GE(b.stats.candidateBricks, g.values.size() / 512) << leaning;
        // Leaning, the rod's box holds many more bricks than its surface has near it.
        if (leaning != 0) {
            EXPECT_LT(near * 4, static_cast<std::uint64_t>(g.bx * g.by * g.bz));
        }
    }
    EXPECT_LT(looked[1], 3 * looked[0]) << looked[0] << " " << looked[1];
}

TEST(SparseDistanceGrid, NothingBelowTheCutPlaneIsSolid) {
    const TriangleMesh box = test::MakeGridBox({0, 0, 0}, {4, 4, 4}, 4);
    const Built b = BuildGrid(box, std::vector<float>(box.vertices.size(), 0.0f), 1.0f, 0.2, 1);
    ASSERT_TRUE(b.ok);
    const SparseDistanceGrid& g = b.grid;
    for (std::int64_t k = 0; k < g.nz; ++k) {
        const double z = g.origin[2] + k * g.cellSize;
        if (z >= 1.0) continue;
        for (std::int64_t j = 0; j < g.ny; ++j) {
            for (std::int64_t i = 0; i < g.nx; ++i) {
                if (g.VoxelIndex(i, j, k) >= 0) {
                    ASSERT_GE(g.Sample(i, j, k), 1.0 - z - 1e-5);
                }
            }
        }
    }
}

TEST(SparseDistanceGrid, RefusesBeforeAllocating) {
    const TriangleMesh huge = test::MakeBox({0, 0, 0}, {4000, 4000, 4000});
    const Built first = BuildGrid(huge, std::vector<float>(8, 0.0f), 0.0f, 0.1, 1);
    EXPECT_FALSE(first.ok);
    EXPECT_TRUE(first.stats.refused);
    EXPECT_GT(first.stats.estimatedBytes, 1.5e9);
    EXPECT_TRUE(first.grid.columnOffsets.empty());
    EXPECT_TRUE(first.grid.brickTable.empty());

    // A wide thin plate: small columns and brick table, but too many stored
    // bricks with their seed keys.
    const TriangleMesh plate = test::MakeBox({0, 0, 0}, {2500, 2500, 1});
    const Built second = BuildGrid(plate, std::vector<float>(8, 0.0f), 0.0f, 1.0, 1);
    EXPECT_FALSE(second.ok);
    EXPECT_TRUE(second.stats.refused);
    EXPECT_LT(second.stats.estimatedBytes, 1.5e9);
    EXPECT_GT(second.stats.candidateBricks, 0u);
    EXPECT_TRUE(second.grid.values.empty());
    EXPECT_TRUE(second.grid.brickTable.empty());

    // The voxel limit.
    const TriangleMesh box = test::MakeBox({0, 0, 0}, {1, 1, 1});
    EXPECT_FALSE(BuildGrid(box, std::vector<float>(8, 0.0f), 0.0f, 0.1, 1, 1000).ok);
    EXPECT_TRUE(BuildGrid(box, std::vector<float>(8, 0.0f), 0.0f, 0.1, 1, 100000).ok);
    // Heights that do not match the vertices.
    EXPECT_FALSE(BuildGrid(box, std::vector<float>(7, 0.0f), 0.0f, 0.1, 1).ok);
}

}  // namespace
}  // namespace ridgeforge::mesh
