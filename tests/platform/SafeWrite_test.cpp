// The shared safe write: what it leaves on disk after every kind of failure,
// names planted where its temporary files go, leftovers of killed saves,
// permissions and long names. Every writer on a really full disk is tried
// in tests/document/SavedFiles_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;
using platform::SafeWriteResult;
using platform::SafeWriteStep;
using platform::WriteFileSafely;

struct ClearHooks {
    ~ClearHooks() { platform::ClearSafeWriteHooks(); }
};

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

SafeWriteResult Save(const fs::path& path, const std::string& text) {
    return WriteFileSafely(path, text.data(), text.size());
}

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
}

TEST(SafeWrite, LinksAndFilesPlantedAtTemporaryNamesAreNeverWrittenThrough) {
    ClearHooks clear;
    test::TempDir dir("safe-planted");
    test::WriteTextFile(dir / "victim.txt", "DATA");
    test::WriteTextFile(dir / "p.rgproj", "old");
    // The first two names the save will try: a link to the victim and a folder.
    fs::create_symlink("victim.txt", dir / "p.rgproj.0000000a.part");
    fs::create_directory(dir / "p.rgproj.0000000b.part");
    platform::UseTemporaryNumbers({0xa, 0xb, 0xc});
    ASSERT_TRUE(Save(dir / "p.rgproj", "new").ok);
    EXPECT_EQ(test::ReadTextFile(dir / "p.rgproj"), "new");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(dir / "p.rgproj")));
    EXPECT_EQ(test::ReadTextFile(dir / "victim.txt"), "DATA");
    // Neither is a leftover of ours: both stay.
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "p.rgproj.0000000a.part")));
    EXPECT_TRUE(fs::is_directory(dir / "p.rgproj.0000000b.part"));

    // Every one of the sixteen names taken: the save fails and changes nothing.
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t n = 0; n < 16; ++n) {
        numbers.push_back(0x100 + n);
        char name[32];
        std::snprintf(name, sizeof name, "p.rgproj.%08x.part", 0x100 + n);
        fs::create_symlink("victim.txt", dir / name);
    }
    platform::UseTemporaryNumbers(numbers);
    const SafeWriteResult r = Save(dir / "p.rgproj", "newer");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SafeWriteStep::Create);
    EXPECT_EQ(r.reason, platform::SystemErrorText(EEXIST));
    EXPECT_EQ(test::ReadTextFile(dir / "p.rgproj"), "new");
    EXPECT_EQ(test::ReadTextFile(dir / "victim.txt"), "DATA");
    EXPECT_EQ(Entries(dir.Path()).size(), 2u + 2u + 16u);  // victim, project and what was planted
}

TEST(SafeWrite, FailedWriteOrCheckKeepsTheOldFileAndLeavesNothing) {
    ClearHooks clear;
    test::TempDir dir("safe-fail");
    test::WriteTextFile(dir / "a.json", "old text");
    const std::string text = "0123456789";
    // One byte short of the whole file fails; the whole file fits.
    platform::FailSafeWritesAfter(text.size() - 1, ENOSPC);
    SafeWriteResult r = Save(dir / "a.json", text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SafeWriteStep::Write);
    EXPECT_EQ(r.reason, "No space left on device");
    EXPECT_EQ(test::ReadTextFile(dir / "a.json"), "old text");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"a.json"});
    // A new file that fails leaves no file at all.
    platform::FailSafeWritesAfter(0, EIO);
    r = Save(dir / "b.json", text);
    EXPECT_EQ(r.reason, platform::SystemErrorText(EIO));
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"a.json"});
    platform::FailSafeWritesAfter(text.size(), ENOSPC);
    ASSERT_TRUE(Save(dir / "a.json", text).ok);
    EXPECT_EQ(test::ReadTextFile(dir / "a.json"), text);
    platform::ClearSafeWriteHooks();

    // The check sees the complete temporary file; refusing it keeps the old one.
    std::string seen;
    r = WriteFileSafely(dir / "a.json", "abc", 3, [&](const fs::path& written, std::string& reason) {
        seen = test::ReadTextFile(written);
        reason = "read back wrong";
        return false;
    });
    EXPECT_EQ(seen, "abc");
    EXPECT_EQ(r.failedStep, SafeWriteStep::Check);
    EXPECT_EQ(r.reason, "read back wrong");
    EXPECT_EQ(test::ReadTextFile(dir / "a.json"), text);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"a.json"});

    // A folder that does not exist, and a folder in the target's place.
    r = Save(dir / "none" / "x.txt", "x");
    EXPECT_EQ(r.reason, "No such file or directory");
    fs::create_directories(dir / "folder.txt" / "inside");
    r = Save(dir / "folder.txt", "x");
    EXPECT_EQ(r.failedStep, SafeWriteStep::Create);
    EXPECT_EQ(r.reason, "Is a directory");
    EXPECT_TRUE(fs::is_directory(dir / "folder.txt" / "inside"));
}

