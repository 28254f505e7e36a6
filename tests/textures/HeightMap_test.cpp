#include "textures/HeightMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace ridgeforge::mesh;

namespace {

// A map of the given values with no blur and the given wrap.
HeightMap MakeMap(int width, int height, std::vector<float> values, WrapMode wrap) {
    HeightMap map;
    TextureSettings settings;
    settings.wrap = wrap;
    settings.lockAspect = false;
    map.SetSettings(settings);
    map.SetImage(width, height, std::move(values));
    return map;
}

std::vector<float> Ramp(int count) {
    std::vector<float> values(count);
    for (int i = 0; i < count; ++i) {
        values[i] = static_cast<float>(i) / static_cast<float>(count);
    }
    return values;
}

}  // namespace

TEST(HeightMap, SetImageRefusesSizesThatDoNotMatchThePixels) {
    HeightMap map = MakeMap(2, 2, {0.1f, 0.2f, 0.3f, 0.4f}, WrapMode::Repeat);
    map.name = "keep.png";
    ASSERT_EQ(map.width, 2);
    // 65536 x 65536 wraps to 0 in 32 bits and would pass for the empty list.
    map.SetImage(65536, 65536, {});
    EXPECT_EQ(map.width, 0);
    EXPECT_EQ(map.sourceWidth, 0);
    EXPECT_TRUE(map.pixels.empty() && map.seamlessPixels.empty() && map.sourcePixels.empty());
    EXPECT_EQ(map.name, "keep.png");
    EXPECT_EQ(map.SampleBilinear(0.5f, 0.5f), 0.0f);

    map.SetImage(3, 1, {1.0f, 2.0f});
    EXPECT_EQ(map.width, 0);
    map.SetImage(0, 0, {});
    EXPECT_EQ(map.height, 0);
    map.SetImage(-2, -2, std::vector<float>(4, 1.0f));
    EXPECT_EQ(map.width, 0);
    map.neutralHeight = 0.5f;
    map.SetImage(1, 1, {0.7f});
    EXPECT_FALSE(map.neutralHeight.has_value());
    EXPECT_EQ(map.pixels.size(), 1u);
}

