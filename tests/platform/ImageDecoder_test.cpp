#include "platform/ImageDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ImageDecoders.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge;
using platform::DecodeImage;
using platform::ImageContainer;
using platform::ImageFailure;
using platform::StoredPixelFormat;

namespace {

constexpr std::int32_t kLimit = 16384;

std::vector<std::uint16_t> Ramp16(int count, int channels) {
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(count) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint16_t>((i * 7919) & 0xFFFF);
    }
    return samples;
}

std::vector<std::uint8_t> Ramp8(int count, int channels) {
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(count) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint8_t>(i * 37);
    }
    return samples;
}

}  // namespace

TEST(ImageDecoder, ContainerComesFromTheBytesNotTheName) {
    test::TempDir dir;
    // A PNG named as a JPEG is still a PNG; a text file named as a PNG is nothing.
    ASSERT_TRUE(test::WritePng(dir / "really-png.jpg", 2, 2, 1, 8, {0, 64, 128, 255}));
    const auto png = DecodeImage(dir / "really-png.jpg", kLimit);
    ASSERT_TRUE(png.Ok());
    EXPECT_EQ(png.container, ImageContainer::Png);
    std::ofstream(dir / "text.png") << "not an image at all";
    const auto text = DecodeImage(dir / "text.png", kLimit);
    EXPECT_EQ(text.failure, ImageFailure::CannotOpen);
    EXPECT_EQ(text.container, ImageContainer::Unknown);
    EXPECT_EQ(DecodeImage(dir / "missing.png", kLimit).failure, ImageFailure::CannotOpen);
    EXPECT_EQ(DecodeImage(dir.Path(), kLimit).failure, ImageFailure::CannotOpen);
    std::ofstream(dir / "empty.bmp");
    EXPECT_EQ(DecodeImage(dir / "empty.bmp", kLimit).failure, ImageFailure::CannotOpen);
}

TEST(ImageDecoder, StoredFormatsMapToTheirOwnEntryOrOther) {
    test::TempDir dir;
    struct Case {
        std::string name;
        int channels, bits;
        StoredPixelFormat expected;
    };
    // 8-bit colour, grey with alpha at 8 bits: other. 16-bit grey-alpha
    // widens to RGBA.
    const Case pngCases[] = {
        {"g8.png", 1, 8, StoredPixelFormat::Grey8},    {"g16.png", 1, 16, StoredPixelFormat::Grey16},
        {"ga8.png", 2, 8, StoredPixelFormat::Other},   {"ga16.png", 2, 16, StoredPixelFormat::Rgba16},
        {"rgb8.png", 3, 8, StoredPixelFormat::Other},  {"rgb16.png", 3, 16, StoredPixelFormat::Rgb16},
        {"rgba8.png", 4, 8, StoredPixelFormat::Other}, {"rgba16.png", 4, 16, StoredPixelFormat::Rgba16},
    };
    for (const Case& c : pngCases) {
        ASSERT_TRUE(test::WritePng(dir / c.name, 5, 3, c.channels, c.bits, Ramp16(15, c.channels)));
        const auto image = DecodeImage(dir / c.name, kLimit);
        ASSERT_TRUE(image.Ok()) << c.name << " " << image.detail;
        EXPECT_EQ(image.format, c.expected) << c.name;
        EXPECT_EQ(image.width, 5);
        EXPECT_EQ(image.height, 3);
    }
    // 8-bit samples widen by 257 so that white stays white.
    ASSERT_TRUE(test::WritePng(dir / "rgb8w.png", 1, 1, 3, 8, {255, 0, 128}));
    const auto widened = DecodeImage(dir / "rgb8w.png", kLimit);
    ASSERT_TRUE(widened.Ok());
    EXPECT_EQ(widened.rgba, (std::vector<std::uint16_t>{65535, 0, 128 * 257, 65535}));

    ASSERT_TRUE(test::WriteJpeg(dir / "g.jpg", 8, 8, 1, Ramp8(64, 1)));
    ASSERT_TRUE(test::WriteJpeg(dir / "c.jpg", 8, 8, 3, Ramp8(64, 3)));
    EXPECT_EQ(DecodeImage(dir / "g.jpg", kLimit).format, StoredPixelFormat::Grey8);
    EXPECT_EQ(DecodeImage(dir / "c.jpg", kLimit).format, StoredPixelFormat::Other);

    const std::vector<double> rgb(4 * 4 * 3, 0.25);
    const std::vector<double> rgba(4 * 4 * 4, 0.25);
    const std::vector<double> grey(4 * 4, 0.25);
    struct TiffCase {
        std::string name;
        test::TiffLayout layout;
        std::vector<double> samples;
        StoredPixelFormat expected;
    };
    const TiffCase tiffCases[] = {
        {"g8.tif", {4, 4, 1, 8}, grey, StoredPixelFormat::Grey8},
        {"gf.tif", {4, 4, 1, 32, true}, grey, StoredPixelFormat::GreyFloat32},
        {"rgb8.tif", {4, 4, 3, 8}, rgb, StoredPixelFormat::Other},
        {"rgb16.tif", {4, 4, 3, 16}, rgb, StoredPixelFormat::Rgb16},
        {"rgba16.tif", {4, 4, 4, 16}, rgba, StoredPixelFormat::Rgba16},
        {"rgbf.tif", {4, 4, 3, 32, true}, rgb, StoredPixelFormat::RgbFloat32},
        {"rgbaf.tif", {4, 4, 4, 32, true}, rgba, StoredPixelFormat::RgbaFloat32},
    };
    for (const TiffCase& c : tiffCases) {
        ASSERT_TRUE(test::WriteTiff(dir / c.name, c.layout, {c.samples}));
        const auto image = DecodeImage(dir / c.name, kLimit);
        ASSERT_TRUE(image.Ok()) << c.name << " " << image.detail;
        EXPECT_EQ(image.format, c.expected) << c.name;
        EXPECT_NEAR(image.rgba[0], 0.25 * 65535, 129) << c.name;
    }

    ASSERT_TRUE(test::WriteGif(dir / "p.gif", 2, 2, {0, 0, 0, 255, 255, 255}, {{0, 1, 1, 0}}));
    ASSERT_TRUE(test::WriteBmp24(dir / "c.bmp", 2, 2, Ramp8(4, 3)));
    EXPECT_EQ(DecodeImage(dir / "p.gif", kLimit).format, StoredPixelFormat::Other);
    EXPECT_EQ(DecodeImage(dir / "c.bmp", kLimit).format, StoredPixelFormat::Other);
}

