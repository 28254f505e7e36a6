// The factory library as it ships: the generator writes the committed files
// again byte for byte; every pattern has presets that load, with their
// thumbnails; every preset and library image tiles without a seam and has
// relief to print.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "textures/procedural/TextureRegistry.h"
#include "tests/support/TestSupport.h"
#include "textures/GreyBmp.h"
#include "textures/HeightMapImage.h"
#include "textures/Presets.h"
#include "textures/TextureLibrary.h"
#include "textures/ThumbnailCache.h"
#include "tools/factory/FactoryLibrary.h"

namespace ridgeforge::tools {
namespace {

namespace fs = std::filesystem;

const fs::path kLibrary = RIDGEFORGE_LIBRARY_DIR;

std::vector<LibraryRoot> FactoryRoots() { return {{kLibrary, false}}; }

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<fs::path> FilesUnder(const fs::path& folder) {
    std::set<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), folder));
    return files;
}

// How many lines of the image (rows for the left and right edges, columns
// for the top and bottom) meet their wrapped neighbour with a step larger
// than any step between neighbours inside that line: a seam shows in most
// lines, a seamless tile in almost none.
int SeamLines(const std::vector<float>& h, int width, int height) {
    const auto at = [&](int x, int y) { return h[static_cast<std::size_t>(y) * width + x]; };
    const auto steps = [](float edge, float inside) { return edge > inside * 1.05f + 1e-3f; };
    int seams = 0;
    for (int y = 0; y < height; ++y) {
        float inside = 0.0f;
        for (int x = 0; x + 1 < width; ++x) inside = std::max(inside, std::fabs(at(x + 1, y) - at(x, y)));
        seams += steps(std::fabs(at(width - 1, y) - at(0, y)), inside) ? 1 : 0;
    }
    for (int x = 0; x < width; ++x) {
        float inside = 0.0f;
        for (int y = 0; y + 1 < height; ++y) inside = std::max(inside, std::fabs(at(x, y + 1) - at(x, y)));
        seams += steps(std::fabs(at(x, height - 1) - at(x, 0)), inside) ? 1 : 0;
    }
    return seams;
}

float HeightRange(const std::vector<float>& h) {
    const auto [low, high] = std::minmax_element(h.begin(), h.end());
    return *high - *low;
}

// The document renders a pattern at 32 pixels a millimetre on its 30 mm
// tile; 12.8 keeps the test quick and still resolves every feature of a
// preset meant for printing.
constexpr int kPatternTile = 384;

