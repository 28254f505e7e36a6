// The seamless dialog's pictures and the parameter sliders both texture
// dialogs share, worked out by hand.
#include "ui/dialogs/SeamlessPreview.h"

#include <gtest/gtest.h>

#include "ui/dialogs/ParameterRows.h"

namespace ridgeforge {
namespace {

using mesh::procedural::ParameterDefinition;

// Pixel (x, y) holds x + 1000 y, so every block mean says which block it is.
std::vector<float> Ramp(int width, int height) {
    std::vector<float> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<float>(x + 1000 * y);
    return pixels;
}

float At(const GreyImage& image, int x, int y) {
    return image
        .pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)];
}

TEST(SeamlessPreview, ReducesByBlocksSoTheLongerSideIsAbout512) {
    const GreyImage wide = ReducePreview(Ramp(1024, 768), 1024, 768);
    EXPECT_EQ(wide.width, 512);
    EXPECT_EQ(wide.height, 384);
    // Block (3, 5) covers x 6..7, y 10..11: mean x 6.5, mean y 10.5.
    EXPECT_FLOAT_EQ(At(wide, 3, 5), 6.5f + 10500.0f);

    const GreyImage odd = ReducePreview(Ramp(1025, 100), 1025, 100);
    EXPECT_EQ(odd.width, 341);  // blocks of 3: 1536 / 512
    EXPECT_EQ(odd.height, 33);
    EXPECT_FLOAT_EQ(At(odd, 340, 32), 1021.0f + 97000.0f);

    // 512 exactly needs no reduction; 513 does.
    const GreyImage same = ReducePreview(Ramp(512, 7), 512, 7);
    EXPECT_EQ(same.width, 512);
    EXPECT_EQ(same.height, 7);
    EXPECT_FLOAT_EQ(At(same, 511, 6), 6511.0f);
    EXPECT_EQ(ReducePreview(Ramp(513, 7), 513, 7).width, 256);

    // A side thinner than a block keeps one pixel, the mean of what is inside.
    const GreyImage thin = ReducePreview(Ramp(1, 2000), 1, 2000);
    EXPECT_EQ(thin.width, 1);
    EXPECT_EQ(thin.height, 500);
    EXPECT_FLOAT_EQ(At(thin, 0, 1), 5500.0f);  // rows 4..7

    EXPECT_TRUE(ReducePreview({}, 0, 0).pixels.empty());
    EXPECT_TRUE(ReducePreview(std::vector<float>(5), 2, 3).pixels.empty());
}

TEST(SeamlessPreview, LaysTheImageTwoByTwoFlippingOddTilesWhenMirrored) {
    // 3 x 2, values a quarter apart, plus one below 0 and one above 1.
    const std::vector<float> image = {0.0f, 0.25f, 0.5f, -0.5f, 1.5f, 1.0f};
    const auto grey = [](std::uint32_t pixel) { return static_cast<int>(pixel & 0xFF); };
    int side = 0;
    const std::vector<std::uint32_t> plain = BuildTilePreview(image, 3, 2, false, side);
    ASSERT_EQ(side, 4);  // 2 x the shorter side: a square part of the tiling
    ASSERT_EQ(plain.size(), 16u);
    EXPECT_EQ(plain[0], 0xFF000000u);
    EXPECT_EQ(plain[1], 0xFF404040u);       // 0.25 x 255 = 63.75
    EXPECT_EQ(grey(plain[2]), 128);         // 127.5 rounds up
    EXPECT_EQ(grey(plain[3]), 0);           // column 3 is column 0 again
    EXPECT_EQ(grey(plain[4]), 0);           // row 1: -0.5 clamps to 0
    EXPECT_EQ(grey(plain[5]), 255);         // 1.5 clamps to 1
    EXPECT_EQ(grey(plain[2 * 4 + 1]), 64);  // row 2 is row 0 again

    const std::vector<std::uint32_t> mirrored = BuildTilePreview(image, 3, 2, true, side);
    EXPECT_EQ(grey(mirrored[3]), 128);          // tile column 1 mirrored: column 2
    EXPECT_EQ(grey(mirrored[2 * 4 + 0]), 0);    // tile row 1 mirrored: row 1 (-0.5)
    EXPECT_EQ(grey(mirrored[2 * 4 + 1]), 255);  // row 1, column 1 (1.5)
    EXPECT_EQ(grey(mirrored[3 * 4 + 3]), 128);  // row 0 mirrored twice over: column 2
    EXPECT_EQ(grey(mirrored[1]), 64);           // the first tile stays as it is

    EXPECT_TRUE(BuildTilePreview({}, 0, 0, false, side).empty());
    EXPECT_EQ(side, 0);
    EXPECT_TRUE(BuildTilePreview(image, 2, 2, false, side).empty());
}

TEST(ParameterSliders, StepsPagesAndPositionsFollowTheRange) {
    const ParameterDefinition count = mesh::procedural::IntegerParameter("n", "Count", 0, 20, 5, "");
    EXPECT_EQ(SliderSteps(count), 20);
    EXPECT_EQ(SliderPage(SliderSteps(count)), 2);
    EXPECT_EQ(SliderPosition(count, 7.0f, 20), 7);
    EXPECT_FLOAT_EQ(SliderValue(count, 13, 20), 13.0f);

    const ParameterDefinition overlap = mesh::procedural::FloatParameter("p", "Overlap", 0.0f, 45.0f, 20.0f, "", 1);
    EXPECT_EQ(SliderSteps(overlap), 1000);
    EXPECT_EQ(SliderPage(1000), 100);
    EXPECT_EQ(SliderPosition(overlap, 30.0f, 1000), 667);  // 666.67
    EXPECT_EQ(SliderPosition(overlap, -4.0f, 1000), 0);
    EXPECT_EQ(SliderPosition(overlap, 99.0f, 1000), 1000);
    EXPECT_FLOAT_EQ(SliderValue(overlap, 500, 1000), 22.5f);

    const ParameterDefinition patches = mesh::procedural::IntegerParameter("q", "Patches", 2, 24, 4, "");
    EXPECT_EQ(SliderSteps(patches), 22);
    EXPECT_EQ(SliderPage(22), 2);
    EXPECT_EQ(SliderPosition(patches, 13.0f, 22), 11);
    EXPECT_FLOAT_EQ(SliderValue(patches, 11, 22), 13.0f);

    // An empty range: one step, and the slider stays at the start.
    const ParameterDefinition fixed = mesh::procedural::IntegerParameter("f", "Fixed", 3, 3, 3, "");
    EXPECT_EQ(SliderSteps(fixed), 1);
    EXPECT_EQ(SliderPage(1), 1);
    EXPECT_EQ(SliderPosition(fixed, 3.0f, 1), 0);
    ParameterDefinition flat = overlap;
    flat.maximum = flat.minimum;
    EXPECT_EQ(SliderPosition(flat, 0.0f, 1000), 0);
}

TEST(SeamlessPreview, ReportLineNamesTheMethodOrSaysTheImageIsUnchanged) {
    EXPECT_EQ(SeamlessReportLine(mesh::seamless::SeamlessReport{}, 512, 384), "The image is used as it was loaded.");
    mesh::seamless::SeamlessReport report;
    report.methodName = "Mirror";
    const std::string line = SeamlessReportLine(report, 341, 33);
    EXPECT_EQ(line.rfind("Seamless: Mirror", 0), 0u) << line;
    const std::string tail = "   (measured on the 341 x 33 preview; the full image is treated the same way)";
    ASSERT_GT(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
}

}  // namespace
}  // namespace ridgeforge
