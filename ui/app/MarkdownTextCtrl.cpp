#include "ui/app/MarkdownTextCtrl.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/dcclient.h>
#include <wx/settings.h>

#include <algorithm>
#include <cstdlib>

#include "ui/app/internal/MarkdownFonts.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {
namespace {

// Used when the desktop reports no double-click time or distance (GTK may answer -1).
constexpr int kDefaultDoubleClickMilliseconds = 500;
constexpr int kDefaultDoubleClickDistance = 4;

int WindowDpi(const wxWindow* window) { return static_cast<int>(ui::WindowDpi(window)); }

int MetricOr(wxSystemMetric metric, const wxWindow* window, int fallback) {
    const int value = wxSystemSettings::GetMetric(metric, window);
    return value > 0 ? value : fallback;
}

}  // namespace

CMarkdownTextCtrl::CMarkdownTextCtrl(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size) {
    Create(parent, id, position, size);
}

CMarkdownTextCtrl::~CMarkdownTextCtrl() {
    autoScrollTimer_.Stop();
    if (HasCapture()) ReleaseMouse();
}

bool CMarkdownTextCtrl::Create(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size) {
    ui::PrepareBufferedPainting(*this);
    if (!wxWindow::Create(parent, id, position, size, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE)) return false;
    dpi_ = WindowDpi(this);
    CreateFonts();
    SetCursor(wxCursor(wxCURSOR_IBEAM));
    autoScrollTimer_.SetOwner(this, kAutoScrollTimerId);

    const wxSize client = GetClientSize();
    scrollBar_ = new wxScrollBar(this, kScrollBarId, wxDefaultPosition, wxDefaultSize, wxSB_VERTICAL);
    const int barWidth = ScrollBarWidth();
    scrollBar_->SetSize(client.x - barWidth, 0, barWidth, client.y);
    scrollBar_->SetCursor(*wxSTANDARD_CURSOR);
    scrollBar_->Hide();

    Bind(wxEVT_PAINT, &CMarkdownTextCtrl::OnPaint, this);
    Bind(wxEVT_SCROLL_TOP, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_BOTTOM, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_LINEUP, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_LINEDOWN, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_PAGEUP, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_PAGEDOWN, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_THUMBTRACK, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_SCROLL_THUMBRELEASE, &CMarkdownTextCtrl::OnScroll, this);
    Bind(wxEVT_MOUSEWHEEL, &CMarkdownTextCtrl::OnMouseWheel, this);
    Bind(wxEVT_SIZE, &CMarkdownTextCtrl::OnSize, this);
    Bind(wxEVT_LEFT_DOWN, &CMarkdownTextCtrl::OnLeftDown, this);
    Bind(wxEVT_MOTION, &CMarkdownTextCtrl::OnMotion, this);
    Bind(wxEVT_LEFT_UP, &CMarkdownTextCtrl::OnLeftUp, this);
    Bind(wxEVT_LEFT_DCLICK, &CMarkdownTextCtrl::OnDoubleClick, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CMarkdownTextCtrl::OnCaptureLost, this);
    Bind(wxEVT_MOUSE_CAPTURE_CHANGED, &CMarkdownTextCtrl::OnCaptureChanged, this);
    Bind(wxEVT_TIMER, &CMarkdownTextCtrl::OnTimer, this, kAutoScrollTimerId);
    Bind(wxEVT_CONTEXT_MENU, &CMarkdownTextCtrl::OnContextMenu, this);
    Bind(wxEVT_KEY_DOWN, &CMarkdownTextCtrl::OnKeyDown, this);
    Bind(wxEVT_DPI_CHANGED, &CMarkdownTextCtrl::OnDpiChanged, this);
    return true;
}

void CMarkdownTextCtrl::CreateFonts() {
    fonts_ = CreateMarkdownFonts(dpi_);
    measurer_.Reset();
}

void CMarkdownTextCtrl::MeasureLineHeight() {
    wxClientDC dc(this);
    measurer_.Attach(&dc, &fonts_);
    const FontMetrics metrics = measurer_.Metrics(MarkdownFont::Regular);
    measurer_.Attach(nullptr, nullptr);
    bodyLineHeight_ = metrics.height + metrics.externalLeading;
}

int CMarkdownTextCtrl::ScrollBarWidth() const {
    const int metric = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
    if (metric > 0) return metric;
    return scrollBar_ != nullptr ? std::max(1, scrollBar_->GetBestSize().x) : 16;
}

