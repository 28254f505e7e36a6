// Each thread keeps the blocks it is given back in lists by size class (a
// power of two), up to a total, and hands them out again before asking the
// C library. A block may be given back on another thread than the one it
// was taken on: it then joins that thread's spares.
#include "mesh/ScratchAllocator.h"

#include <bit>
#include <cstdlib>
#include <vector>

namespace ridgeforge::mesh {
namespace {

// Size classes 2^14 .. 2^21 bytes. A larger block goes to the C library as
// asked, without rounding: the C library maps it afresh and reuses such
// blocks itself, and one taken rounded up to twice its size only pushed
// the thread's spares past what they may hold.
constexpr int kFirstClass = 14;
constexpr int kClasses = 8;
// What one thread keeps at most: several times the lists of the crowded
// cell of a fan of 10,000 triangles, and little beside a part's own memory.
constexpr std::size_t kMostKeptBytes = std::size_t{16} << 20;

// Set once the thread's spares are gone (at its end): a block given back
// after that goes to the C library.
thread_local bool sparesGone = false;

struct Spares {
    std::vector<void*> blocks[kClasses];
    std::size_t kept = 0;
    ~Spares() {
        sparesGone = true;
        for (auto& list : blocks)
            for (void* block : list) std::free(block);
    }
};
thread_local Spares spares;

int ClassOf(std::size_t bytes) { return static_cast<int>(std::bit_width(bytes - 1)) - kFirstClass; }

}  // namespace

void* TakeScratchBlock(std::size_t bytes) {
    const int c = ClassOf(bytes);
    if (c >= kClasses || sparesGone) {
        void* block = std::malloc(bytes);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    std::vector<void*>& list = spares.blocks[c];
    if (!list.empty()) {
        void* block = list.back();
        list.pop_back();
        spares.kept -= std::size_t{1} << (c + kFirstClass);
        return block;
    }
    void* block = std::malloc(std::size_t{1} << (c + kFirstClass));
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void GiveBackScratchBlock(void* block, std::size_t bytes) noexcept {
    const int c = ClassOf(bytes);
    if (c >= kClasses || sparesGone) {
        std::free(block);
        return;
    }
    const std::size_t size = std::size_t{1} << (c + kFirstClass);
    if (spares.kept + size > kMostKeptBytes) {
        std::free(block);
        return;
    }
    try {
        spares.blocks[c].push_back(block);
    } catch (const std::bad_alloc&) {
        std::free(block);
        return;
    }
    spares.kept += size;
}

}  // namespace ridgeforge::mesh
