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

#include "tests/support/TestSupport.h"

namespace {

bool Have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// Starts the program under openbox on an X server of its own, waits until
// its main window is shown and a moment more, then ends everything. The
// program's standard error, or "exit N" when the script failed.
std::string StartUnderWindowManager(const std::filesystem::path& folder) {
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
              "sleep 0.05; done\n"
           << Quoted(RIDGEFORGE_PROGRAM) << " 2>stderr.txt >/dev/null &\n"
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
    std::ofstream(folder / "run.sh") << script.str();
    const int status = std::system(("bash " + Quoted(folder / "run.sh")).c_str());
    if (status != 0) return "exit " + std::to_string(WEXITSTATUS(status));
    std::ifstream in(folder / "stderr.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

}  // namespace
