// Small grey thumbnails of library images, cached on disk in the user's
// "thumbnails" folder so that a category of large images opens quickly: a
// hit reads one small BMP, only a miss decodes the image.
//
// The cache file is named by a 64-bit FNV-1a hash of the image's path
// (lower-cased UTF-16 units), its size and its last-write time (Windows file
// time), so a changed file gets a new entry without its content being read,
// and the names agree with those other systems compute. Old entries are never
// deleted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textures/LibraryItems.h"

namespace ridgeforge {

inline constexpr std::int32_t kLibraryThumbnailSize = 120;

// "%016llx.bmp" of the hash; a size or time that could not be read hashes
// as all ones or as 0x8000000000000000.
std::string ThumbnailCacheName(std::string_view imagePath, std::optional<std::uint64_t> size,
                               std::optional<std::uint64_t> fileTime);

// The cache file name for the image as it is on disk now (no folder).
std::string ThumbnailCachePath(const std::filesystem::path& image);

// The centre square of the width x height floats, box-averaged to
// size x size bytes (0..255); empty for a size below 1 or too few pixels.
std::vector<std::uint8_t> DownscaleThumbnail(const std::vector<float>& pixels, std::int32_t width, std::int32_t height,
                                             std::int32_t size);

// The cached thumbnail of the image file, or a new one (which is then
// cached). False, with empty results, when the image cannot be read.
bool GetThumbnail(const std::vector<LibraryRoot>& roots, const std::filesystem::path& image,
                  std::vector<std::uint8_t>& pixels, std::int32_t& size);

}  // namespace ridgeforge
