// Every file the program saves, saved the hard way: with a link planted where
// a temporary file might go, over a private or read-only file, beside a
// leftover of a killed save, under a long name, and on a full disk. The old
// file must stay whole or be replaced whole, nothing may be left beside it,
// and no file but the target may change.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "document/ProjectFile.h"
#include "mesh/StlExport.h"
#include "testing/Shapes.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TestSupport.h"
#include "textures/DeletedIndex.h"
#include "textures/GreyBmp.h"
#include "textures/Presets.h"
#include "textures/SeamSettings.h"
#include "textures/TextureLibrary.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;

// One writer: the file it writes and a save of it, giving the failure
// message ("failed" for writers that only say whether they failed), empty
// on success. Each save writes different bytes from the one before.
struct Writer {
    std::string name;
    fs::path target;
    std::function<std::string()> save;
};

std::vector<Writer> Writers(const fs::path& root) {
    const std::vector<LibraryRoot> roots{{root / "program", false}, {root / "user", true}};
    auto counter = std::make_shared<int>(0);
    auto stl = [root, counter](const std::string& file, mesh::StlEncoding encoding) {
        return [root, counter, file, encoding]() -> std::string {
            mesh::StlExportOptions options;
            options.format = encoding;
            const float side = static_cast<float>(10 + ++*counter);
            const mesh::StlExportResult r = mesh::ExportStl(root / file, test::MakeBox({0, 0, 0}, {side, 5, 5}), options);
            return r.ok ? std::string() : r.error;
        };
    };
    auto preset = [roots, counter]() -> std::string {
        auto wood = mesh::procedural::CreateTexture("Wood");
        wood->ResetToDefaults();
        const auto& d = wood->Parameters().front();
        wood->SetValue(d.key, d.minimum + (d.maximum - d.minimum) * static_cast<float>(++*counter % 7) / 7.0f);
        std::string error;
        return SavePreset(roots, *wood, "Oak", nullptr, &error) ? std::string() : error;
    };
    auto failed = [](bool ok) { return ok ? std::string() : std::string("failed"); };
    return {
        {"binary STL", root / "part.stl", stl("part.stl", mesh::StlEncoding::Binary)},
        {"ASCII STL", root / "text.stl", stl("text.stl", mesh::StlEncoding::Ascii)},
        {"project", root / "p.rgproj",
         [root, counter] {
             ProjectFileData data;
             data.testShape = "cube";
             data.occupancyCells = 64 + ++*counter;
             std::string error;
             return WriteProjectJson(root / "p.rgproj", data, error) ? std::string() : error;
         }},
        {"preset", root / "user/procedural/Wood/Oak.rgpreset", preset},
        {"seams", root / "user/custom/seams.json",
         [roots, counter, failed] {
             return failed(StoreSeamSettings(roots, "/Tex/Rock.png", {"Mirror", std::to_string(++*counter)}));
         }},
        {"custom images", root / "user/custom/images.json",
         [roots, counter, failed] {
             return failed(SaveCustomImages(roots, {"/tex/" + std::to_string(++*counter) + ".png"}));
         }},
        {"deleted index", root / "user/Stone/_deleted.index",
         [roots, counter, failed] {
             return failed(WriteDeletedIndex(roots, "Stone", {std::to_string(++*counter) + ".png"}));
         }},
        {"thumbnail", root / "thumb.bmp",
         [root, counter, failed] {
             return failed(WriteGreyBmp(root / "thumb.bmp", std::vector<std::uint8_t>(16, static_cast<std::uint8_t>(++*counter)), 4));
         }},
    };
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0u;
}

fs::path WithSuffix(fs::path path, const std::string& suffix) {
    path += suffix;
    return path;
}

TEST(SavedFiles, ALinkAtTheOldTemporaryNameIsNeitherFollowedNorKept) {
    test::TempDir dir("saved-link");
    for (const Writer& writer : Writers(dir.Path())) {
        ASSERT_EQ(writer.save(), "") << writer.name;
        const fs::path victim = writer.target.parent_path() / "victim.txt";
        test::WriteTextFile(victim, "DATA");
        fs::create_symlink("victim.txt", WithSuffix(writer.target, ".tmp"));
        EXPECT_EQ(writer.save(), "") << writer.name;
        EXPECT_EQ(test::ReadTextFile(victim), "DATA") << writer.name;
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(writer.target))) << writer.name;
        fs::remove(victim);
        fs::remove(WithSuffix(writer.target, ".tmp"));
    }
}

