// The view cube's program, buffer and label texture, and its drawing: the
// whole cube is streamed as one list of screen-space triangles each frame
// and drawn over the scene with blending, by a small program that maps
// pixels to clip space and takes label coverage from the red channel of
// the atlas. The labels are mipmapped with a slight negative LOD bias so
// that the small letters stay sharp.
#include <cstddef>

#include "gl/MeshProgram.h"
#include "gl/Renderer.h"

namespace ridgeforge::gl {
namespace {

constexpr GLsizei kInfoLogLimit = 2048;

const char* const kViewCubeVertexSource = R"(#version 330 core
layout(location = 0) in vec2 inPixel;
layout(location = 1) in vec2 inUv;
layout(location = 2) in vec4 inColor;
uniform vec2 uViewport;
out vec2 vUv;
out vec4 vColor;
void main() {
    vUv = inUv;
    vColor = inColor;
    gl_Position = vec4(inPixel.x / uViewport.x * 2.0 - 1.0, 1.0 - inPixel.y / uViewport.y * 2.0, 0.0, 1.0);
}
)";

const char* const kViewCubeFragmentSource = R"(#version 330 core
in vec2 vUv;
in vec4 vColor;
uniform sampler2D uLabels;
out vec4 outColor;
void main() {
    if (vUv.x < 0.0) {
        outColor = vColor;
    } else {
        outColor = vec4(vColor.rgb, vColor.a * texture(uLabels, vUv).r);
    }
}
)";

void* ByteOffset(std::size_t bytes) { return reinterpret_cast<void*>(bytes); }

}  // namespace

std::vector<std::uint8_t> BuildViewCubeLabelAtlas(GlSurface* surface) {
    const std::size_t bytes = static_cast<std::size_t>(kLabelAtlasWidth) * kLabelAtlasHeight;
    std::vector<std::uint8_t> atlas = surface != nullptr ? surface->ViewCubeLabelAtlas() : std::vector<std::uint8_t>{};
    if (atlas.size() != bytes) atlas.assign(bytes, 0);
    return atlas;
}

bool Renderer::BuildViewCubeProgram() {
    const GlFunctions& f = functions;
    const GLuint vertex = CompileShader(*this, GL_VERTEX_SHADER, kViewCubeVertexSource);
    if (vertex == 0) return false;
    const GLuint fragment = CompileShader(*this, GL_FRAGMENT_SHADER, kViewCubeFragmentSource);
    if (fragment == 0) {
        f.glDeleteShader(vertex);
        return false;
    }
    const GLuint program = f.glCreateProgram();
    f.glAttachShader(program, vertex);
    f.glAttachShader(program, fragment);
    f.glLinkProgram(program);
    f.glDeleteShader(vertex);
    f.glDeleteShader(fragment);
    GLint status = GL_FALSE;
    f.glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
        char log[kInfoLogLimit] = {};
        GLsizei written = 0;
        f.glGetProgramInfoLog(program, kInfoLogLimit, &written, log);
        lastError = "OpenGL view cube program link failed: " +
                    std::string(log, static_cast<std::size_t>(written > 0 ? written : 0));
        f.glDeleteProgram(program);
        return false;
    }
    viewCubeProgram = program;
    viewCubeViewportLocation = f.glGetUniformLocation(program, "uViewport");
    viewCubeLabelsLocation = f.glGetUniformLocation(program, "uLabels");
    return true;
}

void Renderer::CreateViewCubeResources() {
    // The program's failure texts land in lastError; a ready renderer keeps
    // that empty and reports the cube's trouble on its own.
    std::string kept = std::move(lastError);
    lastError.clear();
    const bool built = BuildViewCubeProgram();
    viewCubeError = built ? std::string() : lastError;
    lastError = std::move(kept);
    if (!built) return;

    const GlFunctions& f = functions;
    const GlBaseFunctions& b = base;
    f.glGenVertexArrays(1, &viewCubeVertexArray);
    f.glGenBuffers(1, &viewCubeBuffer);
    f.glBindVertexArray(viewCubeVertexArray);
    f.glBindBuffer(GL_ARRAY_BUFFER, viewCubeBuffer);
    constexpr GLsizei kStride = sizeof(ViewCubeVertex);
    f.glEnableVertexAttribArray(0);
    f.glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, kStride, ByteOffset(0));
    f.glEnableVertexAttribArray(1);
    f.glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, kStride, ByteOffset(8));
    f.glEnableVertexAttribArray(2);
    f.glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, kStride, ByteOffset(16));
    f.glBindVertexArray(0);

    const std::vector<std::uint8_t> atlas = BuildViewCubeLabelAtlas(surface);
    b.glGenTextures(1, &viewCubeLabelTexture);
    b.glBindTexture(GL_TEXTURE_2D, viewCubeLabelTexture);
    b.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    b.glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kLabelAtlasWidth, kLabelAtlasHeight, 0, GL_RED, GL_UNSIGNED_BYTE,
                   atlas.data());
    b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (f.glGenerateMipmap != nullptr) {
        f.glGenerateMipmap(GL_TEXTURE_2D);
        b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        b.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, -0.5f);
    } else {
        b.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    b.glBindTexture(GL_TEXTURE_2D, 0);
}

void Renderer::BuildViewCubeLayout(ViewCubeLayout& layout, int width, float scale, float yaw, float pitch) {
    gl::BuildViewCubeLayout(layout, width, scale, yaw, pitch);
}

ViewCubeLayout Renderer::GetViewCubeLayout() const {
    ViewCubeLayout layout;
    BuildViewCubeLayout(layout, viewportWidth, dpiScale, yawDegrees, pitchDegrees);
    return layout;
}

void Renderer::DrawViewCubeAxes(std::vector<ViewCubeVertex>& vertices, int axis, float alphaFactor) const {
    AppendViewCubeAxis(vertices, GetViewCubeLayout(), axis, alphaFactor);
}

void Renderer::DrawViewCube() {
    if (viewCubeProgram == 0 || viewCubeVertexArray == 0) return;
    const std::vector<ViewCubeVertex> vertices =
        BuildViewCubeVertices(GetViewCubeLayout(), hoverValid, hoverTarget, hoverButton);
    if (vertices.empty()) return;
    const GlFunctions& f = functions;
    const GlBaseFunctions& b = base;
    b.glDisable(GL_DEPTH_TEST);
    b.glDisable(GL_CULL_FACE);
    b.glEnable(GL_BLEND);
    b.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    f.glUseProgram(viewCubeProgram);
    f.glUniform2f(viewCubeViewportLocation, static_cast<float>(viewportWidth), static_cast<float>(viewportHeight));
    f.glActiveTexture(GL_TEXTURE1);
    b.glBindTexture(GL_TEXTURE_2D, viewCubeLabelTexture);
    f.glUniform1i(viewCubeLabelsLocation, 1);
    f.glBindVertexArray(viewCubeVertexArray);
    f.glBindBuffer(GL_ARRAY_BUFFER, viewCubeBuffer);
    f.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(ViewCubeVertex)), vertices.data(),
                   GL_STREAM_DRAW);
    b.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    f.glBindVertexArray(0);
    f.glActiveTexture(GL_TEXTURE0);
    b.glDisable(GL_BLEND);
    b.glEnable(GL_DEPTH_TEST);
    f.glUseProgram(meshProgram);
}

}  // namespace ridgeforge::gl
