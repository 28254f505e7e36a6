// What the parameter rows of the seamless and procedural texture dialogs
// share: the slider of a number parameter and the grey pixels the previews
// draw. A slider runs from 0 to a number of steps (one per whole number of an
// Integer range, 1000 for a Float) and maps linearly onto the range.
#pragma once

#include <cstdint>
#include <vector>

#include "textures/procedural/ParameterSet.h"

namespace ridgeforge {

// 0 to this many positions: round(maximum - minimum), at least 1, for an
// Integer; 1000 otherwise.
int SliderSteps(const mesh::procedural::ParameterDefinition& definition);
// A page of the slider: a tenth of the steps, at least 1.
int SliderPage(int steps);
// round(steps x t), t the value's place in the range clamped to 0..1; 0 for
// an empty or reversed range.
int SliderPosition(const mesh::procedural::ParameterDefinition& definition, float value, int steps);
// position / steps x (maximum - minimum) + minimum, unclamped.
float SliderValue(const mesh::procedural::ParameterDefinition& definition, int position, int steps);

// An opaque grey pixel, 0xFF then the grey byte three times, for a height
// clamped to 0..1 (a NaN is black).
std::uint32_t GreyPixel(float height);

}  // namespace ridgeforge
