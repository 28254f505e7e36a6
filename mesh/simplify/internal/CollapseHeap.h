// The candidate queue of the edge-collapse simplifier: pops by cost, equal
// costs oldest first. Entries are never updated in place; the caller tells
// stale ones from the push order they carry (see `order`).
//
// Only the cheapest entries sit in a heap: a 4-ary min-heap of 16-byte entries
// laid out so that a node's four children fill one 64-byte cache line. The
// rest wait unsorted in bands of cost (the float's sign, exponent and top
// mantissa bits, so each band spans under 1 % of its cost), and a band joins
// the heap only when the heap runs empty. Every entry in a band costs more
// than every entry in the heap, so the pops come in exactly the order one
// heap of everything would give; but the heap stays small enough for the
// caches, where a heap of millions misses on nearly every level of every pop.
// Most entries go stale before their band comes up, and never reach it.
//
// Equal costs pop oldest first. Flat faces give whole regions of exactly zero
// cost; newest first would take the edges just offered around the last
// collapse again and again, piling collapses onto one vertex whose growing fan
// then refuses most of them. Oldest first sweeps the surface evenly.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "mesh/ParallelChunks.h"
#include "mesh/UnwrittenAllocator.h"

namespace ridgeforge::mesh {

struct CollapseCandidate {
    float cost = 0.0f;
    std::uint32_t a = 0;  // survives unless b is held and a is not
    std::uint32_t b = 0;
    std::uint32_t order = 0;  // set by the heap: the push's place in sequence
};

class CollapseHeap {
public:
    struct NeverStale {
        bool operator()(const CollapseCandidate&) const { return false; }
    };

    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_ + banded_; }
    const CollapseCandidate& Top() const { return At(0); }
    // The order the next push gets; every entry pushed so far has a lower one.
    std::uint32_t NextOrder() const { return pushes_; }

    void Push(const CollapseCandidate& entry) {
        const std::uint32_t band = Band(entry.cost);
        if (band > heapBand_ && size_ != 0) {
            AddToBand(band, entry).order = pushes_++;
            return;
        }
        // With the heap empty nothing waits in a band (see Pop), so the heap
        // may take the entry whatever its band.
        heapBand_ = std::max(heapBand_, band);
        Grow(size_ + 1);
        At(size_) = entry;
        At(size_).order = pushes_++;
        SiftUp(size_++);
    }

    // When the heap runs empty, the next bands refill it, leaving out the
    // entries the predicate calls stale (they would only be popped and
    // dropped); a stale entry must stay stale.
    template <typename Stale = NeverStale>
    CollapseCandidate Pop(Stale&& stale = {}) {
        const CollapseCandidate top = At(0);
        At(0) = At(--size_);
        if (size_ != 0) {
            SiftDown(0);
        } else if (banded_ != 0) {
            TakeBands(stale);
        }
        return top;
    }

    // Replaces the contents with the entries in the order given, less those
    // the predicate skips, as if each had been pushed in turn, and builds the
    // heap bottom-up: linear, where pushing one by one costs a sift each.
    // Millions of entries are sorted into their bands on all threads, stably:
    // each chunk counts its entries per band, the counts become each chunk's
    // run in the band, and each chunk then places its entries.
    template <typename Entries, typename Skip = NeverStale>
    void Assign(const Entries& entries, Skip&& skip = {}) {
        Clear();
        if (bands_.empty()) {
            bands_.resize(kBands);
            occupied_.assign(kBands / 64, 0);
        }
        const std::size_t count = entries.size();
        const std::size_t chunkSize = std::max<std::size_t>(65536, count / 16 + 1);
        const std::size_t chunks = (count + chunkSize - 1) / chunkSize;
        std::vector<std::uint32_t> runs(chunks * kBands, 0);
        std::vector<std::uint32_t> firstOrder(chunks + 1, 0);
        ForEachChunk(count, chunkSize, [&](std::size_t begin, std::size_t end) {
            std::uint32_t* counts = runs.data() + begin / chunkSize * kBands;
            std::uint32_t kept = 0;
            for (std::size_t i = begin; i < end; ++i) {
                if (skip(entries[i])) continue;
                ++counts[Band(entries[i].cost)];
                ++kept;
            }
            firstOrder[begin / chunkSize + 1] = kept;
        });
        for (std::size_t c = 0; c < chunks; ++c) firstOrder[c + 1] += firstOrder[c];
        for (std::uint32_t band = 0; band < kBands; ++band) {
            std::uint32_t total = 0;
            for (std::size_t c = 0; c < chunks; ++c) {
                const std::uint32_t n = runs[c * kBands + band];
                runs[c * kBands + band] = total;
                total += n;
            }
            if (total == 0) continue;
            bands_[band].resize(total);
            occupied_[band / 64] |= std::uint64_t{1} << (band % 64);
        }
        ForEachChunk(count, chunkSize, [&](std::size_t begin, std::size_t end) {
            std::uint32_t* next = runs.data() + begin / chunkSize * kBands;
            std::uint32_t order = firstOrder[begin / chunkSize];
            for (std::size_t i = begin; i < end; ++i) {
                if (skip(entries[i])) continue;
                const std::uint32_t band = Band(entries[i].cost);
                CollapseCandidate& slot = bands_[band][next[band]++];
                slot = entries[i];
                slot.order = order++;
            }
        });
        banded_ = firstOrder[chunks];
        pushes_ = firstOrder[chunks];
        TakeBands(NeverStale{});
    }

