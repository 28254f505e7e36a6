// Hit testing walks the table of line tops by halving, then the line's runs
// left to right, measuring prefixes of the run under the point until one
// reaches past it (a point in the right half of a character counts as after
// it).
#include "ui/app/MarkdownSelection.h"

#include <algorithm>

#include "ui/app/internal/MarkdownText.h"
#include "ui/framework/Dpi.h"

namespace ridgeforge {
namespace {

int TextLength(const FormattedLine& line) { return static_cast<int>(line.plainText.size()); }

// The character inside a run that a point `offset` pixels from the run's left falls on.
int CharacterInRun(const TextSegment& segment, int offset, MarkdownMeasurer& measurer) {
    const MarkdownFont font = GetSegmentFont(segment);
    const std::wstring_view text = segment.text;
    int left = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const int right = measurer.TextWidth(font, text.substr(0, k + 1));
        if (right > offset) return static_cast<int>(k) + (offset >= (left + right) / 2 ? 1 : 0);
        left = right;
    }
    return static_cast<int>(text.size());
}

int HitInLine(const FormattedLine& line, int x, int leftMargin, int dpi, MarkdownMeasurer& measurer) {
    if (line.isTableRow) {
        int rowWidth = 0;
        for (int width : line.columnWidths) rowWidth += width;
        return x < leftMargin + rowWidth / 2 ? 0 : TextLength(line);
    }
    if (line.segments.empty() || line.plainText.empty()) return 0;
    int segmentX = LineStartX(line, leftMargin, dpi);
    if (x <= segmentX) return 0;
    for (std::size_t s = 0; s < line.segments.size(); ++s) {
        const TextSegment& segment = line.segments[s];
        if (x < segmentX + segment.width) {
            const int inside = CharacterInRun(segment, x - segmentX, measurer);
            return std::clamp(line.segmentStarts[s] + inside, 0, TextLength(line));
        }
        segmentX += segment.width;
    }
    return TextLength(line);
}

}  // namespace

std::pair<TextPosition, TextPosition> MarkdownSelection::Ordered() const {
    return anchor < caret ? std::pair{anchor, caret} : std::pair{caret, anchor};
}

int LineStartX(const FormattedLine& line, int leftMargin, int dpi) {
    return leftMargin + ui::ScaleDip(20, static_cast<unsigned>(dpi)) * line.indent;
}

int CharacterX(const FormattedLine& line, int character, int startX, MarkdownMeasurer& measurer) {
    int x = startX;
    for (std::size_t s = 0; s < line.segments.size(); ++s) {
        const TextSegment& segment = line.segments[s];
        const MarkdownFont font = GetSegmentFont(segment);
        const int start = line.segmentStarts[s];
        const int length = static_cast<int>(segment.text.size());
        if (character < start + length) {
            const std::wstring_view before = std::wstring_view(segment.text).substr(0, std::max(0, character - start));
            return x + measurer.TextWidth(font, before);
        }
        x += segment.width;
    }
    return x;
}

TextPosition HitTestMarkdown(const MarkdownLayout& layout, int x, int contentY, int leftMargin, int dpi,
                             MarkdownMeasurer& measurer) {
    if (layout.lines.empty()) return {};
    if (contentY < 0) return {0, 0};
    const int last = static_cast<int>(layout.lines.size()) - 1;
    if (contentY >= layout.lineTops[last] + layout.lines[last].height) return {last, TextLength(layout.lines[last])};
    const auto above = std::upper_bound(layout.lineTops.begin(), layout.lineTops.end(), contentY);
    const int index = std::max(0, static_cast<int>(above - layout.lineTops.begin()) - 1);
    return {index, HitInLine(layout.lines[index], x, leftMargin, dpi, measurer)};
}

std::pair<int, int> WordRangeAt(const FormattedLine& line, int character) {
    const std::wstring& text = line.plainText;
    if (text.empty()) return {0, 0};
    const int length = static_cast<int>(text.size());
    const int at = std::clamp(character, 0, length - 1);
    const bool space = markdown::IsBlank(text[at]);
    int start = at;
    while (start > 0 && markdown::IsBlank(text[start - 1]) == space) --start;
    int end = at + 1;
    while (end < length && markdown::IsBlank(text[end]) == space) ++end;
    return {start, end};
}

MarkdownSelection WordSelectionAt(const std::vector<FormattedLine>& lines, TextPosition position) {
    MarkdownSelection word;
    if (position.line < 0 || position.line >= static_cast<int>(lines.size())) return word;
    const FormattedLine& line = lines[static_cast<std::size_t>(position.line)];
    if (line.plainText.empty()) return word;
    std::pair<int, int> range{0, TextLength(line)};
    if (!line.isTableRow) range = WordRangeAt(line, position.character);
    word.anchor = {position.line, range.first};
    word.caret = {position.line, range.second};
    return word;
}

std::wstring SelectedMarkdownText(const std::vector<FormattedLine>& lines, const MarkdownSelection& selection) {
    if (!selection.Exists()) return {};
    const auto [first, last] = selection.Ordered();
    std::wstring text;
    const int lastLine = std::min(last.line, static_cast<int>(lines.size()) - 1);
    for (int index = first.line; index <= lastLine; ++index) {
        const FormattedLine& line = lines[index];
        if (index > first.line && !line.isContinuation) text += L"\r\n";
        const int length = TextLength(line);
        int from = index == first.line ? first.character : 0;
        int to = index == last.line ? last.character : length;
        if (line.isTableRow) {
            from = 0;
            to = length;
        }
        from = std::clamp(from, 0, length);
        to = std::clamp(to, from, length);
        text.append(line.plainText, static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    }
    return std::wstring(markdown::TrimRight(text));
}

}  // namespace ridgeforge
