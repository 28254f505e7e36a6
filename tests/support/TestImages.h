// Writers of small image files for the image-loading tests, through the same
// libraries the loader reads with (and a hand-made BMP), so every test makes
// its own pictures. Samples are row-major, channels interleaved, top row first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace ridgeforge::test {

// channels 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA); bitDepth 8 or 16.
bool WritePng(const std::filesystem::path& path, int width, int height, int channels, int bitDepth,
              const std::vector<std::uint16_t>& samples, bool interlaced = false);
// An 8-bit grey PNG of one value, written a row at a time at the strongest
// compression: a large picture in a small file (16384 x 16384 takes some
// 260 KB), without its pixels ever being in memory.
bool WriteUniformGreyPng(const std::filesystem::path& path, int width, int height, std::uint8_t value);
// channels 1 or 3; quality 1..100.
bool WriteJpeg(const std::filesystem::path& path, int width, int height, int channels,
               const std::vector<std::uint8_t>& samples, int quality = 95);

struct TiffLayout {
    int width = 0;
    int height = 0;
    int channels = 1;         // 1 grey, 3 RGB, 4 RGBA
    int bits = 16;            // 8, 16 or 32
    bool isFloat = false;     // 32-bit IEEE samples
    bool tiled = false;       // 16 x 16 tiles instead of strips
    bool planar = false;      // one plane per channel
    bool minIsWhite = false;  // grey stored with 0 as white (the samples are written as given)
};
// One directory per page; samples are in 0..1 and scaled to the bit depth
// (floats are written as given).
bool WriteTiff(const std::filesystem::path& path, const TiffLayout& layout,
               const std::vector<std::vector<double>>& pages);

// Palette images: `palette` holds R, G, B triplets (2, 4, ..., 256 entries);
// one index list per frame.
bool WriteGif(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& palette,
              const std::vector<std::vector<std::uint8_t>>& frames, bool interlaced = false);

// 24-bit BGR BMP from RGB samples; bottom-up unless topDown.
bool WriteBmp24(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& rgb,
                bool topDown = false);
// 8-bit palette BMP; `palette` holds R, G, B triplets, at most 256.
bool WriteBmp8(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& indices,
               const std::vector<std::uint8_t>& palette);
// 1-bit BMP, bottom-up: one 0 or 1 per pixel, the leftmost pixel in each
// byte's highest bit; `palette` holds the two R, G, B triplets.
bool WriteBmp1(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& bits,
               const std::vector<std::uint8_t>& palette);

// Damage: keep only the first `size` bytes; or overwrite `count` bytes from `offset` with `value`.
bool TruncateFile(const std::filesystem::path& path, std::uint64_t size);
bool OverwriteBytes(const std::filesystem::path& path, std::uint64_t offset, std::uint64_t count, std::uint8_t value);

}  // namespace ridgeforge::test
