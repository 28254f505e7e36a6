// What a person sees at 1280 x 800: the empty scene, a 20 mm cube in each
// shading, an open box looked into from above, and the camera's framing of a
// part that stands away from the origin. Expected colours are worked out
// from the vertex colours and the light, not read from the renderer.
#include <gtest/gtest.h>

#include "gl/SceneGeometry.h"
#include "mesh/TestShapes.h"
#include "tests/gl/GlTestScene.h"

namespace ridgeforge::testing {
namespace {

const Rgb kBackground{19, 23, 29};
const Rgb kFloor{43, 48, 56};
const Rgb kAmber{250, 184, 31};

// Seen from yaw -135, pitch 45: the top, the -X and the -Y faces.
const mesh::Vec3f kPart{0.7f, 0.73f, 0.78f};
const Rgb kTopFace = Stored(kPart, LitIntensity({0, 0, 1}));
const Rgb kLeftFace = Stored(kPart, LitIntensity({-1, 0, 0}));
const Rgb kFrontFace = Stored(kPart, LitIntensity({0, -1, 0}));

TEST(RendererPixels, EmptySceneShowsBackgroundFloorAndGrid) {
    GlScene scene;
    ASSERT_TRUE(scene.Start()) << scene.renderer.lastError;
    scene.renderer.pitchDegrees = 20.0f;
    scene.Draw();
    // The sky above the horizon.
    EXPECT_EQ(scene.At(3, 3), kBackground);
    EXPECT_EQ(scene.At(1276, 3), kBackground);
    // The floor quad between grid lines (step 1 over +-5 at z -1.001), and
    // grid lines where they run.
    EXPECT_EQ(scene.AtPoint({0.5f, 0.5f, -1.001f}), kFloor);
    EXPECT_EQ(scene.AtPoint({1.5f, -0.5f, -1.001f}), kFloor);
    EXPECT_EQ(scene.AtPoint({5.5f, 0.5f, -1.001f}), kBackground);
    int gridPixels = 0;
    const std::array<float, 2> a = scene.Project({2.0f, -2.0f, -1.001f});
    const std::array<float, 2> b = scene.Project({2.0f, 2.0f, -1.001f});
    for (int i = 1; i < 10; ++i) {
        const float t = static_cast<float>(i) / 10.0f;
        const int x = static_cast<int>(a[0] + (b[0] - a[0]) * t), y = static_cast<int>(a[1] + (b[1] - a[1]) * t);
        bool seen = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                seen = seen || Near(scene.At(x + dx, y + dy), Stored({0.24f, 0.27f, 0.31f}), 2);
        gridPixels += seen ? 1 : 0;
    }
    EXPECT_EQ(gridPixels, 9);

    // From below the floor the quad is culled; the sky shows through it.
    scene.renderer.pitchDegrees = -30.0f;
    scene.Draw();
    EXPECT_EQ(scene.AtPoint({0.5f, 0.5f, -1.001f}), kBackground);
}

TEST(RendererPixels, CubeFacesTakeTheirLightInFlatAndSmoothShading) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    const mesh::TriangleMesh cube = mesh::MakeTestCube(20.0f);
    ASSERT_TRUE(scene.renderer.UploadMesh(cube, nullptr, true)) << scene.renderer.lastError;
    scene.renderer.shadingMode = gl::ShadingMode::Flat;
    scene.Draw();
    EXPECT_EQ(kTopFace, (Rgb{96, 100, 107}));
    EXPECT_TRUE(Near(scene.AtPoint({0.0f, 0.0f, 10.0f}), kTopFace, 2)) << scene.AtPoint({0.0f, 0.0f, 10.0f});
    EXPECT_TRUE(Near(scene.AtPoint({-10.0f, 2.0f, 3.0f}), kLeftFace, 2)) << scene.AtPoint({-10.0f, 2.0f, 3.0f});
    EXPECT_TRUE(Near(scene.AtPoint({3.0f, -10.0f, -2.0f}), kFrontFace, 2)) << scene.AtPoint({3.0f, -10.0f, -2.0f});

    // Smooth shading lights by the cube's averaged corner normals: the face
    // centre is no longer one flat colour but differs from the flat one.
    scene.renderer.shadingMode = gl::ShadingMode::Smooth;
    scene.Draw();
    const Rgb smoothCorner = scene.AtPoint({-9.0f, -9.0f, 10.0f});
    EXPECT_FALSE(Near(smoothCorner, kTopFace, 4)) << smoothCorner;
}

TEST(RendererPixels, WireframeIsAmberLinesOnlyAndShowsHiddenEdges) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    // 21 mm deep, so that the back edges do not lie on grid lines (step 2).
    mesh::TriangleMesh box = mesh::MakeTestCube(20.0f);
    for (mesh::Vertex& v : box.vertices) v.position.y *= 1.05f;
    box.RecomputeBounds();
    ASSERT_TRUE(scene.renderer.UploadMesh(box, nullptr, true));
    const auto amberNear = [&](const mesh::Vec3f& p) {
        const std::array<float, 2> at = scene.Project(p);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (Near(scene.At(static_cast<int>(at[0]) + dx, static_cast<int>(at[1]) + dy), kAmber, 2)) return true;
        return false;
    };
    scene.renderer.shadingMode = gl::ShadingMode::Wireframe;
    scene.Draw();
    // A front edge and the back bottom edge, hidden by the solid cube (and
    // clear of the face diagonals in front of it), both drawn.
    EXPECT_TRUE(amberNear({-10.0f, -10.5f, 0.0f}));
    EXPECT_TRUE(amberNear({0.0f, 10.5f, -10.0f}));
    int partPixels = 0;
    for (int y = 0; y < scene.Height(); y += 4)
        for (int x = 0; x < scene.Width(); x += 4) {
            // The view cube's grey faces in the top-right corner are not the part.
            if (x >= scene.Width() - 140 && y < 140) continue;
            const Rgb c = scene.At(x, y);
            partPixels += Near(c, kTopFace, 6) || Near(c, kLeftFace, 6) || Near(c, kFrontFace, 6);
        }
    EXPECT_EQ(partPixels, 0);

