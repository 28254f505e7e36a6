// The view cube's label pictures: the nine names ("Front" .. "Bottom", "x",
// "y", "z") drawn white on black in bold DejaVu Sans of 44 pixels, one per
// 64-pixel row of a 160 x 576 picture, centred. Returned as one grey byte
// per pixel (the red channel), rows from the top; all zero when the picture
// cannot be drawn.
#pragma once

#include <cstdint>
#include <vector>

namespace ridgeforge::ui {

std::vector<std::uint8_t> DrawViewCubeLabelAtlas();

}  // namespace ridgeforge::ui