TEST(ImageDecoder, FloatTiffIsLimitedAndQuantised) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteTiff(dir / "f.tif", {4, 1, 1, 32, true}, {{-0.5, 0.5, 1.5, 0.25}}));
    const auto image = DecodeImage(dir / "f.tif", kLimit);
    ASSERT_TRUE(image.Ok()) << image.detail;
    EXPECT_EQ(image.rgba[0], 0);
    EXPECT_EQ(image.rgba[4], 32768);  // 0.5 x 65535 rounded
    EXPECT_EQ(image.rgba[8], 65535);
    EXPECT_EQ(image.rgba[12], 16384);
}

// A grey TIFF may say that its 0 is white: it reads inverted, so the stored
// 0 is the top height, at 8 and 16 bits, in strips and tiles; the usual
// min-is-black file reads as stored. Expected levels: 0.25 is stored as 64
// (8 bits, widened by 257 to 16448) or 16384 (16 bits).
TEST(ImageDecoder, MinIsWhiteGreyTiffReadsInverted) {
    test::TempDir dir;
    struct Case {
        const char* name;
        test::TiffLayout layout;
        StoredPixelFormat format;
        std::vector<std::uint16_t> expected;
    };
    const Case cases[] = {
        {"white8.tif", {3, 1, 1, 8, false, false, false, true}, StoredPixelFormat::Grey8, {65535, 49087, 0}},
        {"white16.tif", {3, 1, 1, 16, false, false, false, true}, StoredPixelFormat::Grey16, {65535, 49151, 0}},
        {"white16t.tif", {3, 1, 1, 16, false, true, false, true}, StoredPixelFormat::Grey16, {65535, 49151, 0}},
        {"black8.tif", {3, 1, 1, 8}, StoredPixelFormat::Grey8, {0, 16448, 65535}},
        {"black16.tif", {3, 1, 1, 16}, StoredPixelFormat::Grey16, {0, 16384, 65535}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(test::WriteTiff(dir / c.name, c.layout, {{0.0, 0.25, 1.0}}));
        const auto image = DecodeImage(dir / c.name, kLimit);
        ASSERT_TRUE(image.Ok()) << c.name << " " << image.detail;
        EXPECT_EQ(image.format, c.format) << c.name;
        ASSERT_EQ(image.rgba.size(), 12u) << c.name;
        for (std::size_t pixel = 0; pixel < 3; ++pixel) {
            for (std::size_t channel = 0; channel < 3; ++channel)
                EXPECT_EQ(image.rgba[pixel * 4 + channel], c.expected[pixel]) << c.name << " pixel " << pixel;
            EXPECT_EQ(image.rgba[pixel * 4 + 3], 65535) << c.name << " pixel " << pixel;
        }
    }
}

TEST(ImageDecoder, LayoutsOfEachContainerGiveTheSamePixels) {
    test::TempDir dir;
    const int w = 37, h = 21;  // not a multiple of tiles, strips or interlace steps
    std::vector<double> samples(w * h * 3);
    for (int i = 0; i < w * h * 3; ++i) {
        samples[i] = ((i * 131) % 65536) / 65535.0;
    }
    ASSERT_TRUE(test::WriteTiff(dir / "strips.tif", {w, h, 3, 16}, {samples}));
    ASSERT_TRUE(test::WriteTiff(dir / "tiles.tif", {w, h, 3, 16, false, true}, {samples}));
    ASSERT_TRUE(test::WriteTiff(dir / "planes.tif", {w, h, 3, 16, false, false, true}, {samples}));
    ASSERT_TRUE(test::WriteTiff(dir / "tiledplanes.tif", {w, h, 3, 16, false, true, true}, {samples}));
    const auto reference = DecodeImage(dir / "strips.tif", kLimit);
    ASSERT_TRUE(reference.Ok()) << reference.detail;
    for (const char* name : {"tiles.tif", "planes.tif", "tiledplanes.tif"}) {
        const auto other = DecodeImage(dir / name, kLimit);
        ASSERT_TRUE(other.Ok()) << name << " " << other.detail;
        EXPECT_EQ(other.rgba, reference.rgba) << name;
    }

    const auto grey = Ramp16(w * h, 1);
    ASSERT_TRUE(test::WritePng(dir / "plain.png", w, h, 1, 16, grey));
    ASSERT_TRUE(test::WritePng(dir / "adam7.png", w, h, 1, 16, grey, true));
    EXPECT_EQ(DecodeImage(dir / "plain.png", kLimit).rgba, DecodeImage(dir / "adam7.png", kLimit).rgba);

    std::vector<std::uint8_t> indices(w * h);
    for (int i = 0; i < w * h; ++i) {
        indices[i] = static_cast<std::uint8_t>(i % 4);
    }
    const std::vector<std::uint8_t> palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    ASSERT_TRUE(test::WriteGif(dir / "plain.gif", w, h, palette, {indices}));
    ASSERT_TRUE(test::WriteGif(dir / "laced.gif", w, h, palette, {indices}, true));
    ASSERT_TRUE(test::WriteBmp8(dir / "p.bmp", w, h, indices, palette));
    const auto gif = DecodeImage(dir / "plain.gif", kLimit);
    ASSERT_TRUE(gif.Ok()) << gif.detail;
    EXPECT_EQ(gif.rgba, DecodeImage(dir / "laced.gif", kLimit).rgba);
    EXPECT_EQ(gif.rgba, DecodeImage(dir / "p.bmp", kLimit).rgba);
    EXPECT_EQ(gif.rgba[4 * 1 + 0], 65535);  // pixel 1 is palette entry 1, red

    std::vector<std::uint8_t> rgb(w * h * 3);
    for (int i = 0; i < w * h * 3; ++i) {
        rgb[i] = static_cast<std::uint8_t>(i * 13);
    }
    ASSERT_TRUE(test::WriteBmp24(dir / "up.bmp", w, h, rgb));
    ASSERT_TRUE(test::WriteBmp24(dir / "down.bmp", w, h, rgb, true));
    const auto up = DecodeImage(dir / "up.bmp", kLimit);
    ASSERT_TRUE(up.Ok()) << up.detail;
    EXPECT_EQ(up.rgba, DecodeImage(dir / "down.bmp", kLimit).rgba);
    EXPECT_EQ(up.rgba[0], rgb[0] * 257);
    EXPECT_EQ(up.rgba[(w * h - 1) * 4 + 2], rgb[(w * h - 1) * 3 + 2] * 257);
}

TEST(ImageDecoder, OneBitBmpReadsItsBitsLeftmostFirst) {
    test::TempDir dir;
    // 11 pixels a row spill into a second byte; the rows differ, so a flipped
    // row order shows as well as a reversed bit order.
    const int w = 11, h = 2;
    const std::vector<std::uint8_t> bits = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
    const std::vector<std::uint8_t> palette = {200, 10, 30, 5, 100, 250};
    ASSERT_TRUE(test::WriteBmp1(dir / "bits.bmp", w, h, bits, palette));
    const auto image = DecodeImage(dir / "bits.bmp", kLimit);
    ASSERT_TRUE(image.Ok()) << image.detail;
    ASSERT_EQ(image.width, w);
    ASSERT_EQ(image.height, h);
    for (int i = 0; i < w * h; ++i) {
        const std::uint8_t* colour = &palette[bits[i] * 3];
        EXPECT_EQ(image.rgba[i * 4 + 0], colour[0] * 257) << i;
        EXPECT_EQ(image.rgba[i * 4 + 1], colour[1] * 257) << i;
        EXPECT_EQ(image.rgba[i * 4 + 2], colour[2] * 257) << i;
        EXPECT_EQ(image.rgba[i * 4 + 3], 65535) << i;
    }
}

TEST(ImageDecoder, OnlyTheFirstFrameIsRead) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteGif(dir / "two.gif", 2, 1, {0, 0, 0, 255, 255, 255}, {{1, 1}, {0, 0}}));
    const auto gif = DecodeImage(dir / "two.gif", kLimit);
    ASSERT_TRUE(gif.Ok()) << gif.detail;
    EXPECT_EQ(gif.rgba[0], 65535);
    ASSERT_TRUE(test::WriteTiff(dir / "two.tif", {2, 1, 1, 16}, {{1.0, 1.0}, {0.0, 0.0}}));
    const auto tiff = DecodeImage(dir / "two.tif", kLimit);
    ASSERT_TRUE(tiff.Ok()) << tiff.detail;
    EXPECT_EQ(tiff.rgba[0], 65535);
}

