// The viewport's picks and handle drags: rays through the cursor, the world
// size of a number of pixels at a point (so handles keep their size on
// screen), hover of handles, cage sides, resting faces and the view cube,
// and the start and every step of a handle drag.
#include <cmath>
#include <cstdlib>

#include "gl/CameraMath.h"
#include "gl/Picking.h"
#include "relief/mapping/CageFrame.h"
#include "ui/view/ViewportInteraction.h"

namespace ridgeforge {
namespace {

using gl::HandleKind;

constexpr float kMinimumMaskMillimetres = 0.5f;
constexpr float kScalePickFactor = 1.4f;

float TextureHandleSize(const ViewportInteraction& v, const gl::TextureHandleFrame& frame) {
    return frame.valid ? std::max(0.001f, v.PixelsToWorldAt(frame.origin, kGizmoPixels)) : 0.0f;
}

bool IsNegativeFace(ViewTool tool, HandleKind kind) {
    return tool == ViewTool::ScaleMask &&
           (kind == HandleKind::NegativeX || kind == HandleKind::NegativeY || kind == HandleKind::NegativeZ);
}

// The handle's local axis, signed for a negative scale face.
mesh::Vec3f LocalAxis(ViewTool tool, HandleKind kind) {
    return mesh::UnitAxis(gl::HandleAxis(kind)) * (IsNegativeFace(tool, kind) ? -1.0f : 1.0f);
}

// The ring's zero direction: local +Y for the X ring, local +X otherwise.
mesh::Vec3f RingReference(const gl::Placement& placement, int axis) {
    return mesh::RotateByCage(placement, axis == 0 ? mesh::Vec3f{0, 1, 0} : mesh::Vec3f{1, 0, 0});
}

}  // namespace

bool ViewportInteraction::Ray(int x, int y, mesh::Ray& ray) const {
    return renderer_.ScreenRay(x, y, ray.origin, ray.direction);
}

float ViewportInteraction::PixelsToWorldAt(const mesh::Vec3f& point, float pixels) const {
    const unsigned reported = port_.Dpi();
    const float dpi = static_cast<float>(reported == 0 ? 96u : reported);
    const float h = static_cast<float>(std::max(1, renderer_.viewportHeight));
    float e = renderer_.distance;
    if (!renderer_.orthographic) {
        const mesh::Vec3f eye = renderer_.EyePosition();
        const mesh::Vec3f forward = gl::NormaliseOrZero(renderer_.target - eye);
        e = std::max(0.05f * renderer_.distance, mesh::Dot(point - eye, forward));
    }
    return dpi * (2.0f * e * gl::kHalfFieldTangent / h * pixels) / 96.0f;
}

float ViewportInteraction::GizmoWorldSize() const {
    if (cageHost == nullptr || !cageHost->HasPart()) return 0.0f;
    const gl::Placement* placement = cageHost->HandlePlacement();
    return placement != nullptr ? PixelsToWorldAt(placement->center, kGizmoPixels) : 0.0f;
}

float ViewportInteraction::PickWorldRadius() const {
    if (cageHost == nullptr || !cageHost->HasPart()) return 0.0f;
    const gl::Placement* placement = cageHost->HandlePlacement();
    return placement != nullptr ? PixelsToWorldAt(placement->center, kPickPixels) : 0.0f;
}

std::int32_t ViewportInteraction::PickCageSide(int x, int y) const {
    mesh::Ray ray;
    if (cageHost == nullptr || !cageHost->HasPart() || !renderer_.showCage || !Ray(x, y, ray)) return -1;
    const mesh::RayHit hit = gl::PickProjectionShape(ray, cageHost->Projection());
    return hit.hit ? hit.triangle : -1;
}

void ViewportInteraction::UpdateHover(int x, int y) {
    mesh::Ray ray;
    if (restingFaceHost != nullptr && restingFaceHost->IsActive()) {
        const std::int32_t face = Ray(x, y, ray) ? restingFaceHost->PickFace(ray) : -1;
        if (face != hoverFace) {
            hoverFace = face;
            restingFaceHost->SetHoverFace(face);
        }
        return;
    }
    hoverFace = -1;
    if (cageHost == nullptr || !cageHost->HasPart()) return;
    std::int32_t side = -1;
    HandleKind handle = HandleKind::None;
    if (Ray(x, y, ray)) {
        const ViewTool tool = cageHost->ActiveTool();
        if (IsTextureTool(tool)) {
            const gl::TextureHandleFrame frame = cageHost->TextureHandleFrame();
            handle = gl::HitTestTextureHandles(ray, frame, tool, TextureHandleSize(*this, frame)).kind;
        } else if (const gl::Placement* placement = cageHost->HandlePlacement()) {
            handle = tool == ViewTool::ScaleMask
                         ? gl::HitTestScaleHandles(ray, *placement, cageHost->SelectedMaskIsCylinder(),
                                                   kScalePickFactor * PickWorldRadius())
                               .kind
                         : gl::HitTestPlacementHandles(ray, *placement, tool, GizmoWorldSize()).kind;
        }
        if (handle == HandleKind::None && renderer_.showCage) {
            const mesh::RayHit hit = gl::PickProjectionShape(ray, cageHost->Projection());
            side = hit.hit ? hit.triangle : -1;
        }
    }
    if (side != hoverSide || handle != hoverHandle) {
        hoverSide = side;
        hoverHandle = handle;
        cageHost->SetHover(side, handle);
    }
}

bool ViewportInteraction::UpdateViewCubeHover(int x, int y) {
    const gl::ViewCubeLayout layout = renderer_.GetViewCubeLayout();
    const auto fx = static_cast<float>(x);
    const auto fy = static_cast<float>(y);
    const bool button = gl::HitViewCubeButton(layout, fx, fy);
    gl::Direction target{0, 0, 0};
    const bool cell = !button && gl::ViewCubeCellAt(layout, fx, fy, target);
    if (button != buttonHover || cell != cubeHoverValid || (cell && target != cubeHoverTarget)) {
        buttonHover = button;
        cubeHoverValid = cell;
        cubeHoverTarget = cell ? target : gl::Direction{0, 0, 0};
        renderer_.hoverButton = button;
        renderer_.hoverValid = cell;
        renderer_.hoverTarget = cubeHoverTarget;
        port_.Invalidate();
    }
    return button || gl::InViewCubeSquare(layout, fx, fy);
}

bool ViewportInteraction::BeginDrag(int x, int y) {
    mesh::Ray ray;
    if (cageHost == nullptr || !cageHost->HasPart()) return false;
    const ViewTool tool = cageHost->ActiveTool();
    if (tool == ViewTool::None || !Ray(x, y, ray)) return false;
    return IsTextureTool(tool) ? BeginTextureDrag(ray) : BeginPlacementDrag(ray, tool);
}

bool ViewportInteraction::BeginTextureDrag(const mesh::Ray& ray) {
    const ViewTool tool = cageHost->ActiveTool();
    const gl::TextureHandleFrame frame = cageHost->TextureHandleFrame();
    const float size = TextureHandleSize(*this, frame);
    const HandleKind kind = gl::HitTestTextureHandles(ray, frame, tool, size).kind;
    if (kind == HandleKind::None || !frame.valid) return false;
    const mesh::ProjectionLayer layer = frame.side >= 0 && frame.side < mesh::kSideCount
                                            ? cageHost->Projection().layer[static_cast<std::size_t>(frame.side)]
                                            : mesh::ProjectionLayer{};
    float value = 0.0f;
    float planeUv[2] = {0.0f, 0.0f};
    bool ok = false;
    if (kind == HandleKind::Centre) {
        ok = gl::IntersectRayPlane(ray, frame, planeUv[0], planeUv[1]);
    } else if (tool == ViewTool::MoveTexture) {
        ok =
            gl::AxisDragDistance(ray, frame.origin, kind == HandleKind::AxisX ? frame.textureU : frame.textureV, value);
    } else if (tool == ViewTool::RotateTexture) {
        ok = gl::DragRotationAngle(ray, frame.origin, frame.normal, frame.sideU, value);
    } else {
        ok = gl::AxisDragDistance(ray, frame.origin, mesh::Normalize(frame.textureU + frame.textureV), value);
        if (value < 0.05f * size) value = size;
    }
    if (!ok) return false;
    gl::HandleDragState& d = handleDrag;
    d.frame = frame;
    d.textureTool = tool;
    d.textureKind = kind;
    d.startLayer = layer;
    d.textureStartValue = value;
    d.startPlaneUv[0] = planeUv[0];
    d.startPlaneUv[1] = planeUv[1];
    d.textureSize = size;
    d.active = d.textureActive = true;
    d.kind = kind;
    cageHost->BeginHandleDrag();
    cageHost->BeginTextureDrag();
    return true;
}

bool ViewportInteraction::BeginPlacementDrag(const mesh::Ray& ray, ViewTool tool) {
    const gl::Placement* placement = cageHost->HandlePlacement();
    if (placement == nullptr) return false;
    const float g = GizmoWorldSize();
    const HandleKind kind = tool == ViewTool::ScaleMask
                                ? gl::HitTestScaleHandles(ray, *placement, cageHost->SelectedMaskIsCylinder(),
                                                          kScalePickFactor * PickWorldRadius())
                                      .kind
                                : gl::HitTestPlacementHandles(ray, *placement, tool, g).kind;
    if (kind == HandleKind::None) return false;
    const mesh::Vec3f w = mesh::RotateByCage(*placement, LocalAxis(tool, kind));
    float value = 0.0f;
    const bool ok = IsRotateTool(tool) ? gl::DragRotationAngle(ray, placement->center, w,
                                                               RingReference(*placement, gl::HandleAxis(kind)), value)
                                       : gl::AxisDragDistance(ray, placement->center, w, value);
    if (!ok) return false;
    handleDrag.active = true;
    cageHost->BeginHandleDrag();
    handleDrag.kind = kind;
    handleDrag.startPlacement = *placement;
    handleDrag.startValue = value;
    handleDrag.gizmoSize = g;
    return true;
}

void ViewportInteraction::DragHandle(int x, int y) {
    mesh::Ray ray;
    if (cageHost == nullptr || !cageHost->HasPart() || !Ray(x, y, ray)) return;
    if (handleDrag.textureActive) {
        mesh::ProjectionLayer layer;
        if (gl::DragTextureHandle(ray, handleDrag, layer)) cageHost->DragTextureLayer(handleDrag.frame.side, layer);
        return;
    }
    const int axis = gl::HandleAxis(handleDrag.kind);
    if (axis < 0) return;
    const ViewTool tool = cageHost->ActiveTool();
    const gl::Placement& start = handleDrag.startPlacement;
    const mesh::Vec3f w = mesh::RotateByCage(start, LocalAxis(tool, handleDrag.kind));
    gl::Placement next = start;
    float value = 0.0f;
    if (IsRotateTool(tool)) {
        if (!gl::DragRotationAngle(ray, start.center, w, RingReference(start, axis), value)) return;
        mesh::DegreesFromRotation(next, axis, value - handleDrag.startValue);
    } else if (tool == ViewTool::MoveCage || tool == ViewTool::MoveMask) {
        if (!gl::AxisDragDistance(ray, start.center, w, value)) return;
        next.center = start.center + w * (value - handleDrag.startValue);
    } else if (tool == ViewTool::ScaleMask) {
        if (!gl::AxisDragDistance(ray, start.center, w, value)) return;
        next = gl::ApplyHandleDrag(start, handleDrag.kind, handleDrag.startValue, value, shiftHeld_,
                                   kMinimumMaskMillimetres);
    } else {
        return;
    }
    cageHost->SetHandlePlacement(next);
}

}  // namespace ridgeforge
