#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "mesh/ParallelChunks.h"
#include "relief/mapping/CageFrame.h"
#include "relief/mapping/ProjectToTexture.h"
#include "relief/mapping/ProjectorOverlay.h"
#include "relief/mapping/SideExtent.h"
#include "relief/mapping/WholeTiles.h"

namespace ridgeforge::mesh {
namespace {

constexpr float kEps = 1e-5f;

void ExpectNear(const Vec3f& a, const Vec3f& b, float eps = kEps) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

Projection Cube(ProjectionType type, float size) {
    Projection p;
    p.type = type;
    p.cage.size = {size, size, size};
    return p;
}

TEST(ProjectionGeometry, CageRotationOrderCornersAndReadBack) {
    ExpectNear(RotationFromDegrees({0, 90, 0}).x, {0, 0, -1});
    // Rz(90) * Rx(90): x goes to y, y to z, z to x.
    const RotationAxes r = RotationFromDegrees({90, 0, 90});
    ExpectNear(r.x, {0, 1, 0});
    ExpectNear(r.y, {0, 0, 1});
    ExpectNear(r.z, {1, 0, 0});

    ProjectionCage cage{{1, 2, 3}, {90, 0, 90}, {2, 4, 6}};
    ExpectNear(TransformByCage(cage, {0, 0, 5}), {0, 5, 0});
    ExpectNear(RotateByCage(cage, {0, 5, 0}), {0, 0, 5});
    const auto corners = CageCorners(ProjectionCage{{1, 2, 3}, {0, 0, 0}, {2, 4, 6}});
    ExpectNear(corners[0], {0, 0, 0});
    ExpectNear(corners[1], {2, 0, 0});
    ExpectNear(corners[2], {0, 4, 0});
    ExpectNear(corners[4], {0, 0, 6});
    ExpectNear(corners[7], {2, 4, 6});

    // Turning about the own z axis adds to c; an unknown axis changes nothing.
    ProjectionCage turned{{0, 0, 0}, {10, 20, 30}, {1, 1, 1}};
    DegreesFromRotation(turned, 3, 1.0f);
    ExpectNear(turned.rotationDegrees, {10, 20, 30}, 1e-6f);
    ProjectionCage plain;
    DegreesFromRotation(plain, 2, 0.5f);
    ExpectNear(plain.rotationDegrees, {0, 0, 0.5f * 180.0f / 3.1415927f}, 1e-4f);

    // At the pole (-X.z = 1) c is 0 and the turn goes into a = atan2(-Z.y, Y.y).
    ProjectionCage pole{{0, 0, 0}, {0, 90, 0}, {1, 1, 1}};
    DegreesFromRotation(pole, 0, 30.0f * 3.1415927f / 180.0f);
    EXPECT_NEAR(pole.rotationDegrees.x, 30.0f, 1e-3f);
    EXPECT_NEAR(pole.rotationDegrees.y, 90.0f, 1e-3f);
    EXPECT_EQ(pole.rotationDegrees.z, 0.0f);
    const RotationAxes back = RotationFromDegrees(pole.rotationDegrees);
    ExpectNear(back.y, {0.5f, 0.8660254f, 0}, 1e-4f);
    ExpectNear(back.z, {0.8660254f, -0.5f, 0}, 1e-4f);

    // Away from the pole a general turn reads back to a rotation with the same axes.
    ProjectionCage general{{0, 0, 0}, {25, -40, 70}, {1, 1, 1}};
    const RotationAxes before = RotationFromDegrees(general.rotationDegrees);
    DegreesFromRotation(general, 1, 0.3f);
    const RotationAxes after = RotationFromDegrees(general.rotationDegrees);
    // About y: z turns towards x.
    ExpectNear(after.y, before.y, 1e-5f);
    ExpectNear(after.z, before.z * std::cos(0.3f) + before.x * std::sin(0.3f), 1e-5f);
    ExpectNear(after.x, before.x * std::cos(0.3f) - before.z * std::sin(0.3f), 1e-5f);
}

TEST(ProjectionGeometry, SideFramesNamesAndRadius) {
    EXPECT_STREQ(BoxSideName(6), "?");
    EXPECT_STREQ(BoxSideName(-1), "?");
    EXPECT_STREQ(BoxSideName(3), "-Y");
    // Side 2 (+y) around z: u = z x y = -x, azimuth pi/2.
    const BoxSideFrameData f = BoxSideFrame(2, 2);
    ExpectNear(f.uAxis, {-1, 0, 0});
    ExpectNear(f.vAxis, {0, 0, 1});
    EXPECT_EQ(f.onAxis, 0);
    EXPECT_NEAR(f.azimuthRadians, 1.5707964f, kEps);
    // The -z side is a pole of z: its v axis points along its own direction.
    const BoxSideFrameData pole = BoxSideFrame(5, 2);
    EXPECT_EQ(pole.onAxis, 1);
    ExpectNear(pole.uAxis, {1, 0, 0});
    ExpectNear(pole.vAxis, {0, -1, 0});
    EXPECT_EQ(pole.azimuthRadians, 0.0f);
    EXPECT_EQ(BoxSideFrame(6, 2).onAxis, 0);
    ExpectNear(BoxSideFrame(6, 2).normal, {0, 0, 0});

    Projection p = Cube(ProjectionType::Cylinder, 1);
    p.cage.size = {100, 6, 8};
    p.cylinder.axis = Axis::X;
    EXPECT_EQ(CylinderRadius(p), 4.0f);
    p.cage.rotationDegrees = {0, 0, 90};
    ExpectNear(CageSideFrame(p, 4, {}), {0, 1, 0});
    ExpectNear(CageSideFrame(p, 5, {}), {0, -1, 0});
    // Radial: the part point (3, 7, 0) lies at local (7, -3, 0); across x that is (0, -3, 0) -> part (3, 0, 0).
    ExpectNear(CageSideFrame(p, 0, {3, 7, 0}), {1, 0, 0});
    p.cage.rotationDegrees = {0, 0, 0};
    ExpectNear(CageSideFrame(p, 0, {7, 0, 0}), {0, 0, 0});
    p.cage.rotationDegrees = {0, 0, 90};
    p.type = ProjectionType::Box;
    ExpectNear(CageSideFrame(p, 1, {}), {0, -1, 0});
    ExpectNear(CageSideFrame(p, 6, {}), {0, 0, 0});
    p.type = ProjectionType::Plane;
    ExpectNear(CageSideFrame(p, 1, {}), {0, 0, 1});
}

TEST(ProjectionGeometry, BoxSamplesChoiceBlendAndLayerTransform) {
    Projection p = Cube(ProjectionType::Box, 10);
    // Exactly between +x and +y: x wins the tie.
    ProjectionSamples s = ProjectToTexture(p, {5, 2, 3}, {1, 1, 0});
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.samples[0].side, 0);
    EXPECT_EQ(s.dominantSide, 0);
    EXPECT_EQ(s.samples[0].u, 2.0f);
    EXPECT_EQ(s.samples[0].v, 3.0f);
    EXPECT_EQ(ProjectToTexture(p, {5, 2, 3}, {1, 1.001f, 0}).samples[0].side, 2);
    // Negative sides mirror u so the texture reads the right way from outside.
    s = ProjectToTexture(p, {1, -5, 3}, {0, -1, 0});
    EXPECT_EQ(s.samples[0].side, 3);
    EXPECT_EQ(s.samples[0].u, -1.0f);
    EXPECT_EQ(s.samples[0].v, 3.0f);
    s = ProjectToTexture(p, {1, 2, -5}, {0, 0, -1});
    EXPECT_EQ(s.samples[0].side, 5);
    EXPECT_EQ(s.samples[0].u, -1.0f);
    EXPECT_EQ(s.samples[0].v, 2.0f);
    // A zero normal or a disabled side gives nothing.
    EXPECT_EQ(ProjectToTexture(p, {1, 2, 3}, {0, 0, 0}).count, 0);
    p.box.sideEnabled[3] = false;
    EXPECT_EQ(ProjectToTexture(p, {1, -5, 3}, {0, -1, 0}).dominantSide, -1);
    p.box.sideEnabled[3] = true;

