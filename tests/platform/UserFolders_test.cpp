#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/CaseInsensitivePath.h"
#include "platform/FileTime.h"
#include "platform/KnownFolders.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge;
namespace fs = std::filesystem;

TEST(KnownFolders, ExecutableFolderHoldsThisProgram) {
    const fs::path folder = platform::ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.is_absolute());
    EXPECT_TRUE(fs::exists(folder / "platform_UserFolders_test"));
}

TEST(KnownFolders, DocumentsFolderFollowsUserDirsThenHome) {
    test::TempDir dir;
    const fs::path home = dir / "home";
    test::ScopedEnvironment env;
    env.Set("HOME", home.string());
    env.Set("XDG_CONFIG_HOME", (dir / "config").string());

    // No user-dirs file: the conventional folder under HOME.
    EXPECT_EQ(platform::DocumentsFolder(), home / "Documents");

    // $HOME is expanded; comments, other folders and a trailing slash do not matter; the last entry wins.
    test::WriteTextFile(dir / "config/user-dirs.dirs",
                        "# written by xdg-user-dirs-update\n"
                        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                        "XDG_DOCUMENTS_DIR=\"$HOME/Old\"\r\n"
                        "XDG_DOCUMENTS_DIR=\"$HOME/Papiere \\\"A\\\"/\"\n");
    EXPECT_EQ(platform::DocumentsFolder(), home / "Papiere \"A\"");

    test::WriteTextFile(dir / "config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n");
    EXPECT_EQ(platform::DocumentsFolder(), fs::path("/srv/docs"));

    // A relative or unterminated value is not a location: back to HOME.
    test::WriteTextFile(dir / "config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"docs\"\nXDG_DOCUMENTS_DIR=\"/x\n");
    EXPECT_EQ(platform::DocumentsFolder(), home / "Documents");

    // Without XDG_CONFIG_HOME the file is read from ~/.config.
    env.Unset("XDG_CONFIG_HOME");
    test::WriteTextFile(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Mine\"\n");
    EXPECT_EQ(platform::DocumentsFolder(), home / "Mine");

    // Nothing says where home is: unknown.
    env.Unset("HOME");
    EXPECT_TRUE(platform::DocumentsFolder().empty());
}

TEST(CaseInsensitivePath, FindsItemsUnderAnyCase) {
    test::TempDir dir;
    test::WriteTextFile(dir / "Textures/Stone/Rock.PNG", "x");
    test::WriteTextFile(dir / "Textures/Stone/rock.png", "y");

    // The exact spelling wins over another case.
    EXPECT_EQ(platform::MatchPathIgnoringCase(dir.Path(), "textures/stone/rock.png"), dir / "Textures/Stone/rock.png");
    fs::remove(dir / "Textures/Stone/rock.png");
    EXPECT_EQ(platform::MatchPathIgnoringCase(dir.Path(), "TEXTURES/stone/rock.png"), dir / "Textures/Stone/Rock.PNG");
    // Missing parts keep the caller's spelling, below the folders that do exist.
    EXPECT_EQ(platform::MatchPathIgnoringCase(dir.Path(), "textures/Wood/new.png"), dir / "Textures/Wood/new.png");
    EXPECT_TRUE(platform::FindEntryIgnoringCase(dir / "Textures", "metal").empty());
    EXPECT_TRUE(platform::FindEntryIgnoringCase(dir / "missing", "x").empty());
}

TEST(FileTime, CountsHundredNanosecondsSince1601) {
    EXPECT_EQ(platform::FileTimeFromUnix(0, 0), 116444736000000000ULL);
    EXPECT_EQ(platform::FileTimeFromUnix(1, 250), 116444736010000002ULL);
    EXPECT_EQ(platform::FileTimeFromUnix(-platform::kWindowsEpochOffsetSeconds, 0), 0ULL);
    EXPECT_FALSE(platform::FileTimeFromUnix(-platform::kWindowsEpochOffsetSeconds - 1, 0).has_value());

    test::TempDir dir;
    test::WriteTextFile(dir / "f", "x");
    fs::last_write_time(dir / "f", fs::last_write_time(dir / "f") + std::chrono::seconds(5));
    const auto before = platform::LastWriteFileTime(dir / "f");
    fs::last_write_time(dir / "f", fs::last_write_time(dir / "f") + std::chrono::seconds(1));
    const auto after = platform::LastWriteFileTime(dir / "f");
    ASSERT_TRUE(before && after);
    EXPECT_EQ(*after - *before, 10000000ULL);
    EXPECT_FALSE(platform::LastWriteFileTime(dir / "missing").has_value());
}
