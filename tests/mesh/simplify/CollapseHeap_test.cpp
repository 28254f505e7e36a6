// The collapse queue pops by cost, equal costs oldest first, however it was
// filled, and keeps that order when its entries are numbered again.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "mesh/simplify/internal/CollapseHeap.h"

using ridgeforge::mesh::CollapseCandidate;
using ridgeforge::mesh::CollapseHeap;

namespace {

// Costs with many ties (a few distinct values), from a fixed linear congruence.
std::vector<CollapseCandidate> Entries(std::uint32_t count) {
    std::vector<CollapseCandidate> out;
    std::uint32_t state = 12345;
    for (std::uint32_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        out.push_back({static_cast<float>((state >> 24) % 5), i, i + 1});
    }
    return out;
}

std::vector<std::uint32_t> PopAll(CollapseHeap& heap) {
    std::vector<std::uint32_t> out;
    while (!heap.Empty()) out.push_back(heap.Pop().a);
    return out;
}

}  // namespace

TEST(CollapseHeap, PopsByCostThenOldestWhateverTheFilling) {
    const std::vector<CollapseCandidate> entries = Entries(1000);
    // Worked out directly: stable sort by cost keeps the push order of ties.
    std::vector<std::uint32_t> expected;
    for (int cost = 0; cost < 5; ++cost) {
        for (const CollapseCandidate& e : entries) {
            if (e.cost == static_cast<float>(cost)) expected.push_back(e.a);
        }
    }
    CollapseHeap pushed;
    for (const CollapseCandidate& e : entries) pushed.Push(e);
    EXPECT_EQ(pushed.NextOrder(), 1000u);
    EXPECT_EQ(PopAll(pushed), expected);

    CollapseHeap assigned;
    assigned.Assign(entries);
    EXPECT_EQ(assigned.NextOrder(), 1000u);
    EXPECT_EQ(PopAll(assigned), expected);
}

TEST(CollapseHeap, PurgeAndRenumberKeepTheOrderOfWhatIsLeft) {
    const std::vector<CollapseCandidate> entries = Entries(600);
    CollapseHeap heap, reference;
    for (const CollapseCandidate& e : entries) {
        heap.Push(e);
        reference.Push(e);
    }
    // Pop a few, drop every third entry from both, number one of them again,
    // then push more of equal costs: they must still come after the old ones.
    for (int i = 0; i < 50; ++i) ASSERT_EQ(heap.Pop().a, reference.Pop().a);
    const auto third = [](const CollapseCandidate& c) { return c.a % 3 == 0; };
    heap.Purge(third);
    reference.Purge(third);
    EXPECT_EQ(heap.Size(), reference.Size());
    EXPECT_EQ(heap.Renumber(), heap.Size());
    EXPECT_LT(heap.Size(), 600u);
    for (std::uint32_t i = 0; i < 100; ++i) {
        const CollapseCandidate late{static_cast<float>(i % 5), 10000 + i, 0};
        heap.Push(late);
        reference.Push(late);
    }
    EXPECT_EQ(PopAll(heap), PopAll(reference));
}
