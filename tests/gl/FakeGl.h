// A recording stand-in for the driver: both entry-point tables answered by
// functions that keep the state a draw happens in (culling, depth, offset,
// blending, polygon mode and the mesh program's switches) and write one line
// per draw. No display is needed; one fake at a time per process.
#pragma once

#include <GL/gl.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gl/GlSurface.h"

namespace ridgeforge::testing {

struct FakeGl {
    // Driver answers.
    int major = 4;
    int minor = 5;
    const char* version = "4.5 (Core Profile) Fake 1.0";
    const char* rendererName = "fake renderer";
    std::set<std::string> missingEntryPoints;
    std::set<std::string> missingUniforms;
    bool queryAvailable = true;
    GLuint64 queryNanoseconds = 2'000'000;
    gl::SurfaceContext contextResult = gl::SurfaceContext::Created;
    // The program made in this place (1 the mesh program, 2 the view cube's)
    // reports a failed link; 0 for none.
    int failLinkOfProgram = 0;
    int programsCreated = 0;
    GLuint failingProgram = 0;

    // What happened.
    std::vector<std::string> draws;
    std::vector<std::string> calls;
    int contextsCreated = 0;
    int contextsAlive = 0;
    int bufferUploads = 0;
    std::map<GLuint, std::string> labels;

    // State.
    GLuint nextName = 1;
    std::map<GLenum, bool> enabled;
    GLenum depthFunc = GL_LESS;
    bool depthWrites = true;
    GLenum polygonMode = GL_FILL;
    float offsetFactor = 0.0f;
    float offsetUnits = 0.0f;
    GLuint boundVertexArray = 0;
    std::vector<std::string> uniformNames;
    std::map<std::string, float> uniforms;

