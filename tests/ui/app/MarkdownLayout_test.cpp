// The Markdown engine with a fixed-width measurer, so every width, line break
// and height below is worked out by hand: each character is as wide as its
// font's advance, and a line is its font's height plus leading.
#include "ui/app/MarkdownLayout.h"
#include "ui/app/MarkdownSelection.h"
#include "ui/framework/Dpi.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace ridgeforge {
namespace {

class FixedMeasurer : public MarkdownMeasurer {
public:
    // Regular, Bold, Italic, BoldItalic, Code, Heading1, Heading2, Heading3.
    static constexpr std::array<int, 8> kAdvance = {10, 12, 10, 12, 8, 20, 16, 14};
    static constexpr std::array<int, 8> kHeight = {18, 18, 18, 18, 16, 34, 29, 23};
    static constexpr std::array<int, 8> kLeading = {2, 2, 2, 2, 0, 0, 0, 0};

    int TextWidth(MarkdownFont font, std::wstring_view text) override {
        return static_cast<int>(text.size()) * kAdvance[static_cast<int>(font)];
    }
    FontMetrics Metrics(MarkdownFont font) override {
        return {kHeight[static_cast<int>(font)], kLeading[static_cast<int>(font)]};
    }
};

// Left margin 14, scroll bar 17, right margin 10: the wrap limit is width - 27.
MarkdownLayoutInput InputForLimit(int wrapLimit, int dpi = 96) {
    MarkdownLayoutInput input;
    input.scrollBarWidth = 17;
    input.dpi = dpi;
    input.bodyLineHeight = 20;
    input.clientWidth = wrapLimit + 17 + ui::ScaleDip(10, static_cast<unsigned>(dpi));
    return input;
}

MarkdownLayout Lay(std::wstring_view text, int wrapLimit = 2000, int dpi = 96) {
    FixedMeasurer measurer;
    return LayOutMarkdown(text, InputForLimit(wrapLimit, dpi), measurer);
}

std::vector<std::wstring> PlainTexts(const MarkdownLayout& layout) {
    std::vector<std::wstring> texts;
    for (const FormattedLine& line : layout.lines) texts.push_back(line.plainText);
    return texts;
}

TEST(MarkdownNormalize, JoinsParagraphsQuotesAndItemsAndKeepsBlocks) {
    const std::wstring source =
        L"para one\n  line two\n\n# Head\n- item\n  cont\n  - nested\n> q1\n>   q2  \n+ plus\n- - -\n"
        L"```\na\n\nb\n```\n";
    EXPECT_EQ(NormalizeMarkdown(source),
              L"para one line two\n\n# Head\n- item cont\n- nested\n> q1   q2\n+ plus\n- - -\n```\na\n\nb\n```");
    // Carriage returns go; a final paragraph is closed by a line feed.
    EXPECT_EQ(NormalizeMarkdown(L"x\r\ny\r\n"), L"x y\n");
    // A rule and a table row stand alone and stay as typed; a paragraph after
    // a list item joins the item.
    EXPECT_EQ(NormalizeMarkdown(L"a\n***\n |x|\n1. one\ntwo"), L"a\n***\n |x|\n1. one two\n");
    // Inside a fence nothing is joined, even after an info word.
    EXPECT_EQ(NormalizeMarkdown(L"```cpp\nx\ny\n```\nz"), L"```cpp\nx\ny\n```\nz\n");
}

TEST(MarkdownInline, SplitsRunsAndShowsUnmatchedMarkersAsTyped) {
    const std::vector<TextSegment> runs = ParseInlineMarkup(L"x *it* y `c d` **b** z*w");
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(runs[0].text, L"x ");
    EXPECT_TRUE(runs[1].italic && !runs[1].bold && runs[1].text == L"it");
    EXPECT_EQ(runs[2].text, L" y ");
    EXPECT_TRUE(runs[3].code && !runs[3].italic && runs[3].text == L"c d");
    EXPECT_EQ(runs[4].text, L" ");
    EXPECT_TRUE(runs[5].bold && runs[5].text == L"b");
    EXPECT_EQ(runs[6].text, L" z");
    EXPECT_TRUE(!runs[7].italic && runs[7].text == L"*w");

    const std::vector<TextSegment> bold = ParseInlineMarkup(L"**a*b**");
    ASSERT_EQ(bold.size(), 1u);
    EXPECT_TRUE(bold[0].bold && !bold[0].italic);
    EXPECT_EQ(bold[0].text, L"a*b");

    const std::vector<TextSegment> under = ParseInlineMarkup(L"__u__ _i_");
    ASSERT_EQ(under.size(), 3u);
    EXPECT_TRUE(under[0].bold && under[0].text == L"u");
    EXPECT_TRUE(under[2].italic && under[2].text == L"i");

    const std::vector<TextSegment> single = ParseInlineMarkup(L"a*b");
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[0].text + single[1].text, L"a*b");
    EXPECT_FALSE(single[1].italic);
}