TEST(FactoryLibrary, GeneratorWritesTheCommittedFilesAgainByteForByte) {
    test::TempDir scratch("factory");
    std::vector<fs::path> written;
    std::string error;
    ASSERT_TRUE(WriteFactoryLibrary(scratch.Path(), written, error)) << error;

    const std::set<fs::path> fresh = FilesUnder(scratch.Path());
    const std::set<fs::path> committed = FilesUnder(kLibrary);
    EXPECT_EQ(fresh, committed);
    EXPECT_EQ(fresh.size(), written.size());
    int differing = 0;
    for (const fs::path& file : fresh) {
        if (ReadBytes(scratch / file.string()) != ReadBytes(kLibrary / file)) {
            ADD_FAILURE() << file << " differs from the generator's output";
            ++differing;
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(FactoryLibrary, EveryPatternHasThreePresetsThatLoadWithTheirThumbnails) {
    for (const std::string& name : mesh::procedural::TextureNames()) {
        const std::vector<PresetEntry> presets = ListPresets(FactoryRoots(), name);
        EXPECT_GE(presets.size(), 3u) << name;
        std::set<std::vector<float>> distinct;
        for (const PresetEntry& preset : presets) {
            EXPECT_EQ(preset.origin, ItemOrigin::Factory) << preset.name;
            auto texture = mesh::procedural::CreateTexture(name);
            std::string problem;
            ASSERT_TRUE(LoadPreset(preset.presetPath, *texture, &problem)) << preset.presetPath << ": " << problem;
            distinct.insert(texture->values);
            std::vector<std::uint8_t> grey;
            std::int32_t width = 0;
            std::int32_t height = 0;
            ASSERT_TRUE(ReadGreyBmp(preset.thumbnailPath, grey, width, height)) << preset.thumbnailPath;
            EXPECT_EQ(width, 120);
            EXPECT_EQ(height, 120);
            EXPECT_EQ(grey, RenderThumbnail(*texture)) << preset.thumbnailPath;
        }
        // Three names for one set of values would offer no choice.
        EXPECT_EQ(distinct.size(), presets.size()) << name;
    }
}

TEST(FactoryLibrary, EveryPresetTilesWithoutASeamAndHasRelief) {
    int checked = 0;
    for (const std::string& name : mesh::procedural::TextureNames()) {
        for (const PresetEntry& preset : ListPresets(FactoryRoots(), name)) {
            auto texture = mesh::procedural::CreateTexture(name);
            ASSERT_TRUE(LoadPreset(preset.presetPath, *texture));
            const std::vector<float> h = texture->RenderHeightMap(kPatternTile, kPatternTile);
            EXPECT_GT(HeightRange(h), 0.3f) << name << " / " << preset.name;
            const int seams = SeamLines(h, kPatternTile, kPatternTile);
            // A pattern that does not repeat is laid once over the part:
            // its edges never meet, and the check must see that they differ.
            if (texture->tileable) {
                EXPECT_LE(seams, 2 * kPatternTile / 50) << name << " / " << preset.name;
            } else {
                EXPECT_GT(seams, kPatternTile / 10) << name << " / " << preset.name;
            }
            ++checked;
        }
    }
    EXPECT_GE(checked, 75);
}

TEST(FactoryLibrary, SixCategoriesOfFourSeamlessSixteenBitImages) {
    const std::vector<std::string> categories = ListTextureFolders(FactoryRoots(), "textures");
    EXPECT_GE(categories.size(), 6u);
    for (const std::string& category : categories) {
        const std::vector<TextureLibraryImage> images = ListLibraryImages(FactoryRoots(), category);
        EXPECT_GE(images.size(), 4u) << category;
        for (const TextureLibraryImage& image : images) {
            const mesh::HeightMapImage loaded = mesh::LoadHeightMapImage(image.path, mesh::SrgbDecoding::Never);
            ASSERT_TRUE(loaded.ok) << image.path << ": " << loaded.error;
            EXPECT_EQ(loaded.width, kFactoryImageSize);
            EXPECT_EQ(loaded.height, kFactoryImageSize);
            // 16-bit grey: byte 24 of a PNG is its bit depth, 25 its colour type.
            const std::string bytes = ReadBytes(image.path);
            ASSERT_GT(bytes.size(), 26u);
            EXPECT_EQ(bytes[24], 16) << image.path;
            EXPECT_EQ(bytes[25], 0) << image.path;
            EXPECT_GT(HeightRange(loaded.heights), 0.9f) << image.path;
            EXPECT_LE(SeamLines(loaded.heights, loaded.width, loaded.height), 2 * loaded.width / 50) << image.path;
        }
    }
}

// The build step that fills the program folder's thumbnail cache: the
// browser then finds each image's thumbnail there and writes none of its
// own, and a stale cache entry from an earlier copy is gone.
TEST(FactoryLibrary, ThumbnailsBesideTheProgramAreTheBrowsersCacheHits) {
    test::TempDir program("program");
    test::TempDir user("user");
    fs::copy(kLibrary / "textures", program / "textures", fs::copy_options::recursive);
    fs::create_directories(program / "thumbnails");
    std::ofstream(program / "thumbnails" / "0000000000000000.bmp") << "stale";
    std::string error;
    ASSERT_EQ(WriteFactoryThumbnails(program.Path(), error), 24) << error;
    EXPECT_FALSE(fs::exists(program / "thumbnails" / "0000000000000000.bmp"));
    EXPECT_EQ(FilesUnder(program / "thumbnails").size(), 24u);

    const std::vector<LibraryRoot> roots = {{program.Path(), false}, {user.Path(), true}};
    for (const std::string& category : ListTextureFolders(roots, "textures")) {
        for (const TextureLibraryImage& image : ListLibraryImages(roots, category)) {
            std::vector<std::uint8_t> pixels;
            std::int32_t size = 0;
            ASSERT_TRUE(GetThumbnail(roots, image.path, pixels, size)) << image.path;
            EXPECT_EQ(size, 120);
            const mesh::HeightMapImage loaded = mesh::LoadHeightMapImage(image.path, mesh::SrgbDecoding::Never);
            EXPECT_EQ(pixels, DownscaleThumbnail(loaded.heights, loaded.width, loaded.height, 120)) << image.path;
        }
    }
    EXPECT_FALSE(fs::exists(user / "thumbnails"));
}

// The seam check itself: a ramp that climbs across the tile meets its own
// start with a step it has nowhere inside; the same ramp folded back down
// (a triangle) does not.
TEST(FactoryLibrary, SeamCheckSeesARampButNotATriangle) {
    const int n = 64;
    std::vector<float> ramp(n * n);
    std::vector<float> triangle(n * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float t = (x + 0.5f) / n;
            ramp[y * n + x] = t;
            triangle[y * n + x] = 1.0f - std::fabs(2.0f * t - 1.0f);
        }
    EXPECT_EQ(SeamLines(ramp, n, n), n);  // every row; columns are constant
    EXPECT_EQ(SeamLines(triangle, n, n), 0);
}

}  // namespace
}  // namespace ridgeforge::tools
