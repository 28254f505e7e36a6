// The cage's rotation and frames: the three turned axes from three angles
// (Rz(c) * Ry(b) * Rx(a), stored by columns), points and vectors between
// part and cage coordinates, the eight corners, turning the cage about one of
// its own axes, and the frames of its sides.
//
// The angles are read back from a frame by the standard decomposition of
// Rz * Ry * Rx: b = asin(-X.z), then c and a from atan2, with a separate
// branch near the poles (|X.z| >= 0.99999) where c is set to 0.
//
// Every function is pure and reentrant. Mask volumes have the same placement
// (see MaskVolume::Placement), so these serve for them too.
#pragma once

#include <array>
#include <cstdint>

#include "mesh/Vec3.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge::mesh {

// The three cage axes in part coordinates (the columns of the rotation).
struct RotationAxes {
    Vec3f x{1.0f, 0.0f, 0.0f};
    Vec3f y{0.0f, 1.0f, 0.0f};
    Vec3f z{0.0f, 0.0f, 1.0f};

    // Components of a part-space vector along the three axes.
    Vec3f ToLocal(const Vec3f& v) const { return {Dot(v, x), Dot(v, y), Dot(v, z)}; }
    // The part-space vector of local components (no translation).
    Vec3f ToPart(const Vec3f& v) const { return x * v.x + y * v.y + z * v.z; }
};

// Three angles in degrees (about x, y, z) to the turned axes.
RotationAxes RotationFromDegrees(const Vec3f& degrees);
// The angles in degrees that RotationFromDegrees turns back into these axes.
Vec3f DegreesFromAxes(const RotationAxes& axes);

// The components of a part-space vector along the cage axes (rotation only;
// subtract the centre first for a point).
Vec3f TransformByCage(const ProjectionCage& cage, const Vec3f& vector);
// The part-space vector of cage-local components (no translation).
Vec3f RotateByCage(const ProjectionCage& cage, const Vec3f& local);
// center + R * (+-size / 2): x fastest, then y, then z, the minus sign first.
std::array<Vec3f, 8> CageCorners(const ProjectionCage& cage);

// Turns the cage about its own axis (0..2) by `angleRadians` and stores the
// result back as angles in `cage.rotationDegrees`. Another axis changes nothing.
void DegreesFromRotation(ProjectionCage& cage, int axis, float angleRadians);

// The frame of a box or sphere side around an up axis, in cage coordinates.
struct BoxSideFrameData {
    Vec3f uAxis;
    Vec3f vAxis;
    // The side's outward axis.
    Vec3f normal;
    // 1 when the side faces along the up axis (a pole side), else 0.
    std::int32_t onAxis = 0;
    // Angle of the normal around the up axis; 0 for pole sides.
    float azimuthRadians = 0.0f;
};

// Side 0..5 around up axis 0..2; all zero for anything else.
BoxSideFrameData BoxSideFrame(int side, int upAxis);
// "+X", "-X", "+Y", "-Y", "+Z", "-Z"; "?" for any other index.
const char* BoxSideName(int side);

// The unit part-space direction in which a side faces, zero when there is
// none: the plane's cage Z whatever the side; a box or sphere side's signed
// cage axis; the cylinder's axis for side 4, its negative for side 5, and for
// any other side the radial direction of `point` (zero on the axis).
Vec3f CageSideFrame(const Projection& projection, int side, const Vec3f& point);

// Half the larger of the two cage sizes across the cylinder's axis.
float CylinderRadius(const Projection& projection);

// center + R * (radius * normalise(tan(alpha) * a + tan(beta) * b + c)):
// a point of a sphere side's patch at the side angles alpha and beta.
Vec3f ProjectorSurfacePoint(const ProjectionCage& cage, float radius, const Vec3f& a, const Vec3f& b, const Vec3f& c,
                            float alpha, float beta);

// Shared constants: the angle conversions use this value of pi throughout.
inline constexpr float kPi = 3.1415927f;
inline constexpr float kTwoPi = 6.2831855f;
inline constexpr float DegreesToRadians(float degrees) { return degrees * kPi / 180.0f; }

// The axis as 0..2; a value without a word counts as z.
constexpr int AxisIndex(Axis axis) {
    const auto i = static_cast<std::int32_t>(axis);
    return i >= 0 && i <= 2 ? i : 2;
}

// The unit vector along axis 0..2 (zero for another value).
constexpr Vec3f UnitAxis(int axis) {
    return {axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f, axis == 2 ? 1.0f : 0.0f};
}

}  // namespace ridgeforge::mesh
