// TIFF through libtiff, first directory only. Grey and RGB at 8 or 16 bits
// and 32-bit float are read sample by sample (strips or tiles, interleaved or
// in planes) so that nothing is lost; every other layout (palettes, bilevel,
// CMYK, YCbCr, ...) goes through libtiff's RGBA reader, which gives 8 bits.
// Errors come through a per-handle handler, so nothing is printed and no
// other thread's TIFF is affected.
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Files.h"
#include "platform/ImageDecoders.h"

namespace ridgeforge::platform::detail {

namespace {

struct TiffContext {
    char message[256] = {};
};

int TiffError(TIFF*, void* userData, const char* module, const char* format, va_list args) {
    auto* context = static_cast<TiffContext*>(userData);
    if (context && context->message[0] == '\0') {
        char text[200];
        std::vsnprintf(text, sizeof text, format, args);
        std::snprintf(context->message, sizeof context->message, "%s: %s", module ? module : "TIFF", text);
    }
    return 1;  // handled: keeps libtiff's global handler quiet
}

int TiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// The samples of one layout we read ourselves.
struct Layout {
    int bits = 0;          // 8, 16 or 32
    bool isFloat = false;  // 32-bit IEEE
    int samplesPerPixel = 1;
    int colourSamples = 1;  // 1 grey, 3 RGB
    bool whiteIsZero = false;
    bool planar = false;  // one plane per sample
};

std::uint16_t SampleTo16(const Layout& layout, const std::uint8_t* data, std::size_t index) {
    std::uint16_t value;
    if (layout.bits == 8) {
        value = Widen8(data[index]);
    } else if (layout.bits == 16) {
        std::memcpy(&value, data + index * 2, 2);
    } else {
        float f;
        std::memcpy(&f, data + index * 4, 4);
        // Float samples are limited to 0..1 and quantised to 16 bits; NaN reads as 0.
        value = f > 0.0f ? static_cast<std::uint16_t>(std::lround(std::min(f, 1.0f) * 65535.0f)) : 0;
    }
    return layout.whiteIsZero ? static_cast<std::uint16_t>(65535 - value) : value;
}

// Copies `count` pixels of a decoded strip row or tile row into the output,
// starting at pixel (x, y). `sample` is the plane for planar data, else -1.
void StoreRun(const Layout& layout, const std::uint8_t* data, std::uint32_t count, std::uint32_t x, std::uint32_t y,
              int sample, DecodedImage& image) {
    std::uint16_t* out = image.rgba.data() + (static_cast<std::size_t>(y) * image.width + x) * 4u;
    for (std::uint32_t i = 0; i < count; ++i, out += 4) {
        if (sample < 0) {
            const std::size_t base = static_cast<std::size_t>(i) * layout.samplesPerPixel;
            if (layout.colourSamples == 1) {
                out[0] = out[1] = out[2] = SampleTo16(layout, data, base);
            } else {
                for (int c = 0; c < 3; ++c) {
                    out[c] = SampleTo16(layout, data, base + c);
                }
            }
        } else if (layout.colourSamples == 1) {
            out[0] = out[1] = out[2] = SampleTo16(layout, data, i);
        } else {
            out[sample] = SampleTo16(layout, data, i);
        }
        out[3] = 0xFFFF;
    }
}

bool ReadStrips(TIFF* tiff, const Layout& layout, DecodedImage& image) {
    std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize64(tiff)));
    const int planes = layout.planar ? layout.colourSamples : 1;
    const std::size_t need =
        static_cast<std::size_t>(image.width) * (layout.bits / 8) * (layout.planar ? 1 : layout.samplesPerPixel);
    if (line.size() < need) {
        return false;
    }
    for (int plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(image.height); ++y) {
            if (TIFFReadScanline(tiff, line.data(), y, static_cast<std::uint16_t>(plane)) < 0) {
                return false;
            }
            StoreRun(layout, line.data(), image.width, 0, y, layout.planar ? plane : -1, image);
        }
    }
    return true;
}

bool ReadTiles(TIFF* tiff, const Layout& layout, DecodedImage& image) {
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    if (tileWidth == 0 || tileHeight == 0) {
        return false;
    }
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize64(tiff)));
    const std::size_t pixelBytes =
        static_cast<std::size_t>(layout.bits / 8) * (layout.planar ? 1 : layout.samplesPerPixel);
    if (tile.size() < static_cast<std::size_t>(tileWidth) * tileHeight * pixelBytes) {
        return false;
    }
    const int planes = layout.planar ? layout.colourSamples : 1;
    const auto width = static_cast<std::uint32_t>(image.width);
    const auto height = static_cast<std::uint32_t>(image.height);
    for (int plane = 0; plane < planes; ++plane) {
        for (std::uint32_t ty = 0; ty < height; ty += tileHeight) {
            for (std::uint32_t tx = 0; tx < width; tx += tileWidth) {
                if (TIFFReadTile(tiff, tile.data(), tx, ty, 0, static_cast<std::uint16_t>(plane)) < 0) {
                    return false;
                }
                const std::uint32_t runs = std::min(tileHeight, height - ty);
                const std::uint32_t count = std::min(tileWidth, width - tx);
                for (std::uint32_t r = 0; r < runs; ++r) {
                    StoreRun(layout, tile.data() + static_cast<std::size_t>(r) * tileWidth * pixelBytes, count, tx,
                             ty + r, layout.planar ? plane : -1, image);
                }
            }
        }
    }
    return true;
}

