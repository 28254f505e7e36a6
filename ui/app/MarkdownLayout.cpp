// Layout of the normalised Markdown: each source line is classed in a fixed
// order (code fence, code, table, stray "|" line, rule, quote, heading, bullet,
// numbered item, paragraph), turned into styled runs, and wrapped word by word
// (a word is the text up to and including a space) against the wrap limit.
// Every word is measured once; a table measures each cell once on one line,
// then narrows its widest columns a pixel at a time until the table fits.
#include "ui/app/MarkdownLayout.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "ui/app/internal/MarkdownText.h"
#include "ui/framework/Dpi.h"

namespace ridgeforge {
namespace {

constexpr std::wstring_view kFence = L"```";
constexpr int kMaxShrinkSteps = 100000;

int LineHeightOf(MarkdownMeasurer& measurer, MarkdownFont font) {
    const FontMetrics metrics = measurer.Metrics(font);
    return metrics.height + metrics.externalLeading;
}

bool IsRule(std::wstring_view trimmed) {
    if (trimmed.size() < 3) return false;
    const wchar_t c = trimmed.front();
    return (c == L'*' || c == L'-' || c == L'_') && trimmed.find_first_not_of(c) == std::wstring_view::npos;
}

class Layouter {
public:
    Layouter(const MarkdownLayoutInput& input, MarkdownMeasurer& measurer)
        : input_(input), measurer_(measurer), left_(Dip(input.margins.left)), wrapLimit_(MarkdownWrapLimit(input)) {
        bodyLine_ = input.bodyLineHeight >= 1 ? input.bodyLineHeight : Dip(16);
    }

    bool HasRoom() const { return input_.clientWidth >= 1 && wrapLimit_ > left_; }

    void Run(std::wstring_view markdown) {
        const std::wstring normalised = NormalizeMarkdown(markdown);
        const std::vector<std::wstring_view> lines = markdown::SplitLines(normalised);
        out_.lines.reserve(lines.size());
        out_.lineTops.reserve(lines.size());
        bool inCode = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::wstring_view line = lines[i];
            const std::wstring_view trimmed = markdown::Trim(line);
            if (trimmed == kFence) {
                inCode = !inCode;
            } else if (inCode) {
                if (!line.empty()) Wrap({CodeRun(line)}, 0, false);
            } else if (!trimmed.empty() && trimmed.find(L'|') != std::wstring_view::npos && i + 1 < lines.size() &&
                       IsTableSeparatorRow(lines[i + 1])) {
                i = Table(lines, i) - 1;
            } else if (trimmed.find(L'|') != std::wstring_view::npos) {
                Wrap({PlainRun(markdown::TrimRight(line))}, 0, false);
            } else if (IsRule(trimmed)) {
                FormattedLine rule;
                rule.isRule = true;
                rule.height = bodyLine_ + Dip(8);
                Append(std::move(rule));
            } else {
                TextLine(markdown::TrimRight(line));
            }
        }
        Finish();
    }

    MarkdownLayout Take() { return std::move(out_); }

private:
    int Dip(int value) const { return ui::ScaleDip(value, static_cast<unsigned>(input_.dpi)); }

    static TextSegment PlainRun(std::wstring_view text) {
        TextSegment segment;
        segment.text = std::wstring(text);
        return segment;
    }

    static TextSegment CodeRun(std::wstring_view text) {
        TextSegment segment = PlainRun(text);
        segment.code = true;
        return segment;
    }

    // Quote, heading, bullet, numbered item or paragraph.
    void TextLine(std::wstring_view line) {
        bool quote = false;
        if (!line.empty() && line.front() == L'>') {
            line.remove_prefix(1);
            if (!line.empty() && line.front() == L' ') line.remove_prefix(1);
            quote = true;
        }
        int indent = quote ? 1 : 0;
        std::vector<TextSegment> segments;
        const std::size_t hashes = line.find_first_not_of(L'#');
        if (hashes != 0 && hashes != std::wstring_view::npos && line[hashes] == L' ') {
            TextSegment heading = PlainRun(line.substr(hashes + 1));
            heading.headingLevel = static_cast<int>(std::min<std::size_t>(hashes, 3));
            if (!heading.text.empty()) segments.push_back(std::move(heading));
        } else if (line.size() >= 2 && (line[0] == L'-' || line[0] == L'*') && line[1] == L' ') {
            indent = 1;
            segments.push_back(PlainRun(L"\u2022 "));
            AppendRuns(segments, line.substr(2));
        } else if (const std::size_t prefix = markdown::NumberedPrefixLength(line); prefix > 0) {
            indent = 1;
            segments.push_back(PlainRun(line.substr(0, prefix)));
            AppendRuns(segments, line.substr(prefix));
        } else {
            AppendRuns(segments, line);
        }
        if (segments.empty()) {
            FormattedLine blank;
            blank.indent = indent;
            blank.isQuote = quote;
            blank.height = bodyLine_;
            BuildLinePlainText(blank);
            Append(std::move(blank));
            return;
        }
        Wrap(segments, indent, quote);
    }

