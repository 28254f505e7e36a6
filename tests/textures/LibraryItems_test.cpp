#include "textures/LibraryItems.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/KnownFolders.h"
#include "platform/SafeWrite.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/textures/LibraryTestSupport.h"
#include "textures/DeletedIndex.h"
#include "textures/UserFolderMigration.h"

using namespace ridgeforge;
namespace fs = std::filesystem;

TEST(LibraryItems, SafeFileNamesAndJoinedPaths) {
    EXPECT_EQ(MakeSafeFileName("a/b:c"), "a_b_c");
    EXPECT_EQ(MakeSafeFileName("Wood rings. "), "Wood rings");
    EXPECT_EQ(MakeSafeFileName("x\t<y>|\"z\"*?\\"), "x__y___z____");
    for (const char* hopeless : {"...", "   ", "?", "*.", ""}) EXPECT_EQ(MakeSafeFileName(hopeless), "untitled");
    EXPECT_EQ(MakeSafeFileName("Birke \xC3\x84st"), "Birke \xC3\x84st");

    EXPECT_EQ(JoinPath("/r", "procedural\\Wood", "a.rgpreset"), fs::path("/r/procedural/Wood/a.rgpreset"));
    EXPECT_EQ(JoinPath("/r", "", "a.bmp"), fs::path("/r/a.bmp"));
    EXPECT_EQ(JoinPath("/r", "textures/Stone\\", ""), fs::path("/r/textures/Stone"));

    test::TempDir dir;
    fs::create_directories(dir / "Lib/Sub");
    EXPECT_TRUE(SamePathIgnoringCase(dir / "Lib/Sub/..", dir / "lib"));
    EXPECT_TRUE(SamePathIgnoringCase(dir / "Lib/", dir / "LIB"));
    EXPECT_FALSE(SamePathIgnoringCase(dir / "Lib", dir / "Lib/Sub"));
}

TEST(LibraryItems, RootsComeFromProgramAndDocumentsFolders) {
    test::TempDir dir;
    test::ScopedEnvironment env;
    env.Set("HOME", (dir / "home").string());
    env.Set("XDG_CONFIG_HOME", (dir / "config").string());
    test::WriteTextFile(dir / "config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");

    const std::vector<LibraryRoot> roots = LibraryRoots();
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0].path, platform::ExecutableFolder());
    EXPECT_FALSE(roots[0].user);
    EXPECT_EQ(roots[1].path, dir / "home/Docs/Ruvolta");
    EXPECT_TRUE(roots[1].user);
    EXPECT_FALSE(UserFolderIsFactoryFolder(roots));

    // The process keeps the roots of its first call.
    const std::vector<LibraryRoot>& kept = GetUserDataFolder();
    env.Set("HOME", (dir / "elsewhere").string());
    EXPECT_EQ(&GetUserDataFolder(), &kept);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1].path, dir / "home/Docs/Ruvolta");

    // Without a documents folder the program folder is the user's folder too.
    env.Unset("HOME");
    const std::vector<LibraryRoot> alone = LibraryRoots();
    ASSERT_EQ(alone.size(), 2u);
    EXPECT_EQ(alone[1].path, alone[0].path);
    EXPECT_TRUE(UserFolderIsFactoryFolder(alone));
}

