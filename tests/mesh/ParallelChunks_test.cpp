// The shared chunked loop and the chunked counting sort, on inputs of
// several chunks whose first and last chunk hold what a wrong join loses.
#include "mesh/ParallelChunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

namespace ridgeforge::mesh {
namespace {

TEST(ForEachChunk, EveryItemOnceInChunksOfTheGivenSize) {
    // Three whole chunks and one of a single item.
    std::vector<int> seen(3 * 1000 + 1, 0);
    std::mutex guard;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    ForEachChunk(seen.size(), 1000, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) ++seen[i];
        const std::lock_guard<std::mutex> lock(guard);
        ranges.emplace_back(begin, end);
    });
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<std::ptrdiff_t>(seen.size()));
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 1000}, {1000, 2000}, {2000, 3000},
                                                                         {3000, 3001}}));

    // One chunk, or none: on the calling thread; a chunk size of 0 counts as 1.
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ran;
    ForEachChunk(1000, 1000, [&](std::size_t begin, std::size_t end) {
        ran = std::this_thread::get_id();
        EXPECT_EQ(begin, 0u);
        EXPECT_EQ(end, 1000u);
    });
    EXPECT_EQ(ran, caller);
    ForEachChunk(0, 10, [](std::size_t, std::size_t) { ADD_FAILURE() << "no items, no call"; });
    std::atomic<int> calls{0};
    ForEachChunk(3, 0, [&](std::size_t begin, std::size_t end) {
        EXPECT_EQ(end, begin + 1);
        ++calls;
    });
    EXPECT_EQ(calls.load(), 3);
}

TEST(ForEachChunk, AnExceptionOfTheLastChunkComesAfterEveryChunkRan) {
    std::vector<std::atomic<int>> done(40);
    try {
        ForEachChunk(40 * 500, 500, [&](std::size_t begin, std::size_t) {
            if (begin == 39 * 500) throw std::runtime_error("last");
            ++done[begin / 500];
        });
        ADD_FAILURE() << "the exception was lost";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "last");
    }
    for (std::size_t c = 0; c < 39; ++c) EXPECT_EQ(done[c].load(), 1) << c;
}

// Items in the order a plain stable sort by bucket gives, and where each
// bucket starts.
void ExpectStableBucketOrder(std::size_t count, std::size_t buckets, const std::vector<std::uint32_t>& bucketOf,
                             bool onCallerThread) {
    std::vector<std::uint32_t> sorted(count, 0xFFFFFFFFu);
    const std::vector<std::uint64_t> start = StableBucketOrder(
        count, buckets, [&](std::size_t i) { return bucketOf[i]; }, sorted.data(), onCallerThread);
    std::vector<std::uint32_t> expected(count);
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return bucketOf[a] < bucketOf[b]; });
    EXPECT_TRUE(sorted == expected);
    std::vector<std::uint64_t> expectedStart(buckets + 1, 0);
    for (const std::uint32_t b : bucketOf) ++expectedStart[b + 1];
    std::partial_sum(expectedStart.begin(), expectedStart.end(), expectedStart.begin());
    EXPECT_EQ(start, expectedStart);
}

TEST(StableBucketOrder, SeveralChunksGiveThePlainStableSort) {
    // 200,003 items: four chunks of 65,536, the last a short one. Bucket 35
    // is used only in the first chunk and bucket 36 only in the last; bucket
    // 34 not at all.
    const std::size_t count = 200'003, buckets = 37;
    std::vector<std::uint32_t> bucketOf(count);
    for (std::size_t i = 0; i < count; ++i) bucketOf[i] = static_cast<std::uint32_t>((i * 7919 + i / 1000) % 34);
    for (std::size_t i = 0; i < 10; ++i) bucketOf[3 * i] = 35;
    for (std::size_t i = count - 7; i < count; ++i) bucketOf[i] = 36;
    ExpectStableBucketOrder(count, buckets, bucketOf, false);
    ExpectStableBucketOrder(count, buckets, bucketOf, true);
    ExpectStableBucketOrder(0, buckets, {}, false);
}

TEST(StableBucketPlace, AStopSkipsTheChunksLeftAndGivesNoStarts) {
    // 200,003 items in four chunks, so each pass asks four times.
    const std::size_t count = 200'003, buckets = 5;
    const auto bucketOf = [](std::size_t i) { return (i * 7919) % buckets; };
    const auto run = [&](int stopAtAsk, int& asks, std::size_t& placed, bool& outOfRange) {
        asks = 0;
        std::atomic<std::size_t> places{0};
        std::atomic<bool> outside{false};
        std::mutex guard;
        const std::vector<std::uint64_t> starts = StableBucketPlace(
            count, buckets, bucketOf,
            [&](std::size_t, std::uint64_t at) {
                ++places;
                if (at >= count) outside = true;
            },
            false,
            [&] {
                const std::lock_guard<std::mutex> lock(guard);
                return ++asks >= stopAtAsk;
            });
        placed = places;
        outOfRange = outside;
        return starts;
    };
    int asks = 0;
    std::size_t placed = 0;
    bool outOfRange = false;
    // Never stopped: every chunk of both passes asks once, and the starts
    // are those of the plain sort (bucket b holds the i with 7919 i = b).
    const std::vector<std::uint64_t> whole = run(1'000, asks, placed, outOfRange);
    EXPECT_EQ(asks, 8);
    EXPECT_EQ(placed, count);
    ASSERT_EQ(whole.size(), buckets + 1);
    std::vector<std::uint64_t> expected(buckets + 1, 0);
    for (std::size_t i = 0; i < count; ++i) ++expected[bucketOf(i) + 1];
    std::partial_sum(expected.begin(), expected.end(), expected.begin());
    EXPECT_EQ(whole, expected);
    // Stopped while counting (at its first and its third chunk): nothing is
    // placed, since a count cut short would put items past their runs.
    for (const int at : {1, 3}) {
        EXPECT_TRUE(run(at, asks, placed, outOfRange).empty()) << at;
        EXPECT_EQ(placed, 0u) << at;
    }
    // Stopped while placing: no starts, and nothing placed out of range.
    EXPECT_TRUE(run(6, asks, placed, outOfRange).empty());
    EXPECT_GT(placed, 0u);
    EXPECT_LT(placed, count);
    EXPECT_FALSE(outOfRange);
}

}  // namespace
}  // namespace ridgeforge::mesh
