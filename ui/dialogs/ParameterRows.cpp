#include "ui/dialogs/ParameterRows.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge {

using mesh::procedural::ParameterKind;

int SliderSteps(const mesh::procedural::ParameterDefinition& definition) {
    if (definition.kind != ParameterKind::Integer) return 1000;
    const double span = std::round(static_cast<double>(definition.maximum) - definition.minimum);
    if (!(span >= 1.0)) return 1;
    return static_cast<int>(std::min(span, 1.0e9));
}

int SliderPage(int steps) { return std::max(1, steps / 10); }

int SliderPosition(const mesh::procedural::ParameterDefinition& definition, float value, int steps) {
    const double span = static_cast<double>(definition.maximum) - definition.minimum;
    if (!(span > 0.0)) return 0;
    double t = (static_cast<double>(value) - definition.minimum) / span;
    if (!(t >= 0.0)) t = 0.0;
    t = std::min(t, 1.0);
    return static_cast<int>(std::round(steps * t));
}

float SliderValue(const mesh::procedural::ParameterDefinition& definition, int position, int steps) {
    const double span = static_cast<double>(definition.maximum) - definition.minimum;
    const double t = steps > 0 ? static_cast<double>(position) / steps : 0.0;
    return static_cast<float>(t * span + definition.minimum);
}

std::uint32_t GreyPixel(float height) {
    const float clamped = height >= 0.0f ? std::min(height, 1.0f) : 0.0f;
    const auto grey = static_cast<std::uint32_t>(std::lround(clamped * 255.0f));
    return 0xFF000000u | (grey << 16) | (grey << 8) | grey;
}

}  // namespace ridgeforge