    static void AppendRuns(std::vector<TextSegment>& segments, std::wstring_view text) {
        std::vector<TextSegment> runs = ParseInlineMarkup(text);
        for (TextSegment& run : runs) segments.push_back(std::move(run));
    }

    void Wrap(const std::vector<TextSegment>& segments, int indent, bool quote) {
        const int startX = left_ + Dip(20) * indent;
        FormattedLine current = NewLine(indent, quote, false);
        int x = startX;
        for (const TextSegment& segment : segments) {
            const MarkdownFont font = GetSegmentFont(segment);
            std::wstring_view rest = segment.text;
            while (!rest.empty()) {
                const std::size_t space = rest.find(L' ');
                const std::size_t length = space == std::wstring_view::npos ? rest.size() : space + 1;
                const std::wstring_view word = rest.substr(0, length);
                rest.remove_prefix(length);
                const int width = measurer_.TextWidth(font, word);
                if (x + width > wrapLimit_ && !current.segments.empty()) {
                    FinishLine(std::move(current));
                    current = NewLine(indent, quote, true);
                    x = startX;
                }
                AppendWord(current, segment, word, width);
                x += width;
            }
        }
        if (!current.segments.empty()) FinishLine(std::move(current));
    }

    static bool SameStyle(const TextSegment& a, const TextSegment& b) {
        return a.bold == b.bold && a.italic == b.italic && a.code == b.code && a.headingLevel == b.headingLevel;
    }

    // The word joins the line's last run when the styles agree. Its text is
    // only noted here; FinishLine puts each run's text together, so that it
    // is allocated once rather than grown word by word.
    void AppendWord(FormattedLine& line, const TextSegment& style, std::wstring_view word, int width) {
        if (line.segments.empty() || !SameStyle(line.segments.back(), style)) {
            TextSegment piece;
            piece.bold = style.bold;
            piece.italic = style.italic;
            piece.code = style.code;
            piece.headingLevel = style.headingLevel;
            line.segments.push_back(std::move(piece));
        }
        line.segments.back().width += width;
        words_.push_back({line.segments.size() - 1, word});
    }

    static FormattedLine NewLine(int indent, bool quote, bool continuation) {
        FormattedLine line;
        line.indent = indent;
        line.isQuote = quote;
        line.isContinuation = continuation;
        return line;
    }

    void FinishLine(FormattedLine line) {
        lengths_.assign(line.segments.size(), 0);
        for (const auto& [piece, word] : words_) lengths_[piece] += word.size();
        for (std::size_t piece = 0; piece < line.segments.size(); ++piece)
            line.segments[piece].text.reserve(lengths_[piece]);
        for (const auto& [piece, word] : words_) line.segments[piece].text += word;
        words_.clear();

        int tallest = 0;
        for (const TextSegment& segment : line.segments)
            tallest = std::max(tallest, LineHeightOf(measurer_, GetSegmentFont(segment)));
        line.height = tallest + Dip(4);
        BuildLinePlainText(line);
        Append(std::move(line));
    }

    void Append(FormattedLine line) {
        out_.lineTops.push_back(out_.totalHeight);
        out_.totalHeight += line.height;
        out_.lines.push_back(std::move(line));
    }

    struct TableContext {
        std::vector<int> widths;
        std::vector<int> alignments;
    };

    // Lays out the table whose header is lines[first]; returns the index of
    // the first line after it.
    std::size_t Table(const std::vector<std::wstring_view>& lines, std::size_t first) {
        std::vector<std::wstring> header;
        std::vector<std::wstring> separator;
        ParseTableRow(lines[first], header);
        ParseTableRow(lines[first + 1], separator);
        TableContext table;
        for (std::size_t k = 0; k < header.size(); ++k)
            table.alignments.push_back(k < separator.size() ? Alignment(separator[k]) : 0);

        std::vector<std::vector<std::wstring>> body;
        std::size_t next = first + 2;
        while (next < lines.size()) {
            const std::wstring_view trimmed = markdown::Trim(lines[next]);
            if (trimmed.empty() || trimmed.find(L'|') == std::wstring_view::npos || IsTableSeparatorRow(trimmed)) break;
            std::vector<std::wstring> cells;
            ParseTableRow(lines[next], cells);
            cells.resize(header.size());
            body.push_back(std::move(cells));
            ++next;
        }

        table.widths = ColumnWidths(header, body);
        AddTableRow(table, header, true, true);
        for (const std::vector<std::wstring>& cells : body) AddTableRow(table, cells, false, false);
        return next;
    }

