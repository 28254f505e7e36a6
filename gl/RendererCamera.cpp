// The orbit camera: it turns around the shown part's centre rather than its
// target, so that panning and then turning still revolves the part.
#include <algorithm>
#include <cmath>

#include "gl/Renderer.h"

namespace ridgeforge::gl {
namespace {

constexpr float kDegreesPerPixel = 0.8f;
constexpr float kPitchLimit = 89.5f;

}  // namespace

CameraAxes Renderer::CameraBasis(float yaw, float pitch) { return gl::CameraBasis(yaw, pitch); }

mesh::Vec3f Renderer::EyePosition() const { return EyeFrom(target, distance, yawDegrees, pitchDegrees); }

void Renderer::SetViewAngles(float yaw, float pitch) {
    const CameraAxes old = CameraBasis(yawDegrees, pitchDegrees);
    const mesh::Vec3f offset = target - sceneCentre;
    const float a = mesh::Dot(offset, old.right);
    const float b = mesh::Dot(offset, old.up);
    const float c = mesh::Dot(offset, old.forward);
    yawDegrees = std::remainder(yaw, 360.0f);
    pitchDegrees = std::clamp(pitch, -kPitchLimit, kPitchLimit);
    const CameraAxes now = CameraBasis(yawDegrees, pitchDegrees);
    target = sceneCentre + now.right * a + now.up * b + now.forward * c;
}

void Renderer::Orbit(float dx, float dy) {
    SetViewAngles(yawDegrees - kDegreesPerPixel * dx, pitchDegrees + kDegreesPerPixel * dy);
}

void Renderer::Pan(float dx, float dy) {
    const mesh::Vec3f f = NormaliseOrZero(target - EyePosition());
    const mesh::Vec3f r = NormaliseOrZero(mesh::Cross(f, mesh::Vec3f{0.0f, 0.0f, 1.0f}));
    const mesh::Vec3f u = NormaliseOrZero(mesh::Cross(r, f));
    const float s = distance * 1.5f / static_cast<float>(std::max(1, viewportHeight));
    target = target - r * (dx * s) + u * (dy * s);
}

void Renderer::ZoomAt(float steps, const mesh::Vec3f& point) {
    float next = distance * std::pow(0.86f, steps);
    if (next > 35.0f * sceneRadius) next = 35.0f * sceneRadius;
    if (next < 0.005f * sceneRadius) next = 0.005f * sceneRadius;
    const float k = next / distance;
    target = point + (target - point) * k;
    distance = next;
}

DepthPlanes Renderer::DepthRange() const {
    return ComputeDepthRange(EyePosition(), sceneCentre, sceneRadius, gridHalfSize, distance);
}

Matrix4 Renderer::ViewProjection() const {
    const float aspect = static_cast<float>(viewportWidth) / static_cast<float>(viewportHeight);
    const DepthPlanes range = DepthRange();
    const Matrix4 projection =
        orthographic ? OrthographicMatrix(aspect, distance, -3.0f * std::max(sceneRadius, gridHalfSize), range.farPlane)
                     : PerspectiveMatrix(aspect, range.nearPlane, range.farPlane);
    return MultiplyMatrices(projection, LookAt(EyePosition(), target, {0.0f, 0.0f, 1.0f}));
}

bool Renderer::ScreenRay(int x, int y, mesh::Vec3f& origin, mesh::Vec3f& direction) const {
    if (!ready || viewportWidth < 1 || viewportHeight < 1) return false;
    const std::array<float, 2> ndc = PixelCentreNdc(x, y, viewportWidth, viewportHeight);
    const float aspect = static_cast<float>(viewportWidth) / static_cast<float>(viewportHeight);
    const float t = kHalfFieldTangent;
    const mesh::Vec3f eye = EyePosition();
    const mesh::Vec3f f = NormaliseOrZero(target - eye);
    const mesh::Vec3f r = NormaliseOrZero(mesh::Cross(f, mesh::Vec3f{0.0f, 0.0f, 1.0f}));
    const mesh::Vec3f u = mesh::Cross(r, f);
    if (orthographic) {
        direction = f;
        origin = eye - f * (2.0f * distance) + r * (ndc[0] * distance * t * aspect) + u * (ndc[1] * distance * t);
    } else {
        origin = eye;
        direction = NormaliseOrZero(f + r * (ndc[0] * t * aspect) + u * (ndc[1] * t));
    }
    return true;
}

}  // namespace ridgeforge::gl
