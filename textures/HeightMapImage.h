// Loading a height map from an image file (PNG, JPEG, TIFF, BMP, GIF) and
// saying in plain words what was found: container, size, bit depth, whether
// colour was folded to luminance, and the properties that spoil a printed
// relief (a normal map instead of heights, JPEG ripples, 8-bit terracing).
// The container is told by the file's first bytes, not its name; only the
// first frame is read; every pixel goes through 16-bit R, G, B so that a
// 16-bit file keeps all its levels.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ridgeforge::mesh {

// Whether the sRGB transfer curve is removed from the values.
enum class SrgbDecoding : std::int32_t { Never = 0, Always = 1, LowBitDepth = 2 };

struct HeightMapImage {
    bool ok = false;
    std::string error;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // 8, 16 or 32, from the stored pixel format.
    std::int32_t bitsPerChannel = 0;
    // The stored format has colour channels; heights are then luminance.
    bool colour = false;
    bool decodedFromSrgb = false;
    // "PNG", "JPEG", "TIFF", "BMP", "GIF", "Image"; empty when not recognised.
    std::string container;
    // width x height values, row-major, top row first, nominally 0..1.
    std::vector<float> heights;
    bool normalMap = false;
    // Only for a normal map: red, green, blue (0..1, never sRGB-decoded) per pixel.
    std::vector<float> rgb;
    std::vector<std::string> warnings;
};

// Largest width or height accepted, in pixels.
inline constexpr std::int32_t kMaxImageSide = 16384;

// Most pixels accepted, judged from the file's header before decoding. The
// relief samples a texture once per vertex and blurs away detail finer than
// a triangle, so it shows at most about one pixel for every two vertices
// across the tile. Even at the highest triangle limit (200 million
// triangles, about 100 million vertices) and with one tile over the whole
// part, that is some 50 million pixels; 8192 x 8192 (67108864) is above
// it, so nothing a relief can show is refused. Decoding costs 12 bytes a
// pixel (16-bit R, G, B, A and a float height) and the height map 4 more for
// each of its stages: under 2 GB at this size, where 16384 x 16384 took
// several times that.
inline constexpr std::uint64_t kMaxImagePixels = 8192ull * 8192ull;

// Never throws for a bad file or a lack of memory: the outcome is in ok and
// error.
HeightMapImage LoadHeightMapImage(const std::filesystem::path& path, SrgbDecoding decoding);

// The log text: one line when the load failed, else the summary and one
// "Warning: " line per warning; every line ends with "\n".
std::string DescribeHeightMapImage(const HeightMapImage& image);

}  // namespace ridgeforge::mesh
