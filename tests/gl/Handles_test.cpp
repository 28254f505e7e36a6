// The handles' maths with values worked out by hand: scale drags of a mask
// face and of a cylinder's radius, which arrow wins a tie, rays along an
// arrow, texture zoom limits, ring angles, the centre disc's priority, and
// the two picks.
#include <gtest/gtest.h>

#include <cmath>

#include "gl/Handles.h"
#include "gl/Picking.h"

namespace ridgeforge::testing {
namespace {

using gl::HandleKind;
using mesh::Vec3f;

void ExpectNear(const Vec3f& a, const Vec3f& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

mesh::Ray RayFrom(const Vec3f& origin, const Vec3f& direction) { return {origin, mesh::Normalize(direction)}; }

TEST(HandleDrag, ScaleMaskBoxFaces) {
    const gl::Placement start{{1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 0.0f}, {10.0f, 4.0f, 6.0f}};
    // +X dragged 3 mm out: the -X face stays at x = -4.
    gl::Placement p = gl::ApplyHandleDrag(start, HandleKind::AxisX, 2.0f, 5.0f, false, 0.5f);
    ExpectNear(p.size, {13.0f, 4.0f, 6.0f});
    ExpectNear(p.center, {2.5f, 2.0f, 3.0f});
    // With Shift both faces move and the centre stays.
    p = gl::ApplyHandleDrag(start, HandleKind::AxisX, 2.0f, 5.0f, true, 0.5f);
    ExpectNear(p.size, {16.0f, 4.0f, 6.0f});
    ExpectNear(p.center, start.center);
    // Pushed far inward: 0.5 mm, and the far face still stays (centre at -4 + 0.25).
    p = gl::ApplyHandleDrag(start, HandleKind::AxisX, 0.0f, -20.0f, false, 0.5f);
    ExpectNear(p.size, {0.5f, 4.0f, 6.0f});
    ExpectNear(p.center, {-3.75f, 2.0f, 3.0f});
    p = gl::ApplyHandleDrag(start, HandleKind::AxisX, 0.0f, -20.0f, true, 0.5f);
    EXPECT_FLOAT_EQ(p.size.x, 0.5f);
    // The -Z face dragged 1 mm outward (its value grows along -Z) moves the centre down.
    p = gl::ApplyHandleDrag(start, HandleKind::NegativeZ, 0.0f, 1.0f, false, 0.5f);
    ExpectNear(p.size, {10.0f, 4.0f, 7.0f});
    ExpectNear(p.center, {1.0f, 2.0f, 2.5f});
    // A turned box: local +X is world +Y after 90 degrees about Z.
    const gl::Placement turned{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 90.0f}, {10.0f, 4.0f, 6.0f}};
    p = gl::ApplyHandleDrag(turned, HandleKind::AxisX, 0.0f, 3.0f, false, 0.5f);
    ExpectNear(p.center, {0.0f, 1.5f, 0.0f});
    // Kinds without an axis change nothing.
    p = gl::ApplyHandleDrag(start, HandleKind::Centre, 0.0f, 3.0f, false, 0.5f);
    ExpectNear(p.size, start.size);
    ExpectNear(p.center, start.center);
}

TEST(HandleDrag, CylinderRadius) {
    const gl::Placement start{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {10.0f, 6.0f, 20.0f}};
    gl::Placement p = gl::ApplyHandleDrag(start, HandleKind::Radius, 1.0f, 6.0f, false, 0.5f);
    ExpectNear(p.size, {20.0f, 12.0f, 20.0f});
    ExpectNear(p.center, start.center);
    EXPECT_EQ(gl::ApplyHandleDrag(start, HandleKind::Radius, 1.0f, 6.0f, true, 0.5f).size, p.size);
    // Past the axis: a diameter of 0.5 mm, y scaled alike but never below 0.5.
    p = gl::ApplyHandleDrag(start, HandleKind::Radius, 0.0f, -8.0f, false, 0.5f);
    EXPECT_NEAR(p.size.x, 0.5f, 1e-5f);
    EXPECT_NEAR(p.size.y, 0.5f, 1e-5f);
    const gl::Placement flat{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 6.0f, 20.0f}};
    EXPECT_EQ(gl::ApplyHandleDrag(flat, HandleKind::Radius, 0.0f, 3.0f, false, 0.5f).size, flat.size);
}

TEST(HandleHitTest, ArrowTiesAndNearest) {
    const gl::Placement at{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f}};
    const float size = 10.0f;  // tolerance 0.9
    const auto hit = [&](const Vec3f& o, const Vec3f& d) {
        return gl::HitTestPlacementHandles(RayFrom(o, d), at, ViewTool::MoveCage, size).kind;
    };
    // Straight down at (0.5, 0.5): 0.5 from both X and Y arrows, 0.71 from Z.
    EXPECT_EQ(hit({0.5f, 0.5f, 10.0f}, {0, 0, -1}), HandleKind::AxisX);
    EXPECT_EQ(hit({0.5f, 0.4f, 10.0f}, {0, 0, -1}), HandleKind::AxisX);
    EXPECT_EQ(hit({0.4f, 0.5f, 10.0f}, {0, 0, -1}), HandleKind::AxisY);
    // Along X at y = z = 0.5: 0.5 from Y and Z, 0.71 from X.
    EXPECT_EQ(hit({-5.0f, 0.5f, 0.5f}, {1, 0, 0}), HandleKind::AxisY);
    EXPECT_EQ(hit({-5.0f, 0.5f, 0.6f}, {1, 0, 0}), HandleKind::AxisZ);
    // Beyond the tolerance and beyond the tip.
    EXPECT_EQ(hit({0.95f, 5.0f, 10.0f}, {0, 0, -1}), HandleKind::None);
    EXPECT_EQ(hit({11.0f, 0.0f, 10.0f}, {0, 0, -1}), HandleKind::None);
    EXPECT_EQ(hit({9.5f, 0.0f, 10.0f}, {0, 0, -1}), HandleKind::AxisX);
    // No tool, no size.
    EXPECT_EQ(gl::HitTestPlacementHandles(RayFrom({5, 0, 10}, {0, 0, -1}), at, ViewTool::None, size).kind,
              HandleKind::None);
    EXPECT_EQ(gl::HitTestPlacementHandles(RayFrom({5, 0, 10}, {0, 0, -1}), at, ViewTool::MoveMask, 0.0f).kind,
              HandleKind::None);
    // Rings: the Z ring lies in the XY plane at radius 10.
    EXPECT_EQ(gl::HitTestPlacementHandles(RayFrom({0, 9.5f, 10}, {0, 0, -1}), at, ViewTool::RotateCage, size).kind,
              HandleKind::AxisZ);
    EXPECT_EQ(gl::HitTestPlacementHandles(RayFrom({0, 8.5f, 10}, {0, 0, -1}), at, ViewTool::RotateMask, size).kind,
              HandleKind::None);
}

