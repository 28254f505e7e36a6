#include "ui/framework/PeriodicTimer.h"

#include <wx/timer.h>

#include <algorithm>

namespace ridgeforge::ui {
namespace {
ManualTimerClock* g_clock = nullptr;
}

class PeriodicTimer::WxDriver : public wxTimer {
public:
    explicit WxDriver(PeriodicTimer& owner) : owner_(owner) {}
    void Notify() override {
        if (owner_.onTick_) owner_.onTick_();
    }

private:
    PeriodicTimer& owner_;
};

PeriodicTimer::PeriodicTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {}

PeriodicTimer::~PeriodicTimer() { Stop(); }

void PeriodicTimer::Start(int milliseconds) {
    Stop();
    period_ = std::max(1, milliseconds);
    if (g_clock != nullptr) {
        manual_ = true;
        due_ = g_clock->Now() + period_;
        g_clock->Add(this);
        return;
    }
    if (!wx_) wx_ = std::make_unique<WxDriver>(*this);
    wx_->Start(period_);
}

void PeriodicTimer::Stop() {
    if (manual_) {
        manual_ = false;
        if (g_clock != nullptr) g_clock->Remove(this);
    }
    if (wx_ && wx_->IsRunning()) wx_->Stop();
}

bool PeriodicTimer::IsRunning() const { return manual_ || (wx_ && wx_->IsRunning()); }

ManualTimerClock::ManualTimerClock() { g_clock = this; }

ManualTimerClock::~ManualTimerClock() {
    // Timers still running stop with the clock; they do not fall back to
    // real time behind the test's back.
    for (PeriodicTimer* timer : timers_) timer->manual_ = false;
    timers_.clear();
    if (g_clock == this) g_clock = nullptr;
}

ManualTimerClock* ManualTimerClock::Current() { return g_clock; }

void ManualTimerClock::Add(PeriodicTimer* timer) { timers_.push_back(timer); }

void ManualTimerClock::Remove(PeriodicTimer* timer) { std::erase(timers_, timer); }

void ManualTimerClock::Advance(int milliseconds) {
    const std::int64_t target = now_ + std::max(0, milliseconds);
    // A tick may start, stop or delete timers, so the earliest due timer is
    // looked for again after each one.
    for (;;) {
        PeriodicTimer* next = nullptr;
        for (PeriodicTimer* timer : timers_)
            if (timer->due_ <= target && (next == nullptr || timer->due_ < next->due_)) next = timer;
        if (next == nullptr) break;
        now_ = next->due_;
        next->due_ += next->period_;
        if (next->onTick_) next->onTick_();
    }
    now_ = target;
}

}  // namespace ridgeforge::ui