TEST(ImageDecoder, PixelBudgetIsCheckedFromEveryHeader) {
    test::TempDir dir;
    // A budget of 12 pixels: 4 x 3 is at it and decodes; 13 x 1, 5 x 3 and
    // 3 x 5 are over it by one or more and are refused, with the size kept
    // for the message. The sides are far below the side limit, so only the
    // count can refuse them.
    const platform::ImageLimits budget{kLimit, 12};
    const auto refused = [&](const std::filesystem::path& path, int width, int height) {
        const auto image = DecodeImage(path, budget);
        EXPECT_EQ(image.failure, ImageFailure::TooManyPixels) << path;
        EXPECT_EQ(image.width, width) << path;
        EXPECT_EQ(image.height, height) << path;
        EXPECT_TRUE(image.rgba.empty()) << path;
    };
    const std::vector<std::pair<int, int>> over = {{13, 1}, {5, 3}, {3, 5}};
    for (const auto& [w, h] : over) {
        const std::string stem = std::to_string(w) + "x" + std::to_string(h);
        const auto count = static_cast<std::size_t>(w * h);
        ASSERT_TRUE(test::WritePng(dir / (stem + ".png"), w, h, 1, 8, std::vector<std::uint16_t>(count, 9)));
        refused(dir / (stem + ".png"), w, h);
        ASSERT_TRUE(test::WriteJpeg(dir / (stem + ".jpg"), w, h, 1, std::vector<std::uint8_t>(count, 9)));
        refused(dir / (stem + ".jpg"), w, h);
        ASSERT_TRUE(test::WriteBmp24(dir / (stem + ".bmp"), w, h, std::vector<std::uint8_t>(count * 3, 9)));
        refused(dir / (stem + ".bmp"), w, h);
        ASSERT_TRUE(
            test::WriteGif(dir / (stem + ".gif"), w, h, {0, 0, 0, 9, 9, 9}, {std::vector<std::uint8_t>(count, 1)}));
        refused(dir / (stem + ".gif"), w, h);
        ASSERT_TRUE(test::WriteTiff(dir / (stem + ".tif"), {w, h, 1, 8}, {std::vector<double>(count, 0.5)}));
        refused(dir / (stem + ".tif"), w, h);
    }
    ASSERT_TRUE(test::WritePng(dir / "at.png", 4, 3, 1, 8, std::vector<std::uint16_t>(12, 9)));
    ASSERT_TRUE(test::WriteJpeg(dir / "at.jpg", 4, 3, 1, std::vector<std::uint8_t>(12, 9)));
    ASSERT_TRUE(test::WriteBmp24(dir / "at.bmp", 4, 3, std::vector<std::uint8_t>(36, 9)));
    ASSERT_TRUE(test::WriteGif(dir / "at.gif", 4, 3, {0, 0, 0, 9, 9, 9}, {std::vector<std::uint8_t>(12, 1)}));
    ASSERT_TRUE(test::WriteTiff(dir / "at.tif", {4, 3, 1, 8}, {std::vector<double>(12, 0.5)}));
    for (const char* name : {"at.png", "at.jpg", "at.bmp", "at.gif", "at.tif"}) {
        const auto image = DecodeImage(dir / name, budget);
        EXPECT_TRUE(image.Ok()) << name << " " << image.detail;
        EXPECT_EQ(image.rgba.size(), 48u) << name;
    }
}

