// Physical memory from sysconf: the number of pages times the page size.
//
// Huge pages: a part of millions of triangles passes through gigabytes of
// fresh memory (each step of the processing builds its arrays anew), and the
// system hands fresh memory out a 4 KiB page at a time, one fault each. On a
// virtual machine a fault costs about 10 us, which came to a quarter of the
// simplification of a 250 mm bed plate (measured: 2 million faults). The C
// library can ask for its large blocks in 2 MiB pages (transparent huge
// pages, which the system grants where it is set to "madvise"); that costs a
// fifth as much per byte, and the processor's address cache then covers the
// large arrays that the serial steps read at random.
#include "platform/Memory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

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

namespace {

constexpr std::string_view kTunablesVariable = "GLIBC_TUNABLES";
constexpr std::string_view kHugePagesName = "glibc.malloc.hugetlb";

}  // namespace

std::optional<std::string> TunablesAskingForHugePages(const char* current) {
    const std::string_view given = current != nullptr ? current : "";
    // Settings are name=value, separated by colons.
    for (std::size_t start = 0; start <= given.size();) {
        const std::size_t end = std::min(given.find(':', start), given.size());
        const std::string_view setting = given.substr(start, end - start);
        if (setting.substr(0, setting.find('=')) == kHugePagesName) return std::nullopt;
        start = end + 1;
    }
    std::string value(given);
    if (!value.empty()) value += ':';
    value += kHugePagesName;
    value += "=1";
    return value;
}

void RestartAskingForHugePages(char** argv) {
    const std::optional<std::string> value = TunablesAskingForHugePages(std::getenv(kTunablesVariable.data()));
    if (!value || argv == nullptr || argv[0] == nullptr) return;
    if (setenv(kTunablesVariable.data(), value->c_str(), 1) != 0) return;
    // The running program's own file, whatever name or path started it.
    execv("/proc/self/exe", argv);
}

}  // namespace ridgeforge::platform
