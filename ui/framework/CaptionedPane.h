// A fixed side pane of the main window: a caption strip on top, a content
// window below, a one-pixel border on the side that faces the view, and a
// design size in 96-DPI units (a width for side panes, a height for a bottom
// pane) that it keeps at every DPI. The user cannot drag its edge.
#pragma once

#include <wx/panel.h>
#include <wx/sizer.h>

namespace ridgeforge::ui {

enum class PaneSide { Left, Right, Bottom };

// The pane colours: caption strip, caption text and the border line.
inline const wxColour kCaptionBackground(230, 234, 240);
inline const wxColour kCaptionText(28, 32, 38);
inline const wxColour kPaneBorder(210, 215, 222);

class CaptionedPane : public wxPanel {
public:
    // designWidth / designHeight: 0 when that side is not fixed.
    CaptionedPane(wxWindow* parent, int id, const wxString& caption, PaneSide side, int designWidth, int designHeight);

    // The window filling the pane below the caption (owned by the pane once
    // set; the previous one is destroyed).
    void SetContent(wxWindow* content);
    wxWindow* Content() const { return content_; }

    const wxString& Caption() const { return caption_; }
    void SetCaption(const wxString& caption);

    PaneSide Side() const { return side_; }
    int DesignWidth() const { return designWidth_; }
    int DesignHeight() const { return designHeight_; }

    // Scales the fixed side to `dpi`, makes it the pane's size and lays the
    // parent out again. Derived panes add their own work (fonts) and call
    // this first.
    virtual void SetDpi(unsigned dpi);
    unsigned Dpi() const { return dpi_; }
    // The fixed side at the current DPI, in pixels.
    wxSize ScaledSize() const;
    int CaptionHeight() const;

private:
    void OnPaintPane(wxPaintEvent& event);
    void OnPaintCaption(wxPaintEvent& event);
    void Relayout();

    wxString caption_;
    PaneSide side_;
    int designWidth_;
    int designHeight_;
    unsigned dpi_ = 96;
    wxWindow* strip_ = nullptr;
    wxSizer* inner_ = nullptr;
    wxWindow* content_ = nullptr;
};

}  // namespace ridgeforge::ui
