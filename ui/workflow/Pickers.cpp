#include "ui/workflow/Pickers.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/tokenzr.h>

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/workflow/FlowTypes.h"

namespace ridgeforge {
namespace {

const wxColour kWhite(255, 255, 255);
const wxColour kUserCell(255, 247, 228);

void FrameRect(wxDC& dc, const wxRect& rect, const wxColour& colour) {
    dc.SetPen(wxPen(colour));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(rect);
}

void PaintTextCentred(wxDC& dc, const wxString& text, const wxRect& rect) {
    ui::DrawEllipsisText(dc, text, rect, wxALIGN_CENTER_HORIZONTAL | wxALIGN_CENTER_VERTICAL);
}

}  // namespace

wxString WrapWords(wxDC& dc, const wxString& text, int width) {
    wxString result, line;
    wxStringTokenizer words(text, " ");
    while (words.HasMoreTokens()) {
        const wxString word = words.GetNextToken();
        const wxString candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.GetTextExtent(candidate).x > width) {
            result += line + "\n";
            line = word;
        } else {
            line = candidate;
        }
    }
    return result + line;
}

void DrawThumbnailPixels(wxDC& dc, const wxRect& rect, const std::vector<std::uint32_t>& pixels, int width, int height,
                         int rows) {
    if (pixels.empty() || width <= 0 || height <= 0 || rect.width <= 0 || rect.height <= 0) return;
    if (pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
    const int n = rows >= 1 && rows <= height ? rows : height;
    wxImage image(width, n, false);
    unsigned char* rgb = image.GetData();
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(n); ++i) {
        const std::uint32_t p = pixels[i];
        rgb[3 * i] = static_cast<unsigned char>(p >> 16);
        rgb[3 * i + 1] = static_cast<unsigned char>(p >> 8);
        rgb[3 * i + 2] = static_cast<unsigned char>(p);
    }
    if (width != rect.width || n != rect.height) image.Rescale(rect.width, rect.height, wxIMAGE_QUALITY_HIGH);
    dc.DrawBitmap(wxBitmap(image), rect.GetTopLeft());
}

void DrawCheckMark(wxDC& dc, const wxRect& square, unsigned dpi) {
    const std::vector<wxPoint> points = CheckMarkPoints(square.x, square.y, square.width);
    dc.SetPen(wxPen(kWhite, std::max(1, ui::ScaleDip(2, dpi))));
    dc.DrawLines(static_cast<int>(points.size()), points.data());
}

bool CreatePickerWindow(wxWindow& window, wxWindow* parent, int id, bool scrolls) {
    long style = wxCLIP_SIBLINGS | wxFULL_REPAINT_ON_RESIZE | wxBORDER_NONE;
    if (scrolls) style |= wxVSCROLL | wxALWAYS_SHOW_SB;
    if (!window.Create(parent, id, wxDefaultPosition, wxSize(0, 0), style)) return false;
    ui::PrepareBufferedPainting(window);
    window.SetCursor(wxCursor(wxCURSOR_ARROW));
    return true;
}

void SetVerticalScroll(wxWindow& window, int total, int page, int position) {
    const int range = std::max(total - 1, 0) + 1;
    window.SetScrollbar(wxVERTICAL, position, std::max(page, 0), range, true);
}

void BindScrollEvents(wxWindow& window, std::function<void(wxScrollWinEvent&)> handler) {
    window.Bind(wxEVT_SCROLLWIN_LINEUP, handler);
    window.Bind(wxEVT_SCROLLWIN_LINEDOWN, handler);
    window.Bind(wxEVT_SCROLLWIN_PAGEUP, handler);
    window.Bind(wxEVT_SCROLLWIN_PAGEDOWN, handler);
    window.Bind(wxEVT_SCROLLWIN_THUMBTRACK, handler);
    window.Bind(wxEVT_SCROLLWIN_THUMBRELEASE, handler);
    window.Bind(wxEVT_SCROLLWIN_TOP, handler);
    window.Bind(wxEVT_SCROLLWIN_BOTTOM, handler);
}

