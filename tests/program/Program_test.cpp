// The desktop program as a person starts it: from the command line with a
// part, on the display, closed from its File menu; and started under a file
// size limit, saving a file larger than the limit allows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "testing/Shapes.h"
#include "tests/program/Desktop.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "textures/procedural/TextureRegistry.h"
#include "textures/Presets.h"
#include "textures/TextureLibrary.h"

namespace {

using namespace ridgeforge::test::desktop;

// The bytes of a running process's environment as it was started. (The C
// library cuts GLIBC_TUNABLES into its settings in place as it reads them,
// so its settings are found as separate strings.)
std::string EnvironmentOf(pid_t process) {
    std::ifstream in("/proc/" + std::to_string(process) + "/environ", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Started again at once to ask for huge pages: the same process, with the
// part named on the command line and the user's own settings kept.
TEST(Program, OpensThePartFromTheCommandLineAndExitsFromItsMenu) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ridgeforge::test::TempDir scratch("program");
    const auto part = scratch.Path() / "cube.stl";
    ridgeforge::test::WriteBinaryStl(part, ridgeforge::test::MakeBox({0, 0, 0}, {20, 20, 20}));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", (scratch.Path() / "config").c_str(), 1);
        setenv("HOME", scratch.Path().c_str(), 1);
        setenv("GLIBC_TUNABLES", "glibc.malloc.arena_max=8", 1);
        execl(RIDGEFORGE_PROGRAM, RIDGEFORGE_PROGRAM, part.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const EndWhenLeaving ender{child};
    // The window's title names the part: it was opened before the window showed.
    const std::string window = WaitForWindow("^cube.stl - Ruvolta$", 60);
    ASSERT_FALSE(window.empty()) << "no window titled for the part";
    const std::string geometry = Shell("xdotool getwindowgeometry --shell " + window);
    EXPECT_NE(geometry.find("WIDTH="), std::string::npos);
    const std::string environment = EnvironmentOf(child);
    EXPECT_NE(environment.find(std::string("GLIBC_TUNABLES=glibc.malloc.arena_max=8") + '\0'), std::string::npos);
    EXPECT_NE(environment.find(std::string("glibc.malloc.hugetlb=1") + '\0'), std::string::npos);
    EXPECT_NE(environment.find("HOME=" + scratch.Path().string() + '\0'), std::string::npos);

    // File > Exit through the keyboard, as a person without a mouse would.
    Shell("xdotool mousemove --window " + window + " 600 300");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shell("xdotool key --delay 100 alt+f x");
    EXPECT_EQ(WaitForExit(child, 30), 0);
}

// The program's shown window whose title (as the window manager reads it,
// UTF-8) starts with `start` and ends with `end`, or "". A title that older X
// text cannot hold (U+FFFD) is not found by xdotool's search by name. (No
// std::regex: GCC 12 warns inside it under the sanitizers.)
std::string WaitForProgramWindow(const std::string& start, const std::string& end, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        std::istringstream windows(Shell("xdotool search --onlyvisible --classname ridgeforge 2>/dev/null"));
        for (std::string window; std::getline(windows, window);) {
            const std::string title = Shell("xdotool getwindowname " + window + " 2>/dev/null");
            if (title.size() >= start.size() + end.size() && title.starts_with(start) && title.ends_with(end))
                return window;
        }
        Pause(100);
    } while (std::chrono::steady_clock::now() < until);
    return {};
}

// A part whose name a person abroad gives it opens from the command line,
// under a UTF-8 locale and under the C locale: a letter outside ASCII, a
// name that is not UTF-8, a name that starts with a dash. The program shows
// the part (its window is titled for it) and lives on.
TEST(Program, OpensAPartOfAnyNameFromTheCommandLine) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    struct Case {
        const char* locale;
        std::string name;
        // The window's title starts and ends so; the letter between is the
        // name's own or, for a byte that is not UTF-8, its stand-in.
        std::string titleStart;
        std::string titleEnd;
    };
    const Case cases[] = {{"C.UTF-8", "caf\xc3\xa9 gear.stl", "caf", " gear.stl - Ruvolta"},
                          {"C", "caf\xc3\xa9 gear.stl", "caf", " gear.stl - Ruvolta"},
                          {"C.UTF-8", "caf\xe9.stl", "caf", ".stl - Ruvolta"},
                          {"C.UTF-8", "-dash.stl", "-dash.stl - Ruvolta", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.name);
        ridgeforge::test::TempDir scratch("program-names");
        const auto part = scratch.Path() / "f\xc3\xadl\xc3\xa9s" / c.name;
        std::filesystem::create_directories(part.parent_path());
        ridgeforge::test::WriteBinaryStl(part, ridgeforge::test::MakeBox({0, 0, 0}, {20, 20, 20}));

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            setenv("XDG_CONFIG_HOME", (scratch.Path() / "config").c_str(), 1);
            setenv("HOME", scratch.Path().c_str(), 1);
            setenv("LANG", c.locale, 1);
            unsetenv("LC_ALL");
            unsetenv("LC_CTYPE");
            // From the part's folder, as a person types its name there.
            if (chdir(part.parent_path().c_str()) != 0) _exit(126);
            execl(RIDGEFORGE_PROGRAM, RIDGEFORGE_PROGRAM, c.name.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const EndWhenLeaving ender{child};
        const std::string window = WaitForProgramWindow(c.titleStart, c.titleEnd, 60);
        ASSERT_FALSE(window.empty()) << "no window titled for the part";
        Pause(1500);
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "the program ended";
        Focus(window);
        Keys("alt+f x");
        EXPECT_EQ(WaitForExit(child, 30), 0);
    }
}

// The build puts the factory library beside the program, where the
// program looks for factory items: presets for every pattern, and the
// texture library's categories with the thumbnails of their images.
TEST(Program, FactoryPresetsAndTexturesLieBesideTheProgram) {
    const std::filesystem::path folder = std::filesystem::path(RIDGEFORGE_PROGRAM).parent_path();
    const std::vector<ridgeforge::LibraryRoot> roots = {{folder, false}};
    for (const std::string& name : ridgeforge::mesh::procedural::TextureNames())
        EXPECT_GE(ridgeforge::ListPresets(roots, name).size(), 3u) << name;
    std::size_t images = 0;
    const std::vector<std::string> categories = ridgeforge::ListTextureFolders(roots, "textures");
    EXPECT_GE(categories.size(), 6u);
    for (const std::string& category : categories) {
        const std::size_t count = ridgeforge::ListLibraryImages(roots, category).size();
        EXPECT_GE(count, 4u) << category;
        images += count;
    }
    std::size_t thumbnails = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder / "thumbnails")) ++thumbnails;
    EXPECT_EQ(thumbnails, images);
}