TEST(HandleHitTest, ScaleHandlesNearestAlongRay) {
    const gl::Placement box{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {4.0f, 4.0f, 4.0f}};
    // Down the Z axis: +Z face at z 2 comes before -Z at z -2.
    EXPECT_EQ(gl::HitTestScaleHandles(RayFrom({0, 0, 10}, {0, 0, -1}), box, false, 0.5f).kind, HandleKind::AxisZ);
    EXPECT_EQ(gl::HitTestScaleHandles(RayFrom({0, 0, -10}, {0, 0, 1}), box, false, 0.5f).kind, HandleKind::NegativeZ);
    EXPECT_EQ(gl::HitTestScaleHandles(RayFrom({2.4f, 0, 10}, {0, 0, -1}), box, false, 0.5f).kind, HandleKind::AxisX);
    EXPECT_EQ(gl::HitTestScaleHandles(RayFrom({2.6f, 0, 10}, {0, 0, -1}), box, false, 0.5f).kind, HandleKind::None);
    EXPECT_EQ(gl::HitTestScaleHandles(RayFrom({2.4f, 0, 10}, {0, 0, -1}), box, true, 0.5f).kind, HandleKind::Radius);
    EXPECT_EQ(gl::HitTestScaleHandles(RayFrom({0, -2, 10}, {0, 0, -1}), box, true, 0.5f).kind, HandleKind::None);
    const std::vector<gl::ScaleHandle> handles = gl::ScaleHandles({{1, 1, 1}, {0, 0, 90}, {4, 6, 8}}, false);
    ASSERT_EQ(handles.size(), 6u);
    EXPECT_EQ(handles[1].kind, HandleKind::NegativeX);
    ExpectNear(handles[1].position, {1.0f, -1.0f, 1.0f});
    ExpectNear(handles[1].direction, {0.0f, -1.0f, 0.0f});
}

