// How a worker thread reaches a window: it posts a message and its job number
// to a target, and the pair is handed to the target's handler on the
// user-interface thread. The target is a shared liveness token that the
// window retires when it goes; the worker keeps its own reference to the
// token, never to the window. Whether the target is still alive is decided on
// the user-interface thread when the message is delivered, where the window
// also retires it, so a window that went between the post and the delivery is
// never called: its messages are dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace ridgeforge::ui {

using UiMessageHandler = std::function<void(int message, std::uint32_t job)>;

class UiTarget {
public:
    explicit UiTarget(UiMessageHandler handler) : handler_(std::move(handler)) {}

    // Any thread: false once the window has gone.
    bool Alive() const { return alive_.load(); }
    // User-interface thread, when the window goes: no handler call follows.
    void Retire() { alive_.store(false); }
    // User-interface thread: calls the handler unless the target was retired.
    void Deliver(int message, std::uint32_t job) const;

private:
    std::atomic<bool> alive_{true};
    UiMessageHandler handler_;
};

using UiTargetToken = std::shared_ptr<UiTarget>;

// User-interface thread: a live target for the window's handler.
UiTargetToken MakeUiTarget(UiMessageHandler handler);

// Any thread: queues the delivery of (message, job) to the target on the
// user-interface thread. Nothing happens for a null or retired target or
// while no application runs.
void UiPost(const UiTargetToken& target, int message, std::uint32_t job);

}  // namespace ridgeforge::ui
