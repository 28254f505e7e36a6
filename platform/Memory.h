// How much memory this computer has, so that a large allocation can be
// refused with a message before it is tried; and how the program asks for
// its memory in large pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ridgeforge::platform {

// Installed physical memory in bytes; 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes();

// The value for GLIBC_TUNABLES that adds, to `current` (null when unset),
// the C library's setting that backs its large blocks with huge pages; or
// nothing when `current` already gives that setting, whatever its value.
std::optional<std::string> TunablesAskingForHugePages(const char* current);

// Starts this program again, with the same arguments, asking the C library
// for huge pages: the library reads the setting only when a program starts.
// Returns when the setting is given already (by an earlier start, or by the
// user, whose choice stands) or the restart could not be made; the program
// then goes on as it is. Call first thing in main, before any thread starts.
void RestartAskingForHugePages(char** argv);

}  // namespace ridgeforge::platform