TEST(LibraryItems, UserCopyWinsAndFactoryItemComesBack) {
    test::TwoRoots lib;
    test::WriteTextFile(lib.factory / "textures/Stone/Rock.png", "factory");
    test::WriteTextFile(lib.user / "textures/stone/rock.PNG", "user");
    test::WriteTextFile(lib.factory / "textures/Stone/Slate.png", "factory");
    test::WriteTextFile(lib.user / "textures/stone/Mine.png", "user");

    // One merged name per item, spelled as the user's copy; never the index itself.
    test::WriteTextFile(lib.user / "textures/stone/_deleted.index", "");
    EXPECT_EQ(ListLibraryItems(lib.roots, "textures\\Stone", "*.png"),
              (std::vector<std::string>{"Mine.png", "rock.PNG", "Slate.png"}));
    EXPECT_EQ(ListLibraryItems(lib.roots, "textures\\Stone", "").size(), 3u);
    EXPECT_EQ(ListLibraryItems(lib.roots, "textures\\Stone", "jpg").size(), 0u);

    EXPECT_EQ(test::ReadTextFile(ResolveLibraryItem(lib.roots, "textures\\Stone", "ROCK.png")), "user");
    EXPECT_EQ(LibraryItemOrigin(lib.roots, "textures\\Stone", "Rock.png"), ItemOrigin::Both);
    EXPECT_EQ(LibraryItemOrigin(lib.roots, "textures\\Stone", "Slate.png"), ItemOrigin::Factory);
    EXPECT_EQ(LibraryItemOrigin(lib.roots, "textures\\Stone", "Mine.png"), ItemOrigin::User);
    EXPECT_EQ(LibraryItemOrigin(lib.roots, "textures\\Stone", "None.png"), ItemOrigin::None);

    // Bringing the factory item back removes the user's copy.
    EXPECT_TRUE(DeleteFactoryItem(lib.roots, "textures\\Stone", "Rock.png"));
    EXPECT_EQ(test::ReadTextFile(ResolveLibraryItem(lib.roots, "textures\\Stone", "Rock.png")), "factory");
    EXPECT_EQ(LibraryItemOrigin(lib.roots, "textures\\Stone", "Rock.png"), ItemOrigin::Factory);
    EXPECT_FALSE(DeleteFactoryItem(lib.roots, "textures\\Stone", "Rock.png"));  // nothing left to undo
    EXPECT_FALSE(DeleteFactoryItem(lib.roots, "textures\\Stone", "Mine.png"));  // not a factory item

    // Absolute names are left alone; a drive-relative one is a plain name.
    EXPECT_EQ(ResolveLibraryItem(lib.roots, "x", "/no/such/file.png"), fs::path("/no/such/file.png"));
    EXPECT_EQ(ResolveLibraryItem(lib.roots, "x", "C:\\Tex\\a.png"), fs::path("C:\\Tex\\a.png"));
    test::WriteTextFile(lib.user / "x/C:a.png", "u");
    EXPECT_EQ(ResolveLibraryItem(lib.roots, "x", "C:a.png"), lib.user / "x/C:a.png");

    // A new user item is written over an existing copy in another case, in created folders.
    EXPECT_EQ(UserItemPath(lib.roots, "textures\\STONE", "mine.PNG"), lib.user / "textures/stone/Mine.png");
    EXPECT_EQ(UserItemPath(lib.roots, "procedural\\Wood", "a.rgpreset"), lib.user / "procedural/Wood/a.rgpreset");
    EXPECT_TRUE(fs::is_directory(lib.user / "procedural/Wood"));
    EXPECT_TRUE(UserItemPath({{lib.factory, false}}, "x", "a").empty());
}