// Run in a process of its own: 0 when a save of 101 bytes is refused for its
// size and leaves the old file and nothing else, and one of 100 is written.
int SaveUnderALimitOf100Bytes(const fs::path& dir) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 100;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    const std::string text(101, 'n');
    const SafeWriteResult r = WriteFileSafely(dir / "big.stl", text.data(), text.size());
    const bool refused = !r.ok && r.failedStep == SafeWriteStep::Write && r.reason == "File too large";
    const bool untouched =
        test::ReadTextFile(dir / "big.stl") == "old" && Entries(dir) == std::vector<std::string>{"big.stl"};
    const bool fits = WriteFileSafely(dir / "big.stl", text.data(), 100).ok;
    return refused && untouched && fits ? 0 : 1;
}

TEST(SafeWrite, AFileSizeLimitRefusesTheSaveAndTheProcessLives) {
    test::TempDir dir("safe-fsize");
    test::WriteTextFile(dir / "big.stl", "old");
    // In a process of its own, started afresh (with a folder of its own): a
    // byte past its limit ends it by SIGXFSZ unless the signal is ignored.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(SaveUnderALimitOf100Bytes(dir.Path())), ::testing::ExitedWithCode(0), "");

    // A handler of the program's own is kept.
    struct sigaction own {};
    own.sa_handler = [](int) {};
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGXFSZ, &own, &before), 0);
    platform::IgnoreFileSizeSignal();
    struct sigaction after {};
    ::sigaction(SIGXFSZ, nullptr, &after);
    EXPECT_EQ(after.sa_handler, own.sa_handler);
    ::sigaction(SIGXFSZ, &before, nullptr);
}

TEST(SafeWrite, ARenameThatFailsAtTheLastStepKeepsTheOldFileAndLeavesNothing) {
    ClearHooks clear;
    test::TempDir dir("safe-rename");
    test::WriteTextFile(dir / "a.json", "old text");
    for (const int error : {EXDEV, EACCES, EIO}) {
        platform::FailSafeWriteRenames(error);
        bool checked = false;
        const SafeWriteResult r =
            WriteFileSafely(dir / "a.json", "new", 3, [&](const fs::path&, std::string&) { return checked = true; });
        EXPECT_TRUE(checked) << error;
        EXPECT_FALSE(r.ok) << error;
        EXPECT_EQ(r.failedStep, SafeWriteStep::Replace) << error;
        EXPECT_EQ(r.reason, platform::SystemErrorText(error));
        EXPECT_EQ(test::ReadTextFile(dir / "a.json"), "old text") << error;
        EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"a.json"}) << error;
    }
    platform::FailSafeWriteRenames(0);
    ASSERT_TRUE(Save(dir / "a.json", "new").ok);
    EXPECT_EQ(test::ReadTextFile(dir / "a.json"), "new");
}

