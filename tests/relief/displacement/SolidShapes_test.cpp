// Every solid relief of a generated part with a procedural texture must come
// out closed and manifold.
#include <gtest/gtest.h>

#include <string>

#include "mesh/TestShapes.h"
#include "relief/displacement/SolidDisplacement.h"
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

double TriangleArea(const TriangleMesh& m, std::uint32_t t) {
    const Vec3f a = m.vertices[m.indices[3 * std::size_t{t}]].position;
    const Vec3f b = m.vertices[m.indices[3 * std::size_t{t} + 1]].position;
    const Vec3f c = m.vertices[m.indices[3 * std::size_t{t} + 2]].position;
    return 0.5 * Length(Cross(b - a, c - a));
}

// Edges whose two triangles face nearly opposite ways: all of them, and those
// where both triangles are larger than `area`.
std::pair<std::uint64_t, std::uint64_t> FoldedEdges(const TriangleMesh& m, double area) {
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(m);
    std::uint64_t folded = 0, large = 0;
    for (std::size_t e = 1; e < edges.size(); ++e) {
        if (edges[e].first != edges[e - 1].first) continue;
        if (Dot(m.FaceNormal(edges[e].second), m.FaceNormal(edges[e - 1].second)) >= -0.9f) continue;
        ++folded;
        if (TriangleArea(m, edges[e].second) > area && TriangleArea(m, edges[e - 1].second) > area) ++large;
    }
    return {folded, large};
}

TEST(SolidRelief, GeneratedPartsWithTexturesComeOutClosed) {
    std::vector<Case> cases;
    cases.push_back({"cube", test::MakeGridBox({-8, -8, -8}, {8, 8, 8}, 40), "Bricks", 6.0f});
    cases.push_back({"cylinder", test::Subdivide(MakeTestCylinder(6.0f, 12.0f), 2), "Knurl", 4.0f});
    cases.push_back({"sphere", MakeTestSphere(7.0f), "Tread Plate", 5.0f});
    cases.push_back({"torus", test::MakeTorus(7.0f, 2.5f, 120, 48), "Bricks", 3.0f});
    cases.push_back({"slot", test::Subdivide(test::MakeSlotPart(1.0f), 4), "Knurl", 3.0f});
    cases.push_back({"thin wall", test::MakeGridBox({0, 0, 0}, {12, 0.8f, 8}, 48), "Tread Plate", 4.0f});
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    options.cutEnabled = true;
    for (const Case& c : cases) {
        options.cutZ = c.part.boundsMin.z;
        const std::vector<float> heights = test::TextureHeights(c.part, c.texture, c.tile, 0.8f);
        TriangleMesh out;
        SolidDisplacementReport report;
        ASSERT_TRUE(DisplaceSolid(c.part, heights, options, {}, out, report))
            << c.name << ": " << FormatSolidDisplacementReport(report);
        EXPECT_GT(report.reliefVoxels, 0u) << c.name;
        const EdgeCounts edges = EdgeStatistics(out);
        EXPECT_EQ(edges.openBoundaryEdges, 0u) << c.name << ": " << edges.edges << " edges";
        EXPECT_EQ(edges.nonManifoldEdges, 0u) << c.name << ": " << edges.edges << " edges";
        EXPECT_TRUE(test::IsClosedOrientedManifold(out)) << c.name;
        EXPECT_GT(out.SignedVolume(), 0.0f) << c.name;
        EXPECT_GE(out.boundsMin.z, options.cutZ) << c.name;
        // Folds are counted, not required to be absent: relief features finer
        // than a cell and creases where two faces' reliefs meet fold a few quads.
        const auto [folded, large] = FoldedEdges(out, 0.05 * 0.2 * 0.2);
        std::printf(
            "%s: %zu triangles, %llu folded edges (%llu between triangles over 5%% of a cell face), "
            "%llu bodies removed\n",
            c.name.c_str(), out.TriangleCount(), static_cast<unsigned long long>(folded),
            static_cast<unsigned long long>(large), static_cast<unsigned long long>(report.bodiesRemoved));
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
