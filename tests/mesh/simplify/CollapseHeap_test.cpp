// The collapse queue pops by cost, equal costs oldest first, however it was
// filled, and keeps that order when its entries are numbered again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <utility>
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

TEST(CollapseHeap, WaitingBandsKeepTheExactOrderAsPushesComeAndGo) {
    // Costs over many powers of two, so that most entries wait in bands, with
    // pushes cheaper than the heap's band, inside it (each cost lies 1/256 of
    // its power of two above the start of a band 1/128 wide), and repeats.
    // The reference is a plain ordered set of (cost, order); both must pop
    // alike throughout.
    CollapseHeap heap;
    std::set<std::pair<float, std::uint32_t>> reference;
    std::uint32_t state = 777;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const auto push = [&](float cost) {
        reference.insert({cost, heap.NextOrder()});
        heap.Push({cost, heap.NextOrder(), 0});
    };
    std::vector<CollapseCandidate> first;
    for (std::uint32_t i = 0; i < 20000; ++i)
        first.push_back({std::ldexp(1.0f + static_cast<float>(next() % 8) / 8.0f + 1.0f / 256.0f,
                                    static_cast<int>(next() % 40) - 20),
                         i, 0});
    heap.Assign(first);
    for (std::uint32_t i = 0; i < 20000; ++i) reference.insert({first[i].cost, i});
    std::size_t popped = 0;
    while (!heap.Empty()) {
        ASSERT_EQ(heap.Size(), reference.size());
        const CollapseCandidate top = heap.Pop();
        ASSERT_EQ(std::make_pair(top.cost, top.order), *reference.begin()) << "pop " << popped;
        reference.erase(reference.begin());
        ++popped;
        // Now and then entries of the cost just popped (a tie with what is
        // left of it), just below it, far above, and rarely of cost 0.
        if (popped % 3 == 0 && popped < 30000 && top.cost > 0.0f) {
            push(top.cost);
            push(top.cost * (1.0f - 1.0f / 1024.0f));
            push(top.cost * 3.0f);
        }
        if (popped % 997 == 0) push(0.0f);
    }
    EXPECT_TRUE(reference.empty());
    EXPECT_GT(popped, 20000u);

    // Zero of either sign is one cost: the older pops first.
    CollapseHeap zeros;
    zeros.Push({5.0f, 1, 0});
    zeros.Push({0.0f, 2, 0});
    zeros.Push({-0.0f, 3, 0});
    zeros.Push({-1.0f, 4, 0});
    EXPECT_EQ(PopAll(zeros), (std::vector<std::uint32_t>{4, 2, 3, 1}));
}

TEST(CollapseHeap, StaleEntriesAreLeftOutWhenTheirBandComesUp) {
    // 5000 entries of cost 1 fill the first heap (one band, more than a heap
    // takes at least); those of cost 2 and 4 wait. Entries already in the
    // heap pop whatever the predicate says, waiting ones it calls stale
    // never come out, and the rest keep their order.
    std::vector<CollapseCandidate> entries;
    for (std::uint32_t i = 0; i < 15000; ++i) entries.push_back({i % 3 == 0 ? 1.0f : (i % 3 == 1 ? 4.0f : 2.0f), i, 0});
    CollapseHeap heap;
    heap.Assign(entries);
    const auto odd = [](const CollapseCandidate& c) { return c.a % 2 == 1; };
    std::vector<std::uint32_t> popped;
    while (!heap.Empty()) popped.push_back(heap.Pop(odd).a);
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; i < 15000; i += 3) expected.push_back(i);
    for (std::uint32_t i = 2; i < 15000; i += 6) expected.push_back(i);
    for (std::uint32_t i = 4; i < 15000; i += 6) expected.push_back(i);
    EXPECT_EQ(popped, expected);
}
