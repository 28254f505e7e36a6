// The view cube: which faces the start view lists, the shared corner cell
// seen from each of its faces, the layout at 200 % scale, the point-in-quad
// rule, the hover highlight, the label atlas drawn by the window layer, and
// a renderer that stays ready without the cube when its program fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gl/Renderer.h"
#include "gl/ViewCube.h"
#include "ui/framework/ViewCubeLabels.h"
#include "tests/gl/FakeGl.h"

namespace ridgeforge::testing {
namespace {

gl::Pixel Centroid(const gl::Quad& q) {
    return {(q[0][0] + q[1][0] + q[2][0] + q[3][0]) / 4.0f, (q[0][1] + q[1][1] + q[2][1] + q[3][1]) / 4.0f};
}

TEST(ViewCubeLayout, StartViewListsFrontLeftTop) {
    gl::ViewCubeLayout layout;
    gl::BuildViewCubeLayout(layout, 800, 1.0f, -135.0f, 45.0f);
    ASSERT_EQ(layout.faces.size(), 3u);
    // Listed in the order +X, -X, +Y, -Y, +Z, -Z: Left, Front, Top.
    EXPECT_EQ(layout.faces[0].target, (gl::Direction{-1, 0, 0}));
    EXPECT_EQ(layout.faces[0].labelIndex, 2);
    EXPECT_EQ(layout.faces[1].target, (gl::Direction{0, -1, 0}));
    EXPECT_EQ(layout.faces[1].labelIndex, 0);
    EXPECT_EQ(layout.faces[2].target, (gl::Direction{0, 0, 1}));
    EXPECT_EQ(layout.faces[2].labelIndex, 4);
    EXPECT_STREQ(gl::kViewCubeLabels[layout.faces[1].labelIndex], "Front");
    // Square at the top right, 6 px in, 128 px wide.
    EXPECT_FLOAT_EQ(layout.left, 666.0f);
    EXPECT_FLOAT_EQ(layout.top, 6.0f);
    EXPECT_FLOAT_EQ(layout.size, 128.0f);
    EXPECT_FLOAT_EQ(layout.centreX, 730.0f);
    EXPECT_FLOAT_EQ(layout.cubeScale, 0.23f * 128.0f);
    // Looking down at 45 degrees the top face centre sits above the cube's middle.
    const gl::Pixel top = Centroid(layout.faces[2].quad);
    EXPECT_NEAR(top[0], 730.0f, 1e-3f);
    EXPECT_NEAR(top[1], 70.0f - std::sqrt(0.5f) * 0.23f * 128.0f, 1e-3f);
    gl::Direction target{};
    ASSERT_TRUE(gl::ViewCubeCellAt(layout, top[0], top[1], target));
    EXPECT_EQ(target, (gl::Direction{0, 0, 1}));
    // From this side every axis arrow runs along an edge of a visible face.
    for (const gl::ViewCubeAxisArrow& arrow : layout.axes) EXPECT_TRUE(arrow.visible);
    gl::BuildViewCubeLayout(layout, 800, 1.0f, 45.0f, -30.0f);
    EXPECT_FALSE(layout.axes[2].visible);
}

TEST(ViewCubeLayout, CornerCellFromEachOfItsFaces) {
    gl::ViewCubeLayout layout;
    gl::BuildViewCubeLayout(layout, 640, 1.0f, -45.0f, 30.0f);
    ASSERT_EQ(layout.faces.size(), 3u);  // Right, Front, Top
    int found = 0;
    for (const gl::ViewCubeFace& face : layout.faces)
        for (std::size_t i = 0; i < 9; ++i) {
            if (face.cellTargets[i] != gl::Direction{1, -1, 1}) continue;
            ++found;
            const gl::Pixel at = Centroid(face.cells[i]);
            gl::Direction target{};
            ASSERT_TRUE(gl::ViewCubeCellAt(layout, at[0], at[1], target));
            EXPECT_EQ(target, (gl::Direction{1, -1, 1}));
        }
    EXPECT_EQ(found, 3);
    // The centre cell of Right looks along +X; the edge between Front and Top along (0, -1, 1).
    const gl::ViewCubeFace& right = layout.faces[0];
    EXPECT_EQ(right.target, (gl::Direction{1, 0, 0}));
    EXPECT_EQ(right.cellTargets[4], (gl::Direction{1, 0, 0}));
    gl::Direction target{};
    const gl::Pixel centre = Centroid(right.cells[4]);
    ASSERT_TRUE(gl::ViewCubeCellAt(layout, centre[0], centre[1], target));
    EXPECT_EQ(target, (gl::Direction{1, 0, 0}));
}

TEST(ViewCubeLayout, DoubleScaleAndHomeButton) {
    gl::ViewCubeLayout layout;
    gl::BuildViewCubeLayout(layout, 1000, 2.0f, -135.0f, 45.0f);
    EXPECT_FLOAT_EQ(layout.size, 256.0f);
    EXPECT_FLOAT_EQ(layout.top, 12.0f);
    EXPECT_FLOAT_EQ(layout.left, 1000.0f - 256.0f - 12.0f);
    const gl::Quad button = gl::ViewCubeButtonQuad(layout);
    EXPECT_FLOAT_EQ(button[1][0] - button[0][0], 44.0f);
    EXPECT_FLOAT_EQ(button[0][0], layout.left + 4.0f);
    EXPECT_TRUE(gl::HitViewCubeButton(layout, layout.left + 4.0f, layout.top + 4.0f));
    EXPECT_TRUE(gl::HitViewCubeButton(layout, layout.left + 48.0f, layout.top + 20.0f));
    EXPECT_FALSE(gl::HitViewCubeButton(layout, layout.left + 48.5f, layout.top + 20.0f));
    EXPECT_FALSE(gl::HitViewCubeButton(layout, layout.left + 3.5f, layout.top + 20.0f));
    // No scale counts as 1; a layout of no size has no button.
    gl::BuildViewCubeLayout(layout, 1000, 0.0f, -135.0f, 45.0f);
    EXPECT_FLOAT_EQ(layout.size, 128.0f);
    gl::ViewCubeLayout empty;
    EXPECT_FALSE(gl::HitViewCubeButton(empty, 2.0f, 2.0f));
    EXPECT_TRUE(gl::InViewCubeSquare(layout, layout.left, layout.top));
    EXPECT_FALSE(gl::InViewCubeSquare(layout, layout.left + layout.size, layout.top));
}

TEST(ViewCubeLayout, PointInQuadEitherWinding) {
    const gl::Quad clockwise{gl::Pixel{0, 0}, gl::Pixel{10, 0}, gl::Pixel{10, 5}, gl::Pixel{0, 5}};
    const gl::Quad counter{gl::Pixel{0, 0}, gl::Pixel{0, 5}, gl::Pixel{10, 5}, gl::Pixel{10, 0}};
    for (const gl::Quad& q : {clockwise, counter}) {
        EXPECT_TRUE(gl::PointInQuad(q, 5.0f, 2.0f));
        EXPECT_TRUE(gl::PointInQuad(q, 10.0f, 2.0f));
        EXPECT_TRUE(gl::PointInQuad(q, 0.0f, 0.0f));
        EXPECT_FALSE(gl::PointInQuad(q, 10.01f, 2.0f));
        EXPECT_FALSE(gl::PointInQuad(q, 5.0f, -0.01f));
    }
}

TEST(ViewCubeDrawing, HoverLightsTheCellOnEveryFace) {
    gl::ViewCubeLayout layout;
    gl::BuildViewCubeLayout(layout, 640, 1.0f, -45.0f, 30.0f);
    const auto hoverVertices = [&](const gl::Direction& target, bool button) {
        const std::vector<gl::ViewCubeVertex> v = gl::BuildViewCubeVertices(layout, true, target, button);
        return std::count_if(v.begin(), v.end(), [](const gl::ViewCubeVertex& x) {
            return std::fabs(x.colour[0] - 0.94f) < 1e-6f && std::fabs(x.colour[3] - 0.7f) < 1e-6f;
        });
    };
    EXPECT_EQ(hoverVertices({1, -1, 1}, false), 3 * 6);
    EXPECT_EQ(hoverVertices({1, 0, 1}, false), 2 * 6);
    EXPECT_EQ(hoverVertices({0, 0, 1}, false), 6);
    // The button lit in the hover colour, with its door in the same colour.
    EXPECT_EQ(hoverVertices({9, 9, 9}, true), 12);
    // Lines and labels.
    std::vector<gl::ViewCubeVertex> line;
    gl::AppendScreenLine(line, {1, 1}, {1, 1}, 2.0f, {1, 1, 1, 1});
    EXPECT_TRUE(line.empty());
    gl::AppendScreenLine(line, {0, 0}, {10, 0}, 2.0f, {1, 1, 1, 1});
    ASSERT_EQ(line.size(), 6u);
    EXPECT_FLOAT_EQ(line[0].pixel[1], 1.0f);
    EXPECT_FLOAT_EQ(line[2].pixel[1], -1.0f);
    std::vector<gl::ViewCubeVertex> label;
    gl::AppendLabelQuad(label, {gl::Pixel{0, 0}, gl::Pixel{4, 0}, gl::Pixel{4, 2}, gl::Pixel{0, 2}}, 4, {1, 1, 1, 1});
    ASSERT_EQ(label.size(), 6u);
    EXPECT_FLOAT_EQ(label[0].uv[1], 4.0f / 9.0f);
    EXPECT_FLOAT_EQ(label[2].uv[1], 5.0f / 9.0f);
    EXPECT_FLOAT_EQ(label[5].uv[0], 0.0f);
}

TEST(ViewCubeLabels, AtlasRowsHoldCentredWhiteText) {
    const std::vector<std::uint8_t> atlas = ui::DrawViewCubeLabelAtlas();
    ASSERT_EQ(atlas.size(), 160u * 576u);
    // Per row: how wide the ink is and where its middle lies.
    for (int row = 0; row < 9; ++row) {
        int lo = 160, hi = -1, brightest = 0;
        for (int y = row * 64; y < row * 64 + 64; ++y)
            for (int x = 0; x < 160; ++x) {
                const int v = atlas[static_cast<std::size_t>(y) * 160 + static_cast<std::size_t>(x)];
                brightest = std::max(brightest, v);
                if (v > 128) lo = std::min(lo, x), hi = std::max(hi, x);
            }
        EXPECT_EQ(brightest, 255) << "row " << row;
        ASSERT_GE(hi, lo) << "row " << row;
        EXPECT_NEAR((lo + hi) / 2.0, 80.0, 4.0) << "row " << row;
        if (row >= 6) {
            EXPECT_LT(hi - lo, 40) << "row " << row;
        }
        if (row == 5) {
            EXPECT_GT(hi - lo, 100) << "Bottom";
        }
    }
    // Black between the rows' text.
    EXPECT_EQ(atlas[static_cast<std::size_t>(64) * 160 + 2], 0);
}

TEST(ViewCubeResources, AFailedLabelProgramLeavesAWorkingRenderer) {
    FakeSurface surface;
    surface.state.failLinkOfProgram = 2;
    gl::Renderer r;
    ASSERT_TRUE(r.Initialize(&surface));
    EXPECT_TRUE(r.ready);
    EXPECT_TRUE(r.lastError.empty()) << r.lastError;
    EXPECT_EQ(r.viewCubeError, "OpenGL view cube program link failed: ");
    EXPECT_EQ(r.viewCubeProgram, 0u);
    EXPECT_EQ(r.viewCubeVertexArray, 0u);
    EXPECT_NE(r.meshProgram, 0u);
    r.Render();
    EXPECT_FALSE(surface.state.draws.empty());
    for (const std::string& draw : surface.state.draws) EXPECT_EQ(draw.find("blend:on fill lit:-1"), std::string::npos);

    // A mesh program that fails still fails Initialize, with its own text.
    FakeSurface other;
    other.state.failLinkOfProgram = 1;
    gl::Renderer broken;
    EXPECT_FALSE(broken.Initialize(&other));
    EXPECT_EQ(broken.lastError, "OpenGL program link failed: ");

    // With the cube: ready, no error, one more draw after the scene.
    FakeSurface good;
    gl::Renderer fine;
    ASSERT_TRUE(fine.Initialize(&good));
    EXPECT_TRUE(fine.viewCubeError.empty());
    EXPECT_NE(fine.viewCubeProgram, 0u);
    EXPECT_NE(fine.viewCubeLabelTexture, 0u);
    fine.Render();
    ASSERT_FALSE(good.state.draws.empty());
    EXPECT_NE(good.state.draws.back().find("triangles cull:off depth:off writes:on offset:- blend:on"),
              std::string::npos)
        << good.state.draws.back();
}

}  // namespace
}  // namespace ridgeforge::testing
