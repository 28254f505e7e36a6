// Sizes in the windows are designed at 96 DPI and scaled by the DPI of the
// window that shows them, with the rounding the sizes were designed against:
// a product divided with halves rounded away from zero, so that 130 dip at
// 144 DPI is 195 px and -MulDiv(9, 96, 72) is -12.
//
// The DPI is the one the desktop asks for. A Linux desktop scales in two
// ways: the text resolution (Xft.dpi, 96 when unset, times GDK_DPI_SCALE, the
// "large text" setting), at which the toolkit renders every point size, and
// the window scale (GDK_SCALE), by which the toolkit multiplies every window
// coordinate on its own. The effective DPI is the product of the two; in a
// window's own coordinates, which the window scale has already multiplied,
// it is the text resolution. So layout and fonts use the text resolution,
// and a text measured at one scale is drawn at the same scale.
#pragma once

#include <functional>

class wxWindow;

namespace ridgeforge::ui {

// number * numerator / denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0.
int MulDiv(int number, int numerator, int denominator);

// A size in 96-DPI units at the given DPI.
inline int ScaleDip(int dip, unsigned dpi) { return MulDiv(dip, static_cast<int>(dpi), 96); }

// The resolution, in dots per inch of window coordinates, at which the
// toolkit renders text now (Xft.dpi and GDK_DPI_SCALE as GTK applies them);
// the screen's logical pixels per inch when the toolkit does not say, else 96.
unsigned DesktopTextDpi();

// The toolkit's scale of `window`'s coordinates to device pixels (GDK_SCALE;
// 1 without a window).
double WindowScale(const wxWindow* window);

// The DPI a ruler on the screen would find for `window`: the text
// resolution times the window scale (192 for Xft.dpi 96 and GDK_SCALE 2).
unsigned EffectiveDpi(const wxWindow* window);

// The DPI that sizes in `window`'s coordinates are scaled by: the effective
// DPI divided by the window scale, which is the desktop's text resolution.
unsigned WindowDpi(const wxWindow* window);

// ScaleDip with WindowDpi(window).
inline int ScaleDip(int dip, const wxWindow* window) { return ScaleDip(dip, WindowDpi(window)); }

// Calls `changed` on the user-interface thread, after the events already
// queued, whenever the desktop's text resolution changes (a settings
// daemon's Xft/DPI, a changed gtk-xft-dpi). Returns a number for
// StopWatchingDesktopDpi. User-interface thread only.
int WatchDesktopDpi(std::function<void()> changed);
void StopWatchingDesktopDpi(int watch);

}  // namespace ridgeforge::ui
