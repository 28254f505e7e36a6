// Projector geometry for drawing and picking.
#include "relief/mapping/ProjectorOverlay.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "relief/mapping/CageFrame.h"

namespace ridgeforge::mesh {
namespace {

constexpr int kCylinderSegments = 48;
constexpr int kSphereCells = 8;

void AddQuad(ProjectorOverlay& out, const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& d, int side) {
    out.triangles.insert(out.triangles.end(), {a, b, c, a, c, d});
    out.triangleSides.insert(out.triangleSides.end(), {side, side});
}

void AddLine(std::vector<Vec3f>& lines, const Vec3f& a, const Vec3f& b) { lines.insert(lines.end(), {a, b}); }

void BuildBox(const Projection& p, ProjectorOverlay& out) {
    const std::array<Vec3f, 8> corners = CageCorners(p.cage);
    for (int side = 0; side < kSideCount; ++side) {
        const int axis = side / 2;
        const int fixed = side % 2 == 0 ? 1 << axis : 0;
        const int u = 1 << ((axis + 1) % 3), v = 1 << ((axis + 2) % 3);
        // (u, v) turns counter-clockwise about the positive axis; the negative side runs the other way.
        std::array<int, 4> quad = {fixed, fixed | u, fixed | u | v, fixed | v};
        if (side % 2 == 1) std::swap(quad[1], quad[3]);
        AddQuad(out, corners[quad[0]], corners[quad[1]], corners[quad[2]], corners[quad[3]], side);
    }
    for (int i = 0; i < 8; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            if ((i & (1 << axis)) == 0) AddLine(out.lines, corners[i], corners[i | (1 << axis)]);
        }
    }
}

void BuildPlane(const Projection& p, ProjectorOverlay& out) {
    const RotationAxes r = RotationFromDegrees(p.cage.rotationDegrees);
    const float hx = 0.5f * p.cage.size.x, hy = 0.5f * p.cage.size.y;
    std::array<Vec3f, 4> c = {Vec3f{-hx, -hy, 0.0f}, Vec3f{hx, -hy, 0.0f}, Vec3f{hx, hy, 0.0f}, Vec3f{-hx, hy, 0.0f}};
    for (Vec3f& corner : c) corner = p.cage.center + r.ToPart(corner);
    AddQuad(out, c[0], c[1], c[2], c[3], 4);
    for (int i = 0; i < 4; ++i) AddLine(out.lines, c[i], c[(i + 1) % 4]);
}

void BuildCylinder(const Projection& p, ProjectorOverlay& out) {
    const RotationAxes r = RotationFromDegrees(p.cage.rotationDegrees);
    const int k = AxisIndex(p.cylinder.axis);
    const Vec3f e1 = UnitAxis((k + 1) % 3), e2 = UnitAxis((k + 2) % 3), ek = UnitAxis(k);
    const float radius = CylinderRadius(p);
    const float half = 0.5f * p.cage.size[k];
    auto at = [&](float angle, float height) {
        return p.cage.center +
               r.ToPart(e1 * (radius * std::cos(angle)) + e2 * (radius * std::sin(angle)) + ek * height);
    };
    for (int j = 0; j < kCylinderSegments; ++j) {
        const float a0 = kTwoPi * static_cast<float>(j) / kCylinderSegments;
        const float a1 = kTwoPi * static_cast<float>(j + 1) / kCylinderSegments;
        AddQuad(out, at(a0, -half), at(a1, -half), at(a1, half), at(a0, half), 0);
        AddLine(out.lines, at(a0, -half), at(a1, -half));
        AddLine(out.lines, at(a0, half), at(a1, half));
    }
    const float seam = DegreesToRadians(p.cylinder.seamDegrees);
    AddLine(out.lines, at(seam, -half), at(seam, half));
}

void BuildSphere(const Projection& p, ProjectorOverlay& out) {
    const float radius = 0.5f * std::max({p.cage.size.x, p.cage.size.y, p.cage.size.z});
    constexpr float kQuarter = 0.7853982f;
    constexpr float kStep = 2.0f * kQuarter / kSphereCells;
    for (int side = 0; side < kSideCount; ++side) {
        const BoxSideFrameData f = BoxSideFrame(side, AxisIndex(p.sphere.axis));
        auto at = [&](int i, int j) {
            return ProjectorSurfacePoint(p.cage, radius, f.uAxis, f.vAxis, f.normal,
                                         -kQuarter + kStep * static_cast<float>(i),
                                         -kQuarter + kStep * static_cast<float>(j));
        };
        for (int i = 0; i < kSphereCells; ++i) {
            for (int j = 0; j < kSphereCells; ++j)
                AddQuad(out, at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), side);
        }
        if (f.onAxis != 0) continue;
        for (int i = 0; i < kSphereCells; ++i) {
            AddLine(out.accentLines, at(i, 0), at(i + 1, 0));
            AddLine(out.accentLines, at(i, kSphereCells), at(i + 1, kSphereCells));
        }
    }
}

}  // namespace

ProjectorOverlay BuildProjectorOverlay(const Projection& projection) {
    ProjectorOverlay out;
    switch (projection.type) {
        case ProjectionType::Box:
            BuildBox(projection, out);
            break;
        case ProjectionType::Plane:
            BuildPlane(projection, out);
            break;
        case ProjectionType::Cylinder:
            BuildCylinder(projection, out);
            break;
        case ProjectionType::Sphere:
            BuildSphere(projection, out);
            break;
    }
    return out;
}

}  // namespace ridgeforge::mesh
