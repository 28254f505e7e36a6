// The texture preview on the part as a person sees it: the height map shaded
// exactly as the relief's sampler reads it (left of and above the image too),
// the checkerboard with its texture weight, mask volumes fading it out and
// the box mapping blended per pixel. A 20 mm cube seen from above, flat
// shaded, so the top face has one light factor.
#include <gtest/gtest.h>

#include <algorithm>

#include "gl/ShaderMirror.h"
#include "relief/mapping/CageFrame.h"
#include "mesh/TestShapes.h"
#include "tests/gl/GlTestScene.h"
#include "textures/HeightMap.h"

namespace ridgeforge::testing {
namespace {

const mesh::Vec3f kPart{0.7f, 0.73f, 0.78f};
const mesh::Vec3f kLight{0.88f, 0.88f, 0.86f};
const mesh::Vec3f kDark{0.20f, 0.21f, 0.24f};
const float kTop = LitIntensity({0, 0, 1});

mesh::Vec3f Mix(const mesh::Vec3f& a, const mesh::Vec3f& b, float t) { return a + (b - a) * t; }

// The cube with each vertex's projector millimetres at its own x, y.
struct CubeFromAbove {
    explicit CubeFromAbove(GlScene& shown, float weight = 1.0f) : scene(shown) {
        cube = mesh::MakeTestCube(20.0f);
        for (const mesh::Vertex& v : cube.vertices) {
            coordinates.vertexUv.push_back({v.position.x, v.position.y});
            coordinates.vertexMask.push_back(weight);
        }
        EXPECT_TRUE(scene.renderer.UploadMesh(cube, &coordinates, true)) << scene.renderer.lastError;
        scene.renderer.shadingMode = gl::ShadingMode::Flat;
        scene.renderer.pitchDegrees = 89.0f;
        scene.renderer.distance = 40.0f;
    }
    Rgb At(float x, float y) const { return scene.AtPoint({x, y, 10.0f}); }

    GlScene& scene;
    mesh::TriangleMesh cube;
    gl::ProjectedCoordinates coordinates;
};

TEST(RendererSurfaceModes, HeightMapPixelsFollowTheReliefSampler) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    CubeFromAbove view(scene);

    mesh::HeightMap map;
    mesh::TextureSettings settings;
    settings.widthMillimetres = 7.0f;
    settings.heightMillimetres = 4.0f;
    settings.wrap = mesh::WrapMode::Mirror;
    settings.offsetMillimetres[0] = 1.3f;
    settings.offsetMillimetres[1] = -0.7f;
    settings.rotationDegrees = 20.0f;
    settings.blackLevel = 0.1f;
    settings.whiteLevel = 0.9f;
    settings.gamma = 1.5f;
    settings.outputBlackLevel = 0.05f;
    settings.outputWhiteLevel = 0.95f;
    map.SetSettings(settings);
    map.SetImage(5, 3, {0.0f, 0.9f, 0.2f, 0.6f, 1.0f, 0.35f, 0.1f, 0.8f, 0.45f, 0.05f, 0.7f, 0.25f, 1.0f, 0.15f, 0.5f});
    ASSERT_EQ(map.pixels.size(), 15u);

    for (const mesh::WrapMode wrap : {mesh::WrapMode::Mirror, mesh::WrapMode::Repeat, mesh::WrapMode::Clamp}) {
        settings.wrap = wrap;
        settings.invert = wrap == mesh::WrapMode::Repeat;
        map.SetSettings(settings);
        ASSERT_TRUE(scene.renderer.UploadHeightMapTexture(map));
        scene.renderer.surfaceMode = gl::SurfaceMode::HeightMap;
        scene.Draw();

        int compared = 0;
        float worst = 0.0f;
        for (int y = 0; y < scene.Height(); y += 7)
            for (int x = 0; x < scene.Width(); x += 7) {
                const std::optional<mesh::Vec3f> p = scene.OnPlane(x, y, 10.0f);
                ASSERT_TRUE(p.has_value());
                if (std::fabs(p->x) > 9.5f || std::fabs(p->y) > 9.5f) continue;
                const mesh::TileCoordinates tile = map.settings.MapToTile(p->x, p->y);
                const float height = map.ApplyLevels(map.SampleBilinear(tile.u, tile.v));
                const Rgb pixel = scene.At(x, y);
                const float expected = height * kTop * 255.0f;
                worst = std::max({worst, std::fabs(static_cast<float>(pixel.r) - expected),
                                  std::fabs(static_cast<float>(pixel.b) - expected)});
                ++compared;
            }
        EXPECT_GT(compared, 2000);
        // Rounding to 8 bits costs half a step; the rest must be under one.
        EXPECT_LE(worst, 1.5f) << "wrap " << static_cast<int>(wrap);
    }

