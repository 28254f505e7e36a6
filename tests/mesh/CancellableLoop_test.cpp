#include "mesh/CancellableLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace ridgeforge::mesh {
namespace {

using Range = std::pair<std::uint64_t, std::uint64_t>;

TEST(ParallelForChunks, CutsItemsIntoChunksAndPassesTheirIndex) {
    std::mutex guard;
    std::vector<std::pair<std::uint64_t, Range>> seen;
    ParallelForChunks<4096>(4097, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t chunk) {
        const std::lock_guard<std::mutex> lock(guard);
        seen.push_back({chunk, {begin, end}});
    });
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::pair<std::uint64_t, Range>{0, {0, 4096}}));
    EXPECT_EQ(seen[1], (std::pair<std::uint64_t, Range>{1, {4096, 4097}}));

    bool called = false;
    ParallelForChunks<8>(0, [&](std::uint64_t, std::uint64_t, std::uint64_t) { called = true; });
    EXPECT_FALSE(called);
}

TEST(ParallelForChunks, AStopSkipsEveryChunkThatHasNotStartedAndThrowsAfterTheLoop) {
    int calls = 0;
    const ProgressCallback answer = [&](const std::string& stage, float fraction) {
        ++calls;
        EXPECT_EQ(stage, "Displacing: building the solid");
        EXPECT_EQ(fraction, -1.0f);
        return false;
    };
    CancelContext context;
    context.callback = &answer;
    context.stageName = "Displacing: building the solid";
    const ScopedCancelContext published(context);
    std::atomic<int> ran{0};
    const auto body = [&](std::uint64_t, std::uint64_t, std::uint64_t) { ++ran; };
    // One chunk: its own poll is the first, which asks the callback.
    EXPECT_THROW(ParallelForChunks<16>(10, body), Stopped);
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(context.stop.load());
    // Once stopped, no chunk of any later loop starts and the callback is not asked again.
    EXPECT_THROW(ParallelForChunks<1>(1000, body), Stopped);
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(calls, 1);
}

TEST(ParallelForChunks, RunsToTheEndWithoutAContextOrCallback) {
    EXPECT_EQ(CurrentCancelContext(), nullptr);
    EXPECT_FALSE(PollCancel());
    std::atomic<std::uint64_t> items{0};
    ParallelForChunks<7>(1000, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) { items += end - begin; });
    EXPECT_EQ(items.load(), 1000u);

    // A context with no callback, or an empty one, never asks anything and
    // polls false until its stop is set.
    const ProgressCallback empty;
    for (const ProgressCallback* callback : {static_cast<const ProgressCallback*>(nullptr), &empty}) {
        CancelContext context;
        context.callback = callback;
        {
            const ScopedCancelContext published(context);
            for (int i = 0; i < 100; ++i) ASSERT_FALSE(PollCancel());
            context.stop.store(true);
            EXPECT_TRUE(PollCancel());
        }
        EXPECT_EQ(CurrentCancelContext(), nullptr);
    }
}

TEST(PollCancel, OnlyEveryThirtySecondPollAsksAndABusyCallbackIsNotWaitedFor) {
    int calls = 0;
    bool secondThreadPoll = true;
    std::uint32_t counterSeen = 0;
    const ProgressCallback answer = [&](const std::string&, float) {
        ++calls;
        if (calls == 1) {
            // Another thread's poll lands on a multiple of 32 while this call holds the lock.
            std::thread other([&] {
                for (int i = 0; i < 31; ++i) PollCancel();
                counterSeen = CurrentCancelContext()->counter.load();
                secondThreadPoll = PollCancel();
            });
            other.join();
            return false;
        }
        return true;
    };
    CancelContext context;
    context.callback = &answer;
    const ScopedCancelContext published(context);
    EXPECT_TRUE(PollCancel());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(counterSeen, 32u);
    EXPECT_FALSE(secondThreadPoll);
    EXPECT_TRUE(PollCancel());

    CancelContext counting;
    int asked = 0;
    const ProgressCallback goOn = [&](const std::string&, float) { return ++asked > 0; };
    counting.callback = &goOn;
    const ScopedCancelContext nested(counting);
    for (int i = 0; i < 65; ++i) EXPECT_FALSE(PollCancel());
    EXPECT_EQ(asked, 3);  // polls 1, 33 and 65
}

// A context handed down is asked by the serial poll at every call and by
// the chunk poll at its 1st, 33rd, ... call, never through the published
// one: a check on another thread must not see the run's stop.
TEST(PollCancel, AHandedDownContextIsAskedOnItsOwnAndNullNeverStops) {
    int handedCalls = 0, publishedCalls = 0;
    bool stopHanded = false;
    const ProgressCallback handed = [&](const std::string& stage, float) {
        ++handedCalls;
        EXPECT_EQ(stage, "Checking the mesh");
        return !stopHanded;
    };
    const ProgressCallback published = [&](const std::string&, float) {
        ++publishedCalls;
        return false;
    };
    CancelContext run;
    run.callback = &published;
    const ScopedCancelContext scope(run);
    CancelContext check;
    check.callback = &handed;
    check.stageName = "Checking the mesh";
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(AskCancel(&check));
    EXPECT_EQ(handedCalls, 5);
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(PollCancel(&check));
    EXPECT_EQ(handedCalls, 7);  // polls 1 and 33
    EXPECT_NO_THROW(ThrowIfStopped(&check));
    EXPECT_EQ(handedCalls, 8);
    EXPECT_EQ(publishedCalls, 0);
    EXPECT_FALSE(run.stop.load());

    stopHanded = true;
    EXPECT_THROW(ThrowIfStopped(&check), Stopped);
    EXPECT_EQ(handedCalls, 9);
    // Stopped once, every poll says so without asking again.
    EXPECT_TRUE(PollCancel(&check));
    EXPECT_TRUE(AskCancel(&check));
    EXPECT_EQ(handedCalls, 9);

    EXPECT_FALSE(AskCancel(nullptr));
    EXPECT_FALSE(PollCancel(nullptr));
    EXPECT_NO_THROW(ThrowIfStopped(nullptr));
    CancelContext empty;
    const ProgressCallback none;
    empty.callback = &none;
    EXPECT_FALSE(AskCancel(&empty));
    EXPECT_EQ(publishedCalls, 0);
}