TEST(SavedFiles, PermissionsAreKeptAndReadOnlyFilesRefused) {
    test::TempDir dir("saved-mode");
    for (const Writer& writer : Writers(dir.Path())) {
        ASSERT_EQ(writer.save(), "") << writer.name;
        ::chmod(writer.target.c_str(), 0600);
        EXPECT_EQ(writer.save(), "") << writer.name;
        EXPECT_EQ(ModeOf(writer.target), 0600u) << writer.name;

        ::chmod(writer.target.c_str(), 0444);
        const std::string before = Bytes(writer.target);
        const std::string message = writer.save();
        EXPECT_NE(message, "") << writer.name;
        if (message != "failed") {
            EXPECT_NE(message.find("read-only"), std::string::npos) << writer.name << ": " << message;
        }
        EXPECT_EQ(Bytes(writer.target), before) << writer.name;
        EXPECT_EQ(ModeOf(writer.target), 0444u) << writer.name;
        ::chmod(writer.target.c_str(), 0644);
    }
}

TEST(SavedFiles, LeftoversOfAKilledSaveGoWithTheNextSave) {
    test::TempDir dir("saved-stale");
    for (const Writer& writer : Writers(dir.Path())) {
        ASSERT_EQ(writer.save(), "") << writer.name;
        const fs::path leftover = WithSuffix(writer.target, ".0badcafe.part");
        test::WriteTextFile(leftover, std::string(5000, 'x'));
        EXPECT_EQ(writer.save(), "") << writer.name;
        EXPECT_FALSE(fs::exists(leftover)) << writer.name;
    }
}

TEST(SavedFiles, LongLegalNamesAreSaved) {
    test::TempDir dir("saved-long");
    const std::string stem(246, 'n');
    mesh::StlExportOptions options;
    const mesh::StlExportResult r = mesh::ExportStl(dir / (stem + ".stl"), test::MakeBox({0, 0, 0}, {1, 2, 3}), options);
    EXPECT_TRUE(r.ok) << r.error;
    ProjectFileData data;
    data.testShape = "cube";
    std::string error;
    EXPECT_TRUE(WriteProjectJson(dir / (stem + ".rgproj"), data, error)) << error;
    EXPECT_TRUE(WriteGreyBmp(dir / (stem + ".bmp"), std::vector<std::uint8_t>(4, 9), 2));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{stem + ".bmp", stem + ".rgproj", stem + ".stl"}));
}

TEST(SavedFiles, AFullDiskKeepsEveryOldFileAndLeavesNothingBehind) {
    test::TempDir dir("saved-full");
    const test::SmallDisk disk(dir / "disk", 512);
    if (!disk.Mounted()) GTEST_SKIP() << "no small file system can be mounted here";
    const std::vector<Writer> writers = Writers(disk.Path());
    std::vector<std::pair<fs::path, std::string>> before;
    for (const Writer& writer : writers) {
        ASSERT_EQ(writer.save(), "") << writer.name;
        before.emplace_back(writer.target, Bytes(writer.target));
    }
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }
    std::vector<std::vector<std::string>> listings;
    for (const Writer& writer : writers) listings.push_back(Entries(writer.target.parent_path()));
    for (std::size_t i = 0; i < writers.size(); ++i) {
        const std::string message = writers[i].save();
        EXPECT_NE(message, "") << writers[i].name;
        if (message != "failed") {
            EXPECT_NE(message.find("No space left on device"), std::string::npos) << writers[i].name << ": " << message;
        }
        EXPECT_EQ(Bytes(before[i].first), before[i].second) << writers[i].name;
        EXPECT_EQ(Entries(writers[i].target.parent_path()), listings[i]) << writers[i].name;
    }
}

}  // namespace
}  // namespace ridgeforge
