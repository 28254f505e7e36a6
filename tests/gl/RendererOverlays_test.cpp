// The overlays as a person sees them over a 20 mm cube: report lines lying on
// the surface, problem faces pulled in front of it, print-check faces seen
// through it, the translucent cage, resting face and masks, handles over
// everything, and the statistics a real driver gives.
#include <gtest/gtest.h>

#include "gl/SceneGeometry.h"
#include "mesh/TestShapes.h"
#include "tests/gl/GlTestScene.h"

namespace ridgeforge::testing {
namespace {

const mesh::Vec3f kPart{0.7f, 0.73f, 0.78f};
const Rgb kTopFace = Stored(kPart, LitIntensity({0, 0, 1}));

mesh::Vec3f Blend(const mesh::Vec3f& over, float alpha, const mesh::Vec3f& under) {
    return over * alpha + under * (1.0f - alpha);
}

// True when a pixel within one of where `p` lands has the colour.
bool ShowsNear(const GlScene& scene, const mesh::Vec3f& p, const Rgb& colour, int tolerance = 2) {
    const std::array<float, 2> at = scene.Project(p);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Near(scene.At(static_cast<int>(at[0]) + dx, static_cast<int>(at[1]) + dy), colour, tolerance))
                return true;
    return false;
}

class Overlays : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scene.Start()) << scene.renderer.lastError;
        ASSERT_TRUE(scene.renderer.UploadMesh(mesh::MakeTestCube(20.0f), nullptr, true));
        scene.renderer.shadingMode = gl::ShadingMode::Flat;
    }
    GlScene scene;
};

TEST_F(Overlays, ReportOverlaysInTheirColours) {
    gl::Renderer& r = scene.renderer;
    ASSERT_TRUE(r.SetEdgeOverlays({{{-8.0f, -4.0f, 10.0f}, {8.0f, -4.0f, 10.0f}},
                                   {{-4.0f, -8.0f, 10.0f}, {-4.0f, 8.0f, 10.0f}},
                                   {{2.0f, 2.0f, 10.0f}, {8.0f, 2.0f, 10.0f}, {8.0f, 8.0f, 10.0f}},
                                   {{-10.0f, 2.0f, 2.0f}, {-10.0f, 8.0f, 2.0f}, {-10.0f, 8.0f, 8.0f}}}));
    // Needing support, on the hidden +Y face; bridging on the hidden +X face.
    ASSERT_TRUE(r.SetPrintCheckOverlay({{{5.0f, -10.0f, -8.0f}, {5.0f, -10.0f, 8.0f}},
                                        {{-6.0f, 10.0f, -6.0f}, {6.0f, 10.0f, -6.0f}, {0.0f, 10.0f, 6.0f}},
                                        {},
                                        {{10.0f, -6.0f, -6.0f}, {10.0f, 6.0f, -6.0f}, {10.0f, 0.0f, 6.0f}}}));
    scene.Draw();
    EXPECT_TRUE(Near(scene.AtPoint({6.0f, 6.5f, 10.0f}), kTopFace, 2));  // all off

    r.showOpenEdges = r.showNonManifoldEdges = r.showProblemFaces = r.showPrintCheck = r.showBoundingBox = true;
    scene.Draw();
    EXPECT_TRUE(ShowsNear(scene, {4.0f, -4.0f, 10.0f}, Stored({0.95f, 0.25f, 0.22f})));
    EXPECT_TRUE(ShowsNear(scene, {-4.0f, 4.0f, 10.0f}, Stored({0.95f, 0.25f, 0.9f})));
    EXPECT_TRUE(ShowsNear(scene, {6.0f, 4.0f, 10.0f}, Stored({0.98f, 0.55f, 0.15f}), 0));
    EXPECT_TRUE(ShowsNear(scene, {-10.0f, 6.5f, 4.0f}, Stored({0.98f, 0.92f, 0.2f}), 0));
    EXPECT_TRUE(ShowsNear(scene, {0.0f, 10.0f, -2.0f}, Stored({0.95f, 0.2f, 0.16f}), 0));
    EXPECT_TRUE(ShowsNear(scene, {10.0f, 0.0f, -2.0f}, Stored({0.96f, 0.84f, 0.18f}), 0));
    // A line drawn on a face competes with the face for depth; with LEQUAL
    // it wins at least along part of its length on this driver.
    int shown = 0;
    for (float z = -7.5f; z < 8.0f; z += 1.0f)
        shown += ShowsNear(scene, {5.0f, -10.0f, z}, Stored({0.42f, 0.6f, 0.82f}));
    EXPECT_GT(shown, 0);
    EXPECT_TRUE(ShowsNear(scene, {-10.0f, -10.0f, 3.0f}, Stored({0.95f, 0.76f, 0.2f})));

    // A new mesh drops the report overlays; clearing drops the part too.
    r.ClearMesh();
    EXPECT_EQ(r.openEdges.vertexArray, 0u);
    EXPECT_EQ(r.printCheckTriangles.count, 0);
    EXPECT_EQ(r.boundingBox.vertexArray, 0u);
}

