// The text-only half of the Markdown engine: the unwrapping pre-pass, table
// rows and inline runs. Nothing here measures.
#include "ui/app/MarkdownLayout.h"

#include "ui/app/internal/MarkdownText.h"

namespace ridgeforge {
namespace {

enum class OpenBlock { None, Paragraph, Quote, ListItem };

constexpr std::wstring_view kFence = L"```";

bool IsRuleLike(std::wstring_view trimmed) {
    if (trimmed.size() < 3) return false;
    const wchar_t c = trimmed.front();
    if (c != L'*' && c != L'-' && c != L'_') return false;
    return trimmed.find_first_not_of(c) == std::wstring_view::npos;
}

bool IsListItem(std::wstring_view leftTrimmed) {
    if (leftTrimmed.size() >= 2 && (leftTrimmed[0] == L'*' || leftTrimmed[0] == L'+' || leftTrimmed[0] == L'-') &&
        leftTrimmed[1] == L' ')
        return true;
    return markdown::NumberedPrefixLength(leftTrimmed) > 0;
}

bool IsStandalone(std::wstring_view trimmed) {
    if (trimmed.empty()) return false;
    const wchar_t c = trimmed.front();
    return c == L'#' || c == L'=' || c == L'`' || c == L'|' || c == L'~' || IsRuleLike(trimmed);
}

// Appends text run by run, closing the open block first where asked.
class Normalizer {
public:
    void Line(std::wstring_view line, bool last) {
        const std::wstring_view left = markdown::TrimLeft(line);
        const std::wstring_view trimmed = markdown::Trim(line);
        if (inFence_ || left.starts_with(kFence) || trimmed.empty()) {
            Close();
            out_ += line;
            if (!last) out_ += L'\n';
            if (left.starts_with(kFence)) inFence_ = !inFence_;
        } else if (left.front() == L'>') {
            Quote(left.substr(1));
        } else if (!IsRuleLike(trimmed) && IsListItem(left)) {
            if (mode_ != OpenBlock::None) out_ += L'\n';
            out_ += trimmed;
            mode_ = OpenBlock::ListItem;
        } else if (IsStandalone(trimmed)) {
            Close();
            out_ += line;
            if (!last) out_ += L'\n';
        } else if (mode_ == OpenBlock::Paragraph || mode_ == OpenBlock::ListItem) {
            out_ += L' ';
            out_ += trimmed;
        } else {
            if (mode_ != OpenBlock::None) out_ += L'\n';
            out_ += trimmed;
            mode_ = OpenBlock::Paragraph;
        }
    }

    std::wstring Finish() {
        if (mode_ != OpenBlock::None) out_ += L'\n';
        return std::move(out_);
    }

private:
    void Close() {
        if (mode_ == OpenBlock::None) return;
        out_ += L'\n';
        mode_ = OpenBlock::None;
    }

    void Quote(std::wstring_view rest) {
        if (!rest.empty() && rest.front() == L' ') rest.remove_prefix(1);
        rest = markdown::TrimRight(rest);
        if (mode_ == OpenBlock::Quote) {
            out_ += L' ';
        } else {
            if (mode_ != OpenBlock::None) out_ += L'\n';
            out_ += L"> ";
            mode_ = OpenBlock::Quote;
        }
        out_ += rest;
    }