    std::string Describe(const char* primitive) const {
        const auto on = [&](GLenum cap) {
            const auto it = enabled.find(cap);
            return it != enabled.end() && it->second;
        };
        const auto label = labels.find(boundVertexArray);
        char offset[32] = "-";
        if (on(GL_POLYGON_OFFSET_FILL)) std::snprintf(offset, sizeof offset, "%g,%g", offsetFactor, offsetUnits);
        const auto value = [&](const char* name) {
            const auto it = uniforms.find(name);
            char text[16];
            std::snprintf(text, sizeof text, "%g", it == uniforms.end() ? -1.0f : it->second);
            return std::string(text);
        };
        return (label != labels.end() ? label->second : "vao" + std::to_string(boundVertexArray)) + " " + primitive +
               " cull:" + (on(GL_CULL_FACE) ? "on" : "off") +
               " depth:" + (on(GL_DEPTH_TEST) ? (depthFunc == GL_LEQUAL ? "lequal" : "less") : "off") +
               " writes:" + (depthWrites ? "on" : "off") + " offset:" + offset +
               " blend:" + (on(GL_BLEND) ? "on" : "off") + " " + (polygonMode == GL_LINE ? "line" : "fill") +
               " lit:" + value("uLit") + " override:" + value("uUseOverride") + " surface:" + value("uSurfaceMode") +
               " alpha:" + value("uAlpha") + " smooth:" + value("uSmooth");
    }
};

inline FakeGl* g_fake = nullptr;

namespace fake {

inline void APIENTRY GenNames(GLsizei n, GLuint* out) {
    for (GLsizei i = 0; i < n; ++i) out[i] = g_fake->nextName++;
}
inline void APIENTRY GenQueries(GLsizei n, GLuint* out) {
    g_fake->calls.push_back("gen queries");
    GenNames(n, out);
}
inline void APIENTRY Nothing1(GLuint) {}
inline void APIENTRY DeleteNames(GLsizei, const GLuint*) {}
inline void APIENTRY BindVertexArray(GLuint name) { g_fake->boundVertexArray = name; }
inline void APIENTRY BindBuffer(GLenum, GLuint) {}
inline void APIENTRY BufferData(GLenum, GLsizeiptr, const void*, GLenum) { ++g_fake->bufferUploads; }
inline void APIENTRY BufferSubData(GLenum, GLintptr, GLsizeiptr, const void*) {
    ++g_fake->bufferUploads;
    g_fake->calls.push_back("sub data");
}
inline void APIENTRY AttribPointer(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*) {}
inline GLuint APIENTRY CreateShader(GLenum) { return g_fake->nextName++; }
inline void APIENTRY ShaderSource(GLuint, GLsizei, const GLchar* const*, const GLint*) {}
inline void APIENTRY GetShaderiv(GLuint, GLenum, GLint* out) { *out = GL_TRUE; }
inline void APIENTRY GetInfoLog(GLuint, GLsizei, GLsizei* written, GLchar*) { *written = 0; }
inline GLuint APIENTRY CreateProgram() {
    const GLuint name = g_fake->nextName++;
    if (++g_fake->programsCreated == g_fake->failLinkOfProgram) g_fake->failingProgram = name;
    return name;
}
inline void APIENTRY Attach(GLuint, GLuint) {}
inline void APIENTRY GetProgramiv(GLuint program, GLenum, GLint* out) {
    *out = program != 0 && program == g_fake->failingProgram ? GL_FALSE : GL_TRUE;
}
inline GLint APIENTRY UniformLocation(GLuint, const GLchar* name) {
    if (g_fake->missingUniforms.count(name) != 0) return -1;
    auto& names = g_fake->uniformNames;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<GLint>(i);
    names.push_back(name);
    return static_cast<GLint>(names.size() - 1);
}
inline void Store(GLint at, float value) {
    if (at >= 0 && static_cast<std::size_t>(at) < g_fake->uniformNames.size())
        g_fake->uniforms[g_fake->uniformNames[static_cast<std::size_t>(at)]] = value;
}
inline void APIENTRY UniformMatrix(GLint, GLsizei, GLboolean, const GLfloat*) {}
inline void APIENTRY Uniform3f(GLint, GLfloat, GLfloat, GLfloat) {}
inline void APIENTRY Uniform1i(GLint at, GLint v) { Store(at, static_cast<float>(v)); }
inline void APIENTRY Uniform1f(GLint at, GLfloat v) { Store(at, v); }
inline void APIENTRY Uniform2f(GLint, GLfloat, GLfloat) {}
inline void APIENTRY Enum1(GLenum) {}
inline GLenum APIENTRY FramebufferStatus(GLenum) { return GL_FRAMEBUFFER_COMPLETE; }
inline void APIENTRY FramebufferTexture(GLenum, GLenum, GLenum, GLuint, GLint) {}
inline void APIENTRY BindFramebuffer(GLenum, GLuint) {}
inline void APIENTRY BeginQuery(GLenum, GLuint) { g_fake->calls.push_back("begin query"); }
inline void APIENTRY EndQuery(GLenum) { g_fake->calls.push_back("end query"); }
inline void APIENTRY QueryUiv(GLuint, GLenum, GLuint* out) { *out = g_fake->queryAvailable ? GL_TRUE : GL_FALSE; }
inline void APIENTRY QueryUi64v(GLuint, GLenum, GLuint64* out) {
    *out = g_fake->queryNanoseconds;
    g_fake->calls.push_back("read query");
}

inline void APIENTRY Clear(GLbitfield) {}
inline void APIENTRY ClearColor(GLfloat, GLfloat, GLfloat, GLfloat) {}
inline void APIENTRY Viewport(GLint, GLint, GLsizei, GLsizei) {}
inline void APIENTRY DrawArrays(GLenum mode, GLint, GLsizei) {
    g_fake->draws.push_back(g_fake->Describe(mode == GL_LINES ? "lines" : "triangles"));
}
inline void APIENTRY DrawElements(GLenum, GLsizei, GLenum, const void*) {
    g_fake->draws.push_back(g_fake->Describe("elements"));
}
inline void APIENTRY TexImage(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) {}
inline const GLubyte* APIENTRY GetString(GLenum name) {
    const char* text = name == GL_VERSION ? g_fake->version : name == GL_RENDERER ? g_fake->rendererName : nullptr;
    return reinterpret_cast<const GLubyte*>(text);
}
inline void APIENTRY GetIntegerv(GLenum name, GLint* out) {
    *out = name == GL_MAJOR_VERSION ? g_fake->major : name == GL_MINOR_VERSION ? g_fake->minor : 0;
}
inline void APIENTRY PolygonMode(GLenum, GLenum mode) { g_fake->polygonMode = mode; }
inline void APIENTRY PolygonOffset(GLfloat f, GLfloat u) {
    g_fake->offsetFactor = f;
    g_fake->offsetUnits = u;
}
inline void APIENTRY BlendFunc(GLenum, GLenum) {}
inline void APIENTRY DepthFunc(GLenum f) { g_fake->depthFunc = f; }
inline void APIENTRY DepthMask(GLboolean on) { g_fake->depthWrites = on == GL_TRUE; }
inline void APIENTRY Enable(GLenum cap) { g_fake->enabled[cap] = true; }
inline void APIENTRY Disable(GLenum cap) { g_fake->enabled[cap] = false; }
inline GLboolean APIENTRY IsEnabled(GLenum cap) { return g_fake->enabled[cap] ? GL_TRUE : GL_FALSE; }
inline void APIENTRY PixelStore(GLenum, GLint) {}
inline void APIENTRY BindTexture(GLenum, GLuint) {}
inline void APIENTRY TexParameteri(GLenum, GLenum, GLint) {}
inline void APIENTRY TexParameterf(GLenum, GLenum, GLfloat) {}
inline GLenum APIENTRY GetError() { return GL_NO_ERROR; }

template <class F>
gl::GlProc Proc(F f) {
    return reinterpret_cast<gl::GlProc>(f);
}

inline gl::GlProc LookUp(const std::string& n) {
    if (g_fake->missingEntryPoints.count(n) != 0) return nullptr;
    static const std::map<std::string, gl::GlProc> table = {
        {"glGenQueries", Proc(&GenQueries)},
        {"glDeleteQueries", Proc(&DeleteNames)},
        {"glBeginQuery", Proc(&BeginQuery)},
        {"glEndQuery", Proc(&EndQuery)},
        {"glGetQueryObjectuiv", Proc(&QueryUiv)},
        {"glGetQueryObjectui64v", Proc(&QueryUi64v)},
        {"glGenVertexArrays", Proc(&GenNames)},
        {"glBindVertexArray", Proc(&BindVertexArray)},
        {"glDeleteVertexArrays", Proc(&DeleteNames)},
        {"glGenBuffers", Proc(&GenNames)},
        {"glBindBuffer", Proc(&BindBuffer)},
        {"glBufferData", Proc(&BufferData)},
        {"glBufferSubData", Proc(&BufferSubData)},
        {"glDeleteBuffers", Proc(&DeleteNames)},
        {"glEnableVertexAttribArray", Proc(&Nothing1)},
        {"glVertexAttribPointer", Proc(&AttribPointer)},
        {"glCreateShader", Proc(&CreateShader)},
        {"glShaderSource", Proc(&ShaderSource)},
        {"glCompileShader", Proc(&Nothing1)},
        {"glGetShaderiv", Proc(&GetShaderiv)},
        {"glGetShaderInfoLog", Proc(&GetInfoLog)},
        {"glDeleteShader", Proc(&Nothing1)},
        {"glCreateProgram", Proc(&CreateProgram)},
        {"glAttachShader", Proc(&Attach)},
        {"glLinkProgram", Proc(&Nothing1)},
        {"glGetProgramiv", Proc(&GetProgramiv)},
        {"glGetProgramInfoLog", Proc(&GetInfoLog)},
        {"glDeleteProgram", Proc(&Nothing1)},
        {"glUseProgram", Proc(&Nothing1)},
        {"glGetUniformLocation", Proc(&UniformLocation)},
        {"glUniformMatrix4fv", Proc(&UniformMatrix)},
        {"glUniform3f", Proc(&Uniform3f)},
        {"glUniform1i", Proc(&Uniform1i)},
        {"glUniform1f", Proc(&Uniform1f)},
        {"glUniform2f", Proc(&Uniform2f)},
        {"glActiveTexture", Proc(&Enum1)},
        {"glGenerateMipmap", Proc(&Enum1)},
        {"glGenFramebuffers", Proc(&GenNames)},
        {"glBindFramebuffer", Proc(&BindFramebuffer)},
        {"glFramebufferTexture2D", Proc(&FramebufferTexture)},
        {"glCheckFramebufferStatus", Proc(&FramebufferStatus)},
        {"glDeleteFramebuffers", Proc(&DeleteNames)},
    };
    const auto it = table.find(n);
    return it != table.end() ? it->second : nullptr;
}

}  // namespace fake

// The surface of the fake driver; it installs the fake while it lives.
class FakeSurface : public gl::GlSurface {
public:
    FakeSurface() { g_fake = &state; }
    ~FakeSurface() override { g_fake = nullptr; }

