#include "mesh/remesh/ContourSurface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

TEST(ContourGrid, LayoutAroundTheBounds) {
    const ContourGrid empty(BoundingBox{}, 1.0);
    EXPECT_EQ(empty.tolerance, 0.0009765625);

    const TriangleMesh cube = test::MakeBox({0, 0, 0}, {20, 20, 20});
    const ContourGrid grid(MeshBounds(cube), 1.0);
    EXPECT_EQ(grid.dims[0], 23);
    EXPECT_EQ(grid.dims[1], 23);
    EXPECT_EQ(grid.dims[2], 24);
    EXPECT_EQ(grid.subdivisions, std::int64_t{1} << grid.shift);
    EXPECT_EQ(grid.shift, 25);  // 26 cells with the guard need 5 bits
    for (int a = 0; a < 3; ++a) {
        const double node0 = grid.origin[a] + grid.substep;
        EXPECT_LE(node0, -1.5 + 1e-9);
        EXPECT_GE(node0 + grid.dims[a] * grid.cellSize, 21.5 - 1e-9);
    }
    // The bottom of the part lies half a cell above a node plane.
    EXPECT_NEAR(grid.origin[2] + grid.substep, -1.5, 1e-12);

    // Far from the origin the float spacing grows, and so does the margin.
    const TriangleMesh far = test::MakeBox({1000, 0, 0}, {1001, 1, 1});
    EXPECT_NEAR(ContourGrid(MeshBounds(far), 1.0).tolerance, 0.004004, 1e-9);
    EXPECT_EQ(ContourGrid(MeshBounds(far), 0.01).tolerance, 0.0625);
    EXPECT_EQ(ContourGrid(MeshBounds(far), 10.0).tolerance, 0.0009765625);
}

TEST(ContourSurface, StagesAndTheirStop) {
    const TriangleMesh cube = test::MakeBox({0, 0, 0}, {20, 20, 20});
    const ContourGrid grid(MeshBounds(cube), 1.0);
    ContourResult result;
    std::vector<std::string> asked;
    const auto stopAt = [&asked](std::string stop) {
        return [&asked, stop](const std::string& stage) {
            asked.push_back(stage);
            return stage != stop;
        };
    };
    EXPECT_FALSE(ContourSurface(cube, grid, 1.0, stopAt("Reading the surface"), result));
    EXPECT_EQ(asked.size(), 1u);
    asked.clear();
    EXPECT_FALSE(ContourSurface(cube, grid, 1.0, stopAt("Contouring"), result));
    EXPECT_TRUE(result.positions.empty());
    EXPECT_TRUE(result.refusal.empty());
    EXPECT_EQ(asked, (std::vector<std::string>{"Reading the surface", "Contouring"}));
    asked.clear();
    EXPECT_FALSE(ContourSurface(cube, grid, 1.0, stopAt("Triangulating"), result));
    EXPECT_FALSE(result.positions.empty());
    EXPECT_TRUE(result.indices.empty());

    ASSERT_TRUE(ContourSurface(cube, grid, 1.0, {}, result));
    // Every face diagonal of the box runs through grid lines; each such line
    // must be counted by exactly one of the two triangles, or it would read as
    // a line through a hole or a thin place.
    EXPECT_EQ(result.linesThroughHole, 0u);
    EXPECT_EQ(result.thinPlaces, 0u);
    EXPECT_EQ(result.missingCrossings, 0u);
    EXPECT_FALSE(result.open);
    const std::size_t vertices = result.positions.size() / 3;
    EXPECT_EQ(result.normals.size(), 3 * vertices);
    EXPECT_EQ(result.allowedBoxes.size(), 6 * vertices);
    for (std::size_t v = 0; v < vertices; ++v) {
        for (int i = 0; i < 3; ++i) {
            ASSERT_GE(result.positions[3 * v + i], result.allowedBoxes[6 * v + i]);
            ASSERT_LE(result.positions[3 * v + i], result.allowedBoxes[6 * v + 3 + i]);
        }
        ASSERT_NEAR(std::hypot(result.normals[3 * v], result.normals[3 * v + 1], result.normals[3 * v + 2]), 1.0, 1e-5);
    }
    TriangleMesh out;
    for (std::size_t v = 0; v < vertices; ++v) {
        out.vertices.push_back(
            {{result.positions[3 * v], result.positions[3 * v + 1], result.positions[3 * v + 2]}, {}});
    }
    out.indices = result.indices;
    const EdgeCounts edges = EdgeStatistics(out);
    EXPECT_EQ(edges.openBoundaryEdges, 0u);
    EXPECT_EQ(edges.nonManifoldEdges, 0u);
    EXPECT_FLOAT_EQ(out.SignedVolume(), 8000.0f);
}