TEST(MarkdownInline, FontFollowsHeadingThenCodeThenWeight) {
    TextSegment s;
    EXPECT_EQ(GetSegmentFont(s), MarkdownFont::Regular);
    s.italic = true;
    EXPECT_EQ(GetSegmentFont(s), MarkdownFont::Italic);
    s.bold = true;
    EXPECT_EQ(GetSegmentFont(s), MarkdownFont::BoldItalic);
    s.italic = false;
    EXPECT_EQ(GetSegmentFont(s), MarkdownFont::Bold);
    s.code = true;
    EXPECT_EQ(GetSegmentFont(s), MarkdownFont::Code);
    s.headingLevel = 2;
    EXPECT_EQ(GetSegmentFont(s), MarkdownFont::Heading2);
}

TEST(MarkdownLayout, ClassesEachKindOfLine) {
    const MarkdownLayout layout = Lay(L"# A\n#### B\n#C\n- - -\n+ x\n1. one\n---\n> # Q\n**a*b** `k`\n");
    EXPECT_EQ(PlainTexts(layout),
              (std::vector<std::wstring>{L"A", L"B", L"#C", L"\u2022 - -", L"+ x", L"1. one", L"", L"Q", L"a*b k"}));
    const auto& l = layout.lines;
    EXPECT_EQ(l[0].segments[0].headingLevel, 1);
    EXPECT_EQ(l[0].height, 34 + 4);
    EXPECT_EQ(l[1].segments[0].headingLevel, 3);
    EXPECT_EQ(l[1].height, 23 + 4);
    EXPECT_EQ(l[2].segments[0].headingLevel, 0);
    EXPECT_EQ(l[3].indent, 1);
    EXPECT_EQ(l[4].indent, 0);
    EXPECT_EQ(l[5].indent, 1);
    // Words of one style share a segment that keeps their summed width.
    ASSERT_EQ(l[5].segments.size(), 1u);
    EXPECT_EQ(l[5].segments[0].width, 60);
    EXPECT_EQ(l[5].segmentStarts, (std::vector<int>{0, 6}));
    EXPECT_TRUE(l[6].isRule);
    EXPECT_EQ(l[6].height, 20 + 8);
    EXPECT_TRUE(l[7].isQuote);
    EXPECT_EQ(l[7].indent, 1);
    EXPECT_EQ(l[7].segments[0].headingLevel, 1);
    ASSERT_EQ(l[8].segments.size(), 3u);
    EXPECT_TRUE(l[8].segments[0].bold);
    EXPECT_EQ(l[8].segments[0].width, 36);
    EXPECT_EQ(l[8].segments[1].width, 10);
    EXPECT_TRUE(l[8].segments[2].code);
    EXPECT_EQ(l[8].segments[2].width, 8);
    EXPECT_EQ(l[8].segmentStarts, (std::vector<int>{0, 3, 4, 5}));
    EXPECT_EQ(l[8].height, 20 + 4);  // bold (18 + 2) is taller than code (16)

    // Tops run from 0; the total adds the top (10) and bottom (12) margins.
    int top = 0;
    for (std::size_t i = 0; i < l.size(); ++i) {
        EXPECT_EQ(layout.lineTops[i], top);
        top += l[i].height;
    }
    EXPECT_EQ(layout.totalHeight, top + 22);
}

TEST(MarkdownLayout, HeadingsShowMarkersAsTyped) {
    const MarkdownLayout layout = Lay(L"## a **b** `c`\n### \n");
    ASSERT_EQ(layout.lines.size(), 2u);
    EXPECT_EQ(layout.lines[0].plainText, L"a **b** `c`");
    ASSERT_EQ(layout.lines[0].segments.size(), 1u);
    EXPECT_EQ(layout.lines[0].segments[0].headingLevel, 2);
    EXPECT_EQ(layout.lines[0].segments[0].width, 11 * 16);
    EXPECT_EQ(layout.lines[0].height, 29 + 4);
    // "### " loses its trailing space and is no heading: it shows as typed.
    EXPECT_EQ(layout.lines[1].plainText, L"###");
    EXPECT_EQ(layout.lines[1].segments[0].headingLevel, 0);
}

