// A plain stand-in for the 3D view: a window that repaints when the document
// changes and counts its paints. Shell tests use it where the real view's
// OpenGL window is not wanted; it answers no command of its own.
#pragma once

#include <wx/window.h>

#include "ui/framework/DocView.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {

class CViewArea : public ui::View {
public:
    void CreateViewWindow(wxWindow* parent) override {
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
    wxWindow* Window() const override { return window_; }
    void OnUpdate(DocumentView*, ViewUpdateHint) override {
        if (window_ != nullptr) window_->Refresh();
    }
    // How many times the area was painted.
    long PaintCount() const { return paints_; }

private:
    wxWindow* window_ = nullptr;
    long paints_ = 0;
};

}  // namespace ridgeforge
