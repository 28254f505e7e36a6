#include "relief/validation/SlicedPreview.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "mesh/TestShapes.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// Skins are looked for only where either of two layers has material: a
// block that ends and another, off to the side, that starts above it.
TEST(SlicedPreview, SkinsWhereSectionsMoveAcrossTheFrame) {
    TriangleMesh part = ridgeforge::test::MakeBox({0, 0, 0}, {10, 10, 6});
    const TriangleMesh above = ridgeforge::test::MakeBox({14, 2, 6}, {20, 6.2f, 10});
    const auto base = static_cast<std::uint32_t>(part.vertices.size());
    part.vertices.insert(part.vertices.end(), above.vertices.begin(), above.vertices.end());
    for (std::uint32_t i : above.indices) part.indices.push_back(base + i);
    part.RecomputeBounds();
    part.RecomputeNormals();
    const SlicedPreview p = BuildSlicedPreview(part, SlicedPreviewSettings{});
    ASSERT_EQ(p.drawStep, 1u);
    // Rows of 0.21 mm from -0.21 mm: the lower block covers rows 1 to 48, the
    // upper one rows 11 to 30, one run a row. The lower block's bottom on
    // layer 0; on layer 30, the upper block's bottom and the lower one's top;
    // the upper block's top.
    EXPECT_EQ(p.skinTriangles, 2u * (48u + 20u + 48u + 20u));
}

TEST(SlicedPreview, CubeOnTheBed) {
    const SlicedPreview p =
        BuildSlicedPreview(ridgeforge::test::MakeBox({0, 0, 0}, {10, 10, 10}), SlicedPreviewSettings{});
    EXPECT_EQ(p.layers, 50u);
    EXPECT_EQ(p.outlines, 50u);
    EXPECT_EQ(p.openChains, 0u);
    EXPECT_EQ(p.cutsBeforeSimplifying, 50u * 8u);  // two triangles a side
    EXPECT_EQ(p.beadSegments, 50u * 4u);           // four corners a layer after simplifying
    EXPECT_EQ(p.drawStep, 1u);
    EXPECT_EQ(p.drawnLayers, 50u);
    // Cells of 0.21 mm from -0.21 mm: rows 1 to 48 have their centres inside;
    // one run a row on the bottom and one on the top, two triangles each.
    EXPECT_EQ(p.skinTriangles, 2u * 48u * 2u);
    EXPECT_EQ(p.mesh.TriangleCount(), 4u * 200u + 192u);
    ASSERT_EQ(p.triangleLayer.size(), p.mesh.TriangleCount());
    EXPECT_EQ(p.triangleLayer.front(), 0u);
    EXPECT_EQ(p.triangleLayer[4 * 200 - 1], 49u);
    EXPECT_EQ(p.triangleLayer.back(), 49u);  // the top skin belongs to the last drawn layer
    EXPECT_FLOAT_EQ(p.mesh.boundsMin.z, 0.0f);
    EXPECT_FLOAT_EQ(p.mesh.boundsMax.z, 10.0f);
    // Bead corners are mitred: the inner edge stays half a bead width inside both faces.
    for (const Vertex& v : p.mesh.vertices) {
        if (v.normal.z != 1.0f || v.position.z == 10.0f) continue;
        const float dx = std::min(std::abs(v.position.x - 0.21f), std::abs(v.position.x - 9.79f));
        const float dy = std::min(std::abs(v.position.y - 0.21f), std::abs(v.position.y - 9.79f));
        EXPECT_LT(std::min(dx, dy), 1e-4f) << v.position.x << " " << v.position.y;
    }
    const std::string text = FormatSlicedPreviewReport(p);
    EXPECT_EQ(text.rfind("Sliced preview: 50 layers; 50 outlines, 200 bead segments (400 cuts before simplifying), "
                         "192 skin triangles, 992 triangles in all, ",
                         0),
              0u)
        << text;
    EXPECT_FALSE(Contains(text, ", every"));
    EXPECT_EQ(text.back(), '\n');

    SlicedPreviewSettings bare;
    bare.drawSkins = false;
    const SlicedPreview noSkins = BuildSlicedPreview(ridgeforge::test::MakeBox({0, 0, 0}, {10, 10, 10}), bare);
    EXPECT_EQ(noSkins.skinTriangles, 0u);
    EXPECT_EQ(noSkins.mesh.TriangleCount(), 800u);
}

