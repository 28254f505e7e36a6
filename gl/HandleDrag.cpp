// What a handle drag does. Each move recomputes the drag's value (a distance
// along the handle's axis, a ring angle, a point in the side's plane) from a
// fresh ray and applies the change since the press to the values at the
// press, so the result does not depend on how many moves there were.
#include <algorithm>
#include <cmath>

#include "gl/Handles.h"
#include "relief/mapping/CageFrame.h"

namespace ridgeforge::gl {
namespace {

using mesh::Vec3f;

constexpr float kMinimumZoom = 0.05f;
constexpr float kMaximumZoom = 20.0f;

}  // namespace

bool IntersectRayPlane(const mesh::Ray& ray, const TextureHandleFrame& frame, float& u, float& v) {
    const float den = mesh::Dot(ray.direction, frame.normal);
    if (std::fabs(den) < 1e-6f) return false;
    const float t = mesh::Dot(frame.origin - ray.origin, frame.normal) / den;
    if (t <= 0.0f) return false;
    const Vec3f p = ray.origin + ray.direction * t - frame.origin;
    u = mesh::Dot(p, frame.sideU);
    v = mesh::Dot(p, frame.sideV);
    return true;
}

bool AxisDragDistance(const mesh::Ray& ray, const Vec3f& origin, const Vec3f& axis, float& s) {
    const Vec3f a = mesh::Normalize(axis);
    const float k = mesh::Dot(ray.direction, a);
    const float den = 1.0f - k * k;
    if (den < 0.0001f) return false;
    const Vec3f w = origin - ray.origin;
    s = (mesh::Dot(w, ray.direction) * k - mesh::Dot(w, a)) / den;
    return true;
}

bool DragRotationAngle(const mesh::Ray& ray, const Vec3f& centre, const Vec3f& axis, const Vec3f& reference,
                       float& angle) {
    const Vec3f n = mesh::Normalize(axis);
    const float den = mesh::Dot(ray.direction, n);
    if (std::fabs(den) < 1e-6f) return false;
    const float t = mesh::Dot(centre - ray.origin, n) / den;
    if (t <= 0.0f) return false;
    const Vec3f d = ray.origin + ray.direction * t - centre;
    if (mesh::Length(d) < 1e-6f) return false;
    const Vec3f q = mesh::Normalize(reference - n * mesh::Dot(n, reference));
    angle = std::atan2(mesh::Dot(mesh::Cross(n, q), d), mesh::Dot(q, d));
    return true;
}

Placement ApplyHandleDrag(const Placement& start, HandleKind kind, float a0, float a1, bool symmetric, float minimum) {
    Placement result = start;
    const int axis = HandleAxis(kind);
    if (axis < 0) return result;
    const float delta = a1 - a0;
    if (kind == HandleKind::Radius) {
        const float half = start.size.x / 2.0f;
        const float factor = half > 0.0f ? std::max(minimum / 2.0f, half + delta) / half : 1.0f;
        result.size.x = start.size.x * factor;
        result.size.y = std::max(minimum, start.size.y * factor);
        return result;
    }
    const float old = start.size[axis];
    const float now = std::max(minimum, old + (symmetric ? 2.0f : 1.0f) * delta);
    result.size[axis] = now;
    if (!symmetric) result.center = start.center + mesh::Normalize(HandleDirection(start, kind)) * ((now - old) / 2.0f);
    return result;
}

bool DragTextureHandle(const mesh::Ray& ray, const HandleDragState& state, mesh::ProjectionLayer& layer) {
    layer = state.startLayer;
    const TextureHandleFrame& frame = state.frame;
    if (!frame.valid) return false;
    if (state.textureKind == HandleKind::Centre) {
        float u = 0.0f;
        float v = 0.0f;
        if (!IntersectRayPlane(ray, frame, u, v)) return false;
        layer.originMillimetres[0] = state.startLayer.originMillimetres[0] + u - state.startPlaneUv[0];
        layer.originMillimetres[1] = state.startLayer.originMillimetres[1] + v - state.startPlaneUv[1];
        return true;
    }
    float value = 0.0f;
    switch (state.textureTool) {
        case ViewTool::MoveTexture: {
            const bool alongU = state.textureKind == HandleKind::AxisX;
            if (!AxisDragDistance(ray, frame.origin, alongU ? frame.textureU : frame.textureV, value)) return false;
            const float d = value - state.textureStartValue;
            const float theta = mesh::DegreesToRadians(state.startLayer.rotationDegrees);
            const float c = std::cos(theta);
            const float s = std::sin(theta);
            layer.originMillimetres[0] += alongU ? d * c : -d * s;
            layer.originMillimetres[1] += alongU ? d * s : d * c;
            return true;
        }
        case ViewTool::RotateTexture:
            if (!DragRotationAngle(ray, frame.origin, frame.normal, frame.sideU, value)) return false;
            layer.rotationDegrees =
                (value - state.textureStartValue) * 180.0f / mesh::kPi + state.startLayer.rotationDegrees;
            return true;
        case ViewTool::ZoomTexture: {
            if (!AxisDragDistance(ray, frame.origin, mesh::Normalize(frame.textureU + frame.textureV), value))
                return false;
            const float size = state.textureSize;
            const float zoom =
                std::max(0.01f * size, value) / std::max(0.05f * size, state.textureStartValue) * state.startLayer.zoom;
            layer.zoom = std::clamp(zoom, kMinimumZoom, kMaximumZoom);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace ridgeforge::gl
