#include "textures/GreyBmp.h"

#include <cstdlib>
#include <optional>

#include "platform/Files.h"
#include "platform/SafeWrite.h"

namespace ridgeforge {
namespace {

constexpr std::int64_t kHeaderBytes = 54;

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

std::uint32_t Get16(const std::vector<std::uint8_t>& in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8);
}

std::uint32_t Get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    return Get16(in, at) | (Get16(in, at + 2) << 16);
}

}  // namespace

std::int64_t GreyBmpRowSize(std::int64_t width) { return (3 * (width + 1)) / 4 * 4; }

bool WriteGreyBmp(const std::filesystem::path& path, const std::vector<std::uint8_t>& grey, std::int32_t size,
                  std::string* reason) {
    if (size <= 0) return false;
    const std::int64_t n = size;
    if (static_cast<std::int64_t>(grey.size()) != n * n) return false;
    const std::int64_t row = GreyBmpRowSize(n);
    const std::int64_t pixelBytes = row * n;
    // The header holds the file size in 32 bits.
    if (kHeaderBytes + pixelBytes > 0xFFFFFFFFLL) return false;

    std::vector<std::uint8_t> file(static_cast<std::size_t>(kHeaderBytes + pixelBytes), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<std::uint32_t>(kHeaderBytes + pixelBytes));
    Put32(file, 10, static_cast<std::uint32_t>(kHeaderBytes));
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<std::uint32_t>(n));
    Put32(file, 22, static_cast<std::uint32_t>(n));
    Put16(file, 26, 1);
    Put16(file, 28, 24);
    Put32(file, 34, static_cast<std::uint32_t>(pixelBytes));
    for (std::int64_t r = 0; r < n; ++r) {
        // Positive height: the file stores the bottom row first.
        std::uint8_t* out = file.data() + kHeaderBytes + (n - 1 - r) * row;
        const std::uint8_t* in = grey.data() + r * n;
        for (std::int64_t c = 0; c < n; ++c) out[3 * c] = out[3 * c + 1] = out[3 * c + 2] = in[c];
    }

    const platform::SafeWriteResult saved = platform::WriteFileSafely(path, file.data(), file.size());
    if (!saved.ok && reason) *reason = saved.reason;
    return saved.ok;
}

bool ReadGreyBmp(const std::filesystem::path& path, std::vector<std::uint8_t>& grey, std::int32_t& width,
                 std::int32_t& height) {
    grey.clear();
    // A thumbnail is at most 4096 x 4096 x 3 plus padding; anything far larger is not one.
    std::vector<std::uint8_t> file;
    if (!platform::ReadWholeFile(path, file, 64ULL * 1024 * 1024)) return false;

    const std::int64_t fileBytes = static_cast<std::int64_t>(file.size());
    if (fileBytes < kHeaderBytes || file[0] != 'B' || file[1] != 'M') return false;
    if (Get16(file, 28) != 24 || Get32(file, 30) != 0) return false;
    const std::int64_t w = static_cast<std::int32_t>(Get32(file, 18));
    const std::int64_t h = static_cast<std::int32_t>(Get32(file, 22));
    const std::int64_t offset = Get32(file, 10);
    if (w < 1 || w > kMaxGreyBmpSide) return false;
    if (h == 0 || h < -kMaxGreyBmpSide || h > kMaxGreyBmpSide) return false;
    // In 64 bits, so a huge offset cannot wrap around and pass the length test.
    const std::int64_t rows = std::llabs(h);
    const std::int64_t row = GreyBmpRowSize(w);
    if (offset < kHeaderBytes || offset + rows * row > fileBytes) return false;

    grey.resize(static_cast<std::size_t>(w * rows));
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::int64_t fileRow = h > 0 ? rows - 1 - r : r;
        const std::uint8_t* in = file.data() + offset + fileRow * row;
        std::uint8_t* out = grey.data() + r * w;
        for (std::int64_t c = 0; c < w; ++c) out[c] = in[3 * c + 1];
    }
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(rows);
    return true;
}

}  // namespace ridgeforge