TEST(SlicedPreview, OpenSheetGivesOpenChains) {
    // Cut across X, a flat sheet of 4 x 4 split squares gives 8 segments a
    // layer, all running the same way; chains follow segments forwards only,
    // and here each segment's end is where an earlier one starts.
    SlicedPreviewSettings settings;
    settings.buildAxis = 0;
    const SlicedPreview p = BuildSlicedPreview(ridgeforge::test::MakeGridPlate(10.0f, 4), settings);
    EXPECT_EQ(p.layers, 50u);
    EXPECT_EQ(p.outlines, 0u);
    EXPECT_EQ(p.openChains, 400u);
    EXPECT_EQ(p.beadSegments, 400u);
    EXPECT_TRUE(Contains(FormatSlicedPreviewReport(p), "; 0 outlines and 400 open chains, 400 bead segments"));
    EXPECT_EQ(BuildSlicedPreview(TriangleMesh{}, settings).drawStep, 1u);
    EXPECT_EQ(BuildSlicedPreview(TriangleMesh{}, settings).mesh.TriangleCount(), 0u);
}

TEST(SlicedPreview, ChainsJoinWherePointsAgree) {
    std::vector<Chain> chains;
    ChainSegments({{{0, 0}, {1, 1.00002f}}, {{1, 1.00004f}, {2, 0}}}, chains);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_EQ(chains[0].points.size(), 3u);
    EXPECT_FALSE(chains[0].closed);
    chains.clear();
    ChainSegments({{{0, 0}, {1, 1}}, {{1, 1.0002f}, {2, 0}}}, chains);
    EXPECT_EQ(chains.size(), 2u);
    chains.clear();
    // Out of order, the loop still closes without repeating its first point.
    ChainSegments({{{1, 0}, {0, 1}}, {{0, 0}, {1, 0}}, {{0, 1}, {0, 0}}}, chains);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_TRUE(chains[0].closed);
    EXPECT_EQ(chains[0].points.size(), 3u);

    Chain square{{{0, 0}, {1, 0.01f}, {2, 0}, {2, 2}, {1, 2}, {0, 2}}, true};
    SimplifyChain(square, 0.05f);
    EXPECT_EQ(square.points.size(), 4u);
    Chain kept{{{0, 0}, {1, 0.1f}, {2, 0}}, false};
    SimplifyChain(kept, 0.05f);
    EXPECT_EQ(kept.points.size(), 3u);
    EXPECT_FLOAT_EQ(PointSegmentDistance({1, 1}, {0, 0}, {2, 0}), 1.0f);
    EXPECT_FLOAT_EQ(PointSegmentDistance({3, 0}, {0, 0}, {2, 0}), 1.0f);
    EXPECT_FLOAT_EQ(PointSegmentDistance({3, 4}, {0, 0}, {0, 0}), 5.0f);
    const Point2 n = SegmentNormal2D({0, 0}, {2, 0});
    EXPECT_FLOAT_EQ(n.u, 0.0f);
    EXPECT_FLOAT_EQ(n.v, -1.0f);
}