TEST(MarkdownLayout, PipeLinesWithoutSeparatorArePlainText) {
    const MarkdownLayout layout = Lay(L"a | *b*\n> x | y\n- p | q");
    EXPECT_EQ(PlainTexts(layout), (std::vector<std::wstring>{L"a | *b*", L"> x | y", L"- p | q"}));
    for (const FormattedLine& line : layout.lines) {
        EXPECT_FALSE(line.isQuote);
        EXPECT_EQ(line.indent, 0);
        for (const TextSegment& s : line.segments) EXPECT_FALSE(s.italic || s.bold || s.code);
    }
}

TEST(MarkdownLayout, BlankLinesAndCodeBlocks) {
    // A blank line between paragraphs is one body line; blank lines inside a
    // code block take nothing; code keeps its leading spaces.
    const MarkdownLayout layout = Lay(L"p1\n\np2\n```\n  x = 1\n\n\ny\n```\n");
    EXPECT_EQ(PlainTexts(layout), (std::vector<std::wstring>{L"p1", L"", L"p2", L"  x = 1", L"y"}));
    EXPECT_EQ(layout.lines[1].height, 20);
    EXPECT_TRUE(layout.lines[3].segments[0].code);
    EXPECT_EQ(layout.lines[3].height, 16 + 4);
    EXPECT_EQ(layout.lines[4].height, 16 + 4);

    // A fence with an info word opens no code block in layout: its lines are
    // paragraphs with inline markup.
    const MarkdownLayout info = Lay(L"```cpp\n*a*\nb\n```\n");
    EXPECT_EQ(PlainTexts(info), (std::vector<std::wstring>{L"`cpp", L"a", L"b"}));
    EXPECT_TRUE(info.lines[1].segments[0].italic);
    EXPECT_FALSE(info.lines[2].segments[0].code);
}

TEST(MarkdownLayout, WrapsWordsAtTheLimit) {
    // 10 px a character from x = 14: "aaa " ends at 54, "bbb " at 94.
    MarkdownLayout fits = Lay(L"aaa bbb ccc ddd", 94);
    EXPECT_EQ(PlainTexts(fits), (std::vector<std::wstring>{L"aaa bbb ", L"ccc ddd"}));
    EXPECT_FALSE(fits.lines[0].isContinuation);
    EXPECT_TRUE(fits.lines[1].isContinuation);
    EXPECT_EQ(fits.totalHeight, 24 + 24 + 10 + 12);
    EXPECT_EQ(fits.lineTops[1], 24);

    // One pixel less and "bbb " no longer fits after "aaa ".
    EXPECT_EQ(PlainTexts(Lay(L"aaa bbb ccc ddd", 93)), (std::vector<std::wstring>{L"aaa ", L"bbb ", L"ccc ddd"}));

    // A word wider than the line stands alone and overflows.
    EXPECT_EQ(PlainTexts(Lay(L"supercalifragilistic x", 94)),
              (std::vector<std::wstring>{L"supercalifragilistic ", L"x"}));

    // An item starts 20 px in, and so do its continuation lines.
    const MarkdownLayout item = Lay(L"- aaa bbb", 94);
    EXPECT_EQ(PlainTexts(item), (std::vector<std::wstring>{L"\u2022 aaa ", L"bbb"}));
    EXPECT_EQ(item.lines[1].indent, 1);
    EXPECT_TRUE(item.lines[1].isContinuation);

    // Styles survive the cut: a bold run split over two lines stays bold.
    const MarkdownLayout bold = Lay(L"**aa bb** c", 60);  // bold "aa " ends at 50, "bb" would end at 74
    ASSERT_EQ(bold.lines.size(), 2u);
    EXPECT_TRUE(bold.lines[1].segments[0].bold);
    EXPECT_EQ(bold.lines[1].plainText, L"bb c");
}

TEST(MarkdownLayout, ScalesWithDpiAndStopsWithoutRoom) {
    // At 144 dpi: left margin 21, indent 30, line padding 6, margins 15 and 18.
    const MarkdownLayout layout = Lay(L"- a", 2000, 144);
    ASSERT_EQ(layout.lines.size(), 1u);
    EXPECT_EQ(layout.lines[0].height, 20 + 6);
    EXPECT_EQ(layout.totalHeight, 26 + 15 + 18);
    EXPECT_EQ(LineStartX(layout.lines[0], 21, 144), 21 + 30);

    EXPECT_TRUE(Lay(L"").lines.empty());
    EXPECT_EQ(Lay(L"").totalHeight, 0);
    EXPECT_TRUE(Lay(L"x", 14).lines.empty());  // the limit must pass the left margin
    EXPECT_EQ(Lay(L"x", 15).lines.size(), 1u);
}

