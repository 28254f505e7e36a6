// Start-up timing: named marks in milliseconds since the process was
// created. The kernel gives the process start in clock ticks since boot
// (/proc/self/stat, field 22); the same clock (CLOCK_BOOTTIME) gives now, so
// the marks include the time spent loading libraries before main.
#pragma once

#include <string>
#include <vector>

namespace ridgeforge::ui {

struct StartupPhase {
    std::string name;
    double milliseconds = 0;  // since the process was created
};

// Milliseconds from the process's creation to now; from the first call of
// this function when the kernel's start time cannot be read.
double MillisecondsSinceProcessStart();

// Appends a mark with the current time. User-interface thread only.
void MarkStartupPhase(const std::string& name);

// The marks so far, in call order.
const std::vector<StartupPhase>& StartupPhases();
// Forgets the marks (a program starts once; tests start several times).
void ClearStartupPhases();

// "Start-up (ms since the process was created, and the phase's own share):"
// then per mark "  %8.0f  %+7.0f  %s\n": its time, the difference to the
// previous mark (to 0 for the first) and its name.
std::string FormatStartupTable(const std::vector<StartupPhase>& phases);

}  // namespace ridgeforge::ui
