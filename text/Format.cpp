#include "text/Format.h"

#include "text/NumberText.h"

namespace ridgeforge {

std::string FormatCount(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    const std::size_t lead = digits.size() % 3;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (i + 3 - lead) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string FormatMillimetres(float value) { return FormatFixed(static_cast<double>(value), 2); }

std::string FormatDimensions(float x, float y, float z) {
    return FormatMillimetres(x) + " x " + FormatMillimetres(y) + " x " + FormatMillimetres(z) + " mm";
}

}  // namespace ridgeforge
