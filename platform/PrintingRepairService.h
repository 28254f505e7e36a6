// Whether the operating system offers a repair service for 3D-printing
// meshes. Linux has none, so the answer is fixed and nothing is probed.
#pragma once

namespace ridgeforge::platform {

constexpr bool PrintingRepairServiceAvailable() { return false; }

}  // namespace ridgeforge::platform