TEST(HeightMap, SamplingFollowsTheWrapRule) {
    // Columns 0, 0.25, 0.5, 0.75 in one row.
    const std::vector<float> row = {0.0f, 0.25f, 0.5f, 0.75f};
    const HeightMap repeat = MakeMap(4, 1, row, WrapMode::Repeat);
    const HeightMap mirror = MakeMap(4, 1, row, WrapMode::Mirror);
    const HeightMap clamp = MakeMap(4, 1, row, WrapMode::Clamp);

    // u = 0 lies halfway between the last and the first column with Repeat.
    EXPECT_FLOAT_EQ(repeat.SampleBilinear(0.0f, 0.5f), 0.375f);
    EXPECT_FLOAT_EQ(clamp.SampleBilinear(0.0f, 0.5f), 0.0f);
    EXPECT_FLOAT_EQ(mirror.SampleBilinear(0.0f, 0.5f), 0.0f);
    // Pixel centres sample exactly.
    EXPECT_FLOAT_EQ(repeat.SampleBilinear(0.625f, 0.5f), 0.5f);
    // 1.25 repeats as 0.25 and mirrors as 0.75.
    EXPECT_FLOAT_EQ(repeat.SampleBilinear(1.25f, 0.5f), repeat.SampleBilinear(0.25f, 0.5f));
    EXPECT_FLOAT_EQ(mirror.SampleBilinear(1.25f, 0.5f), mirror.SampleBilinear(0.75f, 0.5f));
    EXPECT_FLOAT_EQ(repeat.SampleBilinear(-0.75f, 0.5f), repeat.SampleBilinear(0.25f, 0.5f));
    EXPECT_FLOAT_EQ(clamp.SampleBilinear(7.0f, -3.0f), 0.75f);

    for (WrapMode wrap : {WrapMode::Repeat, WrapMode::Mirror, WrapMode::Clamp}) {
        const HeightMap single = MakeMap(1, 1, {0.3f}, wrap);
        for (float u : {-1.7f, 0.0f, 0.5f, 1.0f, 3.25f}) {
            EXPECT_FLOAT_EQ(single.SampleBilinear(u, u * 0.5f), 0.3f);
        }
    }

    // Rows interpolate too: one column of 0 over 1 is 0.5 halfway down.
    const HeightMap column = MakeMap(1, 2, {0.0f, 1.0f}, WrapMode::Clamp);
    EXPECT_FLOAT_EQ(column.SampleBilinear(0.5f, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(column.SampleBilinear(0.5f, 0.375f), 0.25f);
    EXPECT_FLOAT_EQ(column.SampleBilinear(0.5f, 0.75f), 1.0f);
    // Both fractions at once, a quarter down and three quarters across:
    // top 0 + 0.2 * 0.75 = 0.15, bottom 0.4 + 0.6 * 0.75 = 0.85, 0.15 + 0.7 * 0.25.
    const HeightMap square = MakeMap(2, 2, {0.0f, 0.2f, 0.4f, 1.0f}, WrapMode::Clamp);
    EXPECT_FLOAT_EQ(square.SampleBilinear(0.625f, 0.375f), 0.325f);
}

TEST(HeightMap, SamplingOutOfRangeCoordinatesGivesTheNeutralHeight) {
    HeightMap map = MakeMap(4, 4, Ramp(16), WrapMode::Repeat);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (WrapMode wrap : {WrapMode::Repeat, WrapMode::Mirror, WrapMode::Clamp}) {
        map.settings.wrap = wrap;
        EXPECT_EQ(map.SampleBilinear(nan, 0.5f), 0.0f);
        EXPECT_EQ(map.SampleBilinear(0.5f, inf), 0.0f);
        EXPECT_EQ(map.SampleBilinear(-inf, -inf), 0.0f);
        // A tiny tile throws the pixel index far past the integer range.
        EXPECT_EQ(map.SampleBilinear(3.0e38f, 1.0e30f), 0.0f);
    }
    map.neutralHeight = 0.5f;
    EXPECT_EQ(map.SampleBilinear(nan, nan), 0.5f);
    // Far but representable coordinates still sample the image.
    map.settings.wrap = WrapMode::Repeat;
    EXPECT_FLOAT_EQ(map.SampleBilinear(1000.125f, 0.125f), map.SampleBilinear(0.125f, 0.125f));
}

TEST(HeightMap, ToneCurveAndPercentiles) {
    HeightMap map;
    EXPECT_FLOAT_EQ(map.ApplyLevels(0.5f), 0.5f);
    map.settings.gamma = 2.0f;
    EXPECT_FLOAT_EQ(map.ApplyLevels(0.5f), 0.25f);
    map.settings.gamma = 0.0f;
    EXPECT_FLOAT_EQ(map.ApplyLevels(0.5f), 0.5f);
    map.settings.gamma = 1.0f;
    map.settings.blackLevel = 0.2f;
    map.settings.whiteLevel = 0.6f;
    EXPECT_FLOAT_EQ(map.ApplyLevels(0.4f), 0.5f);
    EXPECT_FLOAT_EQ(map.ApplyLevels(0.9f), 1.0f);
    EXPECT_FLOAT_EQ(map.ApplyLevels(-3.0f), 0.0f);
    map.settings.outputBlackLevel = 0.1f;
    map.settings.outputWhiteLevel = 0.3f;
    map.settings.invert = true;
    EXPECT_FLOAT_EQ(map.ApplyLevels(0.4f), 0.8f);
    // Equal levels make a step at the white level.
    map.settings = TextureSettings{};
    map.settings.blackLevel = map.settings.whiteLevel = 0.5f;
    EXPECT_EQ(map.ApplyLevels(0.49f), 0.0f);
    EXPECT_EQ(map.ApplyLevels(0.5f), 1.0f);

    EXPECT_EQ(Percentile({3.0f, 1.0f, 2.0f}, 0.5f), 2.0f);
    EXPECT_EQ(Percentile({3.0f, 1.0f, 2.0f}, 0.24f), 1.0f);
    EXPECT_EQ(Percentile({3.0f, 1.0f, 2.0f}, 0.25f), 2.0f);
    EXPECT_EQ(Percentile({3.0f, 1.0f, 2.0f}, 7.0f), 3.0f);
    EXPECT_EQ(Percentile({3.0f, 1.0f, 2.0f}, std::numeric_limits<float>::quiet_NaN()), 1.0f);
    EXPECT_EQ(Percentile({}, 0.5f), 0.0f);

    HeightMap image = MakeMap(3, 1, {0.0f, 0.5f, 1.0f}, WrapMode::Repeat);
    image.settings.invert = true;
    EXPECT_FLOAT_EQ(image.LevelledPercentile(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(image.LevelledPercentile(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(image.LevelledPercentile(0.5f), 0.5f);
}

TEST(HeightMap, AutoLevelsAndLockedAspect) {
    HeightMap map;
    TextureSettings settings;
    settings.autoLevels = true;
    settings.widthMillimetres = 30.0f;
    map.SetSettings(settings);
    map.SetImage(100, 50, Ramp(5000));
    EXPECT_FLOAT_EQ(map.settings.heightMillimetres, 15.0f);
    EXPECT_NEAR(map.settings.blackLevel, 0.01f, 1e-3f);
    EXPECT_NEAR(map.settings.whiteLevel, 0.99f, 1e-3f);
    // A flat image keeps the levels it had.
    map.SetImage(10, 10, std::vector<float>(100, 0.3f));
    EXPECT_NEAR(map.settings.blackLevel, 0.01f, 1e-3f);

    // A cross-fade that shrinks the image changes the aspect it locks to.
    HeightMap faded;
    TextureSettings fade;
    fade.seamlessMethod = "Cross-fade";
    fade.seamlessParameters = "percent=20";
    faded.SetSettings(fade);
    faded.SetImage(100, 50, Ramp(5000));
    EXPECT_EQ(faded.sourceWidth, 100);
    EXPECT_EQ(faded.width, 80);
    EXPECT_EQ(faded.height, 40);
    EXPECT_EQ(faded.pixels.size(), 80u * 40u);
    EXPECT_FLOAT_EQ(faded.settings.heightMillimetres, 15.0f);
    EXPECT_EQ(faded.seamlessReport.methodName, "Cross-fade");
    // Back to unchanged: the source comes through whole, the report empties.
    fade.seamlessMethod = "Unchanged";
    faded.SetSettings(fade);
    EXPECT_EQ(faded.width, 100);
    EXPECT_TRUE(faded.seamlessReport.methodName.empty());
}

TEST(HeightMap, SettingsRedoOnlyTheStagesTheyAffect) {
    HeightMap map;
    TextureSettings settings;
    settings.lockAspect = false;
    settings.widthMillimetres = 10.0f;
    settings.heightMillimetres = 10.0f;
    map.SetSettings(settings);
    std::vector<float> spike(100, 0.0f);
    spike[55] = 1.0f;
    map.SetImage(10, 10, spike);
    EXPECT_EQ(map.pixels, spike);

    // 1 pixel per mm: a 0.49 mm radius rounds to nothing, 0.5 mm to a 3-pixel box.
    settings.blurMillimetres = 0.49f;
    map.SetSettings(settings);
    EXPECT_EQ(map.pixels, spike);
    settings.blurMillimetres = 0.5f;
    map.SetSettings(settings);
    EXPECT_NE(map.pixels, spike);
    float total = 0.0f;
    for (float p : map.pixels) {
        total += p;
    }
    EXPECT_NEAR(total, 1.0f, 1e-5f);  // a box blur keeps the volume
    EXPECT_FLOAT_EQ(map.pixels[0], 0.0f);

    // Turning or re-toning leaves the pixels alone; the wrap reblurs.
    std::vector<float> marked = map.pixels.Values();
    marked[0] = 42.0f;
    map.pixels = marked;
    settings.rotationDegrees = 30.0f;
    settings.gamma = 2.0f;
    map.SetSettings(settings);
    EXPECT_EQ(map.pixels[0], 42.0f);
    settings.wrap = WrapMode::Clamp;
    map.SetSettings(settings);
    EXPECT_NE(map.pixels[0], 42.0f);

    // The pipeline's minimum blur counts when it is the larger.
    map.pixels = marked;
    map.minimumBlurMillimetres = 2.0f;
    map.ApplyBlur();
    EXPECT_NE(map.pixels[0], 42.0f);
}

// Copies of a map (the document's, the pipeline's, each undo step's) hold
// one image between them; a copy that blurs makes a list of its own and the
// others keep theirs.
TEST(HeightMap, CopiesShareTheImageAndABlurDoesNotReachTheOthers) {
    HeightMap map;
    TextureSettings settings;
    settings.widthMillimetres = 4.0f;
    settings.heightMillimetres = 2.0f;
    settings.wrap = WrapMode::Clamp;
    map.SetSettings(settings);
    const std::vector<float> image = {0, 0, 0, 1, 0, 0, 0, 0};  // 4 x 2, one bright pixel
    map.SetImage(4, 2, image);
    // Without a seamless method or a blur, the three stages are one list.
    EXPECT_TRUE(map.seamlessPixels.SharesWith(map.sourcePixels));
    EXPECT_TRUE(map.pixels.SharesWith(map.seamlessPixels));

    const HeightMap copy = map;
    EXPECT_TRUE(copy.sourcePixels.SharesWith(map.sourcePixels));
    EXPECT_TRUE(copy.pixels.SharesWith(map.pixels));

    // 1 pixel per mm: a 1 mm radius blurs, and only this map's list changes.
    HeightMap blurred = copy;
    blurred.minimumBlurMillimetres = 1.0f;
    blurred.ApplyBlur();
    EXPECT_FALSE(blurred.pixels.SharesWith(map.pixels));
    EXPECT_TRUE(blurred.seamlessPixels.SharesWith(map.seamlessPixels));
    EXPECT_LT(blurred.pixels[3], 1.0f);
    EXPECT_EQ(map.pixels, image);
    EXPECT_EQ(copy.pixels, image);
    // A new image in one map leaves the others' alone.
    blurred.SetImage(2, 1, {0.25f, 0.75f});
    EXPECT_EQ(map.sourcePixels, image);
    EXPECT_EQ(copy.width, 4);
}

TEST(HeightMap, BlurRadiusIsBounded) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    HeightMap map;
    TextureSettings settings;
    settings.lockAspect = false;
    for (float blur : {inf, -inf, nan}) {
        settings.blurMillimetres = blur;
        map.SetSettings(settings);
        map.SetImage(4, 4, Ramp(16));
        EXPECT_EQ(map.pixels, Ramp(16)) << blur;
    }
    // A finite radius far larger than the image averages each line over its
    // whole length instead of looping for ever or overflowing.
    settings.blurMillimetres = 1.0e30f;
    map.SetSettings(settings);
    ASSERT_EQ(map.pixels.size(), 16u);
    for (float p : map.pixels) {
        EXPECT_TRUE(std::isfinite(p));
        EXPECT_NEAR(p, 0.46875f, 0.05f);
    }
    std::vector<float> line = Ramp(16);
    BoxBlurPass(map, line, inf, true);
    for (float p : line) {
        EXPECT_TRUE(std::isfinite(p));
    }
    std::vector<float> untouched = Ramp(16);
    BoxBlurPass(map, untouched, nan, false);
    EXPECT_EQ(untouched, Ramp(16));
    std::vector<float> wrongSize(5, 1.0f);
    BoxBlurPass(map, wrongSize, 2.0f, true);
    EXPECT_EQ(wrongSize, std::vector<float>(5, 1.0f));
}

// A window wider than the line is the sum of its 2k+1 folded samples: for
// [1, 0, 0, 0] count how often position 0 falls in each pixel's window.
TEST(HeightMap, BlurWiderThanTheLineSumsItsFoldedSamples) {
    struct Case {
        WrapMode wrap;
        float radius;
        std::vector<float> counts;  // samples of value 1 in each window
        float window;
    };
    const Case cases[] = {
        {WrapMode::Repeat, 10.0f, {5, 5, 6, 5}, 21.0f},  // 5 whole periods and 1 more position
        {WrapMode::Mirror, 5.0f, {2, 2, 3, 4}, 11.0f},   // period 8: 0 1 2 3 3 2 1 0
        {WrapMode::Clamp, 5.0f, {6, 5, 4, 3}, 11.0f},    // 5 - i positions before the line
    };
    for (const Case& c : cases) {
        HeightMap map;
        TextureSettings settings;
        settings.wrap = c.wrap;
        map.SetSettings(settings);
        map.SetImage(4, 1, {1.0f, 0.0f, 0.0f, 0.0f});
        std::vector<float> line = {1.0f, 0.0f, 0.0f, 0.0f};
        BoxBlurPass(map, line, c.radius, true);
        ASSERT_EQ(line.size(), 4u);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(line[i], c.counts[i] / c.window, 1e-6f) << int(c.wrap) << " " << i;
        // The same line standing upright gives the same result.
        HeightMap column;
        column.SetSettings(settings);
        column.SetImage(1, 4, {1.0f, 0.0f, 0.0f, 0.0f});
        std::vector<float> upright = {1.0f, 0.0f, 0.0f, 0.0f};
        BoxBlurPass(column, upright, c.radius, false);
        EXPECT_EQ(upright, line);
    }
}

TEST(HeightMap, MappingPointsToTiles) {
    TileFrame frame;
    frame.offsetMillimetres[0] = 10.0f;
    frame.offsetMillimetres[1] = 5.0f;
    frame.widthMillimetres = 20.0f;
    frame.heightMillimetres = 0.0f;  // counts as 1
    TileCoordinates t = MapToTile(frame, 15.0f, 7.0f);
    EXPECT_FLOAT_EQ(t.u, 0.25f);
    EXPECT_FLOAT_EQ(t.v, 2.0f);
    // A tile turned by +90 degrees on the part: the point is turned by -90.
    frame = TileFrame{};
    frame.rotationDegrees = 90.0f;
    t = MapToTile(frame, 1.0f, 0.0f);
    EXPECT_NEAR(t.u, 0.0f, 1e-6f);
    EXPECT_NEAR(t.v, -1.0f, 1e-6f);

    TextureSettings settings;
    settings.offsetMillimetres[0] = 3.0f;
    settings.widthMillimetres = 6.0f;
    settings.heightMillimetres = 12.0f;
    t = settings.MapToTile(6.0f, 6.0f);
    EXPECT_FLOAT_EQ(t.u, 0.5f);
    EXPECT_FLOAT_EQ(t.v, 0.5f);
}
