// The windows of CRidgeforgeView, kept out of its header: the area the main
// frame places, the viewport inside it and the empty-state hint popup, with
// the sinks that connect the view to the viewport and the main frame.
#pragma once

#include <memory>

#include <wx/string.h>

#include "gl/RendererTypes.h"
#include "ui/view/ViewSinks.h"

class wxWindow;
class wxPopupWindow;

namespace ridgeforge {

class COpenGLViewport;
class CRidgeforgeView;

// Two states are equal when neither blends, or every field is equal (a NaN
// never is).
bool MappingStatesEqual(const gl::MappingState& a, const gl::MappingState& b);

class ViewWindowParts {
public:
    // shell: the main frame's services, or null (a view shown on its own).
    ViewWindowParts(CRidgeforgeView& view, wxWindow* parent, IViewShell* shell);
    ~ViewWindowParts();
    ViewWindowParts(const ViewWindowParts&) = delete;
    ViewWindowParts& operator=(const ViewWindowParts&) = delete;

    void CreateViewport();
    void CreateHint();
    // Centred over the area, or hidden.
    void LayoutHint(bool show);

    wxWindow* area = nullptr;
    COpenGLViewport* viewport = nullptr;
    wxPopupWindow* hint = nullptr;
    // The hint broken into the lines that fit the popup's width.
    wxString hintLines;

private:
    CRidgeforgeView& view_;
    std::unique_ptr<IViewRenderSink> sink_;
    IViewShell* shell_ = nullptr;
    bool announced_ = false;
    // Another window is in front of the main window.
    bool frameInactive_ = false;
};

}  // namespace ridgeforge