ScrollCode ScrollCodeOf(const wxScrollWinEvent& event) {
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_SCROLLWIN_LINEUP) return ScrollCode::LineUp;
    if (type == wxEVT_SCROLLWIN_LINEDOWN) return ScrollCode::LineDown;
    if (type == wxEVT_SCROLLWIN_PAGEUP) return ScrollCode::PageUp;
    if (type == wxEVT_SCROLLWIN_PAGEDOWN) return ScrollCode::PageDown;
    if (type == wxEVT_SCROLLWIN_THUMBTRACK || type == wxEVT_SCROLLWIN_THUMBRELEASE) return ScrollCode::Thumb;
    if (type == wxEVT_SCROLLWIN_TOP) return ScrollCode::Top;
    if (type == wxEVT_SCROLLWIN_BOTTOM) return ScrollCode::Bottom;
    return ScrollCode::Other;
}

// ---- CSegmented

bool CSegmented::Create(wxWindow* parent, int id, unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    if (!CreatePickerWindow(*this, parent, id, false)) return false;
    Bind(wxEVT_PAINT, &CSegmented::OnPaint, this);
    // A quick second click is a press like the first.
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    return true;
}

void CSegmented::SetItems(std::vector<wxString> items) {
    items_ = std::move(items);
    Refresh();
}

void CSegmented::SetSelected(int index) {
    selected_ = index;
    Refresh();
}

void CSegmented::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    Refresh();
}

void CSegmented::Press(const wxPoint& point) {
    if (!IsEnabled() || items_.empty()) return;
    const int index = SegmentHitTest(static_cast<int>(items_.size()), GetClientSize(), point);
    if (index < 0 || index == selected_) return;
    selected_ = index;
    Refresh();
    if (onChange_) onChange_(index);
}

void CSegmented::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const wxSize client = GetClientSize();
    ui::FillRectExact(dc, wxRect(client), flow_colours::kBackground);
    dc.SetFont(ui::GetUiFont(ui::Normal, dpi_));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const bool enabled = IsEnabled();
    const int count = static_cast<int>(items_.size());
    for (int i = 0; i < count; ++i) {
        const wxRect rect = SegmentRect(i, count, client);
        const bool pressed = i == selected_;
        const wxColour fill = pressed ? (enabled ? flow_colours::kAccent : flow_colours::kSelection)
                                      : (enabled ? kWhite : flow_colours::kHeader);
        ui::FillRectExact(dc, rect, fill);
        FrameRect(dc, rect, flow_colours::kFrame);
        dc.SetTextForeground(!enabled ? flow_colours::kSecondary : (pressed ? kWhite : flow_colours::kText));
        PaintTextCentred(dc, items_[static_cast<std::size_t>(i)], rect);
    }
}

// ---- CNameList

bool CNameList::Create(wxWindow* parent, int id, unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    if (!CreatePickerWindow(*this, parent, id, true)) return false;
    Bind(wxEVT_PAINT, &CNameList::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        UpdateScroll();
    });
    // A quick second click is a press like the first.
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& event) { ScrollByWheel(event.GetWheelRotation()); });
    BindScrollEvents(*this, [this](wxScrollWinEvent& event) { OnScroll(event); });
    return true;
}

void CNameList::SetNames(std::vector<wxString> names) {
    names_ = std::move(names);
    selected_ = std::min(selected_, static_cast<int>(names_.size()) - 1);
    UpdateScroll();
    Refresh();
}

void CNameList::SetSelection(int index) {
    if (index < -1 || index >= static_cast<int>(names_.size())) return;
    selected_ = index;
    const int height = GetClientSize().y;
    if (index >= 0 && height > 0) ScrollTo(ListOffsetShowing(index, scroll_, height, dpi_));
    Refresh();
}

int CNameList::FindName(const wxString& name) const {
    const auto found = std::find(names_.begin(), names_.end(), name);
    return found == names_.end() ? -1 : static_cast<int>(found - names_.begin());
}

void CNameList::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    UpdateScroll();
    Refresh();
}

