// Posting from worker threads to a window: every message arrives on the
// user-interface thread in the order posted, and none reaches a target that
// was retired, also when it was retired after the post and before delivery.
#include "ui/framework/UiPost.h"

#include <gtest/gtest.h>
#include <wx/app.h>

#include <thread>
#include <utility>
#include <vector>

#include "tests/support/ui/WxTest.h"

namespace ridgeforge::ui {
namespace {

using ridgeforge::testing::PumpEvents;
using ridgeforge::testing::PumpUntil;

struct Received {
    std::vector<std::pair<int, std::uint32_t>> messages;
    bool allOnUiThread = true;
};

UiTargetToken Recorder(Received& received) {
    const std::thread::id ui = std::this_thread::get_id();
    return MakeUiTarget([&received, ui](int message, std::uint32_t job) {
        received.allOnUiThread = received.allOnUiThread && std::this_thread::get_id() == ui;
        received.messages.emplace_back(message, job);
    });
}

TEST(UiPost, WorkersReachTheTargetOnTheUserInterfaceThreadInOrder) {
    Received received;
    const UiTargetToken target = Recorder(received);
    std::thread worker([target] {
        for (std::uint32_t i = 0; i < 50; ++i) UiPost(target, 0x8029, i);
        UiPost(target, 0x802a, 49);
    });
    worker.join();
    EXPECT_TRUE(received.messages.empty());  // nothing before the loop runs
    ASSERT_TRUE(PumpUntil([&] { return received.messages.size() == 51; }));
    EXPECT_TRUE(received.allOnUiThread);
    for (std::uint32_t i = 0; i < 50; ++i) EXPECT_EQ(received.messages[i], std::make_pair(0x8029, i));
    EXPECT_EQ(received.messages.back(), std::make_pair(0x802a, 49u));
}

TEST(UiPost, ARetiredTargetGetsNothingEvenOfWhatWasAlreadyQueued) {
    Received received;
    UiTargetToken target = Recorder(received);
    std::thread worker([target] { UiPost(target, 1, 7); });
    worker.join();
    // Queued, but the window goes before the loop delivers it.
    target->Retire();
    std::thread late([target] { UiPost(target, 2, 8); });
    late.join();
    PumpEvents(100);
    EXPECT_TRUE(received.messages.empty());

    // A worker may hold the last reference; a null target is ignored.
    std::weak_ptr<UiTarget> watch = target;
    std::thread holder([token = std::move(target)] { UiPost(token, 3, 9); });
    holder.join();
    PumpEvents(50);
    EXPECT_TRUE(watch.expired());
    UiPost(nullptr, 4, 10);
    PumpEvents(20);
    EXPECT_TRUE(received.messages.empty());
}

}  // namespace
}  // namespace ridgeforge::ui
