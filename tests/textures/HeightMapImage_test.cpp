#include "textures/HeightMapImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge;
using mesh::HeightMapImage;
using mesh::LoadHeightMapImage;
using mesh::SrgbDecoding;

namespace {

const std::string kNormalWarning =
    "This looks like a normal map (mostly blue, red and green centred). A normal map is the surface's slope, not "
    "its height; it can be converted.";
const std::string kJpegWarning =
    "JPEG is lossy. Its compression adds ripples around edges that become real bumps in the printed surface; PNG "
    "or TIFF keeps the original values.";
const std::string kEightBitWarning =
    "Eight bits per channel gives 256 height steps, which can show as visible terracing in a smooth gradient. A "
    "sixteen-bit image avoids it.";
const std::string kColourWarning = "The image has colour, which was converted to luminance.";

}  // namespace

TEST(HeightMapImage, WarningsFollowTheStoredFormat) {
    test::TempDir dir;
    ASSERT_TRUE(test::WritePng(dir / "grey8.png", 3, 2, 1, 8, {0, 51, 102, 153, 204, 255}));
    const HeightMapImage grey = LoadHeightMapImage(dir / "grey8.png", SrgbDecoding::Never);
    ASSERT_TRUE(grey.ok) << grey.error;
    EXPECT_EQ(grey.container, "PNG");
    EXPECT_FALSE(grey.colour);
    EXPECT_EQ(grey.bitsPerChannel, 8);
    EXPECT_EQ(grey.warnings, std::vector<std::string>{kEightBitWarning});
    ASSERT_EQ(grey.heights.size(), 6u);
    EXPECT_FLOAT_EQ(grey.heights[1], 0.2f);
    EXPECT_FLOAT_EQ(grey.heights[5], 1.0f);
    EXPECT_TRUE(grey.rgb.empty());

    std::vector<std::uint8_t> colour(16 * 16 * 3);
    for (std::size_t i = 0; i < colour.size(); ++i) {
        colour[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 200 : 40);
    }
    const HeightMapImage jpeg =
        LoadHeightMapImage((test::WriteJpeg(dir / "c.jpg", 16, 16, 3, colour), dir / "c.jpg"), SrgbDecoding::Never);
    ASSERT_TRUE(jpeg.ok) << jpeg.error;
    EXPECT_EQ(jpeg.container, "JPEG");
    EXPECT_TRUE(jpeg.colour);
    EXPECT_EQ(jpeg.warnings, (std::vector<std::string>{kJpegWarning, kEightBitWarning, kColourWarning}));

    // Grey stored as 24-bit RGB is colour but never a normal map.
    std::vector<std::uint8_t> greyRgb(8 * 8 * 3, 128);
    ASSERT_TRUE(test::WriteBmp24(dir / "g.bmp", 8, 8, greyRgb));
    const HeightMapImage bmp = LoadHeightMapImage(dir / "g.bmp", SrgbDecoding::Never);
    ASSERT_TRUE(bmp.ok) << bmp.error;
    EXPECT_TRUE(bmp.colour);
    EXPECT_FALSE(bmp.normalMap);
    EXPECT_EQ(bmp.warnings, (std::vector<std::string>{kEightBitWarning, kColourWarning}));
    EXPECT_NEAR(bmp.heights[0], 128.0f / 255.0f, 1e-6f);

    // Pure primaries weigh in by their own Rec. 709 factors, so a swapped or
    // dropped channel shows.
    ASSERT_TRUE(test::WritePng(dir / "rgb.png", 4, 1, 3, 8, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 0, 255}));
    const HeightMapImage primaries = LoadHeightMapImage(dir / "rgb.png", SrgbDecoding::Never);
    ASSERT_TRUE(primaries.ok) << primaries.error;
    EXPECT_TRUE(primaries.colour);
    ASSERT_EQ(primaries.heights.size(), 4u);
    EXPECT_NEAR(primaries.heights[0], 0.2126f, 1e-5f);
    EXPECT_NEAR(primaries.heights[1], 0.7152f, 1e-5f);
    EXPECT_NEAR(primaries.heights[2], 0.0722f, 1e-5f);
    EXPECT_NEAR(primaries.heights[3], 0.2848f, 1e-5f);

    // A float TIFF reports 32 bits and needs no warning at all.
    ASSERT_TRUE(test::WriteTiff(dir / "f.tif", {2, 1, 1, 32, true}, {{0.25, 2.0}}));
    const HeightMapImage floats = LoadHeightMapImage(dir / "f.tif", SrgbDecoding::Never);
    ASSERT_TRUE(floats.ok) << floats.error;
    EXPECT_EQ(floats.bitsPerChannel, 32);
    EXPECT_TRUE(floats.warnings.empty());
    EXPECT_NEAR(floats.heights[0], 0.25f, 1e-4f);
    EXPECT_FLOAT_EQ(floats.heights[1], 1.0f);
}

