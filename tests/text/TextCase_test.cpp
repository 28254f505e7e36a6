#include "text/TextCase.h"

#include <gtest/gtest.h>

#include <clocale>

#include "text/Utf8.h"

namespace ridgeforge {
namespace {

TEST(Utf8, RoundTripAndReplacementOfBrokenInput) {
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82";  // a, e-acute, euro sign, an emoji
    const std::wstring wide = WideFromUtf8(text);
    EXPECT_EQ(wide, (std::wstring{L'a', wchar_t(0xE9), wchar_t(0x20AC), wchar_t(0x1F642)}));
    EXPECT_EQ(Utf8FromWide(wide), text);
    EXPECT_EQ(WideFromUtf8(""), L"");
    EXPECT_EQ(Utf8FromWide(L""), "");

    const std::wstring bad = {wchar_t(0xFFFD)};
    EXPECT_EQ(WideFromUtf8("\xff"), bad);
    EXPECT_EQ(WideFromUtf8("\xc0\xaf"), bad + bad);                      // overlong "/"
    EXPECT_EQ(WideFromUtf8("\xed\xa0\x80"), bad + bad + bad);            // a surrogate
    EXPECT_EQ(WideFromUtf8("\xe2\x82x"), bad + L"x");                    // cut short
    EXPECT_EQ(WideFromUtf8("\xf4\x90\x80\x80"), bad + bad + bad + bad);  // above U+10FFFF
    EXPECT_EQ(Utf8FromWide(std::wstring{wchar_t(0xD800), L'z'}), "\xef\xbf\xbdz");
}

TEST(TextCase, ComparesLowerCasedWideCharacters) {
    EXPECT_TRUE(EqualsIgnoringCase("Wood Grain.PNG", "wood grain.png"));
    EXPECT_FALSE(EqualsIgnoringCase("wood", "wood "));
    EXPECT_LT(CompareIgnoreCase("apple", "Banana"), 0);
    EXPECT_GT(CompareIgnoreCase("b", "A"), 0);
    EXPECT_LT(CompareIgnoreCase("ab", "AB c"), 0);
    EXPECT_EQ(CompareIgnoreCase("", ""), 0);
    // Ordinal after lower-casing: "_" (0x5F) sorts before "a" but after "A".
    EXPECT_LT(CompareIgnoreCase("_", "A"), 0);
    // Beyond ASCII, the C library's rule for the current locale applies.
    if (std::setlocale(LC_CTYPE, "C.UTF-8")) {
        EXPECT_TRUE(EqualsIgnoringCase("\xc3\x84pfel", "\xc3\xa4pfel"));
        std::setlocale(LC_CTYPE, "C");
    }
}

}  // namespace
}  // namespace ridgeforge
