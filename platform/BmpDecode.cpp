// A small BMP reader of our own: the Windows and OS/2 headers, 1, 4 and 8-bit
// palettes (plain or run-length encoded), 16 and 32-bit with bit masks and
// 24-bit BGR, bottom-up or top-down. Every offset and size is computed in 64
// bits and checked against the file before it is used; a file too short for
// its own header's claims fails instead of being read past its end.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Files.h"
#include "platform/ImageDecoders.h"

namespace ridgeforge::platform::detail {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

std::uint32_t Read32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// One colour channel stored under a bit mask, scaled to 16 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t maximum = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (mask == 0) {
            return;
        }
        while (((mask >> shift) & 1u) == 0) {
            ++shift;
        }
        maximum = mask >> shift;
    }
    std::uint16_t Get(std::uint32_t pixel) const {
        if (maximum == 0) {
            return 0;
        }
        const std::uint64_t value = (pixel & mask) >> shift;
        return static_cast<std::uint16_t>((value * 65535u + maximum / 2) / maximum);
    }
};

struct Header {
    std::uint64_t dataOffset = 0;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative: top row first
    std::uint32_t bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t coloursUsed = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    std::vector<std::uint8_t> palette;  // B, G, R per entry
};

std::uint64_t FileLength(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) {
        return 0;
    }
    const long length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    return length > 0 ? static_cast<std::uint64_t>(length) : 0;
}

bool ReadAt(std::FILE* file, std::uint64_t offset, void* out, std::size_t size) {
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, size, file) == size;
}

bool ReadHeader(std::FILE* file, std::uint64_t fileLength, Header& h) {
    std::uint8_t fixed[14 + 4];
    if (!ReadAt(file, 0, fixed, sizeof fixed)) {
        return false;
    }
    h.dataOffset = Read32(fixed + 10);
    h.headerSize = Read32(fixed + 14);
    if (h.headerSize != 12 && (h.headerSize < 40 || h.headerSize > 1024)) {
        return false;
    }
    std::vector<std::uint8_t> info(h.headerSize);
    if (!ReadAt(file, 14, info.data(), info.size())) {
        return false;
    }
    std::uint64_t paletteOffset = 14 + h.headerSize;
    std::size_t paletteEntrySize = 4;
    if (h.headerSize == 12) {
        h.width = Read16(info.data() + 4);
        h.height = Read16(info.data() + 6);
        h.bitCount = Read16(info.data() + 10);
        paletteEntrySize = 3;
    } else {
        h.width = static_cast<std::int32_t>(Read32(info.data() + 4));
        h.height = static_cast<std::int32_t>(Read32(info.data() + 8));
        h.bitCount = Read16(info.data() + 14);
        h.compression = Read32(info.data() + 16);
        h.coloursUsed = Read32(info.data() + 32);
        if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
            std::uint8_t masks[12];
            if (h.headerSize >= 52) {
                std::memcpy(masks, info.data() + 40, 12);
            } else {
                // The masks follow a short header, before the palette.
                if (!ReadAt(file, paletteOffset, masks, 12)) {
                    return false;
                }
                paletteOffset += h.compression == kBiAlphaBitfields ? 16 : 12;
            }
            for (int c = 0; c < 3; ++c) {
                h.masks[c] = Read32(masks + 4 * c);
            }
        }
    }
    if (h.bitCount <= 8) {
        const std::uint64_t entries =
            h.coloursUsed != 0 ? std::min<std::uint64_t>(h.coloursUsed, 256) : (1ull << h.bitCount);
        std::vector<std::uint8_t> raw(entries * paletteEntrySize);
        if (paletteOffset + raw.size() > fileLength || !ReadAt(file, paletteOffset, raw.data(), raw.size())) {
            return false;
        }
        h.palette.assign(256 * 3, 0);
        for (std::uint64_t i = 0; i < entries; ++i) {
            std::memcpy(&h.palette[i * 3], &raw[i * paletteEntrySize], 3);
        }
    }
    return true;
}

void StorePaletteIndex(const Header& h, std::uint32_t index, std::uint16_t* out) {
    const std::uint8_t* bgr = &h.palette[std::min<std::uint32_t>(index, 255) * 3];
    out[0] = Widen8(bgr[2]);
    out[1] = Widen8(bgr[1]);
    out[2] = Widen8(bgr[0]);
    out[3] = 0xFFFF;
}

