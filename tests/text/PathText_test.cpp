#include "text/PathText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/NamesAbroad.h"
#include "tests/support/TestSupport.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

bool ValidUtf8(const std::string& text) { return Utf8FromWide(WideFromUtf8(text)) == text; }

// Every name comes back as the same bytes, through the wide form and through
// the UTF-8 text of lists and projects, under either locale, and names the
// same file on the disk.
TEST(PathText, EveryNameSurvivesTheTripUnderEitherLocale) {
    for (const char* locale : test::LocalesAbroad()) {
        const test::ScopedLocale scoped(locale);
        ASSERT_TRUE(scoped.Ok()) << locale;
        test::TempDir dir("pathtext");
        for (const std::string& stem : test::NamesAbroad()) {
            SCOPED_TRACE(std::string(locale) + " " + stem);
            const std::filesystem::path file = dir.Path() / (stem + ".stl");
            std::ofstream(file) << "x";
            const std::wstring wide = WideFromPath(file);
            EXPECT_EQ(PathFromWide(wide).native(), file.native());
            const std::string utf8 = Utf8FromPath(file);
            EXPECT_TRUE(ValidUtf8(utf8));
            EXPECT_EQ(PathFromUtf8(utf8).native(), file.native());
            EXPECT_TRUE(std::filesystem::is_regular_file(PathFromWide(wide)));
        }
    }
}

TEST(PathText, UnicodeNamesReadAsTheirLettersAndOtherBytesAsEscapes) {
    EXPECT_EQ(WideFromPath("caf\xc3\xa9.stl"), std::wstring(L"caf") + wchar_t(0xE9) + L".stl");
    EXPECT_EQ(WideFromPath("\xf0\x9f\xa6\x8a"), std::wstring(1, wchar_t(0x1F98A)));
    EXPECT_EQ(PathFromWide(std::wstring(1, wchar_t(0x4E01))).native(), "\xe4\xb8\x81");
    // A byte outside any sequence: U+100000 + the byte, as wx's file names.
    EXPECT_EQ(WideFromPath("caf\xe9"), std::wstring(L"caf") + wchar_t(0x1000E9));
    EXPECT_EQ(PathFromWide(std::wstring(L"caf") + wchar_t(0x1000E9)).native(), "caf\xe9");
    // A cut sequence keeps each of its bytes; the byte that cut it reads anew.
    EXPECT_EQ(WideFromPath("\xe2\x82x"), (std::wstring{wchar_t(0x1000E2), wchar_t(0x100082), L'x'}));
    // An overlong form and a surrogate are bytes too.
    EXPECT_EQ(PathFromWide(WideFromPath("\xc0\xaf\xed\xa0\x80")).native(), "\xc0\xaf\xed\xa0\x80");
    // A valid spelling of an escape character is kept as its four bytes, not
    // taken for the byte it would stand for.
    const std::string spelled = "\xf4\x80\x83\xa9";  // U+1000E9 itself
    EXPECT_EQ(WideFromPath(spelled).size(), 4u);
    EXPECT_EQ(PathFromWide(WideFromPath(spelled)).native(), spelled);
    // Plain text keeps the common replacement for broken input.
    EXPECT_EQ(WideFromUtf8("caf\xe9"), std::wstring(L"caf") + wchar_t(0xFFFD));
    // Shown, an escaped byte is the usual sign of what could not be read.
    EXPECT_EQ(ShownName(WideFromPath("caf\xe9 \xc3\xa9")),
              std::wstring(L"caf") + wchar_t(0xFFFD) + L" " + wchar_t(0xE9));
    EXPECT_EQ(WideFromPath(""), L"");
    EXPECT_TRUE(PathFromWide(L"").empty());
}

}  // namespace
}  // namespace ridgeforge
