// PNG through libpng's classic reading API: unlike the simplified API it
// applies no gamma from the file, so 16-bit samples arrive exactly as stored.
// libpng reports errors by longjmp; each step that can fail runs in its own
// small function holding the setjmp, with no C++ object alive across it.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Files.h"
#include "platform/ImageDecoders.h"

namespace ridgeforge::platform::detail {

namespace {

struct PngContext {
    char message[256] = {};
};

void PngError(png_structp png, png_const_charp message) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    if (context && message) {
        std::snprintf(context->message, sizeof context->message, "%s", message);
    }
    png_longjmp(png, 1);
}

// Ancillary-chunk complaints (odd colour profiles and the like) do not
// concern the heights; keep them off the console.
void PngWarning(png_structp, png_const_charp) {}

bool ReadHeader(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, file);
    // Our own side limit is checked after the header, with our own message.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(png, info);
    return true;
}

bool SetTransforms(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    // Palettes become RGB, low-bit grey 8 bits and a transparency chunk an
    // alpha channel; widening to 16-bit RGBA is done by our own loop, which is
    // quicker than libpng's per-row transforms.
    png_set_expand(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    return true;
}

// The stored layouts with entries of their own; palettes, low-bit grey,
// 8-bit grey with alpha and 8-bit RGB or RGBA count as other.
StoredPixelFormat FormatOf(int colourType, int bitDepth) {
    if (bitDepth == 16) {
        switch (colourType) {
            case PNG_COLOR_TYPE_GRAY:
                return StoredPixelFormat::Grey16;
            case PNG_COLOR_TYPE_RGB:
                return StoredPixelFormat::Rgb16;
            case PNG_COLOR_TYPE_RGB_ALPHA:
            case PNG_COLOR_TYPE_GRAY_ALPHA:
                return StoredPixelFormat::Rgba16;
            default:
                return StoredPixelFormat::Other;
        }
    }
    if (bitDepth == 8 && colourType == PNG_COLOR_TYPE_GRAY) {
        return StoredPixelFormat::Grey8;
    }
    return StoredPixelFormat::Other;
}

// Stored samples (1 to 4 channels, 8 or 16 bits, 16-bit big-endian) to
// 16-bit R, G, B, A; 8-bit values are widened by 257 so that 255 is 65535.
void WidenToRgba(const png_byte* in, std::size_t pixels, int channels, int depth, std::uint16_t* out) {
    auto sample = [&](std::size_t i) -> std::uint16_t {
        return depth == 16 ? static_cast<std::uint16_t>((in[i * 2] << 8) | in[i * 2 + 1]) : Widen8(in[i]);
    };
    for (std::size_t p = 0; p < pixels; ++p, out += 4) {
        const std::size_t base = p * channels;
        switch (channels) {
            case 1:
                out[0] = out[1] = out[2] = sample(base), out[3] = 0xFFFF;
                break;
            case 2:
                out[0] = out[1] = out[2] = sample(base), out[3] = sample(base + 1);
                break;
            case 3:
                out[0] = sample(base), out[1] = sample(base + 1), out[2] = sample(base + 2), out[3] = 0xFFFF;
                break;
            default:
                out[0] = sample(base), out[1] = sample(base + 1), out[2] = sample(base + 2), out[3] = sample(base + 3);
        }
    }
}

}  // namespace

void DecodePng(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image) {
    image.failure = ImageFailure::CannotOpen;
    std::FILE* file = OpenRegularFileStream(path);
    if (!file) {
        return;
    }
    PngContext context;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    auto finish = [&] {
        png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
        std::fclose(file);
        if (!image.Ok() && context.message[0]) {
            image.detail = context.message;
        }
    };
    if (!png || !info || !ReadHeader(png, info, file)) {
        finish();
        return;
    }
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    image.format = FormatOf(colourType, bitDepth);
    if (!CheckImageSize(width, height, limits, image)) {
        finish();
        return;
    }
    if (!SetTransforms(png, info)) {
        image.failure = ImageFailure::CannotConvert;
        finish();
        return;
    }
    const int channels = png_get_channels(png, info);
    const int depth = png_get_bit_depth(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels * (depth / 8);
    if (channels < 1 || channels > 4 || (depth != 8 && depth != 16) || png_get_rowbytes(png, info) != rowBytes) {
        image.failure = ImageFailure::CannotConvert;
        finish();
        return;
    }
    if (!AllocatePixels(image)) {
        finish();
        return;
    }
    std::vector<png_byte> stored;
    std::vector<png_bytep> rows;
    try {
        stored.resize(rowBytes * height);
        rows.resize(height);
    } catch (const std::bad_alloc&) {
        image.failure = ImageFailure::OutOfMemory;
        finish();
        return;
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = stored.data() + rowBytes * y;
    }
    if (!ReadRows(png, rows.data())) {
        image.failure = ImageFailure::PixelsUnreadable;
        finish();
        return;
    }
    WidenToRgba(stored.data(), static_cast<std::size_t>(width) * height, channels, depth, image.rgba.data());
    image.failure = ImageFailure::None;
    finish();
}

}  // namespace ridgeforge::platform::detail