// Help > User Manual hands the PDF that the build put beside the program to
// the desktop's opener (xdg-open, here a stand-in that notes what it got).
TEST(Program, UserManualOpensThePdfBesideTheProgram) {
#ifndef RIDGEFORGE_MANUAL_PDF
    GTEST_SKIP() << "the manual was not built (pandoc or weasyprint is missing)";
#else
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    const std::filesystem::path manual = RIDGEFORGE_MANUAL_PDF;
    ASSERT_TRUE(std::filesystem::exists(manual));
    char magic[5] = {};
    std::ifstream(manual, std::ios::binary).read(magic, 4);
    EXPECT_STREQ(magic, "%PDF");

    ridgeforge::test::TempDir scratch("manual");
    const auto bin = scratch.Path() / "bin";
    std::filesystem::create_directories(bin);
    const auto opened = scratch.Path() / "opened.txt";
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << ".part'\nmv '"
                                    << opened.string() << ".part' '" << opened.string() << "'\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", (scratch.Path() / "config").c_str(), 1);
        setenv("HOME", scratch.Path().c_str(), 1);
        setenv("PATH", (bin.string() + ":" + std::getenv("PATH")).c_str(), 1);
        execl(RIDGEFORGE_PROGRAM, RIDGEFORGE_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    const EndWhenLeaving ender{child};
    const std::string window = WaitForWindow("^Untitled - Ruvolta$", 60);
    ASSERT_FALSE(window.empty());
    Focus(window);
    Keys("alt+h m");
    for (int wait = 0; wait < 200 && !std::filesystem::exists(opened); ++wait) Pause(50);
    std::string path;
    std::getline(std::ifstream(opened), path);
    EXPECT_EQ(path, std::filesystem::canonical(manual).string());

    Focus(window);
    Keys("alt+f x");
    EXPECT_EQ(WaitForExit(child, 30), 0);
#endif
}

