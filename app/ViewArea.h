// A plain stand-in for the 3D view: a window that repaints when the document
// changes and counts its paints. Shell tests use it where the real view's
// OpenGL window is not wanted; it answers no command of its own.
#pragma once

#include "platform/ui/DocView.h"

class wxWindow;

namespace ridgeforge {

class CViewArea : public ui::View {
public:
    void CreateViewWindow(wxWindow* parent) override;
    wxWindow* Window() const override { return window_; }
    void OnUpdate(DocumentView* sender, ViewUpdateHint hint) override;
    // How many times the area was painted.
    long PaintCount() const { return paints_; }

private:
    wxWindow* window_ = nullptr;
    long paints_ = 0;
};

}  // namespace ridgeforge