TEST(MarkdownTable, ParsesRowsAndSeparators) {
    std::vector<std::wstring> cells;
    ParseTableRow(L"  | a |  b  || c |  ", cells);
    EXPECT_EQ(cells, (std::vector<std::wstring>{L"a", L"b", L"", L"c"}));
    ParseTableRow(L"|", cells);
    EXPECT_EQ(cells, (std::vector<std::wstring>{L""}));

    EXPECT_TRUE(IsTableSeparatorRow(L"|---|:--:|--:|"));
    EXPECT_TRUE(IsTableSeparatorRow(L"- | -"));
    EXPECT_FALSE(IsTableSeparatorRow(L"---"));    // no bar
    EXPECT_FALSE(IsTableSeparatorRow(L"|:|-|"));  // nothing left between the colons
    EXPECT_FALSE(IsTableSeparatorRow(L"|-x-|"));
    EXPECT_FALSE(IsTableSeparatorRow(L"  "));
}

TEST(MarkdownTable, PadsCutsAlignsAndSizesColumns) {
    const std::wstring table = L"| Name | Value |\n|:--|--:|\n| a | 1 | extra |\n| b |\n| a b | 1 |\nafter";
    const MarkdownLayout wide = Lay(table);
    ASSERT_EQ(wide.lines.size(), 5u);
    const FormattedLine& header = wide.lines[0];
    EXPECT_TRUE(header.isTableRow && header.isHeaderRow && header.isFirstRow);
    EXPECT_EQ(header.plainText, L"Name\tValue");
    // Bold header (12 px a character) is the widest in both columns, plus 16.
    EXPECT_EQ(header.columnWidths, (std::vector<int>{48 + 16, 60 + 16}));
    EXPECT_EQ(header.columnAlignments, (std::vector<int>{0, 2}));
    EXPECT_EQ(wide.lines[1].plainText, L"a\t1");
    EXPECT_EQ(wide.lines[2].plainText, L"b\t");
    EXPECT_FALSE(wide.lines[2].isHeaderRow);
    // One text line is below the least row height (20 + 8).
    EXPECT_EQ(header.height, 28);
    EXPECT_EQ(wide.lines[3].height, 28);
    EXPECT_EQ(wide.lines[4].plainText, L"after");
    EXPECT_FALSE(wide.lines[4].isTableRow);

    // Room 130 (limit 152 - 8 - 14): the widest column gives 10 pixels.
    EXPECT_EQ(Lay(table, 152).lines[0].columnWidths, (std::vector<int>{64, 66}));
    // Room 72 cannot be reached: both columns stop at 40.
    const MarkdownLayout narrow = Lay(table, 94);
    EXPECT_EQ(narrow.lines[0].columnWidths, (std::vector<int>{40, 40}));
    // "a b" in 40 - 12 = 28 px wraps to two lines of 18: 36 + 6.
    EXPECT_EQ(narrow.lines[3].height, 42);
    EXPECT_EQ(narrow.lines[1].height, 28);
}

TEST(MarkdownTable, BreaksCellTextAtSpaces) {
    FixedMeasurer m;
    using Lines = std::vector<std::wstring_view>;
    EXPECT_EQ(BreakTextIntoLines(m, MarkdownFont::Regular, L"ab cd ef", 50), (Lines{L"ab cd", L"ef"}));
    EXPECT_EQ(BreakTextIntoLines(m, MarkdownFont::Regular, L"ab cd ef", 49), (Lines{L"ab", L"cd", L"ef"}));
    EXPECT_EQ(BreakTextIntoLines(m, MarkdownFont::Regular, L"abcdefgh", 20), (Lines{L"abcdefgh"}));
    EXPECT_TRUE(BreakTextIntoLines(m, MarkdownFont::Regular, L"", 20).empty());
}

