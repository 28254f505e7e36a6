#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "textures/procedural/BricksTexture.h"
#include "textures/procedural/CellsTexture.h"
#include "textures/procedural/ContoursTexture.h"
#include "textures/procedural/CopperTexture.h"
#include "textures/procedural/LeatherTexture.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/NoiseTexture.h"
#include "textures/procedural/PenroseTexture.h"
#include "textures/procedural/RocksTexture.h"
#include "textures/procedural/StarsTexture.h"
#include "textures/procedural/StripesTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "textures/procedural/WeaveTexture.h"
#include "textures/procedural/WoodPoresTexture.h"
#include "textures/procedural/WoodTexture.h"

namespace ridgeforge::mesh::procedural {
namespace {

using Factory = std::function<std::unique_ptr<ProceduralTexture>()>;

// Every pattern the registry makes, each with its values at their defaults.
std::vector<Factory> AllPatterns() {
    std::vector<Factory> all;
    for (const std::string& name : TextureNames()) all.push_back([name] { return CreateTexture(name); });
    return all;
}

bool Tiles(const ProceduralTexture& t) { return t.tileable; }

// Leather roughens its grain with a fractal noise that may stray a little
// outside [0, 1]; the renderer clamps it.
float Slack(const ProceduralTexture& t) { return std::string(t.Name()) == "Leather" ? 0.05f : 0.0f; }

// Coordinates on a 1/1024 grid, so u + 1 is exact in float and a difference
// between a point and its shifted copy is the pattern's, not rounding's.
float GridCoordinate(std::mt19937& rng) { return static_cast<float>(rng() % 1024) / 1024.0f; }

void CheckRangeAndPeriod(const ProceduralTexture& t, std::mt19937& rng, const std::string& what) {
    const float slack = Slack(t);
    for (int i = 0; i < 24; ++i) {
        const float u = GridCoordinate(rng);
        const float v = GridCoordinate(rng);
        const float h = t.Sample(u, v);
        ASSERT_TRUE(std::isfinite(h)) << what << " at " << u << "," << v;
        ASSERT_GE(h, -slack) << what << " at " << u << "," << v;
        ASSERT_LE(h, 1.0f + slack) << what << " at " << u << "," << v;
        if (!Tiles(t)) continue;
        ASSERT_NEAR(t.Sample(u + 1.0f, v), h, 2e-3f) << what << " at " << u << "," << v;
        ASSERT_NEAR(t.Sample(u, v + 1.0f), h, 2e-3f) << what << " at " << u << "," << v;
    }
}

TEST(ProceduralPatterns, EveryPatternInRangeTilesAndFollowsItsSeed) {
    std::mt19937 rng(20261207);
    for (const Factory& make : AllPatterns()) {
        const auto texture = make();
        const std::string name = texture->Name();
        const auto& table = texture->Parameters();
        ASSERT_FALSE(table.empty()) << name;
        EXPECT_EQ(table.back().key, "invert") << name;
        ASSERT_EQ(texture->values.size(), table.size()) << name;
        for (std::size_t i = 0; i < table.size(); ++i) {
            EXPECT_EQ(texture->values[i], table[i].defaultValue) << name << " " << table[i].key;
            for (std::size_t j = 0; j < i; ++j) EXPECT_NE(table[i].key, table[j].key) << name;
        }

        CheckRangeAndPeriod(*texture, rng, name + " at its defaults");

        for (int set = 0; set < 8; ++set) {
            const auto randomised = make();
            for (const ParameterDefinition& d : table) {
                if (d.key == "invert") continue;
                std::uniform_real_distribution<float> pick(d.minimum, d.maximum);
                randomised->SetValue(d.key, pick(rng));
            }
            CheckRangeAndPeriod(*randomised, rng, name + " with " + randomised->FormatValues());
        }

        // A seed that did not reach the pattern would leave it unchanged.
        // Bricks at its defaults has level faces: its seed shows only through
        // the per-brick heights.
        texture->SetValue("variation", 1.0f);
        if (texture->SetValue("seed", 1.0f)) {
            const auto original = make();
            original->SetValue("variation", 1.0f);
            bool differs = false;
            for (int i = 0; i < 64 && !differs; ++i) {
                const float u = GridCoordinate(rng);
                const float v = GridCoordinate(rng);
                differs = texture->Sample(u, v) != original->Sample(u, v);
            }
            EXPECT_TRUE(differs) << name;
        }
    }
}

// Number of runs of height 0 met along a closed line of the tile.
int CountZeroRuns(const std::function<float(float)>& heightAt, int samples = 2048) {
    int runs = 0;
    bool previous = heightAt((samples - 0.5f) / samples) == 0.0f;
    for (int i = 0; i < samples; ++i) {
        const bool zero = heightAt((i + 0.5f) / samples) == 0.0f;
        if (zero && !previous) ++runs;
        previous = zero;
    }
    return runs;
}

TEST(ProceduralPatterns, BricksCoursesJointAndFace) {
    BricksTexture bricks;
    bricks.ResetToDefaults();
    // Course 1 (v in [0.125, 0.25)) is not shifted: its joints are at u = k/4.
    // Mortar 0.1 and bevel 0.04 of the smaller side 0.125, smoothness 0.3:
    // joint 1 within 0.00875 of an edge, 0 from 0.0175 on.
    const float v = 0.1875f;
    EXPECT_EQ(bricks.Sample(0.25f + 0.008f, v), 0.0f);
    EXPECT_EQ(bricks.Sample(0.25f - 0.008f, v), 0.0f);
    EXPECT_EQ(bricks.Sample(0.25f + 0.018f, v), 1.0f);
    const float slope = bricks.Sample(0.25f + 0.013f, v);
    EXPECT_GT(slope, 0.0f);
    EXPECT_LT(slope, 1.0f);
    EXPECT_EQ(bricks.Sample(0.125f, v), 1.0f);  // mid-brick here, a joint in the shifted course
    EXPECT_EQ(bricks.Sample(0.125f, 0.0625f), 0.0f);

    const auto courses = [&](float rows, float every) {
        bricks.SetValue("rows", rows);
        bricks.SetValue("offsetEvery", every);
        return CountZeroRuns([&](float t) { return bricks.Sample(0.06f, t); });
    };
    EXPECT_EQ(courses(7, 2), 8);
    EXPECT_EQ(courses(5, 3), 6);
    EXPECT_EQ(courses(5, 1), 5);

    // No variation and no roughness: faces at exactly 1, mortar at 0.
    bricks.ResetToDefaults();
    bricks.SetValue("mortarSmooth", 0.0f);
    bricks.SetValue("bevel", 0.0f);
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        const float h = bricks.Sample(GridCoordinate(rng), GridCoordinate(rng));
        EXPECT_TRUE(h == 0.0f || h == 1.0f) << h;
    }
    bricks.SetValue("variation", 1.0f);
    bool lowered = false;
    for (int i = 0; i < 200 && !lowered; ++i) {
        const float h = bricks.Sample(GridCoordinate(rng), GridCoordinate(rng));
        lowered = h > 0.5f && h < 1.0f;
    }
    EXPECT_TRUE(lowered);
}

TEST(ProceduralPatterns, StripesProfileAndSharpness) {
    StripesTexture stripes;
    stripes.ResetToDefaults();
    for (float v : {0.1f, 0.5f, 0.9f}) {
        EXPECT_NEAR(stripes.Sample(0.0f, v), 0.0f, 1e-6f);
        EXPECT_NEAR(stripes.Sample(1.0f / 16.0f, v), 1.0f, 1e-6f);
        EXPECT_NEAR(stripes.Sample(1.0f / 8.0f, v), 0.0f, 1e-5f);
    }
    // Horizontal stripes vary with v only.
    stripes.SetValue("direction", 1.0f);
    EXPECT_NEAR(stripes.Sample(0.3f, 1.0f / 16.0f), 1.0f, 1e-6f);

    // Sharpness 1 is capped at 0.999: the ramp spans 0.001 of the profile.
    // With the saw profile the profile value is frac(8u).
    stripes.ResetToDefaults();
    stripes.SetValue("profile", 1.0f);
    stripes.SetValue("sharpness", 1.0f);
    EXPECT_EQ(stripes.Sample(0.498f / 8.0f, 0.3f), 0.0f);
    EXPECT_EQ(stripes.Sample(0.502f / 8.0f, 0.3f), 1.0f);
    EXPECT_NEAR(stripes.Sample(0.5f / 8.0f, 0.3f), 0.5f, 0.05f);

    // Diagonal: 8 stripes cross each edge of the tile.
    stripes.ResetToDefaults();
    stripes.SetValue("direction", 2.0f);
    stripes.SetValue("sharpness", 0.5f);
    const auto crossings = [&](std::function<float(float)> along) {
        int n = 0;
        for (int i = 0; i < 4096; ++i) {
            const bool a = along(i / 4096.0f) > 0.5f;
            const bool b = along((i + 1) / 4096.0f) > 0.5f;
            if (a && !b) ++n;
        }
        return n;
    };
    EXPECT_EQ(crossings([&](float t) { return stripes.Sample(t, 0.0f); }), 8);
    EXPECT_EQ(crossings([&](float t) { return stripes.Sample(0.0f, t); }), 8);
}

TEST(ProceduralPatterns, StarsStylesAndSharpness) {
    // One star per tile at sharpness 2. At (0.7, 0.55) the distances from the
    // centre are a = 0.4, b = 0.1, so the star distance is max(0.2, 0.4) / 2;
    // on the diagonal (0.7, 0.7) it is max(0.8, 0.4) / 2.
    StarsTexture stars;
    stars.ResetToDefaults();
    stars.SetValue("cells", 1.0f);
    EXPECT_NEAR(stars.Sample(0.7f, 0.55f), 0.8f, 1e-5f);
    EXPECT_NEAR(stars.Sample(0.7f, 0.7f), 0.6f, 1e-5f);
    stars.SetValue("rings", 3.0f);  // Pyramids ignores the rings
    EXPECT_NEAR(stars.Sample(0.7f, 0.55f), 0.8f, 1e-5f);

    // Steps: 0.8 rounded to the nearest of 2 or 4 steps.
    stars.SetValue("style", 2.0f);
    EXPECT_NEAR(stars.Sample(0.7f, 0.55f), 1.0f, 1e-5f);
    stars.SetValue("rings", 5.0f);
    EXPECT_NEAR(stars.Sample(0.7f, 0.55f), 0.75f, 1e-5f);

    // Rings with the saw profile: frac(3 x 0.2).
    stars.SetValue("style", 1.0f);
    stars.SetValue("rings", 3.0f);
    stars.SetValue("profile", 1.0f);
    EXPECT_NEAR(stars.Sample(0.7f, 0.55f), 0.6f, 1e-5f);

    // Sharpness 1 is the square pyramid: max(a, b) alone.
    stars.ResetToDefaults();
    stars.SetValue("cells", 1.0f);
    stars.SetValue("sharpness", 1.0f);
    EXPECT_NEAR(stars.Sample(0.7f, 0.55f), 0.6f, 1e-5f);
}

TEST(ProceduralPatterns, WoodStraightLinesAndEndGrain) {
    WoodTexture wood;
    wood.ResetToDefaults();
    wood.SetValue("wander", 0.0f);
    wood.SetValue("fibre", 0.0f);
    // Horizontal board, no figure or fibre: the saw of 12 v, the same for every u.
    for (float v : {0.03f, 0.26f, 0.51f, 0.77f}) {
        const float expected = Wave(12.0f * v, 1);
        for (float u : {0.1f, 0.4f, 0.9f}) EXPECT_NEAR(wood.Sample(u, v), expected, 1e-5f);
    }
    wood.SetValue("direction", 1.0f);
    EXPECT_NEAR(wood.Sample(0.26f, 0.9f), Wave(12.0f * 0.26f, 1), 1e-5f);

    // End grain: rings round the tile's centre, n of them to an edge's midpoint.
    wood.SetValue("direction", 2.0f);
    wood.SetValue("profile", 0.0f);
    EXPECT_NEAR(wood.Sample(0.5f, 0.5f), 0.0f, 1e-6f);
    EXPECT_NEAR(wood.Sample(0.5f + 1.0f / 48.0f, 0.5f), 1.0f, 1e-4f);  // half a ring out: the sine's top
    EXPECT_NEAR(wood.Sample(0.5f, 0.5f - 1.0f / 24.0f), 0.0f, 1e-4f);
    // Periodic only over the range the renderer uses.
    EXPECT_NEAR(wood.Sample(-0.3f, 0.2f), wood.Sample(0.7f, 0.2f), 1e-4f);
    EXPECT_NEAR(wood.Sample(1.2f, 1.4f), wood.Sample(0.2f, 0.4f), 1e-4f);
}

TEST(ProceduralPatterns, WeaveThreadCountsAndCrossings) {
    WeaveTexture weave;
    weave.ResetToDefaults();
    // v = 0.01 lies in the groove of the threads running along u, so only the
    // other family shows, with one groove per thread.
    const auto threads = [&](float count, float floats) {
        weave.SetValue("threads", count);
        weave.SetValue("float", floats);
        return CountZeroRuns([&](float u) { return weave.Sample(u, 0.01f); });
    };
    EXPECT_EQ(threads(6, 1), 6);
    EXPECT_EQ(threads(7, 2), 8);
    EXPECT_EQ(threads(7, 1), 8);
    EXPECT_EQ(threads(9, 3), 12);

    // Crossing 0: over and under at the same height, flat-topped threads, so
    // everything off the grooves is one height.
    weave.ResetToDefaults();
    weave.SetValue("crossing", 0.0f);
    weave.SetValue("contrast", 1.0f);
    std::mt19937 rng(3);
    for (int i = 0; i < 200; ++i) {
        const float h = weave.Sample(GridCoordinate(rng), GridCoordinate(rng));
        EXPECT_TRUE(h == 0.0f || h == 1.0f) << h;
    }
    // Gap 0 leaves no groove: nothing is at the floor.
    weave.SetValue("gap", 0.0f);
    weave.SetValue("crossing", 0.9f);
    for (int i = 0; i < 200; ++i)
        EXPECT_GT(weave.Sample(GridCoordinate(rng) + 1e-3f, GridCoordinate(rng) + 1e-3f), 0.0f);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
