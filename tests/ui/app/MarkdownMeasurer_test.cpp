// The help viewer's kept text widths: what the measurer answers must be what
// a device context measures for the same text and font, so that a page laid
// out from kept widths breaks its lines and places its runs exactly as one
// measured word by word on the spot, in every font and at every width.
#include <gtest/gtest.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>

#include <string>
#include <vector>

#include "ui/app/MarkdownLayout.h"
#include "ui/app/internal/MarkdownFonts.h"
#include "ui/app/internal/MarkdownMeasurer.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

constexpr MarkdownFont kAllFonts[] = {MarkdownFont::Regular,    MarkdownFont::Bold,    MarkdownFont::Italic,
                                      MarkdownFont::BoldItalic, MarkdownFont::Code,    MarkdownFont::Heading1,
                                      MarkdownFont::Heading2,   MarkdownFont::Heading3};

// Measures every text afresh on a device context, switching its font each time.
class OnTheSpotMeasurer : public MarkdownMeasurer {
public:
    OnTheSpotMeasurer(wxDC& dc, const MarkdownFontSet& fonts) : dc_(dc), fonts_(fonts) {}
    int TextWidth(MarkdownFont font, std::wstring_view text) override {
        if (text.empty()) return 0;
        dc_.SetFont(fonts_[static_cast<std::size_t>(font)]);
        ++measured;
        return dc_.GetTextExtent(wxString(text.data(), text.size())).x;
    }
    FontMetrics Metrics(MarkdownFont font) override {
        dc_.SetFont(fonts_[static_cast<std::size_t>(font)]);
        wxCoord width = 0, height = 0, descent = 0, leading = 0;
        dc_.GetTextExtent("Xg", &width, &height, &descent, &leading);
        return {height, leading};
    }
    int measured = 0;

private:
    wxDC& dc_;
    const MarkdownFontSet& fonts_;
};

// Texts whose widths are not the sum of their letters (kerning pairs,
// ligatures), with and without a trailing space, accents, symbols and a
// long word.
const std::vector<std::wstring> kWords = {
    L"Text ",      L"office ", L"AV",      L"Wa To ", L"fi",      L"x",        L"1234 ",
    L"caf\u00e9 ", L"  ",      L"\u2022 ", L"\u2192", L"LT\"y\"", L"0.25 mm ", L"Antidisestablishmentarianism",
};

TEST(MarkdownMeasurer, KeptWidthsAreTheDeviceContextsInEveryFont) {
    WxMarkdownMeasurer::ForgetAllWidths();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "measure", wxPoint(40, 30), wxSize(300, 200));
    frame->Show();
    testing::PumpEvents(100);
    {
        const MarkdownFontSet fonts = CreateMarkdownFonts(96);
        wxClientDC window(frame);
        wxBitmap bitmap(16, 16);
        wxMemoryDC memory(bitmap);
        OnTheSpotMeasurer onWindow(window, fonts);
        OnTheSpotMeasurer inMemory(memory, fonts);
        WxMarkdownMeasurer kept;
        kept.Attach(&window, &fonts);
        for (int round = 0; round < 2; ++round) {  // measured, then kept
            for (MarkdownFont font : kAllFonts) {
                for (const std::wstring& word : kWords) {
                    SCOPED_TRACE(::testing::Message() << "font " << static_cast<int>(font) << " round " << round);
                    const int expected = onWindow.TextWidth(font, word);
                    EXPECT_GT(expected, 0);
                    EXPECT_EQ(inMemory.TextWidth(font, word), expected);
                    EXPECT_EQ(kept.TextWidth(font, word), expected);
                }
            }
        }
        // Nothing attached measures nothing, kept or not.
        kept.Attach(nullptr, nullptr);
        EXPECT_EQ(kept.TextWidth(MarkdownFont::Regular, L"Text "), 0);
    }
    frame->Destroy();
    testing::PumpEvents(50);
}

void ExpectSameLayout(const MarkdownLayout& actual, const MarkdownLayout& expected) {
    ASSERT_EQ(actual.lines.size(), expected.lines.size());
    EXPECT_EQ(actual.lineTops, expected.lineTops);
    EXPECT_EQ(actual.totalHeight, expected.totalHeight);
    for (std::size_t i = 0; i < expected.lines.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "line " << i);
        const FormattedLine& a = actual.lines[i];
        const FormattedLine& e = expected.lines[i];
        EXPECT_EQ(a.plainText, e.plainText);
        EXPECT_EQ(a.segmentStarts, e.segmentStarts);
        EXPECT_EQ(a.height, e.height);
        EXPECT_EQ(a.isContinuation, e.isContinuation);
        EXPECT_EQ(a.columnWidths, e.columnWidths);
        ASSERT_EQ(a.segments.size(), e.segments.size());
        for (std::size_t s = 0; s < e.segments.size(); ++s) {
            EXPECT_EQ(GetSegmentFont(a.segments[s]), GetSegmentFont(e.segments[s]));
            EXPECT_EQ(a.segments[s].width, e.segments[s].width);
        }
    }
}

