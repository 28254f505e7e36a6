// The application toolbar: twenty buttons in six groups (the part's files,
// Lay on Face, the texture handles, the surface modes, the shading modes with
// the orthographic switch, and the sliced preview) in a strip across the top
// of the main window. Every button sends a menu command and shows the state
// that command's update handler gives, so the toolbar holds no state.
#pragma once

#include <vector>

#include <wx/panel.h>

#include "ui/app/ToolbarButton.h"

namespace ridgeforge {

class CToolbarHostWnd;

std::vector<ToolbarButton> BuildToolbarButtons();

// The pane that holds the strip, at a fixed height of the strip's nominal
// height (40 dip) plus 2 px; hidden, it takes no room.
class CAppToolbarPane : public wxPanel {
public:
    // Makes the pane and its strip (child id 1); the strip's creation
    // failing leaves Strip() null.
    explicit CAppToolbarPane(wxWindow* parent, wxWindowID id = wxID_ANY);

    CToolbarHostWnd* Strip() { return strip_; }
    // The pane's height in px while shown.
    int Thickness() const;
    // Shows or hides the pane and lets the frame lay out again at once.
    void ShowPane(bool show);
    // Sizes for a new DPI.
    void SetDpi(unsigned dpi);

private:
    void UpdateHeight();

    CToolbarHostWnd* strip_ = nullptr;
};

}  // namespace ridgeforge
