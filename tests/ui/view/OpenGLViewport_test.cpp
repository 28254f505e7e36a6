// The viewport window driven through the X server: a left drag turns the
// camera, the wheel zooms about the part, the click rule on a cage side,
// Shift on a handle, the view cube's animated turn to the top view, and the
// cube where a person sees it on the screen.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/view/ViewportWindow.h"

namespace ridgeforge::testing {
namespace {

gl::Pixel Centroid(const gl::Quad& q) {
    return {(q[0][0] + q[1][0] + q[2][0] + q[3][0]) / 4.0f, (q[0][1] + q[1][1] + q[2][1] + q[3][1]) / 4.0f};
}

bool Near(const wxColour& a, const wxColour& b, int tolerance) {
    return std::abs(a.Red() - b.Red()) <= tolerance && std::abs(a.Green() - b.Green()) <= tolerance &&
           std::abs(a.Blue() - b.Blue()) <= tolerance;
}

TEST(OpenGLViewportWindow, DragTurnsWheelZoomsAboutThePart) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ViewportWindow w;
    ASSERT_TRUE(w.Renderer().ready) << w.Renderer().lastError;
    EXPECT_EQ(w.viewport->GetId(), 1001);
    EXPECT_EQ(w.viewport->GetName(), "OpenGL Viewport");
    w.host.hasPart = false;
    w.Drag(200, 300, 100, 0);
    EXPECT_NEAR(w.Renderer().yawDegrees, 145.0f, 1e-3f);
    EXPECT_FLOAT_EQ(w.Renderer().pitchDegrees, 45.0f);
    EXPECT_FALSE(w.viewport->Canvas().HasCapture());

    w.host.hasPart = true;
    w.Renderer().sceneRadius = 10.0f;
    const mesh::Vec3f p{0.25f, 0.5f, -0.5f};
    w.host.partPoint = p;
    const float d0 = w.Renderer().distance;
    const mesh::Vec3f t0 = w.Renderer().target;
    w.Xdotool(w.At(320, 240) + " click 4");
    EXPECT_NEAR(w.Renderer().distance, d0 * 0.86f, 1e-4f);
    const mesh::Vec3f expected = p + (t0 - p) * 0.86f;
    EXPECT_NEAR(w.Renderer().target.x, expected.x, 1e-4f);
    EXPECT_NEAR(w.Renderer().target.z, expected.z, 1e-4f);
    w.Xdotool(w.At(320, 240) + " click 5");
    EXPECT_NEAR(w.Renderer().distance, d0, 1e-3f);
}

TEST(OpenGLViewportWindow, FourPixelsIsAClickFiveATurn) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ViewportWindow w;
    ASSERT_TRUE(w.Renderer().ready);
    w.Renderer().showCage = true;
    w.host.projection.cage.size = {2, 2, 2};
    const std::array<int, 2> c = w.Pixel({0, 0, 0});
    w.Drag(c[0], c[1], 4, 4);
    ASSERT_EQ(w.host.clicks.size(), 1u);
    EXPECT_EQ(w.host.clicks[0].first, 4);  // +Z faces the camera most
    EXPECT_FLOAT_EQ(w.Renderer().yawDegrees, -135.0f + 0.8f * -4.0f);
    w.Renderer().yawDegrees = -135.0f;
    w.Renderer().pitchDegrees = 45.0f;
    w.Drag(c[0], c[1], 5, 0);
    EXPECT_EQ(w.host.clicks.size(), 1u);
    EXPECT_FLOAT_EQ(w.Renderer().yawDegrees, -139.0f);
}

TEST(OpenGLViewportWindow, ShiftOnAHandlePans) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ViewportWindow w;
    ASSERT_TRUE(w.Renderer().ready);
    w.host.tool = ViewTool::MoveCage;
    w.host.havePlacement = true;
    const float size = w.viewport->GizmoWorldSize();
    ASSERT_GT(size, 0.0f);
    const std::array<int, 2> onX = w.Pixel({0.6f * size, 0, 0});
    const mesh::Vec3f before = w.Renderer().target;
    w.Drag(onX[0], onX[1], 20, 0, 1, "shift");
    EXPECT_TRUE(w.host.calls.empty());
    EXPECT_GT(mesh::Length(w.Renderer().target - before), 1e-3f);
    EXPECT_FLOAT_EQ(w.Renderer().yawDegrees, -135.0f);
    const std::array<int, 2> again = w.Pixel({0.6f * size, 0, 0});
    w.Drag(again[0], again[1], 20, 0);
    ASSERT_GE(w.host.calls.size(), 2u);
    EXPECT_EQ(w.host.calls.front(), "BeginHandleDrag");
    EXPECT_EQ(w.host.calls.back(), "EndHandleDrag");
    EXPECT_FALSE(w.host.placements.empty());
}

// A double click is two presses, each ended by its release: the second
// press, which GTK reports as a double click, starts its own drag.
TEST(OpenGLViewportWindow, DoubleClickOnAHandleIsTwoWholeDrags) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ViewportWindow w;
    ASSERT_TRUE(w.Renderer().ready);
    w.host.tool = ViewTool::MoveCage;
    w.host.havePlacement = true;
    const std::array<int, 2> onX = w.Pixel({0.6f * w.viewport->GizmoWorldSize(), 0, 0});
    w.Xdotool(w.At(onX[0], onX[1]) + " click --repeat 2 --delay 80 1", 300);
    EXPECT_EQ(w.host.calls,
              (std::vector<std::string>{"BeginHandleDrag", "EndHandleDrag", "BeginHandleDrag", "EndHandleDrag"}));
    EXPECT_FALSE(w.viewport->Canvas().HasCapture());
}

