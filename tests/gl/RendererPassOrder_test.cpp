// The renderer against a recording driver: its refusals and what it holds
// after them, the upload rules, the order and state of every pass of a frame
// in each shading (the part's fill drawn without culling, so that the inside
// of an open part stays visible; the floor culled), and the frame timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "gl/Renderer.h"
#include "mesh/TestShapes.h"
#include "tests/gl/FakeGl.h"

namespace ridgeforge::testing {
namespace {

TEST(RendererFakeDriver, RefusalsSayWhyAndHoldNothing) {
    const auto attempt = [](auto&& configure) {
        FakeSurface surface;
        configure(surface.state);
        gl::Renderer r;
        const bool ok = r.Initialize(&surface);
        EXPECT_FALSE(r.ready && !ok);
        EXPECT_EQ(surface.state.contextsAlive, ok ? 1 : 0);
        if (!ok) {
            EXPECT_EQ(r.meshProgram, 0u);
        }
        return ok ? std::string("ok") : r.lastError;
    };
    EXPECT_EQ(attempt([](FakeGl& f) { f.minor = 2, f.major = 3; }), "OpenGL 3.3 or newer is required.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.major = 2, f.minor = 1; }), "OpenGL 3.3 or newer is required.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.major = 3, f.minor = 3; }), "ok");
    EXPECT_EQ(attempt([](FakeGl& f) { f.contextResult = gl::SurfaceContext::NoDrawable; }),
              "Could not acquire the OpenGL viewport device context.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.contextResult = gl::SurfaceContext::NoPixelFormat; }),
              "Could not select an OpenGL pixel format.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.contextResult = gl::SurfaceContext::NoCoreContext; }),
              "The display driver could not create an OpenGL 3.3 Core context.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.missingEntryPoints = {"glUseProgram"}; }),
              "OpenGL driver does not provide glUseProgram.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.missingUniforms = {"uAlpha"}; }),
              "OpenGL shader uniforms could not be located.");
    EXPECT_EQ(attempt([](FakeGl& f) { f.missingUniforms = {"uMvp"}; }), "OpenGL shader uniforms could not be located.");
    // The height-map uniforms may be missing.
    EXPECT_EQ(attempt([](FakeGl& f) { f.missingUniforms = {"uInvert", "uHeightMap"}; }), "ok");
    EXPECT_EQ(attempt([](FakeGl& f) { f.missingEntryPoints = {"glGenQueries"}; }), "ok");
}

TEST(RendererFakeDriver, VersionTextAndOneContextAtATime) {
    FakeSurface surface;
    gl::Renderer r;
    ASSERT_TRUE(r.Initialize(&surface));
    EXPECT_EQ(r.versionText, "4.5 (Core Profile) Fake 1.0 - fake renderer");
    surface.state.rendererName = nullptr;
    ASSERT_TRUE(r.Initialize(&surface));
    EXPECT_EQ(r.versionText, "4.5 (Core Profile) Fake 1.0");
    surface.state.version = nullptr;
    ASSERT_TRUE(r.Initialize(&surface));
    EXPECT_EQ(r.versionText, "Unknown OpenGL version");
    EXPECT_EQ(surface.state.contextsCreated, 3);
    EXPECT_EQ(surface.state.contextsAlive, 1);
    r.Shutdown();
    r.Shutdown();
    EXPECT_EQ(surface.state.contextsAlive, 0);
    EXPECT_FALSE(r.ready);
}

