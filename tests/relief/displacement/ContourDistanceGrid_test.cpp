#include "relief/displacement/ContourDistanceGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>

#include "mesh/AabbTree.h"
#include "relief/displacement/UnprintableBodies.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

// A grid of n voxels a side with every brick stored, values from f, unit cells, no crossings.
SparseDistanceGrid HandGrid(std::int64_t nx, std::int64_t ny, std::int64_t nz,
                            const std::function<float(std::int64_t, std::int64_t, std::int64_t)>& f,
                            const std::function<bool(std::int64_t)>& storedBrickX = {}) {
    SparseDistanceGrid g;
    g.cellSize = 1.0;
    g.bandValue = 3.0f;
    g.nx = nx, g.ny = ny, g.nz = nz;
    g.bx = (nx + 7) / 8, g.by = (ny + 7) / 8, g.bz = (nz + 7) / 8;
    g.brickTable.assign(static_cast<std::size_t>(g.bx * g.by * g.bz), -1);
    std::int32_t next = 0;
    for (std::int64_t s = 0; s < g.bx * g.by * g.bz; ++s) {
        if (!storedBrickX || storedBrickX(s % g.bx)) g.brickTable[std::size_t(s)] = next++;
    }
    g.values.assign(std::size_t(next) * 512, 3.0f);
    g.reliefFlags.assign(std::size_t(next) * 512, 0);
    g.columnOffsets.assign(std::size_t(nx * ny + 1), 0);
    for (std::int64_t k = 0; k < nz; ++k) {
        for (std::int64_t j = 0; j < ny; ++j) {
            for (std::int64_t i = 0; i < nx; ++i) {
                const std::int64_t v = g.VoxelIndex(i, j, k);
                if (v >= 0) g.values[std::size_t(v)] = f(i, j, k);
            }
        }
    }
    return g;
}

void ExpectClosed(const TriangleMesh& m) {
    const EdgeCounts e = EdgeStatistics(m);
    EXPECT_EQ(e.openBoundaryEdges, 0u);
    EXPECT_EQ(e.nonManifoldEdges, 0u);
    EXPECT_TRUE(test::IsClosedOrientedManifold(m));
    EXPECT_GT(m.SignedVolume(), 0.0f);
}

TEST(ContourDistanceGrid, NoSignChangeGivesNothing) {
    const SparseDistanceGrid g = HandGrid(16, 8, 8, [](auto, auto, auto) { return 1.0f; });
    TriangleMesh m = test::MakeBox({0, 0, 0}, {1, 1, 1});
    SolidContourStats stats;
    ContourDistanceGrid(m, g, -1e30f, 1.0, true, stats);
    EXPECT_TRUE(m.vertices.empty());
    EXPECT_TRUE(m.indices.empty());
    EXPECT_EQ(stats.cellsContoured, 0u);
    EXPECT_FALSE(stats.holes);
}

TEST(ContourDistanceGrid, AmbiguousFacesAreSplitAlikeSoNoCrackOpens) {
    // Two outside voxels touching diagonally across a face inside a block
    // (the table joins them into one piece on both sides of the face), then
    // random fields full of ambiguous faces; the border stays outside.
    const SparseDistanceGrid diagonal = HandGrid(8, 8, 8, [](std::int64_t i, std::int64_t j, std::int64_t k) {
        const bool block = i >= 1 && i <= 6 && j >= 1 && j <= 6 && k >= 1 && k <= 6;
        const bool hole = k == 3 && ((i == 3 && j == 3) || (i == 4 && j == 4));
        return block && !hole ? -1.0f : 1.0f;
    });
    TriangleMesh m;
    SolidContourStats stats;
    ContourDistanceGrid(m, diagonal, -1e30f, 1.0, true, stats);
    EXPECT_GT(stats.splitCells, 0u);
    ExpectClosed(m);

    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::uint64_t split = 0;
    for (int trial = 0; trial < 6; ++trial) {
        std::vector<float> field(16 * 16 * 16);
        for (float& f : field) f = value(random);
        const SparseDistanceGrid g = HandGrid(16, 16, 16, [&](std::int64_t i, std::int64_t j, std::int64_t k) {
            const bool border = i == 0 || j == 0 || k == 0 || i == 15 || j == 15 || k == 15;
            return border ? 1.0f : field[std::size_t((k * 16 + j) * 16 + i)];
        });
        ContourDistanceGrid(m, g, -1e30f, 1.0, true, stats);
        split += stats.splitCells;
        EXPECT_FALSE(stats.holes);
        const EdgeCounts e = EdgeStatistics(m);
        EXPECT_EQ(e.openBoundaryEdges, 0u) << trial;
        EXPECT_EQ(e.nonManifoldEdges, 0u) << trial;
        EXPECT_TRUE(test::IsClosedOrientedManifold(m)) << trial;
    }
    EXPECT_GT(split, 0u);
}

