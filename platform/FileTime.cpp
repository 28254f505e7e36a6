#include "platform/FileTime.h"

#include <sys/stat.h>

namespace ridgeforge::platform {

std::optional<std::uint64_t> FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    if (seconds < -kWindowsEpochOffsetSeconds) return std::nullopt;
    // Unsigned from here: 2^64 intervals of 100 ns cover 58,000 years.
    const std::uint64_t since1601 = static_cast<std::uint64_t>(seconds + kWindowsEpochOffsetSeconds);
    return since1601 * 10000000ULL + static_cast<std::uint64_t>(nanoseconds / 100);
}

std::optional<std::uint64_t> LastWriteFileTime(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileTimeFromUnix(static_cast<std::int64_t>(info.st_mtim.tv_sec),
                            static_cast<std::int64_t>(info.st_mtim.tv_nsec));
}

}  // namespace ridgeforge::platform
