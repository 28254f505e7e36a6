// An allocator for working lists that one piece of work builds and drops and
// the next builds again at about the same size, over and over, such as the
// lists of each crowded cell of the self-intersection search.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace ridgeforge::mesh {

// A block of at least `bytes` (rounded up to a power of two) from the
// calling thread's spare blocks, or new from the C library.
void* TakeScratchBlock(std::size_t bytes);
// Gives a block taken for `bytes` back to the calling thread's spares, or to
// the C library once the thread keeps enough of them.
void GiveBackScratchBlock(void* block, std::size_t bytes) noexcept;
// Blocks below this go to the C library straight away, which keeps small
// ones for reuse itself.
inline constexpr std::size_t kSmallestScratchBlock = std::size_t{16} << 10;

// A list's storage of 16 KiB or more is kept by the thread that drops it,
// for the next list it builds. Dropped to the C library, a block past its
// trim threshold went back to the system as free pages, and the next list
// took them again a fault at a time: some 900 faults for each check of a
// cone of 10,000 segments, several microseconds each on a virtual machine.
template <typename T>
struct ScratchAllocator {
    static_assert(alignof(T) <= alignof(std::max_align_t));
    using value_type = T;
    ScratchAllocator() = default;
    template <typename U>
    ScratchAllocator(const ScratchAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / 2 / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kSmallestScratchBlock) return std::allocator<T>{}.allocate(n);
        return static_cast<T*>(TakeScratchBlock(bytes));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kSmallestScratchBlock) return std::allocator<T>{}.deallocate(p, n);
        GiveBackScratchBlock(p, n * sizeof(T));
    }

    template <typename U>
    bool operator==(const ScratchAllocator<U>&) const noexcept {
        return true;
    }
};

template <typename T>
using ScratchVector = std::vector<T, ScratchAllocator<T>>;

}  // namespace ridgeforge::mesh
