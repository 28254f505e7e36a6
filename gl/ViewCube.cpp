// The cube is the unit cube -1..1 seen along the camera's forward direction
// with an orthographic projection onto the camera's right and up axes; a
// face is listed when it faces the camera. Each face is cut into three bands
// each way (a quarter, a half, a quarter), so corner and edge cells are
// easy to hit; a cell looks along the sum of the axes it touches.
#include "gl/ViewCube.h"

#include <cmath>

#include "gl/CameraMath.h"
#include "relief/mapping/CageFrame.h"

namespace ridgeforge::gl {
namespace {

using mesh::Vec3f;
using Colour = std::array<float, 4>;

constexpr float kRadiansPerDegree = 3.1415927f / 180.0f;
constexpr Colour kLabelColour{0.93f, 0.94f, 0.96f, 1.0f};
constexpr Colour kEdgeColour{0.16f, 0.18f, 0.21f, 1.0f};
constexpr Colour kHoverColour{0.94f, 0.63f, 0.38f, 0.7f};
constexpr Colour kButtonColour{0.2f, 0.22f, 0.26f, 0.85f};
constexpr Colour kHouseColour{0.85f, 0.87f, 0.9f, 1.0f};
constexpr Vec3f kAxisColours[3] = {{0.9f, 0.2f, 0.18f}, {0.25f, 0.85f, 0.28f}, {0.3f, 0.52f, 0.98f}};

// Band edges along a face axis and the target step of each band.
constexpr float kBandEdges[4] = {-1.0f, -0.5f, 0.5f, 1.0f};

Pixel Project(const ViewCubeLayout& l, const Vec3f& p) {
    return {l.centreX + mesh::Dot(p, l.right) * l.cubeScale, l.centreY - mesh::Dot(p, l.up) * l.cubeScale};
}

Direction ToDirection(const Vec3f& v) {
    return {static_cast<std::int32_t>(std::lround(v.x)), static_cast<std::int32_t>(std::lround(v.y)),
            static_cast<std::int32_t>(std::lround(v.z))};
}

std::int32_t LabelIndex(int axis, bool negative) {
    constexpr std::int32_t kPositive[3] = {3, 1, 4};
    constexpr std::int32_t kNegative[3] = {2, 0, 5};
    return negative ? kNegative[axis] : kPositive[axis];
}

ViewCubeFace MakeFace(const ViewCubeLayout& l, int axis, bool negative, const Vec3f& light) {
    ViewCubeFace face;
    const Vec3f n = mesh::UnitAxis(axis) * (negative ? -1.0f : 1.0f);
    const Vec3f a = mesh::UnitAxis((axis + 1) % 3);
    const Vec3f b = mesh::UnitAxis((axis + 2) % 3);
    const auto corners = [&](float a0, float a1, float b0, float b1) {
        return Quad{Project(l, n + a * a0 + b * b0), Project(l, n + a * a1 + b * b0), Project(l, n + a * a1 + b * b1),
                    Project(l, n + a * a0 + b * b1)};
    };
    face.target = ToDirection(n);
    face.quad = corners(-1.0f, 1.0f, -1.0f, 1.0f);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const std::size_t cell = static_cast<std::size_t>(j * 3 + i);
            face.cells[cell] = corners(kBandEdges[i], kBandEdges[i + 1], kBandEdges[j], kBandEdges[j + 1]);
            face.cellTargets[cell] = ToDirection(n + a * static_cast<float>(i - 1) + b * static_cast<float>(j - 1));
        }
    face.shade = 0.62f + 0.38f * std::fmax(0.0f, mesh::Dot(n, light));
    Vec3f r;
    Vec3f u;
    if (axis == 2) {
        r = {1.0f, 0.0f, 0.0f};
        u = {0.0f, negative ? -1.0f : 1.0f, 0.0f};
    } else {
        u = {0.0f, 0.0f, 1.0f};
        r = mesh::Cross(u, n);
    }
    face.labelQuad = {Project(l, n - r * 0.86f + u * 0.344f), Project(l, n + r * 0.86f + u * 0.344f),
                      Project(l, n + r * 0.86f - u * 0.344f), Project(l, n - r * 0.86f - u * 0.344f)};
    face.labelIndex = LabelIndex(axis, negative);
    return face;
}

Colour Scaled(const Vec3f& c, float factor, float alpha) { return {c.x * factor, c.y * factor, c.z * factor, alpha}; }

void AppendRectangle(std::vector<ViewCubeVertex>& out, float x0, float y0, float x1, float y1, const Colour& c) {
    AppendScreenTriangle(out, {x0, y0}, {x1, y0}, {x1, y1}, c);
    AppendScreenTriangle(out, {x0, y0}, {x1, y1}, {x0, y1}, c);
}

ViewCubeVertex Vertex(const Pixel& p, float u, float v, const Colour& c) {
    return {{p[0], p[1]}, {u, v}, {c[0], c[1], c[2], c[3]}};
}

}  // namespace

