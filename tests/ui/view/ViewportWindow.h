// A shown frame holding one COpenGLViewport with a fake host, and the mouse
// and keys of the X server through xdotool, as a person's would arrive.
#pragma once

#include <gtest/gtest.h>
#include <wx/frame.h>

#include <cstdlib>
#include <string>

#include "tests/support/ui/WxTest.h"
#include "tests/ui/view/FakeViewportHost.h"
#include "ui/view/OpenGLViewport.h"

namespace ridgeforge::testing {

inline bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

class ViewportWindow {
public:
    ViewportWindow(int width = 640, int height = 480) {
        frame_ = new wxFrame(nullptr, wxID_ANY, "viewport", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
        frame_->SetClientSize(width, height);
        viewport = new COpenGLViewport(frame_, wxPoint(0, 0), wxSize(width, height));
        frame_->Show();
        frame_->Raise();
        PumpUntil([&] { return viewport->IsShownOnScreen(); });
        PumpEvents(100);
        viewport->EnsureRenderer();
        viewport->SetHosts(&host, nullptr);
        PumpEvents(50);
    }
    ~ViewportWindow() {
        frame_->Destroy();
        PumpEvents(20);
    }
    ViewportWindow(const ViewportWindow&) = delete;
    ViewportWindow& operator=(const ViewportWindow&) = delete;

    gl::Renderer& Renderer() { return viewport->renderer; }

    // Runs xdotool with client coordinates "@x,y" turned into screen ones.
    void Xdotool(const std::string& arguments, int pumpMilliseconds = 150) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
        PumpEvents(pumpMilliseconds);
    }
    std::string At(int x, int y) const {
        const wxPoint p = viewport->ClientToScreen(wxPoint(x, y));
        return "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y);
    }
    // Press at (x, y), move by (dx, dy), release there; each step handled
    // before the next, as GTK may fold a motion into a release that follows
    // it at once.
    void Drag(int x, int y, int dx, int dy, int button = 1, const std::string& held = "") {
        if (!held.empty()) Xdotool("keydown " + held, 50);
        Xdotool(At(x, y) + " mousedown " + std::to_string(button), 100);
        Xdotool(At(x + dx, y + dy), 100);
        Xdotool("mouseup " + std::to_string(button), 100);
        if (!held.empty()) Xdotool("keyup " + held, 50);
    }

    // Where a world point lands, in client pixels.
    std::array<int, 2> Pixel(const mesh::Vec3f& p) {
        const gl::Renderer& r = viewport->renderer;
        const gl::Matrix4 m = r.ViewProjection();
        const float x = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
        const float y = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
        const float w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
        return {static_cast<int>(std::floor((x / w * 0.5f + 0.5f) * static_cast<float>(r.viewportWidth))),
                static_cast<int>(std::floor((0.5f - y / w * 0.5f) * static_cast<float>(r.viewportHeight)))};
    }

    FakeCageHost host;
    COpenGLViewport* viewport = nullptr;

private:
    wxFrame* frame_ = nullptr;
};

}  // namespace ridgeforge::testing