MarkdownLayoutInput CMarkdownTextCtrl::LayoutInput() const {
    MarkdownLayoutInput input;
    input.clientWidth = GetClientSize().x;
    input.scrollBarWidth = ScrollBarWidth();
    input.margins = margins_;
    input.dpi = dpi_;
    input.bodyLineHeight = bodyLineHeight_;
    return input;
}

void CMarkdownTextCtrl::RunLayout(wxDC& dc) {
    measurer_.Attach(&dc, &fonts_);
    layout_ = LayOutMarkdown(markdown_, LayoutInput(), measurer_);
    measurer_.Attach(nullptr, nullptr);
    layoutOutOfDate_ = false;
}

void CMarkdownTextCtrl::RecalcLayout() {
    if (!layoutOutOfDate_ || GetHandle() == nullptr) return;
    if (bodyLineHeight_ == 0) MeasureLineHeight();
    wxClientDC dc(this);
    RunLayout(dc);
    UpdateScrollBar();
}

void CMarkdownTextCtrl::UpdateScrollBar() {
    if (scrollBar_ == nullptr) return;
    const int clientHeight = GetClientSize().y;
    if (layout_.totalHeight <= clientHeight) {
        scrollBar_->Hide();
        scroll_ = 0;
        return;
    }
    scroll_ = std::clamp(scroll_, 0, layout_.totalHeight - clientHeight);
    scrollBar_->SetScrollbar(scroll_, clientHeight, layout_.totalHeight, clientHeight, true);
    scrollBar_->Show();
}

void CMarkdownTextCtrl::MarkOutOfDate() {
    layoutOutOfDate_ = true;
    ClearSelection();
}

void CMarkdownTextCtrl::SetMarkdown(const std::wstring& markdown) {
    markdown_ = markdown;
    scroll_ = 0;
    MarkOutOfDate();
    Refresh(false);
}

void CMarkdownTextCtrl::SetTextColor(const wxColour& colour) {
    textColour_ = colour;
    Refresh(false);
}

void CMarkdownTextCtrl::SetBackgroundColor(const wxColour& colour) {
    backgroundColour_ = colour;
    Refresh(false);
}

void CMarkdownTextCtrl::SetMargins(int left, int top, int right, int bottom) {
    margins_ = {left, top, right, bottom};
    MarkOutOfDate();
    Refresh(false);
}

void CMarkdownTextCtrl::ScrollTo(int y) {
    const int most = std::max(0, layout_.totalHeight - GetClientSize().y);
    y = std::clamp(y, 0, most);
    if (y == scroll_) return;
    scroll_ = y;
    if (scrollBar_ != nullptr) scrollBar_->SetThumbPosition(y);
    Refresh();
}

wxRect CMarkdownTextCtrl::ContentRect() const {
    const wxSize client = GetClientSize();
    const int left = LeftMargin();
    const int top = TopMargin();
    const int right = std::max(client.x - ScrollBarWidth() - Dip(margins_.right), left);
    const int bottom = std::max(client.y - Dip(margins_.bottom), top);
    return wxRect(wxPoint(left, top), wxPoint(right - 1, bottom - 1));
}

int CMarkdownTextCtrl::LineStep() const { return bodyLineHeight_ >= 1 ? bodyLineHeight_ : Dip(16); }

TextPosition CMarkdownTextCtrl::HitTestPosition(const wxPoint& point) {
    RecalcLayout();
    wxClientDC dc(this);
    measurer_.Attach(&dc, &fonts_);
    const TextPosition hit =
        HitTestMarkdown(layout_, point.x, scroll_ - TopMargin() + point.y, LeftMargin(), dpi_, measurer_);
    measurer_.Attach(nullptr, nullptr);
    return hit;
}

void CMarkdownTextCtrl::ClearSelection() {
    const bool had = selection_.Exists();
    selection_.Clear();
    if (had) Refresh(false);
}

void CMarkdownTextCtrl::SelectAll() {
    RecalcLayout();
    if (layout_.lines.empty()) return;
    const int last = static_cast<int>(layout_.lines.size()) - 1;
    selection_.anchor = {0, 0};
    selection_.caret = {last, static_cast<int>(layout_.lines[static_cast<std::size_t>(last)].plainText.size())};
    Refresh(false);
}

std::wstring CMarkdownTextCtrl::GetSelectedText() const { return SelectedMarkdownText(layout_.lines, selection_); }