TEST(HandleDrag, RayAlongAnArrowGivesNoDistance) {
    float s = 0.0f;
    EXPECT_FALSE(gl::AxisDragDistance(RayFrom({-5, 0, 0}, {1, 0, 0}), {0, 0, 0}, {1, 0, 0}, s));
    EXPECT_FALSE(gl::AxisDragDistance(RayFrom({-5, 0, 0}, {1, 0.005f, 0}), {0, 0, 0}, {1, 0, 0}, s));
    EXPECT_TRUE(gl::AxisDragDistance(RayFrom({-5, 0, 0}, {1, 0.02f, 0}), {0, 0, 0}, {1, 0, 0}, s));
    // Across the axis: the foot of the ray on the axis, signed from the origin.
    ASSERT_TRUE(gl::AxisDragDistance(RayFrom({3, 7, 5}, {0, 0, -1}), {1, 0, 0}, {2, 0, 0}, s));
    EXPECT_NEAR(s, 2.0f, 1e-5f);
    ASSERT_TRUE(gl::AxisDragDistance(RayFrom({-3, 7, 5}, {0, 0, -1}), {1, 0, 0}, {1, 0, 0}, s));
    EXPECT_NEAR(s, -4.0f, 1e-5f);
}

TEST(HandleDrag, RingAngles) {
    float a = 0.0f;
    ASSERT_TRUE(gl::DragRotationAngle(RayFrom({0, 2, 5}, {0, 0, -1}), {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, a));
    EXPECT_NEAR(a, 1.5707964f, 1e-5f);
    ASSERT_TRUE(gl::DragRotationAngle(RayFrom({0, -2, 5}, {0, 0, -1}), {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, a));
    EXPECT_NEAR(a, -1.5707964f, 1e-5f);
    // The reference is flattened into the plane first.
    ASSERT_TRUE(gl::DragRotationAngle(RayFrom({-1, 0, 5}, {0, 0, -1}), {0, 0, 0}, {0, 0, 1}, {0, 3, 9}, a));
    EXPECT_NEAR(a, 1.5707964f, 1e-5f);
    EXPECT_FALSE(gl::DragRotationAngle(RayFrom({0, 0, 5}, {0, 0, -1}), {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, a));
    EXPECT_FALSE(gl::DragRotationAngle(RayFrom({0, 2, 5}, {1, 0, 0}), {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, a));
    EXPECT_FALSE(gl::DragRotationAngle(RayFrom({0, 2, -5}, {0, 0, -1}), {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, a));
}

gl::TextureHandleFrame FlatFrame() {
    gl::TextureHandleFrame f;
    f.valid = true;
    f.side = 4;
    f.origin = {0, 0, 0};
    f.textureU = f.sideU = {1, 0, 0};
    f.textureV = f.sideV = {0, 1, 0};
    f.normal = {0, 0, 1};
    return f;
}

TEST(HandleDrag, TextureZoomStaysInRange) {
    gl::HandleDragState state;
    state.frame = FlatFrame();
    state.textureTool = ViewTool::ZoomTexture;
    state.textureKind = HandleKind::AxisZ;
    state.textureSize = 10.0f;
    state.textureStartValue = 10.0f;
    state.startLayer.zoom = 1.0f;
    const Vec3f diagonal = mesh::Normalize({1, 1, 0});
    const auto zoomAt = [&](float s) {
        mesh::ProjectionLayer layer;
        EXPECT_TRUE(gl::DragTextureHandle(RayFrom(diagonal * s + Vec3f{0, 0, 10}, {0, 0, -1}), state, layer));
        return layer.zoom;
    };
    EXPECT_NEAR(zoomAt(5.0f), 0.5f, 1e-5f);
    EXPECT_NEAR(zoomAt(30.0f), 3.0f, 1e-5f);
    EXPECT_FLOAT_EQ(zoomAt(1000.0f), 20.0f);
    EXPECT_FLOAT_EQ(zoomAt(-5.0f), 0.05f);
    state.startLayer.zoom = 0.1f;
    EXPECT_FLOAT_EQ(zoomAt(0.2f), 0.05f);
}

TEST(HandleDrag, TextureMoveRotateAndCentre) {
    gl::HandleDragState state;
    state.frame = FlatFrame();
    state.startLayer.originMillimetres[0] = 1.0f;
    state.startLayer.originMillimetres[1] = 2.0f;
    state.startLayer.rotationDegrees = 90.0f;
    mesh::ProjectionLayer layer;
    // Along u by 3 with the layer turned 90 degrees: the origin moves along (0, 1).
    state.textureTool = ViewTool::MoveTexture;
    state.textureKind = HandleKind::AxisX;
    state.textureStartValue = 1.0f;
    ASSERT_TRUE(gl::DragTextureHandle(RayFrom({4, 7, 5}, {0, 0, -1}), state, layer));
    EXPECT_NEAR(layer.originMillimetres[0], 1.0f, 1e-5f);
    EXPECT_NEAR(layer.originMillimetres[1], 5.0f, 1e-5f);
    state.textureKind = HandleKind::AxisY;
    state.textureStartValue = 0.0f;
    ASSERT_TRUE(gl::DragTextureHandle(RayFrom({7, 2, 5}, {0, 0, -1}), state, layer));
    EXPECT_NEAR(layer.originMillimetres[0], -1.0f, 1e-5f);
    EXPECT_NEAR(layer.originMillimetres[1], 2.0f, 1e-5f);
    // The centre disc follows the point in the plane.
    state.textureKind = HandleKind::Centre;
    state.startPlaneUv[0] = 0.5f;
    state.startPlaneUv[1] = 0.5f;
    ASSERT_TRUE(gl::DragTextureHandle(RayFrom({3, -1, 5}, {0, 0, -1}), state, layer));
    EXPECT_NEAR(layer.originMillimetres[0], 3.5f, 1e-5f);
    EXPECT_NEAR(layer.originMillimetres[1], 0.5f, 1e-5f);
    EXPECT_FALSE(gl::DragTextureHandle(RayFrom({3, -1, 5}, {1, 0, 0}), state, layer));
    // Rotate: a quarter turn from the press adds 90 degrees; past the
    // opposite point the stored angle jumps by 360.
    state.textureTool = ViewTool::RotateTexture;
    state.textureKind = HandleKind::AxisZ;
    state.textureStartValue = 0.0f;
    ASSERT_TRUE(gl::DragTextureHandle(RayFrom({0, 3, 5}, {0, 0, -1}), state, layer));
    EXPECT_NEAR(layer.rotationDegrees, 180.0f, 1e-3f);
    state.textureStartValue = 3.0f;
    ASSERT_TRUE(gl::DragTextureHandle(RayFrom({-3, -0.01f, 5}, {0, 0, -1}), state, layer));
    EXPECT_LT(layer.rotationDegrees, -200.0f);
    state.frame.valid = false;
    EXPECT_FALSE(gl::DragTextureHandle(RayFrom({0, 3, 5}, {0, 0, -1}), state, layer));
}

TEST(HandleHitTest, TextureHandlesCentreDiscFirst) {
    const gl::TextureHandleFrame frame = FlatFrame();
    const auto hit = [&](ViewTool tool, const Vec3f& at) {
        return gl::HitTestTextureHandles(RayFrom(at + Vec3f{0, 0, 5}, {0, 0, -1}), frame, tool, 10.0f).kind;
    };
    // 1.5 mm along u is on the u arrow and within the disc (reach 2.25).
    EXPECT_EQ(hit(ViewTool::MoveTexture, {1.5f, 0, 0}), HandleKind::Centre);
    EXPECT_EQ(hit(ViewTool::MoveTexture, {2.5f, 0, 0}), HandleKind::AxisX);
    EXPECT_EQ(hit(ViewTool::MoveTexture, {0, 6, 0}), HandleKind::AxisY);
    EXPECT_EQ(hit(ViewTool::ZoomTexture, {1.5f, 1.5f, 0}), HandleKind::Centre);
    EXPECT_EQ(hit(ViewTool::ZoomTexture, {5, 5, 0}), HandleKind::AxisZ);
    EXPECT_EQ(hit(ViewTool::RotateTexture, {0, -9.5f, 0}), HandleKind::AxisZ);
    EXPECT_EQ(hit(ViewTool::RotateTexture, {0, -8.5f, 0}), HandleKind::None);
    EXPECT_EQ(hit(ViewTool::MoveCage, {0, 0, 0}), HandleKind::None);
}

TEST(HandleGizmo, Builders) {
    const gl::Placement p{{1, 2, 3}, {0, 0, 90}, {4, 4, 4}};
    gl::ColouredGeometry g = gl::BuildPlacementGizmo(p, ViewTool::MoveCage, HandleKind::AxisY, 10.0f);
    // Three lines; three cones of ten sides and ten base triangles.
    ASSERT_EQ(g.linePoints.size(), 6u);
    EXPECT_EQ(g.trianglePoints.size(), 3u * 20u * 3u);
    EXPECT_EQ(g.lineColours.size(), g.linePoints.size());
    // The X arrow points along world +Y after the turn; Y hovered is white.
    ExpectNear(g.linePoints[1], {1, 12, 3});
    EXPECT_EQ(g.lineColours[0], gl::HandleColour(HandleKind::AxisX));
    EXPECT_EQ(g.lineColours[2], (Vec3f{1, 1, 1}));
    // Each cone's apex is the arrow's tip.
    ExpectNear(g.trianglePoints[2], {1, 12, 3});
    g = gl::BuildPlacementGizmo(p, ViewTool::RotateMask, HandleKind::None, 10.0f);
    EXPECT_EQ(g.linePoints.size(), 3u * 48u * 2u);
    EXPECT_TRUE(g.trianglePoints.empty());
    EXPECT_TRUE(gl::BuildPlacementGizmo(p, ViewTool::None, HandleKind::None, 10.0f).linePoints.empty());
    EXPECT_TRUE(gl::BuildPlacementGizmo(p, ViewTool::MoveCage, HandleKind::None, 0.0f).linePoints.empty());
    g = gl::BuildScaleGizmo(p, false, HandleKind::None, 1.0f);
    EXPECT_EQ(g.linePoints.size(), 12u);
    EXPECT_EQ(g.trianglePoints.size(), 6u * 36u);
    g = gl::BuildScaleGizmo(p, true, HandleKind::Radius, 1.0f);
    EXPECT_EQ(g.linePoints.size(), 6u);
    EXPECT_EQ(g.triangleColours.back(), (Vec3f{1, 1, 1}));
    // Texture tools: the disc, then the tool's own handles.
    const gl::TextureHandleFrame frame = FlatFrame();
    EXPECT_EQ(gl::BuildTextureGizmo(frame, ViewTool::RotateTexture, HandleKind::None, 10.0f).linePoints.size(),
              (48u + 48u + 1u) * 2u);
    EXPECT_EQ(gl::BuildTextureGizmo(frame, ViewTool::ZoomTexture, HandleKind::None, 10.0f).trianglePoints.size(), 36u);
    EXPECT_TRUE(gl::BuildTextureGizmo(frame, ViewTool::MoveCage, HandleKind::None, 10.0f).linePoints.empty());
}

TEST(Picking, MeshTriangleNearestAndRefusals) {
    mesh::TriangleMesh m;
    for (const Vec3f& p :
         {Vec3f{0, 0, 0}, Vec3f{4, 0, 0}, Vec3f{0, 4, 0}, Vec3f{0, 0, 2}, Vec3f{4, 0, 2}, Vec3f{0, 4, 2}})
        m.vertices.push_back({p, {0, 0, 1}});
    m.indices = {0, 1, 2, 3, 4, 5};
    m.boundsMin = {0, 0, 0};
    m.boundsMax = {4, 4, 2};
    m.boundsValid = true;
    mesh::RayHit hit = gl::PickMeshTriangle(RayFrom({1, 1, 10}, {0, 0, -1}), m);
    ASSERT_TRUE(hit.hit);
    EXPECT_EQ(hit.triangle, 1);
    EXPECT_NEAR(hit.distance, 8.0f, 1e-5f);
    hit = gl::PickMeshTriangle(RayFrom({1, 1, -10}, {0, 0, 1}), m);
    EXPECT_EQ(hit.triangle, 0);
    EXPECT_FALSE(gl::PickMeshTriangle(RayFrom({1, 1, 10}, {0, 0, 1}), m).hit);
    EXPECT_FALSE(gl::PickMeshTriangle(RayFrom({3, 3, 10}, {0, 0, -1}), m).hit);
    mesh::TriangleMesh unbounded = m;
    unbounded.boundsValid = false;
    EXPECT_FALSE(gl::PickMeshTriangle(RayFrom({1, 1, 10}, {0, 0, -1}), unbounded).hit);
    mesh::TriangleMesh broken = m;
    broken.indices.push_back(0);
    EXPECT_FALSE(gl::PickMeshTriangle(RayFrom({1, 1, 10}, {0, 0, -1}), broken).hit);
    broken.indices = {0, 1, 9};
    EXPECT_EQ(gl::PickMeshTriangle(RayFrom({1, 1, 10}, {0, 0, -1}), broken).triangle, -1);
}

TEST(Picking, ProjectionShapeFrontSide) {
    mesh::Projection box;
    box.cage.size = {2, 2, 2};
    mesh::RayHit hit = gl::PickProjectionShape(RayFrom({10, 0.2f, 0.3f}, {-1, 0, 0}), box);
    ASSERT_TRUE(hit.hit);
    EXPECT_EQ(hit.triangle, 0);
    EXPECT_NEAR(hit.distance, 9.0f, 1e-4f);
    EXPECT_EQ(gl::PickProjectionShape(RayFrom({-10, 0.2f, 0.3f}, {1, 0, 0}), box).triangle, 1);
    EXPECT_EQ(gl::PickProjectionShape(RayFrom({0.1f, 0.2f, -10}, {0, 0, 1}), box).triangle, 5);
    hit = gl::PickProjectionShape(RayFrom({10, 5, 0}, {-1, 0, 0}), box);
    EXPECT_FALSE(hit.hit);
    EXPECT_EQ(hit.triangle, -1);
}

}  // namespace
}  // namespace ridgeforge::testing