TEST_F(Overlays, TranslucentOverlaysAndHandlesOverEverything) {
    gl::Renderer& r = scene.renderer;
    const mesh::Vec3f top{kPart * LitIntensity({0, 0, 1})};
    // A resting-face highlight just above the top (the view lifts it off the
    // face), in its default colour.
    ASSERT_TRUE(
        r.SetRestingFaceHighlight({{-9.0f, -9.0f, 10.05f}, {-1.0f, -9.0f, 10.05f}, {-1.0f, -1.0f, 10.05f}}, {}));
    // A mask volume's faces on the top, and its outline through the cube.
    ASSERT_TRUE(r.SetMaskOverlay({{{0.0f, 10.0f, 0.0f}, {0.0f, 10.0f, 0.0f}},
                                  {},
                                  {{1.0f, -9.0f, 10.05f}, {9.0f, -9.0f, 10.05f}, {9.0f, -1.0f, 10.05f}},
                                  {{0.2f, 0.9f, 0.3f}, {0.2f, 0.9f, 0.3f}, {0.2f, 0.9f, 0.3f}}}));
    // A handle inside the cube.
    ASSERT_TRUE(r.SetGizmoOverlay(
        {{}, {}, {{-3.0f, 0.0f, -3.0f}, {3.0f, 0.0f, -3.0f}, {0.0f, 0.0f, 3.0f}}, {{0.1f, 0.2f, 1.0f}}}));
    // The cage's face in front of the part, only its faces translucent.
    ASSERT_TRUE(
        r.SetCageOverlay({{{-12.0f, -12.0f, 12.0f}, {12.0f, -12.0f, 12.0f}, {12.0f, 12.0f, 12.0f}}, {}, {}, {}}));
    scene.Draw();
    EXPECT_TRUE(ShowsNear(scene, {-6.0f, -7.0f, 10.0f}, Stored(Blend({0.3f, 0.6f, 0.9f}, 0.45f, top)), 1));
    EXPECT_TRUE(ShowsNear(scene, {7.0f, -6.0f, 10.0f}, Stored(Blend({0.2f, 0.9f, 0.3f}, 0.3f, top)), 1));
    // The handle's first corner has its colour; the two past the colour
    // list are white, so the middle is a mix.
    EXPECT_TRUE(ShowsNear(scene, {-2.5f, 0.0f, -2.8f}, Stored({0.1f, 0.2f, 1.0f}), 30));
    EXPECT_FALSE(ShowsNear(scene, {-2.5f, 0.0f, -2.8f}, kTopFace, 6));
    // The cage is hidden until asked for.
    EXPECT_TRUE(ShowsNear(scene, {6.0f, -2.0f, 10.0f}, kTopFace, 2));
    r.showCage = true;
    scene.Draw();
    EXPECT_TRUE(ShowsNear(scene, {6.0f, -2.0f, 12.0f}, Stored(Blend({0.6f, 0.6f, 0.6f}, 0.22f, top)), 1));
    // Without overlays the part is as before.
    ASSERT_TRUE(r.SetMaskOverlay({}));
    ASSERT_TRUE(r.SetGizmoOverlay({}));
    ASSERT_TRUE(r.SetRestingFaceHighlight({}, {}));
    r.showCage = false;
    scene.Draw();
    EXPECT_TRUE(ShowsNear(scene, {7.0f, -6.0f, 10.0f}, kTopFace, 2));
    EXPECT_EQ(r.maskTriangles.vertexArray, 0u);
}

TEST_F(Overlays, RealDriverStatisticsAndRays) {
    gl::Renderer& r = scene.renderer;
    for (int frame = 1; frame <= 3; ++frame) {
        scene.Draw();
        EXPECT_FALSE(r.statistics.gpuValid) << frame;
        EXPECT_GT(r.statistics.frameMilliseconds, 0.0);
    }
    // Through the middle of the window: a ray that meets the cube's centre line.
    mesh::Vec3f origin, direction;
    ASSERT_TRUE(r.ScreenRay(r.viewportWidth / 2, r.viewportHeight / 2, origin, direction));
    EXPECT_NEAR(mesh::Length(direction), 1.0f, 1e-5f);
    const mesh::Vec3f toTarget = r.target - origin;
    EXPECT_NEAR(mesh::Length(mesh::Cross(toTarget, direction)) / mesh::Length(toTarget), 0.0f, 2e-3f);
    r.orthographic = true;
    ASSERT_TRUE(r.ScreenRay(r.viewportWidth / 2, r.viewportHeight / 2, origin, direction));
    scene.Draw();
    EXPECT_TRUE(Near(scene.AtPoint({0.0f, 0.0f, 10.0f}), kTopFace, 2));
    r.viewportWidth = 0;
    EXPECT_FALSE(r.ScreenRay(0, 0, origin, direction));
}

}  // namespace
}  // namespace ridgeforge::testing