void CNameList::UpdateScroll() {
    const int content = ListContentHeight(static_cast<int>(names_.size()), dpi_);
    const int height = GetClientSize().y;
    scroll_ = ClampScroll(scroll_, content, height);
    SetVerticalScroll(*this, content, height, scroll_);
}

void CNameList::ScrollTo(int offset) {
    const int wanted = ClampScroll(offset, ListContentHeight(static_cast<int>(names_.size()), dpi_), GetClientSize().y);
    if (wanted == scroll_) return;
    scroll_ = wanted;
    SetScrollPos(wxVERTICAL, scroll_, true);
    Refresh();
}

void CNameList::Press(const wxPoint& point) {
    const int row = ListHitTest(GetClientSize(), scroll_, static_cast<int>(names_.size()), point, dpi_);
    if (row < 0) return;
    SetSelection(row);
    if (onClick_) onClick_(row);
}

void CNameList::ScrollByWheel(int wheelDelta) { ScrollTo(scroll_ - wheelDelta * ListRowHeight(dpi_) / 120); }

void CNameList::OnScroll(wxScrollWinEvent& event) {
    const int content = ListContentHeight(static_cast<int>(names_.size()), dpi_);
    ScrollTo(ScrollPosition(ScrollCodeOf(event), scroll_, ListRowHeight(dpi_), GetClientSize().y, content,
                            event.GetPosition()));
}

void CNameList::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const wxSize client = GetClientSize();
    ui::FillRectExact(dc, wxRect(client), kWhite);
    FrameRect(dc, wxRect(client), flow_colours::kFrame);
    dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(flow_colours::kText);
    for (int i = 0; i < static_cast<int>(names_.size()); ++i) {
        const wxRect row = ListRow(i, scroll_, client, dpi_);
        if (!row.Intersects(wxRect(client))) continue;
        if (i == selected_) ui::FillRectExact(dc, row, flow_colours::kSelection);
        ui::DrawEllipsisText(dc, names_[static_cast<std::size_t>(i)], row.Deflate(4, 0));
    }
}

// ---- CThumbnailGrid

bool CThumbnailGrid::Create(wxWindow* parent, int id, unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    if (!CreatePickerWindow(*this, parent, id, true)) return false;
    Bind(wxEVT_PAINT, &CThumbnailGrid::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        UpdateScroll();
        Refresh();
    });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition(), false); });
    Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition(), true); });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition(), false); });
    Bind(wxEVT_RIGHT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition(), true); });
    Bind(wxEVT_MOTION, &CThumbnailGrid::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CThumbnailGrid::OnLeave, this);
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& event) { ScrollByWheel(event.GetWheelRotation()); });
    BindScrollEvents(*this, [this](wxScrollWinEvent& event) { OnScroll(event); });
    return true;
}

void CThumbnailGrid::SetItems(std::vector<ThumbnailItem> items) {
    const bool same = items.size() == items_.size() &&
                      std::equal(items.begin(), items.end(), items_.begin(),
                                 [](const ThumbnailItem& a, const ThumbnailItem& b) { return a.key == b.key; });
    items_ = std::move(items);
    if (!same) scroll_ = 0;
    hover_ = -1;
    UpdateScroll();
    Refresh();
}

void CThumbnailGrid::SetColumns(int columns) {
    columns_ = std::max(1, columns);
    UpdateScroll();
    Refresh();
}

void CThumbnailGrid::SetSelectedKey(const wxString& key) {
    selectedKey_ = key;
    Refresh();
}

void CThumbnailGrid::SetEmptyText(const wxString& text) {
    emptyText_ = text;
    Refresh();
}

void CThumbnailGrid::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    UpdateScroll();
    Refresh();
}

GridGeometry CThumbnailGrid::Geometry() const { return MakeGridGeometry(GetClientSize().x, columns_, dpi_); }

int CThumbnailGrid::HitTest(const wxPoint& point) const {
    return GridHitTest(Geometry(), GetClientSize(), scroll_, static_cast<int>(items_.size()), point);
}

void CThumbnailGrid::UpdateScroll() {
    const int content = Geometry().ContentHeight(static_cast<int>(items_.size()));
    const int height = GetClientSize().y;
    scroll_ = ClampScroll(scroll_, content, height);
    SetVerticalScroll(*this, content, height, scroll_);
}

