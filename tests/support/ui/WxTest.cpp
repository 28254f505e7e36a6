#include "tests/support/ui/WxTest.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>

namespace ridgeforge::testing {

void PumpEvents(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        wxTheApp->Yield(true);
        wxTheApp->ProcessIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

wxImage GrabScreen(const wxRect& rect) {
    wxImage image(rect.width, rect.height);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || rect.width <= 0 || rect.height <= 0) return image;
    XSync(display, False);
    XImage* shot = XGetImage(display, DefaultRootWindow(display), rect.x, rect.y, static_cast<unsigned>(rect.width),
                             static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
    if (shot != nullptr) {
        for (int y = 0; y < rect.height; ++y)
            for (int x = 0; x < rect.width; ++x) {
                const unsigned long pixel = XGetPixel(shot, x, y);
                image.SetRGB(x, y, static_cast<unsigned char>((pixel >> 16) & 0xff),
                             static_cast<unsigned char>((pixel >> 8) & 0xff), static_cast<unsigned char>(pixel & 0xff));
            }
        XDestroyImage(shot);
    }
    XCloseDisplay(display);
    return image;
}

wxImage GrabWindow(const wxWindow& window) {
    const wxPoint origin = window.ClientToScreen(wxPoint(0, 0));
    return GrabScreen(wxRect(origin, window.GetClientSize()));
}

wxColour PixelAt(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

StderrCapture::StderrCapture(std::string path) : path_(std::move(path)) {
    std::fflush(stderr);
    const int file = ::open(path_.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    if (file < 0) return;
    saved_ = ::dup(2);
    if (saved_ >= 0) ::dup2(file, 2);
    ::close(file);
}

StderrCapture::~StderrCapture() { Text(); }

std::string StderrCapture::Text() {
    if (saved_ >= 0) {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::ifstream in(path_);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace ridgeforge::testing
