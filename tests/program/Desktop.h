// Driving the desktop program from outside, as a person at the screen does:
// xdotool finds windows, focuses them, moves the mouse, clicks and types.
// There is no window manager on the test display, so nothing is activated
// or raised for us: every step focuses its window first, and every wait has
// a time limit.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include <wx/gdicmn.h>

namespace ridgeforge::test::desktop {

inline std::string Shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
    return output;
}

inline bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

inline void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Waits for the child to end; its exit status, or -1 when it is still
// running after the time (it is then killed).
inline int WaitForExit(pid_t child, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        Pause(50);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

// Ends a started program when the test leaves by any road, so that a failed
// check never leaves it running: it holds the output the test runner reads
// and would keep the runner waiting until its time limit.
struct EndWhenLeaving {
    pid_t child;
    explicit EndWhenLeaving(pid_t started) : child(started) {}
    EndWhenLeaving(const EndWhenLeaving&) = delete;
    EndWhenLeaving& operator=(const EndWhenLeaving&) = delete;
    ~EndWhenLeaving() {
        int status = 0;
        if (child > 0 && waitpid(child, &status, WNOHANG) == 0) WaitForExit(child, 0);
    }
};

// The first shown window whose title matches the regular expression, or ""
// when none shows within the time. One search per try: xdotool ends on the X
// error of a window that goes while it reads it (a splash, a menu), so a
// single waiting search can fail while the program is still starting.
inline std::string WaitForWindow(const std::string& title, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        const std::string found = Shell("xdotool search --onlyvisible --name '" + title + "' 2>/dev/null | head -1");
        if (!found.empty()) return found;
        Pause(100);
    } while (std::chrono::steady_clock::now() < end);
    return {};
}

// Whether no shown window matches the title within the time. A search that
// ended on an X error says so on its error output, and is not an empty one.
inline bool WaitUntilGone(const std::string& title, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (Shell("xdotool search --onlyvisible --name '" + title + "' 2>&1").empty()) return true;
        Pause(100);
    }
    return false;
}

// A window's place and size on the screen.
inline wxRect Geometry(const std::string& window) {
    std::istringstream lines(Shell("xdotool getwindowgeometry --shell " + window));
    wxRect rect;
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const int value = std::atoi(line.c_str() + equals + 1);
        if (key == "X") rect.x = value;
        if (key == "Y") rect.y = value;
        if (key == "WIDTH") rect.width = value;
        if (key == "HEIGHT") rect.height = value;
    }
    return rect;
}

inline void Focus(const std::string& window) {
    Shell("xdotool windowraise " + window + " windowfocus --sync " + window);
    Pause(200);
}

// Clicks at a point given in the window's own coordinates.
inline void Click(const std::string& window, int x, int y, int button = 1) {
    Focus(window);
    Shell("xdotool mousemove --sync --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
    Pause(150);
    Shell("xdotool click " + std::to_string(button));
    Pause(300);
}

// Keys in xdotool's names ("alt+f", "F5", "Return"), typed one after the
// other into the focused window, each given time to take effect: a menu
// opening for the first time is slower than a typist.
inline void Keys(const std::string& keys) {
    std::istringstream names(keys);
    for (std::string key; names >> key;) {
        Shell("xdotool key " + key);
        Pause(450);
    }
}

// Wheel notches over a point of the window: positive scrolls on to what
// lies below, negative back up.
inline void Wheel(const std::string& window, int x, int y, int notches) {
    Shell("xdotool mousemove --sync --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
    for (int notch = 0; notch < std::abs(notches); ++notch) {
        Shell(std::string("xdotool click ") + (notches > 0 ? "5" : "4"));
        Pause(60);
    }
    Pause(300);
}

inline void Type(const std::string& text) {
    Shell("xdotool type --delay 30 '" + text + "'");
    Pause(300);
}

}  // namespace ridgeforge::test::desktop
