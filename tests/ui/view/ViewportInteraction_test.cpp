// The viewport's interaction against a fake host, a fake window and a clock
// the test sets: turning, panning and the click rule, cage-side clicks, the
// view cube's presses, turns and eased animation, wheel zoom about the part,
// handle drags and Shift, Lay on Face, and a renderer without a context.
// The renderer is marked ready without a context: the interaction only asks
// it for rays and the camera, never to draw.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/view/FakeViewportHost.h"

namespace ridgeforge::testing {
namespace {

using gl::HandleKind;

class ViewportInteractionTest : public ::testing::Test {
protected:
    ViewportInteractionTest() : v(r, port, [this] { return now; }) {
        r.ready = true;
        v.Resize(800, 600);
        v.SetHosts(&host, nullptr);
        host.projection.cage.size = {2.0f, 2.0f, 2.0f};
    }
    ~ViewportInteractionTest() override { r.ready = false; }

    // Where a world point lands, in window pixels.
    std::array<int, 2> Pixel(const mesh::Vec3f& p) const {
        const gl::Matrix4 m = r.ViewProjection();
        const float x = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
        const float y = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
        const float w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
        return {static_cast<int>(std::floor((x / w * 0.5f + 0.5f) * 800.0f)),
                static_cast<int>(std::floor((0.5f - y / w * 0.5f) * 600.0f))};
    }
    void Click(int x, int y, int dx = 0, int dy = 0, bool shift = false, bool ctrl = false) {
        v.LeftDown({x, y, shift, ctrl});
        if (dx != 0 || dy != 0) v.Move({x + dx, y + dy, shift, ctrl});
        v.LeftUp({x + dx, y + dy, shift, ctrl});
    }
    std::array<int, 2> CubeFaceCentre(const gl::Direction& target) const {
        for (const gl::ViewCubeFace& face : r.GetViewCubeLayout().faces)
            if (face.target == target) {
                float x = 0, y = 0;
                for (const gl::Pixel& c : face.quad) x += c[0] / 4.0f, y += c[1] / 4.0f;
                return {static_cast<int>(x), static_cast<int>(y)};
            }
        ADD_FAILURE() << "face not shown";
        return {0, 0};
    }