bool CMarkdownTextCtrl::CopySelection() {
    std::wstring text = GetSelectedText();
    if (text.empty()) return false;
    // Text on this desktop's clipboard ends its lines with a bare line feed.
    std::wstring plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) plain += text[i];
    if (!wxTheClipboard->Open()) return false;
    const bool placed = wxTheClipboard->SetData(new wxTextDataObject(wxString(plain)));
    wxTheClipboard->Close();
    return placed;
}

std::unique_ptr<wxMenu> CMarkdownTextCtrl::BuildContextMenu() const {
    auto menu = std::make_unique<wxMenu>();
    menu->Append(kMenuCopy, "&Copy\tCtrl+C");
    menu->Enable(kMenuCopy, selection_.Exists());
    menu->AppendSeparator();
    menu->Append(kMenuSelectAll, "Select &All\tCtrl+A");
    return menu;
}

void CMarkdownTextCtrl::OnScroll(wxScrollEvent& event) {
    const wxEventType type = event.GetEventType();
    int target = scroll_;
    if (type == wxEVT_SCROLL_LINEUP)
        target -= bodyLineHeight_;
    else if (type == wxEVT_SCROLL_LINEDOWN)
        target += bodyLineHeight_;
    else if (type == wxEVT_SCROLL_PAGEUP)
        target -= GetClientSize().y;
    else if (type == wxEVT_SCROLL_PAGEDOWN)
        target += GetClientSize().y;
    else if (type == wxEVT_SCROLL_TOP)
        target = 0;
    else if (type == wxEVT_SCROLL_BOTTOM)
        target = layout_.totalHeight;
    else
        target = event.GetPosition();
    ScrollTo(target);
}

void CMarkdownTextCtrl::OnMouseWheel(wxMouseEvent& event) {
    if (event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || layout_.totalHeight <= GetClientSize().y) return;
    const int delta = event.GetWheelRotation();
    if ((delta > 0 && wheelRemainder_ < 0) || (delta < 0 && wheelRemainder_ > 0)) wheelRemainder_ = 0;
    wheelRemainder_ += delta;
    const int perNotch = event.GetWheelDelta() > 0 ? event.GetWheelDelta() : 120;
    const int notches = wheelRemainder_ / perNotch;
    if (notches == 0) return;
    wheelRemainder_ -= notches * perNotch;
    ScrollBy(-(notches * bodyLineHeight_ * 3));
}

void CMarkdownTextCtrl::OnSize(wxSizeEvent& event) {
    event.Skip();
    const wxSize client = GetClientSize();
    if (scrollBar_ != nullptr) {
        const int barWidth = ScrollBarWidth();
        scrollBar_->SetSize(client.x - barWidth, 0, barWidth, client.y);
    }
    MarkOutOfDate();
    Refresh();
}

void CMarkdownTextCtrl::OnDpiChanged(wxDPIChangedEvent& event) {
    event.Skip();
    dpi_ = WindowDpi(this);
    CreateFonts();
    MeasureLineHeight();
    MarkOutOfDate();
    Refresh();
}

bool CMarkdownTextCtrl::IsDoubleClick(const wxPoint& point) {
    const auto now = std::chrono::steady_clock::now();
    const auto limit = std::chrono::milliseconds(MetricOr(wxSYS_DCLICK_MSEC, this, kDefaultDoubleClickMilliseconds));
    const int width = MetricOr(wxSYS_DCLICK_X, this, kDefaultDoubleClickDistance);
    const int height = MetricOr(wxSYS_DCLICK_Y, this, kDefaultDoubleClickDistance);
    const bool twice = now - lastClickTime_ <= limit && std::abs(point.x - lastClickPoint_.x) <= width / 2 &&
                       std::abs(point.y - lastClickPoint_.y) <= height / 2;
    lastClickTime_ = now;
    lastClickPoint_ = point;
    return twice;
}

void CMarkdownTextCtrl::SelectWordAt(const wxPoint& point) {
    const MarkdownSelection word = WordSelectionAt(layout_.lines, HitTestPosition(point));
    if (!word.Exists()) return;
    selection_ = word;
    Refresh(false);
}

void CMarkdownTextCtrl::OnLeftDown(wxMouseEvent& event) {
    SetFocus();
    RecalcLayout();
    const wxPoint point = event.GetPosition();
    if (IsDoubleClick(point)) {
        SelectWordAt(point);
        return;
    }
    const bool had = selection_.Exists();
    const TextPosition hit = HitTestPosition(point);
    selection_.anchor = selection_.caret = hit;
    dragging_ = true;
    lastMousePoint_ = point;
    if (!HasCapture()) CaptureMouse();
    if (had) Refresh(false);
}

