// The OpenGL entry points the renderer calls, in two tables. Everything newer
// than OpenGL 1.1 is looked up by name once a 3.3 context is current
// (GlFunctions, 42 slots in a fixed order, the first six optional: without
// them only GPU timing is off). The 1.1 calls link from libGL directly and
// are held in a table of their own (GlBaseFunctions), so that a test can put
// recording stand-ins in both and check what a frame asks of the driver
// without a display.
#pragma once

#include <GL/gl.h>

#include <string>

namespace ridgeforge::gl {

// What an entry-point lookup gives back; null when there is none.
using GlProc = void (*)();
using GlProcLookup = GlProc (*)(const char* name, void* userData);

struct GlFunctions {
    // Optional: timer queries.
    PFNGLGENQUERIESPROC glGenQueries = nullptr;
    PFNGLDELETEQUERIESPROC glDeleteQueries = nullptr;
    PFNGLBEGINQUERYPROC glBeginQuery = nullptr;
    PFNGLENDQUERYPROC glEndQuery = nullptr;
    PFNGLGETQUERYOBJECTUIVPROC glGetQueryObjectuiv = nullptr;
    PFNGLGETQUERYOBJECTUI64VPROC glGetQueryObjectui64v = nullptr;
    // Required.
    PFNGLGENVERTEXARRAYSPROC glGenVertexArrays = nullptr;
    PFNGLBINDVERTEXARRAYPROC glBindVertexArray = nullptr;
    PFNGLDELETEVERTEXARRAYSPROC glDeleteVertexArrays = nullptr;
    PFNGLGENBUFFERSPROC glGenBuffers = nullptr;
    PFNGLBINDBUFFERPROC glBindBuffer = nullptr;
    PFNGLBUFFERDATAPROC glBufferData = nullptr;
    PFNGLBUFFERSUBDATAPROC glBufferSubData = nullptr;
    PFNGLDELETEBUFFERSPROC glDeleteBuffers = nullptr;
    PFNGLENABLEVERTEXATTRIBARRAYPROC glEnableVertexAttribArray = nullptr;
    PFNGLVERTEXATTRIBPOINTERPROC glVertexAttribPointer = nullptr;
    PFNGLCREATESHADERPROC glCreateShader = nullptr;
    PFNGLSHADERSOURCEPROC glShaderSource = nullptr;
    PFNGLCOMPILESHADERPROC glCompileShader = nullptr;
    PFNGLGETSHADERIVPROC glGetShaderiv = nullptr;
    PFNGLGETSHADERINFOLOGPROC glGetShaderInfoLog = nullptr;
    PFNGLDELETESHADERPROC glDeleteShader = nullptr;
    PFNGLCREATEPROGRAMPROC glCreateProgram = nullptr;
    PFNGLATTACHSHADERPROC glAttachShader = nullptr;
    PFNGLLINKPROGRAMPROC glLinkProgram = nullptr;
    PFNGLGETPROGRAMIVPROC glGetProgramiv = nullptr;
    PFNGLGETPROGRAMINFOLOGPROC glGetProgramInfoLog = nullptr;
    PFNGLDELETEPROGRAMPROC glDeleteProgram = nullptr;
    PFNGLUSEPROGRAMPROC glUseProgram = nullptr;
    PFNGLGETUNIFORMLOCATIONPROC glGetUniformLocation = nullptr;
    PFNGLUNIFORMMATRIX4FVPROC glUniformMatrix4fv = nullptr;
    PFNGLUNIFORM3FPROC glUniform3f = nullptr;
    PFNGLUNIFORM1IPROC glUniform1i = nullptr;
    PFNGLUNIFORM1FPROC glUniform1f = nullptr;
    PFNGLUNIFORM2FPROC glUniform2f = nullptr;
    PFNGLACTIVETEXTUREPROC glActiveTexture = nullptr;
    PFNGLGENERATEMIPMAPPROC glGenerateMipmap = nullptr;
    PFNGLGENFRAMEBUFFERSPROC glGenFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC glBindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC glFramebufferTexture2D = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC glCheckFramebufferStatus = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC glDeleteFramebuffers = nullptr;

    // Whether all five calls a timed frame needs are present.
    bool HasTimerQueries() const {
        return glGenQueries && glBeginQuery && glEndQuery && glGetQueryObjectuiv && glGetQueryObjectui64v;
    }
};

inline constexpr int kGlFunctionCount = 42;
static_assert(sizeof(GlFunctions) == kGlFunctionCount * sizeof(void*), "one slot per entry point");

// The OpenGL 1.1 calls, plus glClearColor.
struct GlBaseFunctions {
    void(APIENTRY* glClear)(GLbitfield) = nullptr;
    void(APIENTRY* glClearColor)(GLfloat, GLfloat, GLfloat, GLfloat) = nullptr;
    void(APIENTRY* glViewport)(GLint, GLint, GLsizei, GLsizei) = nullptr;
    void(APIENTRY* glDrawArrays)(GLenum, GLint, GLsizei) = nullptr;
    void(APIENTRY* glDrawElements)(GLenum, GLsizei, GLenum, const void*) = nullptr;
    void(APIENTRY* glTexImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) = nullptr;
    const GLubyte*(APIENTRY* glGetString)(GLenum) = nullptr;
    void(APIENTRY* glGetIntegerv)(GLenum, GLint*) = nullptr;
    void(APIENTRY* glPolygonMode)(GLenum, GLenum) = nullptr;
    void(APIENTRY* glPolygonOffset)(GLfloat, GLfloat) = nullptr;
    void(APIENTRY* glBlendFunc)(GLenum, GLenum) = nullptr;
    void(APIENTRY* glDepthFunc)(GLenum) = nullptr;
    void(APIENTRY* glDepthMask)(GLboolean) = nullptr;
    void(APIENTRY* glCullFace)(GLenum) = nullptr;
    void(APIENTRY* glEnable)(GLenum) = nullptr;
    void(APIENTRY* glDisable)(GLenum) = nullptr;
    GLboolean(APIENTRY* glIsEnabled)(GLenum) = nullptr;
    void(APIENTRY* glPixelStorei)(GLenum, GLint) = nullptr;
    void(APIENTRY* glGenTextures)(GLsizei, GLuint*) = nullptr;
    void(APIENTRY* glBindTexture)(GLenum, GLuint) = nullptr;
    void(APIENTRY* glTexParameteri)(GLenum, GLenum, GLint) = nullptr;
    void(APIENTRY* glTexParameterf)(GLenum, GLenum, GLfloat) = nullptr;
    void(APIENTRY* glDeleteTextures)(GLsizei, const GLuint*) = nullptr;
    GLenum(APIENTRY* glGetError)() = nullptr;
};

// The table filled with libGL's own functions.
GlBaseFunctions LinkedBaseFunctions();

// Looks one entry point up. A null answer leaves the slot null and sets
// `error` to "OpenGL driver does not provide <name>."; true when found.
bool LoadGlFunction(GlProc& slot, const char* name, GlProcLookup lookup, void* userData, std::string& error);

// Fills the table in the loading order, stopping at the first required
// entry point that is missing (false, with `error` naming it). A missing
// timer-query function only leaves its slot null. Look up only with a
// current 3.3 context: GLX answers for any name, known or not.
bool LoadGlFunctions(GlFunctions& table, GlProcLookup lookup, void* userData, std::string& error);

// The GLX lookup (glXGetProcAddressARB); `userData` is not used.
GlProc GlxLookup(const char* name, void* userData);

}  // namespace ridgeforge::gl
