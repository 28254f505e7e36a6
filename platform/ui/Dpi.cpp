#include "platform/ui/Dpi.h"

#include <wx/gdicmn.h>
#include <wx/window.h>

#include <cstdint>

namespace ridgeforge::ui {

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>(negative ? -rounded : rounded);
}

unsigned WindowDpi(const wxWindow* window) {
    int dpi = 0;
    if (window != nullptr) dpi = window->GetDPI().y;
    if (dpi <= 0) dpi = wxGetDisplayPPI().y;
    return dpi > 0 ? static_cast<unsigned>(dpi) : 96u;
}

}  // namespace ridgeforge::ui
