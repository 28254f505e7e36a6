// The program started as a person starts it on a desktop with a window
// manager, which the other window tests do not have: the first show of the
// main window waits for the manager to tell the size of its frame, and GTK
// must not lay the window out before it knows its real size. The layout
// went wrong on about one start in three, so the program is started several
// times, each on an X server and a window manager of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

bool Have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal
// added in front of a temporary string.
std::string Quoted(const std::filesystem::path& path) {
    std::string quoted(1, '\'');
    quoted += path.string();
    quoted += '\'';
    return quoted;
}

// The opening of a script run in `folder`: an X server of its own with
// openbox on it, and a home for the program there. The script leaves
// $server and $manager to be ended.
std::string DesktopWithWindowManager(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "home");
    std::ostringstream script;
    script << "cd " << Quoted(folder) << " || exit 90\n"
           << "Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp 3>display 2>/dev/null &\n"
           << "server=$!\n"
           << "for i in $(seq 200); do [ -s display ] && break; sleep 0.05; done\n"
           << "[ -s display ] || { kill $server; exit 91; }\n"
           << "export DISPLAY=:$(cat display) HOME=\"$PWD/home\" XDG_CONFIG_HOME=\"$PWD/home/.config\"\n"
           << "openbox >/dev/null 2>&1 &\n"
           << "manager=$!\n"
           // The manager has taken the screen when it owns the selection
           // that announces it; until then the program would start bare.
           << "for i in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; "
              "sleep 0.05; done\n";
    return script.str();
}

