#include "ui/framework/StartupMarks.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ridgeforge::ui {
namespace {

double BootClockMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Process start in milliseconds on the boot clock, or a negative value.
double ProcessStartMilliseconds() {
    std::ifstream file("/proc/self/stat");
    std::string line;
    if (!std::getline(file, line)) return -1;
    // The command name (field 2) may hold blanks and parentheses; the fields
    // after it start behind its last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    // Fields 3 .. 21, then 22 is the start time.
    for (int index = 3; index <= 21; ++index)
        if (!(rest >> field)) return -1;
    unsigned long long ticks = 0;
    if (!(rest >> ticks)) return -1;
    const long perSecond = sysconf(_SC_CLK_TCK);
    if (perSecond <= 0) return -1;
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(perSecond);
}

std::vector<StartupPhase>& Phases() {
    static std::vector<StartupPhase> phases;
    return phases;
}

}  // namespace

double MillisecondsSinceProcessStart() {
    static const double start = [] {
        const double kernel = ProcessStartMilliseconds();
        return kernel >= 0 ? kernel : BootClockMilliseconds();
    }();
    return BootClockMilliseconds() - start;
}

void MarkStartupPhase(const std::string& name) { Phases().push_back({name, MillisecondsSinceProcessStart()}); }

const std::vector<StartupPhase>& StartupPhases() { return Phases(); }

void ClearStartupPhases() { Phases().clear(); }

std::string FormatStartupTable(const std::vector<StartupPhase>& phases) {
    std::string table = "Start-up (ms since the process was created, and the phase's own share):\n";
    double previous = 0;
    for (const StartupPhase& phase : phases) {
        char line[64];
        std::snprintf(line, sizeof line, "  %8.0f  %+7.0f  ", phase.milliseconds, phase.milliseconds - previous);
        table += line;
        table += phase.name;
        table += '\n';
        previous = phase.milliseconds;
    }
    return table;
}

}  // namespace ridgeforge::ui
