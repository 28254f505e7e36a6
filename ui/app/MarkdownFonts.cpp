#include "ui/app/internal/MarkdownFonts.h"

#include <algorithm>
#include <cmath>

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"

namespace ridgeforge {
namespace {

constexpr int kBaseSize = 16;  // pixels at 96 dpi

// These fonts are sized by their cell height (ascent plus descent) in pixels,
// not by points. DejaVu's ascent plus descent is 2384 of its 2048 units to
// the em, so a cell height asks for an em that much smaller.
wxFont CellFont(const char* designFace, int cellHeight, int weight, bool italic) {
    const std::string face = ui::MapFaceName(designFace);
    const int em = std::max(1, static_cast<int>(std::lround(cellHeight * 2048.0 / 2384.0)));
    wxFont font(wxFontInfo(wxSize(0, em)).FaceName(wxString::FromUTF8(face.c_str())).Italic(italic));
    font.SetNumericWeight(weight);
    return font;
}

int Dip(int value, int dpi) { return ui::ScaleDip(value, static_cast<unsigned>(dpi)); }

}  // namespace

MarkdownFontSet CreateMarkdownFonts(int dpi) {
    const char* sans = "Segoe UI";
    const char* mono = "Consolas";
    const int body = Dip(kBaseSize, dpi);
    return {
        CellFont(sans, body, 400, false),
        CellFont(sans, body, 700, false),
        CellFont(sans, body, 400, true),
        CellFont(sans, body, 700, true),
        CellFont(mono, Dip(kBaseSize * 9 / 10, dpi), 400, false),
        CellFont(sans, Dip(kBaseSize * 7 / 4, dpi), 700, false),
        CellFont(sans, Dip(kBaseSize * 3 / 2, dpi), 700, false),
        CellFont(sans, Dip(kBaseSize * 6 / 5, dpi), 700, false),
    };
}

}  // namespace ridgeforge