TEST(RendererFakeDriver, UploadsRefuseBrokenMeshesAndKeepWhatTheyHad) {
    FakeSurface surface;
    gl::Renderer r;
    ASSERT_TRUE(r.Initialize(&surface));
    const mesh::TriangleMesh cube = mesh::MakeTestCube(2.0f);
    ASSERT_TRUE(r.UploadMesh(cube, nullptr, true));
    const GLuint part = r.part.vertexArray;
    EXPECT_EQ(r.part.indexCount, 36);
    EXPECT_EQ(r.part.projectionBytes, 36u * 12u);

    const std::string refusal = "Cannot upload an empty mesh or a mesh with invalid indices.";
    mesh::TriangleMesh broken = cube;
    broken.indices.back() = 8;
    EXPECT_FALSE(r.UploadMesh(broken, nullptr, true));
    EXPECT_EQ(r.lastError, refusal);
    broken = cube;
    broken.indices.pop_back();
    EXPECT_FALSE(r.UploadMesh(broken, nullptr, true));
    EXPECT_FALSE(r.UploadMesh(mesh::TriangleMesh{}, nullptr, true));
    EXPECT_EQ(r.lastError, refusal);
    EXPECT_EQ(r.part.vertexArray, part);

    // Another triangle count: refused, no buffer touched.
    const int uploads = surface.state.bufferUploads;
    gl::ProjectedCoordinates coordinates;
    coordinates.vertexUv.assign(8, {1.0f, 2.0f});
    mesh::TriangleMesh fewer = cube;
    fewer.indices.resize(30);
    EXPECT_FALSE(r.UpdateVertexProjection(fewer, coordinates));
    EXPECT_EQ(surface.state.bufferUploads, uploads);
    // The same count: the stream is replaced in place.
    EXPECT_TRUE(r.UpdateVertexProjection(cube, coordinates));
    EXPECT_EQ(surface.state.bufferUploads, uploads + 1);
    EXPECT_EQ(surface.state.calls.back(), "sub data");

    // Nothing uploads while the context cannot be made current.
    surface.state.contextsAlive = 0;
    EXPECT_FALSE(r.UploadMesh(cube, nullptr, true));
    EXPECT_EQ(r.lastError, "Could not activate the OpenGL context for mesh upload.");
    EXPECT_FALSE(r.SetCageOverlay({}));
    surface.state.contextsAlive = 1;
}

// One vertex of anything: the overlays only need to exist.
std::vector<mesh::Vec3f> Points(std::size_t n) { return std::vector<mesh::Vec3f>(n, mesh::Vec3f{1.0f, 2.0f, 3.0f}); }

class PassOrder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(r.Initialize(&surface));
        ASSERT_TRUE(r.UploadMesh(mesh::MakeTestCube(2.0f), nullptr, true));
        r.showNormals = r.showBoundingBox = r.showOpenEdges = r.showNonManifoldEdges = true;
        r.showProblemFaces = r.showCage = r.showPrintCheck = true;
        ASSERT_TRUE(r.RebuildNormalLines());
        ASSERT_TRUE(r.SetEdgeOverlays({Points(2), Points(2), Points(3), Points(3)}));
        ASSERT_TRUE(r.SetPrintCheckOverlay({Points(2), Points(3), {}, Points(3)}));
        ASSERT_TRUE(r.SetCageOverlay({Points(3), {}, Points(2), Points(2)}));
        ASSERT_TRUE(r.SetRestingFaceHighlight(Points(3), {}));
        ASSERT_TRUE(r.SetGizmoOverlay({Points(2), {}, Points(3), {}}));
        ASSERT_TRUE(r.SetMaskOverlay({Points(2), {}, Points(3), {}}));
        auto& labels = surface.state.labels;
        labels = {{r.floorQuad.vertexArray, "floor"},
                  {r.guideLines.vertexArray, "guides"},
                  {r.part.vertexArray, "part"},
                  {r.normalLines.vertexArray, "normals"},
                  {r.boundingBox.vertexArray, "box"},
                  {r.problemFaces.vertexArray, "problems"},
                  {r.printCheckTriangles.vertexArray, "print-triangles"},
                  {r.printCheckLines.vertexArray, "print-lines"},
                  {r.openEdges.vertexArray, "open"},
                  {r.nonManifoldEdges.vertexArray, "non-manifold"},
                  {r.cageFaces.vertexArray, "cage"},
                  {r.cageLines.vertexArray, "cage-lines"},
                  {r.cageAccentLines.vertexArray, "cage-accents"},
                  {r.restingFace.vertexArray, "resting"},
                  {r.maskTriangles.vertexArray, "mask"},
                  {r.maskLines.vertexArray, "mask-lines"},
                  {r.gizmoTriangles.vertexArray, "handles"},
                  {r.gizmoLines.vertexArray, "handle-lines"}};
        ASSERT_EQ(labels.size(), 18u);  // every overlay exists and has a name of its own
    }

    std::vector<std::string> Frame(gl::ShadingMode shading) {
        r.shadingMode = shading;
        surface.state.draws.clear();
        r.Render();
        return surface.state.draws;
    }

    FakeSurface surface;
    gl::Renderer r;
};

