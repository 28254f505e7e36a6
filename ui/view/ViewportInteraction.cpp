// The viewport's events and camera moves. A left press is claimed by the
// first of: the view cube, a Lay on Face pick, a handle, a cage side, the
// camera; a release within 4 pixels of the press in x and in y is a click.
// The view-cube turn is a smoothstep over 250 ms from the press of a cell,
// the shorter way round in yaw; a face-centre view ends orthographic, and
// the next turn the user makes returns to perspective.
#include "ui/view/ViewportInteraction.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "gl/CameraMath.h"

namespace ridgeforge {
namespace {

constexpr float kRadiansToDegrees = 180.0f / 3.1415927f;
constexpr float kPitchLimit = 89.5f;

bool WithinClick(const std::array<int, 2>& a, int x, int y) {
    return std::abs(x - a[0]) < kClickSlop && std::abs(y - a[1]) < kClickSlop;
}

}  // namespace

MillisecondClock SteadyMilliseconds() {
    return [] {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    };
}

ViewportInteraction::ViewportInteraction(gl::Renderer& renderer, ViewportPort& port, MillisecondClock clock)
    : renderer_(renderer), port_(port), clock_(clock ? std::move(clock) : SteadyMilliseconds()) {}

void ViewportInteraction::SetHosts(ICageHost* cage, IRestingFaceHost* restingFace) {
    cageHost = cage;
    restingFaceHost = restingFace;
}

void ViewportInteraction::Changed() {
    if (cageHost != nullptr) cageHost->RefreshHandles();
    port_.Invalidate();
}

float ViewportInteraction::DpiScale() const {
    const unsigned dpi = port_.Dpi();
    const float scale = static_cast<float>(dpi == 0 ? 96u : dpi) / 96.0f;
    return scale > 0.0f ? scale : 1.0f;
}

void ViewportInteraction::Resize(int width, int height) {
    renderer_.viewportWidth = std::max(1, width);
    renderer_.viewportHeight = std::max(1, height);
    renderer_.dpiScale = DpiScale();
    Changed();
}

void ViewportInteraction::Destroy() {
    EndDrag();
    HaltCameraAnimation();
    renderer_.Shutdown();
}

void ViewportInteraction::LeftDown(const PointerEvent& e) {
    shiftHeld_ = e.shift;
    port_.TakeFocusAndCapture();
    HaltCameraAnimation();
    lastPoint = pressPoint = {e.x, e.y};
    pressedSide = -1;
    const gl::ViewCubeLayout layout = renderer_.GetViewCubeLayout();
    const auto x = static_cast<float>(e.x);
    const auto y = static_cast<float>(e.y);
    if (layout.size > 0.0f && (gl::InViewCubeSquare(layout, x, y) || gl::HitViewCubeButton(layout, x, y))) {
        cubePressed = true;
        cubeDragged = false;
        orbiting = panning = false;
        return;
    }
    pressedFace = -1;
    mesh::Ray ray;
    if (restingFaceHost != nullptr && restingFaceHost->IsActive() && Ray(e.x, e.y, ray))
        pressedFace = restingFaceHost->PickFace(ray);
    if (pressedFace < 0 && !e.shift && BeginDrag(e.x, e.y)) {
        orbiting = panning = false;
        return;
    }
    pressedSide = PickCageSide(e.x, e.y);
    panning = e.shift;
    orbiting = !e.shift;
}

void ViewportInteraction::LeftUp(const PointerEvent& e) {
    shiftHeld_ = e.shift;
    if (cubePressed) {
        const bool turned = cubeDragged;
        EndDrag();
        if (!turned) {
            const gl::ViewCubeLayout layout = renderer_.GetViewCubeLayout();
            const auto px = static_cast<float>(pressPoint[0]);
            const auto py = static_cast<float>(pressPoint[1]);
            gl::Direction target{0, 0, 0};
            if (layout.size > 0.0f && gl::HitViewCubeButton(layout, px, py))
                ResetView();
            else if (gl::ViewCubeCellAt(layout, px, py, target))
                StartCameraAnimation(target);
        }
        UpdateViewCubeHover(e.x, e.y);
        return;
    }
    const bool wasHandleDrag = handleDrag.active;
    const std::int32_t side = pressedSide;
    const std::int32_t face = pressedFace;
    pressedFace = -1;
    EndDrag();
    const bool click = WithinClick(pressPoint, e.x, e.y);
    if (click && face >= 0 && restingFaceHost != nullptr && restingFaceHost->IsActive()) {
        hoverFace = -1;
        restingFaceHost->ApplyFace(face);
    } else if (wasHandleDrag) {
        if (cageHost != nullptr) cageHost->EndHandleDrag();
    } else if (click && side >= 0 && cageHost != nullptr) {
        if (IsTextureTool(cageHost->ActiveTool()))
            cageHost->SelectSide(side);
        else
            cageHost->ClickSide(side, e.ctrl);
    }
    UpdateHover(e.x, e.y);
}

void ViewportInteraction::MiddleDown(const PointerEvent& e) {
    port_.TakeFocusAndCapture();
    HaltCameraAnimation();
    lastPoint = {e.x, e.y};
    panning = true;
    orbiting = false;
}

void ViewportInteraction::MiddleUp() { EndDrag(); }

void ViewportInteraction::CaptureLost() { EndDrag(); }

void ViewportInteraction::EndDrag() {
    if (port_.HasCapture()) port_.ReleaseCapture();
    cubePressed = cubeDragged = orbiting = panning = false;
    handleDrag = gl::HandleDragState{};
    pressedSide = -1;
}

void ViewportInteraction::Move(const PointerEvent& e) {
    shiftHeld_ = e.shift;
    if (!trackingLeave) trackingLeave = port_.RequestLeaveNotification();
    const bool captured = port_.HasCapture();
    if (captured && cubePressed) {
        if (!cubeDragged && WithinClick(pressPoint, e.x, e.y)) {
            lastPoint = {e.x, e.y};
            return;
        }
        cubeDragged = true;
        OrbitBy(static_cast<float>(e.x - lastPoint[0]), static_cast<float>(e.y - lastPoint[1]));
        lastPoint = {e.x, e.y};
        return;
    }
    if (!captured) {
        if (UpdateViewCubeHover(e.x, e.y)) return;
        UpdateHover(e.x, e.y);
        return;
    }
    if (handleDrag.active) {
        DragHandle(e.x, e.y);
        lastPoint = {e.x, e.y};
        return;
    }
    if (!orbiting && !panning) return;
    const auto dx = static_cast<float>(e.x - lastPoint[0]);
    const auto dy = static_cast<float>(e.y - lastPoint[1]);
    lastPoint = {e.x, e.y};
    if (panning) {
        renderer_.Pan(dx, dy);
        Changed();
    } else {
        OrbitBy(dx, dy);
    }
}

void ViewportInteraction::Wheel(float steps, const PointerEvent& e) {
    mesh::Vec3f pivot = renderer_.sceneCentre;
    mesh::Ray ray;
    mesh::Vec3f hit;
    if (cageHost != nullptr && cageHost->HasPart() && Ray(e.x, e.y, ray) && cageHost->PickPart(ray, hit)) pivot = hit;
    renderer_.ZoomAt(steps, pivot);
    Changed();
}

bool ViewportInteraction::Key(ViewportKey key) {
    switch (key) {
        case ViewportKey::Home:
        case ViewportKey::F:
            autoOrthographic = false;
            renderer_.orthographic = false;
            Changed();
            FrameScene();
            return true;
        case ViewportKey::Numpad5:
            autoOrthographic = false;
            renderer_.orthographic = !renderer_.orthographic;
            Changed();
            return true;
        default:
            return false;
    }
}

void ViewportInteraction::Leave() {
    trackingLeave = false;
    if (!cubeHoverValid && !buttonHover) return;
    cubeHoverValid = buttonHover = false;
    renderer_.hoverValid = renderer_.hoverButton = false;
    renderer_.hoverTarget = {0, 0, 0};
    port_.Invalidate();
}

void ViewportInteraction::OrbitBy(float dx, float dy) {
    if (autoOrthographic) {
        autoOrthographic = false;
        renderer_.orthographic = false;
        Changed();
    }
    renderer_.Orbit(dx, dy);
    Changed();
}

void ViewportInteraction::FrameScene() {
    HaltCameraAnimation();
    renderer_.target = renderer_.sceneCentre;
    renderer_.distance = gl::FramingDistance(renderer_.sceneRadius);
    Changed();
}

void ViewportInteraction::ResetView() {
    HaltCameraAnimation();
    autoOrthographic = false;
    renderer_.orthographic = false;
    Changed();
    renderer_.target = renderer_.sceneCentre;
    renderer_.yawDegrees = -135.0f;
    renderer_.pitchDegrees = 45.0f;
    renderer_.distance = gl::FramingDistance(renderer_.sceneRadius);
    Changed();
}

void ViewportInteraction::HaltCameraAnimation() {
    if (!animating) return;
    animating = false;
    port_.StopAnimationTimer();
}

void ViewportInteraction::StartCameraAnimation(const gl::Direction& d) {
    const int a = d[0];
    const int b = d[1];
    const int c = d[2];
    if (a == 0 && b == 0 && c == 0) return;
    HaltCameraAnimation();
    float yaw = -90.0f;
    float pitch = c >= 1 ? kPitchLimit : -kPitchLimit;
    if (a != 0 || b != 0) {
        const auto fa = static_cast<float>(a);
        const auto fb = static_cast<float>(b);
        yaw = std::atan2(fb, fa) * kRadiansToDegrees;
        pitch = std::clamp(std::atan2(static_cast<float>(c), std::sqrt(fa * fa + fb * fb)) * kRadiansToDegrees,
                           -kPitchLimit, kPitchLimit);
    }
    startYaw = renderer_.yawDegrees;
    startPitch = renderer_.pitchDegrees;
    endYaw = startYaw + std::remainder(yaw - startYaw, 360.0f);
    endPitch = pitch;
    animationAxisView = (a != 0) + (b != 0) + (c != 0) == 1;
    if (!animationAxisView && autoOrthographic) {
        renderer_.orthographic = false;
        autoOrthographic = false;
        Changed();
    }
    animating = true;
    animationStartTick = clock_();
    port_.StartAnimationTimer();
}

void ViewportInteraction::Tick() {
    if (!animating) {
        port_.StopAnimationTimer();
        return;
    }
    const float t = static_cast<float>(clock_() - animationStartTick) / kAnimationMilliseconds;
    if (t >= 1.0f) {
        StopCameraAnimation();
        return;
    }
    const float s = (3.0f - 2.0f * t) * t * t;
    renderer_.SetViewAngles(startYaw + (endYaw - startYaw) * s, startPitch + (endPitch - startPitch) * s);
    Changed();
}

void ViewportInteraction::StopCameraAnimation() {
    animating = false;
    port_.StopAnimationTimer();
    renderer_.SetViewAngles(endYaw, endPitch);
    if (animationAxisView && !renderer_.orthographic) {
        renderer_.orthographic = true;
        Changed();
        autoOrthographic = true;
    }
    Changed();
}

}  // namespace ridgeforge
