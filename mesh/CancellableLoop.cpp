#include "mesh/CancellableLoop.h"

#include <chrono>
#include <string>

namespace ridgeforge::mesh {
namespace {

std::atomic<CancelContext*> current{nullptr};

std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool CallbackUsable(const CancelContext& context) {
    return context.callback != nullptr && static_cast<bool>(*context.callback);
}

// Asks the callback under the context's lock; a poll that finds it taken
// does not wait and answers from the stop flag.
bool AskUnlessBusy(CancelContext& context) {
    std::unique_lock<std::mutex> lock(context.mutex, std::try_to_lock);
    if (!lock.owns_lock()) return context.stop.load();
    context.askedAt.store(SteadyNanoseconds());
    if (!(*context.callback)(std::string(context.stageName), context.fraction)) context.stop.store(true);
    return context.stop.load();
}

}  // namespace

CancelContext* CurrentCancelContext() { return current.load(); }

ScopedCancelContext::ScopedCancelContext(CancelContext& context) : previous_(current.exchange(&context)) {}

ScopedCancelContext::~ScopedCancelContext() { current.store(previous_); }

bool PollCancel() { return PollCancel(current.load()); }

bool PollCancel(CancelContext* context) {
    if (context == nullptr) return false;
    if (context->stop.load()) return true;
    if (!CallbackUsable(*context)) return false;
    const std::uint32_t n = context->counter.fetch_add(1);
    if ((n & 31u) != 0) return false;
    return AskUnlessBusy(*context);
}

bool AskCancel(CancelContext* context) {
    if (context == nullptr) return false;
    if (context->stop.load()) return true;
    if (!CallbackUsable(*context)) return false;
    return AskUnlessBusy(*context);
}

bool AskCancelByClock(CancelContext* context) {
    if (context == nullptr) return false;
    if (context->stop.load()) return true;
    if (!CallbackUsable(*context)) return false;
    constexpr std::int64_t kGap = 10'000'000;
    // Only the thread that finds the gap passed first goes on to ask.
    std::int64_t last = context->askedAt.load();
    const std::int64_t now = SteadyNanoseconds();
    if (now - last < kGap || !context->askedAt.compare_exchange_strong(last, now)) return context->stop.load();
    return AskUnlessBusy(*context);
}

void EnterCancellableStage(const char* stageName) {
    CancelContext* context = current.load();
    if (context == nullptr) return;
    context->stageName = stageName;
    if (context->stop.load()) throw Stopped{};
    if (!CallbackUsable(*context)) return;
    bool goOn = true;
    {
        const std::lock_guard<std::mutex> lock(context->mutex);
        goOn = (*context->callback)(std::string(stageName), -1.0f);
    }
    if (!goOn) {
        context->stop.store(true);
        throw Stopped{};
    }
}

}  // namespace ridgeforge::mesh
