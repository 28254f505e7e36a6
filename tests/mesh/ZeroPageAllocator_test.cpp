#include "mesh/ZeroPageAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace ridgeforge::mesh;

// A block of huge pages starts on a 2 MiB boundary, whatever its length, so
// that its first written stretch can be a huge page; it comes zeroed, every
// byte to its end can be written, and blocks of lengths that are not whole
// pages come and go side by side.
TEST(ZeroPageAllocator, HugePageBlocksStartOnTheirBoundaryAndComeZeroed) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    std::vector<std::vector<std::uint8_t, ZeroPageAllocator<std::uint8_t>>> blocks;
    for (const std::size_t bytes : {kHuge, kHuge + 5, 3 * kHuge + 4097, 5 * kHuge - 1}) {
        auto& block = blocks.emplace_back();
        block.resize(bytes);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % kHuge, 0u) << bytes;
        EXPECT_EQ(block.front(), 0);
        EXPECT_EQ(block[bytes / 2], 0);
        EXPECT_EQ(block.back(), 0);
        block.front() = 1;
        block.back() = 2;
    }
    for (const auto& block : blocks) {
        EXPECT_EQ(block.front(), 1);
        EXPECT_EQ(block.back(), 2);
    }
    blocks.erase(blocks.begin() + 1);
    std::vector<std::uint8_t, ZeroPageAllocator<std::uint8_t>> again(kHuge + 5);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(again.data()) % kHuge, 0u);
    EXPECT_EQ(again.back(), 0);
    // Small pages are asked for as they come.
    std::vector<std::uint8_t, ZeroPageAllocator<std::uint8_t, false>> small(kHuge + 5);
    EXPECT_EQ(small.back(), 0);
}