void CMarkdownTextCtrl::OnMotion(wxMouseEvent& event) {
    if (!dragging_) return;
    if (!event.LeftIsDown()) {
        EndDrag();
        return;
    }
    lastMousePoint_ = event.GetPosition();
    const wxRect content = ContentRect();
    const bool outside = lastMousePoint_.y < content.GetTop() || lastMousePoint_.y > content.GetBottom();
    if (layout_.totalHeight > GetClientSize().y && outside) {
        if (!autoScrollTimer_.IsRunning()) autoScrollTimer_.Start(kAutoScrollMilliseconds);
    } else {
        autoScrollTimer_.Stop();
    }
    const TextPosition hit = HitTestPosition(lastMousePoint_);
    if (hit != selection_.caret) {
        selection_.caret = hit;
        Refresh(false);
    }
}

void CMarkdownTextCtrl::EndDrag() {
    autoScrollTimer_.Stop();
    dragging_ = false;
    if (HasCapture()) ReleaseMouse();
}

void CMarkdownTextCtrl::OnLeftUp(wxMouseEvent& event) {
    event.Skip();
    EndDrag();
}

void CMarkdownTextCtrl::OnDoubleClick(wxMouseEvent& event) { SelectWordAt(event.GetPosition()); }

void CMarkdownTextCtrl::OnCaptureLost(wxMouseCaptureLostEvent&) {
    autoScrollTimer_.Stop();
    dragging_ = false;
}

void CMarkdownTextCtrl::OnCaptureChanged(wxMouseCaptureChangedEvent&) {
    if (GetCapture() == this) return;
    autoScrollTimer_.Stop();
    dragging_ = false;
}

void CMarkdownTextCtrl::OnTimer(wxTimerEvent&) {
    if (!dragging_ || layout_.totalHeight <= GetClientSize().y) {
        autoScrollTimer_.Stop();
        return;
    }
    const wxRect content = ContentRect();
    int distance = 0;
    if (lastMousePoint_.y < content.GetTop())
        distance = lastMousePoint_.y - content.GetTop();
    else if (lastMousePoint_.y > content.GetBottom())
        distance = lastMousePoint_.y - content.GetBottom();
    if (distance == 0) {
        autoScrollTimer_.Stop();
        return;
    }
    const int line = LineStep();
    const int step = std::min(std::max(std::abs(distance), line / 2), 3 * line);
    const int before = scroll_;
    ScrollBy(distance < 0 ? -step : step);
    if (scroll_ == before) {
        autoScrollTimer_.Stop();
        return;
    }
    selection_.caret = HitTestPosition(lastMousePoint_);
    Refresh(false);
}

void CMarkdownTextCtrl::OnContextMenu(wxContextMenuEvent& event) {
    RecalcLayout();
    wxPoint point = event.GetPosition();
    point = point == wxDefaultPosition ? wxPoint(GetClientSize().x / 2, GetClientSize().y / 2) : ScreenToClient(point);
    const std::unique_ptr<wxMenu> menu = BuildContextMenu();
    const int choice = GetPopupMenuSelectionFromUser(*menu, point);
    if (choice == kMenuCopy)
        CopySelection();
    else if (choice == kMenuSelectAll)
        SelectAll();
}

void CMarkdownTextCtrl::OnKeyDown(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (event.ControlDown() || event.RawControlDown()) {
        if (key == 'C' || key == WXK_INSERT) {
            CopySelection();
            return;
        }
        if (key == 'A') {
            SelectAll();
            return;
        }
    }
    // The viewer takes every key so that the arrows reach it; Tab still
    // moves on through the dialog.
    if (key == WXK_TAB && !event.ControlDown()) {
        Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward : wxNavigationKeyEvent::IsForward);
        return;
    }
    const int clientHeight = GetClientSize().y;
    if (layout_.totalHeight <= clientHeight) {
        event.Skip();
        return;
    }
    const int line = bodyLineHeight_ >= 1 ? bodyLineHeight_ : 16;
    const int page = std::max(line, clientHeight - line);
    switch (key) {
        case WXK_PAGEUP:
            ScrollBy(-page);
            break;
        case WXK_PAGEDOWN:
            ScrollBy(page);
            break;
        case WXK_HOME:
            ScrollTo(0);
            break;
        case WXK_END:
            ScrollTo(layout_.totalHeight);
            break;
        case WXK_UP:
            ScrollBy(-line);
            break;
        case WXK_DOWN:
            ScrollBy(line);
            break;
        default:
            event.Skip();
            break;
    }
}

}  // namespace ridgeforge
