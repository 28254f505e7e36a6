// An allocator for plain records in big vectors that are filled on all
// threads right after they are sized, and then read in scattered order.
#pragma once

#include <sys/mman.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace ridgeforge::mesh {

// A vector's storage whose resize leaves new elements unwritten, so that the
// threads that fill them first also fault their pages in: tens of megabytes
// zeroed on one thread would cost as much as the parallel passes that then
// overwrite them. Only for plain records and numbers (aggregates or
// arithmetic types with a trivial destructor, which the fresh storage holds
// without a constructor run).
template <typename T>
struct UnwrittenAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnwrittenAllocator<U>;
    };
    UnwrittenAllocator() = default;
    template <typename U>
    UnwrittenAllocator(const UnwrittenAllocator<U>&) noexcept {}
    // Storage of 2 MiB or more is asked for in huge pages where the system
    // grants them (a hint, not a demand): the passes that read them (the
    // simplifier's collapses, a grid's buckets) jump across tens of
    // megabytes, and with small pages nearly every step also misses the
    // address translation cache.
    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / 2 / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHuge) return std::allocator<T>::allocate(n);
        const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
        void* p = std::aligned_alloc(kHuge, rounded);
        if (p == nullptr) throw std::bad_alloc();
        ::madvise(p, rounded, MADV_HUGEPAGE);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kHuge) return std::allocator<T>::deallocate(p, n);
        std::free(p);
    }
    static constexpr std::size_t kHuge = std::size_t{2} << 20;
    template <typename U>
    void construct(U*) noexcept {
        static_assert((std::is_aggregate_v<U> || std::is_arithmetic_v<U>)&&std::is_trivially_destructible_v<U>);
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

}  // namespace ridgeforge::mesh