// Every font of the viewer on one page: three heading sizes, bold, italic,
// code spans and a code block, items, a quote and a table.
const std::wstring kPage =
    L"# Relief depth\n"
    L"The **relief** is pushed *along the normal* by `depth x value`; AVAWAY office fittings, "
    L"caf\u00e9 tables and To-do lists wrap here.\n"
    L"\n"
    L"## Edges\n"
    L"- Sharp edges keep a **band of 0.5 mm** without texture, so that the `base` stays flat.\n"
    L"- A **Wide** band looks *softer* on rounded parts.\n"
    L"1. First step with `code` and **bold** and plain words that wrap again and again.\n"
    L"### Notes\n"
    L"> Quoted text that is long enough to wrap onto a second line in the help column.\n"
    L"\n"
    L"```\n"
    L"depth = 0.8 mm; Wa fi AV\n"
    L"```\n"
    L"\n"
    L"| Setting | Value |\n"
    L"|:--|--:|\n"
    L"| Depth of the relief in millimetres | 0.8 |\n"
    L"| Wave | AVAWAY |\n";

TEST(MarkdownMeasurer, KeptWidthsLayOutAPageExactlyAsMeasuringOnTheSpot) {
    WxMarkdownMeasurer::ForgetAllWidths();
    const MarkdownFontSet fonts = CreateMarkdownFonts(96);
    wxBitmap bitmap(16, 16);
    wxMemoryDC dc(bitmap);
    OnTheSpotMeasurer onTheSpot(dc, fonts);
    WxMarkdownMeasurer kept;
    kept.Attach(&dc, &fonts);

    MarkdownLayoutInput input;
    input.scrollBarWidth = 14;
    input.margins = {10, 8, 10, 8};
    input.bodyLineHeight =
        onTheSpot.Metrics(MarkdownFont::Regular).height + onTheSpot.Metrics(MarkdownFont::Regular).externalLeading;
    // The first width measures, the later ones (a resized column) find every
    // word kept; the narrow one breaks most lines at other words.
    for (int width : {420, 250, 330, 180}) {
        SCOPED_TRACE(::testing::Message() << "width " << width);
        input.clientWidth = width;
        const MarkdownLayout expected = LayOutMarkdown(kPage, input, onTheSpot);
        ExpectSameLayout(LayOutMarkdown(kPage, input, kept), expected);
        int continuations = 0;
        for (const FormattedLine& line : expected.lines) continuations += line.isContinuation ? 1 : 0;
        EXPECT_GE(continuations, 4);
    }

    // A new viewer (fonts made again, its own measurer) takes the kept widths
    // and lays out the same page without a measurement of its own.
    const MarkdownFontSet again = CreateMarkdownFonts(96);
    WxMarkdownMeasurer second;
    wxBitmap otherBitmap(16, 16);
    wxMemoryDC otherDc(otherBitmap);
    second.Attach(&otherDc, &again);
    input.clientWidth = 250;
    onTheSpot.measured = 0;
    ExpectSameLayout(LayOutMarkdown(kPage, input, second), LayOutMarkdown(kPage, input, onTheSpot));
    EXPECT_GT(onTheSpot.measured, 100);
}

TEST(MarkdownMeasurer, FontsForAnotherDpiAreMeasuredAfresh) {
    WxMarkdownMeasurer::ForgetAllWidths();
    wxBitmap bitmap(16, 16);
    wxMemoryDC dc(bitmap);
    MarkdownFontSet fonts = CreateMarkdownFonts(96);
    WxMarkdownMeasurer kept;
    kept.Attach(&dc, &fonts);
    const int at96 = kept.TextWidth(MarkdownFont::Bold, L"Antidisestablishmentarianism");

    // As the viewer does on a DPI change: the same font set, made again larger.
    fonts = CreateMarkdownFonts(144);
    kept.Reset();
    kept.Attach(&dc, &fonts);
    OnTheSpotMeasurer onTheSpot(dc, fonts);
    for (MarkdownFont font : kAllFonts) {
        for (const std::wstring& word : kWords)
            EXPECT_EQ(kept.TextWidth(font, word), onTheSpot.TextWidth(font, word)) << static_cast<int>(font);
    }
    const int at144 = kept.TextWidth(MarkdownFont::Bold, L"Antidisestablishmentarianism");
    EXPECT_GT(at144, at96 * 13 / 10);
    EXPECT_LT(at144, at96 * 17 / 10);
}

}  // namespace
}  // namespace ridgeforge
