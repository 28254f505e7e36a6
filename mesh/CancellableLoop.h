// Cancellable chunked parallel loops for the long passes of the solid relief.
//
// One process-wide context says which operation is running: its progress
// callback, the current stage text and a stop flag. Every chunk polls it
// before it starts; only every 32nd poll asks the callback (under a try-lock,
// so a poll never waits), so a poll costs one atomic increment. A stopped loop
// skips the chunks that have not started and throws `Stopped` once the running
// ones have finished; an exception from a chunk is kept (FirstException) and
// wins over the stop. With no context published, loops run to the end.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <execution>
#include <mutex>
#include <numeric>
#include <vector>

#include "mesh/ParallelChunks.h"
#include "mesh/Progress.h"

namespace ridgeforge::mesh {

// Thrown by a loop that saw the stop; the operation that published the
// context catches it and reports a stop.
struct Stopped {};

struct CancelContext {
    const ProgressCallback* callback = nullptr;  // may be null or hold an empty function
    const char* stageName = "";                  // the operation's current stage text
    float fraction = -1.0f;                      // what the polls' asks report; below 0 for none
    std::atomic<bool> stop{false};               // goes from false to true only
    std::atomic<std::uint32_t> counter{0};       // polls so far
    std::atomic<std::int64_t> askedAt{0};        // steady-clock nanoseconds of the last ask
    std::mutex mutex;                            // one callback call at a time
};

// The published context, or null.
CancelContext* CurrentCancelContext();

// Publishes a context for its lifetime and puts back the one before it on
// every exit, so a loop can never poll a context that has gone.
class ScopedCancelContext {
public:
    explicit ScopedCancelContext(CancelContext& context);
    ~ScopedCancelContext();
    ScopedCancelContext(const ScopedCancelContext&) = delete;
    ScopedCancelContext& operator=(const ScopedCancelContext&) = delete;

private:
    CancelContext* previous_;
};

// True when the current run is to stop; false with no context published.
bool PollCancel();

// The same poll of a context handed down rather than published: work that
// may run on any thread (a check the user-interface thread also runs while
// a run has its context published) asks only its own. Null never stops.
bool PollCancel(CancelContext* context);

// Like PollCancel, but asks the callback at every call (unless another
// thread is asking it): for serial passes that poll once per layer or per
// few thousand items, where every 32nd poll could be seconds apart.
bool AskCancel(CancelContext* context);

// Like AskCancel, but the callback is asked only when 10 ms have passed
// since it was last asked through the context (from any thread); in between
// it answers from the stop flag.
bool AskCancelByClock(CancelContext* context);

// The poll of one chunk of a pass whose items differ a thousandfold in cost
// (a triangle may cross ten grid lines or ten million), so that no count of
// items can say how often to ask. The chunk adds the work of each item, and
// every 1,024 units the clock decides (AskCancelByClock). Null never stops.
class WorkPoll {
public:
    explicit WorkPoll(CancelContext* context) : context_(context) {}
    // True once the run is to stop: the chunk then returns.
    bool Add(std::uint64_t work) {
        if (context_ == nullptr) return false;
        work_ += work;
        if (work_ < kWorkPerLook) return false;
        work_ = 0;
        return AskCancelByClock(context_);
    }

private:
    static constexpr std::uint64_t kWorkPerLook = 1024;
    CancelContext* context_;
    std::uint64_t work_ = 0;
};

// Whether a run handed this context has been told to stop; null never is.
inline bool StopSeen(const CancelContext* context) { return context != nullptr && context->stop.load(); }

// Throws `Stopped` when AskCancel says stop; null never does.
inline void ThrowIfStopped(CancelContext* context) {
    if (context != nullptr && AskCancel(context)) throw Stopped{};
}

// Runs body(begin, end, chunkIndex) over [0, count) in chunks of ChunkSize
// on the standard parallel algorithms' pool. Throws `Stopped` after the loop
// when the published context was stopped (also when every chunk ran), unless
// a chunk threw: its exception is rethrown instead.
template <std::uint64_t ChunkSize, typename Body>
void ParallelForChunks(std::uint64_t count, const Body& body) {
    static_assert(ChunkSize > 0);
    if (count == 0) return;
    CancelContext* context = CurrentCancelContext();
    std::vector<std::uint64_t> chunks((count + ChunkSize - 1) / ChunkSize);
    std::iota(chunks.begin(), chunks.end(), std::uint64_t{0});
    FirstException first;
    std::for_each(std::execution::par, chunks.begin(), chunks.end(), [&](std::uint64_t c) {
        if (context != nullptr && PollCancel()) return;
        try {
            const std::uint64_t begin = c * ChunkSize;
            body(begin, std::min(begin + ChunkSize, count), c);
        } catch (...) {
            first.Keep();
        }
    });
    first.RethrowIfAny();
    if (context != nullptr && context->stop.load()) throw Stopped{};
}

// Before a stage: the stage text becomes current and the callback is asked
// once with no measure of progress. Throws `Stopped` when it answers false.
void EnterCancellableStage(const char* stageName);

}  // namespace ridgeforge::mesh
