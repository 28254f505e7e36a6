#include "ui/framework/Fonts.h"

#include <map>
#include <memory>
#include <tuple>
#include <utility>

#include "ui/framework/Dpi.h"

namespace ridgeforge::ui {
namespace {

wxFontWeight ToWxWeight(int weight) {
    if (weight <= 0) return wxFONTWEIGHT_NORMAL;
    if (weight <= 150) return wxFONTWEIGHT_THIN;
    if (weight <= 250) return wxFONTWEIGHT_EXTRALIGHT;
    if (weight <= 350) return wxFONTWEIGHT_LIGHT;
    if (weight <= 450) return wxFONTWEIGHT_NORMAL;
    if (weight <= 550) return wxFONTWEIGHT_MEDIUM;
    if (weight <= 650) return wxFONTWEIGHT_SEMIBOLD;
    if (weight <= 750) return wxFONTWEIGHT_BOLD;
    if (weight <= 850) return wxFONTWEIGHT_EXTRABOLD;
    return wxFONTWEIGHT_HEAVY;
}

}  // namespace

std::string MapFaceName(std::string_view face) {
    if (face == "Segoe UI") return "DejaVu Sans";
    if (face == "Consolas") return "DejaVu Sans Mono";
    return std::string(face);
}

int FontPixelHeight(int points, unsigned dpi) { return MulDiv(points, static_cast<int>(dpi), 72); }

wxFont MakeFont(std::string_view face, int points, int weight, unsigned dpi, bool italic) {
    const std::string mapped = MapFaceName(face);
    const bool mono = mapped.find("Mono") != std::string::npos;
    // GTK takes a pixel size as the whole line height, which made 9 pt text
    // come out near 7 pt; a point size keeps the character height. The
    // toolkit renders points at the desktop's text resolution, so a window
    // at another DPI gets the points scaled by the ratio.
    const double scale = static_cast<double>(dpi) / DesktopTextDpi();
    wxFontInfo info(static_cast<float>(points * scale));
    info.FaceName(wxString::FromUTF8(mapped.c_str()))
        .Family(mono ? wxFONTFAMILY_TELETYPE : wxFONTFAMILY_SWISS)
        .Weight(ToWxWeight(weight))
        .Italic(italic);
    return wxFont(info);
}

const wxFont& GetUiFont(int style, unsigned dpi) {
    // Kept until the process ends: fonts must not be freed after the window
    // library has shut down, which static destructors would do.
    // The text resolution is part of the key: a font made for a DPI before
    // the desktop changed its resolution would be drawn at the wrong size.
    static auto* cache = new std::map<std::tuple<int, unsigned, unsigned>, std::unique_ptr<wxFont>>;
    auto& slot = (*cache)[{style, dpi, DesktopTextDpi()}];
    if (!slot) {
        int points = 9;
        int weight = 0;
        if (style == Title) {
            points = 10;
            weight = 600;
        } else if (style == Normal) {
            weight = 400;
        } else if (style == Small) {
            points = 8;
            weight = 400;
        }
        slot = std::make_unique<wxFont>(MakeFont("Segoe UI", points, weight, dpi));
    }
    return *slot;
}

}  // namespace ridgeforge::ui