    // Layer: origin taken off, turned by minus 90 degrees, divided by the zoom.
    p.layer[0] = {{1, 1}, 90, 2, 0};
    s = ProjectToTexture(p, {5, 2, 3}, {1, 0, 0});
    EXPECT_NEAR(s.samples[0].u, 1.0f, kEps);
    EXPECT_NEAR(s.samples[0].v, -0.5f, kEps);
    for (const float zoom : {0.0f, -2.0f}) {
        p.layer[0].zoom = zoom;
        const SideUv uv = SideTileUv(p, 0, 2, 3);
        EXPECT_NEAR(uv.u, 2.0f, kEps);
        EXPECT_NEAR(uv.v, -1.0f, kEps);
    }
    const SideUv other = SideTileUv(p, 9, 2, 3);
    EXPECT_EQ(other.u, 2.0f);
    EXPECT_EQ(other.v, 3.0f);
    p.layer[0] = ProjectionLayer{};

    // Blend weights |n|^p, normalised; coverage is the enabled share.
    p.box.blended = true;
    p.box.blendSharpness = 2;
    s = ProjectToTexture(p, {1, 1, 1}, {0.6f, 0.8f, 0});
    ASSERT_EQ(s.count, 2);
    EXPECT_EQ(s.samples[0].side, 0);
    EXPECT_NEAR(s.samples[0].weight, 0.36f, kEps);
    EXPECT_EQ(s.samples[1].side, 2);
    EXPECT_NEAR(s.samples[1].weight, 0.64f, kEps);
    EXPECT_EQ(s.dominantSide, 2);
    EXPECT_NEAR(s.coverage, 1.0f, kEps);
    EXPECT_EQ(LargestWeightIndex(s).u, s.samples[1].u);
    p.box.sideEnabled[2] = false;
    s = ProjectToTexture(p, {1, 1, 1}, {0.6f, 0.8f, 0});
    ASSERT_EQ(s.count, 1);
    EXPECT_NEAR(s.samples[0].weight, 1.0f, kEps);
    EXPECT_NEAR(s.coverage, 0.36f, kEps);
    p.box.sideEnabled[2] = true;
    // Sharpness 0 (or below 0.1) counts as 0.1.
    const float w0 = std::pow(0.6f, 0.1f), w1 = std::pow(0.8f, 0.1f);
    for (const float sharpness : {0.0f, -3.0f}) {
        p.box.blendSharpness = sharpness;
        s = ProjectToTexture(p, {1, 1, 1}, {0.6f, 0.8f, 0});
        EXPECT_NEAR(s.samples[0].weight, w0 / (w0 + w1), 1e-5f);
        EXPECT_NEAR(s.samples[1].weight, w1 / (w0 + w1), 1e-5f);
    }
    EXPECT_EQ(LargestWeightIndex(ProjectionSamples{}).u, 0.0f);
}

TEST(ProjectionGeometry, FaceByteKeepsEachSideToItsFaces) {
    Projection p = Cube(ProjectionType::Box, 10);
    p.box.sideSurface[5] = SurfaceSelection::Inside;
    EXPECT_EQ(ProjectToTexture(p, {0, 0, -5}, {0, 0, -1}, std::uint8_t{0x20}).count, 0);
    EXPECT_EQ(ProjectToTexture(p, {0, 0, -5}, {0, 0, -1}, std::uint8_t{0xDF}).count, 1);
    EXPECT_EQ(ProjectToTexture(p, {0, 0, -5}, {0, 0, -1}).count, 1);
    p.box.sideSurface[5] = SurfaceSelection::Outside;
    EXPECT_EQ(ProjectToTexture(p, {0, 0, -5}, {0, 0, -1}, std::uint8_t{0x20}).count, 1);
    EXPECT_EQ(ProjectToTexture(p, {0, 0, -5}, {0, 0, -1}, std::uint8_t{0x00}).count, 0);
    p.box.sideSurface[5] = static_cast<SurfaceSelection>(7);
    EXPECT_EQ(ProjectToTexture(p, {0, 0, -5}, {0, 0, -1}, std::uint8_t{0xFF}).count, 0);

    // A dropped blend sample leaves the rest renormalised and the coverage scaled.
    p.box.blended = true;
    p.box.blendSharpness = 2;
    p.box.sideSurface[2] = SurfaceSelection::Outside;
    const ProjectionSamples s = ProjectToTexture(p, {1, 1, 1}, {0.6f, 0.8f, 0}, std::uint8_t{0x00});
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.samples[0].side, 0);
    EXPECT_NEAR(s.samples[0].weight, 1.0f, kEps);
    EXPECT_NEAR(s.coverage, 0.36f, kEps);
    EXPECT_EQ(s.dominantSide, 0);
}

