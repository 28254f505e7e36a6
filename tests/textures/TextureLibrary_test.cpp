#include "textures/TextureLibrary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/Json.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"
#include "tests/textures/LibraryTestSupport.h"
#include "textures/DeletedIndex.h"
#include "textures/GreyBmp.h"
#include "textures/LibraryCategory.h"
#include "textures/SeamSettings.h"
#include "textures/ThumbnailCache.h"

using namespace ridgeforge;
namespace fs = std::filesystem;

namespace {

// FNV-1a over the bytes exactly as described: each UTF-16 unit as eight bytes.
std::uint64_t ReferenceHash(const std::u16string& lowerPath, std::uint64_t size, std::uint64_t time) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    auto byte = [&](std::uint8_t b) { hash = (hash ^ b) * 0x100000001b3ULL; };
    for (const char16_t unit : lowerPath) {
        byte(static_cast<std::uint8_t>(unit & 0xFF));
        byte(static_cast<std::uint8_t>(unit >> 8));
        for (int i = 0; i < 6; ++i) byte(0);
    }
    for (int i = 0; i < 8; ++i) byte(static_cast<std::uint8_t>(size >> (8 * i)));
    for (int i = 0; i < 8; ++i) byte(static_cast<std::uint8_t>(time >> (8 * i)));
    return hash;
}

std::string HexName(std::uint64_t hash) {
    char text[32];
    std::snprintf(text, sizeof text, "%016llx.bmp", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

TEST(TextureLibrary, ListsCategoryImagesMergedAndSorted) {
    test::TwoRoots lib;
    test::WriteTextFile(lib.factory / "textures/Bark/Bark.png", "f");
    test::WriteTextFile(lib.factory / "textures/Bark/ash.jpg", "f");
    test::WriteTextFile(lib.user / "textures/Bark/bark.tif", "u");
    test::WriteTextFile(lib.user / "textures/Bark/ASH.JPG", "u");
    test::WriteTextFile(lib.factory / "textures/Bark/Hidden.png", "f");
    test::WriteTextFile(lib.factory / "textures/Bark/notes.txt", "f");
    ASSERT_TRUE(WriteDeletedIndex(lib.roots, "textures\\Bark", {"hidden.png"}));

    const std::vector<TextureLibraryImage> images = ListLibraryImages(lib.roots, "Bark");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].name, "ASH");
    EXPECT_EQ(images[0].path, lib.user / "textures/Bark/ASH.JPG");
    EXPECT_EQ(images[0].origin, ItemOrigin::Both);
    EXPECT_TRUE(EqualsIgnoringCase(images[1].name, "bark"));
    EXPECT_TRUE(EqualsIgnoringCase(images[2].name, "bark"));
    EXPECT_NE(images[1].path, images[2].path);
    EXPECT_TRUE(ListLibraryImages(lib.roots, "Empty").empty());
    EXPECT_TRUE(LessIgnoringCase("Bar", "bark"));
}

TEST(TextureLibrary, OnePassLookupAgreesWithSingleLookups) {
    test::TwoRoots lib;
    test::WriteTextFile(lib.factory / "textures/Stone/Rock.png", "f");
    test::WriteTextFile(lib.factory / "textures/Stone/Slate.png", "f");
    test::WriteTextFile(lib.factory / "textures/Stone/Gone.png", "f");
    test::WriteTextFile(lib.user / "textures/STONE/Rock.png", "u");
    test::WriteTextFile(lib.user / "textures/STONE/rock.png", "u");
    test::WriteTextFile(lib.user / "textures/STONE/Mine.png", "u");
    fs::create_directories(lib.user / "textures/STONE/Slate.png");  // a folder, not an item
    ASSERT_TRUE(WriteDeletedIndex(lib.roots, "textures\\Stone", {"gone.png"}));

    const std::vector<std::vector<LibraryRoot>> setups{
        lib.roots, {{lib.factory, false}, {lib.factory, true}}, {{lib.factory, false}}, {}};
    for (const std::vector<LibraryRoot>& roots : setups) {
        const LibraryCategory lookup(roots, "textures\\stone");
        for (const char* name : {"Rock.png", "ROCK.PNG", "rock.png", "Slate.png", "Gone.png", "Mine.png", "missing.png",
                                 "", "_deleted.index"}) {
            EXPECT_EQ(lookup.Resolve(name), ResolveLibraryItem(roots, "textures\\stone", name)) << name;
            EXPECT_EQ(lookup.Origin(name), LibraryItemOrigin(roots, "textures\\stone", name)) << name;
        }
    }
    const std::vector<TextureLibraryImage> images = ListLibraryImages(lib.roots, "Stone");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].name, "Mine");
    EXPECT_EQ(images[1].path, lib.user / "textures/STONE/rock.png");
    EXPECT_EQ(images[1].origin, ItemOrigin::Both);
    EXPECT_EQ(images[2].path, lib.factory / "textures/Stone/Slate.png");
    EXPECT_EQ(images[2].origin, ItemOrigin::Factory);
}

