// Small grey thumbnails as 24-bit uncompressed BMP files: preset thumbnails
// and the texture library's thumbnail cache. Each pixel is stored as three
// equal bytes; rows are padded to a multiple of four bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ridgeforge {

// Largest width or height read back.
inline constexpr std::int32_t kMaxGreyBmpSide = 4096;

// Bytes of one stored row of `width` pixels: 3 x width rounded up to a multiple of 4.
std::int64_t GreyBmpRowSize(std::int64_t width);

// Writes the size x size grey bytes (row-major, top row first) as a
// bottom-up BMP, replacing any old file whole. False for a size below 1, a
// pixel count that is not size x size, or a failed write (then, when asked,
// the system's reason; an old file stays as it was).
bool WriteGreyBmp(const std::filesystem::path& path, const std::vector<std::uint8_t>& grey, std::int32_t size,
                  std::string* reason = nullptr);

// Reads an uncompressed 24-bit BMP (bottom-up or top-down) as one byte per
// pixel (the green channel), top row first. Every header field is checked
// against the file's length before a pixel is read, so a damaged or foreign
// file is refused rather than read past its end.
bool ReadGreyBmp(const std::filesystem::path& path, std::vector<std::uint8_t>& grey, std::int32_t& width,
                 std::int32_t& height);

}  // namespace ridgeforge