    // Drops the entries the predicate calls stale, keeping the order of the
    // others, and rebuilds the heap bottom-up.
    template <typename Stale>
    void Purge(Stale&& stale) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < size_; ++i) {
            if (i + kLookAhead < size_) Ahead(stale, At(i + kLookAhead));
            if (!stale(At(i))) At(kept++) = At(i);
        }
        size_ = kept;
        Heapify();
        ForEachBand([&](std::uint32_t band, BandEntries& entries) {
            std::size_t left = 0;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (i + kLookAhead < entries.size()) Ahead(stale, entries[i + kLookAhead]);
                if (!stale(entries[i])) entries[left++] = entries[i];
            }
            banded_ -= entries.size() - left;
            entries.resize(left);
            if (entries.empty()) ReleaseBand(band);
        });
        if (size_ == 0 && banded_ != 0) TakeBands(stale);
    }

    // Numbers the entries again from 0 in their present order, so that the
    // push count cannot run over; ties keep popping in the same order.
    // Returns the first order the next push gets.
    std::uint32_t Renumber() {
        std::vector<std::uint32_t> orders;
        orders.reserve(Size());
        for (std::size_t i = 0; i < size_; ++i) orders.push_back(At(i).order);
        ForEachBand([&](std::uint32_t, BandEntries& entries) {
            for (const CollapseCandidate& entry : entries) orders.push_back(entry.order);
        });
        std::sort(orders.begin(), orders.end());
        const auto renumber = [&](CollapseCandidate& entry) {
            entry.order = static_cast<std::uint32_t>(std::lower_bound(orders.begin(), orders.end(), entry.order) -
                                                     orders.begin());
        };
        for (std::size_t i = 0; i < size_; ++i) renumber(At(i));
        ForEachBand([&](std::uint32_t, BandEntries& entries) {
            for (CollapseCandidate& entry : entries) renumber(entry);
        });
        pushes_ = static_cast<std::uint32_t>(orders.size());
        return pushes_;
    }