TEST(ImageDecoder, SizeIsCheckedBeforeAnyPixelIsDecoded) {
    test::TempDir dir;
    // Headers promising one pixel too many, with their pixel data cut off:
    // the size must be refused before the missing pixels are noticed.
    ASSERT_TRUE(test::WritePng(dir / "wide.png", 16385, 1, 1, 8, std::vector<std::uint16_t>(16385, 0)));
    ASSERT_TRUE(test::TruncateFile(dir / "wide.png", 45));  // header chunk and the start of the data
    EXPECT_EQ(DecodeImage(dir / "wide.png", kLimit).failure, ImageFailure::TooLarge);
    ASSERT_TRUE(test::WriteJpeg(dir / "tall.jpg", 1, 16385, 1, std::vector<std::uint8_t>(16385, 0)));
    EXPECT_EQ(DecodeImage(dir / "tall.jpg", kLimit).failure, ImageFailure::TooLarge);
    ASSERT_TRUE(test::WriteBmp24(dir / "wide.bmp", 16385, 1, std::vector<std::uint8_t>(16385 * 3, 0)));
    ASSERT_TRUE(test::TruncateFile(dir / "wide.bmp", 54));
    EXPECT_EQ(DecodeImage(dir / "wide.bmp", kLimit).failure, ImageFailure::TooLarge);
    ASSERT_TRUE(test::WriteGif(dir / "wide.gif", 16385, 1, {0, 0, 0, 9, 9, 9}, {std::vector<std::uint8_t>(16385, 0)}));
    EXPECT_EQ(DecodeImage(dir / "wide.gif", kLimit).failure, ImageFailure::TooLarge);
    ASSERT_TRUE(test::WriteTiff(dir / "wide.tif", {16385, 1, 1, 8}, {std::vector<double>(16385, 0.0)}));
    EXPECT_EQ(DecodeImage(dir / "wide.tif", kLimit).failure, ImageFailure::TooLarge);
    // The limit itself is allowed.
    ASSERT_TRUE(test::WritePng(dir / "edge.png", 16384, 1, 1, 8, std::vector<std::uint16_t>(16384, 7)));
    EXPECT_TRUE(DecodeImage(dir / "edge.png", kLimit).Ok());
}