TEST(HeightMapImage, SixteenBitGreyKeepsEveryLevel) {
    test::TempDir dir;
    std::vector<std::uint16_t> all(65536);
    std::vector<double> levels(65536);
    for (int i = 0; i < 65536; ++i) {
        all[i] = static_cast<std::uint16_t>(i);
        levels[i] = i / 65535.0;
    }
    ASSERT_TRUE(test::WritePng(dir / "all.png", 256, 256, 1, 16, all));
    ASSERT_TRUE(test::WriteTiff(dir / "all.tif", {256, 256, 1, 16}, {levels}));
    for (const char* name : {"all.png", "all.tif"}) {
        const HeightMapImage image = LoadHeightMapImage(dir / name, SrgbDecoding::Never);
        ASSERT_TRUE(image.ok) << name << ": " << image.error;
        EXPECT_EQ(image.bitsPerChannel, 16);
        EXPECT_FALSE(image.colour);
        EXPECT_TRUE(image.warnings.empty());
        for (int i = 1; i < 65536; ++i) {
            ASSERT_LT(image.heights[i - 1], image.heights[i]) << name << " level " << i;
        }
        EXPECT_FLOAT_EQ(image.heights[65535], 1.0f);
        EXPECT_EQ(mesh::DescribeHeightMapImage(image),
                  std::string("Height map: ") + image.container +
                      " 256 x 256 pixels, 16 bits per channel\nSource: greyscale\nValues: taken as linear\n");
    }
}

// A grey TIFF whose 0 is white: the stored 0 is the highest point of the
// relief and the stored maximum the lowest.
TEST(HeightMapImage, MinIsWhiteTiffStandsOnItsHead) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteTiff(dir / "w.tif", {3, 1, 1, 16, false, false, false, true}, {{0.0, 0.25, 1.0}}));
    const HeightMapImage image = LoadHeightMapImage(dir / "w.tif", SrgbDecoding::Never);
    ASSERT_TRUE(image.ok) << image.error;
    EXPECT_FALSE(image.colour);
    EXPECT_EQ(image.bitsPerChannel, 16);
    ASSERT_EQ(image.heights.size(), 3u);
    EXPECT_FLOAT_EQ(image.heights[0], 1.0f);
    EXPECT_NEAR(image.heights[1], 49151.0f / 65535.0f, 1e-6f);
    EXPECT_FLOAT_EQ(image.heights[2], 0.0f);
}

TEST(HeightMapImage, NormalMapsAreRecognised) {
    test::TempDir dir;
    // Mean (0.5, 0.5, 1.0) with a little wobble in red and green.
    const int w = 32, h = 32;
    std::vector<double> normals(w * h * 3);
    for (int i = 0; i < w * h; ++i) {
        normals[i * 3 + 0] = 0.5 + ((i % 2) ? 0.1 : -0.1);
        normals[i * 3 + 1] = 0.5 + ((i / w % 2) ? 0.05 : -0.05);
        normals[i * 3 + 2] = 1.0;
    }
    ASSERT_TRUE(test::WriteTiff(dir / "n.tif", {w, h, 3, 16}, {normals}));
    const HeightMapImage image = LoadHeightMapImage(dir / "n.tif", SrgbDecoding::Never);
    ASSERT_TRUE(image.ok) << image.error;
    EXPECT_TRUE(image.normalMap);
    EXPECT_EQ(image.bitsPerChannel, 16);
    EXPECT_EQ(image.warnings, (std::vector<std::string>{kNormalWarning, kColourWarning}));
    ASSERT_EQ(image.rgb.size(), static_cast<std::size_t>(w * h * 3));
    EXPECT_NEAR(image.rgb[0], 0.4f, 1e-4f);
    EXPECT_FLOAT_EQ(image.rgb[2], 1.0f);

    // Decoding from sRGB darkens the heights (and the statistics with them).
    const HeightMapImage decoded = LoadHeightMapImage(dir / "n.tif", SrgbDecoding::Always);
    ASSERT_TRUE(decoded.ok);
    EXPECT_TRUE(decoded.decodedFromSrgb);
    EXPECT_LT(decoded.heights[0], image.heights[0]);
    EXPECT_NE(mesh::DescribeHeightMapImage(decoded).find("Values: decoded from sRGB to linear\n"), std::string::npos);
    EXPECT_FALSE(LoadHeightMapImage(dir / "n.tif", SrgbDecoding::LowBitDepth).decodedFromSrgb);

    // Blue that varies too much is a colour picture, not a normal map.
    for (int i = 0; i < w * h; ++i) {
        normals[i * 3 + 2] = (i % 2) ? 1.0 : 0.5;
    }
    ASSERT_TRUE(test::WriteTiff(dir / "v.tif", {w, h, 3, 16}, {normals}));
    const HeightMapImage varied = LoadHeightMapImage(dir / "v.tif", SrgbDecoding::Never);
    ASSERT_TRUE(varied.ok);
    EXPECT_FALSE(varied.normalMap);
    EXPECT_TRUE(varied.rgb.empty());
}