    gl::SurfaceContext CreateGlContext() override {
        ++state.contextsCreated;
        if (state.contextResult == gl::SurfaceContext::Created) ++state.contextsAlive;
        return state.contextResult;
    }
    void DestroyGlContext() override {
        if (state.contextsAlive > 0) --state.contextsAlive;
    }
    bool MakeGlCurrent() override { return state.contextsAlive > 0; }
    void PresentFrame() override { state.calls.push_back("swap"); }
    gl::GlProc LookUp(const char* name) override { return fake::LookUp(name); }
    gl::GlBaseFunctions BaseFunctions() override {
        gl::GlBaseFunctions t;
        t.glClear = &fake::Clear;
        t.glClearColor = &fake::ClearColor;
        t.glViewport = &fake::Viewport;
        t.glDrawArrays = &fake::DrawArrays;
        t.glDrawElements = &fake::DrawElements;
        t.glTexImage2D = &fake::TexImage;
        t.glGetString = &fake::GetString;
        t.glGetIntegerv = &fake::GetIntegerv;
        t.glPolygonMode = &fake::PolygonMode;
        t.glPolygonOffset = &fake::PolygonOffset;
        t.glBlendFunc = &fake::BlendFunc;
        t.glDepthFunc = &fake::DepthFunc;
        t.glDepthMask = &fake::DepthMask;
        t.glCullFace = &fake::Enum1;
        t.glEnable = &fake::Enable;
        t.glDisable = &fake::Disable;
        t.glIsEnabled = &fake::IsEnabled;
        t.glPixelStorei = &fake::PixelStore;
        t.glGenTextures = &fake::GenNames;
        t.glBindTexture = &fake::BindTexture;
        t.glTexParameteri = &fake::TexParameteri;
        t.glTexParameterf = &fake::TexParameterf;
        t.glDeleteTextures = &fake::DeleteNames;
        t.glGetError = &fake::GetError;
        return t;
    }

    FakeGl state;
};

}  // namespace ridgeforge::testing