TEST(SafeWrite, PermissionBitsAreKeptAndReadOnlyFilesRefused) {
    test::TempDir dir("safe-mode");
    const mode_t oldMask = ::umask(022);
    ASSERT_TRUE(Save(dir / "new.txt", "n").ok);
    EXPECT_EQ(ModeOf(dir / "new.txt"), 0644u);
    ::umask(077);
    ASSERT_TRUE(Save(dir / "private.txt", "n").ok);
    EXPECT_EQ(ModeOf(dir / "private.txt"), 0600u);
    ::umask(022);
    // Replacing keeps the old bits, whichever way they differ from the default.
    ASSERT_TRUE(Save(dir / "private.txt", "secret").ok);
    EXPECT_EQ(ModeOf(dir / "private.txt"), 0600u);
    test::WriteTextFile(dir / "shared.txt", "s");
    ::chmod((dir / "shared.txt").c_str(), 0664);
    ASSERT_TRUE(Save(dir / "shared.txt", "t").ok);
    EXPECT_EQ(ModeOf(dir / "shared.txt"), 0664u);
    ::umask(oldMask);

    // A file nobody may write is refused, even for the administrator.
    test::WriteTextFile(dir / "locked.txt", "keep");
    ::chmod((dir / "locked.txt").c_str(), 0444);
    const SafeWriteResult r = Save(dir / "locked.txt", "lost");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SafeWriteStep::Create);
    EXPECT_EQ(r.reason, "the file is read-only");
    EXPECT_EQ(test::ReadTextFile(dir / "locked.txt"), "keep");
    EXPECT_EQ(ModeOf(dir / "locked.txt"), 0444u);
    // Writable by its owner alone is writable.
    ::chmod((dir / "locked.txt").c_str(), 0200);
    EXPECT_TRUE(Save(dir / "locked.txt", "ok").ok);
    EXPECT_EQ(ModeOf(dir / "locked.txt"), 0200u);
}

TEST(SafeWrite, ALinkedTargetKeepsItsLinkAndTheTemporaryLiesBesideTheRealFile) {
    ClearHooks clear;
    test::TempDir dir("safe-link");
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    test::WriteTextFile(dir / "real" / "a.conf", "old");
    fs::create_symlink(fs::path("..") / "real" / "a.conf", dir / "links" / "a.conf");
    std::vector<std::string> during;
    const SafeWriteResult r =
        WriteFileSafely(dir / "links" / "a.conf", "new", 3, [&](const fs::path& written, std::string&) {
            during.push_back(written.parent_path().filename());
            return true;
        });
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(during, std::vector<std::string>{"real"});
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "links" / "a.conf")));
    EXPECT_EQ(test::ReadTextFile(dir / "real" / "a.conf"), "new");
    EXPECT_EQ(Entries(dir / "real"), std::vector<std::string>{"a.conf"});
}

TEST(SafeWrite, OnlyUnlockedRegularLeftoversOfOursForThisTargetAreRemoved) {
    test::TempDir dir("safe-stale");
    test::WriteTextFile(dir / "m.stl", "old");
    test::WriteTextFile(dir / "victim", "DATA");
    const std::vector<std::string> stale = {"m.stl.0123abcd.part", "m.stl.ffffffff.part"};
    const std::vector<std::string> kept = {
        "m.stl.0123ABCD.part",   // upper-case digits: not our pattern
        "m.stl.0123abc.part",    // seven digits
        "m.stl.0123abcd.partx",  // a longer ending
        "xm.stl.0123abcd.part",  // another target
        "m.st.0123abcd.part",    // another target
        "m.stl.0123abcd.tmp",    // another ending
        "m.stl.11111111.part",   // locked by a save in progress
    };
    for (const std::string& name : stale) test::WriteTextFile(dir / name, std::string(1000, 'x'));
    for (const std::string& name : kept) test::WriteTextFile(dir / name, "x");
    fs::create_symlink("victim", dir / "m.stl.22222222.part");
    fs::create_directory(dir / "m.stl.33333333.part");
    const int busy = ::open((dir / "m.stl.11111111.part").c_str(), O_RDONLY);
    ASSERT_GE(busy, 0);
    ASSERT_EQ(::flock(busy, LOCK_EX), 0);
    bool foreignMade = false;
    if (::geteuid() == 0) {
        test::WriteTextFile(dir / "m.stl.44444444.part", "theirs");
        foreignMade = ::chown((dir / "m.stl.44444444.part").c_str(), 65534, 65534) == 0;
    }

    ASSERT_TRUE(Save(dir / "m.stl", "new").ok);
    ::close(busy);
    for (const std::string& name : stale) EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "m.stl.22222222.part")));
    EXPECT_EQ(test::ReadTextFile(dir / "victim"), "DATA");
    EXPECT_TRUE(fs::is_directory(dir / "m.stl.33333333.part"));
    if (foreignMade) {
        EXPECT_TRUE(fs::exists(dir / "m.stl.44444444.part"));
    }
}