TEST(ProjectionGeometry, PlaneCylinderAndSphereSamples) {
    Projection plane = Cube(ProjectionType::Plane, 1);
    plane.cage.size = {10, 4, 1};
    ProjectionSamples s = ProjectToTexture(plane, {4.5f, -1.5f, 7}, {0, 0, 1});
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.samples[0].side, 4);
    EXPECT_EQ(s.samples[0].u, 4.5f);
    EXPECT_EQ(s.samples[0].v, -1.5f);
    EXPECT_EQ(ProjectToTexture(plane, {5.5f, 0, 0}, {0, 0, 1}).count, 0);
    EXPECT_EQ(ProjectToTexture(plane, {0, 2.5f, 0}, {0, 0, 1}).count, 0);
    EXPECT_EQ(ProjectToTexture(plane, {0, 0, 0}, {0, 0, -1}).count, 0);
    plane.plane.twoSided = true;
    s = ProjectToTexture(plane, {0, 0, 0}, {0, 0, -1});
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.samples[0].weight, 1.0f);

    Projection cyl = Cube(ProjectionType::Cylinder, 1);
    cyl.cage.size = {20, 20, 40};
    // Seam at 180 degrees: the +x wall lies half way round, u = r * pi.
    s = ProjectToTexture(cyl, {10, 0, 7}, {1, 0, 0});
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.samples[0].side, 0);
    EXPECT_NEAR(s.samples[0].u, 10.0f * 3.1415927f, 1e-4f);
    EXPECT_EQ(s.samples[0].v, 7.0f);
    cyl.cylinder.seamDegrees = 90;
    EXPECT_NEAR(ProjectToTexture(cyl, {0, 10, 0}, {0, 1, 0}).samples[0].u, 0.0f, 1e-4f);
    // Wall and top cap share a 45-degree normal.
    cyl.cylinder.topCapEnabled = true;
    cyl.cylinder.bottomCapEnabled = true;
    s = ProjectToTexture(cyl, {10, 0, 5}, {1, 0, 1});
    ASSERT_EQ(s.count, 2);
    EXPECT_NEAR(s.samples[0].weight, 0.5f, kEps);
    EXPECT_EQ(s.samples[1].side, 4);
    EXPECT_NEAR(s.samples[1].u, 10.0f, kEps);
    EXPECT_NEAR(s.coverage, 1.0f, kEps);
    s = ProjectToTexture(cyl, {10, 3, -5}, {1, 0, -1});
    EXPECT_EQ(s.samples[1].side, 5);
    EXPECT_NEAR(s.samples[1].u, -10.0f, kEps);
    EXPECT_NEAR(s.samples[1].v, 3.0f, kEps);
    // On the axis the wall does not face: caps only.
    s = ProjectToTexture(cyl, {0, 0, 5}, {1, 0, 1});
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.samples[0].side, 4);
    EXPECT_NEAR(s.coverage, 0.70710677f, kEps);
    // Around x the across coordinates are (y, z).
    cyl.cylinder.axis = Axis::X;
    cyl.cylinder.seamDegrees = 180;
    cyl.cage.size = {40, 20, 20};
    s = ProjectToTexture(cyl, {3, 0, 10}, {0, 0, 1});
    EXPECT_NEAR(s.samples[0].u, 10.0f * 1.5f * 3.1415927f, 1e-3f);
    EXPECT_EQ(s.samples[0].v, 3.0f);

    // Sphere sides measure longitude continuously across sides.
    Projection sphere = Cube(ProjectionType::Sphere, 20);
    s = ProjectToTexture(sphere, {10 * std::cos(0.3f), 10 * std::sin(0.3f), 0}, {std::cos(0.3f), std::sin(0.3f), 0});
    EXPECT_EQ(s.samples[0].side, 0);
    EXPECT_NEAR(s.samples[0].u, 3.0f, 1e-4f);
    EXPECT_NEAR(s.samples[0].v, 0.0f, 1e-4f);
    s = ProjectToTexture(sphere, {10 * std::cos(1.2f), 10 * std::sin(1.2f), 1}, {std::cos(1.2f), std::sin(1.2f), 0});
    EXPECT_EQ(s.samples[0].side, 2);
    EXPECT_NEAR(s.samples[0].u, 12.0f, 1e-4f);
    EXPECT_NEAR(s.samples[0].v, 10.0f * std::atan2(1.0f, 10.0f * std::sin(1.2f)), 1e-4f);
}

