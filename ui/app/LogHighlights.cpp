// One pass over the line: the label first, then where a path begins, then
// numbers (with sign, thousands groups, decimals, exponent and unit) before it.
#include "ui/app/LogHighlights.h"

#include <algorithm>
#include <array>

namespace ridgeforge {
namespace {

constexpr wchar_t kNone = 0;
constexpr wchar_t kSquared = 0x00B2;
constexpr wchar_t kCubed = 0x00B3;
constexpr wchar_t kMicro = 0x00B5;
constexpr wchar_t kDegree = 0x00B0;

constexpr std::array<std::wstring_view, 18> kUnits{L"mm",      L"mm2", L"mm\u00B2", L"mm3", L"mm\u00B3", L"cm",
                                                   L"\u00B5m", L"um",  L"ms",       L"s",   L"px",       L"deg",
                                                   L"MB",      L"KB",  L"kB",       L"GB",  L"fps",      L"x"};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Letters of the scripts the program's texts and file names use: ASCII, the
// Latin supplements and extensions, Greek and Cyrillic.
bool IsLetter(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')) return true;
    if (c == 0x00AA || c == kMicro || c == 0x00BA) return true;
    if (c >= 0x00C0 && c <= 0x024F) return c != 0x00D7 && c != 0x00F7;
    return (c >= 0x0370 && c <= 0x03FF && c != 0x037E && c != 0x0387) || (c >= 0x0400 && c <= 0x052F);
}

// Collects the marked runs in order of position and fills the gaps between
// them with plain runs. Label, numbers and path are found in that order, and
// each lies after the one before, so no sorting is needed.
class RunBuilder {
public:
    void Mark(std::size_t start, std::size_t end, HighlightKind kind) {
        if (start > at_) runs_.push_back({static_cast<int>(at_), static_cast<int>(start - at_), HighlightKind::Plain});
        runs_.push_back({static_cast<int>(start), static_cast<int>(end - start), kind});
        at_ = end;
    }
    std::vector<LogHighlight> Finish(std::size_t length) {
        if (length > at_)
            runs_.push_back({static_cast<int>(at_), static_cast<int>(length - at_), HighlightKind::Plain});
        return std::move(runs_);
    }

private:
    std::vector<LogHighlight> runs_;
    std::size_t at_ = 0;
};

struct Line {
    std::wstring_view text;
    std::size_t end;  // characters at or beyond it read as none
    wchar_t At(std::size_t i) const { return i < end ? text[i] : kNone; }
};

// Where the number search starts, after adding the label run when there is one.
std::size_t FindLabel(std::wstring_view text, RunBuilder& runs) {
    const std::size_t s = std::min(text.find_first_not_of(L' '), text.size());
    if (s >= text.size() || !IsLetter(text[s])) return 0;
    const std::size_t colon = text.find(L':', s);
    if (colon == std::wstring_view::npos || colon - s > 48) return 0;
    if (colon + 1 < text.size() && text[colon + 1] != L' ') return 0;
    const std::wstring_view label = text.substr(s, colon - s);
    if (std::any_of(label.begin(), label.end(),
                    [](wchar_t c) { return IsDigit(c) || c == L'(' || c == L'/' || c == L'\\'; })) {
        return 0;
    }
    runs.Mark(s, colon, HighlightKind::Label);
    return colon;
}

// The first position where a path begins, or the text's length.
std::size_t FindPathStart(std::wstring_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const wchar_t before = i > 0 ? text[i - 1] : kNone;
        if (i + 2 < text.size() && IsLetter(text[i]) && text[i + 1] == L':' &&
            (text[i + 2] == L'\\' || text[i + 2] == L'/') && !IsLetter(before) && before != L'_') {
            return i;
        }
        const bool opensWord = i == 0 || before == L' ' || before == L'(' || before == L'"' || before == L'\'';
        if (text[i] == L'/' && opensWord && text[i + 1] != L' ') return i;
    }
    return text.size();
}

std::size_t SkipDigits(const Line& line, std::size_t q) {
    while (IsDigit(line.At(q))) ++q;
    return q;
}

// The end of the number's digits, groups, decimals and exponent from q.
std::size_t ScanNumberBody(const Line& line, std::size_t q) {
    q = SkipDigits(line, q);
    while (line.At(q) == L',' && IsDigit(line.At(q + 1)) && IsDigit(line.At(q + 2)) && IsDigit(line.At(q + 3)) &&
           !IsDigit(line.At(q + 4))) {
        q += 4;
    }
    if (line.At(q) == L'.' && IsDigit(line.At(q + 1))) q = SkipDigits(line, q + 1);
    const wchar_t e = line.At(q);
    const wchar_t afterE = line.At(q + 1);
    if ((e == L'e' || e == L'E') &&
        (IsDigit(afterE) || ((afterE == L'-' || afterE == L'+') && IsDigit(line.At(q + 2))))) {
        q = SkipDigits(line, q + 2);
    }
    return q;
}

bool IsUnitCharacter(wchar_t c) { return IsLetter(c) || c == L'_' || c == kSquared || c == kCubed; }

void FindNumbers(const Line& line, std::size_t p, RunBuilder& runs) {
    auto add = [&runs](std::size_t from, std::size_t to) { runs.Mark(from, to, HighlightKind::Number); };
    while (p < line.end) {
        const wchar_t c = line.At(p);
        const wchar_t before = p > 0 ? line.text[p - 1] : kNone;
        const bool sign =
            (c == L'-' || c == L'+') && IsDigit(line.At(p + 1)) && (p == 0 || before == L' ' || before == L'(');
        if (!IsDigit(c) && !sign) {
            ++p;
            continue;
        }
        if (p > 0 && (IsLetter(before) || before == L'_' || IsDigit(before) || before == L'.')) {
            ++p;
            continue;
        }
        const std::size_t q = ScanNumberBody(line, sign ? p + 1 : p);
        if (line.At(q) == L'%' || line.At(q) == kDegree) {
            add(p, q + 1);
            p = q + 1;
            continue;
        }
        const std::size_t u0 = line.At(q) == L' ' ? q + 1 : q;
        std::size_t u = u0;
        while (IsUnitCharacter(line.At(u)) || (u > u0 && IsDigit(line.At(u)))) ++u;
        const std::wstring_view word = line.text.substr(u0, u - u0);
        if (!word.empty() && std::find(kUnits.begin(), kUnits.end(), word) != kUnits.end()) {
            add(p, u);
            p = u;
        } else if (u0 == q && !word.empty()) {
            p = u;  // letters stuck to the digits: a name such as "2nd" or "x64", not a number
        } else {
            add(p, q);
            p = q;
        }
    }
}

}  // namespace

std::vector<LogHighlight> FindLogHighlights(std::wstring_view text) {
    RunBuilder runs;
    const std::size_t numbersFrom = FindLabel(text, runs);
    const std::size_t pathStart = FindPathStart(text);
    FindNumbers(Line{text, pathStart}, numbersFrom, runs);
    if (pathStart < text.size()) runs.Mark(pathStart, text.size(), HighlightKind::Path);
    return runs.Finish(text.size());
}

}  // namespace ridgeforge
