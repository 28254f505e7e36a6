// What the renderer needs of the window it draws into: a context of its own
// (OpenGL 3.3 core), made current and presented on demand, the entry-point
// lookup and the linked 1.1 calls, and the view cube's label pictures. The
// window layer implements it on a real window; tests implement it with
// recording stand-ins.
#pragma once

#include <cstdint>
#include <vector>

#include "gl/GlFunctions.h"

namespace ridgeforge::gl {

// How creating the context went.
enum class SurfaceContext {
    Created,
    // The window cannot be drawn into yet (not realised or not shown).
    NoDrawable,
    // No pixel format has the colour, depth, stencil and double buffer asked for.
    NoPixelFormat,
    // The driver gave no 3.3 core context, or it could not be made current.
    NoCoreContext,
};

class GlSurface {
public:
    virtual ~GlSurface() = default;

    // Creates the surface's one context and makes it current. The names
    // stay clear of the window library's own (SwapBuffers, SetCurrent).
    virtual SurfaceContext CreateGlContext() = 0;
    // Makes nothing current and deletes the context; safe without one.
    virtual void DestroyGlContext() = 0;
    virtual bool MakeGlCurrent() = 0;
    // Shows the frame drawn into the back buffer.
    virtual void PresentFrame() = 0;

    // Looks an entry point up by name; the default asks GLX.
    virtual GlProc LookUp(const char* name) { return GlxLookup(name, nullptr); }
    // The OpenGL 1.1 calls; the default is libGL's.
    virtual GlBaseFunctions BaseFunctions() { return LinkedBaseFunctions(); }
    // The view cube's label atlas (8-bit grey, 160 x 576, rows from the top);
    // empty when the window layer draws none, and the labels stay blank.
    virtual std::vector<std::uint8_t> ViewCubeLabelAtlas() { return {}; }
};

}  // namespace ridgeforge::gl
