// The records the view fills to drive the renderer: the vertex every buffer
// holds, the shading and surface settings, the box mapping's per-pixel
// blending state, the projection stream of the part, overlay inputs and the
// per-frame statistics.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"
#include "relief/mapping/MaskOverlay.h"

namespace ridgeforge::gl {

// One triangle corner or line end; 60 bytes, interleaved.
struct MeshVertex {
    float position[3];
    float faceNormal[3];
    float smoothNormal[3];
    float colour[3];
    float projected[2];
    float mask;
};
static_assert(sizeof(MeshVertex) == 60, "fifteen floats, no padding");

// The part's replaceable stream: projector millimetres and texture weight per corner.
struct ProjectionRecord {
    float u;
    float v;
    float mask;
};
static_assert(sizeof(ProjectionRecord) == 12, "three floats, no padding");

enum class ShadingMode : std::int32_t { Smooth = 0, Flat = 1, Wireframe = 2, SolidWireframe = 3 };

enum class SurfaceMode : std::int32_t {
    Plain = 0,
    Checkerboard = 1,
    ProjectorColours = 2,
    HeightMap = 3,
    OuterInner = 4,
};

// What the cage uniforms are set from.
struct MappingState {
    bool blend = false;
    float blendSharpness = 4.0f;
    mesh::Vec3f cageCenter{0.0f, 0.0f, 0.0f};
    mesh::Vec3f cageAxisX{1.0f, 0.0f, 0.0f};
    mesh::Vec3f cageAxisY{0.0f, 1.0f, 0.0f};
    mesh::Vec3f cageAxisZ{0.0f, 0.0f, 1.0f};
    std::array<std::uint8_t, 6> sideEnabled{1, 1, 1, 1, 1, 1};
    std::array<std::array<float, 2>, 6> layerOrigin{};
    std::array<float, 6> layerTurn{};
    std::array<float, 6> layerZoom{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    bool sphere = false;
    float sphereRadius = 1.0f;
    std::array<mesh::Vec3f, 6> faceU{};
    std::array<mesh::Vec3f, 6> faceV{};
    std::array<mesh::Vec3f, 6> faceN{};
    std::array<float, 6> faceTurn{};
};

// Made by the view; each list optional and possibly shorter than needed.
struct ProjectedCoordinates {
    std::vector<mesh::Vec3f> triangleColours;
    std::vector<std::array<float, 2>> vertexUv;
    std::vector<std::array<float, 2>> cornerUv;
    std::vector<float> vertexMask;
    std::vector<float> cornerMask;
};

struct FrameStatistics {
    // GPU time of the frame drawn three frames earlier.
    double gpuMilliseconds = 0.0;
    // From the start of Render to just after the swap.
    double frameMilliseconds = 0.0;
    double framesPerSecond = 0.0;
    // Set once a GPU time has been read, never cleared.
    bool gpuValid = false;
};

// The cage or projector shape: translucent faces and two line lists (pairs).
struct CageOverlay {
    std::vector<mesh::Vec3f> trianglePoints;
    std::vector<mesh::Vec3f> triangleColours;
    std::vector<mesh::Vec3f> cageLines;
    std::vector<mesh::Vec3f> accentLines;
};

// From the shown validation report: segment ends in pairs, corners in triples.
struct EdgeOverlay {
    std::vector<mesh::Vec3f> openEdges;
    std::vector<mesh::Vec3f> nonManifoldEdges;
    std::vector<mesh::Vec3f> problemFaces;
    std::vector<mesh::Vec3f> otherProblemFaces;
};

// From the shown printability report: one line list, three triangle lists.
struct PrintCheckOverlay {
    std::vector<mesh::Vec3f> lines;
    std::vector<mesh::Vec3f> needingSupport;
    std::vector<mesh::Vec3f> reachingFar;
    std::vector<mesh::Vec3f> bridging;
};

}  // namespace ridgeforge::gl