TEST(ProjectionGeometry, WholeTilesAndLayerZooms) {
    Projection cyl = Cube(ProjectionType::Cylinder, 20);
    TextureSettings texture;
    const float circumference = 6.2831855f * 10.0f;
    texture.seamlessMethod = "Mirror";
    texture.widthMillimetres = circumference / 7.4f;
    WholeTilesResult fit = WholeTilesFit(cyl, texture, 0);
    EXPECT_TRUE(fit.applies);
    EXPECT_TRUE(fit.fitted);
    EXPECT_NEAR(fit.tilesAround, 7.4f, 1e-4f);
    EXPECT_EQ(fit.tileCount, 8);
    EXPECT_NEAR(fit.fittedZoom, 7.4f / 8.0f, 1e-5f);
    EXPECT_NEAR(fit.fittedTileLengthMillimetres, circumference / 8.0f, 1e-4f);
    EXPECT_NEAR(fit.tileLengthMillimetres, texture.widthMillimetres, 1e-4f);
    EXPECT_NEAR(ProjectionWithWholeTiles(cyl, texture).layer[0].zoom, 7.4f / 8.0f, 1e-5f);
    texture.seamlessMethod = "Unchanged";
    EXPECT_EQ(WholeTilesFit(cyl, texture, 0).tileCount, 7);
    texture.widthMillimetres = circumference / 0.6f;
    EXPECT_EQ(WholeTilesFit(cyl, texture, 0).tileCount, 1);
    texture.seamlessMethod = "Mirror";
    EXPECT_EQ(WholeTilesFit(cyl, texture, 0).tileCount, 2);
    // A tile turned off the circumference applies but does not fit; a quarter turn fits.
    texture.rotationDegrees = 30;
    fit = WholeTilesFit(cyl, texture, 0);
    EXPECT_TRUE(fit.applies);
    EXPECT_FALSE(fit.fitted);
    EXPECT_EQ(ProjectionWithWholeTiles(cyl, texture), cyl);
    texture.rotationDegrees = 90;
    EXPECT_TRUE(WholeTilesFit(cyl, texture, 0).fitted);
    texture.rotationDegrees = 0;
    EXPECT_FALSE(WholeTilesFit(cyl, texture, 4).applies);
    texture.tiles = false;
    EXPECT_FALSE(WholeTilesFit(cyl, texture, 0).applies);
    texture.tiles = true;
    cyl.cylinder.wholeTiles = false;
    EXPECT_FALSE(WholeTilesFit(cyl, texture, 0).applies);

    // Sphere: poles never fit; the first side that applies scales all six layers.
    Projection sphere = Cube(ProjectionType::Sphere, 20);
    texture.widthMillimetres = circumference / 7.4f;
    for (const Axis axis : {Axis::X, Axis::Y, Axis::Z}) {
        sphere.sphere.axis = axis;
        const int pole = 2 * static_cast<int>(axis);
        EXPECT_FALSE(WholeTilesFit(sphere, texture, pole).applies);
        EXPECT_FALSE(WholeTilesFit(sphere, texture, pole + 1).applies);
        EXPECT_TRUE(WholeTilesFit(sphere, texture, (pole + 2) % 6).fitted);
    }
    sphere.sphere.axis = Axis::Z;
    sphere.box.sideEnabled[0] = false;
    sphere.layer[1].zoom = 2;
    sphere.layer[3].zoom = 0;
    const Projection fitted = ProjectionWithWholeTiles(sphere, texture);
    // Side 1 decides: at zoom 2 it holds 3.7 tiles, fitted to 4.
    const float scale = 3.7f / 4.0f;
    EXPECT_NEAR(fitted.layer[1].zoom, 2.0f * scale, 1e-4f);
    EXPECT_NEAR(fitted.layer[0].zoom, scale, 1e-4f);
    EXPECT_NEAR(fitted.layer[3].zoom, scale, 1e-4f);

    Projection box = Cube(ProjectionType::Box, 10);
    box.layer[0].zoom = 3;
    box.layer[1].zoom = 0.5f;
    box.layer[2].zoom = -1;
    box.layer[5].zoom = 9;
    box.box.sideEnabled[5] = false;
    EXPECT_EQ(LargestLayerZoom(box), 3.0f);
    EXPECT_EQ(SmallestLayerZoom(box), 0.5f);
    box.type = ProjectionType::Plane;
    EXPECT_EQ(LargestLayerZoom(box), 1.0f);
    box.type = ProjectionType::Cylinder;
    box.cylinder.sideEnabled = false;
    box.cylinder.bottomCapEnabled = true;
    EXPECT_EQ(LargestLayerZoom(box), 9.0f);
    EXPECT_EQ(SmallestLayerZoom(box), 9.0f);
    box.layer[5].zoom = 0;
    EXPECT_EQ(LargestLayerZoom(box), 1.0f);
    EXPECT_EQ(SmallestLayerZoom(box), 1.0f);
}

