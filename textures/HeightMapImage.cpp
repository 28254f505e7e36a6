// Image file to heights. The decoding itself is the platform layer's; here
// the stored layout is mapped to bit depth and colour, every pixel becomes a
// height (luminance for colour), and the image is judged: one pass gathers
// the channel statistics that tell a normal map (mostly blue, red and green
// centred on one half, little variation in blue) from a height map.
#include "textures/HeightMapImage.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <new>
#include <numeric>
#include <locale>
#include <sstream>

#include "platform/ImageDecoder.h"

namespace ridgeforge::mesh {

namespace {

using platform::ImageContainer;
using platform::ImageFailure;
using platform::StoredPixelFormat;

constexpr float kFrom16 = 1.5259022e-5f;  // 1 / 65535

const char* const kOutOfMemoryText = "There was not enough memory to load this image.";

const char* ContainerName(ImageContainer container) {
    switch (container) {
        case ImageContainer::Png:
            return "PNG";
        case ImageContainer::Jpeg:
            return "JPEG";
        case ImageContainer::Tiff:
            return "TIFF";
        case ImageContainer::Bmp:
            return "BMP";
        case ImageContainer::Gif:
            return "GIF";
        case ImageContainer::Unknown:
            break;
    }
    return "";
}

std::string FailureText(const platform::DecodedImage& decoded) {
    switch (decoded.failure) {
        case ImageFailure::NoFrame:
            return "The image contains no readable frame.";
        case ImageFailure::NoSize:
            return "The image has no size.";
        case ImageFailure::TooLarge:
            return "The image is larger than " + std::to_string(kMaxImageSide) + " pixels on a side.";
        case ImageFailure::TooManyPixels:
            return "The image has " + std::to_string(decoded.width) + " x " + std::to_string(decoded.height) +
                   " pixels. A texture can use at most 8192 x 8192 = " + std::to_string(kMaxImagePixels) +
                   " pixels: even the finest relief cannot carry more. Scale the image down.";
        case ImageFailure::CannotConvert:
            return "The image could not be converted to a form we can read.";
        case ImageFailure::PixelsUnreadable:
            return "The image pixels could not be read.";
        case ImageFailure::OutOfMemory:
            return kOutOfMemoryText;
        case ImageFailure::CannotOpen:
        case ImageFailure::None:
            break;
    }
    return "The file could not be opened as an image. It may be missing, in a format this program does not read, or "
           "damaged.";
}

// Bit depth and colour of a stored layout; anything without an entry of its
// own (palettes, 8-bit RGB, ...) counts as 8-bit colour.
void DescribeFormat(StoredPixelFormat format, HeightMapImage& result) {
    switch (format) {
        case StoredPixelFormat::Grey8:
            result.bitsPerChannel = 8, result.colour = false;
            break;
        case StoredPixelFormat::Grey16:
            result.bitsPerChannel = 16, result.colour = false;
            break;
        case StoredPixelFormat::GreyFloat32:
            result.bitsPerChannel = 32, result.colour = false;
            break;
        case StoredPixelFormat::Rgb16:
        case StoredPixelFormat::Rgba16:
            result.bitsPerChannel = 16, result.colour = true;
            break;
        case StoredPixelFormat::RgbFloat32:
        case StoredPixelFormat::RgbaFloat32:
            result.bitsPerChannel = 32, result.colour = true;
            break;
        case StoredPixelFormat::Other:
            result.bitsPerChannel = 8, result.colour = true;
            break;
    }
}

float FromSrgb(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }

// Channel sums of the whole image, for the normal-map test.
struct ChannelSums {
    double r = 0.0, g = 0.0, b = 0.0, bb = 0.0;
};

// Mostly blue, red and green centred on one half, and little variation in blue.
bool LooksLikeNormalMap(const ChannelSums& sums, std::size_t count) {
    const double n = static_cast<double>(count);
    const double meanR = sums.r / n, meanG = sums.g / n, meanB = sums.b / n;
    const double varianceB = sums.bb / n - meanB * meanB;
    return meanB > 0.72 && std::fabs(meanR - 0.5) < 0.12 && std::fabs(meanG - 0.5) < 0.12 && varianceB < 0.02;
}

// Heights (luminance for colour, else red) and the channel sums in one pass.
// Rows are converted in fixed chunks on the parallel pool; each chunk keeps
// its own sums, added in chunk order, so the statistics do not depend on how
// many threads ran.
ChannelSums ConvertToHeights(const platform::DecodedImage& decoded, bool colour, bool fromSrgb,
                             std::vector<float>& heights) {
    // A table of the 65536 possible channel values makes the per-pixel work a
    // lookup whether or not sRGB is decoded.
    std::vector<float> channelValue(65536);
    for (std::size_t v = 0; v < channelValue.size(); ++v) {
        const float c = static_cast<float>(v) * kFrom16;
        channelValue[v] = fromSrgb ? FromSrgb(c) : c;
    }
    constexpr std::size_t kChunkRows = 64;
    const auto rowLength = static_cast<std::size_t>(decoded.width);
    const auto rowCount = static_cast<std::size_t>(decoded.height);
    std::vector<ChannelSums> chunkSums((rowCount + kChunkRows - 1) / kChunkRows);
    std::vector<std::size_t> chunks(chunkSums.size());
    std::iota(chunks.begin(), chunks.end(), std::size_t{0});
    std::for_each(std::execution::par, chunks.begin(), chunks.end(), [&](std::size_t chunk) {
        const std::size_t begin = chunk * kChunkRows * rowLength;
        const std::size_t end = std::min(rowCount, (chunk + 1) * kChunkRows) * rowLength;
        ChannelSums sums;
        const std::uint16_t* px = decoded.rgba.data() + begin * 4;
        for (std::size_t i = begin; i < end; ++i, px += 4) {
            const float r = channelValue[px[0]];
            const float g = channelValue[px[1]];
            const float b = channelValue[px[2]];
            heights[i] = colour ? 0.2126f * r + 0.7152f * g + 0.0722f * b : r;
            sums.r += r;
            sums.g += g;
            sums.b += b;
            sums.bb += static_cast<double>(b) * b;
        }
        chunkSums[chunk] = sums;
    });
    ChannelSums total;
    for (const ChannelSums& sums : chunkSums) {
        total.r += sums.r;
        total.g += sums.g;
        total.b += sums.b;
        total.bb += sums.bb;
    }
    return total;
}

// The warnings that follow the normal-map one, in their fixed order.
void AddFormatWarnings(bool jpeg, HeightMapImage& result) {
    if (jpeg) {
        result.warnings.emplace_back(
            "JPEG is lossy. Its compression adds ripples around edges that become real bumps in the printed "
            "surface; PNG or TIFF keeps the original values.");
    }
    if (result.bitsPerChannel <= 8) {
        result.warnings.emplace_back(
            "Eight bits per channel gives 256 height steps, which can show as visible terracing in a smooth "
            "gradient. A sixteen-bit image avoids it.");
    }
    if (result.colour) {
        result.warnings.emplace_back("The image has colour, which was converted to luminance.");
    }
}

HeightMapImage LoadDecodedHeights(const std::filesystem::path& path, SrgbDecoding decoding) {
    HeightMapImage result;
    platform::DecodedImage decoded = platform::DecodeImage(path, platform::ImageLimits{kMaxImageSide, kMaxImagePixels});
    result.container = ContainerName(decoded.container);
    if (!decoded.Ok()) {
        result.error = FailureText(decoded);
        return result;
    }
    result.bitsPerChannel = 8;
    result.colour = true;
    DescribeFormat(decoded.format, result);
    result.decodedFromSrgb =
        decoding == SrgbDecoding::Always || (decoding == SrgbDecoding::LowBitDepth && result.bitsPerChannel <= 8);
    result.width = decoded.width;
    result.height = decoded.height;
    const std::size_t count = static_cast<std::size_t>(decoded.width) * static_cast<std::size_t>(decoded.height);
    try {
        result.heights.resize(count);
    } catch (const std::bad_alloc&) {
        result.error = kOutOfMemoryText;
        return result;
    }

    const ChannelSums sums = ConvertToHeights(decoded, result.colour, result.decodedFromSrgb, result.heights);
    if (result.colour && count > 0 && LooksLikeNormalMap(sums, count)) {
        result.normalMap = true;
        try {
            result.rgb.resize(count * 3);
        } catch (const std::bad_alloc&) {
            result.heights = {};
            result.error = kOutOfMemoryText;
            return result;
        }
        const std::uint16_t* px = decoded.rgba.data();
        for (std::size_t i = 0; i < count; ++i, px += 4) {
            result.rgb[i * 3 + 0] = static_cast<float>(px[0]) * kFrom16;
            result.rgb[i * 3 + 1] = static_cast<float>(px[1]) * kFrom16;
            result.rgb[i * 3 + 2] = static_cast<float>(px[2]) * kFrom16;
        }
        result.warnings.emplace_back(
            "This looks like a normal map (mostly blue, red and green centred). A normal map is the surface's "
            "slope, not its height; it can be converted.");
    }
    AddFormatWarnings(decoded.container == ImageContainer::Jpeg, result);
    result.ok = true;
    return result;
}

}  // namespace

HeightMapImage LoadHeightMapImage(const std::filesystem::path& path, SrgbDecoding decoding) {
    // The buffers are sized before use, but the conversion's own tables and
    // the parallel pool's tasks allocate too.
    try {
        return LoadDecodedHeights(path, decoding);
    } catch (const std::bad_alloc&) {
        HeightMapImage failed;
        failed.error = kOutOfMemoryText;
        return failed;
    }
}

std::string DescribeHeightMapImage(const HeightMapImage& image) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    if (!image.ok) {
        text << "Height map failed to load: " << image.error << "\n";
        return text.str();
    }
    text << "Height map: " << image.container << " " << image.width << " x " << image.height << " pixels, "
         << image.bitsPerChannel << " bits per channel\n";
    text << "Source: " << (image.colour ? "colour, converted to luminance" : "greyscale") << "\n";
    text << "Values: " << (image.decodedFromSrgb ? "decoded from sRGB to linear" : "taken as linear") << "\n";
    for (const std::string& warning : image.warnings) {
        text << "Warning: " << warning << "\n";
    }
    return text.str();
}

}  // namespace ridgeforge::mesh