    std::wstring out_;
    OpenBlock mode_ = OpenBlock::None;
    bool inFence_ = false;
};

bool IsMarker(wchar_t c) { return c == L'*' || c == L'_' || c == L'`'; }

void AddRun(std::vector<TextSegment>& out, std::wstring_view text, bool bold, bool italic, bool code) {
    if (text.empty()) return;
    TextSegment segment;
    segment.text = std::wstring(text);
    segment.bold = bold;
    segment.italic = italic;
    segment.code = code;
    out.push_back(std::move(segment));
}

}  // namespace

namespace markdown {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring_view TrimLeft(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::wstring_view TrimRight(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring_view Trim(std::wstring_view text) { return TrimRight(TrimLeft(text)); }

std::vector<std::wstring_view> SplitLines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::size_t NumberedPrefixLength(std::wstring_view text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') ++digits;
    if (digits == 0 || digits + 1 >= text.size() || text[digits] != L'.' || text[digits + 1] != L' ') return 0;
    return digits + 2;
}

}  // namespace markdown

std::wstring NormalizeMarkdown(std::wstring_view source) {
    const std::vector<std::wstring_view> lines = markdown::SplitLines(source);
    Normalizer normalizer;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring_view line = lines[i];
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        normalizer.Line(line, i + 1 == lines.size());
    }
    return normalizer.Finish();
}

void ParseTableRow(std::wstring_view row, std::vector<std::wstring>& cells) {
    cells.clear();
    row = markdown::Trim(row);
    if (!row.empty() && row.front() == L'|') row.remove_prefix(1);
    if (!row.empty() && row.back() == L'|') row.remove_suffix(1);
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = row.find(L'|', start);
        const std::size_t end = bar == std::wstring_view::npos ? row.size() : bar;
        cells.emplace_back(markdown::Trim(row.substr(start, end - start)));
        if (bar == std::wstring_view::npos) break;
        start = bar + 1;
    }
}

bool IsTableSeparatorRow(std::wstring_view row) {
    if (markdown::Trim(row).empty() || row.find(L'|') == std::wstring_view::npos) return false;
    std::vector<std::wstring> cells;
    ParseTableRow(row, cells);
    for (const std::wstring& cell : cells) {
        std::wstring_view body = markdown::Trim(cell);
        if (!body.empty() && body.front() == L':') body.remove_prefix(1);
        if (!body.empty() && body.back() == L':') body.remove_suffix(1);
        if (body.empty() || body.find_first_not_of(L'-') != std::wstring_view::npos) return false;
    }
    return true;
}

std::vector<TextSegment> ParseInlineMarkup(std::wstring_view text) {
    std::vector<TextSegment> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        const std::wstring_view pair = text.substr(i, 2);
        if (pair == L"**" || pair == L"__") {
            const std::size_t j = text.find(pair, i + 2);
            if (j != std::wstring_view::npos) {
                AddRun(out, text.substr(i + 2, j - i - 2), true, false, false);
                i = j + 2;
                continue;
            }
        }
        if (c == L'*' || c == L'_' || c == L'`') {
            const std::size_t j = text.find(c, i + 1);
            if (j != std::wstring_view::npos) {
                const bool code = c == L'`';
                AddRun(out, text.substr(i + 1, j - i - 1), false, !code, code);
                i = j + 1;
                continue;
            }
        }
        // A plain run up to the next marker; an unmatched marker is part of it.
        std::size_t end = i + (IsMarker(c) ? 1 : 0);
        while (end < text.size() && !IsMarker(text[end])) ++end;
        AddRun(out, text.substr(i, end - i), false, false, false);
        i = end;
    }
    return out;
}

void BuildLinePlainText(FormattedLine& line) {
    line.plainText.clear();
    line.segmentStarts.clear();
    if (line.isTableRow) {
        for (std::size_t k = 0; k < line.cells.size(); ++k) {
            if (k > 0) line.plainText += L'\t';
            line.plainText += line.cells[k];
        }
        return;
    }
    std::size_t length = 0;
    for (const TextSegment& segment : line.segments) length += segment.text.size();
    line.plainText.reserve(length);
    line.segmentStarts.reserve(line.segments.size() + 1);
    for (const TextSegment& segment : line.segments) {
        line.segmentStarts.push_back(static_cast<int>(line.plainText.size()));
        line.plainText += segment.text;
    }
    line.segmentStarts.push_back(static_cast<int>(line.plainText.size()));
}

MarkdownFont GetSegmentFont(const TextSegment& segment) {
    switch (segment.headingLevel) {
        case 1:
            return MarkdownFont::Heading1;
        case 2:
            return MarkdownFont::Heading2;
        case 3:
            return MarkdownFont::Heading3;
        default:
            break;
    }
    if (segment.code) return MarkdownFont::Code;
    if (segment.bold && segment.italic) return MarkdownFont::BoldItalic;
    if (segment.bold) return MarkdownFont::Bold;
    if (segment.italic) return MarkdownFont::Italic;
    return MarkdownFont::Regular;
}

}  // namespace ridgeforge
