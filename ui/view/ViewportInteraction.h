// The 3D viewport's mouse and key handling as a state machine on plain
// events, apart from any window: a press on the view cube, a Lay on Face
// pick, a handle drag, a cage-side click, or a camera turn, pan, zoom and
// the 250 ms eased turn to a view-cube preset. Only one state holds at a
// time (idle, view-cube press, turn, pan, handle drag); the press takes
// the mouse capture and EndDrag leaves every state.
//
// The window supplies focus, capture, repaint, the animation timer and its
// DPI through ViewportPort, and the clock is injected, so that the whole
// machine runs headless against a fake host. User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "gl/Handles.h"
#include "gl/Renderer.h"
#include "ui/view/ViewportHosts.h"

namespace ridgeforge {

// What the interaction needs of the window it lives in.
class ViewportPort {
public:
    virtual ~ViewportPort() = default;
    virtual void TakeFocusAndCapture() = 0;
    virtual bool HasCapture() const = 0;
    virtual void ReleaseCapture() = 0;
    virtual void Invalidate() = 0;
    // Timer 92 with a period of 15 ms.
    virtual void StartAnimationTimer() = 0;
    virtual void StopAnimationTimer() = 0;
    // The window's DPI; 0 when unknown.
    virtual unsigned Dpi() const = 0;
    // Asks for one leave notification; true when it will come.
    virtual bool RequestLeaveNotification() = 0;
};

struct PointerEvent {
    int x = 0;
    int y = 0;
    bool shift = false;
    bool ctrl = false;
};

enum class ViewportKey { Home, F, Numpad5, Other };

// Milliseconds from an arbitrary start.
using MillisecondClock = std::function<std::uint64_t()>;
MillisecondClock SteadyMilliseconds();

inline constexpr int kAnimationTimerId = 92;
inline constexpr int kAnimationTickMilliseconds = 15;
inline constexpr float kAnimationMilliseconds = 250.0f;
inline constexpr int kClickSlop = 5;
inline constexpr float kGizmoPixels = 110.0f;
inline constexpr float kPickPixels = 16.0f;

class ViewportInteraction {
public:
    ViewportInteraction(gl::Renderer& renderer, ViewportPort& port, MillisecondClock clock = SteadyMilliseconds());

    void SetHosts(ICageHost* cage, IRestingFaceHost* restingFace);

    // Events.
    void LeftDown(const PointerEvent& e);
    void LeftUp(const PointerEvent& e);
    void MiddleDown(const PointerEvent& e);
    void MiddleUp();
    void Move(const PointerEvent& e);
    // steps = wheel rotation / wheel delta; positive moves closer.
    void Wheel(float steps, const PointerEvent& e);
    // True when handled.
    bool Key(ViewportKey key);
    void Tick();
    void Leave();
    void CaptureLost();
    void Resize(int width, int height);
    void Destroy();

    // Operations the view calls.
    void FrameScene();
    void ResetView();
    float PixelsToWorldAt(const mesh::Vec3f& point, float pixels) const;
    float GizmoWorldSize() const;
    float PickWorldRadius() const;
    bool BeginDrag(int x, int y);
    void DragHandle(int x, int y);
    void EndDrag();
    void StartCameraAnimation(const gl::Direction& target);
    // The last tick: the end angles, and an axis view made orthographic.
    void StopCameraAnimation();
    std::int32_t PickCageSide(int x, int y) const;
    void UpdateHover(int x, int y);
    // True when the cursor is over the cube's square or its home button.
    bool UpdateViewCubeHover(int x, int y);
    void OrbitBy(float dx, float dy);
    float DpiScale() const;

    // State, readable by the window and by tests.
    std::array<int, 2> lastPoint{0, 0};
    bool orbiting = false;
    bool autoOrthographic = false;
    bool panning = false;
    ICageHost* cageHost = nullptr;
    IRestingFaceHost* restingFaceHost = nullptr;
    std::int32_t hoverFace = -1;
    std::int32_t pressedFace = -1;
    std::int32_t hoverSide = -1;
    gl::HandleKind hoverHandle = gl::HandleKind::None;
    gl::HandleDragState handleDrag;
    std::int32_t pressedSide = -1;
    std::array<int, 2> pressPoint{0, 0};
    gl::Direction cubeHoverTarget{0, 0, 0};
    bool cubeHoverValid = false;
    bool buttonHover = false;
    bool cubePressed = false;
    bool cubeDragged = false;
    bool trackingLeave = false;
    bool animating = false;
    bool animationAxisView = false;
    float startYaw = 0.0f;
    float startPitch = 0.0f;
    float endYaw = 0.0f;
    float endPitch = 0.0f;
    std::uint64_t animationStartTick = 0;

private:
    bool Ray(int x, int y, mesh::Ray& ray) const;
    void Changed();
    // Stops an animation where it stands.
    void HaltCameraAnimation();
    bool BeginTextureDrag(const mesh::Ray& ray);
    bool BeginPlacementDrag(const mesh::Ray& ray, ViewTool tool);

    gl::Renderer& renderer_;
    ViewportPort& port_;
    MillisecondClock clock_;
    bool shiftHeld_ = false;
};

}  // namespace ridgeforge
