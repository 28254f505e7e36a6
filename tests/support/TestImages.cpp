#include "tests/support/TestImages.h"

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace ridgeforge::test {

namespace {

bool WritePngRows(std::FILE* file, int width, int height, int channels, int bitDepth,
                  const std::vector<std::uint16_t>& samples, bool interlaced) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(width) * channels * (bitDepth / 8));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    static const int kTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                  PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, bitDepth, kTypes[channels],
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y) {
            const std::size_t base = static_cast<std::size_t>(y) * width * channels;
            for (std::size_t i = 0; i < static_cast<std::size_t>(width) * channels; ++i) {
                const std::uint16_t v = samples[base + i];
                if (bitDepth == 16) {
                    row[i * 2] = static_cast<png_byte>(v >> 8);  // PNG is big-endian
                    row[i * 2 + 1] = static_cast<png_byte>(v & 0xFF);
                } else {
                    row[i] = static_cast<png_byte>(v);
                }
            }
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<std::uint8_t> BmpHeaders(int width, int height, int bitCount, std::uint32_t paletteEntries,
                                     std::uint32_t dataSize) {
    std::vector<std::uint8_t> out;
    const std::uint32_t offset = 14 + 40 + paletteEntries * 4;
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, offset + dataSize);
    PutLe32(out, 0);
    PutLe32(out, offset);
    PutLe32(out, 40);
    PutLe32(out, static_cast<std::uint32_t>(width));
    PutLe32(out, static_cast<std::uint32_t>(height));
    PutLe16(out, 1);
    PutLe16(out, static_cast<std::uint32_t>(bitCount));
    PutLe32(out, 0);
    PutLe32(out, dataSize);
    PutLe32(out, 2835);
    PutLe32(out, 2835);
    PutLe32(out, paletteEntries);
    PutLe32(out, 0);
    return out;
}

}  // namespace

bool WriteUniformGreyPng(const std::filesystem::path& path, int width, int height, std::uint8_t value) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<std::size_t>(width), value);
    bool ok = png != nullptr && info != nullptr;
    if (ok && setjmp(png_jmpbuf(png))) {
        ok = false;
    } else if (ok) {
        png_init_io(png, file);
        png_set_compression_level(png, 9);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) png_write_row(png, row.data());
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

bool WritePng(const std::filesystem::path& path, int width, int height, int channels, int bitDepth,
              const std::vector<std::uint16_t>& samples, bool interlaced) {
    if (channels < 1 || channels > 4 || samples.size() != static_cast<std::size_t>(width) * height * channels) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool ok = WritePngRows(file, width, height, channels, bitDepth, samples, interlaced);
    return std::fclose(file) == 0 && ok;
}

bool WriteJpeg(const std::filesystem::path& path, int width, int height, int channels,
               const std::vector<std::uint8_t>& samples, int quality) {
    if ((channels != 1 && channels != 3) || samples.size() != static_cast<std::size_t>(width) * height * channels) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = channels;
    info.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(samples.data() + static_cast<std::size_t>(info.next_scanline) * width * channels);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

bool WriteTiff(const std::filesystem::path& path, const TiffLayout& layout,
               const std::vector<std::vector<double>>& pages) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) {
        return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(layout.bits / 8);
    const int planes = layout.planar ? layout.channels : 1;
    const int perPixel = layout.planar ? 1 : layout.channels;
    bool ok = true;
    for (const std::vector<double>& samples : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, layout.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, layout.height);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.channels);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits);
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, layout.isFloat ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
        const int greyKind = layout.minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.channels >= 3 ? PHOTOMETRIC_RGB : greyKind);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, layout.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        if (layout.channels == 4) {
            const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        if (layout.tiled) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 4);
        }
        auto encode = [&](double value, std::uint8_t* out) {
            if (layout.isFloat) {
                const float f = static_cast<float>(value);
                std::memcpy(out, &f, 4);
            } else if (layout.bits == 16) {
                const auto v = static_cast<std::uint16_t>(std::lround(value * 65535.0));
                std::memcpy(out, &v, 2);
            } else {
                *out = static_cast<std::uint8_t>(std::lround(value * 255.0));
            }
        };
        auto sampleAt = [&](int x, int y, int c) {
            return samples[(static_cast<std::size_t>(y) * layout.width + x) * layout.channels + c];
        };
        for (int plane = 0; plane < planes; ++plane) {
            if (layout.tiled) {
                std::vector<std::uint8_t> tile(16 * 16 * perPixel * bytes, 0);
                for (int ty = 0; ty < layout.height; ty += 16) {
                    for (int tx = 0; tx < layout.width; tx += 16) {
                        for (int y = 0; y < 16 && ty + y < layout.height; ++y) {
                            for (int x = 0; x < 16 && tx + x < layout.width; ++x) {
                                for (int c = 0; c < perPixel; ++c) {
                                    encode(sampleAt(tx + x, ty + y, layout.planar ? plane : c),
                                           &tile[((y * 16 + x) * perPixel + c) * bytes]);
                                }
                            }
                        }
                        ok = ok && TIFFWriteTile(tiff, tile.data(), tx, ty, 0, static_cast<std::uint16_t>(plane)) >= 0;
                    }
                }
            } else {
                std::vector<std::uint8_t> line(static_cast<std::size_t>(layout.width) * perPixel * bytes);
                for (int y = 0; y < layout.height; ++y) {
                    for (int x = 0; x < layout.width; ++x) {
                        for (int c = 0; c < perPixel; ++c) {
                            encode(sampleAt(x, y, layout.planar ? plane : c), &line[(x * perPixel + c) * bytes]);
                        }
                    }
                    ok = ok && TIFFWriteScanline(tiff, line.data(), y, static_cast<std::uint16_t>(plane)) >= 0;
                }
            }
        }
        ok = ok && TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return ok;
}

