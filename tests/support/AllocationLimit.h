// Replaces the global allocation functions of the one test file that
// includes it: an allocation larger than the limit fails with
// std::bad_alloc, so that a test can make memory run out at a chosen size.
// The limit is lifted (the largest size_t) unless a test lowers it.
#pragma once

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace ridgeforge::test {

inline std::atomic<std::size_t> largestAllowedAllocation{std::numeric_limits<std::size_t>::max()};

inline void* AllocateWithinLimit(std::size_t size) {
    if (size > largestAllowedAllocation.load()) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace ridgeforge::test

void* operator new(std::size_t size) { return ridgeforge::test::AllocateWithinLimit(size); }
void* operator new[](std::size_t size) { return ridgeforge::test::AllocateWithinLimit(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
