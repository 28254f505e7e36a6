// Building the mesh program and feeding it: the vertex layout, the height-map
// texture (one float channel, fetched texel by texel in the program), and the
// per-frame height-map, mask and cage uniforms, looked up by name.
#include "gl/MeshProgram.h"

#include <cstddef>
#include <string>

#include "gl/MeshShaderSource.h"
#include "gl/Renderer.h"
#include "gl/ShaderMirror.h"

namespace ridgeforge::gl {
namespace {

constexpr GLsizei kInfoLogLimit = 2048;

std::string ReadLog(GLsizei written, const char* buffer) {
    return std::string(buffer, static_cast<std::size_t>(written > 0 ? written : 0));
}

std::string Element(const char* array, std::size_t i) { return std::string(array) + "[" + std::to_string(i) + "]"; }

void* ByteOffset(std::size_t bytes) { return reinterpret_cast<void*>(bytes); }

}  // namespace

GLuint CompileShader(Renderer& renderer, GLenum type, const std::string& source) {
    const GlFunctions& f = renderer.functions;
    const GLuint shader = f.glCreateShader(type);
    const char* text = source.c_str();
    f.glShaderSource(shader, 1, &text, nullptr);
    f.glCompileShader(shader);
    GLint status = GL_FALSE;
    f.glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) return shader;
    char log[kInfoLogLimit] = {};
    GLsizei written = 0;
    f.glGetShaderInfoLog(shader, kInfoLogLimit, &written, log);
    renderer.lastError = "OpenGL shader compilation failed: " + ReadLog(written, log);
    f.glDeleteShader(shader);
    return 0;
}

bool Renderer::BuildMeshProgram() {
    const GlFunctions& f = functions;
    const GLuint vertex = CompileShader(*this, GL_VERTEX_SHADER, kMeshVertexSource);
    if (vertex == 0) return false;
    const GLuint fragment = CompileShader(*this, GL_FRAGMENT_SHADER, SpliceSharedBlocks(kMeshFragmentSource));
    if (fragment == 0) {
        f.glDeleteShader(vertex);
        return false;
    }
    meshProgram = f.glCreateProgram();
    f.glAttachShader(meshProgram, vertex);
    f.glAttachShader(meshProgram, fragment);
    f.glLinkProgram(meshProgram);
    f.glDeleteShader(vertex);
    f.glDeleteShader(fragment);
    GLint status = GL_FALSE;
    f.glGetProgramiv(meshProgram, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
        char log[kInfoLogLimit] = {};
        GLsizei written = 0;
        f.glGetProgramInfoLog(meshProgram, kInfoLogLimit, &written, log);
        lastError = "OpenGL program link failed: " + ReadLog(written, log);
        return false;
    }
    const auto find = [&](const char* name) { return f.glGetUniformLocation(meshProgram, name); };
    MeshUniforms& u = uniforms;
    u.mvp = find("uMvp");
    u.lightDirection = find("uLightDirection");
    u.lit = find("uLit");
    u.smooth = find("uSmooth");
    u.overrideColor = find("uOverrideColor");
    u.useOverride = find("uUseOverride");
    u.surfaceMode = find("uSurfaceMode");
    u.checkerMillimetres = find("uCheckerMillimetres");
    u.alpha = find("uAlpha");
    u.heightMap = find("uHeightMap");
    u.wrapMode = find("uWrapMode");
    u.textureSizeMm = find("uTextureSizeMm");
    u.textureOffsetMm = find("uTextureOffsetMm");
    u.textureRotation = find("uTextureRotation");
    u.blackLevel = find("uBlackLevel");
    u.whiteLevel = find("uWhiteLevel");
    u.gamma = find("uGamma");
    u.invert = find("uInvert");
    const GLint required[] = {u.mvp,         u.lightDirection,     u.lit,  u.smooth, u.overrideColor, u.useOverride,
                              u.surfaceMode, u.checkerMillimetres, u.alpha};
    for (GLint location : required)
        if (location < 0) {
            lastError = "OpenGL shader uniforms could not be located.";
            return false;
        }
    return true;
}