TEST_F(PassOrder, SmoothShadedFrameDrawsEveryPassInOrder) {
    r.surfaceMode = gl::SurfaceMode::Checkerboard;
    const std::vector<std::string> expected = {
        "floor triangles cull:on depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "guides lines cull:on depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 smooth:1",
        "part elements cull:off depth:less writes:on offset:- blend:off fill lit:1 override:0 surface:1 alpha:1 "
        "smooth:1",
        "normals lines cull:off depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "box lines cull:off depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 smooth:1",
        "problems triangles cull:off depth:less writes:on offset:-1.5,-1.5 blend:off fill lit:0 override:0 surface:0 "
        "alpha:1 smooth:1",
        "print-triangles triangles cull:off depth:off writes:on offset:-1.5,-1.5 blend:off fill lit:0 override:0 "
        "surface:0 alpha:1 smooth:1",
        "print-lines lines cull:off depth:lequal writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "open lines cull:off depth:lequal writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "non-manifold lines cull:off depth:lequal writes:on offset:- blend:off fill lit:0 override:0 surface:0 "
        "alpha:1 smooth:1",
        "cage triangles cull:off depth:less writes:off offset:- blend:on fill lit:0 override:0 surface:0 alpha:0.22 "
        "smooth:1",
        "cage-lines lines cull:off depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "cage-accents lines cull:off depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "resting triangles cull:off depth:less writes:off offset:- blend:on fill lit:0 override:0 surface:0 "
        "alpha:0.45 smooth:1",
        "mask triangles cull:off depth:less writes:off offset:- blend:on fill lit:0 override:0 surface:0 alpha:0.3 "
        "smooth:1",
        "mask-lines lines cull:off depth:off writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "handles triangles cull:off depth:off writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
        "handle-lines lines cull:off depth:off writes:on offset:- blend:off fill lit:0 override:0 surface:0 alpha:1 "
        "smooth:1",
    };
    const std::vector<std::string> drawn = Frame(gl::ShadingMode::Smooth);
    // Then the view cube over everything, blended.
    ASSERT_EQ(drawn.size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(drawn[i], expected[i]) << i;
    EXPECT_NE(drawn.back().find(" triangles cull:off depth:off writes:on offset:- blend:on fill"), std::string::npos)
        << drawn.back();
    EXPECT_EQ(surface.state.calls.back(), "swap");

    // Overlays switched off are not drawn; those without vertices neither.
    r.showNormals = r.showBoundingBox = r.showOpenEdges = r.showNonManifoldEdges = false;
    r.showProblemFaces = r.showCage = r.showPrintCheck = false;
    ASSERT_TRUE(r.SetGizmoOverlay({}));
    ASSERT_TRUE(r.SetMaskOverlay({}));
    ASSERT_TRUE(r.SetRestingFaceHighlight({}, {}));
    const std::vector<std::string> plain = Frame(gl::ShadingMode::Smooth);
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[2].substr(0, 4), "part");
    EXPECT_EQ(plain[3], drawn.back());
}

TEST_F(PassOrder, EachShadingDrawsThePartItsWay) {
    const auto partPasses = [&](gl::ShadingMode shading) {
        std::vector<std::string> out;
        for (const std::string& d : Frame(shading))
            if (d.rfind("part", 0) == 0 || d.rfind("floor", 0) == 0) out.push_back(d);
        return out;
    };
    EXPECT_EQ(partPasses(gl::ShadingMode::Flat),
              (std::vector<std::string>{
                  "floor triangles cull:on depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 "
                  "alpha:1 smooth:0",
                  "part elements cull:off depth:less writes:on offset:- blend:off fill lit:1 override:0 surface:0 "
                  "alpha:1 smooth:0"}));
    EXPECT_EQ(partPasses(gl::ShadingMode::Wireframe),
              (std::vector<std::string>{
                  "floor triangles cull:off depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 "
                  "alpha:1 smooth:0",
                  "part elements cull:off depth:less writes:on offset:- blend:off line lit:0 override:1 surface:0 "
                  "alpha:1 smooth:0"}));
    EXPECT_EQ(partPasses(gl::ShadingMode::SolidWireframe),
              (std::vector<std::string>{
                  "floor triangles cull:on depth:less writes:on offset:- blend:off fill lit:0 override:0 surface:0 "
                  "alpha:1 smooth:0",
                  "part elements cull:off depth:less writes:on offset:1,1 blend:off fill lit:1 override:0 surface:0 "
                  "alpha:1 smooth:0",
                  "part elements cull:off depth:less writes:on offset:- blend:off line lit:0 override:1 surface:0 "
                  "alpha:1 smooth:0"}));
    // Every frame ends with the state it found: fill, depth function LESS.
    EXPECT_EQ(surface.state.polygonMode, static_cast<GLenum>(GL_FILL));
    EXPECT_EQ(surface.state.depthFunc, static_cast<GLenum>(GL_LESS));
}

