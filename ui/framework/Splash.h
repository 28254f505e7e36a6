// The splash shown while the program starts: a borderless, stay-on-top
// window without a taskbar entry, showing a PNG on a solid colour (windows
// here have no per-pixel alpha without a compositor), centred in the work
// area of the screen under the mouse and never larger than 80 % of it.
#pragma once

#include <filesystem>

#include <wx/colour.h>
#include <wx/gdicmn.h>

namespace ridgeforge::ui {

// The window size for an image: scale = min(1, 0.8 * area width / image
// width, 0.8 * area height / image height), each side truncated, at least 1.
wxSize SplashSize(const wxSize& image, const wxSize& workArea);

// Shows the splash; true when it is shown (also when it already was). False
// for a missing, undecodable or empty image.
bool ShowSplashWindow(const std::filesystem::path& path, const wxColour& background = wxColour(255, 255, 255));
bool IsSplashShown();
// The splash's screen rectangle, or an empty one.
wxRect SplashRect();
void CloseSplashWindow();

}  // namespace ridgeforge::ui
