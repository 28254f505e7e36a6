#include "textures/Presets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "textures/procedural/TextureRegistry.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"
#include "textures/GreyBmp.h"

using namespace ridgeforge;
using mesh::procedural::CreateTexture;
using mesh::procedural::ProceduralTexture;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<ProceduralTexture> Texture(const char* name) {
    std::unique_ptr<ProceduralTexture> texture = CreateTexture(name);
    if (texture) texture->ResetToDefaults();
    return texture;
}

std::string LoadError(const fs::path& path, ProceduralTexture& texture) {
    std::string error;
    if (LoadPreset(path, texture, &error)) return "loaded";
    return error;
}

}  // namespace

TEST(Presets, NamesAndCategories) {
    EXPECT_EQ(PresetBaseName("Dark oak.RGPreset"), "Dark oak");
    EXPECT_EQ(PresetBaseName("a/b.rgpreset "), "a_b");
    EXPECT_EQ(PresetBaseName("x..rgpreset"), "x");
    EXPECT_EQ(PresetBaseName(".rgpreset"), ".rgpreset");
    EXPECT_EQ(PresetBaseName("?.rgpreset"), "_");  // the first pass made "_" a character of its own
    EXPECT_EQ(PresetCategory("Wood Rings"), "procedural\\Wood Rings");
    EXPECT_EQ(PresetCategory("A/B"), "procedural\\A_B");
}

TEST(Presets, SavedPresetRestoresEveryValueAndListsWithItsThumbnail) {
    test::TempDir dir;
    const std::vector<LibraryRoot> roots{{dir / "program", false}, {dir / "user", true}};
    auto wood = Texture("Wood");
    ASSERT_TRUE(wood);
    const auto& table = wood->Parameters();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& d = table[i];
        wood->SetValue(d.key, d.kind == mesh::procedural::ParameterKind::Float ? d.minimum + (d.maximum - d.minimum) / 3
                                                                               : d.maximum);
    }
    const std::vector<float> saved = wood->values;

    fs::path path;
    std::string error;
    ASSERT_TRUE(SavePreset(roots, *wood, "Dark: oak", &path, &error)) << error;
    EXPECT_EQ(path, dir / "user/procedural/Wood/Dark_ oak.rgpreset");
    const fs::path thumbnail = dir / "user/procedural/Wood/Dark_ oak.bmp";
    EXPECT_EQ(fs::file_size(thumbnail), 43254u);

    std::vector<std::uint8_t> grey;
    std::int32_t width = 0;
    std::int32_t height = 0;
    ASSERT_TRUE(ReadGreyBmp(thumbnail, grey, width, height));
    EXPECT_EQ(width, 120);
    EXPECT_EQ(height, 120);
    // Each byte is the rendered height clamped to 0..1, times 255, rounded.
    const std::vector<float> heights = wood->RenderHeightMap(120, 120);
    ASSERT_EQ(grey.size(), heights.size());
    int between = 0;
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const double h = std::clamp(static_cast<double>(heights[i]), 0.0, 1.0);
        ASSERT_EQ(grey[i], static_cast<std::uint8_t>(std::floor(h * 255.0 + 0.5))) << i << ": " << heights[i];
        between += grey[i] > 0 && grey[i] < 255;
    }
    EXPECT_GT(between, 1000);  // enough grey levels for the rounding to matter

    auto loaded = Texture("Wood");
    ASSERT_TRUE(LoadPreset(path, *loaded, &error)) << error;
    EXPECT_EQ(loaded->values, saved);

    // Saving again under another case replaces the file rather than adding a twin.
    ASSERT_TRUE(SavePreset(roots, *wood, "DARK: OAK", &path, &error)) << error;
    EXPECT_EQ(path, dir / "user/procedural/Wood/Dark_ oak.rgpreset");

    test::WriteTextFile(dir / "program/procedural/Wood/Beech.rgpreset", "{}");
    test::WriteTextFile(dir / "program/procedural/Wood/Ash.rgpreset", "{}");
    test::WriteTextFile(dir / "program/procedural/Wood/Ash.bmp", "");
    const std::vector<PresetEntry> presets = ListPresets(roots, "Wood");
    ASSERT_EQ(presets.size(), 3u);
    EXPECT_EQ(presets[0].name, "Ash");
    EXPECT_EQ(presets[0].origin, ItemOrigin::Factory);
    EXPECT_EQ(presets[0].thumbnailPath, dir / "program/procedural/Wood/Ash.bmp");
    EXPECT_FALSE(presets[0].userCopy);
    EXPECT_TRUE(presets[1].thumbnailPath.empty());
    EXPECT_EQ(presets[2].name, "Dark_ oak");
    EXPECT_EQ(presets[2].origin, ItemOrigin::User);
    EXPECT_TRUE(presets[2].userCopy);
    EXPECT_EQ(presets[2].thumbnailPath, thumbnail);

    // A thumbnail that cannot be written is reported, and the preset stays saved.
    fs::create_directories(dir / "user/procedural/Wood/Blocked.bmp");
    EXPECT_FALSE(SavePreset(roots, *wood, "Blocked", nullptr, &error));
    EXPECT_EQ(error, "saved, but the thumbnail could not be written: Is a directory");
    EXPECT_TRUE(fs::is_regular_file(dir / "user/procedural/Wood/Blocked.rgpreset"));

    // No user root: nowhere to save, and nothing is written.
    EXPECT_FALSE(SavePreset({{dir / "program", false}}, *wood, "x", nullptr, &error));
    EXPECT_EQ(error, "there is nowhere to save presets");
}