TEST(ContourSurface, ASurfaceLeavingTheGridIsReportedOpen) {
    TriangleMesh cube = test::MakeBox({0, 0, 0}, {12, 12, 12});
    for (const Vec3f stale : {Vec3f{6, 6, 6}, Vec3f{6, 12, 12}, Vec3f{12, 6, 12}}) {
        ContourResult result;
        ASSERT_TRUE(ContourSurface(cube, ContourGrid({{0, 0, 0}, stale, true}, 0.5), 1.0, {}, result));
        EXPECT_TRUE(result.open);
    }
    cube.boundsMin = {6, 6, 6};
    ContourResult result;
    ASSERT_TRUE(ContourSurface(cube, ContourGrid(MeshBounds(cube), 0.5), 1.0, {}, result));
    EXPECT_TRUE(result.open);

    // Bounds far too small for the part: its vertices lie billions of units
    // outside the grid, which must not overflow the integer edge tests.
    ASSERT_TRUE(ContourSurface(cube, ContourGrid({{0, 0, 0}, {0.01f, 0.01f, 0.01f}, true}, 0.001), 1.0, {}, result));
}

TEST(ContourSurface, WindingAndParity) {
    // A shell inside another, wound the same way: the inner one is swallowed.
    TriangleMesh nested = test::MakeBox({0, 0, 0}, {10, 10, 10});
    const TriangleMesh inner = test::MakeBox({3, 3, 3}, {6, 6, 6});
    const auto offset = static_cast<std::uint32_t>(nested.vertices.size());
    nested.vertices.insert(nested.vertices.end(), inner.vertices.begin(), inner.vertices.end());
    for (const std::uint32_t i : inner.indices) nested.indices.push_back(i + offset);
    ContourResult result;
    ASSERT_TRUE(ContourSurface(nested, ContourGrid(MeshBounds(nested), 1.0), 1.0, {}, result));
    for (std::size_t v = 0; v < result.positions.size() / 3; ++v) {
        const float x = result.positions[3 * v];
        ASSERT_TRUE(x == 0.0f || x == 10.0f || result.positions[3 * v + 1] == 0.0f ||
                    result.positions[3 * v + 1] == 10.0f || result.positions[3 * v + 2] == 0.0f ||
                    result.positions[3 * v + 2] == 10.0f);
    }

    // Wound the other way it is a cavity, which parity-free winding keeps.
    TriangleMesh hollow = nested;
    for (std::size_t t = 12; t < 24; ++t) std::swap(hollow.indices[3 * t + 1], hollow.indices[3 * t + 2]);
    ASSERT_TRUE(ContourSurface(hollow, ContourGrid(MeshBounds(hollow), 1.0), 1.0, {}, result));
    TriangleMesh out;
    for (std::size_t v = 0; v < result.positions.size() / 3; ++v) {
        out.vertices.push_back(
            {{result.positions[3 * v], result.positions[3 * v + 1], result.positions[3 * v + 2]}, {}});
    }
    out.indices = result.indices;
    EXPECT_FLOAT_EQ(out.SignedVolume(), 1000.0f - 27.0f);
    EXPECT_EQ(CountBodies(out), 2u);
}

}  // namespace
}  // namespace ridgeforge::mesh