TEST(MarkdownSelection, HitTestFindsLineAndCharacter) {
    FixedMeasurer m;
    const MarkdownLayout layout = Lay(L"aaa bbb\n\n- cc", 2000);
    // Lines: "aaa bbb" (top 0, 24), blank (24, 20), "• cc" (44, 24).
    EXPECT_EQ(HitTestMarkdown(layout, 100, -1, 14, 96, m), (TextPosition{0, 0}));
    EXPECT_EQ(HitTestMarkdown(layout, 14, 5, 14, 96, m), (TextPosition{0, 0}));
    EXPECT_EQ(HitTestMarkdown(layout, 18, 5, 14, 96, m), (TextPosition{0, 0}));   // left half of "a"
    EXPECT_EQ(HitTestMarkdown(layout, 19, 5, 14, 96, m), (TextPosition{0, 1}));   // right half
    EXPECT_EQ(HitTestMarkdown(layout, 49, 5, 14, 96, m), (TextPosition{0, 4}));   // right half of the space
    EXPECT_EQ(HitTestMarkdown(layout, 55, 23, 14, 96, m), (TextPosition{0, 4}));  // "b" in the second run
    EXPECT_EQ(HitTestMarkdown(layout, 500, 5, 14, 96, m), (TextPosition{0, 7}));
    EXPECT_EQ(HitTestMarkdown(layout, 60, 24, 14, 96, m), (TextPosition{1, 0}));
    EXPECT_EQ(HitTestMarkdown(layout, 30, 50, 14, 96, m), (TextPosition{2, 0}));  // left of the indented bullet
    EXPECT_EQ(HitTestMarkdown(layout, 56, 50, 14, 96, m), (TextPosition{2, 2}));
    EXPECT_EQ(HitTestMarkdown(layout, 0, 68, 14, 96, m), (TextPosition{2, 4}));  // below the last line

    EXPECT_EQ(CharacterX(layout.lines[0], 5, 14, m), 14 + 50);
    EXPECT_EQ(CharacterX(layout.lines[0], 7, 14, m), 14 + 70);
    EXPECT_EQ(CharacterX(layout.lines[0], 99, 14, m), 14 + 70);

    EXPECT_EQ(HitTestMarkdown(Lay(L""), 0, 0, 14, 96, m).line, -1);

    // A table row is hit whole: its left half gives 0, its right half its length.
    const MarkdownLayout table = Lay(L"|ab|cd|\n|-|-|");  // widths 24 + 16 each: 80 in all
    EXPECT_EQ(HitTestMarkdown(table, 14 + 39, 5, 14, 96, m).character, 0);
    EXPECT_EQ(HitTestMarkdown(table, 14 + 40, 5, 14, 96, m).character, 5);
}

TEST(MarkdownSelection, CopiedTextJoinsWrappedLinesAndBreaksParagraphs) {
    const MarkdownLayout layout = Lay(L"aaa bbb ccc ddd\n\nnext\n```\ncode  \n```", 94);
    ASSERT_EQ(PlainTexts(layout), (std::vector<std::wstring>{L"aaa bbb ", L"ccc ddd", L"", L"next", L"code  "}));
    MarkdownSelection selection;
    EXPECT_EQ(SelectedMarkdownText(layout.lines, selection), L"");
    selection.anchor = {3, 2};
    selection.caret = {0, 4};  // backwards drag
    EXPECT_EQ(SelectedMarkdownText(layout.lines, selection), L"bbb ccc ddd\r\n\r\nne");
    selection.anchor = {0, 0};
    selection.caret = {4, 6};
    EXPECT_EQ(SelectedMarkdownText(layout.lines, selection), L"aaa bbb ccc ddd\r\n\r\nnext\r\ncode");
    selection.caret = selection.anchor;
    EXPECT_FALSE(selection.Exists());

    const MarkdownLayout table = Lay(L"x\n|h1|h2|\n|-|-|\n|a|b|\ny");
    selection.anchor = {0, 1};
    selection.caret = {2, 1};  // inside the body row: the row comes whole
    EXPECT_EQ(SelectedMarkdownText(table.lines, selection), L"\r\nh1\th2\r\na\tb");
}

TEST(MarkdownSelection, WordRangeTakesRunsOfSpacesOrText) {
    FormattedLine line;
    line.plainText = L"ab  cd";
    EXPECT_EQ(WordRangeAt(line, 1), (std::pair{0, 2}));
    EXPECT_EQ(WordRangeAt(line, 2), (std::pair{2, 4}));
    EXPECT_EQ(WordRangeAt(line, 3), (std::pair{2, 4}));
    EXPECT_EQ(WordRangeAt(line, 50), (std::pair{4, 6}));
    line.plainText.clear();
    EXPECT_EQ(WordRangeAt(line, 0), (std::pair{0, 0}));
}

}  // namespace
}  // namespace ridgeforge
