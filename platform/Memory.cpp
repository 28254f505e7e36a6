// Physical memory from sysconf: the number of pages times the page size.
#include "platform/Memory.h"

#include <unistd.h>

namespace ridgeforge::platform {

std::uint64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    const auto p = static_cast<std::uint64_t>(pages);
    const auto s = static_cast<std::uint64_t>(pageSize);
    if (p > UINT64_MAX / s) return UINT64_MAX;
    return p * s;
}

}  // namespace ridgeforge::platform
