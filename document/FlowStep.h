// The steps of the workflow pane, in the order the user meets them; the
// document says for each whether it is out of date or running.
#pragma once

#include <cstdint>

namespace ridgeforge {

enum class FlowStep : std::int32_t { Mapping = 0, Texture = 1, Relief = 2, Simplify = 3 };

}  // namespace ridgeforge
