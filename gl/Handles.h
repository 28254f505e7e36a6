// The handles (gizmos) of the view's tools: arrows, rings, face boxes and a
// centre disc that move, turn and size the mapping cage, the selected mask
// volume and the texture on one cage side. Their geometry for the gizmo
// overlay, their hit tests against a ray through the cursor, the ray maths
// of a drag (distance along an axis, angle in a plane, point in a plane) and
// what a drag does to a placement or a texture layer.
//
// Everything is pure 32-bit float arithmetic on unit-direction rays; lengths
// in millimetres, placement and layer angles in degrees, ring angles in
// radians. Nothing fails loudly: a zero size, an invalid frame or a ray
// parallel to a plane or an axis gives no handle, an empty gizmo or false.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/RayTests.h"
#include "mesh/Vec3.h"
#include "relief/mapping/MaskOverlay.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge {

// The view's tools; which one is active decides which handles exist.
enum class ViewTool : std::int32_t {
    None = 0,
    MoveTexture = 1,
    RotateTexture = 2,
    ZoomTexture = 3,
    MoveCage = 4,
    RotateCage = 5,
    MoveMask = 6,
    RotateMask = 7,
    ScaleMask = 8,
};

constexpr bool IsTextureTool(ViewTool tool) { return tool >= ViewTool::MoveTexture && tool <= ViewTool::ZoomTexture; }
constexpr bool IsPlacementTool(ViewTool tool) { return tool >= ViewTool::MoveCage && tool <= ViewTool::ScaleMask; }
constexpr bool IsRotateTool(ViewTool tool) { return tool == ViewTool::RotateCage || tool == ViewTool::RotateMask; }

}  // namespace ridgeforge

namespace ridgeforge::gl {

enum class HandleKind : std::int32_t {
    None = 0,
    AxisX = 1,
    AxisY = 2,
    AxisZ = 3,
    Centre = 4,
    NegativeX = 5,
    NegativeY = 6,
    NegativeZ = 7,
    Radius = 8,
};

// 0..2 for the kinds along an axis, -1 for the others.
int HandleAxis(HandleKind kind);

// The cage's placement and a mask volume's centre, rotation and size are the
// same record, so the cage functions serve the handles of both.
using Placement = mesh::ProjectionCage;

// The cage side on which the texture handles stand; part coordinates.
struct TextureHandleFrame {
    bool valid = false;
    std::int32_t side = -1;
    mesh::Vec3f origin;
    // The side axes turned by the layer's rotation.
    mesh::Vec3f textureU;
    mesh::Vec3f textureV;
    mesh::Vec3f normal;
    // The side's own unit axes.
    mesh::Vec3f sideU;
    mesh::Vec3f sideV;
};

struct HitResult {
    HandleKind kind = HandleKind::None;
    // Along the ray to the hit; informative only.
    float distance = 0.0f;
};

struct ScaleHandle {
    HandleKind kind = HandleKind::None;
    mesh::Vec3f position;
    // Unit, outward.
    mesh::Vec3f direction;
};

// A running handle drag, as the viewport holds it between mouse moves. Every
// move starts again from the values at the press, so nothing drifts.
struct HandleDragState {
    bool active = false;
    HandleKind kind = HandleKind::None;
    Placement startPlacement;
    // Axis distance or ring angle (radians) at the press.
    float startValue = 0.0f;
    float gizmoSize = 0.0f;
    bool textureActive = false;
    ViewTool textureTool = ViewTool::None;
    HandleKind textureKind = HandleKind::None;
    TextureHandleFrame frame;
    mesh::ProjectionLayer startLayer;
    float textureStartValue = 0.0f;
    // The press in the side plane along sideU and sideV (centre handle).
    float startPlaneUv[2] = {0.0f, 0.0f};
    float textureSize = 0.0f;
};

// Handle lengths relative to the gizmo size.
inline constexpr float kHandleTolerance = 0.09f;
inline constexpr float kConeRadius = 0.06f;
inline constexpr float kCentreDiscRadius = 0.18f;

mesh::Vec3f HandleColour(HandleKind kind);
// Local +X for 1 and 8, +Y for 2, +Z for 3, -X, -Y, -Z for 5..7, turned by
// the placement's rotation; zero for other kinds.
mesh::Vec3f HandleDirection(const Placement& placement, HandleKind kind);

// Gizmo geometry for the renderer's handle overlay; a hovered handle is white.
ColouredGeometry BuildPlacementGizmo(const Placement& placement, ViewTool tool, HandleKind hovered, float size);
std::vector<ScaleHandle> ScaleHandles(const Placement& placement, bool isCylinder);
ColouredGeometry BuildScaleGizmo(const Placement& placement, bool isCylinder, HandleKind hovered, float radius);
ColouredGeometry BuildTextureGizmo(const TextureHandleFrame& frame, ViewTool tool, HandleKind hovered, float size);

// Distance between the ray and segment a-b; s = the segment point (0 at a, 1 at b).
float RaySegmentDistance(const mesh::Ray& ray, const mesh::Vec3f& a, const mesh::Vec3f& b, float& s);

HitResult HitTestPlacementHandles(const mesh::Ray& ray, const Placement& placement, ViewTool tool, float size);
// The handle nearest along the ray within `radius` of it.
HitResult HitTestScaleHandles(const mesh::Ray& ray, const Placement& placement, bool isCylinder, float radius);
// The centre disc first, whatever the tool.
HitResult HitTestTextureHandles(const mesh::Ray& ray, const TextureHandleFrame& frame, ViewTool tool, float size);

// Where the ray meets the frame's plane, along sideU and sideV from the origin.
bool IntersectRayPlane(const mesh::Ray& ray, const TextureHandleFrame& frame, float& u, float& v);
// The signed position along the axis, from `origin`, of the axis point
// nearest to the ray's line; false when the ray runs nearly along the axis.
bool AxisDragDistance(const mesh::Ray& ray, const mesh::Vec3f& origin, const mesh::Vec3f& axis, float& s);
// Counter-clockwise angle about the axis, from the reference direction, of
// where the ray meets the plane through `centre` across the axis.
bool DragRotationAngle(const mesh::Ray& ray, const mesh::Vec3f& centre, const mesh::Vec3f& axis,
                       const mesh::Vec3f& reference, float& angle);

// A Scale Mask face or radius dragged from a0 to a1; `symmetric` (Shift)
// moves both faces and keeps the centre; no size falls below `minimum`.
Placement ApplyHandleDrag(const Placement& start, HandleKind kind, float a0, float a1, bool symmetric, float minimum);
// The side's layer after a texture drag to this ray; false when the ray
// gives no position this move.
bool DragTextureHandle(const mesh::Ray& ray, const HandleDragState& state, mesh::ProjectionLayer& layer);

}  // namespace ridgeforge::gl
