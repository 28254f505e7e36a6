// The scene's extent and the geometry derived from it without a context: the
// bounds the camera frames, the floor grid with its step, the axis lines and
// floor quad, and the vertex lists of the unlit overlays.
//
// Grid step: the half size s over 5, rounded to 1, 2, 5 or 10 times a power
// of ten (r = s / 5 / 10^floor(log10(s / 5)): below 1.5, 3.5, 7.5), so a
// grid has about 5 to 10 lines each side of its centre; at most 200.
#pragma once

#include <array>
#include <vector>

#include "gl/RendererTypes.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::gl {

// The largest scene radius: a part as large as floats allow is framed as if
// it were this, so that distances made from it stay finite.
inline constexpr double kLargestSceneRadius = 1e37;

struct SceneBounds {
    mesh::Vec3f centre{0.0f, 0.0f, 0.0f};
    // Half the box diagonal, at least 0.0001.
    float radius = 1.0f;
    float gridHalfSize = 5.0f;
    // The lowest Z of the part.
    float floorHeight = -1.001f;
    std::array<float, 2> gridCentre{0.0f, 0.0f};
};

// The mesh's bounds when valid, else the box of its positions.
void MeshBox(const mesh::TriangleMesh& mesh, mesh::Vec3f& lo, mesh::Vec3f& hi);
// From MeshBox.
SceneBounds ComputeSceneBounds(const mesh::TriangleMesh& mesh);

struct GridLayout {
    float step = 1.0f;
    // Lines each side of the centre, 1 to 200.
    int lines = 1;
    // lines x step: the half size the grid really covers.
    float halfSize = 1.0f;
};

GridLayout ComputeGrid(float gridHalfSize);

// One unlit overlay vertex: normals (0, 0, 1), projected (0, 0), mask 0.
MeshVertex OverlayVertex(const mesh::Vec3f& point, const mesh::Vec3f& colour);
// One vertex per point; a point beyond the colour list gets `fallback`.
std::vector<MeshVertex> ColouredVertices(const std::vector<mesh::Vec3f>& points,
                                         const std::vector<mesh::Vec3f>& colours, const mesh::Vec3f& fallback);
std::vector<MeshVertex> ColouredVertices(const std::vector<mesh::Vec3f>& points, const mesh::Vec3f& colour);
// Appends with one colour.
void AppendColoured(std::vector<MeshVertex>& out, const std::vector<mesh::Vec3f>& points, const mesh::Vec3f& colour);

// Grid lines along X and Y at the floor, then the three axis lines from the
// grid's corner, each a third of the half size long.
std::vector<MeshVertex> BuildGuideLines(const SceneBounds& bounds, const GridLayout& grid);
// Two triangles facing +Z over the grid's square, just below the floor.
std::vector<MeshVertex> BuildFloorQuad(const SceneBounds& bounds, const GridLayout& grid);
// The twelve edges of the box.
std::vector<MeshVertex> BuildBoxLines(const mesh::Vec3f& min, const mesh::Vec3f& max, const mesh::Vec3f& colour);
// A line from each point along its normal; six floats per source vertex.
std::vector<MeshVertex> BuildNormalLines(const std::vector<float>& normalSource, float length);

// Colours of the guides and overlays.
inline constexpr mesh::Vec3f kGridCentreLineColour{0.34f, 0.37f, 0.42f};
inline constexpr mesh::Vec3f kGridLineColour{0.24f, 0.27f, 0.31f};
inline constexpr mesh::Vec3f kAxisXColour{0.9f, 0.2f, 0.18f};
inline constexpr mesh::Vec3f kAxisYColour{0.25f, 0.85f, 0.28f};
inline constexpr mesh::Vec3f kAxisZColour{0.2f, 0.45f, 0.95f};
inline constexpr mesh::Vec3f kFloorColour{0.17f, 0.19f, 0.22f};
inline constexpr mesh::Vec3f kBoundingBoxColour{0.95f, 0.76f, 0.2f};
inline constexpr mesh::Vec3f kNormalLineColour{0.35f, 0.8f, 0.95f};
inline constexpr mesh::Vec3f kOpenEdgeColour{0.95f, 0.25f, 0.22f};
inline constexpr mesh::Vec3f kNonManifoldColour{0.95f, 0.25f, 0.9f};
inline constexpr mesh::Vec3f kProblemFaceColour{0.98f, 0.55f, 0.15f};
inline constexpr mesh::Vec3f kOtherProblemFaceColour{0.98f, 0.92f, 0.2f};
inline constexpr mesh::Vec3f kPrintCheckLineColour{0.42f, 0.6f, 0.82f};
inline constexpr mesh::Vec3f kNeedsSupportColour{0.95f, 0.2f, 0.16f};
inline constexpr mesh::Vec3f kReachesFarColour{0.98f, 0.58f, 0.12f};
inline constexpr mesh::Vec3f kBridgingColour{0.96f, 0.84f, 0.18f};
inline constexpr mesh::Vec3f kCageFaceColour{0.6f, 0.6f, 0.6f};
inline constexpr mesh::Vec3f kCageLineColour{0.92f, 0.93f, 0.95f};
inline constexpr mesh::Vec3f kCageAccentColour{1.0f, 0.85f, 0.2f};
inline constexpr mesh::Vec3f kRestingFaceColour{0.3f, 0.6f, 0.9f};
inline constexpr mesh::Vec3f kWhite{1.0f, 1.0f, 1.0f};

}  // namespace ridgeforge::gl