TEST(ImageDecoder, DamagedFilesFailWithoutCrashing) {
    test::TempDir dir;
    const int w = 64, h = 64;
    std::vector<std::uint8_t> rgb(w * h * 3);
    for (int i = 0; i < w * h * 3; ++i) {
        rgb[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    }
    std::vector<double> samples(rgb.begin(), rgb.end());
    for (double& s : samples) {
        s /= 255.0;
    }
    std::vector<std::uint16_t> wide(rgb.begin(), rgb.end());
    std::vector<std::uint8_t> indices(w * h);
    for (int i = 0; i < w * h; ++i) {
        indices[i] = static_cast<std::uint8_t>(i % 251);
    }
    std::vector<std::uint8_t> palette(256 * 3);
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(test::WritePng(dir / "a.png", w, h, 3, 8, wide));
    ASSERT_TRUE(test::WriteJpeg(dir / "a.jpg", w, h, 3, rgb));
    ASSERT_TRUE(test::WriteTiff(dir / "a.tif", {w, h, 3, 16}, {samples}));
    ASSERT_TRUE(test::WriteGif(dir / "a.gif", w, h, palette, {indices}));
    ASSERT_TRUE(test::WriteBmp24(dir / "a.bmp", w, h, rgb));
    for (const char* name : {"a.png", "a.jpg", "a.tif", "a.gif", "a.bmp"}) {
        const std::filesystem::path original = dir / name;
        const auto size = std::filesystem::file_size(original);
        ASSERT_TRUE(DecodeImage(original, kLimit).Ok()) << name;
        // Cut at several places, from inside the header to just before the end.
        for (std::uint64_t keep : {std::uint64_t{4}, std::uint64_t{20}, size / 3, size / 2, size - 30}) {
            const std::filesystem::path cut = dir / ("cut-" + std::to_string(keep) + "-" + name);
            std::filesystem::copy_file(original, cut);
            ASSERT_TRUE(test::TruncateFile(cut, keep));
            const auto image = DecodeImage(cut, kLimit);
            EXPECT_FALSE(image.Ok()) << name << " cut to " << keep;
            EXPECT_TRUE(image.rgba.empty());
        }
        // Scribble over the middle of the file (past the headers).
        const std::filesystem::path bad = dir / (std::string("bad-") + name);
        std::filesystem::copy_file(original, bad);
        ASSERT_TRUE(test::OverwriteBytes(bad, size / 2, 64, 0xFF));
        const auto image = DecodeImage(bad, kLimit);
        // BMP has no redundancy: scribbled pixels are still pixels. Every
        // other format must notice, and none may crash.
        if (std::string(name) != "a.bmp") {
            EXPECT_FALSE(image.Ok()) << name;
        }
    }
}

TEST(ImageDecoder, AgreesWithImageMagickOnOtherLayouts) {
    if (std::system("convert -version > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    test::TempDir dir;
    // Layouts our own writers do not make: palettes, run-length BMP, packed
    // 16-bit BMP, bilevel and JPEG-in-TIFF. ImageMagick's own reading of
    // each file is the reference, one 8-bit step allowed for rounding.
    const std::string source = "-size 37x21 gradient:red-blue ";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"palette.png", source + "-type Palette PNG8:"},
        {"rle8.bmp", source + "-type Palette -compress RLE BMP3:"},
        {"pal4.bmp", source + "-type Palette -depth 4 -compress None BMP3:"},
        {"rgb565.bmp", source + "-define bmp:subtype=RGB565 BMP:"},
        {"bilevel.tif", "-size 37x21 gradient: -depth 1 -compress None "},
        {"ycc.tif", source + "-compress JPEG -define tiff:tile-geometry=16x16 "},
        {"laced.gif", source + "-interlace GIF "},
    };
    for (const auto& [name, options] : files) {
        const std::filesystem::path image = dir / name;
        const std::filesystem::path raw = dir / (name + ".rgb");
        const std::string make =
            "convert " + options + image.string() + " && convert " + image.string() + " -depth 16 rgb:" + raw.string();
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        const auto decoded = DecodeImage(image, kLimit);
        ASSERT_TRUE(decoded.Ok()) << name << ": " << decoded.detail;
        EXPECT_EQ(decoded.format, StoredPixelFormat::Other) << name;
        ASSERT_EQ(decoded.width, 37);
        ASSERT_EQ(decoded.height, 21);
        std::ifstream in(raw, std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_EQ(bytes.size(), 37u * 21u * 3u * 2u) << name;
        int worst = 0;
        for (std::size_t i = 0; i < 37u * 21u * 3u; ++i) {
            const int reference = (bytes[i * 2] << 8) | bytes[i * 2 + 1];
            worst = std::max(worst, std::abs(reference - decoded.rgba[i / 3 * 4 + i % 3]));
        }
        EXPECT_LE(worst, 257) << name;
    }
}

// "fifo.png" with nobody writing to it: the image is refused at once, by the
// sniffing open and by each container's own open alike.
TEST(ImageDecoder, AFifoIsRefusedWithoutWaiting) {
    test::TempDir dir("image-fifo");
    const std::filesystem::path fifo = dir / "fifo.png";
    test::MakeFifo(fifo);
    platform::DecodedImage image;
    EXPECT_TRUE(test::ReturnsWithoutWriter(fifo, [&] { image = DecodeImage(fifo, kLimit); }));
    EXPECT_EQ(image.failure, ImageFailure::CannotOpen);
    EXPECT_TRUE(image.rgba.empty());

    using Decoder = void (*)(const std::filesystem::path&, const platform::ImageLimits&, platform::DecodedImage&);
    const Decoder decoders[] = {platform::detail::DecodePng, platform::detail::DecodeJpeg, platform::detail::DecodeTiff,
                                platform::detail::DecodeGif, platform::detail::DecodeBmp};
    for (const Decoder decode : decoders) {
        platform::DecodedImage one;
        one.failure = ImageFailure::None;
        EXPECT_TRUE(test::ReturnsWithoutWriter(fifo, [&] { decode(fifo, platform::ImageLimits{kLimit, std::numeric_limits<std::uint64_t>::max()}, one); }));
        EXPECT_EQ(one.failure, ImageFailure::CannotOpen);
    }
}
