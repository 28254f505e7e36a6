// Picks the decoder by the file's first bytes, so a PNG named ".jpg" still
// loads and a text file named ".png" is refused cleanly.
#include "platform/ImageDecoder.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "platform/Files.h"
#include "platform/ImageDecoders.h"

namespace ridgeforge::platform {

namespace detail {

bool CheckImageSize(std::uint64_t width, std::uint64_t height, const ImageLimits& limits, DecodedImage& image) {
    if (width == 0 || height == 0) {
        image.failure = ImageFailure::NoSize;
        return false;
    }
    if (width > static_cast<std::uint64_t>(limits.maxSide) || height > static_cast<std::uint64_t>(limits.maxSide)) {
        image.failure = ImageFailure::TooLarge;
        return false;
    }
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    // Both sides are at most 2^31 here, so the product fits in 64 bits.
    if (width * height > limits.maxPixels) {
        image.failure = ImageFailure::TooManyPixels;
        return false;
    }
    return true;
}

bool AllocatePixels(DecodedImage& image) {
    const std::uint64_t count = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height) * 4u;
    try {
        image.rgba.assign(count, 0);
    } catch (const std::bad_alloc&) {
        image.failure = ImageFailure::OutOfMemory;
        image.detail = "out of memory";
        return false;
    }
    return true;
}

}  // namespace detail

ImageContainer SniffImageContainer(const std::uint8_t* bytes, std::size_t size) {
    auto startsWith = [&](const char* magic, std::size_t length) {
        return size >= length && std::memcmp(bytes, magic, length) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n", 8)) {
        return ImageContainer::Png;
    }
    if (startsWith("\xff\xd8\xff", 3)) {
        return ImageContainer::Jpeg;
    }
    // Classic and big TIFF, both byte orders.
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4) || startsWith("II+\0", 4) || startsWith("MM\0+", 4)) {
        return ImageContainer::Tiff;
    }
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) {
        return ImageContainer::Gif;
    }
    if (startsWith("BM", 2)) {
        return ImageContainer::Bmp;
    }
    return ImageContainer::Unknown;
}

DecodedImage DecodeImage(const std::filesystem::path& path, std::int32_t maxSide) {
    return DecodeImage(path, ImageLimits{maxSide, std::numeric_limits<std::uint64_t>::max()});
}

DecodedImage DecodeImage(const std::filesystem::path& path, const ImageLimits& limits) {
    DecodedImage image;
    std::uint8_t magic[8] = {};
    std::size_t got = 0;
    // A FIFO or a device is refused here, without waiting for a writer.
    if (std::FILE* file = OpenRegularFileStream(path)) {
        got = std::fread(magic, 1, sizeof magic, file);
        std::fclose(file);
    } else {
        image.failure = ImageFailure::CannotOpen;
        image.detail = "the file could not be opened";
        return image;
    }
    image.container = SniffImageContainer(magic, got);
    // A damaged header can claim strips, tiles or tables of any size; running
    // out of memory for one is a failed load, not a crash.
    try {
        switch (image.container) {
            case ImageContainer::Png:
                detail::DecodePng(path, limits, image);
                break;
            case ImageContainer::Jpeg:
                detail::DecodeJpeg(path, limits, image);
                break;
            case ImageContainer::Tiff:
                detail::DecodeTiff(path, limits, image);
                break;
            case ImageContainer::Gif:
                detail::DecodeGif(path, limits, image);
                break;
            case ImageContainer::Bmp:
                detail::DecodeBmp(path, limits, image);
                break;
            case ImageContainer::Unknown:
                image.failure = ImageFailure::CannotOpen;
                image.detail = "not an image format we read";
                break;
        }
    } catch (const std::bad_alloc&) {
        image.failure = ImageFailure::OutOfMemory;
        image.detail = "out of memory";
    }
    if (!image.Ok()) {
        image.rgba = {};
    }
    return image;
}

}  // namespace ridgeforge::platform
