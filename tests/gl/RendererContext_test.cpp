// The renderer on a real window: the context it gets, what a second
// Initialize and a second Shutdown do, and the refusals for a window that
// cannot be drawn into yet and for a pixel format the display lacks.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "tests/gl/GlTestScene.h"

// Last: its X11 macros would rename words in the headers above.
#include <GL/glx.h>

namespace ridgeforge::testing {
namespace {

TEST(RendererContext, InitialisesA33CoreContextAndNamesTheDriver) {
    GlScene scene;
    ASSERT_TRUE(scene.Start()) << scene.renderer.lastError;
    EXPECT_TRUE(scene.renderer.ready);
    EXPECT_TRUE(scene.renderer.lastError.empty());
    const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const std::string name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(scene.renderer.versionText, version + " - " + name);
    // A version number first, then the renderer's name after the dash.
    const std::string& text = scene.renderer.versionText;
    ASSERT_GE(text.size(), 6u);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(text[0])) && text[1] == '.') << text;
    EXPECT_NE(text.find(" - "), std::string::npos);
    EXPECT_GT(text.size(), text.find(" - ") + 3) << text;
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_NE(profile & GL_CONTEXT_CORE_PROFILE_BIT, 0);
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    EXPECT_GE(major * 10 + minor, 33);
    // Direct: a server without indirect GLX (Xvfb's default) refuses the rest.
    EXPECT_TRUE(glXIsDirect(glXGetCurrentDisplay(), glXGetCurrentContext()));
    // The first entry points of the table are real.
    EXPECT_NE(scene.renderer.functions.glGenVertexArrays, nullptr);
    EXPECT_NE(scene.renderer.functions.glDeleteFramebuffers, nullptr);
    EXPECT_NE(scene.renderer.meshProgram, 0u);
    EXPECT_NE(scene.renderer.guideLines.vertexArray, 0u);
    EXPECT_EQ(scene.renderer.guideLines.count, 4 * 11 + 6);
    // At 96 DPI the framebuffer is the client area.
    EXPECT_EQ(scene.window->FramebufferSize(), wxSize(1280, 800));
}

TEST(RendererContext, SecondInitializeStartsCleanAndShutdownIsSafeTwice) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    ASSERT_TRUE(scene.renderer.Initialize(scene.window)) << scene.renderer.lastError;
    EXPECT_TRUE(scene.renderer.ready);
    EXPECT_TRUE(scene.window->HasGlContext());
    // The second context draws: the background of an empty frame.
    scene.renderer.pitchDegrees = 10.0f;
    scene.Draw();
    EXPECT_EQ(scene.At(640, 2), (Rgb{19, 23, 29}));

    scene.renderer.Shutdown();
    EXPECT_FALSE(scene.renderer.ready);
    EXPECT_FALSE(scene.window->HasGlContext());
    EXPECT_EQ(scene.renderer.meshProgram, 0u);
    scene.renderer.Shutdown();
    EXPECT_FALSE(scene.renderer.ready);
    // Nothing is drawn or uploaded while shut down.
    EXPECT_FALSE(scene.renderer.UploadMesh(mesh::TriangleMesh{}, nullptr, true));
    scene.renderer.Render();
}

TEST(RendererContext, RefusesAWindowNotYetShownAndHoldsNothing) {
    GlScene scene(320, 200, false);
    EXPECT_FALSE(scene.renderer.Initialize(scene.window));
    EXPECT_EQ(scene.renderer.lastError, "Could not acquire the OpenGL viewport device context.");
    EXPECT_FALSE(scene.renderer.ready);
    EXPECT_FALSE(scene.window->HasGlContext());
    EXPECT_TRUE(scene.renderer.versionText.empty());

    EXPECT_FALSE(scene.renderer.Initialize(nullptr));
    EXPECT_EQ(scene.renderer.lastError, "Cannot initialize OpenGL without a viewport window.");
}

TEST(RendererContext, RefusesAPixelFormatTheDisplayLacks) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "format", wxPoint(0, 0), wxSize(200, 100));
    wxGLAttributes impossible;
    impossible.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).Stencil(8).SampleBuffers(1).Samplers(64).EndList();
    auto* window = new ui::GlWindow(frame, impossible);
    frame->Show();
    PumpUntil([&] { return window->IsShownOnScreen(); });
    gl::Renderer renderer;
    EXPECT_FALSE(renderer.Initialize(window));
    EXPECT_EQ(renderer.lastError, "Could not select an OpenGL pixel format.");
    EXPECT_FALSE(window->HasGlContext());
    frame->Destroy();
    PumpEvents(20);
}

}  // namespace
}  // namespace ridgeforge::testing