    // An empty map removes the texture.
    EXPECT_FALSE(scene.renderer.UploadHeightMapTexture(mesh::HeightMap{}));
    EXPECT_EQ(scene.renderer.heightMapTexture, 0u);
}

TEST(RendererSurfaceModes, CheckerboardMixesByTheTextureWeight) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    {
        CubeFromAbove view(scene);
        scene.renderer.surfaceMode = gl::SurfaceMode::Checkerboard;
        scene.Draw();
        // 5 mm checks from the projector origin; cells left of it are counted
        // with a floored remainder.
        EXPECT_TRUE(Near(view.At(2.5f, 2.5f), Stored(kLight, kTop), 1)) << view.At(2.5f, 2.5f);
        EXPECT_TRUE(Near(view.At(7.5f, 2.5f), Stored(kDark, kTop), 1)) << view.At(7.5f, 2.5f);
        EXPECT_TRUE(Near(view.At(-2.5f, 2.5f), Stored(kDark, kTop), 1)) << view.At(-2.5f, 2.5f);
        EXPECT_TRUE(Near(view.At(-2.5f, -2.5f), Stored(kLight, kTop), 1)) << view.At(-2.5f, -2.5f);

        scene.renderer.checkerMillimetres = 2.0f;
        scene.Draw();
        EXPECT_TRUE(Near(view.At(3.0f, 1.0f), Stored(kDark, kTop), 1)) << view.At(3.0f, 1.0f);

        // A check size of 0 is a 0.0001 mm checkerboard: each pixel is one
        // check or the other, never a broken value.
        scene.renderer.checkerMillimetres = 0.0f;
        scene.Draw();
        for (float x = -8.0f; x <= 8.0f; x += 1.3f) {
            const Rgb c = view.At(x, 0.7f * x);
            EXPECT_TRUE(Near(c, Stored(kLight, kTop), 1) || Near(c, Stored(kDark, kTop), 1)) << c;
        }
    }
    {
        // Half the weight: halfway between the part colour and the check.
        CubeFromAbove view(scene, 0.5f);
        scene.renderer.checkerMillimetres = 5.0f;
        scene.Draw();
        EXPECT_TRUE(Near(view.At(7.5f, 2.5f), Stored(Mix(kPart, kDark, 0.5f), kTop), 1)) << view.At(7.5f, 2.5f);
        // Plain ignores the texture altogether.
        scene.renderer.surfaceMode = gl::SurfaceMode::Plain;
        scene.Draw();
        EXPECT_TRUE(Near(view.At(7.5f, 2.5f), Stored(kPart, kTop), 1));
    }
}

TEST(RendererSurfaceModes, MaskVolumesFadeTheTextureOut) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    CubeFromAbove view(scene);
    scene.renderer.surfaceMode = gl::SurfaceMode::Checkerboard;
    mesh::MaskVolume box;
    box.center = {5.0f, 5.0f, 10.0f};
    box.size = {6.0f, 6.0f, 6.0f};
    box.featherMillimetres = 2.0f;
    mesh::MaskVolume cylinder;
    cylinder.shape = mesh::MaskShape::Cylinder;
    cylinder.center = {-5.0f, -4.0f, 10.0f};
    cylinder.rotationDegrees = {90.0f, 0.0f, 0.0f};  // its axis along y
    cylinder.size = {4.0f, 4.0f, 20.0f};             // 20 mm long along its own z
    scene.renderer.masks = {box, cylinder};
    scene.Draw();

    // Inside the box: no texture. 1 mm outside it, half the feather: the
    // smoothstep gives 1 - (0.25 x 2) = 0.5 inside, so half the weight.
    EXPECT_TRUE(Near(view.At(5.0f, 5.0f), Stored(kPart, kTop), 1)) << view.At(5.0f, 5.0f);
    // (9, 4.5) lies on a dark check, (9.5, -2.5) on a light one.
    EXPECT_TRUE(Near(view.At(9.0f, 4.5f), Stored(Mix(kPart, kDark, 0.5f), kTop), 1)) << view.At(9.0f, 4.5f);
    EXPECT_TRUE(Near(view.At(9.5f, -2.5f), Stored(kLight, kTop), 1)) << view.At(9.5f, -2.5f);
    // The turned cylinder runs along y from -14 to 6, 4 mm across x.
    EXPECT_TRUE(Near(view.At(-5.0f, 5.5f), Stored(kPart, kTop), 1)) << view.At(-5.0f, 5.5f);
    EXPECT_TRUE(Near(view.At(-5.0f, 8.5f), Stored(kLight, kTop), 1)) << view.At(-5.0f, 8.5f);
    EXPECT_TRUE(Near(view.At(-5.0f, -8.0f), Stored(kPart, kTop), 1)) << view.At(-5.0f, -8.0f);
    EXPECT_TRUE(Near(view.At(-8.5f, -8.0f), Stored(kLight, kTop), 1)) << view.At(-8.5f, -8.0f);

    // Everywhere else the mirror of the program agrees.
    std::vector<gl::MaskUniform> masks{gl::MaskUniformFrom(box), gl::MaskUniformFrom(cylinder)};
    for (float x = -8.95f; x <= 9.0f; x += 0.9f) {
        const float y = 0.45f * x + 3.3f;
        const float weight = gl::MaskFactor(masks, {x, y, 10.0f});
        const float cx = std::floor(x / 5.0f), cy = std::floor(y / 5.0f);
        const float dark = cx + cy - 2.0f * std::floor((cx + cy) / 2.0f);
        const Rgb expected = Stored(Mix(kPart, Mix(kLight, kDark, dark), weight), kTop);
        EXPECT_TRUE(Near(view.At(x, y), expected, 2)) << x << ", " << y << ": " << view.At(x, y) << " " << expected;
    }
}

