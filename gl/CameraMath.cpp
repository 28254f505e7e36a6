#include "gl/CameraMath.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::gl {
namespace {

constexpr float kRadiansPerDegree = 3.1415927f / 180.0f;

}  // namespace

mesh::Vec3f NormaliseOrZero(const mesh::Vec3f& v) {
    const float lengthSquared = mesh::LengthSquared(v);
    if (lengthSquared <= 1e-6f) return {};
    return v / std::sqrt(lengthSquared);
}

CameraAxes CameraBasis(float yawDegrees, float pitchDegrees) {
    const float yaw = yawDegrees * kRadiansPerDegree;
    const float pitch = pitchDegrees * kRadiansPerDegree;
    CameraAxes axes;
    axes.forward = {-std::cos(yaw) * std::cos(pitch), -std::sin(yaw) * std::cos(pitch), -std::sin(pitch)};
    axes.right = NormaliseOrZero(mesh::Cross(axes.forward, mesh::Vec3f{0.0f, 0.0f, 1.0f}));
    axes.up = NormaliseOrZero(mesh::Cross(axes.right, axes.forward));
    return axes;
}

mesh::Vec3f EyeFrom(const mesh::Vec3f& target, float distance, float yawDegrees, float pitchDegrees) {
    const float yaw = yawDegrees * kRadiansPerDegree;
    const float pitch = pitchDegrees * kRadiansPerDegree;
    return target +
           mesh::Vec3f{std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch)} * distance;
}

Matrix4 LookAt(const mesh::Vec3f& eye, const mesh::Vec3f& target, const mesh::Vec3f& up) {
    const mesh::Vec3f f = NormaliseOrZero(target - eye);
    const mesh::Vec3f s = NormaliseOrZero(mesh::Cross(f, up));
    const mesh::Vec3f u = mesh::Cross(s, f);
    Matrix4 m{};
    m[0] = s.x;
    m[4] = s.y;
    m[8] = s.z;
    m[1] = u.x;
    m[5] = u.y;
    m[9] = u.z;
    m[2] = -f.x;
    m[6] = -f.y;
    m[10] = -f.z;
    m[12] = -mesh::Dot(s, eye);
    m[13] = -mesh::Dot(u, eye);
    m[14] = mesh::Dot(f, eye);
    m[15] = 1.0f;
    return m;
}

Matrix4 MultiplyMatrices(const Matrix4& a, const Matrix4& b) {
    Matrix4 m{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[column * 4 + k];
            m[column * 4 + row] = sum;
        }
    return m;
}

Matrix4 PerspectiveMatrix(float aspect, float nearPlane, float farPlane) {
    const float g = 1.0f / kHalfFieldTangent;
    Matrix4 m{};
    m[0] = g / aspect;
    m[5] = g;
    m[10] = (nearPlane + farPlane) / (nearPlane - farPlane);
    m[14] = 2.0f * farPlane * nearPlane / (nearPlane - farPlane);
    m[11] = -1.0f;
    return m;
}

Matrix4 OrthographicMatrix(float aspect, float distance, float nearPlane, float farPlane) {
    const float h = std::max(1e-6f, kHalfFieldTangent * distance);
    const float w = aspect * h;
    Matrix4 m{};
    m[0] = 1.0f / w;
    m[5] = 1.0f / h;
    m[10] = -2.0f / (farPlane - nearPlane);
    m[14] = -(farPlane + nearPlane) / (farPlane - nearPlane);
    m[15] = 1.0f;
    return m;
}

DepthPlanes ComputeDepthRange(const mesh::Vec3f& eye, const mesh::Vec3f& sceneCentre, float sceneRadius,
                              float gridHalfSize, float distance) {
    const float reach = 3.0f * std::max(sceneRadius, gridHalfSize);
    DepthPlanes range;
    range.eyeToCentre = mesh::Length(eye - sceneCentre);
    range.farPlane = reach + std::max(distance, range.eyeToCentre);
    range.nearPlane = std::max(std::min(range.farPlane * 0.001f, distance * 0.01f), range.eyeToCentre - reach);
    return range;
}

std::array<float, 2> PixelCentreNdc(int x, int y, int width, int height) {
    return {2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(width) - 1.0f,
            1.0f - 2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(height)};
}

float FramingDistance(float radius) { return radius / std::sin(22.5f * kRadiansPerDegree) * 1.15f; }

}  // namespace ridgeforge::gl
