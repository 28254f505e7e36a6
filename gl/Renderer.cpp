// The renderer's lifecycle: a context on the surface, the entry points, the
// mesh program and the default guides, in that order, with everything
// released again on the first failure; and the release itself.
#include "gl/Renderer.h"

namespace ridgeforge::gl {
namespace {

GlProc LookUpOnSurface(const char* name, void* surface) { return static_cast<GlSurface*>(surface)->LookUp(name); }

}  // namespace

Renderer::Renderer() = default;

Renderer::~Renderer() { Shutdown(); }

bool Renderer::Initialize(GlSurface* newSurface) {
    Shutdown();
    lastError.clear();
    versionText.clear();
    viewCubeError.clear();
    if (newSurface == nullptr) {
        lastError = "Cannot initialize OpenGL without a viewport window.";
        return false;
    }
    if (!CreateContext(newSurface) || !LoadGlFunctions(functions, &LookUpOnSurface, surface, lastError) ||
        !BuildMeshProgram() || !RebuildGuideGeometry()) {
        Shutdown();
        return false;
    }
    // The view cube is an ornament: the viewport works without it.
    CreateViewCubeResources();
    const GLubyte* version = base.glGetString(GL_VERSION);
    versionText = version != nullptr ? reinterpret_cast<const char*>(version) : "Unknown OpenGL version";
    if (const GLubyte* name = base.glGetString(GL_RENDERER)) {
        versionText += " - ";
        versionText += reinterpret_cast<const char*>(name);
    }
    ready = true;
    return true;
}

bool Renderer::CreateContext(GlSurface* newSurface) {
    surface = newSurface;
    base = surface->BaseFunctions();
    switch (surface->CreateGlContext()) {
        case SurfaceContext::Created:
            break;
        case SurfaceContext::NoDrawable:
            lastError = "Could not acquire the OpenGL viewport device context.";
            return false;
        case SurfaceContext::NoPixelFormat:
            lastError = "Could not select an OpenGL pixel format.";
            return false;
        case SurfaceContext::NoCoreContext:
            lastError = "The display driver could not create an OpenGL 3.3 Core context.";
            return false;
    }
    hasContext = true;
    GLint major = 0;
    GLint minor = 0;
    base.glGetIntegerv(GL_MAJOR_VERSION, &major);
    base.glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major < 3 || (major == 3 && minor < 3)) {
        lastError = "OpenGL 3.3 or newer is required.";
        return false;
    }
    return true;
}

void Renderer::Shutdown() {
    if (surface != nullptr) {
        if (hasContext && surface->MakeGlCurrent()) DeleteResources();
        surface->DestroyGlContext();
    }
    surface = nullptr;
    hasContext = false;
    ready = false;
}

void Renderer::DeleteOverlay(OverlayBuffer& overlay) {
    if (overlay.buffer != 0) functions.glDeleteBuffers(1, &overlay.buffer);
    if (overlay.vertexArray != 0) functions.glDeleteVertexArrays(1, &overlay.vertexArray);
    overlay = OverlayBuffer{};
}

void Renderer::ReleasePartBuffers() {
    const GLuint buffers[3] = {part.vertexBuffer, part.indexBuffer, part.projectionBuffer};
    for (GLuint name : buffers)
        if (name != 0) functions.glDeleteBuffers(1, &name);
    if (part.vertexArray != 0) functions.glDeleteVertexArrays(1, &part.vertexArray);
    part = PartBuffers{};
}

void Renderer::DeleteResources() {
    if (viewCubeProgram != 0) functions.glDeleteProgram(viewCubeProgram);
    if (viewCubeBuffer != 0) functions.glDeleteBuffers(1, &viewCubeBuffer);
    if (viewCubeVertexArray != 0) functions.glDeleteVertexArrays(1, &viewCubeVertexArray);
    if (viewCubeLabelTexture != 0) base.glDeleteTextures(1, &viewCubeLabelTexture);
    viewCubeProgram = viewCubeBuffer = viewCubeVertexArray = viewCubeLabelTexture = 0;
    viewCubeViewportLocation = viewCubeLabelsLocation = -1;
    ReleasePartBuffers();
    for (OverlayBuffer* overlay :
         {&guideLines, &boundingBox, &normalLines, &openEdges, &nonManifoldEdges, &problemFaces, &printCheckLines,
          &printCheckTriangles, &cageFaces, &cageLines, &cageAccentLines, &gizmoLines, &gizmoTriangles, &restingFace,
          &floorQuad, &maskTriangles, &maskLines})
        DeleteOverlay(*overlay);
    if (heightMapTexture != 0) base.glDeleteTextures(1, &heightMapTexture);
    heightMapTexture = 0;
    if (meshProgram != 0) functions.glDeleteProgram(meshProgram);
    meshProgram = 0;
    uniforms = MeshUniforms{};
    // The queries end with the context; a later context must make its own.
    timerQueries = {0, 0, 0};
    queryBegun = {0, 0, 0};
    nextQuery = 0;
    queriesIssued = 0;
    queryRunning = false;
}

bool Renderer::MakeCurrent() { return hasContext && surface != nullptr && surface->MakeGlCurrent(); }

void Renderer::ResetSceneBounds() {
    sceneCentre = {0.0f, 0.0f, 0.0f};
    sceneRadius = 1.0f;
    gridHalfSize = 5.0f;
    floorHeight = -1.001f;
    gridCentre = {0.0f, 0.0f};
}

}  // namespace ridgeforge::gl
