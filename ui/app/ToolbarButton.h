// The items of a toolbar strip and the rules the strip applies to them
// without a window: the texts a button shows, where each item goes in the
// row (or column), and the washed-out copy of an icon a disabled button
// shows. CToolbarHostWnd (ToolbarHostWnd.h) draws and drives them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/string.h>

namespace ridgeforge {

enum class ToolbarItemKind : int { Button = 0, Separator = 1 };

// One item as its owner describes it; copied into the strip.
struct ToolbarButton {
    ToolbarItemKind kind = ToolbarItemKind::Button;
    std::uint32_t commandId = 0;
    // The icon file's name without folder; ".png" is added when it has no dot.
    std::string iconKey;
    // 1: a PNG file in the strip's icon folder (the only source there is).
    int iconSource = 1;
    wxString label;
    wxString tooltip;
    // Used when neither the label nor the command's string gives one.
    wxString fallbackLabel;
    bool visible = true;
    bool initiallyEnabled = true;
    bool initiallyChecked = false;
    // Width of a separator, in 96-DPI units.
    int separatorGap = 8;
};

ToolbarButton MakeToolbarButton(std::uint32_t commandId, const std::string& iconKey, const wxString& label,
                                const wxString& tooltip);
ToolbarButton MakeToolbarSeparator(int gapDip = 8);

// The "prompt\nshort name" string of a menu command, or an empty text for a
// command without one.
wxString CommandString(std::uint32_t commandId);

// The label and tooltip a button shows: its own, else the command string's
// short name (label) and prompt (tooltip), else the fallback label; the
// label on one line, both trimmed, and no tooltip that merely repeats the
// label (in any case). `commandString` is CommandString by default.
struct ToolbarTexts {
    wxString label;
    wxString tooltip;
};
ToolbarTexts WorkOutToolbarTexts(const ToolbarButton& button,
                                 const std::function<wxString(std::uint32_t)>& commandString = CommandString);

// The hover text: the label above the tooltip, or the label alone.
wxString ToolbarTipText(const ToolbarTexts& texts);

// What the layout needs of the strip; sizes in 96-DPI units unless named px.
struct ToolbarMetrics {
    wxSize client;
    unsigned dpi = 96;
    bool vertical = false;
    int buttonInset = 8;
    int itemGap = 2;
    int edgeInset = 8;
};

// The button's cross size in px: the strip's thickness less 2 px and 4 dip
// on each side, at least 16 dip.
int ToolbarButtonCrossSize(const ToolbarMetrics& metrics);
// The icon height the layout sizes buttons by: b - 6 px, at least 12 px.
int ToolbarLayoutIconHeight(const ToolbarMetrics& metrics);
// The icon height painted inside a button: b less 4 dip on each side, at
// least 12 px.
int ToolbarPaintIconHeight(const ToolbarMetrics& metrics);

// Rectangles of the items in order: an empty one for an item that is hidden
// or that does not fit before the far edge inset. `iconWidth` gives the width
// in px of an item's icon at a height in px, or 0 when it has none.
std::vector<wxRect> LayoutToolbarItems(const std::vector<ToolbarButton>& items, const ToolbarMetrics& metrics,
                                       const std::function<int(std::size_t item, int height)>& iconWidth);

// A disabled button's icon: each pixel's luminance L = (29 B + 150 G +
// 77 R) >> 8, three parts of it and one of `tint` per channel
// ((3 L + tint) >> 2), and alpha * 115 / 255, so that it reads as washed out
// on any face. An image without alpha counts as opaque.
wxImage TintDisabledIcon(const wxImage& icon, const wxColour& tint);

}  // namespace ridgeforge
