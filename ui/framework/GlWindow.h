// The window the renderer draws into: a wxGLCanvas with an RGBA, double-
// buffered pixel format (24-bit depth, 8-bit stencil) and one OpenGL 3.3
// core context of its own. The context is made only once the window is shown
// and realised (GTK has no drawable before that), directly at 3.3 core: no
// temporary legacy context is needed on GLX.
//
// It stands for the renderer's surface: make current, present, the entry
// points by name through GLX. The framebuffer is the client size times the
// content scale. A test may hook the moment before each swap to read the
// finished back buffer.
#pragma once

#include <wx/glcanvas.h>

#include <functional>
#include <memory>

#include "gl/GlSurface.h"

namespace ridgeforge::ui {

class GlWindow : public wxGLCanvas, public gl::GlSurface {
public:
    // RGBA, double buffer, depth 24, stencil 8.
    static wxGLAttributes StandardAttributes();

    explicit GlWindow(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& position = wxDefaultPosition,
                      const wxSize& size = wxDefaultSize);
    // With other pixel-format attributes. Attributes the display cannot give
    // leave the window standing on its defaults and the context refused
    // ("Could not select an OpenGL pixel format." from the renderer).
    GlWindow(wxWindow* parent, const wxGLAttributes& attributes, wxWindowID id = wxID_ANY,
             const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize);
    ~GlWindow() override;

    gl::SurfaceContext CreateGlContext() override;
    void DestroyGlContext() override;
    bool MakeGlCurrent() override;
    void PresentFrame() override;
    // Drawn with the window library's text, so the labels need no font files of our own.
    std::vector<std::uint8_t> ViewCubeLabelAtlas() override;

    bool HasGlContext() const { return context_ != nullptr; }
    // Client size times the content scale, each at least 1.
    wxSize FramebufferSize() const;
    // Runs with the context current after a frame is drawn, before the swap.
    void SetBeforeSwap(std::function<void()> hook) { beforeSwap_ = std::move(hook); }

private:
    bool pixelFormatSupported_ = true;
    std::unique_ptr<wxGLContext> context_;
    std::function<void()> beforeSwap_;
};

}  // namespace ridgeforge::ui