TEST(TextureLibrary, CustomImagesKeepOneEntryPerPath) {
    test::TwoRoots lib;
    EXPECT_TRUE(LoadCustomImages(lib.roots).empty());
    ASSERT_TRUE(SaveCustomImages(lib.roots, {"/tex/other.png", "/tex/rock.PNG"}));
    ASSERT_TRUE(AddCustomImage(lib.roots, "/Tex/Rock.png"));
    EXPECT_EQ(LoadCustomImages(lib.roots), (std::vector<std::string>{"/Tex/Rock.png", "/tex/other.png"}));
    EXPECT_TRUE(fs::exists(lib.user / "custom/images.json"));

    // Entries of the wrong kind and empty ones are skipped.
    test::WriteTextFile(lib.user / "custom/images.json", R"({"images": ["/a.png", 5, "", null, "/b.png"]})");
    EXPECT_EQ(LoadCustomImages(lib.roots), (std::vector<std::string>{"/a.png", "/b.png"}));
    for (const char* broken : {"[\"/a.png\"]", "{\"images\": \"/a.png\"}", "{\"images\": [", ""}) {
        test::WriteTextFile(lib.user / "custom/images.json", broken);
        EXPECT_TRUE(LoadCustomImages(lib.roots).empty()) << broken;
    }

    // A factory list is read when the user has none, but writes go to the user's folder.
    fs::remove(lib.user / "custom/images.json");
    test::WriteTextFile(lib.factory / "custom/images.json", R"({"images": ["/shipped.png"]})");
    ASSERT_TRUE(AddCustomImage(lib.roots, "/mine.png"));
    EXPECT_EQ(LoadCustomImages(lib.roots), (std::vector<std::string>{"/mine.png", "/shipped.png"}));
    EXPECT_FALSE(SaveCustomImages({{lib.factory, false}}, {"/x.png"}));
}

TEST(TextureLibrary, SeamSettingsAreRememberedPerImage) {
    test::TwoRoots lib;
    const SeamSettings none = GetSeamSettingsFor(lib.roots, "/Tex/Rock.png");
    EXPECT_EQ(none.method, "Unchanged");
    EXPECT_EQ(none.parameters, "");

    ASSERT_TRUE(StoreSeamSettings(lib.roots, "/Tex/Rock.png", {"Cross-fade", "overlap=0.2\n"}));
    ASSERT_TRUE(StoreSeamSettings(lib.roots, "/Tex/Sand.png", {"Mirror", ""}));
    ASSERT_TRUE(StoreSeamSettings(lib.roots, "/tex/rock.PNG", {"Cross-fade", "overlap=0.3\n"}));
    std::vector<SeamEntry> entries = LoadSeamSettings(lib.roots);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].image, "/tex/rock.PNG");
    EXPECT_EQ(entries[0].parameters, "overlap=0.3\n");
    EXPECT_EQ(entries[1].image, "/Tex/Sand.png");

    const SeamSettings found = GetSeamSettingsFor(lib.roots, "/TEX/ROCK.png");
    EXPECT_EQ(found.method, "Cross-fade");
    EXPECT_EQ(found.parameters, "overlap=0.3\n");

    // "Unchanged" forgets the image, and the file is rewritten without it.
    ASSERT_TRUE(StoreSeamSettings(lib.roots, "/Tex/Rock.png", {"Unchanged", "x=1\n"}));
    entries = LoadSeamSettings(lib.roots);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].image, "/Tex/Sand.png");
    EXPECT_FALSE(StoreSeamSettings(lib.roots, "", {"Mirror", ""}));

    // Unknown methods read as "Unchanged"; parameters of the wrong kind as empty; records without an image are dropped.
    test::WriteTextFile(lib.user / "custom/seams.json",
                        R"({"images": [{"image": "/a.png", "method": "Swirl", "parameters": "k=1"},
                             {"image": "/b.png", "method": "Mirror", "parameters": {"k": 1}},
                             {"method": "Mirror"}, 7]})");
    entries = LoadSeamSettings(lib.roots);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].method, "Unchanged");
    EXPECT_EQ(entries[1].method, "Mirror");
    EXPECT_EQ(entries[1].parameters, "");
}

TEST(ThumbnailCache, NameHashesPathSizeAndTime) {
    const std::u16string lower = u"/tex/rock\u00e9.png";
    EXPECT_EQ(ThumbnailCacheName("/Tex/ROCK\u00e9.png", 1234, 5678), HexName(ReferenceHash(lower, 1234, 5678)));
    EXPECT_EQ(ThumbnailCacheName("", std::nullopt, std::nullopt),
              HexName(ReferenceHash(u"", 0xFFFFFFFFFFFFFFFFULL, 0x8000000000000000ULL)));
    // A character beyond the basic plane is two UTF-16 units.
    EXPECT_EQ(ThumbnailCacheName("\xF0\x9F\x98\x80", 1, 2), HexName(ReferenceHash(u"\U0001F600", 1, 2)));
    EXPECT_NE(ThumbnailCacheName("/a.png", 1, 2), ThumbnailCacheName("/a.png", 1, 3));
    EXPECT_EQ(ThumbnailCacheName("/a.png", 1, 2).size(), 20u);
}

