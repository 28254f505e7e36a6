// A driver that offers less than OpenGL 3.3: the viewport shows why on a
// plain panel, picks do nothing, and the camera keys still move the camera.
// The variable is read when the toolkit first opens the display, so it is
// set while the program loads, in a process of its own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/ui/view/ViewportWindow.h"

namespace ridgeforge::testing {
namespace {

const bool kClaims32 = ::setenv("MESA_GL_VERSION_OVERRIDE", "3.2", 1) == 0;

TEST(OpenGLViewportUnavailable, MessageOnTheDarkPanelAndCameraKeysStillWork) {
    ASSERT_TRUE(kClaims32);
    ViewportWindow w(640, 480);
    EXPECT_FALSE(w.Renderer().ready);
    EXPECT_FALSE(w.viewport->Canvas().IsShown());
    ASSERT_TRUE(w.viewport->MessagePanel().IsShown());
    PumpEvents(200);
    const wxImage shot = GrabWindow(w.viewport->MessagePanel());
    ASSERT_EQ(shot.GetWidth(), 640);
    EXPECT_EQ(shot.GetRed(3, 3), 19);
    EXPECT_EQ(shot.GetGreen(3, 3), 23);
    EXPECT_EQ(shot.GetBlue(3, 3), 29);
    // Text in the middle rows, in the message colour, none near the edges.
    int textPixels = 0, topRows = 0;
    for (int y = 0; y < shot.GetHeight(); ++y)
        for (int x = 0; x < shot.GetWidth(); ++x)
            if (shot.GetRed(x, y) == 225 && shot.GetGreen(x, y) == 120 && shot.GetBlue(x, y) == 110) {
                ++textPixels;
                topRows += y < 150 || y > 330;
            }
    EXPECT_GT(textPixels, 50);
    EXPECT_EQ(topRows, 0);

    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    w.Renderer().showCage = true;
    w.host.tool = ViewTool::MoveCage;
    w.host.havePlacement = true;
    w.Drag(320, 240, 0, 0);
    EXPECT_TRUE(w.host.clicks.empty());
    EXPECT_TRUE(w.host.calls.empty());
    w.Xdotool("key Home");
    EXPECT_NEAR(w.Renderer().distance, 1.0f / std::sin(22.5f * 3.1415927f / 180.0f) * 1.15f, 1e-4f);
    w.Xdotool("key KP_5");
    EXPECT_TRUE(w.Renderer().orthographic);
    w.Drag(300, 240, 20, 0);
    EXPECT_FLOAT_EQ(w.Renderer().yawDegrees, -151.0f);
}

}  // namespace
}  // namespace ridgeforge::testing
