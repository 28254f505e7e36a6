// Texts, layout and the disabled tint of a toolbar strip's items. Kept apart
// from the window so that they can be checked without a display.
#include "ui/app/ToolbarButton.h"

#include <algorithm>
#include <unordered_map>

#include "ui/commands/CommandIds.h"
#include "ui/framework/Dpi.h"

namespace ridgeforge {
namespace {

// The commands' "prompt\nshort name" strings, for buttons whose owner gives
// no label or tooltip of its own.
const std::unordered_map<std::uint32_t, const char*>& CommandStrings() {
    static const std::unordered_map<std::uint32_t, const char*> strings{
        {ID_FILE_NEW, "Start again with nothing loaded\nNew"},
        {ID_FILE_OPEN, "Load the part to texture\nOpen STL"},
        {ID_FILE_SAVE_STL, "Save the textured part as an STL file\nSave STL"},
        {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
        {ID_FILE_SAVE_ASCII_STL, "Save the textured part as an ASCII STL file\nSave ASCII STL"},
        {ID_LAY_ON_FACE, "Turn the part so a chosen face lies on the bed\nLay on Face"},
        {ID_TOOL_NONE, "Hide the texture handles\nNo Handles"},
        {ID_TOOL_MOVE_TEXTURE, "Drag the handles to slide the texture over the part\nMove Texture"},
        {ID_TOOL_ROTATE_TEXTURE, "Drag the handle to turn the texture\nRotate Texture"},
        {ID_TOOL_ZOOM_TEXTURE, "Drag the handles to make the texture larger or smaller\nZoom Texture"},
        {ID_TOOL_MOVE_CAGE, "Drag the handles to move the projection cage\nMove Cage"},
        {ID_TOOL_ROTATE_CAGE, "Drag the rings to turn the projection cage\nRotate Cage"},
        {ID_MASK_EDIT, "Move, turn and size the mask volumes\nEdit Masks"},
        {ID_SURFACE_PLAIN, "Show the part in one colour\nPlain Surface"},
        {ID_SURFACE_CHECKERBOARD, "Show where the texture lies as a checkerboard\nCheckerboard"},
        {ID_SURFACE_PROJECTOR, "Colour each face by the side of the projection that textures it\nProjector Colours"},
        {ID_SURFACE_HEIGHT_MAP, "Show the texture itself on the part\nHeight Map"},
        {ID_SURFACE_OUTER_INNER, "Colour each face by whether it faces open air or another surface\nOuter / Inner"},
        {ID_SHADING_SMOOTH, "Draw the surface smooth\nSmooth Shaded"},
        {ID_SHADING_FLAT, "Draw every triangle flat\nFlat Shaded"},
        {ID_SHADING_WIREFRAME, "Draw the triangles' edges only\nWireframe"},
        {ID_SHADING_SOLID_WIREFRAME, "Draw the surface with its edges over it\nSolid plus Wireframe"},
        {ID_VIEW_ORTHOGRAPHIC, "Switch between parallel and perspective projection\nOrthographic"},
        {ID_DISPLAY_SLICED, "Show the part as the printer lays it, layer by layer\nSliced (as Printed)"},
        {ID_VIEW_RESET, "Frame the whole part\nReset / Fit"},
        {ID_STOP_PROCESSING, "Stop the processing run\nStop Processing"},
    };
    return strings;
}

int Dip(int size, unsigned dpi) { return ui::ScaleDip(size, dpi); }

}  // namespace

ToolbarButton MakeToolbarButton(std::uint32_t commandId, const std::string& iconKey, const wxString& label,
                                const wxString& tooltip) {
    ToolbarButton button;
    button.commandId = commandId;
    button.iconKey = iconKey;
    button.iconSource = 1;
    button.label = label;
    button.tooltip = tooltip;
    return button;
}

ToolbarButton MakeToolbarSeparator(int gapDip) {
    ToolbarButton separator;
    separator.kind = ToolbarItemKind::Separator;
    separator.separatorGap = gapDip;
    return separator;
}

wxString CommandString(std::uint32_t commandId) {
    const auto& strings = CommandStrings();
    const auto found = strings.find(commandId);
    return found == strings.end() ? wxString() : wxString::FromUTF8(found->second);
}

ToolbarTexts WorkOutToolbarTexts(const ToolbarButton& button,
                                 const std::function<wxString(std::uint32_t)>& commandString) {
    ToolbarTexts texts{button.label, button.tooltip};
    if ((texts.label.empty() || texts.tooltip.empty()) && button.commandId != 0 && commandString) {
        const wxString whole = commandString(button.commandId);
        const int newline = whole.Find('\n');
        const wxString prompt = newline == wxNOT_FOUND ? whole : whole.Left(static_cast<size_t>(newline));
        const wxString shortName = newline == wxNOT_FOUND ? whole : whole.Mid(static_cast<size_t>(newline) + 1);
        if (texts.label.empty()) texts.label = shortName;
        if (texts.tooltip.empty()) texts.tooltip = prompt;
    }
    if (texts.label.empty()) texts.label = button.fallbackLabel;
    texts.label.Replace("\r", "");
    texts.label.Replace("\n", " ");
    texts.label.Trim(true).Trim(false);
    texts.tooltip.Replace("\r", "");
    texts.tooltip.Trim(true).Trim(false);
    if (texts.tooltip.CmpNoCase(texts.label) == 0) texts.tooltip.clear();
    return texts;
}

wxString ToolbarTipText(const ToolbarTexts& texts) {
    if (texts.tooltip.empty()) return texts.label;
    if (texts.label.empty()) return texts.tooltip;
    return texts.label + "\n" + texts.tooltip;
}

int ToolbarButtonCrossSize(const ToolbarMetrics& metrics) {
    const int cross = metrics.vertical ? metrics.client.x : metrics.client.y;
    const int least = Dip(16, metrics.dpi);
    return std::max(least, std::max(least, cross - 2) - 2 * Dip(4, metrics.dpi));
}

int ToolbarLayoutIconHeight(const ToolbarMetrics& metrics) {
    return std::max(12, ToolbarButtonCrossSize(metrics) - Dip(6, metrics.dpi));
}

int ToolbarPaintIconHeight(const ToolbarMetrics& metrics) {
    return std::max(12, ToolbarButtonCrossSize(metrics) - 2 * Dip(4, metrics.dpi));
}

std::vector<wxRect> LayoutToolbarItems(const std::vector<ToolbarButton>& items, const ToolbarMetrics& metrics,
                                       const std::function<int(std::size_t item, int height)>& iconWidth) {
    std::vector<wxRect> rects(items.size());
    const int mainExtent = metrics.vertical ? metrics.client.y : metrics.client.x;
    const int cross = metrics.vertical ? metrics.client.x : metrics.client.y;
    const int b = ToolbarButtonCrossSize(metrics);
    const int across = (cross - b) / 2;
    const int edge = Dip(metrics.edgeInset, metrics.dpi);
    const int iconHeight = ToolbarLayoutIconHeight(metrics);
    const auto place = [&](int along, int length) {
        return metrics.vertical ? wxRect(across, along, b, length) : wxRect(along, across, length, b);
    };
    int p = edge;
    // Once a button does not fit, the ones after it stay hidden too, so that
    // a short strip shows a leading run of buttons and no gaps.
    bool full = false;
    for (std::size_t index = 0; index < items.size(); ++index) {
        const ToolbarButton& item = items[index];
        if (!item.visible) continue;
        if (item.kind == ToolbarItemKind::Separator) {
            const int gap = Dip(std::max(0, item.separatorGap), metrics.dpi);
            rects[index] = place(p, gap);
            p += gap;
            continue;
        }
        int width = Dip(28, metrics.dpi);
        const int icon = iconWidth ? iconWidth(index, iconHeight) : 0;
        if (icon > 0) width = std::max(width, icon + 2 * Dip(metrics.buttonInset, metrics.dpi));
        if (full || p + width > mainExtent - edge) {
            full = true;
            continue;
        }
        rects[index] = place(p, width);
        p += width + Dip(metrics.itemGap, metrics.dpi);
    }
    return rects;
}

wxImage TintDisabledIcon(const wxImage& icon, const wxColour& tint) {
    if (!icon.IsOk()) return wxImage();
    wxImage tinted = icon.Copy();
    if (!tinted.HasAlpha()) tinted.InitAlpha();
    const int pixels = tinted.GetWidth() * tinted.GetHeight();
    unsigned char* rgb = tinted.GetData();
    unsigned char* alpha = tinted.GetAlpha();
    const unsigned tintRgb[3] = {tint.Red(), tint.Green(), tint.Blue()};
    for (int index = 0; index < pixels; ++index) {
        unsigned char* pixel = rgb + 3 * index;
        const unsigned luminance = (29u * pixel[2] + 150u * pixel[1] + 77u * pixel[0]) >> 8;
        for (int channel = 0; channel < 3; ++channel)
            pixel[channel] = static_cast<unsigned char>((3u * luminance + tintRgb[channel]) >> 2);
        alpha[index] = static_cast<unsigned char>(alpha[index] * 115u / 255u);
    }
    return tinted;
}

}  // namespace ridgeforge
