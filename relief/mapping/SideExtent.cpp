// Side extents, worked out in cage coordinates and then turned into the part.
#include "relief/mapping/SideExtent.h"

#include <algorithm>
#include <cmath>

#include "relief/mapping/CageFrame.h"

namespace ridgeforge::mesh {
namespace {

// The extent before it is turned into part coordinates.
struct LocalExtent {
    bool valid = false;
    Vec3f anchor;
    Vec3f a;
    Vec3f b;
    Vec3f normal;
    float halfWidth = 0.0f;
    float halfHeight = 0.0f;
};

// x held within [-limit, limit] (no precondition on the sign of limit).
float Hold(float x, float limit) { return x < -limit ? -limit : (x > limit ? limit : x); }

LocalExtent BoxExtent(const Projection& p, int side, float ox, float oy) {
    static constexpr int kAcross[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    const int axis = side / 2;
    const float g = side % 2 == 0 ? 1.0f : -1.0f;
    const int ua = kAcross[axis][0], va = kAcross[axis][1];
    LocalExtent e;
    e.valid = true;
    e.a = UnitAxis(ua) * g;
    e.b = UnitAxis(va);
    e.normal = UnitAxis(axis) * g;
    e.halfWidth = 0.5f * p.cage.size[ua];
    e.halfHeight = 0.5f * p.cage.size[va];
    e.anchor = e.normal * (0.5f * p.cage.size[axis]) + e.a * Hold(ox, e.halfWidth) + e.b * Hold(oy, e.halfHeight);
    return e;
}

LocalExtent PlaneExtent(const Projection& p, int side, float ox, float oy) {
    LocalExtent e;
    if (side != 4) return e;
    e.valid = true;
    e.a = UnitAxis(0);
    e.b = UnitAxis(1);
    e.normal = UnitAxis(2);
    e.halfWidth = 0.5f * p.cage.size.x;
    e.halfHeight = 0.5f * p.cage.size.y;
    e.anchor = {Hold(ox, e.halfWidth), Hold(oy, e.halfHeight), 0.0f};
    return e;
}

LocalExtent CylinderExtent(const Projection& p, int side, float ox, float oy) {
    LocalExtent e;
    const int k = AxisIndex(p.cylinder.axis);
    const Vec3f across1 = UnitAxis((k + 1) % 3), across2 = UnitAxis((k + 2) % 3), along = UnitAxis(k);
    const float r = CylinderRadius(p);
    const float length = p.cage.size[k];
    if (side == 4 || side == 5) {
        // The bottom cap's u runs against the first across axis (it is seen
        // from below), so its frame does too.
        const float g = side == 4 ? 1.0f : -1.0f;
        e.valid = true;
        e.a = across1 * g;
        e.b = across2;
        e.normal = along * g;
        e.halfWidth = r;
        e.halfHeight = r;
        e.anchor = e.normal * (0.5f * length) + e.a * Hold(ox, r) + e.b * Hold(oy, r);
        return e;
    }
    if (side != 0 || !(r > 0.0f)) return e;
    const float angle = DegreesToRadians(p.cylinder.seamDegrees) + ox / r;
    const Vec3f radial = across1 * std::cos(angle) + across2 * std::sin(angle);
    e.valid = true;
    e.a = across2 * std::cos(angle) - across1 * std::sin(angle);
    e.b = along;
    e.normal = radial;
    e.halfWidth = kPi * r;
    e.halfHeight = 0.5f * length;
    e.anchor = radial * r + along * Hold(oy, e.halfHeight);
    return e;
}

LocalExtent SphereExtent(const Projection& p, int side, float ox, float oy) {
    LocalExtent e;
    const BoxSideFrameData f = BoxSideFrame(side, AxisIndex(p.sphere.axis));
    const float r = 0.5f * std::max({p.cage.size.x, p.cage.size.y, p.cage.size.z});
    if (!(r > 0.0f)) return e;
    e.valid = true;
    e.halfWidth = 0.7853982f * r;
    e.halfHeight = e.halfWidth;
    const float alpha = Hold(ox - f.azimuthRadians * r, e.halfWidth) / r;
    const float beta = Hold(oy, e.halfHeight) / r;
    e.anchor = Normalize(f.uAxis * std::tan(alpha) + f.normal + f.vAxis * std::tan(beta)) * r;
    e.a = f.uAxis;
    e.b = f.vAxis;
    e.normal = f.normal;
    return e;
}

}  // namespace

SideExtentResult SideExtent(const Projection& projection, int side, bool useLayerOrigin) {
    SideExtentResult result;
    if (side < 0 || side >= kSideCount) return result;
    const ProjectionLayer& layer = projection.layer[side];
    const float ox = useLayerOrigin ? layer.originMillimetres[0] : 0.0f;
    const float oy = useLayerOrigin ? layer.originMillimetres[1] : 0.0f;
    LocalExtent e;
    switch (projection.type) {
        case ProjectionType::Box:
            e = BoxExtent(projection, side, ox, oy);
            break;
        case ProjectionType::Plane:
            e = PlaneExtent(projection, side, ox, oy);
            break;
        case ProjectionType::Cylinder:
            e = CylinderExtent(projection, side, ox, oy);
            break;
        case ProjectionType::Sphere:
            e = SphereExtent(projection, side, ox, oy);
            break;
    }
    if (!e.valid) return result;
    const RotationAxes r = RotationFromDegrees(projection.cage.rotationDegrees);
    const float t = DegreesToRadians(layer.rotationDegrees);
    result.valid = true;
    result.side = side;
    result.anchor = projection.cage.center + r.ToPart(e.anchor);
    result.axisA = Normalize(r.ToPart(e.a));
    result.axisB = Normalize(r.ToPart(e.b));
    result.normal = Normalize(r.ToPart(e.normal));
    result.uDirection = result.axisA * std::cos(t) + result.axisB * std::sin(t);
    result.vDirection = result.axisB * std::cos(t) - result.axisA * std::sin(t);
    result.halfWidth = e.halfWidth;
    result.halfHeight = e.halfHeight;
    return result;
}

}  // namespace ridgeforge::mesh
