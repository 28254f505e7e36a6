#include "app/internal/MarkdownFonts.h"

#include <cmath>

namespace ridgeforge {
namespace {

constexpr int kBaseSize = 16;  // pixels at 96 dpi

// DejaVu's ascent plus descent is 2384 of its 2048 units to the em: a cell
// height in pixels asks for an em that much smaller.
wxFont CellFont(const wxString& face, int cellHeight, int weight, bool italic) {
    const int em = std::max(1, static_cast<int>(std::lround(cellHeight * 2048.0 / 2384.0)));
    wxFont font(wxFontInfo(wxSize(0, em)).FaceName(face).Italic(italic));
    font.SetNumericWeight(weight);
    return font;
}

}  // namespace

MarkdownFontSet CreateMarkdownFonts(int dpi) {
    const wxString sans = "DejaVu Sans";
    const wxString mono = "DejaVu Sans Mono";
    const int body = ScaleDip(kBaseSize, dpi);
    return {
        CellFont(sans, body, 400, false),
        CellFont(sans, body, 700, false),
        CellFont(sans, body, 400, true),
        CellFont(sans, body, 700, true),
        CellFont(mono, ScaleDip(kBaseSize * 9 / 10, dpi), 400, false),
        CellFont(sans, ScaleDip(kBaseSize * 7 / 4, dpi), 700, false),
        CellFont(sans, ScaleDip(kBaseSize * 3 / 2, dpi), 700, false),
        CellFont(sans, ScaleDip(kBaseSize * 6 / 5, dpi), 700, false),
    };
}

}  // namespace ridgeforge