TEST(RendererSurfaceModes, BoxMappingBlendsItsSidesPerPixel) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    CubeFromAbove view(scene);
    scene.renderer.surfaceMode = gl::SurfaceMode::Checkerboard;
    gl::MappingState& m = scene.renderer.mapping;
    m.blend = true;
    m.layerOrigin[4] = {2.5f, 0.0f};
    scene.Draw();
    // The top takes side +Z alone, shifted by its layer origin: (1, 1) lies
    // in cell (-1, 0) of that side, a dark check; without the blend it would
    // be light.
    EXPECT_TRUE(Near(view.At(1.0f, 1.0f), Stored(kDark, kTop), 1)) << view.At(1.0f, 1.0f);
    EXPECT_TRUE(Near(view.At(3.0f, 1.0f), Stored(kLight, kTop), 1)) << view.At(3.0f, 1.0f);

    // Turned and zoomed: the mirror of the program decides.
    m.layerTurn[4] = 0.6f;
    m.layerZoom[4] = 0.7f;
    scene.Draw();
    for (float x = -8.95f; x <= 9.0f; x += 0.8f) {
        const mesh::Vec3f p{x, -0.6f * x + 1.0f, 10.0f};
        std::array<gl::BlendContribution, 3> parts;
        ASSERT_EQ(gl::BlendContributions(m, p, {0.0f, 0.0f, 1.0f}, parts), 1);
        const float cx = std::floor(parts[0].mm[0] / 5.0f), cy = std::floor(parts[0].mm[1] / 5.0f);
        const float dark = cx + cy - 2.0f * std::floor((cx + cy) / 2.0f);
        const Rgb expected = Stored(Mix(kLight, kDark, dark), kTop);
        EXPECT_TRUE(Near(view.At(p.x, p.y), expected, 2)) << x << ": " << view.At(p.x, p.y) << " " << expected;
    }

    // With the +Z side switched off nothing contributes and the corner's own
    // millimetres are used again.
    m.sideEnabled[4] = 0;
    scene.Draw();
    EXPECT_TRUE(Near(view.At(1.0f, 1.0f), Stored(kLight, kTop), 1)) << view.At(1.0f, 1.0f);
}

TEST(RendererSurfaceModes, BlendedSphereSidesShowTheHeightMap) {
    GlScene scene;
    ASSERT_TRUE(scene.Start());
    CubeFromAbove view(scene);
    mesh::HeightMap map;
    mesh::TextureSettings settings;
    settings.widthMillimetres = 5.0f;
    settings.heightMillimetres = 3.0f;
    map.SetSettings(settings);
    map.SetImage(3, 2, {0.1f, 0.8f, 0.4f, 1.0f, 0.0f, 0.6f});
    ASSERT_TRUE(scene.renderer.UploadHeightMapTexture(map));
    scene.renderer.surfaceMode = gl::SurfaceMode::HeightMap;
    gl::MappingState& m = scene.renderer.mapping;
    m.blend = true;
    m.sphere = true;
    m.sphereRadius = 12.0f;
    m.cageCenter = {1.0f, -2.0f, 0.0f};
    for (int side = 0; side < 6; ++side) {
        const mesh::BoxSideFrameData frame = mesh::BoxSideFrame(side, 2);
        m.faceU[side] = frame.uAxis;
        m.faceV[side] = frame.vAxis;
        m.faceN[side] = frame.normal;
        m.faceTurn[side] = frame.azimuthRadians;
    }
    m.layerZoom[4] = 1.5f;
    scene.Draw();
    const gl::HeightMapUniforms u = gl::HeightMapUniformsFrom(map.settings);
    int compared = 0;
    for (float x = -8.95f; x <= 9.0f; x += 0.7f) {
        const mesh::Vec3f p{x, 0.8f * x - 1.3f, 10.0f};
        std::array<gl::BlendContribution, 3> parts;
        const int count = gl::BlendContributions(m, p, {0.0f, 0.0f, 1.0f}, parts);
        ASSERT_EQ(count, 1);
        const float height = gl::HeightAt(map.pixels, map.width, map.height, u, parts[0].mm[0], parts[0].mm[1]);
        const Rgb pixel = view.At(p.x, p.y);
        // Far from the pixel centre the height can move by a step or so.
        EXPECT_NEAR(pixel.g, height * kTop * 255.0f, 3.0f) << x;
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

}  // namespace
}  // namespace ridgeforge::testing
