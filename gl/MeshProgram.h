// Compiling one shader of the renderer's programs.
#pragma once

#include <string>

#include "gl/GlFunctions.h"

namespace ridgeforge::gl {

class Renderer;

// The shader name, or 0 with the renderer's error text set to "OpenGL shader
// compilation failed: " and up to 2048 characters of the compiler's log.
GLuint CompileShader(Renderer& renderer, GLenum type, const std::string& source);

}  // namespace ridgeforge::gl