void CThumbnailGrid::ScrollTo(int offset) {
    const int wanted =
        ClampScroll(offset, Geometry().ContentHeight(static_cast<int>(items_.size())), GetClientSize().y);
    if (wanted == scroll_) return;
    scroll_ = wanted;
    SetScrollPos(wxVERTICAL, scroll_, true);
    Refresh();
}

void CThumbnailGrid::Press(const wxPoint& point, bool right) {
    const int index = HitTest(point);
    if (index >= 0 && onClick_) onClick_(index, right);
}

void CThumbnailGrid::ScrollByWheel(int wheelDelta) { ScrollTo(scroll_ - wheelDelta * Geometry().cellHeight / 240); }

void CThumbnailGrid::OnScroll(wxScrollWinEvent& event) {
    const GridGeometry grid = Geometry();
    ScrollTo(ScrollPosition(ScrollCodeOf(event), scroll_, (grid.captionHeight + grid.imageHeight) / 2,
                            GetClientSize().y, grid.ContentHeight(static_cast<int>(items_.size())),
                            event.GetPosition()));
}

void CThumbnailGrid::OnMotion(wxMouseEvent& event) {
    const int index = HitTest(event.GetPosition());
    if (index != hover_) {
        hover_ = index;
        Refresh();
    }
}

void CThumbnailGrid::OnLeave(wxMouseEvent&) {
    if (hover_ < 0) return;
    hover_ = -1;
    Refresh();
}

void CThumbnailGrid::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    PaintGrid(dc, GetClientSize());
}

void CThumbnailGrid::PaintGrid(wxDC& dc, const wxSize& client) {
    const wxRect area(client);
    ui::FillRectExact(dc, area, kWhite);
    FrameRect(dc, area, flow_colours::kFrame);
    dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    if (items_.empty()) {
        const wxRect inner = wxRect(area).Deflate(ui::ScaleDip(8, dpi_));
        dc.SetTextForeground(flow_colours::kSecondary);
        dc.DrawLabel(WrapWords(dc, emptyText_, inner.width), inner, wxALIGN_CENTER_HORIZONTAL | wxALIGN_TOP);
        return;
    }
    const GridGeometry grid = MakeGridGeometry(client.x, columns_, dpi_);
    const int frame = std::max(1, ui::ScaleDip(2, dpi_));
    const int badge = ui::ScaleDip(14, dpi_);
    const int inset = ui::ScaleDip(2, dpi_);
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        const wxRect cell = grid.Cell(i, scroll_);
        if (cell.GetBottom() < 0 || cell.y >= client.y) continue;
        const ThumbnailItem& item = items_[static_cast<std::size_t>(i)];
        const bool selected = !selectedKey_.empty() && selectedKey_ == item.key;
        const wxRect image(cell.x, cell.y, cell.width, cell.height - grid.captionHeight);
        if (item.user) ui::FillRectExact(dc, cell, kUserCell);
        if (!item.pixels.empty() && item.side > 0)
            DrawThumbnailPixels(dc, image, item.pixels, item.side, item.side,
                                ThumbnailRows(image.GetSize(), item.side));
        else
            ui::FillRectExact(dc, image, flow_colours::kHeader);
        dc.SetTextForeground(flow_colours::kText);
        PaintTextCentred(dc, item.caption,
                         wxRect(cell.x + inset, image.GetBottom() + 1, cell.width - 2 * inset, grid.captionHeight));
        if (selected || i == hover_) {
            const wxColour colour = selected ? flow_colours::kAccent : flow_colours::kSelection;
            for (int k = 0; k < frame; ++k) FrameRect(dc, wxRect(cell).Deflate(k), colour);
        }
        if (selected) {
            const wxRect square(cell.GetRight() + 1 - badge - frame, cell.y + frame, badge, badge);
            ui::FillRectExact(dc, square, flow_colours::kAccent);
            DrawCheckMark(dc, square, dpi_);
        }
    }
}

}  // namespace ridgeforge