    static int Alignment(std::wstring_view cell) {
        cell = markdown::Trim(cell);
        const bool leading = !cell.empty() && cell.front() == L':';
        const bool trailing = !cell.empty() && cell.back() == L':';
        if (leading && trailing) return 1;
        return trailing ? 2 : 0;
    }

    std::vector<int> ColumnWidths(const std::vector<std::wstring>& header,
                                  const std::vector<std::vector<std::wstring>>& body) {
        std::vector<int> widths(header.size(), 0);
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < header.size(); ++k) {
            int widest = measurer_.TextWidth(MarkdownFont::Bold, header[k]);
            for (const std::vector<std::wstring>& row : body)
                widest = std::max(widest, measurer_.TextWidth(MarkdownFont::Regular, row[k]));
            widths[k] = widest + Dip(16);
            sum += widths[k];
        }
        const int room = wrapLimit_ - Dip(8) - left_;
        const int narrowest = Dip(40);
        for (int step = 0; step < kMaxShrinkSteps && sum > room; ++step) {
            auto widest = std::max_element(widths.begin(), widths.end());
            if (*widest <= narrowest) break;
            --*widest;
            --sum;
        }
        return widths;
    }

    void AddTableRow(const TableContext& table, const std::vector<std::wstring>& cells, bool header, bool first) {
        const MarkdownFont font = header ? MarkdownFont::Bold : MarkdownFont::Regular;
        const int textHeight = measurer_.Metrics(font).height;
        int tallest = 0;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const int width = std::max(table.widths[k] - 2 * Dip(6), Dip(8));
            const std::size_t rows =
                std::max<std::size_t>(1, BreakTextIntoLines(measurer_, font, cells[k], width).size());
            tallest = std::max(tallest, static_cast<int>(rows) * textHeight);
        }
        FormattedLine row;
        row.isTableRow = true;
        row.isHeaderRow = header;
        row.isFirstRow = first;
        row.cells = cells;
        row.columnWidths = table.widths;
        row.columnAlignments = table.alignments;
        row.height = std::max(tallest + Dip(4) + Dip(2), LineHeightOf(measurer_, MarkdownFont::Regular) + Dip(8));
        BuildLinePlainText(row);
        Append(std::move(row));
    }

    void Finish() {
        if (out_.totalHeight >= 1) out_.totalHeight += Dip(input_.margins.top) + Dip(input_.margins.bottom);
    }

    const MarkdownLayoutInput& input_;
    MarkdownMeasurer& measurer_;
    int left_;
    int wrapLimit_;
    int bodyLine_;
    MarkdownLayout out_;
    // The words of the line being filled, each with the run it belongs to.
    std::vector<std::pair<std::size_t, std::wstring_view>> words_;
    std::vector<std::size_t> lengths_;
};

}  // namespace

int MarkdownWrapLimit(const MarkdownLayoutInput& input) {
    return input.clientWidth - input.scrollBarWidth -
           ui::ScaleDip(input.margins.right, static_cast<unsigned>(input.dpi));
}

std::vector<std::wstring_view> BreakTextIntoLines(MarkdownMeasurer& measurer, MarkdownFont font, std::wstring_view text,
                                                  int width) {
    std::vector<std::wstring_view> lines;
    std::size_t lineStart = 0;
    std::size_t lineEnd = 0;  // end of the words placed so far
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t wordEnd = text.find(L' ', position);
        wordEnd = wordEnd == std::wstring_view::npos ? text.size() : wordEnd;
        // Spaces that end a line take no room, so the word is measured without them.
        const std::wstring_view candidate = text.substr(lineStart, wordEnd - lineStart);
        if (lineEnd > lineStart && measurer.TextWidth(font, candidate) > width) {
            lines.push_back(text.substr(lineStart, lineEnd - lineStart));
            lineStart = position;
        }
        lineEnd = wordEnd;
        position = wordEnd;
        while (position < text.size() && text[position] == L' ') ++position;
    }
    if (lineEnd > lineStart) lines.push_back(text.substr(lineStart, lineEnd - lineStart));
    return lines;
}

MarkdownLayout LayOutMarkdown(std::wstring_view markdown, const MarkdownLayoutInput& input,
                              MarkdownMeasurer& measurer) {
    Layouter layouter(input, measurer);
    if (markdown.empty() || !layouter.HasRoom()) return {};
    layouter.Run(markdown);
    return layouter.Take();
}

}  // namespace ridgeforge
