// The orbit camera's arithmetic, free of any context: the basis for a yaw and
// pitch (+Z up; yaw 0 puts the eye on +X of the target), the eye, the view
// and projection matrices (4 x 4, column-major: element (row, column) at
// column x 4 + row), the depth range and pixel centres in normalised device
// coordinates. Angles in degrees, turned into radians with pi = 3.1415927.
#pragma once

#include <array>

#include "mesh/Vec3.h"

namespace ridgeforge::gl {

using Matrix4 = std::array<float, 16>;

struct CameraAxes {
    mesh::Vec3f right;
    mesh::Vec3f up;
    mesh::Vec3f forward;
};

// Unit vector, or zero when the squared length is 1e-6 or less.
mesh::Vec3f NormaliseOrZero(const mesh::Vec3f& v);

CameraAxes CameraBasis(float yawDegrees, float pitchDegrees);
// target + distance x (cos yaw cos pitch, sin yaw cos pitch, sin pitch).
mesh::Vec3f EyeFrom(const mesh::Vec3f& target, float distance, float yawDegrees, float pitchDegrees);

Matrix4 LookAt(const mesh::Vec3f& eye, const mesh::Vec3f& target, const mesh::Vec3f& up);
// a x b.
Matrix4 MultiplyMatrices(const Matrix4& a, const Matrix4& b);
// A 45-degree vertical field of view.
Matrix4 PerspectiveMatrix(float aspect, float nearPlane, float farPlane);
// What a perspective view at `distance` shows at the target's depth.
Matrix4 OrthographicMatrix(float aspect, float distance, float nearPlane, float farPlane);

struct DepthPlanes {
    float nearPlane = 0.0f;
    float farPlane = 0.0f;
    // The eye's distance from the scene centre.
    float eyeToCentre = 0.0f;
};

// R = 3 x max(radius, grid half size); far = R + max(distance, e), near =
// max(min(far / 1000, distance / 100), e - R) with e the eye-to-centre distance.
DepthPlanes ComputeDepthRange(const mesh::Vec3f& eye, const mesh::Vec3f& sceneCentre, float sceneRadius,
                              float gridHalfSize, float distance);

// The centre of pixel (x, y), y down, as (x, y) in -1..1, y up.
std::array<float, 2> PixelCentreNdc(int x, int y, int width, int height);

// tan(22.5 degrees): half the vertical field of view.
inline constexpr float kHalfFieldTangent = 0.41421356f;
// The distance at which a sphere of this radius fills the view, with a margin.
float FramingDistance(float radius);

}  // namespace ridgeforge::gl
