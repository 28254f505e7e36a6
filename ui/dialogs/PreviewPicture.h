// A square picture of opaque grey pixels, drawn scaled into the largest
// centred square of the control at high quality and framed, on the dialog's
// face colour. The seamless and procedural texture dialogs show their
// previews, and the preset list its thumbnails, through it.
#pragma once

#include <wx/panel.h>

#include <cstdint>
#include <vector>

class wxDC;

namespace ridgeforge {

// Draws side x side pixels (0xFFgggggg, top row first) scaled into `square`,
// framed in the button-shadow colour. Nothing for an empty picture.
void DrawGreySquare(wxDC& dc, const std::vector<std::uint32_t>& pixels, int side, const wxRect& square);

class CPreviewPicture : public wxPanel {
public:
    CPreviewPicture(wxWindow* parent, int id, const wxRect& rect);

    void SetPixels(std::vector<std::uint32_t> pixels, int side);
    const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
    int Side() const { return side_; }
    // The square the picture is drawn in, in client pixels.
    wxRect PictureSquare() const;

private:
    void OnPaint(wxPaintEvent& event);

    std::vector<std::uint32_t> pixels_;
    int side_ = 0;
};

}  // namespace ridgeforge