void Renderer::BindMeshVertexLayout(GLuint projectionBuffer) {
    const GlFunctions& f = functions;
    constexpr GLsizei stride = sizeof(MeshVertex);
    for (GLuint location = 0; location < 4; ++location) {
        f.glEnableVertexAttribArray(location);
        f.glVertexAttribPointer(location, 3, GL_FLOAT, GL_FALSE, stride, ByteOffset(12 * location));
    }
    f.glEnableVertexAttribArray(4);
    f.glEnableVertexAttribArray(5);
    if (projectionBuffer == 0) {
        f.glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, stride, ByteOffset(offsetof(MeshVertex, projected)));
        f.glVertexAttribPointer(5, 1, GL_FLOAT, GL_FALSE, stride, ByteOffset(offsetof(MeshVertex, mask)));
        return;
    }
    f.glBindBuffer(GL_ARRAY_BUFFER, projectionBuffer);
    f.glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, sizeof(ProjectionRecord), ByteOffset(0));
    f.glVertexAttribPointer(5, 1, GL_FLOAT, GL_FALSE, sizeof(ProjectionRecord),
                            ByteOffset(offsetof(ProjectionRecord, mask)));
}

bool Renderer::UploadHeightMapTexture(const mesh::HeightMap& map) {
    if (!ready || !MakeCurrent()) return false;
    const GlBaseFunctions& b = base;
    const bool holdsImage =
        map.width >= 1 && map.height >= 1 && !map.seamlessPixels.empty() &&
        map.pixels.size() == static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height);
    GLenum error = GL_NO_ERROR;
    if (holdsImage) {
        if (heightMapTexture == 0) b.glGenTextures(1, &heightMapTexture);
        b.glBindTexture(GL_TEXTURE_2D, heightMapTexture);
        b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        b.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        // Only this upload's error may decide; a bounded drain of earlier ones.
        for (int i = 0; i < 32 && b.glGetError() != GL_NO_ERROR; ++i) {}
        b.glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, map.width, map.height, 0, GL_RED, GL_FLOAT, map.pixels.data());
        error = b.glGetError();
        b.glBindTexture(GL_TEXTURE_2D, 0);
        if (error == GL_NO_ERROR) {
            textureSettings = map.settings;
            return true;
        }
    }
    if (heightMapTexture != 0) b.glDeleteTextures(1, &heightMapTexture);
    heightMapTexture = 0;
    return false;
}

void Renderer::SetHeightMapUniforms(GLuint program) {
    const GlFunctions& f = functions;
    const HeightMapUniforms u = HeightMapUniformsFrom(textureSettings);
    const auto find = [&](const char* name) { return f.glGetUniformLocation(program, name); };
    if (const GLint at = find("uWrapMode"); at >= 0) f.glUniform1i(at, u.wrapMode);
    if (const GLint at = find("uTextureSizeMm"); at >= 0) f.glUniform2f(at, u.sizeMm[0], u.sizeMm[1]);
    if (const GLint at = find("uTextureOffsetMm"); at >= 0) f.glUniform2f(at, u.offsetMm[0], u.offsetMm[1]);
    if (const GLint at = find("uTextureRotation"); at >= 0) f.glUniform1f(at, u.rotationRadians);
    if (const GLint at = find("uBlackLevel"); at >= 0) f.glUniform1f(at, u.blackLevel);
    if (const GLint at = find("uWhiteLevel"); at >= 0) f.glUniform1f(at, u.whiteLevel);
    if (const GLint at = find("uGamma"); at >= 0) f.glUniform1f(at, u.gamma);
    if (const GLint at = find("uOutputBlack"); at >= 0) f.glUniform1f(at, u.outputBlack);
    if (const GLint at = find("uOutputWhite"); at >= 0) f.glUniform1f(at, u.outputWhite);
    if (const GLint at = find("uInvert"); at >= 0) f.glUniform1i(at, u.invert ? 1 : 0);
    if (const GLint at = find("uHeightMap"); at >= 0) f.glUniform1i(at, 0);
    f.glActiveTexture(GL_TEXTURE0);
    base.glBindTexture(GL_TEXTURE_2D, heightMapTexture);
}