TEST(ContourDistanceGrid, AQuadIntoAnAbsentBrickSetsTheHolesFlag) {
    // Only the brick at x 8..15 is stored; the solid runs on into the absent
    // brick below it in x, whose voxels read -band from their columns.
    SparseDistanceGrid g = HandGrid(
        16, 8, 8,
        [](std::int64_t i, std::int64_t j, std::int64_t k) {
            return (i <= 12 && j >= 2 && j <= 5 && k >= 2 && k <= 5) ? -1.0f : 1.0f;
        },
        [](std::int64_t bx) { return bx == 1; });
    std::vector<std::vector<float>> crossings(16 * 8);
    for (std::int64_t j = 2; j <= 5; ++j) {
        for (std::int64_t i = 0; i < 8; ++i) crossings[std::size_t(j * 16 + i)] = {1.5f, 5.5f};
    }
    g.columnOffsets.assign(1, 0);
    for (const auto& c : crossings) {
        g.columnCrossings.insert(g.columnCrossings.end(), c.begin(), c.end());
        g.columnOffsets.push_back(static_cast<std::uint32_t>(g.columnCrossings.size()));
    }
    ASSERT_EQ(g.Sample(3, 3, 3), -3.0f);
    ASSERT_EQ(g.Sample(3, 3, 6), 3.0f);
    TriangleMesh m;
    SolidContourStats stats;
    ContourDistanceGrid(m, g, -1e30f, 1.0, true, stats);
    EXPECT_TRUE(stats.holes);
    EXPECT_GT(stats.cellsContoured, 0u);
}

TEST(ContourDistanceGrid, TheTriangleLimitLeavesTheMeshEmpty) {
    const SparseDistanceGrid g = HandGrid(8, 8, 8, [](std::int64_t i, std::int64_t j, std::int64_t k) {
        return (i >= 2 && i <= 5 && j >= 2 && j <= 5 && k >= 2 && k <= 5) ? -1.0f : 1.0f;
    });
    TriangleMesh m;
    SolidContourStats stats;
    ContourDistanceGrid(m, g, -1e30f, 1.0, true, stats);
    ExpectClosed(m);
    // A 4 x 4 x 4 voxel block: 6 faces of 4 x 4 quads.
    EXPECT_EQ(stats.triangleEstimate, 6u * 16u * 2u);
    EXPECT_EQ(m.TriangleCount(), 6u * 16u * 2u);
    stats.triangleLimit = stats.triangleEstimate - 1;
    ContourDistanceGrid(m, g, -1e30f, 1.0, true, stats);
    EXPECT_TRUE(stats.overLimit);
    EXPECT_TRUE(m.indices.empty());
}

TEST(ContourDistanceGrid, AFlatBottomLiesExactlyOnTheCutPlane) {
    const TriangleMesh box = test::MakeBox({0, 0, -2.03f}, {4, 4, 3});
    AabbTree tree;
    tree.Build(box);
    SparseDistanceGrid g;
    SparseDistanceGridStats gs;
    ASSERT_TRUE(SparseDistanceGrid::Build(box, tree, std::vector<float>(8, 0.0f), -2.03f, 0.2, g, gs, ~std::uint64_t{0},
                                          1, false));
    TriangleMesh m;
    SolidContourStats stats;
    ContourDistanceGrid(m, g, -2.03f, 1.0, true, stats);
    ExpectClosed(m);
    std::uint64_t onPlane = 0;
    for (const Vertex& v : m.vertices) {
        ASSERT_GE(v.position.z, -2.03f);
        if (v.position.z < -2.03f + 0.1f) {
            EXPECT_EQ(v.position.z, -2.03f);
            ++onPlane;
        }
    }
    EXPECT_GT(onPlane, 300u);
    EXPECT_NEAR(m.SignedVolume(), 16.0f * 5.03f, 0.5f);
}

double SegmentDistance(double x, double z, double x0, double z0, double x1, double z1) {
    const double dx = x1 - x0, dz = z1 - z0;
    const double t = std::clamp(((x - x0) * dx + (z - z0) * dz) / (dx * dx + dz * dz), 0.0, 1.0);
    return std::hypot(x - x0 - t * dx, z - z0 - t * dz);
}

