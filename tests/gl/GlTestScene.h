// A shown window with a live renderer for pixel tests: the frame's back
// buffer is read just before each swap, and pixels are addressed as on
// screen (y down). Helpers place world points on pixels and pixel centres on
// the plane z = const, through the renderer's own camera.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <array>
#include <map>
#include <utility>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "gl/Renderer.h"
#include "ui/framework/GlWindow.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge::testing {

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "RGB(" << c.r << ", " << c.g << ", " << c.b << ")";
}

inline bool Near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// A linear colour (0..1) times a factor, as the framebuffer stores it.
inline Rgb Stored(const mesh::Vec3f& c, float factor = 1.0f) {
    const auto q = [&](float v) { return static_cast<int>(std::lround(std::clamp(v * factor, 0.0f, 1.0f) * 255.0f)); };
    return {q(c.x), q(c.y), q(c.z)};
}

// 0.28 + 0.72 |n . -L| for the renderer's light.
inline float LitIntensity(const mesh::Vec3f& normal) {
    const mesh::Vec3f light = gl::kLightDirection / mesh::Length(gl::kLightDirection);
    return 0.28f + 0.72f * std::fabs(mesh::Dot(normal, -light));
}

class GlScene {
public:
    // The tests of one program share one shown window of each size; each
    // test gives it a renderer (and so a context) of its own.
    explicit GlScene(int width = 1280, int height = 800, bool show = true) {
        if (!show) {
            frame_ = new wxFrame(nullptr, wxID_ANY, "hidden", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
            frame_->SetClientSize(width, height);
            window = new ui::GlWindow(frame_, wxID_ANY, wxPoint(0, 0), wxSize(width, height));
            return;
        }
        static std::map<std::pair<int, int>, ui::GlWindow*> shared;
        ui::GlWindow*& kept = shared[{width, height}];
        if (kept == nullptr) {
            auto* frame = new wxFrame(nullptr, wxID_ANY, "renderer", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
            frame->SetClientSize(width, height);
            kept = new ui::GlWindow(frame, wxID_ANY, wxPoint(0, 0), wxSize(width, height));
            frame->Show();
            PumpUntil([&] { return kept->IsShownOnScreen(); });
            PumpEvents(50);
        }
        window = kept;
        window->GetParent()->Raise();
    }
    GlScene(const GlScene&) = delete;
    GlScene& operator=(const GlScene&) = delete;
    ~GlScene() {
        renderer.Shutdown();
        window->SetBeforeSwap({});
        if (frame_ != nullptr) frame_->Destroy();
        PumpEvents(10);
    }

    // Initialises the renderer on the window and sizes its viewport.
    bool Start() {
        if (!renderer.Initialize(window)) return false;
        const wxSize size = window->FramebufferSize();
        renderer.viewportWidth = size.x;
        renderer.viewportHeight = size.y;
        window->SetBeforeSwap([this] {
            width_ = renderer.viewportWidth;
            height_ = renderer.viewportHeight;
            pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, 0);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadBuffer(GL_BACK);
            glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
        });
        return true;
    }

    void Draw() { renderer.Render(); }

    // Pixel (x, y), y down from the top.
    Rgb At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
        const std::size_t row = static_cast<std::size_t>(height_ - 1 - y);
        const std::uint8_t* p = &pixels_[(row * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 3];
        return {p[0], p[1], p[2]};
    }

    // Where a world point lands (pixel column and row, y down).
    std::array<float, 2> Project(const mesh::Vec3f& p) const {
        const gl::Matrix4 m = renderer.ViewProjection();
        const float x = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
        const float y = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
        const float w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
        return {(x / w * 0.5f + 0.5f) * static_cast<float>(renderer.viewportWidth),
                (0.5f - y / w * 0.5f) * static_cast<float>(renderer.viewportHeight)};
    }
    Rgb AtPoint(const mesh::Vec3f& p) const {
        const std::array<float, 2> at = Project(p);
        return At(static_cast<int>(std::floor(at[0])), static_cast<int>(std::floor(at[1])));
    }

    // Where the ray through the centre of pixel (x, y) meets the plane z = height.
    std::optional<mesh::Vec3f> OnPlane(int x, int y, float height) const {
        mesh::Vec3f origin, direction;
        if (!renderer.ScreenRay(x, y, origin, direction) || std::fabs(direction.z) < 1e-6f) return std::nullopt;
        const float t = (height - origin.z) / direction.z;
        if (t <= 0.0f) return std::nullopt;
        return origin + direction * t;
    }

    // The last frame as a picture, for a person looking into a failure.
    wxImage Picture() const {
        wxImage image(width_, height_);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const Rgb c = At(x, y);
                image.SetRGB(x, y, static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                             static_cast<unsigned char>(c.b));
            }
        return image;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }

    gl::Renderer renderer;
    ui::GlWindow* window = nullptr;

private:
    wxFrame* frame_ = nullptr;
    std::vector<std::uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace ridgeforge::testing