bool ReadThroughRgba(TIFF* tiff, DecodedImage& image) {
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tiff, why)) {
        image.failure = ImageFailure::CannotConvert;
        image.detail = why;
        return false;
    }
    std::vector<std::uint32_t> raster;
    try {
        raster.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    } catch (const std::bad_alloc&) {
        image.failure = ImageFailure::OutOfMemory;
        return false;
    }
    if (!TIFFReadRGBAImageOriented(tiff, static_cast<std::uint32_t>(image.width),
                                   static_cast<std::uint32_t>(image.height), raster.data(), ORIENTATION_TOPLEFT, 0)) {
        image.failure = ImageFailure::PixelsUnreadable;
        return false;
    }
    std::uint16_t* out = image.rgba.data();
    for (std::uint32_t pixel : raster) {
        out[0] = Widen8(static_cast<std::uint8_t>(TIFFGetR(pixel)));
        out[1] = Widen8(static_cast<std::uint8_t>(TIFFGetG(pixel)));
        out[2] = Widen8(static_cast<std::uint8_t>(TIFFGetB(pixel)));
        out[3] = Widen8(static_cast<std::uint8_t>(TIFFGetA(pixel)));
        out += 4;
    }
    return true;
}

// Which layouts we read ourselves, and the stored format they count as.
// Grey with alpha, 8-bit RGB and 16-bit grey-alpha are read here but count
// as other, like every layout read through the RGBA reader.
bool DirectLayout(TIFF* tiff, Layout& layout, StoredPixelFormat& format) {
    std::uint16_t bits = 1, samples = 1, sampleFormat = SAMPLEFORMAT_UINT, photometric = 0,
                  planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) {
        return false;
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    const bool rgb = photometric == PHOTOMETRIC_RGB;
    const bool integer = sampleFormat == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16);
    const bool floating = sampleFormat == SAMPLEFORMAT_IEEEFP && bits == 32;
    if (!(grey && samples >= 1) && !(rgb && samples >= 3)) {
        return false;
    }
    if (!integer && !floating) {
        return false;
    }
    layout.bits = bits;
    layout.isFloat = floating;
    layout.samplesPerPixel = samples;
    layout.colourSamples = grey ? 1 : 3;
    layout.whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE;
    layout.planar = planar == PLANARCONFIG_SEPARATE;
    format = StoredPixelFormat::Other;
    if (grey && samples == 1) {
        format = bits == 8 ? StoredPixelFormat::Grey8
                           : (bits == 16 ? StoredPixelFormat::Grey16 : StoredPixelFormat::GreyFloat32);
    } else if (rgb && (samples == 3 || samples == 4) && bits != 8) {
        const bool alpha = samples == 4;
        format = bits == 16 ? (alpha ? StoredPixelFormat::Rgba16 : StoredPixelFormat::Rgb16)
                            : (alpha ? StoredPixelFormat::RgbaFloat32 : StoredPixelFormat::RgbFloat32);
    }
    return true;
}

}  // namespace

void DecodeTiff(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image) {
    image.failure = ImageFailure::CannotOpen;
    TiffContext context;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) {
        return;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffError, &context);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffWarning, &context);
    const int fd = OpenRegularFile(path);
    // libtiff takes the descriptor over only when it opens; otherwise it stays ours.
    TIFF* tiff = fd < 0 ? nullptr : TIFFFdOpenExt(fd, path.c_str(), "r", options);
    if (tiff == nullptr && fd >= 0) ::close(fd);
    TIFFOpenOptionsFree(options);
    auto finish = [&] {
        if (tiff) {
            TIFFClose(tiff);
        }
        if (!image.Ok() && context.message[0]) {
            image.detail = context.message;
        }
    };
    if (!tiff) {
        finish();
        return;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    Layout layout;
    StoredPixelFormat format = StoredPixelFormat::Other;
    const bool direct = DirectLayout(tiff, layout, format);
    image.format = format;
    if (!CheckImageSize(width, height, limits, image) || !AllocatePixels(image)) {
        finish();
        return;
    }
    bool read;
    if (direct) {
        try {
            read = TIFFIsTiled(tiff) ? ReadTiles(tiff, layout, image) : ReadStrips(tiff, layout, image);
        } catch (const std::bad_alloc&) {
            read = false;  // a strip or tile size no memory can hold
        }
        if (!read) {
            image.failure = ImageFailure::PixelsUnreadable;
        }
    } else {
        read = ReadThroughRgba(tiff, image);
    }
    if (read) {
        image.failure = ImageFailure::None;
    }
    finish();
}

}  // namespace ridgeforge::platform::detail