TEST(LibraryItems, DeletingHidesFactoryItemsThroughTheIndex) {
    test::TwoRoots lib;
    test::WriteTextFile(lib.factory / "procedural/Wood/Oak.rgpreset", "factory");
    test::WriteTextFile(lib.user / "procedural/Wood/oak.rgpreset", "user");
    test::WriteTextFile(lib.user / "procedural/Wood/Mine.rgpreset", "user");
    const std::string category = "procedural\\Wood";

    EXPECT_TRUE(DeleteUserVersion(lib.roots, category, "Oak.rgpreset"));
    EXPECT_FALSE(fs::exists(lib.user / "procedural/Wood/oak.rgpreset"));
    EXPECT_EQ(test::ReadTextFile(lib.user / "procedural/Wood/_deleted.index"), "oak.rgpreset\r\n");
    EXPECT_EQ(ListLibraryItems(lib.roots, category, ".rgpreset"), std::vector<std::string>{"Mine.rgpreset"});
    EXPECT_TRUE(ResolveLibraryItem(lib.roots, category, "Oak.rgpreset").empty());
    EXPECT_EQ(LibraryItemOrigin(lib.roots, category, "OAK.rgpreset"), ItemOrigin::None);
    EXPECT_FALSE(DeleteUserVersion(lib.roots, category, "Oak.rgpreset"));  // already hidden, nothing to do

    // A user-only item is simply deleted; the index is not touched.
    EXPECT_TRUE(DeleteUserVersion(lib.roots, category, "Mine.rgpreset"));
    EXPECT_EQ(ReadDeletedIndex(lib.roots, category), std::vector<std::string>{"oak.rgpreset"});
    EXPECT_FALSE(DeleteUserVersion(lib.roots, category, "Mine.rgpreset"));
    EXPECT_FALSE(DeleteUserVersion(lib.roots, category, ""));

    // A name that the one-byte index cannot hold is a failure, and the index keeps what it had.
    test::WriteTextFile(lib.factory / "procedural/Wood/\xE6\x9C\xA8.rgpreset", "factory");
    EXPECT_FALSE(DeleteUserVersion(lib.roots, category, "\xE6\x9C\xA8.rgpreset"));
    EXPECT_EQ(ReadDeletedIndex(lib.roots, category), std::vector<std::string>{"oak.rgpreset"});
    EXPECT_EQ(LibraryItemOrigin(lib.roots, category, "\xE6\x9C\xA8.rgpreset"), ItemOrigin::Factory);

    // Latin-1 names go in as one byte each and come back as they were.
    test::WriteTextFile(lib.factory / "procedural/Wood/\xC3\xA4sche.rgpreset", "factory");
    EXPECT_TRUE(DeleteUserVersion(lib.roots, category, "\xC3\xA4sche.rgpreset"));
    EXPECT_EQ(test::ReadTextFile(lib.user / "procedural/Wood/_deleted.index"), "oak.rgpreset\r\n\xE4sche.rgpreset\r\n");
    EXPECT_TRUE(IsItemDeleted(lib.roots, category, "\xC3\xA4sche.rgpreset"));

    // Bringing both back empties the index, which then goes.
    EXPECT_TRUE(DeleteFactoryItem(lib.roots, category, "oak.rgpreset"));
    EXPECT_TRUE(DeleteFactoryItem(lib.roots, category, "\xC3\xA4sche.rgpreset"));
    EXPECT_FALSE(fs::exists(lib.user / "procedural/Wood/_deleted.index"));
    EXPECT_EQ(test::ReadTextFile(ResolveLibraryItem(lib.roots, category, "Oak.rgpreset")), "factory");
}

TEST(LibraryItems, AnIndexThatCannotBeChangedIsAFailureThatSaysWhy) {
    test::TwoRoots lib;
    test::WriteTextFile(lib.factory / "procedural/Wood/Oak.rgpreset", "factory");
    test::WriteTextFile(lib.factory / "procedural/Wood/Ash.rgpreset", "factory");
    const std::string category = "procedural\\Wood";
    std::string reason;
    platform::FailSafeWriteRenames(EIO);
    EXPECT_FALSE(DeleteUserVersion(lib.roots, category, "Oak.rgpreset", &reason));
    platform::ClearSafeWriteHooks();
    EXPECT_EQ(reason, platform::SystemErrorText(EIO));
    EXPECT_EQ(LibraryItemOrigin(lib.roots, category, "Oak.rgpreset"), ItemOrigin::Factory);

    ASSERT_TRUE(DeleteUserVersion(lib.roots, category, "Oak.rgpreset"));
    ASSERT_TRUE(DeleteUserVersion(lib.roots, category, "Ash.rgpreset"));
    reason.clear();
    platform::FailSafeWriteRenames(EACCES);
    EXPECT_FALSE(DeleteFactoryItem(lib.roots, category, "Oak.rgpreset", &reason));
    platform::ClearSafeWriteHooks();
    EXPECT_EQ(reason, platform::SystemErrorText(EACCES));
    EXPECT_EQ(ReadDeletedIndex(lib.roots, category), (std::vector<std::string>{"oak.rgpreset", "ash.rgpreset"}));

    // An index left empty must go, or it would keep hiding what it names: a
    // folder in its place cannot be deleted, and that is said.
    const fs::path index = lib.user / "c" / "_deleted.index";
    fs::create_directories(index / "inside");
    reason.clear();
    EXPECT_FALSE(WriteDeletedIndex(lib.roots, "c", {}, &reason));
    EXPECT_EQ(reason, platform::SystemErrorText(EISDIR));
    fs::remove_all(index);
    EXPECT_TRUE(WriteDeletedIndex(lib.roots, "c", {}, &reason));
}

