#include "ui/framework/Paint.h"

#include <wx/control.h>
#include <wx/dc.h>
#include <wx/graphics.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/window.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/Files.h"
#include "platform/KnownFolders.h"

namespace ridgeforge::ui {
namespace {

void EnsureImageHandlers() {
    static const bool done = [] {
        if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxInitAllImageHandlers();
        return true;
    }();
    (void)done;
}

std::unique_ptr<wxGraphicsContext> ContextFor(wxDC& dc) {
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::CreateFromUnknownDC(dc));
    if (gc) gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    return gc;
}

}  // namespace

void PrepareBufferedPainting(wxWindow& window) { window.SetBackgroundStyle(wxBG_STYLE_PAINT); }

void FillRectExact(wxDC& dc, const wxRect& rect, const wxColour& colour) {
    if (rect.width <= 0 || rect.height <= 0) return;
    const wxPen oldPen = dc.GetPen();
    const wxBrush oldBrush = dc.GetBrush();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(rect);
    dc.SetPen(oldPen);
    dc.SetBrush(oldBrush);
}

wxString EllipsizeText(wxDC& dc, const wxString& text, int width) {
    if (dc.GetTextExtent(text).x <= width) return text;
    return wxControl::Ellipsize(text, dc, wxELLIPSIZE_END, width < 0 ? 0 : width);
}

void DrawEllipsisText(wxDC& dc, const wxString& text, const wxRect& rect, int alignment) {
    if (rect.width <= 0 || rect.height <= 0) return;
    wxDCClipper clip(dc, rect);
    dc.DrawLabel(EllipsizeText(dc, text, rect.width), rect, alignment);
}

std::filesystem::path IconPath(const std::string& key) {
    return platform::ExecutableFolder() / "resources" / (key + ".png");
}

wxImage LoadImageFileToBitmap(const std::filesystem::path& path) {
    // Files of 2 GiB and more are refused by their size, before they are read.
    std::vector<std::uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes, (std::uint64_t{1} << 31) - 1) || bytes.empty()) return wxImage();
    EnsureImageHandlers();
    wxLogNull quiet;  // an undecodable file is a null result, not a message box
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    if (!image.LoadFile(stream, wxBITMAP_TYPE_ANY)) return wxImage();
    return image;
}

const wxImage* LoadIconImage(const std::string& key) {
    // Lives until the process ends; a key that failed stays null, so its
    // file is tried once per run.
    static auto* cache = new std::map<std::string, std::unique_ptr<wxImage>>;
    if (auto found = cache->find(key); found != cache->end()) return found->second.get();
    wxImage image = LoadImageFileToBitmap(IconPath(key));
    auto& slot = (*cache)[key];
    if (image.IsOk()) slot = std::make_unique<wxImage>(std::move(image));
    return slot.get();
}

void DrawIconImage(wxDC& dc, const std::string& key, const wxRect& rect) {
    if (rect.width <= 0 || rect.height <= 0) return;
    auto gc = ContextFor(dc);
    if (!gc) return;
    if (const wxImage* icon = LoadIconImage(key)) {
        gc->SetInterpolationQuality(wxINTERPOLATION_BEST);
        const wxImage scaled = icon->Scale(rect.width, rect.height, wxIMAGE_QUALITY_BICUBIC);
        gc->DrawBitmap(gc->CreateBitmapFromImage(scaled), rect.x, rect.y, rect.width, rect.height);
        return;
    }
    const double width = rect.width - 2.0;
    const double height = rect.height - 2.0;
    if (width <= 0 || height <= 0) return;
    gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(kMissingIconColour).Width(1.5)));
    gc->SetBrush(*wxTRANSPARENT_BRUSH);
    // Corner arcs of half the inset width across, as the icons' own frames.
    gc->DrawRoundedRectangle(rect.x + 1.0, rect.y + 1.0, width, height, width / 4.0);
}

void DrawStatusDot(wxDC& dc, const wxRect& rect, const wxColour& colour, bool ring) {
    if (rect.width <= 0 || rect.height <= 0) return;
    auto gc = ContextFor(dc);
    if (!gc) return;
    const wxColour opaque(colour.Red(), colour.Green(), colour.Blue(), 255);
    if (ring) {
        gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(opaque).Width(1.5)));
        gc->SetBrush(*wxTRANSPARENT_BRUSH);
        gc->DrawEllipse(rect.x + 1.0, rect.y + 1.0, rect.width - 2.0, rect.height - 2.0);
    } else {
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(wxBrush(opaque));
        gc->DrawEllipse(rect.x, rect.y, rect.width, rect.height);
    }
}

}  // namespace ridgeforge::ui
