// The wording rules of the log: kinds, labelled counts, highlights and wrapping.
#include "ui/app/LogHighlights.h"
#include "ui/app/LogLayout.h"
#include "ui/app/LogLineRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ridgeforge {
namespace {

using H = HighlightKind;

TEST(LogLineRules, KindsFollowTheRuleOrder) {
    struct Case {
        const wchar_t* line;
        LogKind kind;
    };
    const std::vector<Case> cases{
        {L"", LogKind::Plain},
        {L"    ", LogKind::Plain},
        {L"Open edges: 0", LogKind::Plain},
        {L"Open edges: 3", LogKind::Warning},
        {L"  Boundary edges: 0,012", LogKind::Warning},
        {L"Non-manifold edges: 12, open edges: 0", LogKind::Warning},
        {L"Degenerate triangles: 0", LogKind::Plain},
        {L"Self-intersecting triangles: 1,024", LogKind::Warning},
        {L"Validation: no problems found", LogKind::Good},
        {L"Validation: 2 problems found", LogKind::Warning},
        {L"1 problem found", LogKind::Warning},
        // The only "warning" is inside the exception; no later rule matches.
        {L"Layer 12 is 0.5 mm short of the warning distance", LogKind::Plain},
        // The exception spoils the whole line, not one occurrence; a later rule still applies.
        {L"Short of the warning, support needed", LogKind::Warning},
        {L"A warning about the seam", LogKind::Warning},
        {L"WARNING in capitals", LogKind::Warning},
        {L"Saved C:\\a\\b.stl", LogKind::Good},
        {L"  saved after leading spaces", LogKind::Good},
        {L"Unsaved changes", LogKind::Plain},
        {L"Exported 3 files", LogKind::Good},
        {L"All checks passed", LogKind::Good},
        {L"The part prints without support", LogKind::Good},
        {L"Error: the file is empty", LogKind::Error},
        {L"Refused: no part", LogKind::Error},
        {L"The remesh refused to run", LogKind::Error},
        {L"Export failed: no problems found", LogKind::Error},
        {L"Saved, but the copy could not be made", LogKind::Error},
        {L"Saved with a warning", LogKind::Warning},
        {L"Stopped. The part is as it was.", LogKind::Warning},
        {L"The search stopped early", LogKind::Warning},
        {L"3 feature(s) in the air", LogKind::Warning},
        {L"Displacement needs a texture: load one", LogKind::Warning},
        {L"Triangles over the limit", LogKind::Error},
        {L"Everything else is plain", LogKind::Plain},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyLogLine(c.line), c.kind) << std::wstring(c.line).size();
}

TEST(LogLineRules, CountAfterLabel) {
    EXPECT_TRUE(CountAfterLabelIsNonZero(L"edges: 1,024", L"edges:"));
    EXPECT_TRUE(CountAfterLabelIsNonZero(L"edges: 0,012", L"edges:"));
    EXPECT_TRUE(CountAfterLabelIsNonZero(L"edges:    7 more", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges: 0", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges: 0,000", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges:0", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges: 0.5", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges: 00 then 5", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges: x7", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges:   ", L"edges:"));
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"no label here 5", L"edges:"));
    // Only the first occurrence counts.
    EXPECT_FALSE(CountAfterLabelIsNonZero(L"edges: 0, edges: 5", L"edges:"));
}

std::vector<LogHighlight> Runs(std::initializer_list<std::tuple<int, int, H>> runs) {
    std::vector<LogHighlight> out;
    for (const auto& [start, length, kind] : runs) out.push_back({start, length, kind});
    return out;
}

TEST(LogHighlights, LabelsNumbersAndUnits) {
    EXPECT_TRUE(FindLogHighlights(L"").empty());
    EXPECT_EQ(FindLogHighlights(L"Open edges: 3"), Runs({{0, 10, H::Label}, {10, 2, H::Plain}, {12, 1, H::Number}}));
    EXPECT_EQ(FindLogHighlights(L"12.5 mm"), Runs({{0, 7, H::Number}}));
    EXPECT_EQ(FindLogHighlights(L"x2y"), Runs({{0, 3, H::Plain}}));
    EXPECT_EQ(FindLogHighlights(L"v1.2 2nd"), Runs({{0, 8, H::Plain}}));
    // Groups of three, a sign after a space, percent, a unit stuck to the digits.
    EXPECT_EQ(FindLogHighlights(L"1,234,567 tris -0.5 mm 40% 12ms"), Runs({{0, 9, H::Number},
                                                                           {9, 6, H::Plain},
                                                                           {15, 7, H::Number},
                                                                           {22, 1, H::Plain},
                                                                           {23, 3, H::Number},
                                                                           {26, 1, H::Plain},
                                                                           {27, 4, H::Number}}));
    // A broken group ends the number; "a-5" has no sign, but 5 is a number.
    EXPECT_EQ(FindLogHighlights(L"1,2345 a-5"),
              Runs({{0, 1, H::Number}, {1, 1, H::Plain}, {2, 4, H::Number}, {6, 3, H::Plain}, {9, 1, H::Number}}));
    EXPECT_EQ(FindLogHighlights(L"2.5e-3 mm\u00B2 90\u00B0"),
              Runs({{0, 10, H::Number}, {10, 1, H::Plain}, {11, 3, H::Number}}));
    // A word after the space that is not a unit leaves the number alone.
    EXPECT_EQ(FindLogHighlights(L"3 edges"), Runs({{0, 1, H::Number}, {1, 6, H::Plain}}));
}

TEST(LogHighlights, LabelLimits) {
    // No label: a bracket, a digit, a ':' inside a word, a digit first, too long.
    EXPECT_EQ(FindLogHighlights(L"Note (a): x")[0].kind, H::Plain);
    EXPECT_EQ(FindLogHighlights(L"Pass 2: x")[0], (LogHighlight{0, 5, H::Plain}));
    EXPECT_EQ(FindLogHighlights(L"Ratio:5"), Runs({{0, 6, H::Plain}, {6, 1, H::Number}}));
    EXPECT_EQ(FindLogHighlights(L"3 items: 4")[0], (LogHighlight{0, 1, H::Number}));
    const std::wstring longest(48, L'a');
    EXPECT_EQ(FindLogHighlights(L"  " + longest + L":")[1], (LogHighlight{2, 48, H::Label}));
    EXPECT_EQ(FindLogHighlights(L"  " + longest + L"a:"), Runs({{0, 52, H::Plain}}));
    // Numbers before the label's ':' are not searched.
    EXPECT_EQ(FindLogHighlights(L"Size: 4"), Runs({{0, 4, H::Label}, {4, 2, H::Plain}, {6, 1, H::Number}}));
}

TEST(LogHighlights, PathsRunToTheEndWithoutNumbers) {
    EXPECT_EQ(FindLogHighlights(L"Saved C:\\a\\b.stl"), Runs({{0, 6, H::Plain}, {6, 10, H::Path}}));
    EXPECT_EQ(FindLogHighlights(L"Saved /parts/b2.stl"), Runs({{0, 6, H::Plain}, {6, 13, H::Path}}));
    EXPECT_EQ(FindLogHighlights(L"3 in (d:/x 2.txt"), Runs({{0, 1, H::Number}, {1, 5, H::Plain}, {6, 10, H::Path}}));
    EXPECT_EQ(FindLogHighlights(L"File: '/tmp/a 1.txt'"), Runs({{0, 4, H::Label}, {4, 3, H::Plain}, {7, 13, H::Path}}));
    EXPECT_EQ(FindLogHighlights(L"/"), Runs({{0, 1, H::Plain}}));
    EXPECT_EQ(FindLogHighlights(L"/a"), Runs({{0, 2, H::Path}}));
    // Not paths: a drive letter inside a word, a slash inside a word or before a space.
    EXPECT_EQ(FindLogHighlights(L"xC:\\a and/or 1/2 / 3"), Runs({{0, 13, H::Plain},
                                                                 {13, 1, H::Number},
                                                                 {14, 1, H::Plain},
                                                                 {15, 1, H::Number},
                                                                 {16, 3, H::Plain},
                                                                 {19, 1, H::Number}}));
}

// Every character 10 pixels wide.
std::vector<int> FixedWidths(std::wstring_view text) {
    std::vector<int> widths(text.size());
    for (std::size_t i = 0; i < widths.size(); ++i) widths[i] = 10 * static_cast<int>(i + 1);
    return widths;
}

std::vector<ui::TextSegment> Segments(std::initializer_list<std::pair<int, int>> segments) {
    std::vector<ui::TextSegment> out;
    for (const auto& [start, length] : segments) out.push_back({start, length});
    return out;
}

TEST(LogLayout, WrapsWithAHangingIndent) {
    LogListMetrics metrics;  // margin 6, bar 3, indent 14, line 16
    metrics.continuationIndent = 16;
    // 133 - 12 - 3 = 118 pixels: 11 characters on the first line, 10 after it.
    const int client = 133;
    auto lay = [&](std::wstring_view text) { return LayOutLogLine(text, FixedWidths(text), client, metrics); };

    EXPECT_EQ(lay(L"abcdefghijk").segments, Segments({{0, 11}}));
    EXPECT_EQ(lay(L"abcdefghijk").height, 18);
    EXPECT_EQ(lay(L"").segments, Segments({{0, 0}}));
    // Breaks at the last space that fits; the space is dropped.
    EXPECT_EQ(lay(L"aaaa bbbb cccc dddd").segments, Segments({{0, 9}, {10, 9}}));
    EXPECT_EQ(lay(L"aaaa bbbb cccc dddd").height, 34);
    // A space just past the fitting characters still breaks there; spaces before the next line go.
    EXPECT_EQ(lay(L"aaaaaaaaaaa   bbb").segments, Segments({{0, 11}, {14, 3}}));
    // A word too long for a line is cut where it stops fitting.
    EXPECT_EQ(lay(L"abcdefghijklmnopqrstuvwxyz").segments, Segments({{0, 11}, {11, 10}, {21, 5}}));
    // Leading spaces deepen the indent of continuation lines: 118 - 16 - 40 = 62 pixels.
    const LogLineLayout indented = lay(L"    aaaa bbbb cccc dddd eeee");
    EXPECT_EQ(indented.leadingWidth, 40);
    EXPECT_EQ(indented.segments, Segments({{0, 8}, {9, 4}, {14, 4}, {19, 4}, {24, 4}}));
    // ... but continuation lines keep a third of the width (39 pixels: 3 characters).
    const LogLineLayout deep = lay(std::wstring(8, L' ') + L"ab cdefghijklm");
    EXPECT_EQ(deep.segments, Segments({{0, 10}, {11, 3}, {14, 3}, {17, 3}, {20, 2}}));
    // A narrow list still wraps at 40 pixels (continuation lines: 40 - 16).
    const std::wstring narrow = L"abcdefgh";
    EXPECT_EQ(LayOutLogLine(narrow, FixedWidths(narrow), 20, metrics).segments, Segments({{0, 4}, {4, 2}, {6, 2}}));
    // A very long line stops at the list's item limit.
    const std::wstring huge(2000, L'w');
    EXPECT_EQ(LayOutLogLine(huge, FixedWidths(huge), client, metrics).height, kMaximumLogItemHeight);
}

}  // namespace
}  // namespace ridgeforge
