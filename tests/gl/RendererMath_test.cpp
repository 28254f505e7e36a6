// What needs no context: camera arithmetic, scene bounds and the grid, the
// corner expansion of the part, the shader's arithmetic in its C++ mirror
// (checked against the relief's own sampler), the source splice and the
// entry-point loader with a made-up driver.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <vector>
#include <string>

#include "gl/CameraMath.h"
#include "gl/CornerExpansion.h"
#include "gl/GlFunctions.h"
#include "gl/MeshShaderSource.h"
#include "gl/Renderer.h"
#include "gl/SceneGeometry.h"
#include "gl/ShaderMirror.h"
#include "textures/HeightMap.h"
#include "textures/WrapFold.h"

namespace ridgeforge::gl {
namespace {

constexpr float kEps = 1e-4f;

void ExpectNear(const mesh::Vec3f& a, const mesh::Vec3f& b, float eps = kEps) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(CameraMath, OrbitWrapsYawClampsPitchAndTurnsAroundTheSceneCentre) {
    Renderer r;
    EXPECT_EQ(r.yawDegrees, -135.0f);
    EXPECT_EQ(r.pitchDegrees, 45.0f);
    EXPECT_EQ(r.distance, 5.2f);
    r.Orbit(-225.0f, 0.0f);
    EXPECT_NEAR(r.yawDegrees, 45.0f, kEps);
    r.yawDegrees = -135.0f;
    r.Orbit(300.0f, 0.0f);
    EXPECT_NEAR(r.yawDegrees, -15.0f, kEps);  // -375 wrapped
    r.Orbit(0.0f, 1000.0f);
    EXPECT_EQ(r.pitchDegrees, 89.5f);
    r.Orbit(0.0f, -1000.0f);
    EXPECT_EQ(r.pitchDegrees, -89.5f);
    const CameraAxes steep = Renderer::CameraBasis(0.0f, 89.5f);
    EXPECT_NEAR(mesh::Length(steep.right), 1.0f, kEps);
    EXPECT_NEAR(mesh::Length(steep.up), 1.0f, kEps);

    // Target on the centre: it stays. After a pan it circles the centre.
    r.sceneCentre = {3.0f, -2.0f, 1.0f};
    r.target = r.sceneCentre;
    r.Orbit(40.0f, 10.0f);
    ExpectNear(r.target, r.sceneCentre);
    r.viewportHeight = 600;
    r.Pan(120.0f, -30.0f);
    const float offset = mesh::Length(r.target - r.sceneCentre);
    EXPECT_NEAR(offset, r.distance * 1.5f / 600.0f * std::hypot(120.0f, 30.0f), 1e-3f);
    const mesh::Vec3f before = r.target;
    r.Orbit(90.0f, 0.0f);
    EXPECT_NEAR(mesh::Length(r.target - r.sceneCentre), offset, 1e-3f);
    EXPECT_GT(mesh::Length(r.target - before), 0.1f * offset);
    // SetViewAngles wraps and clamps the same way.
    r.SetViewAngles(530.0f, 100.0f);
    EXPECT_NEAR(r.yawDegrees, 170.0f, kEps);
    EXPECT_EQ(r.pitchDegrees, 89.5f);
}

TEST(CameraMath, BasisEyeZoomAndDepthRange) {
    // Yaw 0, pitch 0: the eye on +X of the target looking along -X.
    const CameraAxes flat = CameraBasis(0.0f, 0.0f);
    ExpectNear(flat.forward, {-1.0f, 0.0f, 0.0f});
    ExpectNear(flat.right, {0.0f, 1.0f, 0.0f});
    ExpectNear(flat.up, {0.0f, 0.0f, 1.0f});
    ExpectNear(EyeFrom({1.0f, 2.0f, 3.0f}, 10.0f, 90.0f, 0.0f), {1.0f, 12.0f, 3.0f});

    Renderer r;
    r.sceneRadius = 2.0f;
    r.distance = 10.0f;
    r.target = {0.0f, 0.0f, 0.0f};
    const mesh::Vec3f cursor{1.0f, 1.0f, 0.0f};
    r.ZoomAt(1.0f, cursor);
    EXPECT_NEAR(r.distance, 8.6f, kEps);
    ExpectNear(r.target, cursor + (mesh::Vec3f{} - cursor) * 0.86f);
    r.ZoomAt(200.0f, cursor);
    EXPECT_NEAR(r.distance, 0.01f, 1e-6f);  // 0.005 x radius
    r.ZoomAt(-400.0f, cursor);
    EXPECT_NEAR(r.distance, 70.0f, 1e-3f);  // 35 x radius

    // Eye well inside the scene: near stays at its floor.
    const DepthPlanes inside = ComputeDepthRange({0.5f, 0.0f, 0.0f}, {}, 50.0f, 5.0f, 0.5f);
    EXPECT_NEAR(inside.farPlane, 150.5f, 1e-3f);
    EXPECT_NEAR(inside.nearPlane, std::min(0.1505f, 0.005f), 1e-6f);
    // Far outside: near moves out to the scene.
    const DepthPlanes outside = ComputeDepthRange({1000.0f, 0.0f, 0.0f}, {}, 1.0f, 5.0f, 1000.0f);
    EXPECT_NEAR(outside.nearPlane, 985.0f, 1e-2f);
    EXPECT_NEAR(outside.farPlane, 1015.0f, 1e-2f);

    const std::array<float, 2> corner = PixelCentreNdc(0, 0, 100, 100);
    EXPECT_NEAR(corner[0], -0.99f, 1e-6f);
    EXPECT_NEAR(corner[1], 0.99f, 1e-6f);
    const std::array<float, 2> last = PixelCentreNdc(199, 49, 200, 50);
    EXPECT_NEAR(last[0], 0.995f, 1e-6f);
    EXPECT_NEAR(last[1], -0.98f, 1e-6f);
    // Without a context there is no ray.
    mesh::Vec3f origin, direction;
    EXPECT_FALSE(r.ScreenRay(0, 0, origin, direction));
}

TEST(CameraMath, MatricesPlaceTheTargetInTheMiddle) {
    const Matrix4 view = LookAt({0.0f, -10.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
    const Matrix4 projection = PerspectiveMatrix(2.0f, 1.0f, 100.0f);
    const Matrix4 mvp = MultiplyMatrices(projection, view);
    const auto clip = [&](const mesh::Vec3f& p) {
        std::array<float, 4> out{};
        for (int row = 0; row < 4; ++row)
            out[row] = mvp[row] * p.x + mvp[4 + row] * p.y + mvp[8 + row] * p.z + mvp[12 + row];
        return out;
    };
    const std::array<float, 4> centre = clip({0.0f, 0.0f, 0.0f});
    EXPECT_NEAR(centre[0] / centre[3], 0.0f, kEps);
    EXPECT_NEAR(centre[1] / centre[3], 0.0f, kEps);
    // A point at the top edge of a 45-degree view, 10 mm away.
    const std::array<float, 4> top = clip({0.0f, 0.0f, 10.0f * kHalfFieldTangent});
    EXPECT_NEAR(top[1] / top[3], 1.0f, kEps);
    // x to the right, at half the aspect.
    const std::array<float, 4> right = clip({10.0f * kHalfFieldTangent, 0.0f, 0.0f});
    EXPECT_NEAR(right[0] / right[3], 0.5f, kEps);
    // The near and far planes map to -1 and 1.
    const std::array<float, 4> nearPoint = clip({0.0f, -9.0f, 0.0f});
    EXPECT_NEAR(nearPoint[2] / nearPoint[3], -1.0f, kEps);
    const Matrix4 ortho = OrthographicMatrix(1.0f, 10.0f, -5.0f, 20.0f);
    EXPECT_NEAR(ortho[5], 1.0f / (10.0f * kHalfFieldTangent), kEps);
    EXPECT_NEAR(ortho[10], -2.0f / 25.0f, kEps);
}

TEST(SceneGeometry, BoundsAndGridSteps) {
    struct Case {
        float half, step;
        int lines;
        float covered;
    };
    for (const Case& c : {Case{5.0f, 1.0f, 5, 5.0f}, Case{12.0f, 2.0f, 6, 12.0f}, Case{100.0f, 20.0f, 5, 100.0f},
                          Case{7.6f, 2.0f, 4, 8.0f}, Case{0.375f, 0.1f, 4, 0.4f}}) {
        const GridLayout g = ComputeGrid(c.half);
        EXPECT_NEAR(g.step, c.step, c.step * 1e-5f) << c.half;
        EXPECT_EQ(g.lines, c.lines) << c.half;
        EXPECT_NEAR(g.halfSize, c.covered, c.covered * 1e-5f) << c.half;
    }
    SceneBounds defaults;
    defaults.gridHalfSize = 5.0f;
    const std::vector<MeshVertex> guides = BuildGuideLines(defaults, ComputeGrid(5.0f));
    EXPECT_EQ(guides.size(), 4u * 11u + 6u);  // 11 lines each way, three axes
    EXPECT_EQ(guides.back().colour[2], 0.95f);
    EXPECT_EQ(guides.back().position[2], -1.001f + 0.33f * 5.0f);

    // One point: the smallest radius, and a grid that still has lines.
    mesh::TriangleMesh point;
    point.vertices = {{{3.0f, 4.0f, 5.0f}, {}}, {{3.0f, 4.0f, 5.0f}, {}}, {{3.0f, 4.0f, 5.0f}, {}}};
    point.indices = {0, 1, 2};
    const SceneBounds b = ComputeSceneBounds(point);
    EXPECT_EQ(b.radius, 0.0001f);
    EXPECT_NEAR(b.gridHalfSize, 0.00005f, 1e-9f);
    const GridLayout tiny = ComputeGrid(b.gridHalfSize);
    EXPECT_NEAR(tiny.step, 0.00002f, 1e-9f);
    EXPECT_EQ(tiny.lines, 3);

    // A part 3e38 mm across: its half diagonal overflows a float. The scene
    // is framed as the largest one, with a grid of finite lines.
    mesh::TriangleMesh huge;
    huge.vertices = {
        {{-1.5e38f, -1.5e38f, -1.5e38f}, {}}, {{1.5e38f, -1.5e38f, 1.5e38f}, {}}, {{1.5e38f, 1.5e38f, 1.5e38f}, {}}};
    huge.indices = {0, 1, 2};
    const SceneBounds far = ComputeSceneBounds(huge);
    EXPECT_EQ(far.radius, 1e37f);
    EXPECT_FLOAT_EQ(far.gridHalfSize, 2.25e38f);
    const GridLayout wide = ComputeGrid(far.gridHalfSize);
    EXPECT_NEAR(wide.step, 5e37f, 5e32f);
    EXPECT_EQ(wide.lines, 5);
    const GridLayout endless = ComputeGrid(std::numeric_limits<float>::infinity());
    EXPECT_GE(endless.lines, 1);
    EXPECT_LE(endless.lines, 200);
    EXPECT_TRUE(std::isfinite(endless.step) && std::isfinite(endless.halfSize));

    // Bounds from the positions when the stored ones are not valid; the
    // stored ones when they are.
    mesh::TriangleMesh part;
    part.vertices = {{{-2.0f, 1.0f, 3.0f}, {}}, {{6.0f, 1.0f, 3.0f}, {}}, {{0.0f, 7.0f, 9.0f}, {}}};
    part.indices = {0, 1, 2};
    const SceneBounds fromPoints = ComputeSceneBounds(part);
    ExpectNear(fromPoints.centre, {2.0f, 4.0f, 6.0f});
    EXPECT_NEAR(fromPoints.radius, 0.5f * std::sqrt(64.0f + 36.0f + 36.0f), kEps);
    EXPECT_NEAR(fromPoints.gridHalfSize, 6.0f, kEps);  // 0.75 x 8
    EXPECT_EQ(fromPoints.floorHeight, 3.0f);
    part.boundsMin = {-10.0f, -10.0f, -10.0f};
    part.boundsMax = {10.0f, 10.0f, 0.0f};
    part.boundsValid = true;
    EXPECT_EQ(ComputeSceneBounds(part).floorHeight, -10.0f);
    EXPECT_NEAR(FramingDistance(1.0f), 3.005f, 1e-3f);
}

TEST(CornerExpansion, OneVertexPerCornerWithItsFallbacks) {
    mesh::TriangleMesh m;
    m.vertices = {{{0, 0, 0}, {0, 0, 2}}, {{4, 0, 0}, {0, 0, 0}}, {{0, 3, 0}, {1, 0, 0}}, {{0, 0, 5}, {0, 1, 0}}};
    m.indices = {0, 1, 2, 0, 3, 1};
    ProjectedCoordinates c;
    c.triangleColours = {{0.1f, 0.2f, 0.3f}};
    c.vertexUv = {{10, 11}, {12, 13}, {14, 15}};
    c.cornerUv = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    c.vertexMask = {0.25f, 0.5f};
    c.cornerMask = {0.9f};
    const std::vector<MeshVertex> v = ExpandCorners(m, &c);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[4].position[2], 5.0f);
    // Face normals: +Z, then +Y ((0, 0, 5) x (4, 0, 0)).
    EXPECT_EQ(v[0].faceNormal[2], 1.0f);
    EXPECT_NEAR(v[3].faceNormal[1], 1.0f, kEps);
    // A zero vertex normal gives way to the face normal; others pass as they are.
    EXPECT_EQ(v[1].smoothNormal[2], 1.0f);
    EXPECT_EQ(v[0].smoothNormal[2], 2.0f);
    EXPECT_EQ(v[2].smoothNormal[0], 1.0f);
    // The first triangle's colour is given, the second falls back.
    EXPECT_EQ(v[2].colour[1], 0.2f);
    EXPECT_EQ(v[5].colour[0], 0.7f);
    EXPECT_EQ(v[5].colour[2], 0.78f);

    const std::vector<ProjectionRecord> p = BuildProjectionRecords(m, &c);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[3].u, 7.0f);   // corner list
    EXPECT_EQ(p[5].u, 12.0f);  // vertex 1's own
    EXPECT_EQ(p[4].u, 0.0f);   // vertex 3 is past the vertex list
    EXPECT_EQ(p[4].v, 0.0f);
    EXPECT_EQ(p[0].mask, 0.9f);
    EXPECT_EQ(p[1].mask, 0.5f);
    EXPECT_EQ(p[3].mask, 0.25f);
    EXPECT_EQ(p[4].mask, 0.0f);
    for (const ProjectionRecord& r : BuildProjectionRecords(m, nullptr)) EXPECT_EQ(r.u + r.v + r.mask, 0.0f);
}

TEST(CornerExpansion, EveryChunkOfALargePartGetsItsOwnCornersAndFallbacks) {
    // 20,000 triangles, three chunks of 8,192; each optional list ends
    // inside a different chunk, so every chunk meets a list's end or its
    // fallback, and the last chunk is a short one.
    mesh::TriangleMesh m;
    constexpr std::uint32_t kTriangles = 20000;
    for (std::uint32_t v = 0; v < kTriangles + 2; ++v) {
        const auto x = static_cast<float>(v);
        m.vertices.push_back({{x, x * x * 0.001f, (v % 7 == 0) ? 1.0f : 0.0f}, {0, 0, v % 3 == 0 ? 0.0f : 1.0f}});
    }
    for (std::uint32_t t = 0; t < kTriangles; ++t) m.indices.insert(m.indices.end(), {t, t + 2, t + 1});
    ProjectedCoordinates c;
    for (std::uint32_t t = 0; t < 17000; ++t) c.triangleColours.push_back({0.001f * static_cast<float>(t % 997), 0, 0});
    for (std::uint32_t v = 0; v < 19000; ++v) c.vertexUv.push_back({static_cast<float>(v), -1.0f});
    for (std::uint32_t i = 0; i < 30000; ++i) c.cornerUv.push_back({-1.0f, static_cast<float>(i)});
    for (std::uint32_t v = 0; v < kTriangles + 2; ++v) c.vertexMask.push_back(0.5f + 0.00001f * static_cast<float>(v));
    for (std::uint32_t i = 0; i < 9000; ++i) c.cornerMask.push_back(0.25f);

    const std::vector<MeshVertex> expanded = ExpandCorners(m, &c);
    const std::vector<ProjectionRecord> records = BuildProjectionRecords(m, &c);
    ASSERT_EQ(expanded.size(), 3u * kTriangles);
    ASSERT_EQ(records.size(), 3u * kTriangles);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < 3u * kTriangles; ++i) {
        const std::size_t t = i / 3;
        const mesh::Vertex& source = m.vertices[m.indices[i]];
        const MeshVertex& got = expanded[i];
        const mesh::Vec3f face = m.FaceNormal(t);
        const mesh::Vec3f smooth = source.normal.z != 0.0f ? source.normal : face;
        const mesh::Vec3f colour = t < 17000 ? c.triangleColours[t] : kPartColour;
        bool same = got.position[0] == source.position.x && got.position[1] == source.position.y &&
                    got.position[2] == source.position.z && got.faceNormal[0] == face.x &&
                    got.faceNormal[2] == face.z && got.smoothNormal[2] == smooth.z &&
                    got.smoothNormal[0] == smooth.x && got.colour[0] == colour.x && got.colour[2] == colour.z;
        const std::uint32_t v = m.indices[i];
        const float u = i < 30000 ? -1.0f : v < 19000 ? static_cast<float>(v) : 0.0f;
        const float w = i < 30000 ? static_cast<float>(i) : v < 19000 ? -1.0f : 0.0f;
        const float mask = i < 9000 ? 0.25f : c.vertexMask[v];
        same = same && records[i].u == u && records[i].v == w && records[i].mask == mask;
        if (!same && wrong++ == 0) ADD_FAILURE() << "first wrong corner " << i;
    }
    EXPECT_EQ(wrong, 0u);
}

TEST(ShaderMirror, WrapAndLevelsFollowTheReliefRules) {
    EXPECT_EQ(WrapIndex(-1.0f, 4.0f, 1), 0);
    EXPECT_EQ(WrapIndex(4.0f, 4.0f, 1), 3);
    EXPECT_EQ(WrapIndex(7.0f, 4.0f, 1), 0);
    EXPECT_EQ(WrapIndex(-1.0f, 4.0f, 0), 3);
    EXPECT_EQ(WrapIndex(-9.0f, 4.0f, 0), 3);
    EXPECT_EQ(WrapIndex(-1.0f, 4.0f, 2), 0);
    EXPECT_EQ(WrapIndex(9.0f, 4.0f, 2), 3);
    for (int mode = 0; mode < 3; ++mode)
        for (int i = -23; i <= 23; ++i)
            EXPECT_EQ(WrapIndex(static_cast<float>(i), 5.0f, mode),
                      mesh::FoldIndex(i, 5, static_cast<mesh::WrapMode>(mode)))
                << mode << " " << i;

    HeightMapUniforms u;
    u.blackLevel = 0.4f;
    u.whiteLevel = 0.4f;
    EXPECT_EQ(ApplyLevels(0.39f, u), 0.0f);  // a threshold at white, no division
    EXPECT_EQ(ApplyLevels(0.4f, u), 1.0f);
    u = HeightMapUniforms{};
    for (const float gamma : {1.0f, 0.0f, -2.0f}) {
        u.gamma = gamma;
        EXPECT_EQ(ApplyLevels(0.3f, u), 0.3f);
    }
    u.gamma = 2.0f;
    u.outputBlack = 0.2f;
    u.outputWhite = 0.6f;
    u.invert = true;
    EXPECT_NEAR(ApplyLevels(0.5f, u), 1.0f - (0.2f + 0.25f * 0.4f), 1e-6f);
}

TEST(ShaderMirror, HeightAtMatchesTheReliefSamplerEverywhere) {
    mesh::HeightMap map;
    mesh::TextureSettings s;
    s.widthMillimetres = 6.0f;
    s.heightMillimetres = 0.0f;  // counts as 1
    s.offsetMillimetres[0] = -2.0f;
    s.offsetMillimetres[1] = 0.5f;
    s.rotationDegrees = -35.0f;
    s.blackLevel = 0.2f;
    s.whiteLevel = 0.7f;
    s.gamma = 0.6f;
    map.SetSettings(s);
    map.SetImage(4, 3, {0.1f, 0.7f, 0.3f, 0.9f, 0.0f, 0.5f, 0.8f, 0.2f, 0.6f, 0.4f, 1.0f, 0.05f});
    for (const mesh::WrapMode wrap : {mesh::WrapMode::Repeat, mesh::WrapMode::Mirror, mesh::WrapMode::Clamp}) {
        s.wrap = wrap;
        map.SetSettings(s);
        const HeightMapUniforms u = HeightMapUniformsFrom(map.settings);
        for (float x = -31.3f; x < 30.0f; x += 1.7f)
            for (float y = -7.9f; y < 8.0f; y += 0.61f) {
                const mesh::TileCoordinates tile = map.settings.MapToTile(x, y);
                EXPECT_NEAR(HeightAt(map.pixels, map.width, map.height, u, x, y),
                            map.ApplyLevels(map.SampleBilinear(tile.u, tile.v)), 2e-5f)
                    << static_cast<int>(wrap) << " at " << x << ", " << y;
            }
    }
    // No texels: the levels of 0.
    EXPECT_EQ(HeightAt({}, 0, 0, HeightMapUniforms{}, 1.0f, 1.0f), 0.0f);
}

TEST(ShaderMirror, MaskFactorAndBlendContributions) {
    mesh::MaskVolume ball;
    ball.shape = mesh::MaskShape::Sphere;
    ball.center = {1.0f, 2.0f, 3.0f};
    ball.size = {4.0f, 4.0f, 8.0f};
    const MaskUniform m = MaskUniformFrom(ball);
    EXPECT_EQ(MaskInside(m, {3.0f, 2.0f, 3.0f}), 1.0f);   // on the surface counts as inside
    EXPECT_EQ(MaskInside(m, {1.0f, 2.0f, 6.9f}), 1.0f);   // stretched along z
    EXPECT_EQ(MaskInside(m, {3.01f, 2.0f, 3.0f}), 0.0f);  // feather 0: a hard edge
    ball.featherMillimetres = 1.0f;
    EXPECT_NEAR(MaskInside(MaskUniformFrom(ball), {3.5f, 2.0f, 3.0f}), 0.5f, 1e-5f);
    mesh::MaskVolume flat;  // a box of no thickness still has 0.001 mm
    flat.size = {2.0f, 2.0f, 0.0f};
    EXPECT_NEAR(MaskUniformFrom(flat).half.z, 0.0005f, 1e-9f);
    EXPECT_EQ(MaskFactor({MaskUniformFrom(flat)}, {0.5f, 0.5f, 0.0f}), 0.0f);
    EXPECT_EQ(MaskFactor({MaskUniformFrom(flat)}, {0.5f, 0.5f, 0.1f}), 1.0f);

    MappingState state;
    std::array<BlendContribution, 3> parts;
    // A normal between +X and -Y: two sides, equal weights.
    ASSERT_EQ(BlendContributions(state, {2.0f, -3.0f, 1.0f}, {1.0f, -1.0f, 0.0f}, parts), 2);
    EXPECT_NEAR(parts[0].weight, 0.5f, 1e-6f);
    EXPECT_NEAR(parts[1].weight, 0.5f, 1e-6f);
    EXPECT_EQ(parts[0].mm, (std::array<float, 2>{-3.0f, 1.0f}));  // +X: (y, z)
    EXPECT_EQ(parts[1].mm, (std::array<float, 2>{-2.0f, 1.0f}));  // -Y: (-x, z)
    // Sharpness is at least 0.1: a tilted normal keeps weights near each other.
    state.blendSharpness = 0.0f;
    ASSERT_EQ(BlendContributions(state, {}, {3.0f, 0.0f, 1.0f}, parts), 2);
    const float wx = std::pow(3.0f / std::sqrt(10.0f), 0.1f), wz = std::pow(1.0f / std::sqrt(10.0f), 0.1f);
    EXPECT_NEAR(parts[0].weight, wx / (wx + wz), 1e-5f);
    // A side turned off gives nothing; a zero normal gives nothing.
    state.sideEnabled[0] = 0;
    ASSERT_EQ(BlendContributions(state, {}, {3.0f, 0.0f, 1.0f}, parts), 1);
    EXPECT_EQ(parts[0].weight, 1.0f);
    EXPECT_EQ(BlendContributions(state, {}, {0.0f, 0.0f, 0.0f}, parts), 0);
    // Layer origin, turn and a zoom of 0 (counted as 1).
    state.layerOrigin[4] = {1.0f, 1.0f};
    state.layerTurn[4] = 3.1415927f / 2.0f;
    state.layerZoom[4] = 0.0f;
    const std::array<float, 2> turned = SideMillimetres(state, 4, {3.0f, 1.0f, 0.0f});
    EXPECT_NEAR(turned[0], 0.0f, 1e-5f);
    EXPECT_NEAR(turned[1], -2.0f, 1e-5f);
    state.sphere = true;
    state.sphereRadius = 2.0f;
    state.faceU[0] = {0.0f, 1.0f, 0.0f};
    state.faceV[0] = {0.0f, 0.0f, 1.0f};
    state.faceN[0] = {1.0f, 0.0f, 0.0f};
    state.faceTurn[0] = 0.5f;
    const std::array<float, 2> sphere = SideMillimetres(state, 0, {1.0f, 1.0f, 0.0f});
    EXPECT_NEAR(sphere[0], 2.0f * (0.5f + 3.1415927f / 4.0f), 1e-5f);
    EXPECT_NEAR(sphere[1], 0.0f, 1e-6f);
}

TEST(MeshShaderSource, SharedBlocksReplaceTheMarker) {
    const std::string spliced = SpliceSharedBlocks(kMeshFragmentSource);
    EXPECT_EQ(spliced.find("//@SHARED@"), std::string::npos);
    EXPECT_EQ(spliced.size(), std::string(kMeshFragmentSource).size() - 10 + std::string(kHeightMapBlock).size() +
                                  std::string(kCageBlock).size());
    EXPECT_LT(spliced.find("float HeightAt"), spliced.find("int BlendContributions"));
    EXPECT_LT(spliced.find("int BlendContributions"), spliced.find("void main"));
    EXPECT_EQ(SpliceSharedBlocks("no marker"), "no marker");
}

// A driver that answers for every name but the ones it is told to lack.
struct FakeDriver {
    std::set<std::string> lacks;
    std::vector<std::string> asked;
};

GlProc FakeLookUp(const char* name, void* data) {
    auto* driver = static_cast<FakeDriver*>(data);
    driver->asked.push_back(name);
    static char slots[64];
    if (driver->lacks.count(name) != 0) return nullptr;
    return reinterpret_cast<GlProc>(&slots[driver->asked.size() % 64]);
}

TEST(GlFunctions, LoadsInOrderAndNamesTheFirstMissingEntryPoint) {
    FakeDriver full;
    GlFunctions table;
    std::string error = "untouched";
    ASSERT_TRUE(LoadGlFunctions(table, &FakeLookUp, &full, error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(full.asked.size(), 42u);
    EXPECT_EQ(full.asked.front(), "glGenVertexArrays");
    EXPECT_EQ(full.asked[15], "glGenQueries");
    EXPECT_EQ(full.asked.back(), "glDeleteFramebuffers");
    const auto* slots = reinterpret_cast<void* const*>(&table);
    for (int i = 0; i < kGlFunctionCount; ++i) EXPECT_NE(slots[i], nullptr) << i;
    EXPECT_TRUE(table.HasTimerQueries());

    FakeDriver noTimers;
    noTimers.lacks = {"glGenQueries", "glGetQueryObjectui64v"};
    ASSERT_TRUE(LoadGlFunctions(table, &FakeLookUp, &noTimers, error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(table.glGenQueries, nullptr);
    EXPECT_NE(table.glBeginQuery, nullptr);
    EXPECT_FALSE(table.HasTimerQueries());

    FakeDriver broken;
    broken.lacks = {"glBufferSubData", "glUseProgram"};
    EXPECT_FALSE(LoadGlFunctions(table, &FakeLookUp, &broken, error));
    EXPECT_EQ(error, "OpenGL driver does not provide glBufferSubData.");
    EXPECT_EQ(broken.asked.back(), "glBufferSubData");
    EXPECT_EQ(table.glDeleteBuffers, nullptr);

    FakeDriver late;
    late.lacks = {"glDeleteFramebuffers"};
    EXPECT_FALSE(LoadGlFunctions(table, &FakeLookUp, &late, error));
    EXPECT_EQ(error, "OpenGL driver does not provide glDeleteFramebuffers.");
}

}  // namespace
}  // namespace ridgeforge::gl