TEST_F(PassOrder, GpuTimeArrivesFromTheFourthFrameAndTheRateAfterHalfASecond) {
    for (int frame = 1; frame <= 3; ++frame) {
        Frame(gl::ShadingMode::Smooth);
        EXPECT_FALSE(r.statistics.gpuValid) << frame;
        EXPECT_EQ(r.statistics.framesPerSecond, 0.0);
        EXPECT_GT(r.statistics.frameMilliseconds, 0.0);
        // More than the 2 ms the driver answers has passed since the first
        // frame's query began.
        if (frame == 1) std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "read query"), 0);
    Frame(gl::ShadingMode::Smooth);
    EXPECT_TRUE(r.statistics.gpuValid);
    EXPECT_EQ(r.statistics.gpuMilliseconds, 2.0);
    // A result not yet there keeps the last one.
    surface.state.queryAvailable = false;
    surface.state.queryNanoseconds = 9'000'000;
    Frame(gl::ShadingMode::Smooth);
    EXPECT_EQ(r.statistics.gpuMilliseconds, 2.0);
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "begin query"), 5);
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "end query"), 5);

    EXPECT_EQ(r.statistics.framesPerSecond, 0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(520));
    Frame(gl::ShadingMode::Smooth);
    // Five frames in the window (the first opened it), over at least half a second.
    EXPECT_GT(r.statistics.framesPerSecond, 0.0);
    EXPECT_LE(r.statistics.framesPerSecond, 6.0 / 0.5);
    EXPECT_EQ(r.framesInWindow, 0u);
}

// A driver that answers the time since the machine started (13 hours) for a
// frame's time: never shown, as a frame cannot take longer than has passed
// since it began. A true answer after it is shown again.
TEST_F(PassOrder, AClockReadingForAFrameTimeIsNotShown) {
    surface.state.queryNanoseconds = 48'104'852'300'000;
    for (int frame = 1; frame <= 5; ++frame) {
        Frame(gl::ShadingMode::Smooth);
        EXPECT_FALSE(r.statistics.gpuValid) << frame;
    }
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "read query"), 2);
    surface.state.queryNanoseconds = 1'000;
    Frame(gl::ShadingMode::Smooth);
    EXPECT_TRUE(r.statistics.gpuValid);
    EXPECT_EQ(r.statistics.gpuMilliseconds, 0.001);
}

TEST(RendererFakeDriver, ANewContextMakesItsOwnQueriesAndOddMapsAreRefused) {
    FakeSurface surface;
    gl::Renderer r;
    ASSERT_TRUE(r.Initialize(&surface));
    for (int i = 0; i < 4; ++i) r.Render();
    // The queries ended with the first context; the second makes new ones
    // and waits three frames again before reading.
    ASSERT_TRUE(r.Initialize(&surface));
    surface.state.calls.clear();
    for (int i = 0; i < 3; ++i) r.Render();
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "gen queries"), 1);
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "read query"), 0);

    // A map whose pixel list does not fill its size is not uploaded.
    mesh::HeightMap odd;
    odd.width = 3;
    odd.height = 2;
    odd.seamlessPixels = std::vector<float>(6, 0.5f);
    odd.pixels = std::vector<float>(5, 0.5f);
    EXPECT_FALSE(r.UploadHeightMapTexture(odd));
    EXPECT_EQ(r.heightMapTexture, 0u);
    odd.pixels = std::vector<float>(6, 0.5f);
    EXPECT_TRUE(r.UploadHeightMapTexture(odd));
    EXPECT_NE(r.heightMapTexture, 0u);
}

TEST(RendererFakeDriver, WithoutTimerQueriesFramesStillCount) {
    FakeSurface surface;
    surface.state.missingEntryPoints = {"glGetQueryObjectui64v"};
    gl::Renderer r;
    ASSERT_TRUE(r.Initialize(&surface));
    for (int i = 0; i < 6; ++i) r.Render();
    EXPECT_FALSE(r.statistics.gpuValid);
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "begin query"), 0);
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "swap"), 6);
    EXPECT_GT(r.statistics.frameMilliseconds, 0.0);
    // Not ready: nothing drawn, nothing counted.
    r.Shutdown();
    const gl::FrameStatistics before = r.statistics;
    r.Render();
    EXPECT_EQ(std::count(surface.state.calls.begin(), surface.state.calls.end(), "swap"), 6);
    EXPECT_EQ(r.statistics.frameMilliseconds, before.frameMilliseconds);
}

}  // namespace
}  // namespace ridgeforge::testing
