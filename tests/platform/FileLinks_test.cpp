// Saving over a symbolic link keeps the link and replaces the file it points
// at, for the shared move and for every writer that saves through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "document/ProjectFile.h"
#include "mesh/Json.h"
#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "platform/Files.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;

bool IsLink(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }

TEST(FileLinks, FollowLinksWalksAChainAndReadsRelativeLinksFromTheirFolder) {
    test::TempDir dir("links-follow");
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    test::WriteTextFile(dir / "real" / "a.txt", "a");
    // links/second -> ../real/a.txt (relative, read from links/), links/first -> second
    fs::create_symlink(fs::path("..") / "real" / "a.txt", dir / "links" / "second");
    fs::create_symlink("second", dir / "links" / "first");
    EXPECT_EQ(fs::weakly_canonical(platform::FollowLinks(dir / "links" / "first")),
              fs::weakly_canonical(dir / "real" / "a.txt"));
    EXPECT_EQ(platform::FollowLinks(dir / "real" / "a.txt"), dir / "real" / "a.txt");
    EXPECT_EQ(platform::FollowLinks(dir / "none.txt"), dir / "none.txt");
    // A loop ends instead of spinning.
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    const fs::path end = platform::FollowLinks(dir / "loop1");
    EXPECT_TRUE(end == dir / "loop1" || end == dir / "loop2");
}

TEST(FileLinks, RenameOverALinkReplacesItsTargetAndKeepsTheLink) {
    test::TempDir dir("links-rename");
    fs::create_directories(dir / "elsewhere");
    test::WriteTextFile(dir / "elsewhere" / "target.txt", "old");
    fs::create_symlink(fs::path("elsewhere") / "target.txt", dir / "link.txt");
    test::WriteTextFile(dir / "new.tmp", "new");
    std::string error;
    ASSERT_TRUE(platform::RenameOver(dir / "new.tmp", dir / "link.txt", &error)) << error;
    EXPECT_TRUE(IsLink(dir / "link.txt"));
    EXPECT_EQ(test::ReadTextFile(dir / "elsewhere" / "target.txt"), "new");
    EXPECT_FALSE(fs::exists(dir / "new.tmp"));
    // A plain target is replaced as before.
    test::WriteTextFile(dir / "plain.txt", "old");
    test::WriteTextFile(dir / "p.tmp", "fresh");
    ASSERT_TRUE(platform::RenameOver(dir / "p.tmp", dir / "plain.txt", &error)) << error;
    EXPECT_EQ(test::ReadTextFile(dir / "plain.txt"), "fresh");
    // A dangling link gets its file made where it points.
    fs::create_symlink("made.txt", dir / "dangling.txt");
    test::WriteTextFile(dir / "d.tmp", "made");
    ASSERT_TRUE(platform::RenameOver(dir / "d.tmp", dir / "dangling.txt", &error)) << error;
    EXPECT_TRUE(IsLink(dir / "dangling.txt"));
    EXPECT_EQ(test::ReadTextFile(dir / "made.txt"), "made");
}

TEST(FileLinks, StlJsonAndProjectWritersKeepALinkTheUserMade) {
    test::TempDir dir("links-writers");
    fs::create_directories(dir / "store");

    test::WriteTextFile(dir / "store" / "part.stl", "old");
    fs::create_symlink(dir / "store" / "part.stl", dir / "part.stl");
    mesh::StlExportOptions options;
    options.header = "linked";
    const mesh::StlExportResult written = mesh::ExportStl(dir / "part.stl", test::MakeBox({0, 0, 0}, {1, 2, 3}), options);
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_TRUE(IsLink(dir / "part.stl"));
    const mesh::StlImportResult back = mesh::LoadStlFile(dir / "store" / "part.stl", {});
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.mesh.TriangleCount(), 12u);

    test::WriteTextFile(dir / "store" / "settings.json", "{}");
    fs::create_symlink(fs::path("store") / "settings.json", dir / "settings.json");
    JsonDocument json = std::make_shared<nlohmann::json>(nlohmann::json{{"kept", 7}});
    ASSERT_TRUE(SaveJsonFile(json, dir / "settings.json"));
    EXPECT_TRUE(IsLink(dir / "settings.json"));
    const JsonDocument read = ReadJsonFile(dir / "store" / "settings.json");
    ASSERT_NE(read, nullptr);
    EXPECT_EQ((*read)["kept"], 7);

    test::WriteTextFile(dir / "store" / "p.rgproj", "old");
    fs::create_symlink(fs::path("store") / "p.rgproj", dir / "p.rgproj");
    ProjectFileData record;
    record.testShape = "cube";
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "p.rgproj", record, error)) << error;
    EXPECT_TRUE(IsLink(dir / "p.rgproj"));
    ProjectFileData again;
    ASSERT_TRUE(ReadProjectJson(dir / "store" / "p.rgproj", again, error)) << error;
    EXPECT_EQ(again.testShape, "cube");
}

}  // namespace
}  // namespace ridgeforge
