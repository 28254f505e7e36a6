// The settings dialogs' rules, expected values from the dialogs' design.
#include "ui/dialogs/SettingsDialogRules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ridgeforge {
namespace {

// The window tests cover the cases a user reaches; these are the edges.
TEST(SettingsDialogRules, EdgesTheWindowsDoNotReach) {
    EXPECT_EQ(TestGridEntry(128), 0);
    EXPECT_EQ(TestGridEntry(0), 1);
    EXPECT_FLOAT_EQ(ClampSharpness(std::nanf("")), 1.0f);
    EXPECT_FLOAT_EQ(ClampSharpness(7.5f), 7.5f);
    EXPECT_EQ(SeamlessStatus(false, ""), "Seamless: unchanged");
    EXPECT_EQ(SeamlessStatus(false, "Unchanged"), "Seamless: unchanged");
    EXPECT_EQ(SeamlessStatus(false, "Cross-fade"), "Seamless: Cross-fade");
    EXPECT_EQ(TextureSettingsRefusal(std::nanf(""), 10.0f, 1.0f),
              "The texture width and height must both be greater than zero.");
    EXPECT_EQ(TextureSettingsRefusal(10.0f, 10.0f, 0.0f), "Gamma must be greater than zero.");
    EXPECT_FALSE(TextureSettingsRefusal(0.01f, 0.01f, 0.1f));
    EXPECT_FLOAT_EQ(LockedHeight(30.0f, 99.0f, 0.0f), 99.0f);
}

TEST(SettingsDialogRules, HistogramBinsTruncateAndClampBothEnds) {
    const std::vector<std::uint32_t> bins =
        TextureHistogram({-0.5f, 0.0f, 0.00390625f, 0.5f, 0.999f, 1.0f, 7.0f, std::nanf("")});
    ASSERT_EQ(bins.size(), 256u);
    EXPECT_EQ(bins[0], 2u);  // below 0, and 0
    EXPECT_EQ(bins[1], 1u);  // exactly 1/256
    EXPECT_EQ(bins[128], 1u);
    EXPECT_EQ(bins[255], 4u);  // 0.999, 1, 7 and NaN
}

}  // namespace
}  // namespace ridgeforge