    gl::Renderer r;
    FakePort port;
    std::uint64_t now = 1000;
    FakeCageHost host;
    ViewportInteraction v;
};

TEST_F(ViewportInteractionTest, LeftDragTurnsAndShiftOrMiddlePans) {
    host.hasPart = false;
    v.LeftDown({300, 300, false, false});
    EXPECT_TRUE(port.capture);
    EXPECT_TRUE(v.orbiting);
    v.Move({350, 300, false, false});
    v.Move({400, 300, false, false});
    v.LeftUp({400, 300, false, false});
    EXPECT_NEAR(r.yawDegrees, 145.0f, 1e-3f);
    EXPECT_FALSE(port.capture);
    EXPECT_FALSE(v.orbiting);
    // Shift pans: the target moves, the angles stay.
    const mesh::Vec3f before = r.target;
    v.LeftDown({300, 300, true, false});
    EXPECT_TRUE(v.panning);
    v.Move({320, 300, true, false});
    v.LeftUp({320, 300, true, false});
    EXPECT_NEAR(r.yawDegrees, 145.0f, 1e-3f);
    EXPECT_GT(mesh::Length(r.target - before), 0.01f);
    v.MiddleDown({300, 300, false, false});
    EXPECT_TRUE(v.panning);
    v.Move({300, 330, false, false});
    v.MiddleUp();
    EXPECT_FALSE(port.capture);
    EXPECT_NEAR(r.yawDegrees, 145.0f, 1e-3f);
    EXPECT_GT(host.refreshes, 3);
}

TEST_F(ViewportInteractionTest, ClickRuleOnCageSides) {
    r.showCage = true;
    // The ray through the cage centre from yaw -135, pitch 45 enters through +Z.
    const std::array<int, 2> c = Pixel({0, 0, 0});
    Click(c[0], c[1], 4, 4);
    ASSERT_EQ(host.clicks.size(), 1u);
    EXPECT_EQ(host.clicks[0], (std::pair<std::int32_t, bool>{4, false}));
    const float yaw = r.yawDegrees;
    Click(c[0], c[1], 5, 0);
    Click(c[0], c[1], 0, -5);
    EXPECT_EQ(host.clicks.size(), 1u);
    EXPECT_NE(r.yawDegrees, yaw);
    r.yawDegrees = yaw;
    r.pitchDegrees = 45.0f;
    // Shift and Ctrl: still a click, Ctrl passed on.
    Click(c[0], c[1], 0, 0, true, true);
    ASSERT_EQ(host.clicks.size(), 2u);
    EXPECT_EQ(host.clicks[1], (std::pair<std::int32_t, bool>{4, true}));
    // A texture tool selects the side instead.
    host.tool = ViewTool::MoveTexture;
    Click(c[0], c[1]);
    EXPECT_EQ(host.selected, std::vector<std::int32_t>{4});
    // With the cage hidden nothing is clicked or hovered.
    host.tool = ViewTool::None;
    r.showCage = false;
    host.hovers.clear();
    Click(c[0], c[1]);
    v.Move({c[0] + 1, c[1], false, false});
    EXPECT_EQ(host.clicks.size(), 2u);
    for (const auto& h : host.hovers) EXPECT_EQ(h.first, -1);
    r.showCage = true;
    v.Move({c[0], c[1] + 1, false, false});
    ASSERT_FALSE(host.hovers.empty());
    EXPECT_EQ(host.hovers.back(), (std::pair<std::int32_t, HandleKind>{4, HandleKind::None}));
}

TEST_F(ViewportInteractionTest, TopFaceClickTurnsToOrthographicTopView) {
    const std::array<int, 2> top = CubeFaceCentre({0, 0, 1});
    Click(top[0], top[1], 3, -2);
    ASSERT_TRUE(v.animating);
    EXPECT_TRUE(port.timer);
    now += 125;
    v.Tick();
    // Half way in time, half way eased: pitch 45 + 44.5 / 2, yaw -135 + 45 / 2.
    EXPECT_NEAR(r.pitchDegrees, 67.25f, 1e-3f);
    EXPECT_NEAR(r.yawDegrees, -112.5f, 1e-3f);
    EXPECT_FALSE(r.orthographic);
    now += 124;
    v.Tick();
    EXPECT_TRUE(v.animating);
    now += 1;
    v.Tick();
    EXPECT_FALSE(v.animating);
    EXPECT_FALSE(port.timer);
    EXPECT_FLOAT_EQ(r.pitchDegrees, 89.5f);
    EXPECT_NEAR(r.yawDegrees, -90.0f, 1e-4f);
    EXPECT_TRUE(r.orthographic);
    EXPECT_TRUE(v.autoOrthographic);
    // The next turn returns to perspective.
    Click(300, 300, 10, 0);
    EXPECT_FALSE(r.orthographic);
    EXPECT_FALSE(v.autoOrthographic);
    // Numpad 5 is the user's choice, which survives turning.
    EXPECT_TRUE(v.Key(ViewportKey::Numpad5));
    EXPECT_TRUE(r.orthographic);
    Click(300, 300, 10, 0);
    EXPECT_TRUE(r.orthographic);
    EXPECT_FALSE(v.Key(ViewportKey::Other));
}

TEST_F(ViewportInteractionTest, AxisOrthographicOffByNumpadAndCornersStayPerspective) {
    v.StartCameraAnimation({1, 0, 0});
    now += 300;
    v.Tick();
    ASSERT_TRUE(r.orthographic);
    v.Key(ViewportKey::Numpad5);
    EXPECT_FALSE(r.orthographic);
    Click(300, 300, 10, 0);
    EXPECT_FALSE(r.orthographic);
    // An edge view from an automatic orthographic one goes back to perspective at once.
    v.StartCameraAnimation({0, -1, 0});
    now += 300;
    v.Tick();
    ASSERT_TRUE(r.orthographic);
    v.StartCameraAnimation({1, -1, 1});
    EXPECT_FALSE(r.orthographic);
    now += 300;
    v.Tick();
    EXPECT_FALSE(r.orthographic);
    EXPECT_NEAR(r.yawDegrees, -45.0f, 1e-3f);
    EXPECT_NEAR(r.pitchDegrees, 35.26439f, 1e-3f);
    v.StartCameraAnimation({0, 0, 0});
    EXPECT_FALSE(v.animating);
}

TEST_F(ViewportInteractionTest, AnimationTakesTheShorterWay) {
    r.yawDegrees = 170.0f;
    v.StartCameraAnimation({-1, 0, 0});
    EXPECT_FLOAT_EQ(v.endYaw, 180.0f);
    r.yawDegrees = -170.0f;
    v.StartCameraAnimation({-1, 0, 0});
    EXPECT_FLOAT_EQ(v.endYaw, -180.0f);
    now += 125;
    v.Tick();
    EXPECT_NEAR(r.yawDegrees, -175.0f, 1e-3f);
    r.yawDegrees = 170.0f;
    v.StartCameraAnimation({-1, -1, 0});
    EXPECT_FLOAT_EQ(v.endYaw, 225.0f);
    now += 300;
    v.Tick();
    EXPECT_NEAR(r.yawDegrees, -135.0f, 1e-3f);
}

TEST_F(ViewportInteractionTest, PressesAndKeysStopAnAnimationWhereItStands) {
    const auto halfway = [&] {
        r.yawDegrees = -135.0f;
        r.pitchDegrees = 45.0f;
        v.StartCameraAnimation({0, 0, 1});
        now += 100;
        v.Tick();
        return std::pair{r.yawDegrees, r.pitchDegrees};
    };
    const auto expectHeld = [&](std::pair<float, float> at) {
        EXPECT_FALSE(v.animating);
        EXPECT_FALSE(port.timer);
        now += 500;
        v.Tick();
        EXPECT_FLOAT_EQ(r.yawDegrees, at.first);
        EXPECT_FLOAT_EQ(r.pitchDegrees, at.second);
        EXPECT_FALSE(r.orthographic);
    };
    auto at = halfway();
    v.Key(ViewportKey::Home);
    expectHeld(at);
    at = halfway();
    v.Key(ViewportKey::F);
    expectHeld(at);
    at = halfway();
    v.MiddleDown({10, 500, false, false});
    v.MiddleUp();
    expectHeld(at);
    at = halfway();
    v.LeftDown({10, 500, false, false});
    v.LeftUp({10, 500, false, false});
    expectHeld(at);
    at = halfway();
    v.FrameScene();
    expectHeld(at);
}

TEST_F(ViewportInteractionTest, ViewCubeDragTurnsAndHomeButtonResets) {
    const std::array<int, 2> top = CubeFaceCentre({0, 0, 1});
    v.LeftDown({top[0], top[1], false, false});
    EXPECT_TRUE(v.cubePressed);
    v.Move({top[0] + 5, top[1], false, false});
    EXPECT_TRUE(v.cubeDragged);
    EXPECT_NEAR(r.yawDegrees, -139.0f, 1e-3f);
    v.LeftUp({top[0] + 5, top[1], false, false});
    EXPECT_FALSE(v.animating);
    // The home button: inside the cube's square at its top-left corner.
    r.yawDegrees = 10.0f;
    r.pitchDegrees = -20.0f;
    r.orthographic = true;
    r.sceneRadius = 2.0f;
    r.sceneCentre = {1, 1, 1};
    const gl::ViewCubeLayout layout = r.GetViewCubeLayout();
    Click(static_cast<int>(layout.left) + 5, static_cast<int>(layout.top) + 5);
    EXPECT_FLOAT_EQ(r.yawDegrees, -135.0f);
    EXPECT_FLOAT_EQ(r.pitchDegrees, 45.0f);
    EXPECT_FALSE(r.orthographic);
    EXPECT_EQ(r.target, (mesh::Vec3f{1, 1, 1}));
    EXPECT_NEAR(r.distance, 2.0f / std::sin(22.5f * 3.1415927f / 180.0f) * 1.15f, 1e-4f);
    EXPECT_FALSE(v.animating);
    // Hover: the button shows no cell; a cell lights its target; leaving clears both.
    v.Move({static_cast<int>(layout.left) + 5, static_cast<int>(layout.top) + 5, false, false});
    EXPECT_TRUE(r.hoverButton);
    EXPECT_FALSE(r.hoverValid);
    const std::array<int, 2> front = CubeFaceCentre({0, -1, 0});
    v.Move({front[0], front[1], false, false});
    EXPECT_FALSE(r.hoverButton);
    EXPECT_TRUE(r.hoverValid);
    EXPECT_EQ(r.hoverTarget, (gl::Direction{0, -1, 0}));
    v.Leave();
    EXPECT_FALSE(r.hoverValid);
    EXPECT_FALSE(v.trackingLeave);
}

TEST_F(ViewportInteractionTest, WheelZoomsAboutThePickedPoint) {
    const mesh::Vec3f p{0.5f, -0.25f, 0.75f};
    host.partPoint = p;
    r.sceneRadius = 10.0f;
    const mesh::Vec3f t0 = r.target;
    const float d0 = r.distance;
    v.Wheel(1.0f, {400, 300, false, false});
    EXPECT_NEAR(r.distance, d0 * 0.86f, 1e-4f);
    const mesh::Vec3f expected = p + (t0 - p) * 0.86f;
    EXPECT_NEAR(r.target.x, expected.x, 1e-5f);
    EXPECT_NEAR(r.target.y, expected.y, 1e-5f);
    EXPECT_NEAR(r.target.z, expected.z, 1e-5f);
    // Without a part the scene centre is the pivot; a notch back undoes the step.
    host.hasPart = false;
    r.sceneCentre = {2, 0, 0};
    const mesh::Vec3f t1 = r.target;
    v.Wheel(-1.0f, {400, 300, false, false});
    EXPECT_NEAR(r.distance, d0, 1e-4f);
    const mesh::Vec3f back = r.sceneCentre + (t1 - r.sceneCentre) / 0.86f;
    EXPECT_NEAR(r.target.x, back.x, 1e-4f);
}

TEST_F(ViewportInteractionTest, HandleDragsMoveThePlacementAndShiftPans) {
    host.tool = ViewTool::MoveCage;
    host.havePlacement = true;
    host.placement = {{0, 0, 0}, {0, 0, 0}, {2, 2, 2}};
    const float size = v.GizmoWorldSize();
    ASSERT_GT(size, 0.0f);
    // 110 px at 96 DPI at the target's depth of a 600 px high view.
    EXPECT_NEAR(size, 2.0f * 5.2f * 0.41421356f / 600.0f * 110.0f, 1e-4f);
    EXPECT_NEAR(v.PickWorldRadius(), size * 16.0f / 110.0f, 1e-5f);
    const std::array<int, 2> onX = Pixel({0.6f * size, 0, 0});
    v.Move({onX[0], onX[1], false, false});
    ASSERT_FALSE(host.hovers.empty());
    EXPECT_EQ(host.hovers.back().second, HandleKind::AxisX);
    const std::size_t hoverCount = host.hovers.size();
    v.Move({onX[0], onX[1], false, false});
    EXPECT_EQ(host.hovers.size(), hoverCount);
    // Shift never grabs a handle.
    v.LeftDown({onX[0], onX[1], true, false});
    EXPECT_TRUE(v.panning);
    EXPECT_TRUE(host.calls.empty());
    v.LeftUp({onX[0], onX[1], true, false});
    // A drag along the arrow's screen direction moves the centre along X only.
    const std::array<int, 2> further = Pixel({1.2f * size, 0, 0});
    v.LeftDown({onX[0], onX[1], false, false});
    EXPECT_TRUE(v.handleDrag.active);
    EXPECT_EQ(host.calls, std::vector<std::string>{"BeginHandleDrag"});
    v.Move({further[0], further[1], false, false});
    ASSERT_EQ(host.placements.size(), 1u);
    EXPECT_NEAR(host.placements[0].center.x, 0.6f * size, 0.03f * size);
    EXPECT_NEAR(host.placements[0].center.y, 0.0f, 1e-4f);
    EXPECT_NEAR(host.placements[0].center.z, 0.0f, 1e-4f);
    v.LeftUp({further[0], further[1], false, false});
    EXPECT_EQ(host.calls.back(), "EndHandleDrag");
    EXPECT_TRUE(host.clicks.empty());
    EXPECT_FALSE(port.capture);
}

TEST_F(ViewportInteractionTest, ARayAlongAnArrowStartsNoDrag) {
    host.tool = ViewTool::MoveCage;
    host.havePlacement = true;
    host.placement = {{0, 0, 0}, {0, 0, 0}, {2, 2, 2}};
    // Looking straight down -X in an orthographic view: the X arrow is a point.
    r.yawDegrees = 0.0f;
    r.pitchDegrees = 0.0f;
    r.orthographic = true;
    const std::array<int, 2> c = Pixel({0, 0, 0});
    mesh::Vec3f origin, direction;
    ASSERT_TRUE(r.ScreenRay(c[0], c[1], origin, direction));
    ASSERT_EQ(direction, (mesh::Vec3f{-1, 0, 0}));
    // The centre on the ray itself: every arrow at distance 0, X first.
    host.placement.center = {0, origin.y, origin.z};
    ASSERT_EQ(gl::HitTestPlacementHandles({origin, direction}, host.placement, host.tool, v.GizmoWorldSize()).kind,
              HandleKind::AxisX);
    EXPECT_FALSE(v.BeginDrag(c[0], c[1]));
    v.LeftDown({c[0], c[1], false, false});
    EXPECT_FALSE(v.handleDrag.active);
    EXPECT_TRUE(v.orbiting);
    EXPECT_TRUE(host.calls.empty());
    v.LeftUp({c[0], c[1], false, false});
}

TEST_F(ViewportInteractionTest, ScaleMaskFaceDragWithShift) {
    host.tool = ViewTool::ScaleMask;
    host.havePlacement = true;
    host.placement = {{0, 0, 0}, {0, 0, 0}, {2, 2, 2}};
    const std::array<int, 2> face = Pixel({1, 0, 0});
    const std::array<int, 2> out = Pixel({1.5f, 0, 0});
    v.LeftDown({face[0], face[1], false, false});
    ASSERT_TRUE(v.handleDrag.active);
    EXPECT_EQ(v.handleDrag.kind, HandleKind::AxisX);
    v.Move({out[0], out[1], false, false});
    ASSERT_EQ(host.placements.size(), 1u);
    const float grown = host.placements[0].size.x - 2.0f;
    EXPECT_NEAR(grown, 0.5f, 0.05f);
    EXPECT_NEAR(host.placements[0].center.x, grown / 2.0f, 1e-4f);
    v.Move({out[0], out[1], true, false});
    EXPECT_NEAR(host.placements[1].size.x, 2.0f + 2.0f * grown, 1e-4f);
    EXPECT_FLOAT_EQ(host.placements[1].center.x, 0.0f);
    v.LeftUp({out[0], out[1], true, false});
}

TEST_F(ViewportInteractionTest, TextureCentreDragMovesTheLayer) {
    host.tool = ViewTool::MoveTexture;
    host.frame.valid = true;
    host.frame.side = 4;
    host.frame.origin = {0, 0, 1};
    host.frame.textureU = host.frame.sideU = {1, 0, 0};
    host.frame.textureV = host.frame.sideV = {0, 1, 0};
    host.frame.normal = {0, 0, 1};
    host.projection.layer[4].originMillimetres[0] = 3.0f;
    const std::array<int, 2> centre = Pixel({0, 0, 1});
    v.LeftDown({centre[0], centre[1], false, false});
    ASSERT_TRUE(v.handleDrag.textureActive);
    EXPECT_EQ(v.handleDrag.textureKind, HandleKind::Centre);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"BeginHandleDrag", "BeginTextureDrag"}));
    const std::array<int, 2> moved = Pixel({0.1f, 0.05f, 1});
    v.Move({moved[0], moved[1], false, false});
    ASSERT_EQ(host.layers.size(), 1u);
    EXPECT_EQ(host.layers[0].first, 4);
    EXPECT_NEAR(host.layers[0].second.originMillimetres[0], 3.1f, 0.01f);
    EXPECT_NEAR(host.layers[0].second.originMillimetres[1], 0.05f, 0.01f);
    v.LeftUp({moved[0], moved[1], false, false});
}

