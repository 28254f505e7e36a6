// An allocator for big arrays that start all zero and are then written only
// here and there, such as a grid of the cells a surface passes through, or
// written once by many threads, such as the contour lines of a print check.
#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace ridgeforge::mesh {

// Storage that comes zeroed from the system, and a resize that leaves the
// new elements as they came instead of writing zeros over them. A block of
// 2 MiB or more is mapped straight from the system: it costs the pages that
// are written, not hundreds of megabytes cleared on one thread. With
// `kHugePages` the block is asked for in huge pages (a hint, not a demand),
// and a written stretch costs one fault per 2 MiB, not one per 4 KiB: for
// storage written from end to end. Without, it is asked for in small pages
// (or the system may hand out huge ones anyway): for storage written here
// and there, where a huge page would be cleared whole for a few cells.
//
// Only for plain values whose bytes all zero are a zero value (numbers,
// points of numbers), and only for a vector that grows from empty: a vector
// that shrank keeps old values past its end, and a resize that grows it back
// would not clear them.
template <typename T, bool kHugePages = true>
struct ZeroPageAllocator {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    using value_type = T;
    template <typename U>
    struct rebind {
        using other = ZeroPageAllocator<U, kHugePages>;
    };
    ZeroPageAllocator() = default;
    template <typename U>
    ZeroPageAllocator(const ZeroPageAllocator<U, kHugePages>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / 2 / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= kHuge) {
            void* p = kHugePages ? MapAlignedToHugePages(bytes)
                                 : ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED) throw std::bad_alloc();
            ::madvise(p, bytes, kHugePages ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
            return static_cast<T*>(p);
        }
        void* p = std::calloc(n == 0 ? 1 : n, sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) >= kHuge) {
            ::munmap(p, n * sizeof(T));
            return;
        }
        std::free(p);
    }
    static constexpr std::size_t kHuge = std::size_t{2} << 20;

    // A mapping that starts on a huge page's boundary: the system hands out
    // huge pages only for whole aligned stretches, and a block that starts
    // mid-way had its first stretch, where written storage begins, in small
    // pages (the packed bricks of a small grid, 300 faults in all). Mapped a
    // huge page longer, with the ends past the aligned block given back.
    static void* MapAlignedToHugePages(std::size_t bytes) {
        const std::size_t span = bytes + kHuge;
        void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) return raw;
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kHuge - 1) & ~std::uintptr_t{kHuge - 1};
        constexpr std::uintptr_t kPage = 4096;
        const std::uintptr_t used = aligned + ((bytes + kPage - 1) & ~(kPage - 1));
        if (aligned > start) ::munmap(raw, aligned - start);
        if (start + span > used) ::munmap(reinterpret_cast<void*>(used), start + span - used);
        return reinterpret_cast<void*>(aligned);
    }

    template <typename U>
    void construct(U*) noexcept {}
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const ZeroPageAllocator<U, kHugePages>&) const noexcept {
        return true;
    }
};

}  // namespace ridgeforge::mesh
