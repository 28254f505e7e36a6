// The read-only Markdown viewer of the dialogs' help column: owns the page,
// its fonts and laid-out lines, paints them double-buffered, scrolls them with
// its own scroll bar, the wheel and the keys, lets the user select with the
// mouse (drag, double click for a word, Ctrl+A for everything) and copies the
// selection as text. Layout runs only when the page, size, DPI or margins
// changed; painting and hit testing find lines by halving on the line tops.
#pragma once

#include <wx/menu.h>
#include <wx/scrolbar.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <chrono>
#include <memory>
#include <string>

#include "ui/app/MarkdownLayout.h"
#include "ui/app/MarkdownSelection.h"
#include "ui/app/internal/MarkdownMeasurer.h"
#include "ui/framework/Dpi.h"

namespace ridgeforge {

class CMarkdownTextCtrl : public wxWindow {
public:
    static constexpr int kScrollBarId = 1;
    static constexpr int kAutoScrollTimerId = 44449;
    static constexpr int kAutoScrollMilliseconds = 50;
    static constexpr int kMenuCopy = 1;
    static constexpr int kMenuSelectAll = 2;

    CMarkdownTextCtrl() = default;
    CMarkdownTextCtrl(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size);
    ~CMarkdownTextCtrl() override;

    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size);

    void SetMarkdown(const std::wstring& markdown);
    const std::wstring& GetMarkdown() const { return markdown_; }
    void SetTextColor(const wxColour& colour);
    void SetBackgroundColor(const wxColour& colour);
    // Inner margins in 96-dpi units.
    void SetMargins(int left, int top, int right, int bottom);

    void RecalcLayout();
    void ScrollTo(int y);
    // The (line, character) under a point of the client area; line -1 without lines.
    TextPosition HitTestPosition(const wxPoint& point);

    void ClearSelection();
    void SelectAll();
    std::wstring GetSelectedText() const;
    bool CopySelection();

    // Draws the client area as a paint would (laying out first when needed).
    void PaintTo(wxDC& dc);

    // The context menu as it would pop up now (Copy greyed without a selection).
    std::unique_ptr<wxMenu> BuildContextMenu() const;

    int GetScrollPosition() const { return scroll_; }
    int GetTotalHeight() const { return layout_.totalHeight; }
    int GetBodyLineHeight() const { return bodyLineHeight_; }
    int GetDpi() const { return dpi_; }
    const MarkdownLayout& GetLayout() const { return layout_; }
    const MarkdownSelection& GetSelection() const { return selection_; }
    bool IsLayoutOutOfDate() const { return layoutOutOfDate_; }
    wxScrollBar* GetScrollBar() const { return scrollBar_; }

    bool AcceptsFocus() const override { return true; }

private:
    void CreateFonts();
    void MeasureLineHeight();
    MarkdownLayoutInput LayoutInput() const;
    void RunLayout(wxDC& dc);
    void UpdateScrollBar();
    void MarkOutOfDate();
    int ScrollBarWidth() const;
    int Dip(int value) const { return ui::ScaleDip(value, static_cast<unsigned>(dpi_)); }
    int LeftMargin() const { return Dip(margins_.left); }
    int TopMargin() const { return Dip(margins_.top); }
    wxRect ContentRect() const;
    int LineStep() const;

    void OnPaint(wxPaintEvent& event);
    void OnScroll(wxScrollEvent& event);
    void OnMouseWheel(wxMouseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnDoubleClick(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnCaptureChanged(wxMouseCaptureChangedEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnDpiChanged(wxDPIChangedEvent& event);

    void SelectWordAt(const wxPoint& point);
    bool IsDoubleClick(const wxPoint& point);
    void EndDrag();
    void ScrollBy(int delta) { ScrollTo(scroll_ + delta); }

    std::wstring markdown_;
    wxColour textColour_{255, 255, 255};
    wxColour backgroundColour_{0, 0, 0};
    MarkdownFontSet fonts_;
    WxMarkdownMeasurer measurer_;
    int dpi_ = 96;
    int scroll_ = 0;
    int bodyLineHeight_ = 0;
    MarkdownLayout layout_;
    bool layoutOutOfDate_ = true;
    wxScrollBar* scrollBar_ = nullptr;
    MarkdownMargins margins_;
    MarkdownSelection selection_;
    bool dragging_ = false;
    wxPoint lastMousePoint_;
    wxTimer autoScrollTimer_;
    std::chrono::steady_clock::time_point lastClickTime_{};
    wxPoint lastClickPoint_{-10000, -10000};
    int wheelRemainder_ = 0;
};

}  // namespace ridgeforge