TEST(Presets, LoadChecksFormatVersionAndTexture) {
    test::TempDir dir;
    auto noise = Texture("Noise");
    ASSERT_TRUE(noise);
    noise->SetValue("scale", 40.0f);
    const std::vector<float> before = noise->values;

    test::WriteTextFile(dir / "wood.rgpreset",
                        R"({"format": "Ridgeforge preset", "version": 2, "texture": "Wood", "parameters": {}})");
    EXPECT_EQ(LoadError(dir / "wood.rgpreset", *noise), "a preset for Wood, not Noise");
    test::WriteTextFile(dir / "none.rgpreset", R"({"format": "Ridgeforge preset"})");
    EXPECT_EQ(LoadError(dir / "none.rgpreset", *noise), "a preset for no texture, not Noise");
    test::WriteTextFile(dir / "v3.rgpreset", R"({"format": "Ridgeforge preset", "version": 3, "texture": "Noise"})");
    EXPECT_EQ(LoadError(dir / "v3.rgpreset", *noise), "a preset from a newer Ruvolta");
    test::WriteTextFile(dir / "huge.rgpreset",
                        R"({"format": "Ridgeforge preset", "version": 18446744073709551615, "texture": "Noise"})");
    EXPECT_EQ(LoadError(dir / "huge.rgpreset", *noise), "a preset from a newer Ruvolta");
    test::WriteTextFile(dir / "other.rgpreset", R"({"format": "Something else", "texture": "Noise"})");
    EXPECT_EQ(LoadError(dir / "other.rgpreset", *noise), "not a Ruvolta preset");
    test::WriteTextFile(dir / "array.rgpreset", "[1, 2]");
    EXPECT_EQ(LoadError(dir / "array.rgpreset", *noise), "not a Ruvolta preset");
    EXPECT_EQ(LoadError(dir / "missing.rgpreset", *noise), "could not open the preset");
    EXPECT_EQ(noise->values, before);  // every refusal left the values alone

    // A fractional version counts as none; missing parameters leave the defaults;
    // a toggle stored as a number is not a toggle.
    test::WriteTextFile(dir / "v25.rgpreset", R"({"format": "Ridgeforge preset", "version": 2.5, "texture": "Noise",
                                        "parameters": {"invert": 1, "detail": 5}})");
    EXPECT_EQ(LoadError(dir / "v25.rgpreset", *noise), "loaded");
    EXPECT_EQ(noise->GetValue("invert"), 0.0f);
    EXPECT_EQ(noise->GetValue("detail"), 5.0f);
    EXPECT_EQ(noise->GetValue("scale"), 6.0f);
    test::WriteTextFile(dir / "bare.rgpreset", R"({"format": "Ridgeforge preset", "texture": "Noise"})");
    noise->SetValue("detail", 1.0f);
    EXPECT_EQ(LoadError(dir / "bare.rgpreset", *noise), "loaded");
    EXPECT_EQ(noise->GetValue("detail"), 3.0f);
}

TEST(Presets, OlderTextFormIsStillRead) {
    test::TempDir dir;
    auto noise = Texture("Noise");
    ASSERT_TRUE(noise);
    test::WriteTextFile(dir / "old.rgpreset",
                        "Ridgeforge preset 1\r\nnote=x\r\ntexture=Noise\r\nscale=12\r\ninvert=1\r\n");
    EXPECT_EQ(LoadError(dir / "old.rgpreset", *noise), "loaded");
    EXPECT_EQ(noise->GetValue("scale"), 12.0f);
    EXPECT_EQ(noise->GetValue("invert"), 1.0f);

    test::WriteTextFile(dir / "wood.rgpreset", "Ridgeforge preset 1\ntexture=Wood\nscale=3\n");
    EXPECT_EQ(LoadError(dir / "wood.rgpreset", *noise), "a preset for Wood, not Noise");
    test::WriteTextFile(dir / "untitled.rgpreset", "Ridgeforge preset 1\nscale=3\n");
    EXPECT_EQ(LoadError(dir / "untitled.rgpreset", *noise), "a preset for no texture, not Noise");
    test::WriteTextFile(dir / "v2.rgpreset", "Ridgeforge preset 2\ntexture=Noise\n");
    EXPECT_EQ(LoadError(dir / "v2.rgpreset", *noise), "not a Ruvolta preset");
    EXPECT_EQ(noise->GetValue("scale"), 12.0f);
}