TEST(LibraryItems, DeletedIndexReadsLooselyAndWritesStrictly) {
    test::TwoRoots lib;
    test::WriteTextFile(lib.user / "c/_deleted.index", "\r\nWood\r\r\n\n  Bark\nlast");
    EXPECT_EQ(ReadDeletedIndex(lib.roots, "c"), (std::vector<std::string>{"wood", "  bark", "last"}));
    EXPECT_EQ(DeletedIndexPath(lib.roots, "c"), lib.user / "c/_deleted.index");
    EXPECT_TRUE(DeletedIndexPath({{lib.factory, false}}, "c").empty());
    EXPECT_TRUE(ReadDeletedIndex(lib.roots, "elsewhere").empty());

    // A line break inside a name would turn one entry into two.
    EXPECT_FALSE(WriteDeletedIndex(lib.roots, "c", {"a\nb"}));
    EXPECT_EQ(ReadDeletedIndex(lib.roots, "c").size(), 3u);
    // U+00FF is the last character one byte holds; U+0100 is the first that is not.
    EXPECT_FALSE(WriteDeletedIndex(lib.roots, "c", {"\xC3\xBF", "\xC4\x80"}));
    EXPECT_EQ(ReadDeletedIndex(lib.roots, "c").size(), 3u);
    EXPECT_TRUE(WriteDeletedIndex(lib.roots, "d", {"\xC3\xBF"}));
    EXPECT_EQ(test::ReadTextFile(lib.user / "d/_deleted.index"), "\xFF\r\n");
    EXPECT_EQ(ReadDeletedIndex(lib.roots, "d"), std::vector<std::string>{"\xC3\xBF"});

    EXPECT_TRUE(WriteDeletedIndex(lib.roots, "new\\folder", {"x"}));
    EXPECT_EQ(test::ReadTextFile(lib.user / "new/folder/_deleted.index"), "x\r\n");
    EXPECT_TRUE(WriteDeletedIndex(lib.roots, "c", {}));
    EXPECT_FALSE(fs::exists(lib.user / "c/_deleted.index"));
}

TEST(LibraryItems, WithoutDocumentsEverythingIsTheUsers) {
    test::TempDir dir;
    const std::vector<LibraryRoot> roots{{dir / "program", false}, {dir / "program", true}};
    test::WriteTextFile(dir / "program/procedural/Wood/Oak.rgpreset", "x");
    EXPECT_EQ(LibraryItemOrigin(roots, "procedural\\Wood", "Oak.rgpreset"), ItemOrigin::User);
    EXPECT_FALSE(DeleteFactoryItem(roots, "procedural\\Wood", "Oak.rgpreset"));
    EXPECT_TRUE(DeleteUserVersion(roots, "procedural\\Wood", "Oak.rgpreset"));
    EXPECT_FALSE(fs::exists(dir / "program/procedural/Wood/_deleted.index"));
    EXPECT_EQ(LibraryItemOrigin(roots, "procedural\\Wood", "Oak.rgpreset"), ItemOrigin::None);
}

TEST(LibraryItems, TextureFoldersMergeBothRoots) {
    test::TwoRoots lib;
    fs::create_directories(lib.factory / "textures/Stone");
    fs::create_directories(lib.factory / "textures/wood");
    fs::create_directories(lib.user / "textures/Wood");
    fs::create_directories(lib.user / "textures/Metal");
    test::WriteTextFile(lib.user / "textures/file.png", "not a folder");
    EXPECT_EQ(ListTextureFolders(lib.roots, "textures"), (std::vector<std::string>{"Metal", "Stone", "Wood"}));
}

