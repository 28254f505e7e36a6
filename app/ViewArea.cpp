#include "app/ViewArea.h"

#include <wx/window.h>

#include "platform/ui/Paint.h"

namespace ridgeforge {

void CViewArea::CreateViewWindow(wxWindow* parent) {
    if (window_ != nullptr) return;
    window_ = new wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE);
    ui::PrepareBufferedPainting(*window_);
    window_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        ui::BufferedPaintDC dc(window_);
        ui::FillRectExact(dc, wxRect(window_->GetClientSize()), wxColour(247, 248, 250));
        ++paints_;
    });
    window_->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window_) window_ = nullptr;
        event.Skip();
    });
}

void CViewArea::OnUpdate(DocumentView*, ViewUpdateHint) {
    if (window_ != nullptr) window_->Refresh();
}

}  // namespace ridgeforge