bool WriteGif(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& palette,
              const std::vector<std::vector<std::uint8_t>>& frames, bool interlaced) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif) {
        return false;
    }
    const int entries = static_cast<int>(palette.size() / 3);
    std::vector<GifColorType> colours(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        colours[i] = {palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]};
    }
    ColorMapObject* map = GifMakeMapObject(entries, colours.data());
    bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR;
    for (const std::vector<std::uint8_t>& frame : frames) {
        ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr) != GIF_ERROR;
        if (interlaced) {
            static const int kStart[4] = {0, 4, 2, 1};
            static const int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int y = kStart[pass]; y < height; y += kStep[pass]) {
                    ok =
                        ok && EGifPutLine(gif, const_cast<GifPixelType*>(frame.data() + y * width), width) != GIF_ERROR;
                }
            }
        } else {
            for (int y = 0; y < height; ++y) {
                ok = ok && EGifPutLine(gif, const_cast<GifPixelType*>(frame.data() + y * width), width) != GIF_ERROR;
            }
        }
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) != GIF_ERROR && ok;
}

bool WriteBmp24(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& rgb,
                bool topDown) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> out = BmpHeaders(width, topDown ? -height : height, 24, 0, stride * height);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            out.insert(out.end(), {p[2], p[1], p[0]});
        }
        out.resize(out.size() + (stride - width * 3), 0);
    }
    return WriteBytes(path, out);
}

bool WriteBmp8(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& indices,
               const std::vector<std::uint8_t>& palette) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) / 4 * 4;
    const auto entries = static_cast<std::uint32_t>(palette.size() / 3);
    std::vector<std::uint8_t> out = BmpHeaders(width, height, 8, entries, stride * height);
    for (std::uint32_t i = 0; i < entries; ++i) {
        out.insert(out.end(), {palette[i * 3 + 2], palette[i * 3 + 1], palette[i * 3], 0});
    }
    for (int y = height - 1; y >= 0; --y) {
        out.insert(out.end(), indices.begin() + static_cast<std::ptrdiff_t>(y) * width,
                   indices.begin() + static_cast<std::ptrdiff_t>(y + 1) * width);
        out.resize(out.size() + (stride - width), 0);
    }
    return WriteBytes(path, out);
}

bool WriteBmp1(const std::filesystem::path& path, int width, int height, const std::vector<std::uint8_t>& bits,
               const std::vector<std::uint8_t>& palette) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 31) / 32 * 4;
    std::vector<std::uint8_t> out = BmpHeaders(width, height, 1, 2, stride * height);
    for (std::uint32_t i = 0; i < 2; ++i)
        out.insert(out.end(), {palette[i * 3 + 2], palette[i * 3 + 1], palette[i * 3], 0});
    for (int y = height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < width; ++x) {
            if (bits[static_cast<std::size_t>(y) * width + x]) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return WriteBytes(path, out);
}

bool TruncateFile(const std::filesystem::path& path, std::uint64_t size) {
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    return !error;
}

bool OverwriteBytes(const std::filesystem::path& path, std::uint64_t offset, std::uint64_t count, std::uint8_t value) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) {
        return false;
    }
    bool ok = std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
    for (std::uint64_t i = 0; ok && i < count; ++i) {
        ok = std::fputc(value, file) != EOF;
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace ridgeforge::test
