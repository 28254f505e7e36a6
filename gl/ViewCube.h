// The view cube: a small navigation cube in the viewport's top-right corner
// that turns with the camera. Its layout in window pixels (y down) is built
// from the camera alone, both for drawing and for the viewport's hit tests,
// so that both always agree; the drawing helpers append screen-space
// vertices for the renderer's label program.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"

namespace ridgeforge::gl {

using Pixel = std::array<float, 2>;
using Quad = std::array<Pixel, 4>;
using Direction = std::array<std::int32_t, 3>;

// 32 bytes; uv (-1, -1) marks an untextured vertex.
struct ViewCubeVertex {
    float pixel[2];
    float uv[2];
    float colour[4];
};
static_assert(sizeof(ViewCubeVertex) == 32, "eight floats");

struct ViewCubeFace {
    Direction target{0, 0, 0};
    Quad quad{};
    std::array<Quad, 9> cells{};
    std::array<Direction, 9> cellTargets{};
    Quad labelQuad{};
    std::int32_t labelIndex = 0;
    float shade = 1.0f;
};

struct ViewCubeAxisArrow {
    Pixel start{};
    Pixel end{};
    Pixel labelPosition{};
    bool visible = true;
};

struct ViewCubeLayout {
    // Faces towards the camera only, in the order +X, -X, +Y, -Y, +Z, -Z.
    std::vector<ViewCubeFace> faces;
    std::array<ViewCubeAxisArrow, 3> axes{};
    float left = 0.0f;
    float top = 0.0f;
    float size = 0.0f;
    float scale = 1.0f;
    float centreX = 0.0f;
    float centreY = 0.0f;
    // Pixels per unit of the cube's half size.
    float cubeScale = 0.0f;
    mesh::Vec3f right;
    mesh::Vec3f up;
};

// The atlas: nine rows of 64 x 160 grey pixels, "Front", "Back", "Left",
// "Right", "Top", "Bottom", "x", "y", "z" from the top.
inline constexpr int kLabelAtlasWidth = 160;
inline constexpr int kLabelAtlasHeight = 576;
inline constexpr int kLabelRows = 9;
inline constexpr int kLabelRowHeight = 64;
extern const char* const kViewCubeLabels[kLabelRows];

class GlSurface;
// The surface's label atlas, or blank labels (zeros) when it gives none of
// the right size.
std::vector<std::uint8_t> BuildViewCubeLabelAtlas(GlSurface* surface);

// In the viewport of width `width` at DPI scale `scale` (1 when not positive).
void BuildViewCubeLayout(ViewCubeLayout& layout, int width, float scale, float yawDegrees, float pitchDegrees);

// The home button's square: side 22 x scale, inside the cube area's top-left corner.
Quad ViewCubeButtonQuad(const ViewCubeLayout& layout);
bool HitViewCubeButton(const ViewCubeLayout& layout, float x, float y);
// Inside or on an edge, for either winding.
bool PointInQuad(const Quad& corners, float x, float y);
// Within the cube's square area: left and top edges inclusive.
bool InViewCubeSquare(const ViewCubeLayout& layout, float x, float y);
// The target of the first cell of the first listed face containing (x, y).
bool ViewCubeCellAt(const ViewCubeLayout& layout, float x, float y, Direction& target);

void AppendScreenTriangle(std::vector<ViewCubeVertex>& out, const Pixel& a, const Pixel& b, const Pixel& c,
                          const std::array<float, 4>& colour);
void AppendLabelQuad(std::vector<ViewCubeVertex>& out, const Quad& corners, int row,
                     const std::array<float, 4>& colour);
void AppendScreenLine(std::vector<ViewCubeVertex>& out, const Pixel& a, const Pixel& b, float width,
                      const std::array<float, 4>& colour);
// One arrow of the axis tripod with its letter.
void AppendViewCubeAxis(std::vector<ViewCubeVertex>& out, const ViewCubeLayout& layout, int axis, float alpha);
// Every vertex of the cube, its arrows and the home button, back to front.
std::vector<ViewCubeVertex> BuildViewCubeVertices(const ViewCubeLayout& layout, bool hoverValid,
                                                  const Direction& hoverTarget, bool hoverButton);

}  // namespace ridgeforge::gl
