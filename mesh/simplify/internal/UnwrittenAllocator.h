// An allocator for plain records in big vectors that are filled on all
// threads right after they are sized.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace ridgeforge::mesh {

// A vector's storage whose resize leaves new elements unwritten, so that the
// threads that fill them first also fault their pages in: tens of megabytes
// zeroed on one thread would cost as much as the parallel passes that then
// overwrite them. Only for plain records (aggregates with a trivial
// destructor, which the fresh storage holds without a constructor run).
template <typename T>
struct UnwrittenAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnwrittenAllocator<U>;
    };
    UnwrittenAllocator() = default;
    template <typename U>
    UnwrittenAllocator(const UnwrittenAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U*) noexcept {
        static_assert(std::is_aggregate_v<U> && std::is_trivially_destructible_v<U>);
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

}  // namespace ridgeforge::mesh