TEST(ThumbnailCache, DownscaleAveragesTheCentreSquare) {
    // 4000 x 3000: the centre 3000 x 3000 in blocks of 25 x 25.
    const std::int32_t w = 4000;
    const std::int32_t h = 3000;
    std::vector<float> big(static_cast<std::size_t>(w) * h);
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            // Outside the centre square everything is white; inside, a checkerboard of 25-pixel blocks.
            const bool outside = x < 500 || x >= 3500;
            big[static_cast<std::size_t>(y) * w + x] = outside ? 1.0f : ((x / 25 + y / 25) % 2 ? 0.8f : 0.2f);
        }
    }
    const std::vector<std::uint8_t> thumb = DownscaleThumbnail(big, w, h, 120);
    ASSERT_EQ(thumb.size(), 120u * 120u);
    EXPECT_EQ(thumb[0], 51);   // 0.2 x 255 + 0.5
    EXPECT_EQ(thumb[1], 204);  // the next block
    EXPECT_EQ(thumb[120 + 1], 51);
    EXPECT_EQ(thumb[119 * 120 + 119], 51);

    // 50 x 80: rows 15 to 64, one source pixel per output pixel.
    std::vector<float> tall(50 * 80);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 50; ++x) tall[y * 50 + x] = static_cast<float>(y) / 100.0f;
    }
    const std::vector<std::uint8_t> small = DownscaleThumbnail(tall, 50, 80, 50);
    ASSERT_EQ(small.size(), 2500u);
    EXPECT_EQ(small[0], static_cast<std::uint8_t>(0.15 * 255 + 0.5));
    EXPECT_EQ(small[49 * 50], static_cast<std::uint8_t>(0.64 * 255 + 0.5));

    // Out-of-range values are clamped; bad sizes give nothing.
    EXPECT_EQ(DownscaleThumbnail({-1.0f, 2.0f, 0.5f, 0.5f}, 2, 2, 2), (std::vector<std::uint8_t>{0, 255, 128, 128}));
    EXPECT_TRUE(DownscaleThumbnail({0.5f}, 1, 1, 0).empty());
    EXPECT_TRUE(DownscaleThumbnail({0.5f}, 2, 2, 1).empty());
}

TEST(ThumbnailCache, CachesAndRemakesThumbnails) {
    test::TwoRoots lib;
    const fs::path image = lib.dir / "pictures/ramp.png";
    fs::create_directories(image.parent_path());
    std::vector<std::uint16_t> samples(200 * 160);
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 200; ++x) samples[y * 200 + x] = static_cast<std::uint16_t>(x);
    }
    ASSERT_TRUE(test::WritePng(image, 200, 160, 1, 8, samples));

    std::vector<std::uint8_t> pixels;
    std::int32_t size = 0;
    ASSERT_TRUE(GetThumbnail(lib.roots, image, pixels, size));
    EXPECT_EQ(size, 120);
    ASSERT_EQ(pixels.size(), 120u * 120u);
    const fs::path cached = lib.user / "thumbnails" / ThumbnailCachePath(image);
    ASSERT_TRUE(fs::exists(cached));

    // A hit is served from the cache file, whatever it holds.
    std::vector<std::uint8_t> marked(120 * 120, 7);
    ASSERT_TRUE(WriteGreyBmp(cached, marked, 120));
    ASSERT_TRUE(GetThumbnail(lib.roots, image, pixels, size));
    EXPECT_EQ(pixels, marked);

    // A damaged cache file is refused and made again.
    std::vector<std::uint8_t> fresh;
    ASSERT_TRUE(test::OverwriteBytes(cached, 10, 4, 0xFF));
    ASSERT_TRUE(GetThumbnail(lib.roots, image, fresh, size));
    EXPECT_NE(fresh, marked);
    ASSERT_TRUE(GetThumbnail(lib.roots, image, pixels, size));
    EXPECT_EQ(pixels, fresh);

    // Touching the image gives it a new cache file; the old one stays.
    fs::last_write_time(image, fs::last_write_time(image) + std::chrono::seconds(3));
    ASSERT_TRUE(GetThumbnail(lib.roots, image, pixels, size));
    EXPECT_EQ(std::distance(fs::directory_iterator(lib.user / "thumbnails"), fs::directory_iterator()), 2);

    // Small images keep their shorter side; missing and unreadable files give nothing.
    ASSERT_TRUE(test::WritePng(lib.dir / "pictures/small.png", 30, 20, 1, 8, std::vector<std::uint16_t>(600, 9)));
    ASSERT_TRUE(GetThumbnail(lib.roots, lib.dir / "pictures/small.png", pixels, size));
    EXPECT_EQ(size, 20);
    EXPECT_FALSE(GetThumbnail(lib.roots, lib.dir / "pictures/missing.png", pixels, size));
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(pixels.empty());
    test::WriteTextFile(lib.dir / "pictures/fake.png", "not an image");
    EXPECT_FALSE(GetThumbnail(lib.roots, lib.dir / "pictures/fake.png", pixels, size));
    EXPECT_FALSE(GetThumbnail(lib.roots, lib.dir / "pictures", pixels, size));
}