TEST(HeightMapImage, FailuresSayWhatWentWrong) {
    test::TempDir dir;
    const HeightMapImage missing = LoadHeightMapImage(dir / "nothing.png", SrgbDecoding::Never);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.container, "");
    EXPECT_EQ(missing.error,
              "The file could not be opened as an image. It may be missing, in a format this program does not read, or "
              "damaged.");
    EXPECT_EQ(mesh::DescribeHeightMapImage(missing), "Height map failed to load: " + missing.error + "\n");

    ASSERT_TRUE(test::WritePng(dir / "wide.png", 16385, 1, 1, 8, std::vector<std::uint16_t>(16385, 0)));
    const HeightMapImage wide = LoadHeightMapImage(dir / "wide.png", SrgbDecoding::Never);
    EXPECT_FALSE(wide.ok);
    EXPECT_EQ(wide.error, "The image is larger than 16384 pixels on a side.");
    EXPECT_TRUE(wide.heights.empty());

    std::vector<std::uint16_t> noise(64 * 64);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<std::uint16_t>(i * 7919);
    }
    ASSERT_TRUE(test::WritePng(dir / "cut.png", 64, 64, 1, 16, noise));
    ASSERT_TRUE(test::TruncateFile(dir / "cut.png", 100));
    const HeightMapImage cut = LoadHeightMapImage(dir / "cut.png", SrgbDecoding::Never);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.error, "The image pixels could not be read.");
}

TEST(HeightMapImage, TheStatisticsTakeTheFirstAndTheLastChunkOfRows) {
    // 168 rows: two chunks of 64 rows and a last one of 40. A normal map
    // throughout is one only when every chunk's sums count; with blue that
    // alternates between 1.0 and 0.5 in 40 rows, at the top or at the
    // bottom, the whole image has too much variation in blue
    // (0.119 x 0.881 / 4 = 0.026 > 0.02).
    test::TempDir dir;
    const int w = 8, h = 168;
    enum class Varied { Nowhere, Top, Bottom };
    for (const Varied where : {Varied::Nowhere, Varied::Top, Varied::Bottom}) {
        SCOPED_TRACE(static_cast<int>(where));
        std::vector<double> normals(w * h * 3);
        for (int i = 0; i < w * h; ++i) {
            const int row = i / w;
            const bool varied = (where == Varied::Top && row < 40) || (where == Varied::Bottom && row >= h - 40);
            normals[i * 3 + 0] = 0.5 + ((i % 2) ? 0.1 : -0.1);
            normals[i * 3 + 1] = 0.5;
            normals[i * 3 + 2] = varied && i % 2 == 1 ? 0.5 : 1.0;
        }
        ASSERT_TRUE(test::WriteTiff(dir / "n.tif", {w, h, 3, 16}, {normals}));
        const HeightMapImage image = LoadHeightMapImage(dir / "n.tif", SrgbDecoding::Never);
        ASSERT_TRUE(image.ok) << image.error;
        EXPECT_EQ(image.normalMap, where == Varied::Nowhere);
        ASSERT_EQ(image.heights.size(), static_cast<std::size_t>(w * h));
        // Luminance of the last and the first pixel: red 0.6 and 0.4, green 0.5.
        const double blue = where == Varied::Bottom ? 0.5 : 1.0;
        EXPECT_NEAR(image.heights.back(), 0.2126 * 0.6 + 0.7152 * 0.5 + 0.0722 * blue, 1e-4);
        EXPECT_NEAR(image.heights.front(), 0.2126 * 0.4 + 0.7152 * 0.5 + 0.0722 * 1.0, 1e-4);
    }
}

// A picture of 16384 x 16384 grey packs into some 260 KB and would take
// gigabytes once decoded: its header alone refuses it, and so does one row
// past the budget of 8192 x 8192 pixels (the side limit is not what stops
// either).
TEST(HeightMapImage, AnImageOverThePixelBudgetIsRefusedFromItsHeader) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteUniformGreyPng(dir / "bomb.png", 16384, 16384, 128));
    EXPECT_LT(std::filesystem::file_size(dir / "bomb.png"), 1'000'000u);
    const auto start = std::chrono::steady_clock::now();
    const HeightMapImage bomb = LoadHeightMapImage(dir / "bomb.png", SrgbDecoding::Never);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(bomb.ok);
    EXPECT_TRUE(bomb.heights.empty());
    EXPECT_EQ(bomb.error,
              "The image has 16384 x 16384 pixels. A texture can use at most 8192 x 8192 = 67108864 pixels: even the "
              "finest relief cannot carry more. Scale the image down.");
    // Decoding 268 million pixels takes far longer than reading a header.
    EXPECT_LT(seconds, 0.5);

    ASSERT_TRUE(test::WriteUniformGreyPng(dir / "tall.png", 8192, 8193, 0));
    const HeightMapImage tall = LoadHeightMapImage(dir / "tall.png", SrgbDecoding::Never);
    EXPECT_FALSE(tall.ok);
    EXPECT_EQ(tall.error.rfind("The image has 8192 x 8193 pixels.", 0), 0u) << tall.error;
}
