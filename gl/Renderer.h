// The 3D viewport's drawing engine on an OpenGL 3.3 core context: the part in
// four shadings and five surface modes, the floor grid and axes, the report,
// cage, handle, resting-face and mask overlays, the orbit camera and the
// frame statistics.
//
// A plain class the viewport window owns by value. The view writes the
// settings members (mapping, masks, flags, modes, checker size, viewport
// size, DPI scale, hover record, camera) directly; everything that touches
// OpenGL goes through the operations, each of which first makes the
// surface's context current and does nothing (false) when the renderer is
// not ready. Failures are a false result with `lastError` saying why.
// User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gl/CameraMath.h"
#include "gl/GlFunctions.h"
#include "gl/GlSurface.h"
#include "gl/RendererTypes.h"
#include "gl/ViewCube.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/MaskVolume.h"
#include "textures/HeightMap.h"
#include "textures/TextureSettings.h"

namespace ridgeforge::gl {

// One overlay: a vertex array over one buffer of MeshVertex, drawn with glDrawArrays.
struct OverlayBuffer {
    GLuint vertexArray = 0;
    GLuint buffer = 0;
    int count = 0;
};

struct PartBuffers {
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    // 12-byte (u, v, mask) records, one per corner.
    GLuint projectionBuffer = 0;
    std::uint64_t projectionBytes = 0;
    int indexCount = 0;
};

// Locations in the mesh program, -1 until found; the first nine are required.
struct MeshUniforms {
    GLint mvp = -1;
    GLint lightDirection = -1;
    GLint lit = -1;
    GLint smooth = -1;
    GLint overrideColor = -1;
    GLint useOverride = -1;
    GLint surfaceMode = -1;
    GLint checkerMillimetres = -1;
    GLint alpha = -1;
    GLint heightMap = -1;
    GLint wrapMode = -1;
    GLint textureSizeMm = -1;
    GLint textureOffsetMm = -1;
    GLint textureRotation = -1;
    GLint blackLevel = -1;
    GLint whiteLevel = -1;
    GLint gamma = -1;
    GLint invert = -1;
};

inline constexpr std::size_t kMaxMasks = 16;
inline constexpr mesh::Vec3f kWireColour{0.98f, 0.72f, 0.12f};
inline constexpr mesh::Vec3f kLightDirection{-0.45f, -0.8f, -0.35f};

class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Lifecycle and context.
    bool Initialize(GlSurface* surface);
    void Shutdown();
    bool CreateContext(GlSurface* surface);
    void DeleteResources();

    // The mesh program and its inputs.
    bool BuildMeshProgram();
    bool UploadHeightMapTexture(const mesh::HeightMap& map);
    void SetHeightMapUniforms(GLuint program);
    void SetMaskUniforms();
    void SetCageUniforms(GLuint program);
    void BindMeshVertexLayout(GLuint projectionBuffer);

    // Buffers and overlays.
    bool UploadMesh(const mesh::TriangleMesh& mesh, const ProjectedCoordinates* coordinates, bool reframe);
    bool UpdateVertexProjection(const mesh::TriangleMesh& mesh, const ProjectedCoordinates& coordinates);
    void ClearMesh();
    bool RebuildNormalLines();
    bool RebuildGuideGeometry();
    bool RebuildBoundsOverlays(const mesh::TriangleMesh& boundedMesh);
    bool SetEdgeOverlays(const EdgeOverlay& overlay);
    bool SetPrintCheckOverlay(const PrintCheckOverlay& overlay);
    bool SetRestingFaceHighlight(const std::vector<mesh::Vec3f>& points, const std::vector<mesh::Vec3f>& colours);
    bool SetCageOverlay(const CageOverlay& overlay);
    bool SetGizmoOverlay(const ColouredGeometry& geometry);
    // Deletes the cage overlay's three buffers; false when the context cannot be made current.
    bool ClearCageOverlay();
    bool SetMaskOverlay(const ColouredGeometry& geometry);
    bool UploadLineBuffer(OverlayBuffer& overlay, const std::vector<MeshVertex>& vertices);

    // The frame.
    void Render();
    void DrawMesh(bool wire);

    // The camera.
    static CameraAxes CameraBasis(float yawDegrees, float pitchDegrees);
    mesh::Vec3f EyePosition() const;
    void Orbit(float dx, float dy);
    void SetViewAngles(float yaw, float pitch);
    void Pan(float dx, float dy);
    void ZoomAt(float steps, const mesh::Vec3f& point);
    DepthPlanes DepthRange() const;
    // The model-view-projection matrix of the current camera and viewport.
    Matrix4 ViewProjection() const;
    bool ScreenRay(int x, int y, mesh::Vec3f& origin, mesh::Vec3f& direction) const;

