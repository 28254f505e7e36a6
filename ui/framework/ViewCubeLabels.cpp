#include "ui/framework/ViewCubeLabels.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/image.h>

#include "gl/ViewCube.h"

namespace ridgeforge::ui {

std::vector<std::uint8_t> DrawViewCubeLabelAtlas() {
    constexpr int kWidth = gl::kLabelAtlasWidth;
    constexpr int kHeight = gl::kLabelAtlasHeight;
    std::vector<std::uint8_t> atlas(static_cast<std::size_t>(kWidth) * kHeight, 0);
    wxBitmap bitmap(kWidth, kHeight, 24);
    if (!bitmap.IsOk()) return atlas;
    {
        wxMemoryDC dc(bitmap);
        if (!dc.IsOk()) return atlas;
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        wxFont font(wxFontInfo(wxSize(0, 44)).FaceName("DejaVu Sans").Bold().AntiAliased(true));
        dc.SetFont(font);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        dc.SetTextForeground(*wxWHITE);
        for (int i = 0; i < gl::kLabelRows; ++i)
            dc.DrawLabel(gl::kViewCubeLabels[i], wxRect(0, i * gl::kLabelRowHeight, kWidth, gl::kLabelRowHeight),
                         wxALIGN_CENTRE);
        dc.SelectObject(wxNullBitmap);
    }
    const wxImage image = bitmap.ConvertToImage();
    if (!image.IsOk() || image.GetWidth() != kWidth || image.GetHeight() != kHeight) return atlas;
    const unsigned char* rgb = image.GetData();
    for (std::size_t i = 0; i < atlas.size(); ++i) atlas[i] = rgb[3 * i];
    return atlas;
}

}  // namespace ridgeforge::ui