TEST(OpenGLViewportWindow, TopFaceClickEndsOrthographicFromAbove) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ViewportWindow w;
    ASSERT_TRUE(w.Renderer().ready);
    gl::Pixel centre{0, 0};
    for (const gl::ViewCubeFace& face : w.Renderer().GetViewCubeLayout().faces)
        if (face.target == gl::Direction{0, 0, 1})
            for (const gl::Pixel& p : face.quad) centre = {centre[0] + p[0] / 4.0f, centre[1] + p[1] / 4.0f};
    w.Xdotool(w.At(static_cast<int>(centre[0]), static_cast<int>(centre[1])) + " click 1", 0);
    // The turn is driven by the window's own timer and clock.
    PumpUntil([&] { return w.Renderer().orthographic; }, 2000);
    EXPECT_GE(SteadyMilliseconds()() - w.viewport->interaction.animationStartTick, 250u);
    EXPECT_FALSE(w.viewport->interaction.animating);
    EXPECT_FLOAT_EQ(w.Renderer().pitchDegrees, 89.5f);
    EXPECT_NEAR(w.Renderer().yawDegrees, -90.0f, 1e-3f);
    EXPECT_TRUE(w.Renderer().orthographic);
    EXPECT_FALSE(w.viewport->AnimationTimer().IsRunning());
    w.Drag(200, 300, 30, 0);
    EXPECT_FALSE(w.Renderer().orthographic);
    // Home frames the scene in perspective.
    w.Xdotool("key Home");
    EXPECT_NEAR(w.Renderer().distance, 1.0f / std::sin(22.5f * 3.1415927f / 180.0f) * 1.15f, 1e-4f);
    w.Xdotool("key KP_5");
    EXPECT_TRUE(w.Renderer().orthographic);
}

TEST(OpenGLViewportWindow, CubeSquareOnScreenAtTheTopRight) {
    ViewportWindow w(640, 480);
    ASSERT_TRUE(w.Renderer().ready);
    EXPECT_TRUE(w.Renderer().viewCubeError.empty());
    w.viewport->Canvas().Refresh(false);
    PumpEvents(200);
    const wxImage shot = GrabWindow(*w.viewport);
    ASSERT_EQ(shot.GetWidth(), 640);
    const int W = 640;
    const wxColour background(19, 23, 29);
    // The home button at the square's top-left corner (W - 134 + 2, 6 + 2),
    // its body blended over the background, the house's wall near white.
    const wxColour button(46, 51, 61);
    EXPECT_TRUE(Near(PixelAt(shot, W - 134 + 3, 6 + 3), button, 3));
    EXPECT_TRUE(Near(PixelAt(shot, W - 134 + 2, 6 + 2), button, 3));
    EXPECT_TRUE(Near(PixelAt(shot, W - 134 + 1, 6 + 3), background, 3));
    EXPECT_TRUE(Near(PixelAt(shot, W - 134 - 2, 6 + 10), background, 3));
    EXPECT_TRUE(Near(PixelAt(shot, W - 134 + 2 + 8, 6 + 2 + 16), {217, 222, 230}, 4));
    // The cube's middle: a face, not the background; outside the square on
    // the right and below the button, the background.
    const wxColour middle = PixelAt(shot, W - 70, 70);
    EXPECT_FALSE(Near(middle, background, 10));
    EXPECT_TRUE(Near(PixelAt(shot, W - 3, 10), background, 3));
    // The Top label, from the atlas through the label program: near-white
    // text around the top face's middle.
    const gl::ViewCubeLayout layout = w.Renderer().GetViewCubeLayout();
    const gl::Pixel top = Centroid(layout.faces[2].quad);
    int labelPixels = 0;
    for (int y = static_cast<int>(top[1]) - 12; y <= static_cast<int>(top[1]) + 12; ++y)
        for (int x = static_cast<int>(top[0]) - 20; x <= static_cast<int>(top[0]) + 20; ++x)
            labelPixels += PixelAt(shot, x, y).Red() > 200;
    EXPECT_GT(labelPixels, 10);

    // Hovering the corner cell of Front, Left and Top lights it on all three faces.
    if (HaveXdotool()) {
        std::vector<gl::Quad> cells;
        for (const gl::ViewCubeFace& face : layout.faces)
            for (std::size_t i = 0; i < 9; ++i)
                if (face.cellTargets[i] == gl::Direction{-1, -1, 1}) cells.push_back(face.cells[i]);
        ASSERT_EQ(cells.size(), 3u);
        const gl::Pixel first = Centroid(cells[0]);
        w.Xdotool(w.At(static_cast<int>(first[0]), static_cast<int>(first[1])), 300);
        EXPECT_TRUE(w.Renderer().hoverValid);
        const wxImage lit = GrabWindow(*w.viewport);
        // Half way from each cell's middle to its corners; the z arrow runs
        // along the shared edge and may cover some of these.
        for (const gl::Quad& cell : cells) {
            const gl::Pixel c = Centroid(cell);
            int orange = 0;
            for (const gl::Pixel& corner : cell) {
                const wxColour p = PixelAt(lit, static_cast<int>((c[0] + corner[0]) / 2.0f),
                                           static_cast<int>((c[1] + corner[1]) / 2.0f));
                orange += p.Red() > p.Green() + 30 && p.Green() > p.Blue() + 20;
            }
            EXPECT_GE(orange, 2) << c[0] << ", " << c[1];
        }
    }
    if (HasFailure())
        shot.SaveFile(std::string(std::getenv("RIDGEFORGE_TEST_TMP") ? std::getenv("RIDGEFORGE_TEST_TMP") : "/tmp") +
                          "/viewport-cube.png",
                      wxBITMAP_TYPE_PNG);
}

}  // namespace
}  // namespace ridgeforge::testing
