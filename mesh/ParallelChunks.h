// Chunked loops on the standard parallel algorithms' thread pool, shared by
// every data-parallel pass of the mesh code, and the start of a task on a
// thread of its own.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <execution>
#include <future>
#include <mutex>
#include <numeric>
#include <system_error>
#include <vector>

namespace ridgeforge::mesh {

// A chunk size that amortises the hand-over to a worker for light per-item work.
inline constexpr std::size_t kParallelChunk = 16384;

// The first exception thrown by any of several chunks, kept under a lock and
// rethrown once every chunk has finished: an exception escaping a parallel
// algorithm would end the process, and no worker may still run when the
// caller unwinds. Later exceptions are dropped.
class FirstException {
public:
    // Call from a catch block.
    void Keep() noexcept {
        const std::lock_guard<std::mutex> lock(guard_);
        if (!first_) first_ = std::current_exception();
    }
    bool Holds() const { return static_cast<bool>(first_); }
    void RethrowIfAny() const {
        if (first_) std::rethrow_exception(first_);
    }

private:
    std::mutex guard_;
    std::exception_ptr first_;
};

// Runs body(begin, end) over [0, n) in chunks of k. A single chunk runs on
// the calling thread. The first exception of any chunk is rethrown after all
// chunks have finished (FirstException).
template <typename Body>
void ForEachChunk(std::size_t n, std::size_t k, const Body& body) {
    if (n == 0) return;
    if (k == 0) k = 1;
    if (n <= k) {
        body(std::size_t{0}, n);
        return;
    }
    std::vector<std::size_t> chunks((n + k - 1) / k);
    std::iota(chunks.begin(), chunks.end(), std::size_t{0});
    FirstException first;
    std::for_each(std::execution::par, chunks.begin(), chunks.end(), [&](std::size_t c) {
        try {
            body(c * k, std::min(n, c * k + k));
        } catch (...) {
            first.Keep();
        }
    });
    first.RethrowIfAny();
}

// Starts fn on a thread of its own. When no thread can start (no memory
// for its stack under an address-space limit, or none left), fn is deferred
// instead and runs on the thread that takes its result.
template <typename Fn>
auto StartOrDefer(const Fn& fn) -> std::future<decltype(fn())> {
    try {
        return std::async(std::launch::async, fn);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, fn);
    }
}

// The stop of a pass that is never stopped.
struct NeverStop {
    bool operator()() const { return false; }
};

// Items 0 .. count - 1 ordered by bucket, stably (item order is kept within
// a bucket), by a counting sort over chunks that needs no atomics: each chunk
// counts its items per bucket, the counts become each chunk's run starts, and
// each chunk then places its items: place(i, position) puts item i at its
// position, which every position from 0 to count - 1 gets once. bucketOf(i)
// must be below `buckets`. Returns where each bucket's run starts (buckets + 1
// entries). With onCallerThread the whole range is one chunk, so the passes
// run on the calling thread. shouldStop() is asked before each chunk of
// either pass; once it says stop, the chunks left are skipped and the result
// is empty, since the positions are then not all placed.
template <typename BucketOf, typename Place, typename ShouldStop = NeverStop>
std::vector<std::uint64_t> StableBucketPlace(std::size_t count, std::size_t buckets, const BucketOf& bucketOf,
                                             const Place& place, bool onCallerThread = false,
                                             const ShouldStop& shouldStop = {}) {
    // At most 256 chunks, so that the table of runs stays small.
    const std::size_t chunkSize =
        onCallerThread ? std::max<std::size_t>(count, 1) : std::max<std::size_t>(65536, count / 256 + 1);
    const std::size_t chunks = (count + chunkSize - 1) / chunkSize;
    // Per chunk and bucket: first the count, then where the chunk's run starts.
    std::vector<std::uint64_t> runs(chunks * buckets, 0);
    std::atomic<bool> skipped{false};
    const auto stopHere = [&] {
        if (skipped.load(std::memory_order_relaxed) || shouldStop()) skipped.store(true);
        return skipped.load(std::memory_order_relaxed);
    };
    ForEachChunk(count, chunkSize, [&](std::size_t begin, std::size_t end) {
        if (stopHere()) return;
        std::uint64_t* counts = runs.data() + begin / chunkSize * buckets;
        for (std::size_t i = begin; i < end; ++i) ++counts[bucketOf(i)];
    });
    std::vector<std::uint64_t> bucketStart(buckets + 1, 0);
    std::uint64_t total = 0;
    for (std::size_t b = 0; b < buckets; ++b) {
        bucketStart[b] = total;
        for (std::size_t c = 0; c < chunks; ++c) {
            const std::uint64_t n = runs[c * buckets + b];
            runs[c * buckets + b] = total;
            total += n;
        }
    }
    bucketStart[buckets] = total;
    ForEachChunk(count, chunkSize, [&](std::size_t begin, std::size_t end) {
        if (stopHere()) return;
        std::uint64_t* next = runs.data() + begin / chunkSize * buckets;
        for (std::size_t i = begin; i < end; ++i) place(i, next[bucketOf(i)]++);
    });
    if (skipped.load()) return {};
    return bucketStart;
}

// StableBucketPlace writing each item's number to sorted[position].
template <typename Item, typename BucketOf>
std::vector<std::uint64_t> StableBucketOrder(std::size_t count, std::size_t buckets, const BucketOf& bucketOf,
                                             Item* sorted, bool onCallerThread = false) {
    return StableBucketPlace(
        count, buckets, bucketOf, [sorted](std::size_t i, std::uint64_t at) { sorted[at] = static_cast<Item>(i); },
        onCallerThread);
}

}  // namespace ridgeforge::mesh