TEST(SlicedPreview, DrawBudgetThinsLayers) {
    const TriangleMesh cylinder = MakeTestCylinder(10.0f, 20.0f);
    SlicedPreviewSettings all;
    all.drawBudget = 100000000;
    const SlicedPreview full = BuildSlicedPreview(cylinder, all);
    ASSERT_EQ(full.drawStep, 1u);
    const std::uint64_t segments = full.beadSegments;
    ASSERT_GT(segments, 2000u);
    SlicedPreviewSettings tiny;
    tiny.drawBudget = 10;  // counts as 1000
    const SlicedPreview thinned = BuildSlicedPreview(cylinder, tiny);
    EXPECT_EQ(thinned.drawStep, (segments + 999) / 1000);
    EXPECT_EQ(thinned.drawnLayers, (thinned.layers + thinned.drawStep - 1) / thinned.drawStep);
    EXPECT_LE(thinned.beadSegments, 1000u + segments / thinned.layers * 2);
    const std::string text = FormatSlicedPreviewReport(thinned);
    const std::string k = std::to_string(thinned.drawStep);
    EXPECT_TRUE(Contains(text, ", every " + k)) << text;
    EXPECT_TRUE(Contains(text, " drawn (" + std::to_string(thinned.drawnLayers) + ", each as tall as " + k + "); "));
}

TEST(SlicedPreview, OrdinalsOfTheDrawStep) {
    SlicedPreview p;
    p.layers = 1000;
    const auto every = [&](std::uint64_t k) {
        p.drawStep = k;
        const std::string text = FormatSlicedPreviewReport(p);
        const std::size_t at = text.find(", every ");
        return at == std::string::npos ? std::string() : text.substr(at + 8, text.find(' ', at + 8) - at - 8);
    };
    EXPECT_EQ(every(2), "2nd");
    EXPECT_EQ(every(3), "3rd");
    EXPECT_EQ(every(4), "4th");
    EXPECT_EQ(every(11), "11th");
    EXPECT_EQ(every(12), "12th");
    EXPECT_EQ(every(13), "13th");
    EXPECT_EQ(every(21), "21st");
    EXPECT_EQ(every(22), "22nd");
    EXPECT_EQ(every(23), "23rd");
    EXPECT_EQ(every(111), "111th");
    EXPECT_EQ(every(1), "");
}

// The 20 mm cube with one corner pulled out to 1e10 mm. Up the build axis
// that is 40 billion layers of 0.25 mm: refused with the reason. Across it,
// the skin raster is coarsened to 65,536 cells along (plus its border), so
// the preview is made at once instead of sizing a raster to the box.
TEST(SlicedPreview, AStrayFarCornerIsRefusedOrCoarsened) {
    ridgeforge::mesh::TriangleMesh tall = ridgeforge::test::MakeBox({-10, -10, -10}, {10, 10, 10});
    tall.vertices[0].position.z = 1e10f;
    tall.RecomputeBounds();
    SlicedPreviewSettings settings;
    settings.layerHeightMillimetres = 0.25f;
    const SlicedPreview refused = BuildSlicedPreview(tall, settings);
    EXPECT_EQ(refused.refusal,
              "the part is too tall to preview: 40,000,000,000 layers (the most are 2,000,000); a point far from the "
              "rest of the part can cause this");
    EXPECT_EQ(refused.mesh.TriangleCount(), 0u);
    EXPECT_EQ(FormatSlicedPreviewReport(refused), "Sliced preview: not made: " + refused.refusal + "\n");

    // One layer over the limit (the print check shows the limit itself is taken).
    SlicedPreviewSettings thick;
    thick.layerHeightMillimetres = 1.0f;
    EXPECT_EQ(BuildSlicedPreview(ridgeforge::test::MakeBox({0, 0, 0}, {1, 1, 2'000'001}), thick).refusal,
              "the part is too tall to preview: 2,000,001 layers (the most are 2,000,000); a point far from the "
              "rest of the part can cause this");

    ridgeforge::mesh::TriangleMesh wide = ridgeforge::test::MakeBox({-10, -10, -10}, {10, 10, 10});
    wide.vertices[0].position.x = 1e10f;
    wide.RecomputeBounds();
    const SlicedPreview coarse = BuildSlicedPreview(wide, SlicedPreviewSettings{});
    EXPECT_EQ(coarse.refusal, "");
    EXPECT_EQ(coarse.layers, 100u);
    EXPECT_GT(coarse.mesh.TriangleCount(), 0u);
}