// Uncompressed rows: `data` holds the whole pixel area, rows padded to 4 bytes.
void DecodeRows(const Header& h, const std::vector<std::uint8_t>& data, std::uint64_t stride, DecodedImage& image) {
    std::uint32_t masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
    if (h.compression == kBiRgb) {
        if (h.bitCount == 16) {
            masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
        }
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    const bool topDown = h.height < 0;
    const auto width = static_cast<std::uint64_t>(image.width);
    const auto height = static_cast<std::uint64_t>(image.height);
    for (std::uint64_t y = 0; y < height; ++y) {
        const std::uint8_t* row = data.data() + (topDown ? y : height - 1 - y) * stride;
        std::uint16_t* out = image.rgba.data() + y * width * 4;
        for (std::uint64_t x = 0; x < width; ++x, out += 4) {
            switch (h.bitCount) {
                case 1:
                    StorePaletteIndex(h, (row[x / 8] >> (7 - x % 8)) & 1u, out);
                    break;
                case 4:
                    StorePaletteIndex(h, (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xFu, out);
                    break;
                case 8:
                    StorePaletteIndex(h, row[x], out);
                    break;
                case 24:
                    out[0] = Widen8(row[x * 3 + 2]);
                    out[1] = Widen8(row[x * 3 + 1]);
                    out[2] = Widen8(row[x * 3]);
                    out[3] = 0xFFFF;
                    break;
                default: {
                    const std::uint32_t pixel = h.bitCount == 16 ? Read16(row + x * 2) : Read32(row + x * 4);
                    out[0] = red.Get(pixel);
                    out[1] = green.Get(pixel);
                    out[2] = blue.Get(pixel);
                    out[3] = 0xFFFF;
                }
            }
        }
    }
}

// Run-length encoded 8 or 4-bit data. Pixels the runs never reach keep
// palette entry 0. False when the stream ends before its end-of-bitmap mark
// or a run points outside the image.
bool DecodeRle(const Header& h, const std::vector<std::uint8_t>& data, DecodedImage& image) {
    const bool four = h.compression == kBiRle4;
    const auto width = static_cast<std::uint64_t>(image.width);
    const auto height = static_cast<std::uint64_t>(image.height);
    for (std::uint64_t i = 0; i < width * height; ++i) {
        StorePaletteIndex(h, 0, image.rgba.data() + i * 4);
    }
    std::uint64_t x = 0, y = 0, p = 0;
    auto put = [&](std::uint32_t index) {
        if (x < width && y < height) {
            StorePaletteIndex(h, index, image.rgba.data() + ((height - 1 - y) * width + x) * 4);
        }
        ++x;
    };
    while (p + 1 < data.size()) {
        const std::uint8_t count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count; ++i) {
                put(four ? (i % 2 ? value & 0xFu : value >> 4) : value);
            }
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (p + 1 >= data.size()) {
                return false;
            }
            x += data[p], y += data[p + 1];
            p += 2;
        } else {
            const std::uint64_t bytes = four ? (value + 1u) / 2u : value;
            if (p + bytes > data.size()) {
                return false;
            }
            for (std::uint32_t i = 0; i < value; ++i) {
                put(four ? (i % 2 ? data[p + i / 2] & 0xFu : data[p + i / 2] >> 4) : data[p + i]);
            }
            p += (bytes + 1) & ~std::uint64_t{1};  // runs are padded to 16 bits
        }
    }
    return false;
}

}  // namespace

void DecodeBmp(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image) {
    image.failure = ImageFailure::CannotOpen;
    std::FILE* file = OpenRegularFileStream(path);
    if (!file) {
        return;
    }
    const std::uint64_t fileLength = FileLength(file);
    Header h;
    // Every layout a BMP can hold is a palette or 8-bit colour: all count as other.
    image.format = StoredPixelFormat::Other;
    if (!ReadHeader(file, fileLength, h)) {
        image.detail = "damaged header";
        std::fclose(file);
        return;
    }
    const std::uint64_t width = h.width < 0 ? 0 : static_cast<std::uint64_t>(h.width);
    const std::uint64_t height = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
    if (!CheckImageSize(width, height, limits, image)) {
        std::fclose(file);
        return;
    }
    const bool rle = (h.compression == kBiRle8 && h.bitCount == 8) || (h.compression == kBiRle4 && h.bitCount == 4);
    const bool plain = (h.compression == kBiRgb && (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 ||
                                                    h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32)) ||
                       ((h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) &&
                        (h.bitCount == 16 || h.bitCount == 32));
    if ((!plain && !rle) || (rle && h.height < 0)) {
        image.failure = ImageFailure::CannotConvert;
        image.detail = "unsupported BMP compression or bit depth";
        std::fclose(file);
        return;
    }
    const std::uint64_t stride = (width * h.bitCount + 31) / 32 * 4;
    const std::uint64_t need = rle ? fileLength - std::min(fileLength, h.dataOffset) : stride * height;
    std::vector<std::uint8_t> data;
    if (h.dataOffset > fileLength || need > fileLength - h.dataOffset || !AllocatePixels(image)) {
        image.failure = ImageFailure::PixelsUnreadable;
        image.detail = "the pixel data is cut short";
        std::fclose(file);
        return;
    }
    bool read = false;
    try {
        data.resize(need);
        read = ReadAt(file, h.dataOffset, data.data(), data.size());
    } catch (const std::bad_alloc&) {
        read = false;
    }
    std::fclose(file);
    if (!read || (rle && !DecodeRle(h, data, image))) {
        image.failure = ImageFailure::PixelsUnreadable;
        return;
    }
    if (!rle) {
        DecodeRows(h, data, stride, image);
    }
    image.failure = ImageFailure::None;
}

}  // namespace ridgeforge::platform::detail