TEST(GreyBmp, WritesPaddedRowsAndReadsBothOrientations) {
    test::TempDir dir;
    const std::vector<std::uint8_t> grey{10, 20, 30, 40, 50, 60, 70, 80, 90};
    ASSERT_TRUE(WriteGreyBmp(dir / "3.bmp", grey, 3));
    EXPECT_EQ(fs::file_size(dir / "3.bmp"), 54u + 3u * 12u);
    EXPECT_EQ(GreyBmpRowSize(3), 12);
    EXPECT_EQ(GreyBmpRowSize(4), 12);
    EXPECT_EQ(GreyBmpRowSize(120), 360);
    EXPECT_FALSE(WriteGreyBmp(dir / "bad.bmp", grey, 2));
    EXPECT_FALSE(WriteGreyBmp(dir / "bad.bmp", {}, 0));

    std::vector<std::uint8_t> read;
    std::int32_t width = 0;
    std::int32_t height = 0;
    ASSERT_TRUE(ReadGreyBmp(dir / "3.bmp", read, width, height));
    EXPECT_EQ(read, grey);

    // Colour BMPs give their green channel, top row first, stored either way up.
    const std::vector<std::uint8_t> rgb{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (const bool topDown : {true, false}) {
        ASSERT_TRUE(test::WriteBmp24(dir / "colour.bmp", 2, 2, rgb, topDown));
        ASSERT_TRUE(ReadGreyBmp(dir / "colour.bmp", read, width, height));
        EXPECT_EQ(read, (std::vector<std::uint8_t>{2, 5, 8, 11}));
        EXPECT_EQ(height, 2);
    }
}

TEST(GreyBmp, DamagedOrForeignFilesAreRefused) {
    test::TempDir dir;
    const std::vector<std::uint8_t> grey(16 * 16, 128);
    const fs::path good = dir / "good.bmp";
    ASSERT_TRUE(WriteGreyBmp(good, grey, 16));
    std::vector<std::uint8_t> read;
    std::int32_t width = 0;
    std::int32_t height = 0;

    struct Damage {
        std::uint64_t offset;
        std::vector<std::uint8_t> bytes;
    };
    const Damage damages[] = {
        {10, {0xF0, 0xFF, 0xFF, 0xFF}},  // data offset that wraps a 32-bit sum
        {10, {0x00, 0x00, 0x00, 0x00}},  // pixels inside the header
        {22, {0x01, 0x10, 0x00, 0x00}},  // height 4097
        {22, {0xFF, 0xEF, 0xFF, 0xFF}},  // height -4097
        {22, {0x00, 0x00, 0x00, 0x80}},  // height -2^31, whose magnitude does not fit 32 bits
        {22, {0x00, 0x00, 0x00, 0x00}},  // height 0
        {18, {0x01, 0x10, 0x00, 0x00}},  // width 4097
        {28, {32, 0}},                   // 32 bits per pixel
        {30, {1, 0, 0, 0}},              // compressed
        {0, {'X'}},                      // not a BMP
    };
    for (const Damage& damage : damages) {
        const fs::path bad = dir / "bad.bmp";
        fs::copy_file(good, bad, fs::copy_options::overwrite_existing);
        {
            std::fstream file(bad, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(static_cast<std::streamoff>(damage.offset));
            file.write(reinterpret_cast<const char*>(damage.bytes.data()),
                       static_cast<std::streamsize>(damage.bytes.size()));
        }
        EXPECT_FALSE(ReadGreyBmp(bad, read, width, height)) << "damage at " << damage.offset;
        EXPECT_TRUE(read.empty());
    }

    // One byte short of the last row, or a header alone.
    fs::copy_file(good, dir / "short.bmp");
    ASSERT_TRUE(test::TruncateFile(dir / "short.bmp", fs::file_size(good) - 1));
    EXPECT_FALSE(ReadGreyBmp(dir / "short.bmp", read, width, height));
    ASSERT_TRUE(test::TruncateFile(dir / "short.bmp", 53));
    EXPECT_FALSE(ReadGreyBmp(dir / "short.bmp", read, width, height));
    EXPECT_FALSE(ReadGreyBmp(dir / "missing.bmp", read, width, height));
}
