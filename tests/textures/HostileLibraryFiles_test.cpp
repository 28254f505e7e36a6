// The library's readers given a FIFO with no writer, or a gigabyte that
// takes no disk space, where a preset, a list or an index belongs: each
// refuses at once and leaves what it was filling as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/HostileFiles.h"
#include "tests/textures/LibraryTestSupport.h"
#include "textures/DeletedIndex.h"
#include "textures/GreyBmp.h"
#include "textures/Presets.h"
#include "textures/SeamSettings.h"
#include "textures/TextureLibrary.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kGigabyte = std::uint64_t{1} << 30;

// Runs the read against the FIFO and then against the sparse file at the
// same place; both must come back at once.
template <typename Read>
void RefusesBoth(const fs::path& path, Read read) {
    SCOPED_TRACE(path.filename().string());
    test::MakeFifo(path);
    EXPECT_TRUE(test::ReturnsWithoutWriter(path, read)) << "waited on a FIFO";
    fs::remove(path);
    test::MakeSparseFile(path, kGigabyte);
    const auto start = std::chrono::steady_clock::now();
    read();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << "read a gigabyte";
    fs::remove(path);
}

TEST(HostileLibraryFiles, APresetThatIsNoSmallFileIsRefusedAndTheTextureKept) {
    test::TwoRoots lib;
    const auto texture = mesh::procedural::CreateTexture("Noise");
    ASSERT_NE(texture, nullptr);
    texture->ResetToDefaults();
    ASSERT_TRUE(texture->SetValue("scale", 7.0f));
    fs::create_directories(lib.user / "presets");
    RefusesBoth(lib.user / "presets" / "Big.rgpreset", [&] {
        std::string error;
        EXPECT_FALSE(LoadPreset(lib.user / "presets" / "Big.rgpreset", *texture, &error));
        EXPECT_FALSE(error.empty());
    });
    EXPECT_EQ(texture->GetValue("scale"), 7.0f);
}

TEST(HostileLibraryFiles, ListsAndIndexesThatAreNoSmallFilesReadAsEmpty) {
    test::TwoRoots lib;
    fs::create_directories(lib.user / "custom");
    fs::create_directories(lib.user / "images");
    // A real list first, so that empty below means refused, not unread.
    ASSERT_TRUE(SaveCustomImages(lib.roots, {"a.png"}));
    ASSERT_EQ(LoadCustomImages(lib.roots), std::vector<std::string>{"a.png"});
    fs::remove(lib.user / "custom" / "images.json");

    RefusesBoth(lib.user / "custom" / "images.json", [&] { EXPECT_TRUE(LoadCustomImages(lib.roots).empty()); });
    RefusesBoth(lib.user / "custom" / "seams.json", [&] { EXPECT_TRUE(LoadSeamSettings(lib.roots).empty()); });
    RefusesBoth(lib.user / "images" / "_deleted.index",
                [&] { EXPECT_TRUE(ReadDeletedIndex(lib.roots, "images").empty()); });
    RefusesBoth(lib.user / "thumb.bmp", [&] {
        std::vector<std::uint8_t> grey{1};
        std::int32_t width = 3, height = 3;
        EXPECT_FALSE(ReadGreyBmp(lib.user / "thumb.bmp", grey, width, height));
    });
}

}  // namespace
}  // namespace ridgeforge