TEST(SafeWrite, ASaveKilledHalfWayLeavesTheOldFileAndItsLeftoverGoesWithTheNextSave) {
    test::TempDir dir("safe-kill");
    test::WriteTextFile(dir / "big.stl", "old");
    const std::string text(200000, 'n');
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Stops for good once the temporary file is complete, to be killed there.
        WriteFileSafely(dir / "big.stl", text.data(), text.size(), [](const fs::path&, std::string&) {
            for (;;) ::pause();
            return true;
        });
        ::_exit(0);
    }
    fs::path leftover;
    for (int wait = 0; wait < 1000 && leftover.empty(); ++wait) {
        for (const std::string& name : Entries(dir.Path()))
            if (name.size() > 8 && name.ends_with(".part") && fs::file_size(dir / name) == text.size())
                leftover = dir / name;
        if (leftover.empty()) ::usleep(10000);
    }
    ASSERT_FALSE(leftover.empty());
    // While that save lives, a save of the same target leaves its file alone.
    ASSERT_TRUE(Save(dir / "big.stl", "second").ok);
    EXPECT_TRUE(fs::exists(leftover));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(test::ReadTextFile(dir / "big.stl"), "second");
    ASSERT_TRUE(Save(dir / "big.stl", "third").ok);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"big.stl"});
}

TEST(SafeWrite, SavesOfOneTargetFromTwoThreadsNeverRemoveEachOthersFiles) {
    test::TempDir dir("safe-threads");
    // Each save first clears leftovers beside the target: a live temporary
    // file of the other thread that it removed would fail that thread's move.
    const std::string first(30000, 'a');
    const std::string second(20000, 'b');
    std::atomic<int> failures{0};
    auto saves = [&](const std::string& text) {
        for (int i = 0; i < 150; ++i)
            if (!Save(dir / "shared.json", text).ok) ++failures;
    };
    std::thread one(saves, first);
    std::thread two(saves, second);
    one.join();
    two.join();
    EXPECT_EQ(failures.load(), 0);
    const std::string last = test::ReadTextFile(dir / "shared.json");
    EXPECT_TRUE(last == first || last == second);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"shared.json"});
}

TEST(SafeWrite, LongNamesGetTemporaryNamesThatFit) {
    // 241 bytes and the 14 of ".01234567.part" just fit in 255; 242 do not.
    const std::string fits(241, 'a');
    EXPECT_EQ(platform::TemporaryNameStem(fits, 255), fits);
    const std::string longer(242, 'a');
    const std::string stem = platform::TemporaryNameStem(longer, 255);
    EXPECT_EQ(stem.size(), 241u);
    EXPECT_EQ(stem.substr(0, 232), longer.substr(0, 232));
    EXPECT_EQ(stem[232], '~');
    // Names alike in their first bytes still get stems of their own.
    EXPECT_NE(platform::TemporaryNameStem(std::string(250, 'a') + "1", 255),
              platform::TemporaryNameStem(std::string(250, 'a') + "2", 255));
    // A cut never splits a character: "é" (2 bytes) across byte 232 goes whole.
    const std::string accented = std::string(231, 'a') + "\xC3\xA9" + std::string(20, 'b');
    EXPECT_EQ(platform::TemporaryNameStem(accented, 255).substr(0, 232), std::string(231, 'a') + "~");
}

TEST(SafeWrite, ReasonsArePutIntoMessages) {
    EXPECT_EQ(platform::WithReason("The file could not be written completely.", "Disk full"),
              "The file could not be written completely: Disk full.");
    EXPECT_EQ(platform::WithReason("could not write the preset", "Disk full"), "could not write the preset: Disk full");
    EXPECT_EQ(platform::WithReason("could not write the preset", ""), "could not write the preset");
}

}  // namespace
}  // namespace ridgeforge
