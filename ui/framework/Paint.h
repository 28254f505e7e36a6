// Painting helpers every owner-drawn window shares: buffered painting
// without flicker, fills that cover exactly the pixels of a rectangle, text
// cut with an ellipsis to fit a box, the program's PNG icons with a drawn
// placeholder for a missing one, and the status dot.
#pragma once

#include <filesystem>
#include <string>

#include <wx/colour.h>
#include <wx/dcbuffer.h>
#include <wx/gdicmn.h>
#include <wx/image.h>

class wxDC;
class wxWindow;

namespace ridgeforge::ui {

// Paint handlers draw through this DC; the window must first have been given
// PrepareBufferedPainting, so that the background is not erased separately.
using BufferedPaintDC = wxAutoBufferedPaintDC;
void PrepareBufferedPainting(wxWindow& window);

// Fills exactly the pixels of `rect` (no outline, no anti-aliasing).
void FillRectExact(wxDC& dc, const wxRect& rect, const wxColour& colour);

// `text` cut at its end with "..." so that it fits `width` pixels in the DC's
// current font; the text itself when it fits.
wxString EllipsizeText(wxDC& dc, const wxString& text, int width);

// Draws `text` in `rect` on one line, cut with "..." to fit; `alignment` a
// combination of wxALIGN_* (left and vertically centred by default).
void DrawEllipsisText(wxDC& dc, const wxString& text, const wxRect& rect,
                      int alignment = wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);

// The file the icon of `key` comes from: "resources/<key>.png" beside the
// program.
std::filesystem::path IconPath(const std::string& key);

// Reads a whole image file (PNG, JPEG, BMP, GIF, TIFF) into memory and
// decodes it; not ok for an empty file, one of 2 GiB or more, or one that
// does not decode. The file is not held open.
wxImage LoadImageFileToBitmap(const std::filesystem::path& path);

// The icon of `key`, or null when its file is missing or does not decode.
// Each key is read from disk once per run (a missing file too); the images
// belong to a cache that lives until the process ends.
const wxImage* LoadIconImage(const std::string& key);

// Draws the icon of `key` scaled into `rect`; without one, a rounded outline
// 1.5 px wide in RGB(170, 176, 186) inset by 1 px.
void DrawIconImage(wxDC& dc, const std::string& key, const wxRect& rect);

// An anti-aliased filled disc covering `rect`, or with `ring` an outline
// 1.5 px wide inset by 1 px.
void DrawStatusDot(wxDC& dc, const wxRect& rect, const wxColour& colour, bool ring);

// The placeholder's colour, for tests and owners that draw it themselves.
inline const wxColour kMissingIconColour(170, 176, 186);

}  // namespace ridgeforge::ui
