#include "mesh/relief/SolidDisplacement.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mesh/TestShapes.h"
#include "tests/support/Shapes.h"

namespace ridgeforge::mesh {
namespace {

void ExpectClosedManifold(const TriangleMesh& mesh) {
    const EdgeCounts edges = EdgeStatistics(mesh);
    EXPECT_GT(edges.edges, 0u);
    EXPECT_EQ(edges.openBoundaryEdges, 0u);
    EXPECT_EQ(edges.nonManifoldEdges, 0u);
    EXPECT_TRUE(test::IsClosedOrientedManifold(mesh));
}

TEST(DisplaceSolid, ZeroHeightsGiveThePartBack) {
    const TriangleMesh cube = MakeTestCube(20.0f);
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    TriangleMesh out;
    SolidDisplacementReport report;
    ASSERT_TRUE(DisplaceSolid(cube, std::vector<float>(cube.vertices.size(), 0.0f), options, {}, out, report));
    EXPECT_TRUE(report.succeeded);
    EXPECT_EQ(report.heightsHeld, 0u);
    ExpectClosedManifold(out);
    EXPECT_NEAR(out.SignedVolume(), 8000.0f, 8.0f);
    std::printf("%s\n", FormatSolidDisplacementReport(report).c_str());
}

}  // namespace
}  // namespace ridgeforge::mesh