// Under ulimit -f a write past the limit raises SIGXFSZ, whose default ends
// the program. Save STL of a part larger than the limit (Ctrl+S, the check's
// "Save...", a name, Enter) is refused instead; the program lives on, and
// neither the file nor a temporary is left in the folder.
TEST(Program, ASaveLargerThanTheFileSizeLimitIsRefusedAndTheProgramLives) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ridgeforge::test::TempDir scratch("program-fsize");
    const auto part = scratch.Path() / "ring.stl";
    const auto bytes =
        ridgeforge::test::BinaryStl(ridgeforge::test::FacetsOf(ridgeforge::test::MakeTorus(20, 6, 96, 32)));
    std::ofstream(part, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto target = scratch.Path() / "saved.stl";

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64 * 1024;  // far below the part's 300 kB
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        setenv("XDG_CONFIG_HOME", (scratch.Path() / "config").c_str(), 1);
        setenv("HOME", scratch.Path().c_str(), 1);
        execl(RIDGEFORGE_PROGRAM, RIDGEFORGE_PROGRAM, part.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    EndWhenLeaving ender{child};
    const std::string window = WaitForWindow("^ring.stl - Ruvolta$", 60);
    ASSERT_FALSE(window.empty()) << "no window titled for the part";
    Pause(1000);
    Focus(window);
    Keys("ctrl+s");
    const std::string dialog = WaitForWindow("^Save STL$", 30);
    ASSERT_FALSE(dialog.empty()) << "Save STL did not open its dialog";
    // "Save..." at the dialog's lower right answers once the check is done.
    std::string chooser;
    for (int attempt = 0; attempt < 30 && chooser.empty(); ++attempt) {
        const wxRect box = Geometry(dialog);
        Click(dialog, box.width - 138, box.height - 20);
        chooser = WaitForWindow("^Save STL As$", 2);
    }
    ASSERT_FALSE(chooser.empty()) << "Save... did not ask for the file's name";
    Focus(chooser);
    Keys("ctrl+a");
    Type(target.string());
    Keys("Return");
    EXPECT_TRUE(WaitUntilGone("^Save STL", 60));
    Pause(1000);

    int status = 0;
    ASSERT_EQ(waitpid(child, &status, WNOHANG), 0)
        << "the program ended: signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_FALSE(std::filesystem::exists(target));
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();

    Focus(window);
    Keys("alt+f x");
    // Should it ask whether to save the project first, No lets it go.
    bool ended = false;
    for (int wait = 0; wait < 50 && !ended; ++wait) {
        ended = waitpid(child, &status, WNOHANG) == child;
        if (!ended) Pause(100);
    }
    if (ended) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    } else {
        const std::string question = WaitForWindow("^Ruvolta$", 5);
        if (!question.empty()) {
            Focus(question);
            Keys("alt+n");
        }
        EXPECT_EQ(WaitForExit(child, 30), 0);
    }
    ender.child = 0;
}

}  // namespace
