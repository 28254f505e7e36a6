// How much memory this computer has, so that a large allocation can be
// refused with a message before it is tried.
#pragma once

#include <cstdint>

namespace ridgeforge::platform {

// Installed physical memory in bytes; 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes();

}  // namespace ridgeforge::platform
