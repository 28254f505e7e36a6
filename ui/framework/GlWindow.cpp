#include "ui/framework/GlWindow.h"

#include "ui/framework/ViewCubeLabels.h"

#include <wx/log.h>

#include <algorithm>
#include <cmath>

namespace ridgeforge::ui {
namespace {

// wx asserts (a modal message) when a canvas is made with attributes the
// display lacks; such a window stands on the display's defaults instead.
wxGLAttributes Usable(const wxGLAttributes& requested) {
    if (wxGLCanvas::IsDisplaySupported(requested)) return requested;
    wxGLAttributes fallback;
    fallback.Defaults().EndList();
    return fallback;
}

}  // namespace

wxGLAttributes GlWindow::StandardAttributes() {
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).Stencil(8).EndList();
    return attributes;
}

GlWindow::GlWindow(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size)
    : GlWindow(parent, StandardAttributes(), id, position, size) {}

GlWindow::GlWindow(wxWindow* parent, const wxGLAttributes& attributes, wxWindowID id, const wxPoint& position,
                   const wxSize& size)
    : wxGLCanvas(parent, Usable(attributes), id, position, size, wxFULL_REPAINT_ON_RESIZE),
      pixelFormatSupported_(wxGLCanvas::IsDisplaySupported(attributes)) {}

GlWindow::~GlWindow() { DestroyGlContext(); }

gl::SurfaceContext GlWindow::CreateGlContext() {
    DestroyGlContext();
    if (!IsShownOnScreen() || GetXWindow() == 0) return gl::SurfaceContext::NoDrawable;
    if (!pixelFormatSupported_ || GetXVisualInfo() == nullptr) return gl::SurfaceContext::NoPixelFormat;
    // The platform defaults are not optional: without them the attributes'
    // direct-rendering and RGBA flags are left uninitialised, and a context
    // asked for as indirect is refused by servers without indirect GLX.
    wxGLContextAttrs attributes;
    attributes.PlatformDefaults().CoreProfile().OGLVersion(3, 3).EndList();
    attributes.x11Direct = true;
    attributes.renderTypeRGBA = true;
    {
        // A refused context is reported by the renderer, not by a log window.
        wxLogNull quiet;
        context_ = std::make_unique<wxGLContext>(this, nullptr, &attributes);
        if (!context_->IsOK() || !SetCurrent(*context_)) {
            context_.reset();
            return gl::SurfaceContext::NoCoreContext;
        }
    }
    return gl::SurfaceContext::Created;
}

void GlWindow::DestroyGlContext() { context_.reset(); }

// A realised window that is hidden for a while (another page in front of it)
// still takes uploads.
bool GlWindow::MakeGlCurrent() { return context_ != nullptr && GetXWindow() != 0 && SetCurrent(*context_); }

void GlWindow::PresentFrame() {
    if (beforeSwap_) beforeSwap_();
    SwapBuffers();
}

std::vector<std::uint8_t> GlWindow::ViewCubeLabelAtlas() { return DrawViewCubeLabelAtlas(); }

wxSize GlWindow::FramebufferSize() const {
    const wxSize client = GetClientSize();
    const double scale = GetContentScaleFactor();
    return {std::max(1, static_cast<int>(std::lround(client.x * scale))),
            std::max(1, static_cast<int>(std::lround(client.y * scale)))};
}

}  // namespace ridgeforge::ui
