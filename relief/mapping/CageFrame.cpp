// Cage rotation, corners and side frames.
#include "relief/mapping/CageFrame.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::mesh {

RotationAxes RotationFromDegrees(const Vec3f& degrees) {
    // The mapping calls this for every point; an unturned axis (the usual
    // case) skips its sine and cosine, which are exactly +-0 and 1 there.
    const auto sine = [](float d) { return d == 0.0f ? d : std::sin(DegreesToRadians(d)); };
    const auto cosine = [](float d) { return d == 0.0f ? 1.0f : std::cos(DegreesToRadians(d)); };
    const float sx = sine(degrees.x), cx = cosine(degrees.x);
    const float sy = sine(degrees.y), cy = cosine(degrees.y);
    const float sz = sine(degrees.z), cz = cosine(degrees.z);
    RotationAxes r;
    r.x = {cz * cy, sz * cy, -sy};
    r.y = {cz * sy * sx - sz * cx, cz * cx + sz * sy * sx, cy * sx};
    r.z = {sz * sx + cz * sy * cx, sz * sy * cx - cz * sx, cy * cx};
    return r;
}

Vec3f DegreesFromAxes(const RotationAxes& axes) {
    const float s = std::clamp(-axes.x.z, -1.0f, 1.0f);
    const float b = std::asin(s);
    float a = 0.0f;
    float c = 0.0f;
    if (std::fabs(s) < 0.99999f) {
        c = std::atan2(axes.x.y, axes.x.x);
        a = std::atan2(axes.y.z, axes.z.z);
    } else {
        // Near the poles X lies along z and c is not determined: all of the
        // turn about z goes into a.
        a = std::atan2(-axes.z.y, axes.y.y);
    }
    constexpr float kDegrees = 180.0f / kPi;
    return {a * kDegrees, b * kDegrees, c * kDegrees};
}

Vec3f TransformByCage(const ProjectionCage& cage, const Vec3f& vector) {
    return RotationFromDegrees(cage.rotationDegrees).ToLocal(vector);
}

Vec3f RotateByCage(const ProjectionCage& cage, const Vec3f& local) {
    return RotationFromDegrees(cage.rotationDegrees).ToPart(local);
}

std::array<Vec3f, 8> CageCorners(const ProjectionCage& cage) {
    const RotationAxes r = RotationFromDegrees(cage.rotationDegrees);
    const Vec3f half = cage.size * 0.5f;
    std::array<Vec3f, 8> corners;
    for (int i = 0; i < 8; ++i) {
        const Vec3f local{(i & 1) ? half.x : -half.x, (i & 2) ? half.y : -half.y, (i & 4) ? half.z : -half.z};
        corners[i] = cage.center + r.ToPart(local);
    }
    return corners;
}

void DegreesFromRotation(ProjectionCage& cage, int axis, float angleRadians) {
    if (axis < 0 || axis > 2) return;
    const RotationAxes r = RotationFromDegrees(cage.rotationDegrees);
    Vec3f axes[3] = {r.x, r.y, r.z};
    const Vec3f p = axes[(axis + 1) % 3];
    const Vec3f q = axes[(axis + 2) % 3];
    const float c = std::cos(angleRadians);
    const float s = std::sin(angleRadians);
    axes[(axis + 1) % 3] = p * c + q * s;
    axes[(axis + 2) % 3] = q * c - p * s;
    cage.rotationDegrees = DegreesFromAxes({axes[0], axes[1], axes[2]});
}

BoxSideFrameData BoxSideFrame(int side, int upAxis) {
    BoxSideFrameData f;
    if (side < 0 || side >= kSideCount || upAxis < 0 || upAxis > 2) return f;
    const float sign = side % 2 == 0 ? 1.0f : -1.0f;
    f.normal = UnitAxis(side / 2) * sign;
    const Vec3f up = UnitAxis(upAxis);
    const float along = Dot(f.normal, up);
    if (std::fabs(along) > 0.5f) {
        const float g = along > 0.0f ? 1.0f : -1.0f;
        f.onAxis = 1;
        // A fixed frame on the pole whose v axis follows the pole's direction.
        constexpr Vec3f kU[3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
        constexpr Vec3f kV[3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
        f.uAxis = kU[upAxis];
        f.vAxis = kV[upAxis] * g;
        return f;
    }
    f.uAxis = Cross(up, f.normal);
    f.vAxis = up;
    const Vec3f n = f.normal;
    f.azimuthRadians = upAxis == 0 ? std::atan2(n.z, n.y) : upAxis == 1 ? std::atan2(n.x, n.z) : std::atan2(n.y, n.x);
    return f;
}

const char* BoxSideName(int side) {
    static constexpr const char* kNames[kSideCount] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
    return side >= 0 && side < kSideCount ? kNames[side] : "?";
}

Vec3f CageSideFrame(const Projection& projection, int side, const Vec3f& point) {
    const RotationAxes r = RotationFromDegrees(projection.cage.rotationDegrees);
    switch (projection.type) {
        case ProjectionType::Plane:
            return Normalize(r.z);
        case ProjectionType::Box:
        case ProjectionType::Sphere:
            if (side < 0 || side >= kSideCount) return {};
            return Normalize(r.ToPart(UnitAxis(side / 2) * (side % 2 == 0 ? 1.0f : -1.0f)));
        case ProjectionType::Cylinder: {
            const int k = AxisIndex(projection.cylinder.axis);
            if (side == 4) return Normalize(r.ToPart(UnitAxis(k)));
            if (side == 5) return Normalize(r.ToPart(UnitAxis(k) * -1.0f));
            Vec3f across = r.ToLocal(point - projection.cage.center);
            across[k] = 0.0f;
            return Normalize(r.ToPart(across));
        }
    }
    return {};
}

float CylinderRadius(const Projection& projection) {
    const Vec3f& s = projection.cage.size;
    const int k = AxisIndex(projection.cylinder.axis);
    return std::max(s[(k + 1) % 3], s[(k + 2) % 3]) * 0.5f;
}

Vec3f ProjectorSurfacePoint(const ProjectionCage& cage, float radius, const Vec3f& a, const Vec3f& b, const Vec3f& c,
                            float alpha, float beta) {
    const Vec3f direction = Normalize(a * std::tan(alpha) + b * std::tan(beta) + c);
    return cage.center + RotateByCage(cage, direction * radius);
}

}  // namespace ridgeforge::mesh
