// The help viewer's text engine: a small Markdown subset turned into laid-out
// lines for a given width, DPI and set of fonts.
//
// Two passes. The first (NormalizeMarkdown) unwraps the source so that every
// paragraph, quote and list item is one line, and leaves headings, rules,
// table rows and fenced code lines as they are. The second (LayOutMarkdown)
// classes each line (code, table, rule, quote, heading, bullet, numbered item,
// paragraph), splits inline bold, italic and code spans into styled runs, and
// wraps the runs word by word at the width. Every measurement goes through a
// MarkdownMeasurer, so the layout runs and tests without a window.
//
// Recognised: paragraphs, headings "#" to "###" (more "#" count as three),
// "-"/"*" bullets, "1." numbered items, "> " quotes, "```" code blocks, pipe
// tables with ":" alignment, "---" rules, **bold**, *italic*, `code`. No
// nesting, links, images or HTML; anything else shows as typed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ridgeforge {

// The eight fonts of the viewer, in the order it keeps them.
enum class MarkdownFont { Regular, Bold, Italic, BoldItalic, Code, Heading1, Heading2, Heading3 };
inline constexpr int kMarkdownFontCount = 8;

// One styled run of a line.
struct TextSegment {
    std::wstring text;
    bool bold = false;
    bool italic = false;
    bool code = false;
    int headingLevel = 0;  // 0 none, 1 to 3
    int width = 0;         // pixels, the sum of its words' widths as laid out
};

// One laid-out line: a text line (segments), a table row (cells) or a rule.
// Neighbouring words of one style share a segment, so a line is drawn in as
// few pieces as it has style changes.
struct FormattedLine {
    std::vector<TextSegment> segments;  // empty for table rows, rules and blank lines
    int indent = 0;                     // 0 or 1; 20 dip per level
    int height = 0;                     // pixels
    bool isTableRow = false;
    bool isHeaderRow = false;
    bool isFirstRow = false;
    std::vector<std::wstring> cells;    // as many as the table's header
    std::vector<int> columnWidths;      // pixels
    std::vector<int> columnAlignments;  // 0 left, 1 centre, 2 right
    bool isRule = false;
    bool isQuote = false;
    std::wstring plainText;          // segments joined, or cells joined by tabs
    std::vector<int> segmentStarts;  // offset of each segment, then the text's length
    bool isContinuation = false;     // second and later lines of a wrapped paragraph
};

struct FontMetrics {
    int height = 0;           // ascent plus descent
    int externalLeading = 0;  // space the font asks for between lines
};

// Widths and heights of text in the viewer's fonts, in pixels.
class MarkdownMeasurer {
public:
    virtual ~MarkdownMeasurer() = default;
    virtual int TextWidth(MarkdownFont font, std::wstring_view text) = 0;
    virtual FontMetrics Metrics(MarkdownFont font) = 0;
};

// Inner margins in 96-dpi units.
struct MarkdownMargins {
    int left = 14;
    int top = 10;
    int right = 10;
    int bottom = 12;
};

struct MarkdownLayoutInput {
    int clientWidth = 0;     // pixels
    int scrollBarWidth = 0;  // pixels; kept free whether the bar shows or not
    MarkdownMargins margins;
    int dpi = 96;            // scales every 96-dpi size
    int bodyLineHeight = 0;  // regular font height plus leading; 16 dip when below 1
};

struct MarkdownLayout {
    std::vector<FormattedLine> lines;
    std::vector<int> lineTops;  // y of each line from 0, without the top margin
    int totalHeight = 0;        // every line plus both margins (0 when there are no lines)
};

// The font a run is drawn in: its heading size, else code, else its weight and slant.
MarkdownFont GetSegmentFont(const TextSegment& segment);

// The unwrapping pre-pass: one line per paragraph, quote and list item.
std::wstring NormalizeMarkdown(std::wstring_view markdown);

// The cells of a table row: outer "|" dropped, split at "|", each trimmed;
// at least one cell.
void ParseTableRow(std::wstring_view row, std::vector<std::wstring>& cells);

// True for a row like "| --- | :-: | --: |".
bool IsTableSeparatorRow(std::wstring_view row);

// The inline runs of a text: **bold** / __bold__, *italic* / _italic_,
// `code`, and plain text between; unmatched markers show as typed.
std::vector<TextSegment> ParseInlineMarkup(std::wstring_view text);

// Fills the line's plain text and segment starts from its segments or cells.
void BuildLinePlainText(FormattedLine& line);

// The text cut at spaces into lines no wider than `width` (a word wider than
// that stands alone), as a table cell shows it.
std::vector<std::wstring_view> BreakTextIntoLines(MarkdownMeasurer& measurer, MarkdownFont font, std::wstring_view text,
                                                  int width);

// The whole page laid out; no lines when the text is empty or leaves no room.
MarkdownLayout LayOutMarkdown(std::wstring_view markdown, const MarkdownLayoutInput& input, MarkdownMeasurer& measurer);

// The right edge text may reach: client width - scroll bar - right margin.
int MarkdownWrapLimit(const MarkdownLayoutInput& input);

}  // namespace ridgeforge