const char* const kViewCubeLabels[kLabelRows] = {"Front", "Back", "Left", "Right", "Top", "Bottom", "x", "y", "z"};

void BuildViewCubeLayout(ViewCubeLayout& l, int width, float scale, float yawDegrees, float pitchDegrees) {
    const float s = scale > 0.0f ? scale : 1.0f;
    l.scale = s;
    l.size = 128.0f * s;
    const float margin = 6.0f * s;
    l.left = static_cast<float>(width) - l.size - margin;
    l.top = margin;
    l.centreX = l.left + l.size / 2.0f;
    l.centreY = margin + l.size / 2.0f;
    l.cubeScale = 0.23f * l.size;
    const float yaw = yawDegrees * kRadiansPerDegree;
    const float pitch = pitchDegrees * kRadiansPerDegree;
    const Vec3f f{-std::cos(pitch) * std::cos(yaw), -std::cos(pitch) * std::sin(yaw), -std::sin(pitch)};
    l.right = NormaliseOrZero(mesh::Cross(f, Vec3f{0.0f, 0.0f, 1.0f}));
    l.up = NormaliseOrZero(mesh::Cross(l.right, f));
    const Vec3f light = NormaliseOrZero(l.up * 0.6f - l.right * 0.35f - f * 0.7f);
    l.faces.clear();
    for (int face = 0; face < 6; ++face) {
        const int axis = face / 2;
        const bool negative = face % 2 == 1;
        const Vec3f n = mesh::UnitAxis(axis) * (negative ? -1.0f : 1.0f);
        if (mesh::Dot(f, n) < -0.0001f) l.faces.push_back(MakeFace(l, axis, negative, light));
    }
    const Vec3f corner{-1.0f, -1.0f, -1.0f};
    for (int k = 0; k < 3; ++k) {
        ViewCubeAxisArrow& arrow = l.axes[static_cast<std::size_t>(k)];
        arrow.start = Project(l, corner);
        arrow.end = Project(l, corner + mesh::UnitAxis(k) * 2.45f);
        arrow.labelPosition = Project(l, corner + mesh::UnitAxis(k) * 2.85f);
        const int p = (k + 1) % 3;
        const int q = (k + 2) % 3;
        arrow.visible = f[p] > 0.0f || f[q] > 0.0f;
    }
}

Quad ViewCubeButtonQuad(const ViewCubeLayout& l) {
    const float x = l.left + 2.0f * l.scale;
    const float y = l.top + 2.0f * l.scale;
    const float w = 22.0f * l.scale;
    return {Pixel{x, y}, Pixel{x + w, y}, Pixel{x + w, y + w}, Pixel{x, y + w}};
}

bool HitViewCubeButton(const ViewCubeLayout& layout, float x, float y) {
    return layout.size > 0.0f && PointInQuad(ViewCubeButtonQuad(layout), x, y);
}

bool PointInQuad(const Quad& c, float x, float y) {
    bool positive = false;
    bool negative = false;
    for (std::size_t i = 0; i < 4; ++i) {
        const Pixel& a = c[i];
        const Pixel& b = c[(i + 1) % 4];
        const float cross = (y - a[1]) * (b[0] - a[0]) - (b[1] - a[1]) * (x - a[0]);
        if (cross > 0.0f) positive = true;
        if (cross < 0.0f) negative = true;
    }
    return !(positive && negative);
}

bool InViewCubeSquare(const ViewCubeLayout& l, float x, float y) {
    return l.size > 0.0f && x >= l.left && x < l.left + l.size && y >= l.top && y < l.top + l.size;
}

bool ViewCubeCellAt(const ViewCubeLayout& layout, float x, float y, Direction& target) {
    for (const ViewCubeFace& face : layout.faces) {
        if (!PointInQuad(face.quad, x, y)) continue;
        for (std::size_t i = 0; i < face.cells.size(); ++i)
            if (PointInQuad(face.cells[i], x, y)) {
                target = face.cellTargets[i];
                return true;
            }
    }
    return false;
}

void AppendScreenTriangle(std::vector<ViewCubeVertex>& out, const Pixel& a, const Pixel& b, const Pixel& c,
                          const Colour& colour) {
    for (const Pixel& p : {a, b, c}) out.push_back(Vertex(p, -1.0f, -1.0f, colour));
}

void AppendLabelQuad(std::vector<ViewCubeVertex>& out, const Quad& c, int row, const Colour& colour) {
    const float v0 = static_cast<float>(row) / static_cast<float>(kLabelRows);
    const float v1 = static_cast<float>(row + 1) / static_cast<float>(kLabelRows);
    const ViewCubeVertex p0 = Vertex(c[0], 0.0f, v0, colour);
    const ViewCubeVertex p1 = Vertex(c[1], 1.0f, v0, colour);
    const ViewCubeVertex p2 = Vertex(c[2], 1.0f, v1, colour);
    const ViewCubeVertex p3 = Vertex(c[3], 0.0f, v1, colour);
    out.insert(out.end(), {p0, p1, p2, p0, p2, p3});
}

