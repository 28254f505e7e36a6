// Saving over a symbolic link keeps the link and replaces the file it points
// at, for the shared safe write and for every writer that saves through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>
#include <nlohmann/json.hpp>

#include "document/ProjectFile.h"
#include "mesh/Json.h"
#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
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

TEST(FileLinks, SafeWriteOverALinkReplacesItsTargetAndKeepsTheLink) {
    test::TempDir dir("links-rename");
    fs::create_directories(dir / "elsewhere");
    test::WriteTextFile(dir / "elsewhere" / "target.txt", "old");
    fs::create_symlink(fs::path("elsewhere") / "target.txt", dir / "link.txt");
    ASSERT_TRUE(platform::WriteFileSafely(dir / "link.txt", "new", 3).ok);
    EXPECT_TRUE(IsLink(dir / "link.txt"));
    EXPECT_EQ(test::ReadTextFile(dir / "elsewhere" / "target.txt"), "new");
    // A plain target is replaced as before.
    test::WriteTextFile(dir / "plain.txt", "old");
    ASSERT_TRUE(platform::WriteFileSafely(dir / "plain.txt", "fresh", 5).ok);
    EXPECT_EQ(test::ReadTextFile(dir / "plain.txt"), "fresh");
    // A dangling link gets its file made where it points.
    fs::create_symlink("made.txt", dir / "dangling.txt");
    ASSERT_TRUE(platform::WriteFileSafely(dir / "dangling.txt", "made", 4).ok);
    EXPECT_TRUE(IsLink(dir / "dangling.txt"));
    EXPECT_EQ(test::ReadTextFile(dir / "made.txt"), "made");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"dangling.txt", "elsewhere", "link.txt", "made.txt", "plain.txt"}));
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
