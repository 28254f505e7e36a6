// A timer that calls its function every period on the user-interface
// thread. Normally a window-library timer drives it; while a
// ManualTimerClock exists, timers started after it was made tick only when
// the clock is advanced, so that blinking and polling can be checked
// without waiting on the real clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace ridgeforge::ui {

class PeriodicTimer {
public:
    explicit PeriodicTimer(std::function<void()> onTick);
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // (Re)starts with the period; the first tick comes one period later.
    void Start(int milliseconds);
    void Stop();
    bool IsRunning() const;
    int Period() const { return period_; }

private:
    friend class ManualTimerClock;
    class WxDriver;

    std::function<void()> onTick_;
    std::unique_ptr<WxDriver> wx_;
    int period_ = 0;
    bool manual_ = false;
    std::int64_t due_ = 0;
};

// The clock of a test: while it exists, timers started tick when Advance
// passes their due time, in time order. One at a time per process.
class ManualTimerClock {
public:
    ManualTimerClock();
    ~ManualTimerClock();
    ManualTimerClock(const ManualTimerClock&) = delete;
    ManualTimerClock& operator=(const ManualTimerClock&) = delete;

    void Advance(int milliseconds);
    std::int64_t Now() const { return now_; }
    // How many manual timers are running.
    int RunningCount() const { return static_cast<int>(timers_.size()); }

    static ManualTimerClock* Current();

private:
    friend class PeriodicTimer;
    void Add(PeriodicTimer* timer);
    void Remove(PeriodicTimer* timer);

    std::int64_t now_ = 0;
    std::vector<PeriodicTimer*> timers_;
};

}  // namespace ridgeforge::ui
