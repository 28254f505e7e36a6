#include "ui/framework/Splash.h"

#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include <algorithm>

#include "ui/framework/Paint.h"

namespace ridgeforge::ui {
namespace {

wxFrame*& SplashSlot() {
    static wxFrame* splash = nullptr;
    return splash;
}

}  // namespace

wxSize SplashSize(const wxSize& image, const wxSize& workArea) {
    if (image.x <= 0 || image.y <= 0) return wxSize(1, 1);
    const double scale = std::min({1.0, 0.8 * workArea.x / image.x, 0.8 * workArea.y / image.y});
    return wxSize(std::max(1, static_cast<int>(image.x * scale)), std::max(1, static_cast<int>(image.y * scale)));
}

bool ShowSplashWindow(const std::filesystem::path& path, const wxColour& background) {
    if (SplashSlot() != nullptr) return true;
    const wxImage image = LoadImageFileToBitmap(path);
    if (!image.IsOk() || image.GetWidth() <= 0) return false;

    int display = wxDisplay::GetFromPoint(wxGetMousePosition());
    if (display == wxNOT_FOUND) display = 0;
    const wxDisplay screen(static_cast<unsigned>(display));
    // Without a window manager the work area may be unknown: the whole
    // screen then.
    wxRect area = screen.GetClientArea();
    if (area.IsEmpty()) area = screen.GetGeometry();
    if (area.IsEmpty()) area = wxRect(wxPoint(0, 0), wxGetDisplaySize());
    const wxSize size = SplashSize(image.GetSize(), area.GetSize());
    const wxPoint where(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2);

    const wxBitmap picture(image.Scale(size.x, size.y, wxIMAGE_QUALITY_BICUBIC));
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Ruvolta", where, size,
                              wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW);
    frame->SetClientSize(size);
    frame->SetCursor(wxCursor(wxCURSOR_ARROWWAIT));
    PrepareBufferedPainting(*frame);
    frame->Bind(wxEVT_PAINT, [frame, picture, background](wxPaintEvent&) {
        BufferedPaintDC dc(frame);
        dc.SetBackground(wxBrush(background));
        dc.Clear();
        dc.DrawBitmap(picture, 0, 0, true);
    });
    frame->Bind(wxEVT_DESTROY, [frame](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == frame && SplashSlot() == frame) SplashSlot() = nullptr;
        event.Skip();
    });
    SplashSlot() = frame;
    frame->ShowWithoutActivating();
    // Some window systems size a borderless window only once it is shown.
    frame->SetSize(wxRect(where, size));
    frame->Update();
    return true;
}

bool IsSplashShown() { return SplashSlot() != nullptr; }

wxRect SplashRect() { return SplashSlot() != nullptr ? SplashSlot()->GetScreenRect() : wxRect(); }

void CloseSplashWindow() {
    wxFrame* splash = SplashSlot();
    if (splash == nullptr) return;
    SplashSlot() = nullptr;
    splash->Destroy();
}

}  // namespace ridgeforge::ui
