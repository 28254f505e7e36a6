// Entry-point tables: libGL's own 1.1 functions, and the newer ones found by
// name, in the order the renderer has always loaded them.
#include "gl/GlFunctions.h"

#include <GL/glx.h>

namespace ridgeforge::gl {
namespace {

template <class Slot>
bool Load(Slot& slot, const char* name, GlProcLookup lookup, void* userData, std::string& error) {
    GlProc found = nullptr;
    const bool ok = LoadGlFunction(found, name, lookup, userData, error);
    slot = reinterpret_cast<Slot>(found);
    return ok;
}

template <class Slot>
void LoadOptional(Slot& slot, const char* name, GlProcLookup lookup, void* userData) {
    std::string ignored;
    Load(slot, name, lookup, userData, ignored);
}

}  // namespace

GlBaseFunctions LinkedBaseFunctions() {
    GlBaseFunctions t;
    t.glClear = &::glClear;
    t.glClearColor = &::glClearColor;
    t.glViewport = &::glViewport;
    t.glDrawArrays = &::glDrawArrays;
    t.glDrawElements = &::glDrawElements;
    t.glTexImage2D = &::glTexImage2D;
    t.glGetString = &::glGetString;
    t.glGetIntegerv = &::glGetIntegerv;
    t.glPolygonMode = &::glPolygonMode;
    t.glPolygonOffset = &::glPolygonOffset;
    t.glBlendFunc = &::glBlendFunc;
    t.glDepthFunc = &::glDepthFunc;
    t.glDepthMask = &::glDepthMask;
    t.glCullFace = &::glCullFace;
    t.glEnable = &::glEnable;
    t.glDisable = &::glDisable;
    t.glIsEnabled = &::glIsEnabled;
    t.glPixelStorei = &::glPixelStorei;
    t.glGenTextures = &::glGenTextures;
    t.glBindTexture = &::glBindTexture;
    t.glTexParameteri = &::glTexParameteri;
    t.glTexParameterf = &::glTexParameterf;
    t.glDeleteTextures = &::glDeleteTextures;
    t.glGetError = &::glGetError;
    return t;
}

bool LoadGlFunction(GlProc& slot, const char* name, GlProcLookup lookup, void* userData, std::string& error) {
    slot = lookup != nullptr ? lookup(name, userData) : nullptr;
    if (slot != nullptr) return true;
    error = std::string("OpenGL driver does not provide ") + name + ".";
    return false;
}

bool LoadGlFunctions(GlFunctions& t, GlProcLookup lookup, void* userData, std::string& error) {
    t = GlFunctions{};
    const auto need = [&](auto& slot, const char* name) { return Load(slot, name, lookup, userData, error); };
    const bool first =
        need(t.glGenVertexArrays, "glGenVertexArrays") && need(t.glBindVertexArray, "glBindVertexArray") &&
        need(t.glDeleteVertexArrays, "glDeleteVertexArrays") && need(t.glGenBuffers, "glGenBuffers") &&
        need(t.glBindBuffer, "glBindBuffer") && need(t.glBufferData, "glBufferData") &&
        need(t.glBufferSubData, "glBufferSubData") && need(t.glDeleteBuffers, "glDeleteBuffers") &&
        need(t.glEnableVertexAttribArray, "glEnableVertexAttribArray") &&
        need(t.glVertexAttribPointer, "glVertexAttribPointer") && need(t.glCreateShader, "glCreateShader") &&
        need(t.glShaderSource, "glShaderSource") && need(t.glCompileShader, "glCompileShader") &&
        need(t.glGetShaderiv, "glGetShaderiv") && need(t.glGetShaderInfoLog, "glGetShaderInfoLog");
    if (!first) return false;
    LoadOptional(t.glGenQueries, "glGenQueries", lookup, userData);
    LoadOptional(t.glDeleteQueries, "glDeleteQueries", lookup, userData);
    LoadOptional(t.glBeginQuery, "glBeginQuery", lookup, userData);
    LoadOptional(t.glEndQuery, "glEndQuery", lookup, userData);
    LoadOptional(t.glGetQueryObjectuiv, "glGetQueryObjectuiv", lookup, userData);
    LoadOptional(t.glGetQueryObjectui64v, "glGetQueryObjectui64v", lookup, userData);
    return need(t.glDeleteShader, "glDeleteShader") && need(t.glCreateProgram, "glCreateProgram") &&
           need(t.glAttachShader, "glAttachShader") && need(t.glLinkProgram, "glLinkProgram") &&
           need(t.glGetProgramiv, "glGetProgramiv") && need(t.glGetProgramInfoLog, "glGetProgramInfoLog") &&
           need(t.glDeleteProgram, "glDeleteProgram") && need(t.glUseProgram, "glUseProgram") &&
           need(t.glGetUniformLocation, "glGetUniformLocation") && need(t.glUniformMatrix4fv, "glUniformMatrix4fv") &&
           need(t.glUniform3f, "glUniform3f") && need(t.glUniform1i, "glUniform1i") &&
           need(t.glUniform1f, "glUniform1f") && need(t.glUniform2f, "glUniform2f") &&
           need(t.glActiveTexture, "glActiveTexture") && need(t.glGenerateMipmap, "glGenerateMipmap") &&
           need(t.glGenFramebuffers, "glGenFramebuffers") && need(t.glBindFramebuffer, "glBindFramebuffer") &&
           need(t.glFramebufferTexture2D, "glFramebufferTexture2D") &&
           need(t.glCheckFramebufferStatus, "glCheckFramebufferStatus") &&
           need(t.glDeleteFramebuffers, "glDeleteFramebuffers");
}

GlProc GlxLookup(const char* name, void* /*userData*/) {
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

}  // namespace ridgeforge::gl
