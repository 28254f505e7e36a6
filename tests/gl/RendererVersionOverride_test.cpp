// A driver that offers less than OpenGL 3.3: Mesa told to claim 3.2 refuses
// the core context, and the renderer says so and keeps nothing. The variable
// is read when the toolkit first opens the display, before any test runs, so
// it is set while the program loads, and the test has a process of its own.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/gl/GlTestScene.h"

namespace ridgeforge::testing {
namespace {

const bool kClaims32 = ::setenv("MESA_GL_VERSION_OVERRIDE", "3.2", 1) == 0;

TEST(RendererVersionOverride, A32DriverGivesNoCoreContext) {
    ASSERT_TRUE(kClaims32);
    GlScene scene(320, 200);
    EXPECT_FALSE(scene.renderer.Initialize(scene.window));
    EXPECT_EQ(scene.renderer.lastError, "The display driver could not create an OpenGL 3.3 Core context.");
    EXPECT_FALSE(scene.renderer.ready);
    EXPECT_FALSE(scene.window->HasGlContext());
    EXPECT_EQ(scene.renderer.meshProgram, 0u);
    EXPECT_TRUE(scene.renderer.versionText.empty());
}

}  // namespace
}  // namespace ridgeforge::testing
