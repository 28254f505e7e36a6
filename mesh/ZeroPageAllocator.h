// An allocator for big byte grids that start all zero and are then written
// only here and there, such as a grid of the cells a surface passes through.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace ridgeforge::mesh {

// Storage that comes zeroed from the system (calloc: fresh pages for a large
// block, which the system maps as shared zero pages until written), and a
// resize that leaves the new elements as they came instead of writing zeros
// over them. A grid that fills its box, such as the box of a rod lying
// across the diagonal, then costs the pages its surface writes, not
// hundreds of megabytes cleared and faulted in on one thread.
//
// Only for numbers, and only for a vector sized once from empty: a vector
// that shrank keeps old values past its end, and a resize that grows it back
// would not clear them.
template <typename T>
struct ZeroPageAllocator {
    static_assert(std::is_arithmetic_v<T>);
    using value_type = T;
    ZeroPageAllocator() = default;
    template <typename U>
    ZeroPageAllocator(const ZeroPageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / 2 / sizeof(T)) throw std::bad_array_new_length();
        void* p = std::calloc(n == 0 ? 1 : n, sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }

    template <typename U>
    void construct(U*) noexcept {}
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const ZeroPageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace ridgeforge::mesh