void Renderer::SetMaskUniforms() {
    const GlFunctions& f = functions;
    const GLint countAt = f.glGetUniformLocation(meshProgram, "uMaskCount");
    if (countAt < 0) return;
    const std::size_t count = masks.size() < kMaxMasks ? masks.size() : kMaxMasks;
    f.glUniform1i(countAt, static_cast<GLint>(count));
    const auto find = [&](const char* array, std::size_t i) {
        return f.glGetUniformLocation(meshProgram, Element(array, i).c_str());
    };
    const auto set3 = [&](const char* array, std::size_t i, const mesh::Vec3f& v) {
        if (const GLint at = find(array, i); at >= 0) f.glUniform3f(at, v.x, v.y, v.z);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const MaskUniform m = MaskUniformFrom(masks[i]);
        if (const GLint at = find("uMaskShape", i); at >= 0) f.glUniform1i(at, m.shape);
        set3("uMaskCenter", i, m.centre);
        set3("uMaskAxisX", i, m.axisX);
        set3("uMaskAxisY", i, m.axisY);
        set3("uMaskAxisZ", i, m.axisZ);
        set3("uMaskHalf", i, m.half);
        if (const GLint at = find("uMaskFeather", i); at >= 0) f.glUniform1f(at, m.feather);
    }
}

void Renderer::SetCageUniforms(GLuint program) {
    const GlFunctions& f = functions;
    const MappingState& m = mapping;
    const auto find = [&](const std::string& name) { return f.glGetUniformLocation(program, name.c_str()); };
    const auto set3 = [&](const std::string& name, const mesh::Vec3f& v) {
        if (const GLint at = find(name); at >= 0) f.glUniform3f(at, v.x, v.y, v.z);
    };
    if (const GLint at = find("uBlend"); at >= 0) f.glUniform1i(at, m.blend ? 1 : 0);
    if (!m.blend) return;
    if (const GLint at = find("uBlendSharpness"); at >= 0) f.glUniform1f(at, m.blendSharpness);
    set3("uCageCenter", m.cageCenter);
    set3("uCageAxisX", m.cageAxisX);
    set3("uCageAxisY", m.cageAxisY);
    set3("uCageAxisZ", m.cageAxisZ);
    for (std::size_t i = 0; i < 6; ++i) {
        if (const GLint at = find(Element("uSideEnabled", i)); at >= 0) f.glUniform1i(at, m.sideEnabled[i] ? 1 : 0);
        if (const GLint at = find(Element("uLayerOrigin", i)); at >= 0)
            f.glUniform2f(at, m.layerOrigin[i][0], m.layerOrigin[i][1]);
        if (const GLint at = find(Element("uLayerTurnZoom", i)); at >= 0)
            f.glUniform2f(at, m.layerTurn[i], m.layerZoom[i]);
        if (!m.sphere) continue;
        set3(Element("uFaceU", i), m.faceU[i]);
        set3(Element("uFaceV", i), m.faceV[i]);
        set3(Element("uFaceN", i), m.faceN[i]);
        if (const GLint at = find(Element("uFaceTurn", i)); at >= 0) f.glUniform1f(at, m.faceTurn[i]);
    }
    if (const GLint at = find("uSphere"); at >= 0) f.glUniform1i(at, m.sphere ? 1 : 0);
    if (const GLint at = find("uSphereRadius"); at >= 0) f.glUniform1f(at, m.sphereRadius);
}

}  // namespace ridgeforge::gl
