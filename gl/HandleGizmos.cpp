// The handle shapes as coloured line and triangle lists: arrows (a line and
// a ten-sided cone), rings (48-segment circles), face boxes and the centre
// disc, each in its handle's colour or white while hovered.
#include <cmath>

#include "gl/Handles.h"
#include "relief/mapping/CageFrame.h"

namespace ridgeforge::gl {
namespace {

using mesh::Vec3f;

constexpr int kConeSegments = 10;
constexpr int kCircleSegments = 48;
constexpr Vec3f kCentreGrey{0.88f, 0.88f, 0.88f};
constexpr Vec3f kRingBlue{0.26f, 0.5f, 0.95f};
constexpr Vec3f kUAxisRed{0.9f, 0.25f, 0.22f};
constexpr Vec3f kZoomOrange{0.98f, 0.72f, 0.12f};
constexpr Vec3f kHovered{1.0f, 1.0f, 1.0f};

void Line(ColouredGeometry& g, const Vec3f& a, const Vec3f& b, const Vec3f& colour) {
    g.linePoints.push_back(a);
    g.linePoints.push_back(b);
    g.lineColours.push_back(colour);
    g.lineColours.push_back(colour);
}

void Triangle(ColouredGeometry& g, const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& colour) {
    for (const Vec3f& p : {a, b, c}) {
        g.trianglePoints.push_back(p);
        g.triangleColours.push_back(colour);
    }
}

void Cone(ColouredGeometry& g, const Vec3f& tip, const Vec3f& d, const Vec3f& a, const Vec3f& b, float r,
          const Vec3f& colour) {
    const Vec3f base = tip - d * (2.6f * r);
    const float step = mesh::kTwoPi / static_cast<float>(kConeSegments);
    const auto at = [&](int i) {
        const float phi = step * static_cast<float>(i);
        return base + (a * std::cos(phi) + b * std::sin(phi)) * r;
    };
    for (int i = 0; i < kConeSegments; ++i) {
        Triangle(g, at(i), at(i + 1), tip, colour);
        Triangle(g, at(i + 1), at(i), base, colour);
    }
}

void Box(ColouredGeometry& g, const Vec3f& c, const Vec3f& a1, const Vec3f& a2, const Vec3f& a3, float h,
         const Vec3f& colour) {
    const auto corner = [&](int i) {
        return c + a1 * ((i & 1) ? h : -h) + a2 * ((i & 2) ? h : -h) + a3 * ((i & 4) ? h : -h);
    };
    // Each face as corner indices around it.
    constexpr int kFaces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    for (const auto& f : kFaces) {
        Triangle(g, corner(f[0]), corner(f[1]), corner(f[2]), colour);
        Triangle(g, corner(f[0]), corner(f[2]), corner(f[3]), colour);
    }
}

void Circle(ColouredGeometry& g, const Vec3f& centre, const Vec3f& a, const Vec3f& b, float r, const Vec3f& colour) {
    const float step = mesh::kTwoPi / static_cast<float>(kCircleSegments);
    const auto at = [&](int i) {
        const float phi = step * static_cast<float>(i);
        return centre + (a * std::cos(phi) + b * std::sin(phi)) * r;
    };
    for (int i = 0; i < kCircleSegments; ++i) Line(g, at(i), at(i + 1), colour);
}

Vec3f Shown(HandleKind kind, HandleKind hovered, const Vec3f& colour) { return kind == hovered ? kHovered : colour; }

}  // namespace

int HandleAxis(HandleKind kind) {
    switch (kind) {
        case HandleKind::AxisX:
        case HandleKind::NegativeX:
        case HandleKind::Radius:
            return 0;
        case HandleKind::AxisY:
        case HandleKind::NegativeY:
            return 1;
        case HandleKind::AxisZ:
        case HandleKind::NegativeZ:
            return 2;
        default:
            return -1;
    }
}

Vec3f HandleColour(HandleKind kind) {
    switch (kind) {
        case HandleKind::AxisX:
        case HandleKind::NegativeX:
            return {0.9f, 0.25f, 0.22f};
        case HandleKind::AxisY:
        case HandleKind::NegativeY:
            return {0.28f, 0.82f, 0.32f};
        case HandleKind::AxisZ:
        case HandleKind::NegativeZ:
            return {0.26f, 0.5f, 0.95f};
        case HandleKind::Centre:
            return kCentreGrey;
        case HandleKind::Radius:
            return {0.95f, 0.7f, 0.2f};
        default:
            return {0.8f, 0.8f, 0.8f};
    }
}

Vec3f HandleDirection(const Placement& placement, HandleKind kind) {
    const int axis = HandleAxis(kind);
    if (axis < 0) return {};
    const bool negative =
        kind == HandleKind::NegativeX || kind == HandleKind::NegativeY || kind == HandleKind::NegativeZ;
    return mesh::RotateByCage(placement, mesh::UnitAxis(axis) * (negative ? -1.0f : 1.0f));
}

ColouredGeometry BuildPlacementGizmo(const Placement& placement, ViewTool tool, HandleKind hovered, float size) {
    ColouredGeometry g;
    if (!IsPlacementTool(tool) || !(size > 0.0f)) return g;
    const float r = kConeRadius * size;
    const auto dir = [&](int k) { return HandleDirection(placement, static_cast<HandleKind>(k)); };
    for (int k = 1; k <= 3; ++k) {
        const auto kind = static_cast<HandleKind>(k);
        const Vec3f d = dir(k);
        const Vec3f colour = Shown(kind, hovered, HandleColour(kind));
        if (IsRotateTool(tool)) {
            Circle(g, placement.center, dir(k == 1 ? 2 : 1), dir(k == 3 ? 2 : 3), size, colour);
        } else {
            const Vec3f tip = placement.center + d * size;
            Line(g, placement.center, tip, colour);
            Cone(g, tip, d, dir(k == 3 ? 2 : 3), dir(k == 1 ? 2 : 1), r, colour);
        }
    }
    return g;
}

std::vector<ScaleHandle> ScaleHandles(const Placement& placement, bool isCylinder) {
    const float hx = placement.size.x / 2.0f;
    const float hy = placement.size.y / 2.0f;
    const float hz = placement.size.z / 2.0f;
    struct Local {
        Vec3f offset;
        HandleKind kind;
    };
    const std::vector<Local> box = {{{hx, 0, 0}, HandleKind::AxisX}, {{-hx, 0, 0}, HandleKind::NegativeX},
                                    {{0, hy, 0}, HandleKind::AxisY}, {{0, -hy, 0}, HandleKind::NegativeY},
                                    {{0, 0, hz}, HandleKind::AxisZ}, {{0, 0, -hz}, HandleKind::NegativeZ}};
    const std::vector<Local> cylinder = {
        {{0, 0, hz}, HandleKind::AxisZ}, {{0, 0, -hz}, HandleKind::NegativeZ}, {{hx, 0, 0}, HandleKind::Radius}};
    std::vector<ScaleHandle> handles;
    for (const Local& l : isCylinder ? cylinder : box)
        handles.push_back({l.kind, placement.center + mesh::RotateByCage(placement, l.offset),
                           mesh::Normalize(HandleDirection(placement, l.kind))});
    return handles;
}

ColouredGeometry BuildScaleGizmo(const Placement& placement, bool isCylinder, HandleKind hovered, float radius) {
    ColouredGeometry g;
    if (!(radius > 0.0f)) return g;
    const Vec3f ax = mesh::Normalize(mesh::RotateByCage(placement, {1, 0, 0}));
    const Vec3f ay = mesh::Normalize(mesh::RotateByCage(placement, {0, 1, 0}));
    const Vec3f az = mesh::Normalize(mesh::RotateByCage(placement, {0, 0, 1}));
    for (const ScaleHandle& h : ScaleHandles(placement, isCylinder)) {
        const Vec3f c = Shown(h.kind, hovered, HandleColour(h.kind));
        Line(g, placement.center, h.position, c * 0.7f);
        Box(g, h.position, ax, ay, az, 0.5f * radius, c);
    }
    return g;
}

ColouredGeometry BuildTextureGizmo(const TextureHandleFrame& frame, ViewTool tool, HandleKind hovered, float size) {
    ColouredGeometry g;
    if (!frame.valid || !IsTextureTool(tool) || !(size > 0.0f)) return g;
    Circle(g, frame.origin, frame.sideU, frame.sideV, kCentreDiscRadius * size,
           Shown(HandleKind::Centre, hovered, kCentreGrey));
    switch (tool) {
        case ViewTool::RotateTexture:
            Circle(g, frame.origin, frame.textureU, frame.textureV, size, Shown(HandleKind::AxisZ, hovered, kRingBlue));
            Line(g, frame.origin, frame.origin + frame.textureU * size, kUAxisRed);
            break;
        case ViewTool::ZoomTexture: {
            const Vec3f d = mesh::Normalize(frame.textureU + frame.textureV);
            const Vec3f colour = Shown(HandleKind::AxisZ, hovered, kZoomOrange);
            const Vec3f tip = frame.origin + d * size;
            Line(g, frame.origin, tip, colour);
            Box(g, tip, frame.textureU, frame.textureV, frame.normal, kConeRadius * size, colour);
            break;
        }
        default:
            for (const HandleKind kind : {HandleKind::AxisX, HandleKind::AxisY}) {
                const bool u = kind == HandleKind::AxisX;
                const Vec3f axis = u ? frame.textureU : frame.textureV;
                const Vec3f colour = Shown(kind, hovered, HandleColour(kind));
                const Vec3f tip = frame.origin + axis * size;
                Line(g, frame.origin, tip, colour);
                Cone(g, tip, axis, u ? frame.textureV : frame.textureU, frame.normal, kConeRadius * size, colour);
            }
            break;
    }
    return g;
}

}  // namespace ridgeforge::gl