TEST(UserFolderMigration, MovesOnceAndKeepsWhatWouldBeReplaced) {
    test::TempDir dir;
    const fs::path documents = dir.Path();
    EXPECT_EQ(MigrateUserFolder(documents), "");
    EXPECT_EQ(MigrateUserFolder(""), "");

    test::WriteTextFile(documents / "Ridgeforge/textures/Stone/a.png", "old a");
    test::WriteTextFile(documents / "Ridgeforge/custom/images.json", "old list");
    test::WriteTextFile(documents / "Ridgeforge/thumbnails/0123.bmp", "cache");
    test::WriteTextFile(documents / "Ruvolta/custom/images.json", "new list");

    const std::string message = MigrateUserFolder(documents);
    const std::string oldFolder = (documents / "Ridgeforge").string();
    const std::string newFolder = (documents / "Ruvolta").string();
    EXPECT_EQ(message, "Your files moved from " + oldFolder + " to " + newFolder +
                           ". Some stayed in the old folder; it can be deleted once you have checked it.");
    EXPECT_EQ(test::ReadTextFile(documents / "Ruvolta/textures/Stone/a.png"), "old a");
    EXPECT_EQ(test::ReadTextFile(documents / "Ruvolta/custom/images.json"), "new list");
    EXPECT_EQ(test::ReadTextFile(documents / "Ridgeforge/custom/images.json"), "old list");
    EXPECT_FALSE(fs::exists(documents / "Ridgeforge/thumbnails"));

    // Run again, nothing more can move.
    EXPECT_EQ(MigrateUserFolder(documents), "");

    // Everything moved: the old folder goes and the message is one sentence.
    fs::remove(documents / "Ridgeforge/custom/images.json");
    test::WriteTextFile(documents / "Ridgeforge/b.txt", "b");
    EXPECT_EQ(MigrateUserFolder(documents), "Your files moved from " + oldFolder + " to " + newFolder + ".");
    EXPECT_FALSE(fs::exists(documents / "Ridgeforge"));
}

TEST(UserFolderMigration, FailuresAreCountedNotThrown) {
    test::TempDir dir;
    const fs::path documents = dir.Path();
    const std::string oldFolder = (documents / "Ridgeforge").string();
    const std::string newFolder = (documents / "Ruvolta").string();

    // The new folder's name is taken by a file: nothing can go there.
    test::WriteTextFile(documents / "Ridgeforge/a.txt", "a");
    test::WriteTextFile(documents / "Ruvolta", "in the way");
    EXPECT_EQ(MigrateUserFolder(documents), "Your files moved from " + oldFolder + " to " + newFolder +
                                                ". Some stayed in the old folder (1 could not be moved); it can be "
                                                "deleted once you have checked it.");
    EXPECT_EQ(test::ReadTextFile(documents / "Ridgeforge/a.txt"), "a");

    // A folder that cannot be listed is one failure, not an exception.
    std::int64_t moved = 0;
    std::int64_t failed = 0;
    EXPECT_NO_THROW(CopyFolderTree(documents / "no such folder", documents / "target", moved, failed));
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(failed, 1);

    // A sub-folder that cannot be listed is one failure, and start-up goes on.
    fs::remove(documents / "Ruvolta");
    test::WriteTextFile(documents / "Ruvolta/locked/x.txt", "new");
    test::WriteTextFile(documents / "Ridgeforge/locked/y.txt", "old");
    fs::permissions(documents / "Ridgeforge/locked", fs::perms::none);
    std::error_code ec;
    const bool listable = fs::directory_iterator(documents / "Ridgeforge/locked", ec) != fs::directory_iterator();
    std::string message;
    EXPECT_NO_THROW(message = MigrateUserFolder(documents));
    std::error_code restoreError;
    fs::permissions(documents / "Ridgeforge/locked", fs::perms::owner_all, restoreError);
    if (!listable && ec) {
        EXPECT_NE(message.find("(1 could not be moved)"), std::string::npos) << message;
    } else {
        // Running with administrator rights every folder can be read.
        EXPECT_TRUE(fs::exists(documents / "Ruvolta/locked/y.txt"));
    }
    EXPECT_TRUE(fs::exists(documents / "Ruvolta/a.txt"));
}
