// What window tests share: a running wxWidgets application (set up by
// WxTestMain.cpp before any test), a way to let queued events and paints
// happen, and the screen as a person sees it.
#pragma once

#include <wx/colour.h>
#include <wx/image.h>
#include <wx/gdicmn.h>

#include <string>

class wxWindow;

namespace ridgeforge::testing {

// Dispatches pending events, paints and idle passes for about this long.
void PumpEvents(int milliseconds = 50);

// Pumps events until `done` answers true or the time runs out; returns
// whether it became true.
template <class Condition>
bool PumpUntil(Condition done, int milliseconds = 5000);

// The pixels on screen inside `rect` (screen coordinates), read from the X
// server, so that what is checked is what was drawn, after compositing.
wxImage GrabScreen(const wxRect& rect);

// The on-screen pixels of a shown window's client area.
wxImage GrabWindow(const wxWindow& window);

// The colour of one pixel of an image (a grabbed window, say).
wxColour PixelAt(const wxImage& image, int x, int y);

// While it lives, what the process writes to its standard error goes to a
// file instead (the toolkit's own warnings land there); Text() reads it back.
class StderrCapture {
public:
    explicit StderrCapture(std::string path);
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Ends the capture (once) and returns what was written.
    std::string Text();

private:
    std::string path_;
    int saved_ = -1;
};

}  // namespace ridgeforge::testing

#include <chrono>

template <class Condition>
bool ridgeforge::testing::PumpUntil(Condition done, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        PumpEvents(10);
    }
    return true;
}
