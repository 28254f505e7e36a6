// Internals shared by the per-container decoders of ImageDecoder.cpp. Each
// decoder fills a DecodedImage: container and stored format as soon as they
// are known, then the size (checked with CheckImageSize before anything is
// allocated or decoded), then the pixels as 16-bit R, G, B, A.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/ImageDecoder.h"

namespace ridgeforge::platform::detail {

// Sets the size, or the failure for a zero size, a side above the limit or
// more pixels than the budget (the size is then set too, for the message).
bool CheckImageSize(std::uint64_t width, std::uint64_t height, const ImageLimits& limits, DecodedImage& image);
// Sizes the pixel buffer (width x height x 4, 64-bit products); false when
// memory runs out.
bool AllocatePixels(DecodedImage& image);

void DecodePng(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image);
void DecodeJpeg(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image);
void DecodeTiff(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image);
void DecodeGif(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image);
void DecodeBmp(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image);

// 8-bit sample to 16 bits, so that 255 becomes 65535 exactly.
inline std::uint16_t Widen8(std::uint8_t value) { return static_cast<std::uint16_t>(value * 257u); }

}  // namespace ridgeforge::platform::detail