// The anchor of a side extent maps to the layer's origin, and a step along
// uDirection moves the texture coordinate u by the step over the zoom.
void ExpectExtentMatchesMapping(const Projection& p, int side, float tolerance) {
    SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(p.type) << " side " << side);
    const SideExtentResult e = SideExtent(p, side, true);
    ASSERT_TRUE(e.valid) << side;
    EXPECT_EQ(e.side, side);
    auto sampleOf = [&](const Vec3f& point) {
        const ProjectionSamples s = ProjectToTexture(p, point, e.normal);
        for (int i = 0; i < s.count; ++i) {
            if (s.samples[i].side == side) return SideUv{s.samples[i].u, s.samples[i].v};
        }
        ADD_FAILURE() << "no sample for side " << side;
        return SideUv{};
    };
    const SideUv at = sampleOf(e.anchor);
    EXPECT_NEAR(at.u, 0.0f, tolerance) << side;
    EXPECT_NEAR(at.v, 0.0f, tolerance) << side;
    const float zoom = p.layer[side].zoom;
    const SideUv stepU = sampleOf(e.anchor + e.uDirection * 0.01f);
    EXPECT_NEAR(stepU.u, 0.01f / zoom, tolerance) << side;
    EXPECT_NEAR(stepU.v, 0.0f, tolerance) << side;
    const SideUv stepV = sampleOf(e.anchor + e.vDirection * 0.01f);
    EXPECT_NEAR(stepV.u, 0.0f, tolerance) << side;
    EXPECT_NEAR(stepV.v, 0.01f / zoom, tolerance) << side;
}

