// The candidate queue of the edge-collapse simplifier: a 4-ary min-heap on
// cost. Four children per node halve the depth of a binary heap; entries are
// 16 bytes and the storage is laid out so that a node's four children fill
// exactly one 64-byte cache line, which is what the pop-heavy collapse loop
// spends its time on. Entries are never updated in place; the caller tells
// stale ones from the push order they carry (see `order`).
//
// Equal costs pop oldest first. Flat faces give whole regions of exactly zero
// cost; newest first would take the edges just offered around the last
// collapse again and again, piling collapses onto one vertex whose growing fan
// then refuses most of them. Oldest first sweeps the surface evenly.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace ridgeforge::mesh {

struct CollapseCandidate {
    float cost = 0.0f;
    std::uint32_t a = 0;  // survives unless b is held and a is not
    std::uint32_t b = 0;
    std::uint32_t order = 0;  // set by the heap: the push's place in sequence
};

class CollapseHeap {
public:
    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_; }
    const CollapseCandidate& Top() const { return At(0); }
    // The order the next push gets; every entry pushed so far has a lower one.
    std::uint32_t NextOrder() const { return pushes_; }

    void Push(const CollapseCandidate& entry) {
        Grow(size_ + 1);
        At(size_) = entry;
        At(size_).order = pushes_++;
        SiftUp(size_++);
    }

    CollapseCandidate Pop() {
        const CollapseCandidate top = At(0);
        At(0) = At(--size_);
        if (size_ != 0) SiftDown(0);
        return top;
    }

    // Replaces the contents with the entries in the order given, as if each
    // had been pushed in turn, and builds the heap bottom-up: linear, where
    // pushing one by one costs a sift each.
    void Assign(const std::vector<CollapseCandidate>& entries) {
        size_ = 0;
        pushes_ = 0;
        Grow(entries.size());
        for (const CollapseCandidate& entry : entries) {
            At(size_) = entry;
            At(size_++).order = pushes_++;
        }
        Heapify();
    }

    // Drops the entries the predicate calls stale, keeping the order of the
    // others, and rebuilds the heap bottom-up.
    template <typename Stale>
    void Purge(Stale&& stale) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < size_; ++i) {
            if (!stale(At(i))) At(kept++) = At(i);
        }
        size_ = kept;
        Heapify();
    }

    // Numbers the entries again from 0 in their present order, so that the
    // push count cannot run over; ties keep popping in the same order.
    // Returns the first order the next push gets.
    std::uint32_t Renumber() {
        std::vector<std::uint32_t> orders(size_);
        for (std::size_t i = 0; i < size_; ++i) orders[i] = At(i).order;
        std::sort(orders.begin(), orders.end());
        for (std::size_t i = 0; i < size_; ++i) {
            At(i).order = static_cast<std::uint32_t>(std::lower_bound(orders.begin(), orders.end(), At(i).order) -
                                                     orders.begin());
        }
        pushes_ = static_cast<std::uint32_t>(size_);
        return pushes_;
    }

private:
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

    static bool Before(const CollapseCandidate& x, const CollapseCandidate& y) {
        return x.cost < y.cost || (x.cost == y.cost && x.order < y.order);
    }

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
        for (;;) {
            const std::size_t first = 4 * i + 1;
            if (first >= size_) break;
            std::size_t best = first;
            const std::size_t last = first + 4 < size_ ? first + 4 : size_;
            for (std::size_t c = first + 1; c < last; ++c) {
                if (Before(At(c), At(best))) best = c;
            }
            if (!Before(At(best), entry)) break;
            At(i) = At(best);
            i = best;
        }
        At(i) = entry;
    }

    std::vector<CollapseCandidate, LineAligned<CollapseCandidate>> storage_;
    std::size_t size_ = 0;
    std::uint32_t pushes_ = 0;
};

}  // namespace ridgeforge::mesh