    // Solid plus wireframe: the lit fill with the same lines over it, the
    // hidden edge now behind the fill.
    scene.renderer.shadingMode = gl::ShadingMode::SolidWireframe;
    scene.Draw();
    EXPECT_TRUE(Near(scene.AtPoint({1.0f, 1.0f, 10.0f}), kTopFace, 2));
    EXPECT_TRUE(amberNear({-10.0f, -10.5f, 0.0f}));
    EXPECT_FALSE(amberNear({0.0f, 10.5f, -10.0f}));
}

TEST(RendererPixels, OpenBoxFromAboveShowsItsInnerFloorLit) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    mesh::TriangleMesh box = mesh::MakeTestCube(20.0f);
    box.indices.erase(box.indices.begin() + 6, box.indices.begin() + 12);  // no top
    ASSERT_TRUE(scene.renderer.UploadMesh(box, nullptr, true));
    scene.renderer.pitchDegrees = 80.0f;
    for (const gl::ShadingMode shading : {gl::ShadingMode::Flat, gl::ShadingMode::Smooth}) {
        scene.renderer.shadingMode = shading;
        scene.Draw();
        // The bottom's inside faces up: its normal is -Z, lit from both sides.
        const Rgb inner = scene.AtPoint({1.0f, 1.0f, -10.0f});
        if (shading == gl::ShadingMode::Flat) {
            EXPECT_TRUE(Near(inner, kTopFace, 2)) << inner;
        }
        EXPECT_FALSE(Near(inner, kFloor, 6)) << inner;
        EXPECT_FALSE(Near(inner, kBackground, 6)) << inner;
    }
}

TEST(RendererPixels, UploadFramesAPartAwayFromTheOrigin) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    mesh::TriangleMesh cube = mesh::MakeTestCube(20.0f);
    for (mesh::Vertex& v : cube.vertices) v.position = v.position + mesh::Vec3f{60.0f, -35.0f, 10.0f};
    cube.RecomputeBounds();
    ASSERT_TRUE(scene.renderer.UploadMesh(cube, nullptr, true));
    EXPECT_EQ(scene.renderer.target, (mesh::Vec3f{60.0f, -35.0f, 10.0f}));
    EXPECT_NEAR(scene.renderer.distance, 10.0f * std::sqrt(3.0f) / std::sin(3.1415927f / 8.0f) * 1.15f, 1e-3f);
    scene.renderer.shadingMode = gl::ShadingMode::Flat;
    scene.Draw();
    // The part sits in the middle, every corner inside the window.
    EXPECT_TRUE(Near(scene.At(640, 400), kTopFace, 2) || Near(scene.At(640, 400), kLeftFace, 2) ||
                Near(scene.At(640, 400), kFrontFace, 2))
        << scene.At(640, 400);
    for (const mesh::Vertex& v : cube.vertices) {
        const std::array<float, 2> at = scene.Project(v.position);
        EXPECT_GT(at[0], 0.0f);
        EXPECT_LT(at[0], 1280.0f);
        EXPECT_GT(at[1], 0.0f);
        EXPECT_LT(at[1], 800.0f);
    }
    // Without reframing the camera stays where it was.
    scene.renderer.target = {0.0f, 0.0f, 0.0f};
    ASSERT_TRUE(scene.renderer.UploadMesh(cube, nullptr, false));
    EXPECT_EQ(scene.renderer.target, (mesh::Vec3f{0.0f, 0.0f, 0.0f}));

    // Clearing reframes on the default bounds and keeps drawing the grid.
    scene.renderer.ClearMesh();
    EXPECT_EQ(scene.renderer.part.vertexArray, 0u);
    EXPECT_NEAR(scene.renderer.distance, 3.005f, 1e-3f);
    EXPECT_EQ(scene.renderer.gridHalfSize, 5.0f);
    scene.renderer.pitchDegrees = 20.0f;
    scene.Draw();
    EXPECT_EQ(scene.AtPoint({0.5f, 0.5f, -1.001f}), kFloor);
}

}  // namespace
}  // namespace ridgeforge::testing