TEST(ProjectionGeometry, SideExtentsAgreeWithTheMapping) {
    Projection box = Cube(ProjectionType::Box, 1);
    box.cage.size = {10, 20, 30};
    box.layer[1].originMillimetres[0] = 1;
    box.layer[1].originMillimetres[1] = 2;
    SideExtentResult e = SideExtent(box, 1, true);
    ExpectNear(e.anchor, {-5, -1, 2});
    ExpectNear(e.axisA, {0, -1, 0});
    ExpectNear(e.normal, {-1, 0, 0});
    EXPECT_EQ(e.halfWidth, 10.0f);
    EXPECT_EQ(e.halfHeight, 15.0f);
    ExpectNear(SideExtent(box, 1, false).anchor, {-5, 0, 0});
    box.layer[1].originMillimetres[0] = 100;
    ExpectNear(SideExtent(box, 1, true).anchor, {-5, -10, 2});
    box.layer[1].originMillimetres[0] = 1;
    box.layer[1].rotationDegrees = 90;
    e = SideExtent(box, 1, true);
    ExpectNear(e.uDirection, {0, 0, 1});
    ExpectNear(e.vDirection, {0, 1, 0});
    EXPECT_FALSE(SideExtent(box, 6, true).valid);
    EXPECT_EQ(SideExtent(box, -1, true).side, -1);

    // Every side of every mapping, on a turned and moved cage with turned, zoomed layers.
    Projection p = Cube(ProjectionType::Box, 1);
    p.cage = {{3, -4, 5}, {20, -35, 50}, {16, 22, 30}};
    for (int i = 0; i < kSideCount; ++i) p.layer[i] = {{1.5f, -2.0f}, 25.0f + 10 * i, 1.25f, 0};
    for (int side = 0; side < kSideCount; ++side) ExpectExtentMatchesMapping(p, side, 1e-3f);
    p.type = ProjectionType::Plane;
    ExpectExtentMatchesMapping(p, 4, 1e-3f);
    EXPECT_FALSE(SideExtent(p, 3, true).valid);
    p.type = ProjectionType::Cylinder;
    p.cylinder.axis = Axis::Y;
    p.cylinder.topCapEnabled = p.cylinder.bottomCapEnabled = true;
    for (const int side : {0, 4, 5}) ExpectExtentMatchesMapping(p, side, 1e-3f);
    EXPECT_FALSE(SideExtent(p, 2, true).valid);
    // A sphere side's u counts longitude from the axis's zero, so each origin
    // is put on its own side's patch.
    p.type = ProjectionType::Sphere;
    p.sphere.axis = Axis::X;
    for (int side = 0; side < kSideCount; ++side) {
        p.layer[side].originMillimetres[0] = 1.5f + 15.0f * BoxSideFrame(side, 0).azimuthRadians;
        ExpectExtentMatchesMapping(p, side, 2e-3f);
    }
    p.cage.size = {0, 0, 0};
    EXPECT_FALSE(SideExtent(p, 2, true).valid);
}

