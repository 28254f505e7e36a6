// Which handle a ray through the cursor touches. Arrows are segments hit
// within 9 % of the gizmo size of the ray; rings are hit where the ray meets
// their plane within that band of the radius; scale boxes are spheres of a
// pick radius. Among arrows the nearest to the ray wins (the first on a tie);
// among scale boxes the nearest along the ray.
#include <cmath>

#include "gl/Handles.h"

namespace ridgeforge::gl {
namespace {

using mesh::Vec3f;

// Distance from point p to the ray's line.
float PointLineDistance(const mesh::Ray& ray, const Vec3f& p) {
    const Vec3f w = p - ray.origin;
    return mesh::Length(w - ray.direction * mesh::Dot(w, ray.direction));
}

// Where the ray meets the plane through `point` across `normal`; false when
// parallel or behind.
bool PlaneHit(const mesh::Ray& ray, const Vec3f& point, const Vec3f& normal, float& t) {
    const float den = mesh::Dot(ray.direction, normal);
    if (std::fabs(den) < 1e-6f) return false;
    t = mesh::Dot(point - ray.origin, normal) / den;
    return t > 0.0f;
}

}  // namespace

float RaySegmentDistance(const mesh::Ray& ray, const Vec3f& a, const Vec3f& b, float& s) {
    const Vec3f& o = ray.origin;
    const Vec3f& v = ray.direction;
    const Vec3f d = b - a;
    const float length = mesh::Dot(d, d);
    if (!(length > 0.0f)) {
        s = 0.0f;
        return PointLineDistance(ray, a);
    }
    const Vec3f w = a - o;
    const float k = mesh::Dot(v, d);
    const float den = length - k * k;
    s = 0.0f;
    if (std::fabs(den) > 1e-9f) s = (mesh::Dot(w, v) * k - mesh::Dot(w, d)) / den;
    s = std::fmin(1.0f, std::fmax(0.0f, s));
    const Vec3f p = a + d * s;
    const float t = std::fmax(0.0f, mesh::Dot(p - o, v));
    return mesh::Length(p - (o + v * t));
}

HitResult HitTestPlacementHandles(const mesh::Ray& ray, const Placement& placement, ViewTool tool, float size) {
    HitResult result;
    if (!IsPlacementTool(tool) || !(size > 0.0f)) return result;
    float best = kHandleTolerance * size;
    for (int k = 1; k <= 3; ++k) {
        const auto kind = static_cast<HandleKind>(k);
        const Vec3f d = HandleDirection(placement, kind);
        if (IsRotateTool(tool)) {
            float t = 0.0f;
            if (!PlaneHit(ray, placement.center, d, t)) continue;
            const float e = std::fabs(mesh::Length(ray.origin + ray.direction * t - placement.center) - size);
            if (e < best) {
                best = e;
                result = {kind, t};
            }
        } else {
            float s = 0.0f;
            const Vec3f tip = placement.center + d * size;
            const float dist = RaySegmentDistance(ray, placement.center, tip, s);
            if (dist < best) {
                best = dist;
                result = {kind, mesh::Length(placement.center + (tip - placement.center) * s - ray.origin)};
            }
        }
    }
    return result;
}

HitResult HitTestScaleHandles(const mesh::Ray& ray, const Placement& placement, bool isCylinder, float radius) {
    HitResult result;
    if (!(radius > 0.0f)) return result;
    for (const ScaleHandle& h : ScaleHandles(placement, isCylinder)) {
        const Vec3f q = h.position - ray.origin;
        const float t = mesh::Dot(q, ray.direction);
        if (t <= 0.0f) continue;
        if (mesh::Length(q - ray.direction * t) <= radius && (result.kind == HandleKind::None || t < result.distance))
            result = {h.kind, t};
    }
    return result;
}

HitResult HitTestTextureHandles(const mesh::Ray& ray, const TextureHandleFrame& frame, ViewTool tool, float size) {
    HitResult result;
    if (!frame.valid || !IsTextureTool(tool) || !(size > 0.0f)) return result;
    const float tol = kHandleTolerance * size;
    float t = 0.0f;
    const bool onPlane = PlaneHit(ray, frame.origin, frame.normal, t);
    const float fromOrigin = onPlane ? mesh::Length(ray.origin + ray.direction * t - frame.origin) : 0.0f;
    if (onPlane && fromOrigin <= 0.5f * tol + kCentreDiscRadius * size) return {HandleKind::Centre, t};
    const auto segment = [&](const Vec3f& axis, float& distanceAlong) {
        float s = 0.0f;
        const float dist = RaySegmentDistance(ray, frame.origin, frame.origin + axis * size, s);
        distanceAlong = mesh::Length(frame.origin + axis * (size * s) - ray.origin);
        return dist;
    };
    switch (tool) {
        case ViewTool::RotateTexture:
            if (onPlane && std::fabs(fromOrigin - size) < tol) result = {HandleKind::AxisZ, t};
            break;
        case ViewTool::ZoomTexture: {
            float along = 0.0f;
            if (segment(mesh::Normalize(frame.textureU + frame.textureV), along) < tol)
                result = {HandleKind::AxisZ, along};
            break;
        }
        default: {
            float best = tol;
            for (const HandleKind kind : {HandleKind::AxisX, HandleKind::AxisY}) {
                float along = 0.0f;
                const float dist = segment(kind == HandleKind::AxisX ? frame.textureU : frame.textureV, along);
                if (dist < best) {
                    best = dist;
                    result = {kind, along};
                }
            }
            break;
        }
    }
    return result;
}

}  // namespace ridgeforge::gl