TEST(WorkPoll, LooksAtTheClockEveryThousandUnitsAndAsksAtMostEveryTenMilliseconds) {
    using Clock = std::chrono::steady_clock;
    int calls = 0;
    bool stopNext = false;
    const ProgressCallback answer = [&](const std::string& stage, float fraction) {
        ++calls;
        EXPECT_EQ(stage, "Reading the surface");
        EXPECT_EQ(fraction, -1.0f);
        return !stopNext;
    };
    CancelContext context;
    context.callback = &answer;
    context.stageName = "Reading the surface";
    const auto sleepPastGap = [] { std::this_thread::sleep_for(std::chrono::milliseconds(12)); };

    // Under 1,024 units the clock is not read, however long ago the last ask was.
    WorkPoll poll(&context);
    sleepPastGap();
    EXPECT_FALSE(poll.Add(1000));
    EXPECT_FALSE(poll.Add(23));
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(poll.Add(1));  // 1,024: the gap has passed, so it asks
    EXPECT_EQ(calls, 1);

    // Right after an ask, looks answer from the flag until 10 ms have passed.
    const auto start = Clock::now();
    for (int i = 0; i < 2000; ++i) EXPECT_FALSE(poll.Add(1024));
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LE(calls, 2 + spent / 10) << spent << " ms";
    const int before = calls;
    sleepPastGap();
    EXPECT_FALSE(poll.Add(1024));
    EXPECT_EQ(calls, before + 1);

    // An ask through the context by other means restarts the gap as well.
    sleepPastGap();
    EXPECT_FALSE(AskCancel(&context));
    EXPECT_EQ(calls, before + 2);
    const auto asked = Clock::now();
    EXPECT_FALSE(poll.Add(1024));
    if (Clock::now() - asked < std::chrono::milliseconds(10)) {
        EXPECT_EQ(calls, before + 2);
    }

    // A false answer stops; from then on every look says so without asking.
    stopNext = true;
    sleepPastGap();
    EXPECT_TRUE(poll.Add(1024));
    const int stoppedAt = calls;
    EXPECT_TRUE(StopSeen(&context));
    sleepPastGap();
    EXPECT_TRUE(poll.Add(1024));
    EXPECT_TRUE(AskCancelByClock(&context));
    EXPECT_EQ(calls, stoppedAt);

    // No context, or a context without a callback, never stops.
    WorkPoll none(nullptr);
    EXPECT_FALSE(none.Add(1u << 30));
    EXPECT_FALSE(StopSeen(nullptr));
    CancelContext silent;
    const ProgressCallback empty;
    silent.callback = &empty;
    WorkPoll quiet(&silent);
    EXPECT_FALSE(quiet.Add(4096));
    EXPECT_FALSE(StopSeen(&silent));
}

TEST(ParallelForChunks, KeepsTheFirstExceptionAndARealErrorWinsOverAStop) {
    FirstException first;
    try {
        throw std::runtime_error("first");
    } catch (...) {
        first.Keep();
    }
    try {
        throw std::logic_error("second");
    } catch (...) {
        first.Keep();
    }
    EXPECT_THROW(first.RethrowIfAny(), std::runtime_error);

    // Two chunks throw different errors; exactly one of them reaches the caller
    // after both chunks ran.
    std::atomic<int> ran{0};
    try {
        ParallelForChunks<1>(2, [&](std::uint64_t begin, std::uint64_t, std::uint64_t) {
            ++ran;
            if (begin == 0) throw std::runtime_error("zero");
            throw std::logic_error("one");
        });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::exception& e) {
        EXPECT_TRUE(std::string(e.what()) == "zero" || std::string(e.what()) == "one");
    }
    EXPECT_EQ(ran.load(), 2);

    // The chunk's own polls stop the run, then it fails: the failure is rethrown, not Stopped.
    const ProgressCallback stop = [](const std::string&, float) { return false; };
    CancelContext context;
    context.callback = &stop;
    context.counter.store(1);  // the loop's own poll does not ask
    const ScopedCancelContext published(context);
    EXPECT_THROW(ParallelForChunks<4>(4,
                                      [&](std::uint64_t, std::uint64_t, std::uint64_t) {
                                          while (!PollCancel()) {}
                                          throw std::runtime_error("real");
                                      }),
                 std::runtime_error);
    EXPECT_TRUE(context.stop.load());
}

TEST(ParallelForChunks, EnteringAStageAsksOnceAndStopsOnFalse) {
    std::vector<std::string> stages;
    bool goOn = true;
    const ProgressCallback answer = [&](const std::string& stage, float) {
        stages.push_back(stage);
        return goOn;
    };
    CancelContext context;
    context.callback = &answer;
    const ScopedCancelContext published(context);
    EnterCancellableStage("one");
    EXPECT_STREQ(context.stageName, "one");
    goOn = false;
    EXPECT_THROW(EnterCancellableStage("two"), Stopped);
    EXPECT_EQ(stages, (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(context.stop.load());
}

}  // namespace
}  // namespace ridgeforge::mesh
