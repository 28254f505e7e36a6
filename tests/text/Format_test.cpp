#include "text/Format.h"

#include <gtest/gtest.h>

TEST(Format, CountsMillimetresAndDimensions) {
    using namespace ridgeforge;
    EXPECT_EQ(FormatCount(0), "0");
    EXPECT_EQ(FormatCount(999), "999");
    EXPECT_EQ(FormatCount(1000), "1,000");
    EXPECT_EQ(FormatCount(12345678), "12,345,678");
    EXPECT_EQ(FormatCount(18446744073709551615ull), "18,446,744,073,709,551,615");
    EXPECT_EQ(FormatMillimetres(3.14159f), "3.14");
    EXPECT_EQ(FormatDimensions(12, 3.5f, 7.25f), "12.00 x 3.50 x 7.25 mm");
}
