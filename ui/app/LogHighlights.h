// Splits a log line into runs to colour: a leading label ("Open edges"), the
// numbers with their units ("12.5 mm", "1,024", "40%"), and a file path that
// runs to the end of the line. Every character belongs to exactly one run.
//
// The label is the text before the first ':' when it starts with a letter,
// is short, holds no digit, bracket or slash, and the ':' ends a word. A path
// starts at a drive letter ("C:\", "d:/") or at a '/' that opens a word (at
// the start, after a space, '(' or a quote); nothing inside it counts as a
// number. A number starts only at a word boundary, so "x2y" and "v1.2.3"'s
// inner digits stay plain; letters stuck to a number make it plain unless
// they are a known unit.
#pragma once

#include <string_view>
#include <vector>

namespace ridgeforge {

enum class HighlightKind : int { Plain = 0, Label = 1, Number = 2, Path = 3 };

struct LogHighlight {
    int start = 0;
    int length = 0;
    HighlightKind kind = HighlightKind::Plain;
    bool operator==(const LogHighlight&) const = default;
};

// Runs in order of position, covering the whole text; none for an empty text.
std::vector<LogHighlight> FindLogHighlights(std::wstring_view text);

}  // namespace ridgeforge
