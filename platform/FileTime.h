// A file's last-write time in the Windows form: 100-nanosecond intervals
// since 1 January 1601 UTC. Cache keys built from it are then the same
// whichever system computed them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace ridgeforge::platform {

// Seconds between 1601-01-01 and the Unix epoch 1970-01-01.
inline constexpr std::int64_t kWindowsEpochOffsetSeconds = 11644473600;

// The time (following links), or nothing when the file cannot be examined
// or the time falls before 1601.
std::optional<std::uint64_t> LastWriteFileTime(const std::filesystem::path& path);

// Unix seconds and nanoseconds in the Windows form; nothing before 1601.
std::optional<std::uint64_t> FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);

}  // namespace ridgeforge::platform