private:
    // A band is the cost's bits in an order-keeping unsigned form (negative
    // costs below positive ones), less its lowest 16 bits: 2^16 bands, each
    // 1/128 of a power of two wide.
    static constexpr int kBandShift = 16;
    static constexpr std::uint32_t kBands = 1u << (32 - kBandShift);
    // A heap taken from the bands holds at least this many entries where the
    // bands have them: fewer refills, while it still fits in the caches.
    static constexpr std::size_t kLeastTaken = 4096;
    using BandEntries = std::vector<CollapseCandidate, UnwrittenAllocator<CollapseCandidate>>;

    static std::uint32_t Band(float cost) {
        return static_cast<std::uint32_t>(Key({cost, 0, 0, 0}) >> (32 + kBandShift));
    }

    void Clear() {
        size_ = 0;
        pushes_ = 0;
        heapBand_ = 0;
        ForEachBand([&](std::uint32_t band, BandEntries&) { ReleaseBand(band); });
        banded_ = 0;
    }

    CollapseCandidate& AddToBand(std::uint32_t band, const CollapseCandidate& entry) {
        if (bands_.empty()) {
            bands_.resize(kBands);
            occupied_.assign(kBands / 64, 0);
        }
        occupied_[band / 64] |= std::uint64_t{1} << (band % 64);
        ++banded_;
        BandEntries& entries = bands_[band];
        // Pushes land in many bands, whose ends go cold in between: the next
        // line of this one is fetched for writing before it is needed.
        if (entries.size() + 4 < entries.capacity()) __builtin_prefetch(entries.data() + entries.size() + 4, 1);
        return entries.emplace_back(entry);
    }

    void ReleaseBand(std::uint32_t band) {
        BandEntries().swap(bands_[band]);
        occupied_[band / 64] &= ~(std::uint64_t{1} << (band % 64));
    }

    // Calls visit(band, entries) for every band holding entries, cheapest first.
    template <typename Visit>
    void ForEachBand(Visit&& visit) {
        for (std::size_t word = 0; word < occupied_.size(); ++word) {
            for (std::uint64_t bits = occupied_[word]; bits != 0; bits &= bits - 1) {
                const auto band =
                    static_cast<std::uint32_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
                visit(band, bands_[band]);
            }
        }
    }

    // A band's entries are tested in a stream, each reading whatever the
    // predicate reads of its vertices, scattered; a predicate that can say
    // where is told some entries ahead, so that those reads overlap.
    static constexpr std::size_t kLookAhead = 16;
    template <typename Stale>
    static void Ahead(const Stale& stale, const CollapseCandidate& entry) {
        if constexpr (requires { stale.Prefetch(entry); }) stale.Prefetch(entry);
    }

    // Moves the cheapest bands into the empty heap, at least kLeastTaken
    // fresh entries where there are so many, and orders it bottom-up.
    template <typename Stale>
    void TakeBands(Stale&& stale) {
        std::size_t word = heapBand_ / 64;
        while (banded_ != 0 && size_ < kLeastTaken) {
            while (occupied_[word] == 0) ++word;
            const auto band =
                static_cast<std::uint32_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(occupied_[word])));
            BandEntries& entries = bands_[band];
            Grow(size_ + entries.size());
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (i + kLookAhead < entries.size()) Ahead(stale, entries[i + kLookAhead]);
                if (!stale(entries[i])) At(size_++) = entries[i];
            }
            banded_ -= entries.size();
            ReleaseBand(band);
            heapBand_ = band;
        }
        Heapify();
    }

    // Entry i lives at storage_[i + kLead]: with the storage starting on a
    // cache line, the children 4i+1 .. 4i+4 then start on one too.
    static constexpr std::size_t kLead = 3;

    template <typename T>
    struct LineAligned {
        using value_type = T;
        LineAligned() = default;
        template <typename U>
        LineAligned(const LineAligned<U>&) noexcept {}
        T* allocate(std::size_t n) { return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{64})); }
        void deallocate(T* p, std::size_t) noexcept { ::operator delete (p, std::align_val_t{64}); }
        friend bool operator==(const LineAligned&, const LineAligned&) { return true; }
    };

    CollapseCandidate& At(std::size_t i) { return storage_[i + kLead]; }
    const CollapseCandidate& At(std::size_t i) const { return storage_[i + kLead]; }

    void Grow(std::size_t count) {
        if (storage_.size() < count + kLead) storage_.resize(std::max(count + kLead, 2 * storage_.size()));
    }

    // The pop order as one integer: the cost's order-keeping bits above the
    // push order, so that a sift compares once and without branches.
    static std::uint64_t Key(const CollapseCandidate& x) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(x.cost + 0.0f);  // -0 as +0
        const std::uint32_t ordered = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
        return std::uint64_t{ordered} << 32 | x.order;
    }

    static bool Before(const CollapseCandidate& x, const CollapseCandidate& y) { return Key(x) < Key(y); }

    void Heapify() {
        if (size_ < 2) return;
        for (std::size_t i = (size_ - 2) / 4 + 1; i-- > 0;) SiftDown(i);
    }

    void SiftUp(std::size_t i) {
        const CollapseCandidate entry = At(i);
        while (i > 0) {
            const std::size_t parent = (i - 1) / 4;
            if (!Before(entry, At(parent))) break;
            At(i) = At(parent);
            i = parent;
        }
        At(i) = entry;
    }

    void SiftDown(std::size_t i) {
        const CollapseCandidate entry = At(i);
        const std::uint64_t key = Key(entry);
        for (;;) {
            const std::size_t first = 4 * i + 1;
            if (first >= size_) break;
            std::size_t best = first;
            std::uint64_t bestKey = Key(At(first));
            const std::size_t last = first + 4 < size_ ? first + 4 : size_;
            for (std::size_t c = first + 1; c < last; ++c) {
                const std::uint64_t k = Key(At(c));
                best = k < bestKey ? c : best;
                bestKey = k < bestKey ? k : bestKey;
            }
            if (bestKey >= key) break;
            At(i) = At(best);
            i = best;
        }
        At(i) = entry;
    }

    std::vector<CollapseCandidate, LineAligned<CollapseCandidate>> storage_;
    std::size_t size_ = 0;  // entries in the heap
    std::uint32_t pushes_ = 0;
    // Entries of this band or cheaper go into the heap; dearer ones wait in
    // bands_, whose occupied ones are marked in occupied_, banded_ in all.
    std::uint32_t heapBand_ = 0;
    std::vector<BandEntries> bands_;
    std::vector<std::uint64_t> occupied_;
    std::size_t banded_ = 0;
};

}  // namespace ridgeforge::mesh
