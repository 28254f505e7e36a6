// Three small owner-drawn pickers for the texture section: a strip of
// equal segments with one pressed (the tabs), a scrolling list of names
// with one selected row, and a scrolling grid of square grey thumbnails
// with captions, a hover frame and a selection frame with a tick. They know
// nothing of textures; each reports clicks to its owner through a callback
// and paints itself double-buffered. No keyboard handling.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <wx/string.h>
#include <wx/window.h>

#include "ui/workflow/PickerGeometry.h"

class wxDC;
class wxScrollWinEvent;

namespace ridgeforge {

struct ThumbnailItem {
    wxString key;  // what identifies the item to its owner
    wxString caption;
    // 0xAARRGGBB, row by row from the top, side x side of them.
    std::vector<std::uint32_t> pixels;
    int side = 0;
    bool user = false;  // the user's own item
};

// Draws the top `rows` rows (all of them when `rows` is outside 1..height)
// of a top-down ARGB image stretched into `rect` with smooth filtering.
// Nothing for empty pixels, a non-positive size or an empty rectangle.
void DrawThumbnailPixels(wxDC& dc, const wxRect& rect, const std::vector<std::uint32_t>& pixels, int width, int height,
                         int rows);
// The text broken at blanks so that each line fits the width; a word wider
// than the width keeps a line of its own.
wxString WrapWords(wxDC& dc, const wxString& text, int width);
// The white tick in a square (pen 2 dip wide, at least 1 px).
void DrawCheckMark(wxDC& dc, const wxRect& square, unsigned dpi);

// The window class the pickers share: an arrow cursor and no background of
// their own; `scrolls` adds the vertical scroll bar.
bool CreatePickerWindow(wxWindow& window, wxWindow* parent, int id, bool scrolls);
// Sets the vertical scroll bar: range 0..max(total - 1, 0), the page, the position.
void SetVerticalScroll(wxWindow& window, int total, int page, int position);
// Sends every kind of vertical scroll bar event of the window to `handler`.
void BindScrollEvents(wxWindow& window, std::function<void(wxScrollWinEvent&)> handler);
// The scroll code of a scroll bar event, and its track position.
ScrollCode ScrollCodeOf(const wxScrollWinEvent& event);

class CSegmented : public wxWindow {
public:
    // Gets the new pressed index after a click pressed another segment.
    using ChangeCallback = std::function<void(int)>;

    bool Create(wxWindow* parent, int id, unsigned dpi);
    void SetItems(std::vector<wxString> items);
    void SetSelected(int index);
    int Selected() const { return selected_; }
    const std::vector<wxString>& Items() const { return items_; }
    void SetDpi(unsigned dpi);
    void SetChangeCallback(ChangeCallback callback) { onChange_ = std::move(callback); }
    // A left press at a client point, as the mouse gives it.
    void Press(const wxPoint& point);

private:
    void OnPaint(wxPaintEvent& event);

    std::vector<wxString> items_;
    int selected_ = 0;
    unsigned dpi_ = 96;
    ChangeCallback onChange_;
};

class CNameList : public wxWindow {
public:
    // Gets the clicked row after it was selected, on every click on a row.
    using ClickCallback = std::function<void(int)>;

    bool Create(wxWindow* parent, int id, unsigned dpi);
    void SetNames(std::vector<wxString> names);
    // Ignored outside -1..count-1; scrolls the row into view.
    void SetSelection(int index);
    // The first exactly equal name, else -1.
    int FindName(const wxString& name) const;
    int Selection() const { return selected_; }
    const std::vector<wxString>& Names() const { return names_; }
    int ScrollOffset() const { return scroll_; }
    void SetDpi(unsigned dpi);
    void SetClickCallback(ClickCallback callback) { onClick_ = std::move(callback); }
    void UpdateScroll();
    void ScrollTo(int offset);
    void Press(const wxPoint& point);
    void ScrollByWheel(int wheelDelta);

private:
    void OnPaint(wxPaintEvent& event);
    void OnScroll(wxScrollWinEvent& event);

    std::vector<wxString> names_;
    int selected_ = -1;
    int scroll_ = 0;
    unsigned dpi_ = 96;
    ClickCallback onClick_;
};

class CThumbnailGrid : public wxWindow {
public:
    // Gets the pressed item's index and whether the right button pressed it.
    using ClickCallback = std::function<void(int, bool)>;

    bool Create(wxWindow* parent, int id, unsigned dpi);
    // The scroll stays when the keys are the same, in the same order.
    void SetItems(std::vector<ThumbnailItem> items);
    void SetColumns(int columns);
    void SetSelectedKey(const wxString& key);
    void SetEmptyText(const wxString& text);
    void SetDpi(unsigned dpi);
    void SetClickCallback(ClickCallback callback) { onClick_ = std::move(callback); }

    const std::vector<ThumbnailItem>& Items() const { return items_; }
    const wxString& SelectedKey() const { return selectedKey_; }
    const wxString& EmptyText() const { return emptyText_; }
    int Columns() const { return columns_; }
    int ScrollOffset() const { return scroll_; }
    int HoverIndex() const { return hover_; }
    GridGeometry Geometry() const;
    int HitTest(const wxPoint& point) const;

    void UpdateScroll();
    void ScrollTo(int offset);
    void Press(const wxPoint& point, bool right);
    void ScrollByWheel(int wheelDelta);
    // Paints the grid as the window shows it into any DC of the client size.
    void PaintGrid(wxDC& dc, const wxSize& client);

private:
    void OnPaint(wxPaintEvent& event);
    void OnScroll(wxScrollWinEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);

    std::vector<ThumbnailItem> items_;
    wxString selectedKey_;
    wxString emptyText_;
    int columns_ = 4;
    int scroll_ = 0;
    int hover_ = -1;
    unsigned dpi_ = 96;
    ClickCallback onClick_;
};

}  // namespace ridgeforge
