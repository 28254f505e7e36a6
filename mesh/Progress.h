// The progress callback every long operation takes.
//
// The stage text names what is being done; the fraction runs 0..1 within the
// stage, and a negative fraction means the stage has no measurable progress.
// Returning false asks the operation to stop at its next check. An empty
// callback means no reporting, and the operation then never stops early.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace ridgeforge::mesh {

using ProgressCallback = std::function<bool(const std::string& stage, float fraction)>;

// Asks the callback, if any; true means "go on".
inline bool ReportProgress(const ProgressCallback& progress, const std::string& stage, float fraction) {
    return !progress || progress(stage, fraction);
}

// The asks of one serial pass whose steps and items vary too much in cost
// for a count to say when to ask: the callback is asked once a tenth of a
// second has passed since the last ask, judged by the clock at each Check
// and at every so many Ticks. A false answer is kept: from then on every
// Check and Tick says stop, without asking again.
class ProgressPoll {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPeriod{100};

    ProgressPoll(const ProgressCallback& progress, std::string stage, std::uint32_t ticksPerLook = 256)
        : progress_(progress), stage_(std::move(stage)), ticksPerLook_(ticksPerLook == 0 ? 1 : ticksPerLook) {}

    // Asks now; true means go on. The next ask is due a tenth of a second
    // after this one began, so a callback that itself takes that long is
    // asked again at the next look.
    bool Ask(float fraction) {
        if (stopped_) return false;
        if (!progress_) return true;
        next_ = Clock::now() + kPeriod;
        stopped_ = !progress_(stage_, fraction);
        return !stopped_;
    }
    // Whether a tenth of a second has passed since the last ask (or since
    // the poll was made), when there is a callback to ask.
    bool Due() const { return progress_ && Clock::now() >= next_; }
    // Asks when due; true means go on.
    bool Check(float fraction = -1.0f) { return stopped_ ? false : (Due() ? Ask(fraction) : true); }
    // For the items of a loop: looks at the clock every so many ticks.
    bool Tick(float fraction = -1.0f) {
        if (stopped_) return false;
        if (++ticks_ < ticksPerLook_) return true;
        ticks_ = 0;
        return Check(fraction);
    }
    bool Stopped() const { return stopped_; }

private:
    const ProgressCallback& progress_;
    std::string stage_;
    std::uint32_t ticksPerLook_;
    std::uint32_t ticks_ = 0;
    Clock::time_point next_ = Clock::now() + kPeriod;
    bool stopped_ = false;
};

}  // namespace ridgeforge::mesh
