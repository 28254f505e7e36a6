// Positions in laid-out Markdown: hitting a point, the x of a character, the
// word under a double click, and the text of a selection as it is copied.
// A position is (line, character offset in the line's plain text).
#pragma once

#include <compare>
#include <string>
#include <utility>
#include <vector>

#include "ui/app/MarkdownLayout.h"

namespace ridgeforge {

struct TextPosition {
    int line = -1;
    int character = 0;
    auto operator<=>(const TextPosition&) const = default;
};

// Anchor is where the drag began, caret where it is now; either may come first.
struct MarkdownSelection {
    TextPosition anchor;
    TextPosition caret;

    bool Exists() const { return anchor.line >= 0 && caret.line >= 0 && anchor != caret; }
    // (first, last) in reading order.
    std::pair<TextPosition, TextPosition> Ordered() const;
    void Clear() { anchor = caret = TextPosition{}; }
};

// Where a text line's first run starts: the left margin plus 20 dip per indent.
int LineStartX(const FormattedLine& line, int leftMargin, int dpi);

// The x of a character of a text line whose runs start at `startX`: its run's
// x plus the width of the run's text before it; at or past the end, the end
// of the line.
int CharacterX(const FormattedLine& line, int character, int startX, MarkdownMeasurer& measurer);

// The position under a point given in content coordinates (x from the
// window's left, y from the first line's top); line -1 when there are no lines.
TextPosition HitTestMarkdown(const MarkdownLayout& layout, int x, int contentY, int leftMargin, int dpi,
                             MarkdownMeasurer& measurer);

// [start, end) of the run of spaces or of non-spaces around the character
// (clamped to the last one); (0, 0) for a line without text.
std::pair<int, int> WordRangeAt(const FormattedLine& line, int character);

// What a double click at the position selects: a table row whole, else the
// run of spaces or non-spaces around it; nothing on a line without text.
MarkdownSelection WordSelectionAt(const std::vector<FormattedLine>& lines, TextPosition position);

// The selected text: line breaks ("\r\n") only where a new paragraph, row or
// line begins, never inside a wrapped paragraph; table rows whole, cells
// separated by tabs; trailing white space removed.
std::wstring SelectedMarkdownText(const std::vector<FormattedLine>& lines, const MarkdownSelection& selection);

}  // namespace ridgeforge