    // The view cube. Its failure does not stop Initialize: the renderer
    // works without the cube, and the reason is kept in `viewCubeError`.
    void CreateViewCubeResources();
    ViewCubeLayout GetViewCubeLayout() const;
    static void BuildViewCubeLayout(ViewCubeLayout& layout, int width, float scale, float yaw, float pitch);
    void DrawViewCube();
    void DrawViewCubeAxes(std::vector<ViewCubeVertex>& vertices, int axis, float alphaFactor) const;

    // 1. The window, standing for the window handle, device and rendering contexts.
    GlSurface* surface = nullptr;
    bool hasContext = false;
    // 2. Entry points.
    GlFunctions functions;
    GlBaseFunctions base;
    // 3. Programs.
    GLuint meshProgram = 0;
    GLuint viewCubeProgram = 0;
    GLint viewCubeViewportLocation = -1;
    GLint viewCubeLabelsLocation = -1;
    // 4.
    MappingState mapping;
    // 5. View cube.
    GLuint viewCubeVertexArray = 0;
    GLuint viewCubeBuffer = 0;
    GLuint viewCubeLabelTexture = 0;
    std::array<std::int32_t, 3> hoverTarget{0, 0, 0};
    bool hoverValid = false;
    bool hoverButton = false;
    float dpiScale = 1.0f;
    // 6. The part and its derived overlays; position and normal per vertex.
    PartBuffers part;
    OverlayBuffer guideLines;
    OverlayBuffer boundingBox;
    OverlayBuffer normalLines;
    std::vector<float> normalSource;
    // 7. Frame timing.
    std::array<GLuint, 3> timerQueries{0, 0, 0};
    std::array<std::uint64_t, 3> queryBegun{0, 0, 0};  // steady clock, ns
    int nextQuery = 0;
    int queriesIssued = 0;
    bool queryRunning = false;
    FrameStatistics statistics;
    std::uint64_t rateWindowStart = 0;
    std::uint32_t framesInWindow = 0;
    // 8. Report, cage, handle, resting-face and floor overlays; the height map.
    OverlayBuffer openEdges;
    OverlayBuffer nonManifoldEdges;
    OverlayBuffer problemFaces;
    OverlayBuffer printCheckLines;
    OverlayBuffer printCheckTriangles;
    OverlayBuffer cageFaces;
    OverlayBuffer cageLines;
    OverlayBuffer cageAccentLines;
    OverlayBuffer gizmoLines;
    OverlayBuffer gizmoTriangles;
    OverlayBuffer restingFace;
    OverlayBuffer floorQuad;
    GLuint heightMapTexture = 0;
    // 9. Mask volumes: the overlay and the enabled volumes shown, at most 16.
    OverlayBuffer maskTriangles;
    OverlayBuffer maskLines;
    std::vector<mesh::MaskVolume> masks;
    // 10.
    MeshUniforms uniforms;
    // 11. Camera and scene bounds.
    int viewportWidth = 1;
    int viewportHeight = 1;
    float yawDegrees = -135.0f;
    float pitchDegrees = 45.0f;
    float distance = 5.2f;
    mesh::Vec3f target{0.0f, 0.0f, 0.0f};
    mesh::Vec3f sceneCentre{0.0f, 0.0f, 0.0f};
    float sceneRadius = 1.0f;
    float gridHalfSize = 5.0f;
    float floorHeight = -1.001f;
    std::array<float, 2> gridCentre{0.0f, 0.0f};
    // 12. Modes.
    SurfaceMode surfaceMode = SurfaceMode::Plain;
    mesh::TextureSettings textureSettings;
    float checkerMillimetres = 5.0f;
    ShadingMode shadingMode = ShadingMode::Smooth;
    // 13. Flags.
    bool showNormals = false;
    bool showBoundingBox = false;
    bool showOpenEdges = false;
    bool showNonManifoldEdges = false;
    bool showProblemFaces = false;
    bool showCage = false;
    bool showPrintCheck = false;
    bool orthographic = false;
    bool ready = false;
    // 14.
    std::string lastError;
    std::string versionText;
    // Why the view cube is missing on a ready renderer; empty when it is drawn.
    std::string viewCubeError;

private:
    bool BuildViewCubeProgram();
    bool MakeCurrent();
    void ResetSceneBounds();
    void ReleasePartBuffers();
    void DeleteOverlay(OverlayBuffer& overlay);
    void DrawOverlay(const OverlayBuffer& overlay, GLenum primitive);
    void DrawPart();
    void BeginGpuTiming();
    void EndFrameTiming(std::uint64_t startNanoseconds);
};

}  // namespace ridgeforge::gl
