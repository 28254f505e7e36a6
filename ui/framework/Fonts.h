// Fonts by design name, point size and DPI. The designs name "Segoe UI" and
// "Consolas"; here they are DejaVu Sans and DejaVu Sans Mono, which every
// machine with the project's packages has. Sizes are points at the window's
// DPI: a character height of MulDiv(points, dpi, 72) pixels, so text keeps
// its size at any DPI.
#pragma once

#include <string>
#include <string_view>

#include <wx/font.h>

namespace ridgeforge::ui {

// The face this system uses for a face a design names: "Segoe UI" gives
// "DejaVu Sans", "Consolas" gives "DejaVu Sans Mono", others stay.
std::string MapFaceName(std::string_view face);

// A font of the face (mapped as above), the size in points at `dpi` and a
// weight from 100 to 900 (0 or 400 normal, 600 semi-bold, 700 bold).
wxFont MakeFont(std::string_view face, int points, int weight, unsigned dpi, bool italic = false);

// Character height in pixels of a font of `points` at `dpi`.
int FontPixelHeight(int points, unsigned dpi);

// The shared interface fonts. Title: 10 pt semi-bold (section titles,
// headings, the footer's button); Normal: 9 pt (control text); Small: 8 pt
// (captions, thumbnail names). Any other style: 9 pt, default weight.
enum UiFontStyle : int { Title = 0, Normal = 1, Small = 2 };

// The "Segoe UI" font of the style at the DPI, made once per (style, dpi)
// and kept for the run; callers share it and must not free it. User
// interface thread only.
const wxFont& GetUiFont(int style, unsigned dpi);

}  // namespace ridgeforge::ui