// Runs the script; "exit N" when it failed, else "".
std::string RunScript(const std::filesystem::path& folder, const std::string& script) {
    std::ofstream(folder / "run.sh") << script;
    const int status = std::system(("bash " + Quoted(folder / "run.sh")).c_str());
    return status != 0 ? "exit " + std::to_string(WEXITSTATUS(status)) : std::string();
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Starts the program under openbox on an X server of its own, waits until
// its main window is shown and a moment more, then ends everything. The
// program's standard error, or "exit N" when the script failed.
std::string StartUnderWindowManager(const std::filesystem::path& folder) {
    std::ostringstream script;
    script << DesktopWithWindowManager(folder) << Quoted(RIDGEFORGE_PROGRAM) << " 2>stderr.txt >/dev/null &\n"
           << "program=$!\n"
           // One search per try: xdotool ends on the X error of a window
           // that goes while it reads it, as windows do while a program starts.
           << "shown=1\n"
           << "for i in $(seq 600); do xdotool search --onlyvisible --name ' - Ruvolta$' >/dev/null 2>&1 "
              "&& { shown=0; break; }; sleep 0.1; done\n"
           << "sleep 1.5\n"
           << "kill $program; wait $program 2>/dev/null\n"
           << "kill $manager $server\n"
           << "[ $shown -eq 0 ] || exit 92\n";
    const std::string failed = RunScript(folder, script.str());
    return failed.empty() ? FileText(folder / "stderr.txt") : failed;
}

// Places a window and reads it back as the window manager has it. Every
// step that waits has a time limit; the script ends with 93 when a wait
// ran out.
const char* const kWindowSteps = R"(
geometry() { xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
  /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'; }
maximised() { xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
# A double click in the middle of the title bar, as a person maximises a
# window or gives it back its size.
toggle() {
  set -- $(geometry)
  top=$(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= *//' | cut -d, -f3)
  xdotool mousemove $(($1 + $3 / 2)) $(($2 - top / 2)) click --repeat 2 --delay 80 1
}
until_maximised() { for i in $(seq 100); do maximised && return 0; sleep 0.1; done; return 1; }
until_normal() { for i in $(seq 100); do maximised || return 0; sleep 0.1; done; return 1; }
until_sized() { for i in $(seq 100); do geometry | grep -q " $1 $2\$" && return 0; sleep 0.1; done; return 1; }
# One search per try: xdotool ends on the X error of a window that goes
# while it reads it, as windows do while a program starts.
start() {
  "$PROGRAM" 2>"stderr$1.txt" >/dev/null &
  program=$!
  window=
  for i in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Untitled - Ruvolta$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || exit 92
  sleep 1.5
}
# File > Exit from the keyboard; the program's exit status in exit$1.txt.
quit() {
  xdotool windowfocus --sync "$window"; sleep 0.3
  xdotool key alt+f; sleep 0.5; xdotool key x
  for i in $(seq 300); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
  kill $program 2>/dev/null
  wait $program; echo $? >"exit$1.txt"
}
)";

TEST(ProgramUnderWindowManager, StartsWithoutAToolkitWarning) {
    if (!Have("openbox") || !Have("xdotool") || !Have("xprop") || !Have("Xvfb"))
        GTEST_SKIP() << "openbox, xdotool, xprop or Xvfb is not installed";
    ridgeforge::test::TempDir scratch("window_manager");
    for (int start = 0; start < 6; ++start) {
        const std::string errors = StartUnderWindowManager(scratch.Path() / std::to_string(start));
        EXPECT_EQ(errors.rfind("exit ", 0), std::string::npos)
            << "start " << start << ": the window did not show (" << errors << ")";
        EXPECT_EQ(errors.find("CRITICAL"), std::string::npos) << "start " << start << ":\n" << errors;
        EXPECT_EQ(errors.find("-WARNING"), std::string::npos) << "start " << start << ":\n" << errors;
    }
}

// Maximised when it closed, the window starts maximised; un-maximised, it
// takes back the place and size it had before it was maximised, not the
// whole screen it had when it closed.
TEST(ProgramUnderWindowManager, UnMaximisedAfterARestartTheWindowHasItsEarlierPlace) {
    if (!Have("openbox") || !Have("xdotool") || !Have("xprop") || !Have("xwininfo") || !Have("Xvfb"))
        GTEST_SKIP() << "openbox, xdotool, xprop, xwininfo or Xvfb is not installed";
    ridgeforge::test::TempDir scratch("window_manager_place");
    const std::filesystem::path folder = scratch.Path();
    std::ostringstream script;
    script << DesktopWithWindowManager(folder) << "PROGRAM=" << Quoted(RIDGEFORGE_PROGRAM) << "\n"
           << kWindowSteps
           << "trap 'kill $program $manager $server 2>/dev/null' EXIT\n"
           // A place of the person's own, then maximised.
           << "start 1\n"
           << "xdotool windowsize \"$window\" 900 600; until_sized 900 600 || exit 93\n"
           << "xdotool windowmove \"$window\" 150 100; sleep 1\n"
           << "geometry >normal.txt\n"
           << "toggle; until_maximised || exit 93\n"
           << "geometry >maximised.txt\n"
           << "quit 1\n"
           << "start 2\n"
           << "until_maximised || exit 93\n"
           << "toggle; until_normal || exit 93\n"
           << "sleep 0.5\n"
           << "geometry >restored.txt\n"
           << "quit 2\n";
    ASSERT_EQ(RunScript(folder, script.str()), "");

    auto rect = [&](const char* name) {
        std::istringstream text(FileText(folder / name));
        int x = 0, y = 0, width = 0, height = 0;
        text >> x >> y >> width >> height;
        return std::vector<int>{x, y, width, height};
    };
    const std::vector<int> normal = rect("normal.txt");
    const std::vector<int> maximised = rect("maximised.txt");
    const std::vector<int> restored = rect("restored.txt");
    EXPECT_EQ(normal[2], 900);
    EXPECT_EQ(normal[3], 600);
    // Maximised really is larger, so that the comparison below can fail.
    EXPECT_GT(maximised[2], 1200);
    EXPECT_GT(maximised[3], 700);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(restored[i], normal[i], 2) << "x, y, width, height: " << i;
    for (const char* run : {"1", "2"}) {
        EXPECT_EQ(FileText(folder / ("exit" + std::string(run) + ".txt")), "0\n") << "run " << run;
        const std::string errors = FileText(folder / ("stderr" + std::string(run) + ".txt"));
        EXPECT_EQ(errors.find("CRITICAL"), std::string::npos) << "run " << run << ":\n" << errors;
        EXPECT_EQ(errors.find("-WARNING"), std::string::npos) << "run " << run << ":\n" << errors;
    }
}

}  // namespace
