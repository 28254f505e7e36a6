#include "mesh/ScratchAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

using namespace ridgeforge::mesh;

// A block given back is the next one of its size class the thread takes,
// whatever the exact size asked within the class; another class, or a block
// below the smallest, is not handed out for it.
TEST(ScratchAllocator, GivenBackBlocksAreTakenAgainByTheirSizeClass) {
    void* first = TakeScratchBlock(40000);  // the 64 KiB class
    GiveBackScratchBlock(first, 40000);
    void* again = TakeScratchBlock(65536);
    EXPECT_EQ(again, first);
    void* other = TakeScratchBlock(65537);  // 128 KiB
    EXPECT_NE(other, first);
    GiveBackScratchBlock(other, 65537);
    GiveBackScratchBlock(again, 65536);
    void* lower = TakeScratchBlock(32769);  // 64 KiB again: the last given back there
    EXPECT_EQ(lower, first);
    GiveBackScratchBlock(lower, 32769);

    // A block dropped on another thread joins that thread's spares.
    void* moved = TakeScratchBlock(1 << 20);
    void* takenThere = nullptr;
    std::thread([&] {
        GiveBackScratchBlock(moved, 1 << 20);
        takenThere = TakeScratchBlock((1 << 20) - 100);
        GiveBackScratchBlock(takenThere, (1 << 20) - 100);
    }).join();
    EXPECT_EQ(takenThere, moved);
}

// Lists that grow side by side through the size classes keep their own
// values: no block is handed to two lists at once.
TEST(ScratchAllocator, ListsGrowingTogetherKeepTheirValues) {
    std::vector<ScratchVector<std::uint32_t>> lists(6);
    for (std::uint32_t i = 0; i < 200000; ++i) {
        for (std::size_t k = 0; k < lists.size(); ++k) {
            if (i % (k + 1) == 0) lists[k].push_back(i * 7 + static_cast<std::uint32_t>(k));
        }
        if (i == 100000) lists[2] = {};  // dropped midway, and started again
    }
    for (std::size_t k = 0; k < lists.size(); ++k) {
        const std::uint32_t from = k == 2 ? 100001 + (3 - 100001 % 3) % 3 : 0;
        std::size_t n = 0;
        for (std::uint32_t i = from; i < 200000; i += static_cast<std::uint32_t>(k + 1)) {
            ASSERT_LT(n, lists[k].size()) << k;
            ASSERT_EQ(lists[k][n++], i * 7 + k) << k;
        }
        EXPECT_EQ(n, lists[k].size()) << k;
    }
    ScratchVector<double> tiny(10, 1.5);  // below the smallest block: the C library's own
    EXPECT_EQ(std::accumulate(tiny.begin(), tiny.end(), 0.0), 15.0);
}
