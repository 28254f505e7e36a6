// Typed numbers, the triangle estimate's text and the direction diagram's
// geometry, with the expected values worked out by hand.
#include <gtest/gtest.h>

#include "testing/Shapes.h"
#include "ui/workflow/ReliefRules.h"

namespace ridgeforge {
namespace {

TEST(ReliefRules, TypedTriangleSizes) {
    EXPECT_FALSE(AcceptTriangleSize("0"));
    EXPECT_FLOAT_EQ(*AcceptTriangleSize("0.005"), 0.01f);
    EXPECT_FALSE(AcceptTriangleSize("abc"));
    EXPECT_FALSE(AcceptTriangleSize(""));
    EXPECT_FALSE(AcceptTriangleSize("-1"));
    EXPECT_FALSE(AcceptTriangleSize("nan"));
    EXPECT_FALSE(AcceptTriangleSize("inf"));
    EXPECT_FLOAT_EQ(*AcceptTriangleSize("100000"), 100000.0f);
    EXPECT_FALSE(AcceptTriangleSize("100000.5"));
    // Above 0 as a double but 0 as a float.
    EXPECT_FALSE(AcceptTriangleSize("1e-50"));
    EXPECT_FLOAT_EQ(*AcceptTriangleSize("  0.3 mm"), 0.3f);
    // The C locale's point, whatever the user's: "1,5" is 1.
    EXPECT_FLOAT_EQ(*AcceptTriangleSize("1,5"), 1.0f);
    EXPECT_FLOAT_EQ(StoredTriangleSize(0.15f), 0.15f);
    EXPECT_FLOAT_EQ(StoredTriangleSize(0.001f), 0.01f);
}

TEST(ReliefRules, TypedStrengths) {
    EXPECT_FLOAT_EQ(*AcceptStrength("0", 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(*AcceptStrength("2.5", 1.0f), 2.5f);
    EXPECT_FALSE(AcceptStrength("1", 1.0f));
    EXPECT_FALSE(AcceptStrength("abc", 1.0f));
    EXPECT_FALSE(AcceptStrength("-0.5", 1.0f));
    EXPECT_FALSE(AcceptStrength("200000", 1.0f));
}

TEST(ReliefRules, EstimateTextAddsATwelfthAndGroupsDigits) {
    mesh::RemeshEstimate estimate;
    estimate.expectedTotal = 1'200'000;
    EXPECT_EQ(EstimateText(estimate), L"About 1,300,000 triangles.");
    estimate.expectedTotal = 999;
    EXPECT_EQ(EstimateText(estimate), L"About 1,082 triangles.");
    estimate.expectedTotal = 11;
    EXPECT_EQ(EstimateText(estimate), L"About 11 triangles.");
    estimate.expectedTotal = 0;
    EXPECT_EQ(EstimateText(estimate), L"About 0 triangles.");
    estimate.expectedTotal = 12;
    estimate.raisedCellMillimetres = 1.2231f;
    EXPECT_EQ(EstimateText(estimate), L"About 13 triangles at 1.22 mm, the finest this part allows.");
}

TEST(ReliefRules, EstimateUsesContouringWhateverTheMethod) {
    // A 20 x 10 x 5 box has 700 mm^2; contour cells of 0.25 mm make
    // 700 / (0.0625 / 2.16) = 24192 triangles (isotropic would be 25866).
    const mesh::TriangleMesh box = test::MakeBox({0, 0, 0}, {20, 10, 5});
    mesh::RemeshSettings settings;
    settings.method = mesh::kRemeshIsotropic;
    settings.targetEdgeMillimetres = 0.25f;
    const mesh::RemeshEstimate estimate = EstimateReliefTriangles(box, settings);
    EXPECT_GE(estimate.expectedTotal, 24191u);
    EXPECT_LE(estimate.expectedTotal, 24192u);
    EXPECT_EQ(estimate.raisedCellMillimetres, 0.0f);

    // 5000 mm long: the grid allows no cell under 5000 / 4088 = 1.2231 mm.
    const mesh::TriangleMesh rod = test::MakeBox({0, 0, 0}, {5000, 1, 1});
    const std::wstring text = EstimateText(EstimateReliefTriangles(rod, settings));
    EXPECT_NE(text.find(L" triangles at 1.22 mm, the finest this part allows."), std::wstring::npos) << text;
}

TEST(ReliefRules, DirectionDiagramGeometry) {
    const wxRect rect(220, 38, 112, 54);
    const DirectionDiagram centred = LayoutDirectionDiagram(rect, 96, 0);
    EXPECT_DOUBLE_EQ(centred.x0, 222);
    EXPECT_DOUBLE_EQ(centred.x1, 276);
    EXPECT_DOUBLE_EQ(centred.top, 41);
    EXPECT_DOUBLE_EQ(centred.bottom, 90);
    EXPECT_DOUBLE_EQ(centred.surfaceY, 65.5);
    EXPECT_NEAR(centred.reliefTop, 65.5 - 0.21 * 49, 1e-9);
    EXPECT_NEAR(centred.reliefBottom, 65.5 + 0.21 * 49, 1e-9);
    ASSERT_EQ(centred.wave.size(), 65u);
    // Two and a half waves: from the bottom of the relief to its top.
    EXPECT_DOUBLE_EQ(centred.wave.front().m_x, 222);
    EXPECT_NEAR(centred.wave.front().m_y, centred.reliefBottom, 1e-9);
    EXPECT_DOUBLE_EQ(centred.wave.back().m_x, 276);
    EXPECT_NEAR(centred.wave.back().m_y, centred.reliefTop, 1e-9);
    EXPECT_NEAR(centred.wave[8].m_x, 228.75, 1e-9);
    // A period is 21.6 px: the wave tops out near x0 + 10.8, 13 samples in.
    EXPECT_NEAR(centred.wave[13].m_y, centred.reliefTop, 0.1);
    ASSERT_EQ(centred.fill.size(), 67u);
    EXPECT_EQ(centred.fill[65], wxPoint2DDouble(276, 90));
    EXPECT_EQ(centred.fill[66], wxPoint2DDouble(222, 90));
    EXPECT_DOUBLE_EQ(centred.markerX, 282);
    EXPECT_EQ(centred.label, wxRect(287, 57, 45, 16));

    const DirectionDiagram outward = LayoutDirectionDiagram(rect, 96, 1);
    EXPECT_NEAR(outward.surfaceY, 41 + 0.62 * 49, 1e-9);
    EXPECT_NEAR(outward.reliefBottom, outward.surfaceY, 1e-9);
    const DirectionDiagram inward = LayoutDirectionDiagram(rect, 96, 2);
    EXPECT_NEAR(inward.surfaceY, 41 + 0.3 * 49, 1e-9);
    EXPECT_NEAR(inward.reliefTop, inward.surfaceY, 1e-9);
    // An unknown direction is drawn as centred.
    EXPECT_DOUBLE_EQ(LayoutDirectionDiagram(rect, 96, 7).surfaceY, centred.surfaceY);

    EXPECT_EQ(StrengthLabel(0.0f), "0 mm");
    EXPECT_EQ(StrengthLabel(-1.0f), "0 mm");
    EXPECT_EQ(StrengthLabel(0.6f), "0.6 mm");
}

TEST(ReliefRules, DiagramHidesBelow64DipAndTheCheckBoxWidens) {
    EXPECT_EQ(DiagramRect(340, 96), wxRect(220, 38, 112, 54));
    EXPECT_EQ(KeepFlatRect(340, 96), wxRect(8, 68, 206, 24));
    EXPECT_EQ(DiagramRect(292, 96), wxRect(220, 38, 64, 54));
    EXPECT_TRUE(DiagramRect(291, 96).IsEmpty());
    EXPECT_EQ(KeepFlatRect(291, 96), wxRect(8, 68, 275, 24));
    EXPECT_EQ(DiagramRect(510, 144), wxRect(330, 57, 168, 81));
}

}  // namespace
}  // namespace ridgeforge
