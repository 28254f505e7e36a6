// The standard parallel algorithms silently run on one thread unless TBB is
// linked; this guards the build against losing it.
#include <algorithm>
#include <execution>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

TEST(ParallelAlgorithms, ForEachUsesSeveralThreads) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core only";
    std::vector<int> items(256);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::for_each(std::execution::par, items.begin(), items.end(), [&](int&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
    });
    EXPECT_GT(threads.size(), 1u);
}
