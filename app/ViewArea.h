// The area in the middle of the main window until the 3D view takes it: a
// plain window that repaints when the document changes.
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
