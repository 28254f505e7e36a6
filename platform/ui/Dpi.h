// Sizes in the windows are designed at 96 DPI and scaled by the DPI of the
// window that shows them, with the rounding the sizes were designed against:
// a product divided with halves rounded away from zero, so that 130 dip at
// 144 DPI is 195 px and -MulDiv(9, 96, 72) is -12.
#pragma once

class wxWindow;

namespace ridgeforge::ui {

// number * numerator / denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0.
int MulDiv(int number, int numerator, int denominator);

// A size in 96-DPI units at the given DPI.
inline int ScaleDip(int dip, unsigned dpi) { return MulDiv(dip, static_cast<int>(dpi), 96); }

// The DPI that sizes in `window` are scaled by: its own when it has one,
// else the screen's logical pixels per inch, else 96.
unsigned WindowDpi(const wxWindow* window);

// ScaleDip with WindowDpi(window).
inline int ScaleDip(int dip, const wxWindow* window) { return ScaleDip(dip, WindowDpi(window)); }

}  // namespace ridgeforge::ui
