// For each item of a list, the first item with an equal key: the shared core
// of the exact weld and the duplicate-triangle passes.
//
// Items go into an open-addressing table in parallel; a slot is claimed with
// a compare-and-swap and then only ever lowered to a smaller item number of
// the same key, so the table ends holding the first item of every key and the
// result does not depend on thread timing. Slots come from the top bits of the
// caller's 64-bit hash.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <execution>
#include <vector>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh::detail {

// first[i] = the smallest j with sameKey(i, j). hash(i) must be equal for
// items with equal keys. Items are numbered in 32 bits.
template <typename Hash, typename SameKey>
std::vector<std::uint32_t> FirstOccurrence(std::size_t count, Hash hash, SameKey sameKey) {
    constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::size_t size = 16;
    int bits = 4;
    while (size < 2 * count) {
        size <<= 1;
        ++bits;
    }
    const std::size_t mask = size - 1;
    std::vector<std::uint32_t> table(size, kEmpty);
    // `first` holds each item's slot until the last pass, when slots fit 32 bits.
    const bool slotsFit = bits <= 32;
    std::vector<std::uint32_t> first(count);
    const auto home = [&](std::uint64_t h) { return static_cast<std::size_t>(h >> (64 - bits)); };
    const auto probe = [&](std::size_t slot, auto&& stop) {
        while (!stop(slot)) slot = (slot + 1) & mask;
        return slot;
    };
    // The table is far larger than the caches and its slots are met at
    // random: each item's slot is fetched kAhead items before it is needed,
    // the hashes waiting in a ring meanwhile.
    constexpr std::size_t kAhead = 16;
    ForEachChunk(count, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t ring[kAhead];
        const auto fetch = [&](std::size_t i) {
            ring[i % kAhead] = hash(i);
            __builtin_prefetch(&table[home(ring[i % kAhead])]);
        };
        for (std::size_t i = begin; i < std::min(end, begin + kAhead); ++i) fetch(i);
        for (std::size_t i = begin; i < end; ++i) {
            const auto item = static_cast<std::uint32_t>(i);
            const std::uint64_t h = ring[i % kAhead];
            if (i + kAhead < end) fetch(i + kAhead);
            const std::size_t slot = probe(home(h), [&](std::size_t at) {
                std::atomic_ref<std::uint32_t> cell(table[at]);
                std::uint32_t held = cell.load(std::memory_order_acquire);
                if (held == kEmpty) {
                    if (cell.compare_exchange_strong(held, item, std::memory_order_acq_rel)) return true;
                    // Another item claimed the slot meanwhile: `held` now names it.
                }
                if (!sameKey(held, i)) return false;
                while (item < held && !cell.compare_exchange_weak(held, item, std::memory_order_acq_rel)) {}
                return true;
            });
            if (slotsFit) first[i] = static_cast<std::uint32_t>(slot);
        }
    });
    ForEachChunk(count, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (slotsFit && i + kAhead < end) __builtin_prefetch(&table[first[i + kAhead]]);
            const std::size_t slot =
                slotsFit ? first[i] : probe(home(hash(i)), [&](std::size_t at) { return sameKey(table[at], i); });
            first[i] = table[slot];
        }
    });
    return first;
}

}  // namespace ridgeforge::mesh::detail
