// The preview's sampling, tiling and letterboxing, and what the section says
// of a texture by where it came from; values worked out by hand.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ui/workflow/TextureBody.h"
#include "ui/workflow/TexturePreview.h"

namespace ridgeforge {
namespace {

// A map whose pixel (x, y) is ((x + 3 y) mod 256) / 255, levels untouched.
mesh::HeightMap Ramp(int width, int height) {
    mesh::HeightMap map;
    map.width = width;
    map.height = height;
    std::vector<float> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] = static_cast<float>((x + 3 * y) % 256) / 255.0f;
    map.pixels = std::move(pixels);
    return map;
}

std::uint8_t Grey(std::uint32_t pixel) { return static_cast<std::uint8_t>(pixel & 0xFF); }

TEST(TexturePreview, SamplesEveryStepThroughTheLevels) {
    // 4000 / 110 = 36.4: step 37, 108 x 27.
    mesh::HeightMap wide = Ramp(4000, 1000);
    const PreviewImage preview = ImagePreview(wide);
    ASSERT_EQ(preview.width, 108);
    ASSERT_EQ(preview.height, 27);
    // Pixel (2, 1) reads (74, 37): (74 + 111) mod 256 = 185.
    EXPECT_EQ(preview.pixels[1 * 108 + 2], 0xFF000000u + 185u * 0x010101u);
    // Pixel (107, 26) reads (3959, 962): (3959 + 2886) mod 256 = 189.
    EXPECT_EQ(Grey(preview.pixels[26 * 108 + 107]), 189);

    wide.settings.invert = true;
    EXPECT_EQ(Grey(ImagePreview(wide).pixels[1 * 108 + 2]), 255 - 185);

    // 110 exactly is one step; 111 takes two.
    EXPECT_EQ(ImagePreview(Ramp(110, 30)).width, 110);
    EXPECT_EQ(ImagePreview(Ramp(111, 30)).width, 55);
    EXPECT_EQ(ImagePreview(Ramp(111, 30)).height, 15);
    // A 1-pixel-high strip keeps one row.
    EXPECT_EQ(ImagePreview(Ramp(1000, 1)).height, 1);
    // Too few values for the size: no preview.
    mesh::HeightMap broken = Ramp(20, 20);
    broken.pixels = std::vector<float>(broken.pixels.begin(), broken.pixels.begin() + 399);
    EXPECT_TRUE(ImagePreview(broken).Empty());
    EXPECT_TRUE(ImagePreview(mesh::HeightMap{}).Empty());
}

TEST(TexturePreview, TilesTwoByTwoAndMirrors) {
    PreviewImage small{{1, 2, 3, 4, 5, 6}, 3, 2};
    const PreviewImage repeat = TilePreview(small, false);
    ASSERT_EQ(repeat.width, 6);
    ASSERT_EQ(repeat.height, 4);
    EXPECT_EQ(repeat.pixels, (std::vector<std::uint32_t>{1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6,  //
                                                         1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6}));
    const PreviewImage mirror = TilePreview(small, true);
    EXPECT_EQ(mirror.pixels, (std::vector<std::uint32_t>{1, 2, 3, 3, 2, 1, 4, 5, 6, 6, 5, 4,  //
                                                         4, 5, 6, 6, 5, 4, 1, 2, 3, 3, 2, 1}));
    EXPECT_TRUE(TilePreview(PreviewImage{}, true).Empty());

    const PreviewImage tiled = TilePreview(ImagePreview(Ramp(4000, 1000)), false);
    EXPECT_EQ(tiled.width, 216);
    EXPECT_EQ(tiled.height, 54);

    // 216 x 54 in a 108-px square: full width, 27 high, centred.
    EXPECT_EQ(LetterboxRect(wxRect(1, 1, 108, 108), 216, 54), wxRect(1, 41, 108, 27));
    EXPECT_EQ(LetterboxRect(wxRect(0, 0, 100, 100), 25, 50), wxRect(25, 0, 50, 100));
}

TEST(TexturePreview, StatusTellsWhereTheTextureCameFrom) {
    const TextureStatus none = NoTextureStatus();
    EXPECT_EQ(none.title, "No texture");
    EXPECT_EQ(none.subtitle, "Choose one below, or load an image.");
    EXPECT_TRUE(none.key.empty());

    const TextureStatus preset = ProceduralStatus("Bricks", L"Running bond");
    EXPECT_EQ(preset.subtitle, "Procedural preset: Running bond");
    EXPECT_EQ(preset.key, "Bricks|Running bond");
    EXPECT_EQ(preset.targetTab, kProceduralTab);
    const TextureStatus edited = ProceduralStatus("Bricks", L"");
    EXPECT_EQ(edited.subtitle, "Procedural, edited settings");
    EXPECT_EQ(edited.key, "Bricks|");

    const TextureStatus library = ImageStatus("a.png", L"/home/u/Documents/Ruvolta/Textures/Stone/A.png", false);
    EXPECT_EQ(library.subtitle, "Textures > Stone");
    EXPECT_EQ(library.selectName, "Stone");
    EXPECT_EQ(library.targetTab, kTexturesTab);
    EXPECT_EQ(library.key, "/home/u/documents/ruvolta/textures/stone/a.png");

    const TextureStatus own = ImageStatus("b.png", L"/data/pics/b.png", true);
    EXPECT_EQ(own.subtitle, "Your image: /data/pics");
    EXPECT_EQ(own.targetTab, kCustomTab);
    const TextureStatus disk = ImageStatus("b.png", L"/data/pics/b.png", false);
    EXPECT_EQ(disk.subtitle, "Image from disk");
    EXPECT_EQ(disk.targetTab, -1);
    // "textures" must be the folder two levels up, not any folder above.
    EXPECT_EQ(ImageStatus("c.png", L"/textures/x/y/c.png", false).subtitle, "Image from disk");
    EXPECT_TRUE(ImageStatus("d.png", L"", true).key.empty());
}

TEST(TexturePreview, UserListShowsOnlyTheFirstOfNamesEqualIgnoringCase) {
    EXPECT_EQ(DistinctIgnoringCase({"/p/A.png", "/q/b.png", "/p/a.png", "/P/A.PNG", "/q/c.png"}),
              (std::vector<std::string>{"/p/A.png", "/q/b.png", "/q/c.png"}));
}

}  // namespace
}  // namespace ridgeforge
