// Decoding the first frame of a PNG, JPEG, TIFF, GIF or BMP file into 16-bit
// R, G, B, A, with libpng (classic API, so 16-bit samples arrive exactly and
// no gamma is applied), libjpeg-turbo, libtiff, giflib and a small BMP reader
// of our own. The container is picked by the file's first bytes. The size is
// checked against the caller's limit before any pixel is decoded. Errors of
// damaged files come back as a failure kind, never as a crash or an exit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ridgeforge::platform {

enum class ImageContainer { Unknown, Png, Jpeg, Tiff, Bmp, Gif };

// The stored layout of the pixels, as far as the height-map loader cares.
// Formats with no entry of their own (palettes, 1-, 2- and 4-bit grey, grey
// with alpha at 8 bits, 8-bit RGB and RGBA, 16-bit RGB packed in 16 bits,
// CMYK, half floats, ...) are Other.
enum class StoredPixelFormat {
    Other,
    Grey8,
    Grey16,
    GreyFloat32,
    Rgb16,
    Rgba16,
    RgbFloat32,
    RgbaFloat32,
};

enum class ImageFailure {
    None,
    CannotOpen,        // missing, unreadable, unknown or damaged container
    NoFrame,           // the container holds no image
    NoSize,            // a width or height of 0
    TooLarge,          // a side above the limit
    TooManyPixels,     // more pixels than the caller's budget (width and height are set)
    CannotConvert,     // a layout we cannot turn into R, G, B, A
    PixelsUnreadable,  // the pixel data is truncated or damaged
    OutOfMemory        // no memory for the pixels of an image within the limits
};

struct DecodedImage {
    ImageFailure failure = ImageFailure::CannotOpen;
    // The decoder's own words, for diagnostics only.
    std::string detail;
    ImageContainer container = ImageContainer::Unknown;
    StoredPixelFormat format = StoredPixelFormat::Other;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // width x height x 4 values (R, G, B, A), row-major, top row first.
    std::vector<std::uint16_t> rgba;

    bool Ok() const { return failure == ImageFailure::None; }
};

// The container that the first bytes announce (Unknown when none of ours).
ImageContainer SniffImageContainer(const std::uint8_t* bytes, std::size_t size);

// What a caller accepts, judged from the header before anything is decoded:
// the longest side and the pixel count.
struct ImageLimits {
    std::int32_t maxSide = 0;
    std::uint64_t maxPixels = 0;
};

// Reads frame 0. A width or height above the limit fails with TooLarge, more
// pixels than the budget with TooManyPixels, before any pixel is decoded
// (the one-argument form sets no pixel budget).
DecodedImage DecodeImage(const std::filesystem::path& path, const ImageLimits& limits);
// Reads frame 0. A width or height above maxSide fails with TooLarge before
// any pixel is decoded. Safe to call from any thread.
DecodedImage DecodeImage(const std::filesystem::path& path, std::int32_t maxSide);

}  // namespace ridgeforge::platform
