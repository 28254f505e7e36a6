// The child window of the 3D view in which the renderer draws. It owns the
// renderer and the GL canvas, and turns the canvas's mouse, wheel, key,
// leave, capture-lost and timer events into the plain events of
// ViewportInteraction. A canvas whose context failed cannot paint text
// reliably, so the window then shows a plain message panel in its place,
// which still takes the camera keys and the wheel.
#pragma once

#include <wx/panel.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <functional>
#include <memory>

#include "gl/Renderer.h"
#include "ui/framework/GlWindow.h"
#include "ui/view/ViewportInteraction.h"

class wxKeyEvent;
class wxMouseEvent;

namespace ridgeforge {

class COpenGLViewport : public wxWindow, private ViewportPort {
public:
    static constexpr wxWindowID kControlId = 1001;

    COpenGLViewport(wxWindow* parent, const wxPoint& position = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                    MillisecondClock clock = SteadyMilliseconds());
    ~COpenGLViewport() override;

    // Initialises the renderer once the canvas can be drawn into; shows the
    // message panel when that fails. True when the renderer is ready.
    bool EnsureRenderer();

    void SetHosts(ICageHost* cage, IRestingFaceHost* restingFace) { interaction.SetHosts(cage, restingFace); }
    void FrameScene() { interaction.FrameScene(); }
    void ResetView() { interaction.ResetView(); }
    float PixelsToWorldAt(const mesh::Vec3f& point, float pixels) const {
        return interaction.PixelsToWorldAt(point, pixels);
    }
    float GizmoWorldSize() const { return interaction.GizmoWorldSize(); }
    float PickWorldRadius() const { return interaction.PickWorldRadius(); }
    bool BeginDrag(int x, int y) { return interaction.BeginDrag(x, y); }
    void DragHandle(int x, int y) { interaction.DragHandle(x, y); }
    // Deletes the cage overlay's buffers when the context can be made
    // current; repaints in any case.
    void ClearCageOverlay();

    ui::GlWindow& Canvas() const { return *canvas_; }
    // The panel shown when the renderer failed; hidden otherwise.
    wxWindow& MessagePanel() const { return *message_; }
    wxTimer& AnimationTimer() { return timer_; }

    std::function<void(const gl::FrameStatistics&)> frameStatisticsCallback;
    gl::Renderer renderer;
    ViewportInteraction interaction;

private:
    // ViewportPort.
    void TakeFocusAndCapture() override;
    bool HasCapture() const override;
    void ReleaseCapture() override;
    void Invalidate() override;
    void StartAnimationTimer() override;
    void StopAnimationTimer() override;
    unsigned Dpi() const override;
    bool RequestLeaveNotification() override { return true; }

    wxWindow& Active() const;
    void BindInput(wxWindow& window);
    void OnSize(wxSizeEvent& event);
    void OnCanvasPaint(wxPaintEvent& event);
    void OnMessagePaint(wxPaintEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);

    ui::GlWindow* canvas_ = nullptr;
    wxPanel* message_ = nullptr;
    wxTimer timer_;
    bool initialised_ = false;
};

}  // namespace ridgeforge
