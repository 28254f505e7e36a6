// What the export fixes make of real reliefs: solid reliefs of generated parts
// with procedural textures carry folds finer than a cell. The fixes must hand
// every one back closed and manifold, with at most a handful of crossing
// triangles left, and must report exactly the ones that are left.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh/Connectivity.h"
#include "mesh/SortUnique.h"
#include "mesh/TestShapes.h"
#include "relief/displacement/SolidDisplacement.h"
#include "relief/repair/ExportFixes.h"
#include "relief/validation/SelfIntersections.h"
#include "testing/ReliefShapes.h"
#include "testing/Shapes.h"

namespace ridgeforge::mesh {
namespace {

struct Case {
    std::string name;
    TriangleMesh part;
    std::string texture;
    float tile;
};

std::uint64_t CrossingTriangles(const TriangleMesh& m) {
    std::vector<std::uint32_t> hits = SelfIntersectingTriangles(m, nullptr);
    SortUnique(hits);
    return hits.size();
}

TEST(ReliefExportFixes, SolidReliefsComeOutClosedManifoldAndUncrossed) {
    std::vector<Case> cases;
    cases.push_back({"cube", test::MakeGridBox({-8, -8, -8}, {8, 8, 8}, 40), "Bricks", 6.0f});
    cases.push_back({"cylinder", test::Subdivide(MakeTestCylinder(6.0f, 12.0f), 2), "Knurl", 4.0f});
    cases.push_back({"torus", test::MakeTorus(7.0f, 2.5f, 120, 48), "Bricks", 3.0f});
    cases.push_back({"slot", test::Subdivide(test::MakeSlotPart(1.0f), 4), "Knurl", 3.0f});
    SolidDisplacementOptions solid;
    solid.cellSize = 0.2f;
    solid.cutEnabled = true;
    // The options the export check starts from.
    const ExportFixOptions fixes{true, true, true, true, 40, 1.0f};
    for (const Case& c : cases) {
        solid.cutZ = c.part.boundsMin.z;
        const std::vector<float> heights = test::TextureHeights(c.part, c.texture, c.tile, 0.8f);
        TriangleMesh relief;
        SolidDisplacementReport solidReport;
        ASSERT_TRUE(DisplaceSolid(c.part, heights, solid, {}, relief, solidReport)) << c.name;
        const std::uint64_t bodies = CountBodies(relief);
        const ExportFixReport report = FixMeshForExport(relief, fixes, {}, bodies);
        const EdgeCounts edges = EdgeStatistics(relief);
        EXPECT_EQ(edges.openBoundaryEdges, 0u) << c.name << "\n" << FormatExportFixReport(report);
        EXPECT_EQ(edges.nonManifoldEdges, 0u) << c.name << "\n" << FormatExportFixReport(report);
        const std::uint64_t left = CrossingTriangles(relief);
        EXPECT_EQ(left, report.selfIntersectingLeft) << c.name << "\n" << FormatExportFixReport(report);
        EXPECT_LE(left * 100, report.selfIntersectingFound) << c.name << "\n" << FormatExportFixReport(report);
        std::printf("%s: %llu crossing triangles found, %llu left\n", c.name.c_str(),
                    static_cast<unsigned long long>(report.selfIntersectingFound),
                    static_cast<unsigned long long>(left));
        EXPECT_EQ(CountBodies(relief), bodies) << c.name;
        EXPECT_GT(relief.SignedVolume(), 0.0f) << c.name;
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