// Distance in the xz plane to the step's profile: z = 0 for x < 0, a ramp up
// to z = 0.6 at x = 0.4, z = 0.6 beyond.
double StepDistance(double x, double z) {
    return std::min({SegmentDistance(x, z, -10.0, 0.0, 0.0, 0.0), SegmentDistance(x, z, 0.0, 0.0, 0.4, 0.6),
                     SegmentDistance(x, z, 0.4, 0.6, 10.0, 0.6)});
}

double WorstStepDistance(bool sharp, double regularisation) {
    // A plate whose top carries a step of 0.6 mm over 0.4 mm, narrower than
    // the field's two cells: the step's two edges are sharp creases.
    const TriangleMesh plate = test::MakeGridBox({-3, -3, -3}, {3, 3, 0}, 120);
    std::vector<float> heights(plate.vertices.size(), 0.0f);
    for (std::size_t v = 0; v < plate.vertices.size(); ++v) {
        const Vec3f p = plate.vertices[v].position;
        if (p.z == 0.0f) heights[v] = std::clamp(p.x / 0.4f, 0.0f, 1.0f) * 0.6f;
    }
    AabbTree tree;
    tree.Build(plate);
    SparseDistanceGrid g;
    SparseDistanceGridStats gs;
    EXPECT_TRUE(SparseDistanceGrid::Build(plate, tree, heights, -1e6f, 0.2, g, gs, ~std::uint64_t{0}, 1, false));
    TriangleMesh m;
    SolidContourStats stats;
    ContourDistanceGrid(m, g, -1e30f, regularisation, sharp, stats);
    double worst = 0.0;
    for (const Vertex& v : m.vertices) {
        const Vec3f p = v.position;
        if (p.z > -0.5f && p.x > -0.5f && p.x < 0.9f && std::fabs(p.y) < 1.5f)
            worst = std::max(worst, StepDistance(p.x, p.z));
    }
    return worst;
}

TEST(ContourDistanceGrid, SharpReliefKeepsAStepSharp) {
    const double sharp = WorstStepDistance(true, 1.0);
    // Placed at the mass point, as an inverted sharpness would place them,
    // the crease vertices cut the corners by about a quarter of a cell. A
    // crease whose fit lies outside its cell also takes the mass point, since
    // a vertex pressed against the cell's face crosses its neighbour's, so a
    // step narrower than two cells keeps only part of its edge.
    const double massPoint = WorstStepDistance(false, 1e6);
    EXPECT_LT(sharp, 0.21 * 0.2);
    EXPECT_GT(massPoint, 0.2 * 0.2);
}

TEST(RemoveUnprintableBodies, KeepsThePartsBodiesAndTakesOffThinOnes) {
    TriangleMesh m = test::MakeBox({0, 0, 0}, {10, 10, 10});
    const auto add = [&](Vec3f low, Vec3f high) {
        const TriangleMesh b = test::MakeBox(low, high);
        const std::uint32_t base = static_cast<std::uint32_t>(m.vertices.size());
        m.vertices.insert(m.vertices.end(), b.vertices.begin(), b.vertices.end());
        for (const std::uint32_t i : b.indices) m.indices.push_back(base + i);
    };
    add({20, 0, 0}, {20.3f, 5, 5});  // thin: 0.3 mm in x
    add({30, 0, 0}, {31, 1, 1});     // 1 mm: printable
    std::uint64_t triangles = 0;
    std::vector<RemovedBody> removed;
    // Keeping three bodies, nothing goes however thin.
    TriangleMesh copy = m;
    EXPECT_EQ(RemoveUnprintableBodies(copy, 3, 0.4f, &triangles, &removed), 0u);
    EXPECT_EQ(copy.indices.size(), m.indices.size());
    EXPECT_EQ(RemoveUnprintableBodies(m, 1, 0.4f, &triangles, &removed), 1u);
    EXPECT_EQ(triangles, 12u);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_FLOAT_EQ(removed[0].boundsMin.x, 20.0f);
    EXPECT_FLOAT_EQ(removed[0].boundsMax.x, 20.3f);
    EXPECT_EQ(removed[0].volume, 0.0);
    EXPECT_EQ(m.TriangleCount(), 24u);
    EXPECT_EQ(m.vertices.size(), 16u);
    EXPECT_EQ(CountBodies(m), 2u);
    // A single body is never removed, however thin.
    TriangleMesh one = test::MakeBox({0, 0, 0}, {10, 10, 0.2f});
    EXPECT_EQ(RemoveUnprintableBodies(one, 1, 0.4f, nullptr, nullptr), 0u);
}

}  // namespace
}  // namespace ridgeforge::mesh