void AppendScreenLine(std::vector<ViewCubeVertex>& out, const Pixel& a, const Pixel& b, float width,
                      const Colour& colour) {
    const float dx = b[0] - a[0];
    const float dy = b[1] - a[1];
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.0f)) return;
    const float nx = -dy / length * width / 2.0f;
    const float ny = dx / length * width / 2.0f;
    const Pixel ap{a[0] + nx, a[1] + ny};
    const Pixel am{a[0] - nx, a[1] - ny};
    const Pixel bp{b[0] + nx, b[1] + ny};
    const Pixel bm{b[0] - nx, b[1] - ny};
    AppendScreenTriangle(out, ap, bp, bm, colour);
    AppendScreenTriangle(out, ap, bm, am, colour);
}

void AppendViewCubeAxis(std::vector<ViewCubeVertex>& out, const ViewCubeLayout& l, int axis, float alpha) {
    const ViewCubeAxisArrow& arrow = l.axes[static_cast<std::size_t>(axis)];
    const Colour colour = Scaled(kAxisColours[axis], 1.0f, alpha);
    const float s = l.scale;
    AppendScreenLine(out, arrow.start, arrow.end, 2.0f * s, colour);
    const float dx = arrow.end[0] - arrow.start[0];
    const float dy = arrow.end[1] - arrow.start[1];
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length > 0.0f) {
        const float ux = dx / length;
        const float uy = dy / length;
        const Pixel& e = arrow.end;
        AppendScreenTriangle(out, {e[0] + 6.0f * s * ux, e[1] + 6.0f * s * uy},
                             {e[0] - 3.0f * s * uy, e[1] + 3.0f * s * ux}, {e[0] + 3.0f * s * uy, e[1] - 3.0f * s * ux},
                             colour);
    }
    const Pixel& c = arrow.labelPosition;
    const float hx = 25.0f * s;
    const float hy = 10.0f * s;
    AppendLabelQuad(out,
                    {Pixel{c[0] - hx, c[1] - hy}, Pixel{c[0] + hx, c[1] - hy}, Pixel{c[0] + hx, c[1] + hy},
                     Pixel{c[0] - hx, c[1] + hy}},
                    6 + axis, colour);
}

std::vector<ViewCubeVertex> BuildViewCubeVertices(const ViewCubeLayout& l, bool hoverValid,
                                                  const Direction& hoverTarget, bool hoverButton) {
    std::vector<ViewCubeVertex> out;
    for (int k = 0; k < 3; ++k)
        if (!l.axes[static_cast<std::size_t>(k)].visible) AppendViewCubeAxis(out, l, k, 0.3f);
    for (const ViewCubeFace& face : l.faces) {
        const Quad& q = face.quad;
        const Colour body = Scaled({0.4f, 0.42f, 0.46f}, face.shade, 0.92f);
        AppendScreenTriangle(out, q[0], q[1], q[2], body);
        AppendScreenTriangle(out, q[0], q[2], q[3], body);
        if (hoverValid)
            for (std::size_t i = 0; i < face.cells.size(); ++i) {
                if (face.cellTargets[i] != hoverTarget) continue;
                const Quad& c = face.cells[i];
                AppendScreenTriangle(out, c[0], c[1], c[2], kHoverColour);
                AppendScreenTriangle(out, c[0], c[2], c[3], kHoverColour);
            }
        AppendLabelQuad(out, face.labelQuad, face.labelIndex, kLabelColour);
        for (std::size_t i = 0; i < 4; ++i) AppendScreenLine(out, q[i], q[(i + 1) % 4], 1.2f * l.scale, kEdgeColour);
    }
    for (int k = 0; k < 3; ++k)
        if (l.axes[static_cast<std::size_t>(k)].visible) AppendViewCubeAxis(out, l, k, 1.0f);
    const Quad button = ViewCubeButtonQuad(l);
    const Colour background = hoverButton ? kHoverColour : kButtonColour;
    const float bx = button[0][0];
    const float by = button[0][1];
    const float w = 22.0f * l.scale;
    AppendRectangle(out, bx, by, bx + w, by + w, background);
    AppendScreenTriangle(out, {bx + 0.5f * w, by + 0.18f * w}, {bx + 0.86f * w, by + 0.5f * w},
                         {bx + 0.14f * w, by + 0.5f * w}, kHouseColour);
    AppendRectangle(out, bx + 0.26f * w, by + 0.5f * w, bx + 0.74f * w, by + 0.82f * w, kHouseColour);
    AppendRectangle(out, bx + 0.44f * w, by + 0.62f * w, bx + 0.56f * w, by + 0.82f * w, background);
    return out;
}

}  // namespace ridgeforge::gl
