// The program's own strip of icon buttons, drawn flat: the application
// toolbar, the mapping and texture sections and the mask panel each hold
// one. An owner describes the buttons as ToolbarButton records; the strip
// lays them out in a row (or a column), paints them from the PNG icons in
// its icon folder, shows each button's label and tooltip on hover, asks the
// command target's update handlers on every idle pass whether each button
// is enabled and checked, and sends a button's command to the target when it
// is clicked (pressed and released over the same enabled button).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/modalhook.h>
#include <wx/weakref.h>
#include <wx/window.h>

#include "ui/app/ToolbarButton.h"
#include "ui/framework/Commands.h"

class wxDC;

namespace ridgeforge {

// The strip's live entry per item.
struct ToolbarButtonState {
    ToolbarButton button;
    // Empty when the item is not placed.
    wxRect rect;
    bool enabled = true;
    bool checked = false;
    ToolbarTexts texts;
};

class CToolbarHostWnd : public wxWindow, public ui::CommandUpdateAsker {
public:
    struct Colours {
        wxColour face{248, 248, 248};
        wxColour border{218, 218, 218};
        wxColour hover{236, 242, 249};
        wxColour hoverFrame{170, 196, 227};
        wxColour pressed{222, 232, 245};
        wxColour checked{226, 236, 248};
        wxColour checkedFrame{158, 186, 218};
        wxColour disabledTint{150, 150, 150};
    };

    CToolbarHostWnd() = default;
    ~CToolbarHostWnd() override;

    // Makes the child window, named "ToolbarHost", with an empty rectangle.
    bool Create(wxWindow* parent, wxWindowID id);

    void ResetColorScheme();
    // Nominal height 40 dip instead of 36; the owner sizes its pane by it.
    void SetLargeIcons();
    void SetButtonInset(int dip);
    void SetItemGap(int dip);
    void SetEdgeInset(int dip);
    void SetVertical(bool vertical);
    // The window that gets the commands and answers their update requests;
    // without one (or once it is gone) the strip's top-level window.
    void SetCommandTarget(wxWindow* target);
    // The icons' folder: beside the program unless `relativeToProgram` is
    // false or the folder is absolute.
    void SetIconFolder(const wxString& folder, bool relativeToProgram = true);
    void SetButtons(const std::vector<ToolbarButton>& buttons);

    // Asks the target's update handlers for every button; repaints when a
    // state changed. Runs on every idle pass.
    void UpdateButtonStates();
    // Places the items for the current size.
    bool Layout() override;
    // Font, icons and layout for a new DPI (a move to another monitor).
    void SetDpi(unsigned dpi);
    unsigned Dpi() const { return dpi_; }

    int NominalHeight() const { return nominalHeight_; }
    const Colours& GetColours() const { return colours_; }
    const std::vector<ToolbarButtonState>& Entries() const { return entries_; }
    int HoverIndex() const { return hover_; }
    int PressedIndex() const { return pressed_; }
    wxWindow* CommandTarget() const;
    // The entry index of the first placed button under the point, or -1.
    int HitTest(const wxPoint& point) const;
    std::size_t SourceIconCount() const { return sourceIcons_.size(); }
    // Heights the scaled icons are cached at (each once).
    std::vector<int> ScaledIconHeights() const;

    // Draws the whole strip into `dc` (the paint handler's work).
    void PaintStrip(wxDC& dc);

private:
    struct ScaledIcon {
        wxBitmap normal;
        wxBitmap disabled;
    };

    ToolbarMetrics Metrics() const;
    void MakeFont();
    void ClearIconCaches();
    const wxImage* SourceIcon(const ToolbarButton& button);
    ScaledIcon* ScaledIconFor(const ToolbarButton& button, int height);
    void PaintButton(wxDC& dc, const ToolbarButtonState& entry, int index, int iconHeight);
    void RefreshItem(int index);
    void SetHover(int index);
    void SendButtonCommand(std::uint32_t commandId);

    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);

    std::vector<ToolbarButtonState> entries_;
    int nominalHeight_ = 36;
    Colours colours_;
    int buttonInset_ = 8;
    int itemGap_ = 2;
    int edgeInset_ = 8;
    bool vertical_ = false;
    wxWeakRef<wxWindow> target_;
    int hover_ = -1;
    int pressed_ = -1;
    wxString iconFolder_ = "resources";
    bool iconFolderRelative_ = true;
    unsigned dpi_ = 96;
    unsigned fontDpi_ = 0;
    std::unordered_map<std::string, wxImage> sourceIcons_;
    std::unordered_map<std::string, std::unordered_map<int, ScaledIcon>> scaledIcons_;
    // Hides the hover and its tooltip when a modal dialog opens.
    std::unique_ptr<wxModalDialogHook> modalHook_;
};

// A strip as the workflow sections and the mask panel hold it: the tight
// spacing (button inset 4, item gap 1, edge inset 2) and the large icons,
// in a row or a column. Null when the window cannot be made.
CToolbarHostWnd* CreateCompactStrip(wxWindow* parent, wxWindowID id, bool vertical,
                                    const std::vector<ToolbarButton>& buttons);

}  // namespace ridgeforge
