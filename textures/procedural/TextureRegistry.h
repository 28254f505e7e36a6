// The one place that knows every procedural pattern: the display names in
// menu order, and a pattern made from its exact name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

// The 25 display names in menu order; a new vector on every call.
std::vector<std::string> TextureNames();

// A pattern with every value at its default, or null when the name is not
// one of TextureNames exactly (case and blanks count).
std::unique_ptr<ProceduralTexture> CreateTexture(std::string_view name);

}  // namespace ridgeforge::mesh::procedural
