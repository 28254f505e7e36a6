// The candidate queue of the edge-collapse simplifier: a 4-ary min-heap on
// cost. Four children per node halve the depth of a binary heap and keep a
// node's children in one cache line, which is what the pop-heavy collapse
// loop spends its time on. Entries are never updated in place; stale ones are
// recognised by the version counters they carry.
//
// Equal costs pop oldest first. Flat faces give whole regions of exactly zero
// cost; newest first would take the edges just offered around the last
// collapse again and again, piling collapses onto one vertex whose growing fan
// then refuses most of them. Oldest first sweeps the surface evenly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ridgeforge::mesh {

struct CollapseCandidate {
    float cost = 0.0f;
    std::uint32_t a = 0;  // survives unless b is held and a is not
    std::uint32_t b = 0;
    std::uint32_t versionA = 0;
    std::uint32_t versionB = 0;
    std::uint32_t order = 0;  // set by the heap: the push's place in sequence
};

class CollapseHeap {
public:
    bool Empty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }
    const CollapseCandidate& Top() const { return entries_.front(); }

    void Push(const CollapseCandidate& entry) {
        entries_.push_back(entry);
        entries_.back().order = pushes_++;
        SiftUp(entries_.size() - 1);
    }

    CollapseCandidate Pop() {
        const CollapseCandidate top = entries_.front();
        entries_.front() = entries_.back();
        entries_.pop_back();
        if (!entries_.empty()) SiftDown(0);
        return top;
    }

    // Drops the entries the predicate calls stale, keeping the order of the
    // others, and rebuilds the heap bottom-up.
    template <typename Stale>
    void Purge(Stale&& stale) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!stale(entries_[i])) entries_[kept++] = entries_[i];
        }
        entries_.resize(kept);
        if (kept < 2) return;
        for (std::size_t i = (kept - 2) / 4 + 1; i-- > 0;) SiftDown(i);
    }

private:
    static bool Before(const CollapseCandidate& x, const CollapseCandidate& y) {
        return x.cost < y.cost || (x.cost == y.cost && x.order < y.order);
    }

    void SiftUp(std::size_t i) {
        const CollapseCandidate entry = entries_[i];
        while (i > 0) {
            const std::size_t parent = (i - 1) / 4;
            if (!Before(entry, entries_[parent])) break;
            entries_[i] = entries_[parent];
            i = parent;
        }
        entries_[i] = entry;
    }

    void SiftDown(std::size_t i) {
        const CollapseCandidate entry = entries_[i];
        const std::size_t n = entries_.size();
        for (;;) {
            const std::size_t first = 4 * i + 1;
            if (first >= n) break;
            std::size_t best = first;
            const std::size_t last = first + 4 < n ? first + 4 : n;
            for (std::size_t c = first + 1; c < last; ++c) {
                if (Before(entries_[c], entries_[best])) best = c;
            }
            if (!Before(entries_[best], entry)) break;
            entries_[i] = entries_[best];
            i = best;
        }
        entries_[i] = entry;
    }

    std::vector<CollapseCandidate> entries_;
    std::uint32_t pushes_ = 0;
};

}  // namespace ridgeforge::mesh
