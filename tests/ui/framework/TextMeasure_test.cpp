// Word wrapping over measured widths, with a fixed-width measure and with the
// screen's fonts.
#include "ui/framework/TextMeasure.h"

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/font.h>

#include <algorithm>
#include <string_view>

namespace ridgeforge::ui {
namespace {

class FixedMeasure final : public TextMeasure {
public:
    void PrefixWidths(std::wstring_view text, std::vector<int>& widths) const override {
        widths.resize(text.size());
        for (std::size_t i = 0; i < widths.size(); ++i) widths[i] = 10 * static_cast<int>(i + 1);
    }
    int LineHeight() const override { return 15; }
};

TEST(TextMeasure, CountsWrappedLinesPerParagraph) {
    const FixedMeasure measure;
    // 40 pixels: four characters a line.
    EXPECT_EQ(CountWrappedLines(L"", 40, measure), 1);
    EXPECT_EQ(CountWrappedLines(L"abcd", 40, measure), 1);
    EXPECT_EQ(CountWrappedLines(L"abcde", 40, measure), 2);
    EXPECT_EQ(CountWrappedLines(L"a\nbb\r\n\nccc ddd", 40, measure), 5);
    EXPECT_EQ(CountWrappedLines(L"x\n", 40, measure), 2);
    EXPECT_EQ(CountWrappedLines(L"ab cd ef gh", 40, measure), 4);
    EXPECT_EQ(CountWrappedLines(L"ab c ef gh", 40, measure), 3);
}

TEST(TextMeasure, CharacterSumsNeverFallShortOfTheLaidOutWidth) {
    wxBitmap bitmap(1, 1);
    wxMemoryDC dc(bitmap);
    const wxFont font(wxFontInfo(9).FaceName("DejaVu Sans"));
    const DcTextMeasure exact(dc, font);
    CharWidthMeasure sums;
    sums.SetFont(font);
    EXPECT_EQ(sums.LineHeight(), exact.LineHeight());
    std::vector<int> laidOut, summed;
    for (const std::wstring_view text : {std::wstring_view(L"AVATAR Tea, WAVE To 12.5 mm² Fläche"),
                                         std::wstring_view(L"iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii"),
                                         std::wstring_view(L"Saved /home/user/parts/bracket v2 textured.stl")}) {
        exact.PrefixWidths(text, laidOut);
        sums.PrefixWidths(text, summed);
        ASSERT_EQ(summed.size(), text.size());
        // Kerning only narrows the laid-out text (a few pixels where capitals
        // pair up); rounding may lose a pixel.
        EXPECT_GE(summed.back(), laidOut.back() - 1);
        EXPECT_LE(summed.back(), laidOut.back() * 11 / 10 + 2);
        EXPECT_TRUE(std::is_sorted(summed.begin(), summed.end()));
    }
}

}  // namespace
}  // namespace ridgeforge::ui