TEST(ProjectionGeometry, ProjectorOverlayShapes) {
    Projection p = Cube(ProjectionType::Box, 1);
    p.cage = {{1, 2, 3}, {10, 20, 30}, {4, 6, 8}};
    ProjectorOverlay o = BuildProjectorOverlay(p);
    ASSERT_EQ(o.triangles.size(), 36u);
    ASSERT_EQ(o.triangleSides.size(), 12u);
    EXPECT_EQ(o.lines.size(), 24u);
    for (std::size_t t = 0; t < 12; ++t) {
        const Vec3f a = o.triangles[3 * t], b = o.triangles[3 * t + 1], c = o.triangles[3 * t + 2];
        const int side = o.triangleSides[t];
        EXPECT_EQ(side, static_cast<int>(t / 2));
        // Faces point out of the cage, along the side's direction.
        const Vec3f n = Normalize(Cross(b - a, c - a));
        ExpectNear(n, CageSideFrame(p, side, {}), 1e-4f);
    }
    p.type = ProjectionType::Plane;
    o = BuildProjectorOverlay(p);
    EXPECT_EQ(o.triangleSides, (std::vector<std::int32_t>{4, 4}));
    EXPECT_EQ(o.lines.size(), 8u);
    p.type = ProjectionType::Cylinder;
    o = BuildProjectorOverlay(p);
    EXPECT_EQ(o.triangleSides.size(), 96u);
    EXPECT_EQ(o.lines.size(), 2u * (2 * 48 + 1));
    for (const Vec3f& point : o.triangles) {
        const Vec3f q = TransformByCage(p.cage, point - p.cage.center);
        EXPECT_NEAR(std::hypot(q.x, q.y), 3.0f, 1e-4f);
    }
    p.type = ProjectionType::Sphere;
    o = BuildProjectorOverlay(p);
    EXPECT_EQ(o.triangleSides.size(), 6u * 64 * 2);
    EXPECT_EQ(o.accentLines.size(), 4u * 16 * 2);
    for (const Vec3f& point : o.triangles) EXPECT_NEAR(Length(point - p.cage.center), 4.0f, 1e-4f);
    p.type = static_cast<ProjectionType>(9);
    EXPECT_TRUE(BuildProjectorOverlay(p).triangles.empty());
}

