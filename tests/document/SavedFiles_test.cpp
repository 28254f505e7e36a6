// Every file the program saves, saved the hard way: with a link planted where
// a temporary file might go, over a private or read-only file, beside a
// leftover of a killed save, under a long name, on a full disk, under a file
// size limit and with a rename that fails at the last step. The old file must
// stay whole or be replaced whole, nothing may be left beside it, no file but
// the target may change, and a failure names the system's reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>

#include "document/ProjectFile.h"
#include "mesh/StlExport.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
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
// message, empty on success. Each save writes different bytes from the one
// before.
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
    // Writers that say only whether they failed, and why.
    auto failed = [](bool ok, const std::string& reason) {
        return ok ? std::string() : reason.empty() ? std::string("failed without a reason") : reason;
    };
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
             std::string reason;
             const bool ok = StoreSeamSettings(roots, "/Tex/Rock.png", {"Mirror", std::to_string(++*counter)}, &reason);
             return failed(ok, reason);
         }},
        {"custom images", root / "user/custom/images.json",
         [roots, counter, failed] {
             std::string reason;
             return failed(SaveCustomImages(roots, {"/tex/" + std::to_string(++*counter) + ".png"}, &reason), reason);
         }},
        {"deleted index", root / "user/Stone/_deleted.index",
         [roots, counter, failed] {
             std::string reason;
             return failed(WriteDeletedIndex(roots, "Stone", {std::to_string(++*counter) + ".png"}, &reason), reason);
         }},
        {"thumbnail", root / "thumb.bmp",
         [root, counter, failed] {
             std::string reason;
             const std::vector<std::uint8_t> grey(16, static_cast<std::uint8_t>(++*counter));
             return failed(WriteGreyBmp(root / "thumb.bmp", grey, 4, &reason), reason);
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
        EXPECT_NE(message.find("read-only"), std::string::npos) << writer.name << ": " << message;
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
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << writers[i].name << ": " << message;
        EXPECT_EQ(Bytes(before[i].first), before[i].second) << writers[i].name;
        EXPECT_EQ(Entries(writers[i].target.parent_path()), listings[i]) << writers[i].name;
    }
}

// Run in a process of its own: every writer saves once, then, with the file
// size limit at 4 bytes (below every file here), once more. Returns the
// number of writers whose second save was not refused as too large, changed
// its old file or left something beside it; each is named on the error output.
int SaveEveryWriterUnderASizeLimit(const fs::path& root) {
    const std::vector<Writer> writers = Writers(root);
    std::vector<std::string> before;
    for (const Writer& writer : writers) {
        if (!writer.save().empty()) return 100;
        before.push_back(Bytes(writer.target));
    }
    std::vector<std::vector<std::string>> listings;
    for (const Writer& writer : writers) listings.push_back(Entries(writer.target.parent_path()));
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 4;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 101;
    int failures = 0;
    for (std::size_t i = 0; i < writers.size(); ++i) {
        const std::string message = writers[i].save();
        if (message.find("File too large") == std::string::npos || Bytes(writers[i].target) != before[i] ||
            Entries(writers[i].target.parent_path()) != listings[i]) {
            std::fprintf(stderr, "%s: \"%s\"\n", writers[i].name.c_str(), message.c_str());
            ++failures;
        }
    }
    return failures;
}

TEST(SavedFiles, AFileSizeLimitRefusesEverySaveAndTheProcessLives) {
    test::TempDir dir("saved-fsize");
    // Started afresh, so no thread of this process is copied half-way.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(SaveEveryWriterUnderASizeLimit(dir.Path())), ::testing::ExitedWithCode(0), "");
}

TEST(SavedFiles, ARenameThatFailsAtTheLastStepIsAFailedSaveForEveryWriter) {
    test::TempDir dir("saved-rename");
    const std::vector<Writer> writers = Writers(dir.Path());
    for (const Writer& writer : writers) ASSERT_EQ(writer.save(), "") << writer.name;
    for (const int error : {EXDEV, EACCES, EIO}) {
        for (const Writer& writer : writers) {
            const std::string before = Bytes(writer.target);
            const std::vector<std::string> listing = Entries(writer.target.parent_path());
            platform::FailSafeWriteRenames(error);
            const std::string message = writer.save();
            platform::ClearSafeWriteHooks();
            EXPECT_NE(message.find(platform::SystemErrorText(error)), std::string::npos)
                << writer.name << ": " << message;
            EXPECT_EQ(Bytes(writer.target), before) << writer.name;
            EXPECT_EQ(Entries(writer.target.parent_path()), listing) << writer.name;
        }
    }
    // Renames that work again save every file.
    for (const Writer& writer : writers) EXPECT_EQ(writer.save(), "") << writer.name;
}

}  // namespace
}  // namespace ridgeforge
