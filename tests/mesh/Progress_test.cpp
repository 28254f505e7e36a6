#include "mesh/Progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace ridgeforge::mesh {
namespace {

using Clock = std::chrono::steady_clock;

void SleepPastPeriod() { std::this_thread::sleep_for(ProgressPoll::kPeriod + std::chrono::milliseconds(10)); }

TEST(ProgressPoll, AsksOnlyOnceATenthOfASecondHasPassedAndKeepsAStop) {
    std::vector<float> asked;
    bool answer = true;
    const ProgressCallback progress = [&](const std::string& stage, float fraction) {
        EXPECT_EQ(stage, "Simplifying flat areas");
        asked.push_back(fraction);
        return answer;
    };
    ProgressPoll poll(progress, "Simplifying flat areas", 4);

    // Fresh, nothing is due; past the period, only every fourth tick looks.
    const auto made = Clock::now();
    EXPECT_TRUE(poll.Check(0.1f));
    if (Clock::now() - made < ProgressPoll::kPeriod) {
        EXPECT_TRUE(asked.empty());
    }
    SleepPastPeriod();
    EXPECT_TRUE(poll.Due());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(poll.Tick(0.2f));
    EXPECT_EQ(asked.size(), 0u);
    EXPECT_TRUE(poll.Tick(0.25f));
    ASSERT_EQ(asked, std::vector<float>{0.25f});

    // An ask starts the period again.
    const auto afterAsk = Clock::now();
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(poll.Tick(0.3f));
    EXPECT_TRUE(poll.Check(0.3f));
    if (Clock::now() - afterAsk < ProgressPoll::kPeriod) {
        EXPECT_EQ(asked.size(), 1u);
    }
    SleepPastPeriod();
    EXPECT_TRUE(poll.Check(0.4f));
    EXPECT_EQ(asked.back(), 0.4f);

    // Ask always asks; a false answer is kept without asking again.
    const std::size_t before = asked.size();
    answer = false;
    EXPECT_FALSE(poll.Ask(0.5f));
    EXPECT_TRUE(poll.Stopped());
    answer = true;
    SleepPastPeriod();
    EXPECT_FALSE(poll.Ask(0.6f));
    EXPECT_FALSE(poll.Check(0.6f));
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(poll.Tick(0.6f));
    EXPECT_EQ(asked.size(), before + 1);
}

TEST(ProgressPoll, ASlowCallbackIsAskedAgainAtTheNextLookAndNoCallbackNeverStops) {
    int calls = 0;
    const ProgressCallback slow = [&](const std::string&, float) {
        ++calls;
        SleepPastPeriod();
        return true;
    };
    ProgressPoll poll(slow, "Reading", 1);
    EXPECT_TRUE(poll.Ask(0.0f));
    // The period runs from the start of the last ask.
    EXPECT_TRUE(poll.Due());
    EXPECT_TRUE(poll.Tick());
    EXPECT_EQ(calls, 2);

    const ProgressCallback none;
    ProgressPoll quiet(none, "Reading", 1);
    SleepPastPeriod();
    EXPECT_FALSE(quiet.Due());
    EXPECT_TRUE(quiet.Ask(0.0f));
    EXPECT_TRUE(quiet.Check());
    EXPECT_TRUE(quiet.Tick());
    EXPECT_FALSE(quiet.Stopped());
}

}  // namespace
}  // namespace ridgeforge::mesh
