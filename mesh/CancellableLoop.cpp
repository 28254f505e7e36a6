#include "mesh/CancellableLoop.h"

#include <string>

namespace ridgeforge::mesh {
namespace {

std::atomic<CancelContext*> current{nullptr};

bool CallbackUsable(const CancelContext& context) {
    return context.callback != nullptr && static_cast<bool>(*context.callback);
}

// Asks the callback under the context's lock; a poll that finds it taken
// does not wait and answers from the stop flag.
bool AskUnlessBusy(CancelContext& context) {
    std::unique_lock<std::mutex> lock(context.mutex, std::try_to_lock);
    if (!lock.owns_lock()) return context.stop.load();
    if (!(*context.callback)(std::string(context.stageName), -1.0f)) context.stop.store(true);
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
