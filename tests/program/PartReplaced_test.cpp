// The part replaced while the view draws, in the program as a person uses
// it: Mesh > Repair, Simplify Input Mesh and Remesh Input Mesh, each
// answered in its dialog, then File > Test Shapes > Cube and File > Open STL.
// Each time a menu or a dialog that covered the view goes away, the view
// draws again while the command replaces the part; the input tools wait
// for their job by letting the windows paint. A draw once set the frame
// time in the status bar, which forced a second draw inside the first, and
// the program died in cairo.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "testing/Shapes.h"
#include "tests/program/Desktop.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace {

using namespace ridgeforge::test::desktop;
namespace fs = std::filesystem;

void WriteStl(const fs::path& path, std::vector<ridgeforge::test::Facet> facets) {
    const auto bytes = ridgeforge::test::BinaryStl(facets);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Alive(pid_t child) {
    int status = 0;
    return waitpid(child, &status, WNOHANG) == 0;
}

// Answers the dialog titled `title` with the keys, once it shows; then lets
// the command run and the view draw for a while.
bool Answer(const std::string& title, const std::string& keys) {
    const std::string dialog = WaitForWindow(title, 30);
    if (dialog.empty()) return false;
    Focus(dialog);
    Keys(keys);
    return true;
}

TEST(PartReplaced, ByTestShapesOpenAndEachInputToolWhileTheViewDraws) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ridgeforge::test::TempDir scratch("part-replaced");
    const fs::path box = scratch.Path() / "box.stl";
    WriteStl(box, ridgeforge::test::FacetsOf(ridgeforge::test::MakeBox({0, 0, 0}, {30, 20, 10})));
    // A torus with one triangle missing, so that Repair has a gap to close.
    auto torus = ridgeforge::test::FacetsOf(ridgeforge::test::MakeTorus(20.0f, 6.0f, 120, 40));
    torus.pop_back();
    const fs::path broken = scratch.Path() / "broken.stl";
    WriteStl(broken, torus);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", (scratch.Path() / "config").c_str(), 1);
        setenv("HOME", scratch.Path().c_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        if (!std::freopen((scratch.Path() / "stderr.txt").c_str(), "w", stderr)) _exit(126);
        execl(RIDGEFORGE_PROGRAM, RIDGEFORGE_PROGRAM, broken.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const EndWhenLeaving ender{child};
    const std::string window = WaitForWindow("^broken.stl - Ruvolta$", 60);
    ASSERT_FALSE(window.empty());
    const wxRect frame = Geometry(window);
    // The pointer rests over the view, as a person's hand does.
    const auto overView = [&] { Shell("xdotool mousemove --window " + window + " " +
                                      std::to_string(frame.width / 2) + " " + std::to_string(frame.height / 3)); };
    Pause(1500);

    // Each tool asks first; Return answers Yes (Remesh in its own dialog).
    struct Tool {
        const char* keys;
        const char* dialog;
        const char* name;
    };
    for (const Tool& tool : {Tool{"alt+m r", "^Ruvolta$", "Repair"},
                             Tool{"alt+m i", "^Ruvolta$", "Simplify Input Mesh"},
                             Tool{"alt+m m", "^Remesh Input Mesh$", "Remesh Input Mesh"}}) {
        Focus(window);
        overView();
        Keys(tool.keys);
        ASSERT_TRUE(Answer(tool.dialog, "Return")) << tool.name;
        Pause(3000);
        ASSERT_TRUE(Alive(child)) << "died on " << tool.name;
    }

    Focus(window);
    overView();
    Keys("alt+f t c");
    // The tools changed the part: the program asks whether to save it first.
    ASSERT_TRUE(Answer("^Ruvolta$", "alt+n")) << "no question before the part was replaced";
    Pause(1500);
    ASSERT_TRUE(Alive(child)) << "died on Test Shapes > Cube";
    EXPECT_FALSE(WaitForWindow("^Test cube - Ruvolta$", 20).empty());

    Focus(window);
    Keys("ctrl+o");
    ASSERT_FALSE(WaitForWindow("Open", 30).empty());
    Pause(500);
    Type(box.string());
    Keys("Return");
    EXPECT_FALSE(WaitForWindow("^box.stl - Ruvolta$", 60).empty());
    Pause(1500);
    ASSERT_TRUE(Alive(child)) << "died on Open";

    kill(child, SIGTERM);
    WaitForExit(child, 30);
    // Nor a word from the toolkit on the way.
    std::ifstream errors(scratch.Path() / "stderr.txt");
    const std::string text((std::istreambuf_iterator<char>(errors)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("CRITICAL"), std::string::npos) << text;
    EXPECT_EQ(text.find("Gtk-WARNING"), std::string::npos) << text;
}

}  // namespace
