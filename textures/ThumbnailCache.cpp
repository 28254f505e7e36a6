#include "textures/ThumbnailCache.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <system_error>

#include "text/Utf8.h"
#include "platform/FileTime.h"
#include "platform/Files.h"
#include "textures/GreyBmp.h"
#include "textures/HeightMapImage.h"

namespace ridgeforge {
namespace {

constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;
// The prime to the 7th power: the six zero bytes after a unit's high byte
// change the hash only by these multiplications.
constexpr std::uint64_t kFnvPrimeToTheSeventh = 0xc5527b8a51d3d2dbULL;

std::uint64_t HashByte(std::uint64_t hash, std::uint8_t byte) { return (hash ^ byte) * kFnvPrime; }

std::uint64_t HashUnit(std::uint64_t hash, std::uint16_t unit) {
    hash = HashByte(hash, static_cast<std::uint8_t>(unit & 0xFF));
    hash ^= static_cast<std::uint8_t>(unit >> 8);
    return hash * kFnvPrimeToTheSeventh;
}

std::uint64_t HashWord(std::uint64_t hash, std::uint64_t word) {
    for (int i = 0; i < 8; ++i) hash = HashByte(hash, static_cast<std::uint8_t>(word >> (8 * i)));
    return hash;
}

// The path as lower-cased UTF-16 units. Only characters of the basic plane
// are lower-cased: a character beyond it is two surrogate units, which
// towlower leaves alone.
std::uint64_t HashPath(std::uint64_t hash, std::string_view path) {
    for (const wchar_t c : WideFromUtf8(path)) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code < 0x10000) {
            hash = HashUnit(hash, static_cast<std::uint16_t>(std::towlower(static_cast<std::wint_t>(code))));
        } else {
            const std::uint32_t v = code - 0x10000;
            hash = HashUnit(hash, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
            hash = HashUnit(hash, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
        }
    }
    return hash;
}

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string ThumbnailCacheName(std::string_view imagePath, std::optional<std::uint64_t> size,
                               std::optional<std::uint64_t> fileTime) {
    std::uint64_t hash = HashPath(kFnvOffset, imagePath);
    hash = HashWord(hash, size.value_or(0xFFFFFFFFFFFFFFFFULL));
    hash = HashWord(hash, fileTime.value_or(0x8000000000000000ULL));
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.bmp", static_cast<unsigned long long>(hash));
    return name;
}

std::string ThumbnailCachePath(const std::filesystem::path& image) {
    return ThumbnailCacheName(image.string(), platform::FileSize(image), platform::LastWriteFileTime(image));
}

std::vector<std::uint8_t> DownscaleThumbnail(const std::vector<float>& pixels, std::int32_t width, std::int32_t height,
                                             std::int32_t size) {
    if (size < 1 || width < 1 || height < 1) return {};
    const std::int64_t w = width;
    const std::int64_t h = height;
    if (static_cast<std::int64_t>(pixels.size()) < w * h) return {};
    const std::int64_t side = std::min(w, h);
    const std::int64_t left = (w - side) / 2;
    const std::int64_t top = (h - side) / 2;
    const std::int64_t s = size;

    std::vector<std::uint8_t> out(static_cast<std::size_t>(s * s));
    for (std::int64_t r = 0; r < s; ++r) {
        const std::int64_t y0 = r * side / s + top;
        const std::int64_t y1 = std::max(y0 + 1, (r * side + side) / s + top);
        for (std::int64_t c = 0; c < s; ++c) {
            const std::int64_t x0 = c * side / s + left;
            const std::int64_t x1 = std::max(x0 + 1, (c * side + side) / s + left);
            double sum = 0.0;
            for (std::int64_t y = y0; y < y1; ++y) {
                const float* row = pixels.data() + y * w;
                for (std::int64_t x = x0; x < x1; ++x) sum += row[x];
            }
            double mean = sum / static_cast<double>((x1 - x0) * (y1 - y0));
            mean = mean >= 0.0 ? (mean <= 1.0 ? mean : 1.0) : 0.0;  // NaN gives 0
            out[static_cast<std::size_t>(r * s + c)] = static_cast<std::uint8_t>(mean * 255.0 + 0.5);
        }
    }
    return out;
}

bool GetThumbnail(const std::vector<LibraryRoot>& roots, const std::filesystem::path& image,
                  std::vector<std::uint8_t>& pixels, std::int32_t& size) {
    pixels.clear();
    size = 0;
    if (!IsRegularFile(image)) return false;

    const std::string name = ThumbnailCachePath(image);
    const std::filesystem::path cached = ResolveLibraryItem(roots, "thumbnails", name);
    if (!cached.empty()) {
        std::int32_t width = 0;
        std::int32_t height = 0;
        if (ReadGreyBmp(cached, pixels, width, height) && width == height && width >= 1) {
            size = width;
            return true;
        }
        pixels.clear();  // damaged or foreign: made again below
    }

    const mesh::HeightMapImage loaded = mesh::LoadHeightMapImage(image, mesh::SrgbDecoding::Never);
    if (!loaded.ok || loaded.width < 1 || loaded.height < 1 ||
        static_cast<std::int64_t>(loaded.heights.size()) <
            static_cast<std::int64_t>(loaded.width) * static_cast<std::int64_t>(loaded.height)) {
        return false;
    }
    const std::int32_t s = std::min({kLibraryThumbnailSize, loaded.width, loaded.height});
    pixels = DownscaleThumbnail(loaded.heights, loaded.width, loaded.height, s);
    if (pixels.empty()) return false;
    size = s;

    const std::filesystem::path target = UserItemPath(roots, "thumbnails", name);
    if (!target.empty()) WriteGreyBmp(target, pixels, s);  // a cache that cannot be written only costs time
    return true;
}

}  // namespace ridgeforge