TEST(ProjectionGeometry, ParallelMappingMatchesSerialBitForBit) {
    std::vector<Projection> projections(4);
    for (int t = 0; t < 4; ++t) {
        projections[t].type = static_cast<ProjectionType>(t);
        projections[t].cage = {{1, 2, 3}, {15, -25, 40}, {30, 40, 50}};
        projections[t].box.blended = t == 0;
        projections[t].cylinder.topCapEnabled = true;
        projections[t].plane.twoSided = true;
        for (int i = 0; i < kSideCount; ++i) projections[t].layer[i] = {{1, 2}, 10.0f * i, 0.8f, 0};
    }
    constexpr std::size_t kPoints = 1000000;
    auto point = [](std::size_t i) {
        const float a = 0.001f * static_cast<float>(i), b = 0.0007f * static_cast<float>(i);
        return Vec3f{20 * std::cos(a) * std::cos(b), 20 * std::sin(a) * std::cos(b), 20 * std::sin(b)};
    };
    auto run = [&](std::size_t i) {
        const Vec3f p = point(i);
        return ProjectToTexture(projections[i % 4], p, p, static_cast<std::uint8_t>(i * 37));
    };
    std::vector<ProjectionSamples> serial(kPoints), parallel(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i) serial[i] = run(i);
    ForEachChunk(kPoints, 4096, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) parallel[i] = run(i);
    });
    EXPECT_EQ(std::memcmp(serial.data(), parallel.data(), kPoints * sizeof(ProjectionSamples)), 0);
    std::size_t sampled = 0;
    for (const ProjectionSamples& s : serial) sampled += s.count > 0;
    EXPECT_GT(sampled, kPoints / 4);
}

}  // namespace
}  // namespace ridgeforge::mesh
