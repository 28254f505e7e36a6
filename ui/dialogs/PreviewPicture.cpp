#include "ui/dialogs/PreviewPicture.h"

#include <wx/dcbuffer.h>
#include <wx/image.h>
#include <wx/settings.h>

#include <algorithm>

#include "ui/framework/Paint.h"

namespace ridgeforge {

void DrawGreySquare(wxDC& dc, const std::vector<std::uint32_t>& pixels, int side, const wxRect& square) {
    if (side <= 0 || pixels.size() != static_cast<std::size_t>(side) * side || square.width <= 0) return;
    wxImage image(side, side, false);
    unsigned char* rgb = image.GetData();
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i] = static_cast<unsigned char>((pixels[i] >> 16) & 0xFF);
        rgb[3 * i + 1] = static_cast<unsigned char>((pixels[i] >> 8) & 0xFF);
        rgb[3 * i + 2] = static_cast<unsigned char>(pixels[i] & 0xFF);
    }
    if (square.width != side) image.Rescale(square.width, square.height, wxIMAGE_QUALITY_HIGH);
    dc.DrawBitmap(wxBitmap(image), square.GetPosition());
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(square);
}

CPreviewPicture::CPreviewPicture(wxWindow* parent, int id, const wxRect& rect)
    : wxPanel(parent, id, rect.GetPosition(), rect.GetSize(), wxFULL_REPAINT_ON_RESIZE) {
    ui::PrepareBufferedPainting(*this);
    Bind(wxEVT_PAINT, &CPreviewPicture::OnPaint, this);
}

void CPreviewPicture::SetPixels(std::vector<std::uint32_t> pixels, int side) {
    pixels_ = std::move(pixels);
    side_ = side;
    Refresh();
}

wxRect CPreviewPicture::PictureSquare() const {
    const wxSize size = GetClientSize();
    const int s = std::min(size.x, size.y);
    return wxRect((size.x - s) / 2, (size.y - s) / 2, s, s);
}

void CPreviewPicture::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    ui::FillRectExact(dc, wxRect(GetClientSize()), wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE));
    DrawGreySquare(dc, pixels_, side_, PictureSquare());
}

}  // namespace ridgeforge
