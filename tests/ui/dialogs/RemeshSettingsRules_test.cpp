// How the relief and remesh dialogs read typed numbers and word their
// estimate and midlevel lines.
#include "ui/dialogs/RemeshSettingsRules.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mesh/remesh/RemeshSettings.h"

namespace ridgeforge {
namespace {

using mesh::DisplacementDirection;

// One right triangle with legs `leg` along x and y.
mesh::TriangleMesh Triangle(float legX, float legY) {
    mesh::TriangleMesh part;
    part.vertices.resize(3);
    part.vertices[0].position = {0.0f, 0.0f, 0.0f};
    part.vertices[1].position = {legX, 0.0f, 0.0f};
    part.vertices[2].position = {0.0f, legY, 0.0f};
    part.indices = {0, 1, 2};
    part.RecomputeBounds();
    return part;
}

// A triangle whose contour estimate at `cell` is `triangles` and a half.
mesh::TriangleMesh TriangleFor(double triangles, float cell) {
    const double area = (triangles + 0.5) * static_cast<double>(cell) * static_cast<double>(cell) / 2.16;
    const float leg = static_cast<float>(std::sqrt(2.0 * area));
    return Triangle(leg, leg);
}

TEST(ReliefFields, TypedNumbersAreTakenWithinTheirRangesElseTheOldValueStays) {
    // Strength: 0 to 100000, else the record's value.
    EXPECT_FLOAT_EQ(ReadStrength(-3.0f, 1.5f), 1.5f);
    EXPECT_FLOAT_EQ(ReadStrength(1e30f, 1.5f), 1.5f);
    EXPECT_FLOAT_EQ(ReadStrength(100000.5f, 1.5f), 1.5f);
    EXPECT_FLOAT_EQ(ReadStrength(100000.0f, 1.5f), 100000.0f);
    EXPECT_FLOAT_EQ(ReadStrength(0.0f, 1.5f), 0.0f);
    EXPECT_FLOAT_EQ(ReadStrength(-0.001f, 1.5f), 1.5f);
    // Triangle size: raised to 0.01; past 100000 the record's value.
    EXPECT_FLOAT_EQ(ReadTriangleSize(0.0f, 0.3f), 0.01f);
    EXPECT_FLOAT_EQ(ReadTriangleSize(-2.0f, 0.3f), 0.01f);
    EXPECT_FLOAT_EQ(ReadTriangleSize(0.011f, 0.3f), 0.011f);
    EXPECT_FLOAT_EQ(ReadTriangleSize(100000.0f, 0.3f), 100000.0f);
    EXPECT_FLOAT_EQ(ReadTriangleSize(1e30f, 0.3f), 0.3f);
    // Limits in millions: 0.1 to 200, stored as whole triangles.
    EXPECT_EQ(ReadTriangleLimit(500.0f), 200000000u);
    EXPECT_EQ(ReadTriangleLimit(0.05f), 100000u);
    EXPECT_EQ(ReadTriangleLimit(2.5f), 2500000u);
    EXPECT_EQ(ReadTriangleLimit(0.0000015f), 100000u);
    // The display limit keeps 0, which shows the whole mesh.
    EXPECT_EQ(ReadDisplayLimit(0.0f), 0u);
    EXPECT_EQ(ReadDisplayLimit(0.05f), 100000u);
    EXPECT_EQ(ReadDisplayLimit(3.0f), 3000000u);
    EXPECT_FLOAT_EQ(LimitInMillions(20000000), 20.0f);
    // Clamped fields.
    EXPECT_FLOAT_EQ(ReadMidLevel(1.7f), 1.0f);
    EXPECT_FLOAT_EQ(ReadMidLevel(-0.2f), 0.0f);
    EXPECT_FLOAT_EQ(ReadPlanarTolerance(0.0f), 1e-6f);
    EXPECT_FLOAT_EQ(ReadPlanarTolerance(3.0f), 1.0f);
    EXPECT_FLOAT_EQ(ReadDetailLevel(0.0f), 1e-5f);
    EXPECT_FLOAT_EQ(ReadDetailLevel(20.0f), 10.0f);
    EXPECT_FLOAT_EQ(ReadDetailLevel(0.1f), 0.1f);
    // The lists.
    EXPECT_EQ(DirectionFromItem(1), DisplacementDirection::Outward);
    EXPECT_EQ(DirectionFromItem(2), DisplacementDirection::Inward);
    EXPECT_EQ(DirectionFromItem(0), DisplacementDirection::Centred);
    EXPECT_EQ(DirectionFromItem(-1), DisplacementDirection::Centred);
    EXPECT_EQ(RemeshMethodFromItem(0), mesh::kRemeshIsotropic);
    EXPECT_EQ(RemeshMethodFromItem(1), mesh::kRemeshContour);
}

TEST(ReliefEstimate, AddsATwelfthGroupsDigitsAndWarnsOverTheLimit) {
    const mesh::RemeshSettings settings;  // carried through; the method is forced to contour
    EXPECT_EQ(ReliefEstimateText(nullptr, settings, 0.2f, 20.0f),
              "Open a part to see how many triangles the relief makes.");
    const mesh::TriangleMesh empty;
    EXPECT_EQ(ReliefEstimateText(&empty, settings, 0.2f, 20.0f),
              "Open a part to see how many triangles the relief makes.");

    const mesh::TriangleMesh part = TriangleFor(1200000.0, 0.2f);
    mesh::RemeshSettings contour;
    contour.targetEdgeMillimetres = 0.2f;
    ASSERT_EQ(mesh::EstimateRemesh(part, contour).expectedTotal, 1200000u);
    mesh::RemeshSettings isotropic = settings;
    isotropic.method = mesh::kRemeshIsotropic;  // the relief is always estimated by contour
    EXPECT_EQ(ReliefEstimateText(&part, isotropic, 0.2f, 20.0f), "About 1,300,000 triangles at 0.2 mm.");
    // A limit of exactly the estimate is not exceeded, though 1.3 is not exact as a float.
    EXPECT_EQ(ReliefEstimateText(&part, settings, 0.2f, 1.3f), "About 1,300,000 triangles at 0.2 mm.");
    EXPECT_EQ(ReliefEstimateText(&part, settings, 0.2f, 1.25f),
              "About 1,300,000 triangles at 0.2 mm. Over the triangle limit of 1.25 million: Process would "
              "refuse it.");

    // A part too long for the finest grid says at what size it is made:
    // 1000 mm over 4088 cells is 0.2446 mm.
    const mesh::TriangleMesh longPart = Triangle(1000.0f, 10.0f);
    const std::string text = ReliefEstimateText(&longPart, settings, 0.0f, 200.0f);
    EXPECT_NE(text.find(" triangles at 0.01 mm (made at 0.24 mm, the finest this part allows)."), std::string::npos)
        << text;
    // 5000 mm2 of surface over 0.2446^2 / 2.16 per triangle: 180,486 and a twelfth.
    EXPECT_EQ(text.substr(0, 14), "About 195,526 ") << text;
}

TEST(RemeshInputEstimate, NamesTheMethodsTotalAndThePartsCountWithoutATwelfth) {
    mesh::RemeshSettings settings;
    EXPECT_EQ(RemeshInputEstimateText(nullptr, settings, mesh::kRemeshContour, 0.2f), "");
    const mesh::TriangleMesh part = TriangleFor(1200000.0, 0.2f);
    EXPECT_EQ(RemeshInputEstimateText(&part, settings, mesh::kRemeshContour, 0.2f),
              "About 1,200,000 triangles from 1. The result replaces the part as loaded; open the file again to get "
              "the original back.");
    // Isotropic: equilateral triangles of the size, sqrt(3) / 4 x 0.04 each;
    // 22222.2 mm2 of them is 1,283,000.
    const std::string isotropic = RemeshInputEstimateText(&part, settings, mesh::kRemeshIsotropic, 0.2f);
    EXPECT_EQ(isotropic.substr(0, 12), "About 1,283,") << isotropic;
}

TEST(MidLevel, AutomaticValueAndExplanationFollowTheDirectionAndTheTexture) {
    const std::string safest =
        "Outward only cannot thin a wall or cut through a thin model, which is why it is the safest for printing.";
    EXPECT_EQ(MidLevelExplanation(false, nullptr, DisplacementDirection::Inward), safest);
    EXPECT_EQ(MidLevelExplanation(true, nullptr, DisplacementDirection::Outward),
              "Automatic: worked out from the texture once there is one. " + safest);
    EXPECT_FALSE(AutomaticMidLevel(nullptr, DisplacementDirection::Centred).has_value());

    // 100 pixels 0.00, 0.01, ..., 0.99 with levels stretching 0.1..0.9 to 0..1.
    mesh::HeightMap map;
    std::vector<float> pixels(100);
    for (int i = 0; i < 100; ++i) pixels[static_cast<std::size_t>(i)] = static_cast<float>(i) / 100.0f;
    map.SetImage(10, 10, pixels);
    mesh::TextureSettings levels = map.settings;
    levels.blackLevel = 0.1f;
    levels.whiteLevel = 0.9f;
    levels.autoLevels = false;
    map.SetSettings(levels);
    ASSERT_TRUE(HasHeightMapData(&map));

    // The 1st percentile is pixel round(99 x 0.01) = 1 (0.01, levelled to 0);
    // the 99th pixel 98 (0.98, levelled to 1).
    EXPECT_NEAR(*AutomaticMidLevel(&map, DisplacementDirection::Outward), 0.0f, 1e-6f);
    EXPECT_NEAR(*AutomaticMidLevel(&map, DisplacementDirection::Inward), 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(*AutomaticMidLevel(&map, DisplacementDirection::Centred), 0.5f);
    EXPECT_EQ(MidLevelExplanation(true, &map, DisplacementDirection::Outward),
              "Automatic: from the image's darkest, so the whole relief grows out of the surface. " + safest);
    EXPECT_EQ(MidLevelExplanation(true, &map, DisplacementDirection::Inward),
              "Automatic: from the image's lightest, so the whole relief is cut into the surface. " + safest);
    EXPECT_EQ(MidLevelExplanation(true, &map, DisplacementDirection::Centred),
              "Automatic: at 0.5, so the texture moves out and in alike. " + safest);

    // A rendered pattern's neutral height goes through the levels: 0.3 is
    // (0.3 - 0.1) / 0.8 = 0.25.
    map.neutralHeight = 0.3f;
    EXPECT_NEAR(*AutomaticMidLevel(&map, DisplacementDirection::Centred), 0.25f, 1e-6f);
    EXPECT_EQ(MidLevelExplanation(true, &map, DisplacementDirection::Centred),
              "Automatic: at the texture's own surface, which stays where it is - the ground of dots or tread "
              "plate, the tops of knurling. " +
                  safest);
}

}  // namespace
}  // namespace ridgeforge