TEST_F(ViewportInteractionTest, LayOnFacePicksOnlyFaces) {
    FakeRestingFaceHost faces;
    v.SetHosts(&host, &faces);
    r.showCage = true;
    faces.face = 3;
    v.Move({400, 300, false, false});
    v.Move({401, 300, false, false});
    EXPECT_EQ(faces.hovered, std::vector<std::int32_t>{3});
    EXPECT_TRUE(host.hovers.empty());
    Click(400, 300, 2, 2);
    EXPECT_EQ(faces.applied, std::vector<std::int32_t>{3});
    EXPECT_TRUE(host.clicks.empty());
    // A drag from the face turns the camera and lays nothing.
    const float yaw = r.yawDegrees;
    Click(400, 300, 30, 0);
    EXPECT_EQ(faces.applied.size(), 1u);
    EXPECT_NE(r.yawDegrees, yaw);
    faces.active = false;
    Click(400, 300);
    EXPECT_EQ(faces.applied.size(), 1u);
}

TEST_F(ViewportInteractionTest, WithoutAContextPicksDoNothingButKeysMoveTheCamera) {
    r.ready = false;
    r.showCage = true;
    host.tool = ViewTool::MoveCage;
    host.havePlacement = true;
    Click(400, 300);
    v.Move({402, 300, false, false});
    EXPECT_TRUE(host.clicks.empty());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.hovers.empty());
    r.sceneRadius = 3.0f;
    v.Key(ViewportKey::Home);
    EXPECT_NEAR(r.distance, 3.0f / std::sin(22.5f * 3.1415927f / 180.0f) * 1.15f, 1e-4f);
    v.Key(ViewportKey::Numpad5);
    EXPECT_TRUE(r.orthographic);
    // No host at all: the camera still turns.
    v.SetHosts(nullptr, nullptr);
    Click(300, 300, 10, 0);
    EXPECT_NEAR(r.yawDegrees, -143.0f, 1e-3f);
}

TEST_F(ViewportInteractionTest, ResizeKeepsOnePixelAndTakesTheDpi) {
    port.dpi = 192;
    v.Resize(0, 0);
    EXPECT_EQ(r.viewportWidth, 1);
    EXPECT_EQ(r.viewportHeight, 1);
    EXPECT_FLOAT_EQ(r.dpiScale, 2.0f);
    port.dpi = 0;
    v.Resize(640, 480);
    EXPECT_FLOAT_EQ(r.dpiScale, 1.0f);
    // Orthographic sizes follow the distance; at 192 DPI pixels count double.
    r.orthographic = true;
    port.dpi = 192;
    EXPECT_NEAR(v.PixelsToWorldAt({100, 100, 100}, 10.0f), 2.0f * (2.0f * 5.2f * 0.41421356f / 480.0f * 10.0f), 1e-5f);
}

}  // namespace
}  // namespace ridgeforge::testing
