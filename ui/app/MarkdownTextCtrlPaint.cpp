// Painting of the help viewer: one buffered pass over the lines that meet the
// client area (the first found by halving on the line tops), clipped to the
// content rectangle inside the margins. The selection is filled behind the
// text; table rows draw their grid and wrap each cell inside its column.
#include <algorithm>
#include <tuple>

#include "ui/app/MarkdownTextCtrl.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {
namespace {

const wxColour kSelection(204, 228, 247);
const wxColour kQuoteBar(99, 138, 196);
const wxColour kCode(100, 200, 255);
const wxColour kGrid(200, 200, 200);
const wxColour kHeaderFill(240, 240, 240);

struct PaintContext {
    wxDC& dc;
    WxMarkdownMeasurer& measurer;
    const MarkdownFontSet& fonts;
    wxColour text;
    int dpi;
    int left;          // left margin in pixels
    int contentRight;  // right edge of the content rectangle
    // The ordered selection with table rows widened to whole rows; first.line -1 for none.
    TextPosition first;
    TextPosition last;

    int Dip(int value) const { return ui::ScaleDip(value, static_cast<unsigned>(dpi)); }
    bool Selects(int line) const { return first.line >= 0 && line >= first.line && line <= last.line; }
};

void FillRect(wxDC& dc, const wxColour& colour, int x, int y, int width, int height) {
    ui::FillRectExact(dc, wxRect(x, y, width, height), colour);
}

void PaintTextLine(PaintContext& c, const FormattedLine& line, int index, int y) {
    const int startX = LineStartX(line, c.left, c.dpi);
    if (c.Selects(index)) {
        const int from = index == c.first.line ? CharacterX(line, c.first.character, startX, c.measurer) : startX;
        const int to = index == c.last.line ? CharacterX(line, c.last.character, startX, c.measurer) : c.contentRight;
        FillRect(c.dc, kSelection, from, y, to - from, line.height);
    }
    if (line.isQuote) FillRect(c.dc, kQuoteBar, c.left + c.Dip(2), y + c.Dip(1), c.Dip(3), line.height - 2 * c.Dip(1));
    int x = startX;
    for (const TextSegment& segment : line.segments) {
        const MarkdownFont font = GetSegmentFont(segment);
        c.dc.SetFont(c.fonts[static_cast<std::size_t>(font)]);
        c.dc.SetTextForeground(segment.code ? kCode : c.text);
        c.dc.DrawText(wxString(segment.text), x, y);
        x += segment.width;
    }
}

void PaintCell(PaintContext& c, const std::wstring& text, MarkdownFont font, int alignment, const wxRect& box) {
    if (box.width <= 0 || box.height <= 0) return;
    wxDCClipper clip(c.dc, box);
    c.dc.SetFont(c.fonts[static_cast<std::size_t>(font)]);
    c.dc.SetTextForeground(c.text);
    const int lineHeight = c.measurer.Metrics(font).height;
    int y = box.y;
    for (const std::wstring_view piece : BreakTextIntoLines(c.measurer, font, text, box.width)) {
        const int width = c.measurer.TextWidth(font, piece);
        int x = box.x;
        if (alignment == 1)
            x += (box.width - width) / 2;
        else if (alignment == 2)
            x += box.width - width;
        c.dc.DrawText(wxString(std::wstring(piece)), x, y);
        y += lineHeight;
        if (y >= box.GetBottom() + 1) break;
    }
}

void PaintTableRow(PaintContext& c, const FormattedLine& row, int index, int y) {
    int rowWidth = 0;
    for (int width : row.columnWidths) rowWidth += width;
    const int x0 = c.left;
    if (row.isHeaderRow) FillRect(c.dc, kHeaderFill, x0, y, rowWidth, row.height);
    if (c.Selects(index)) FillRect(c.dc, kSelection, x0, y, rowWidth, row.height);

    c.dc.SetPen(wxPen(kGrid, 1));
    const int bottom = y + row.height - 1;
    if (row.isFirstRow) c.dc.DrawLine(x0, y, x0 + rowWidth, y);
    c.dc.DrawLine(x0, bottom, x0 + rowWidth, bottom);
    c.dc.DrawLine(x0, y, x0, bottom + 1);
    int columnLeft = x0;
    const MarkdownFont font = row.isHeaderRow ? MarkdownFont::Bold : MarkdownFont::Regular;
    for (std::size_t k = 0; k < row.columnWidths.size(); ++k) {
        const int columnRight = columnLeft + row.columnWidths[k];
        c.dc.SetPen(wxPen(kGrid, 1));
        c.dc.DrawLine(columnRight, y, columnRight, bottom + 1);
        const wxRect box(wxPoint(columnLeft + c.Dip(6), y + c.Dip(4)),
                         wxPoint(columnRight - c.Dip(6) - 1, y + row.height - c.Dip(2) - 1));
        if (k < row.cells.size()) PaintCell(c, row.cells[k], font, row.columnAlignments[k], box);
        columnLeft = columnRight;
    }
}

void PaintRule(PaintContext& c, const FormattedLine& rule, int index, int y, int ruleRight) {
    if (c.Selects(index)) FillRect(c.dc, kSelection, c.left, y, ruleRight - c.left, rule.height);
    c.dc.SetPen(wxPen(kGrid, 1));
    c.dc.DrawLine(c.left, y + rule.height / 2, ruleRight, y + rule.height / 2);
}

}  // namespace

void CMarkdownTextCtrl::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    PaintTo(dc);
}

void CMarkdownTextCtrl::PaintTo(wxDC& dc) {
    const wxSize client = GetClientSize();
    dc.SetBackground(wxBrush(backgroundColour_));
    dc.Clear();
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);

    if (bodyLineHeight_ == 0) MeasureLineHeight();
    if (layoutOutOfDate_) {
        RunLayout(dc);
        UpdateScrollBar();
    }
    if (layout_.lines.empty()) return;

    const wxRect content = ContentRect();
    wxDCClipper clip(dc, content);
    measurer_.Attach(&dc, &fonts_);
    PaintContext c{dc, measurer_, fonts_, textColour_, dpi_, LeftMargin(), content.GetRight() + 1, {}, {}};
    if (selection_.Exists()) {
        std::tie(c.first, c.last) = selection_.Ordered();
        if (layout_.lines[static_cast<std::size_t>(c.first.line)].isTableRow) c.first.character = 0;
        const FormattedLine& lastLine = layout_.lines[static_cast<std::size_t>(c.last.line)];
        if (lastLine.isTableRow) c.last.character = static_cast<int>(lastLine.plainText.size());
    } else {
        c.first.line = -1;
    }

    const int origin = TopMargin() - scroll_;
    const auto& tops = layout_.lineTops;
    // The first line whose bottom reaches into the client area.
    std::size_t index = static_cast<std::size_t>(std::upper_bound(tops.begin(), tops.end(), -origin) - tops.begin());
    index = index > 0 ? index - 1 : 0;
    const int ruleRight = client.x - Dip(margins_.right) - ScrollBarWidth();
    for (; index < layout_.lines.size(); ++index) {
        const FormattedLine& line = layout_.lines[index];
        const int y = origin + tops[index];
        if (y > client.y) break;
        if (y + line.height < 1) continue;
        const int number = static_cast<int>(index);
        if (line.isTableRow)
            PaintTableRow(c, line, number, y);
        else if (line.isRule)
            PaintRule(c, line, number, y, ruleRight);
        else
            PaintTextLine(c, line, number, y);
    }
    measurer_.Attach(nullptr, nullptr);
}

}  // namespace ridgeforge
