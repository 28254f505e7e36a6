// The self-intersection search: triangle records, the multi-level hashed grid
// and two parallel phases that feed candidate pairs to the exact test.
//
// The cheap rejections (same triangle, mask, box overlap, owning cell) come
// before the pair-test counter, and neighbours sharing a corner or an edge
// are decided by their own tests outside it, so only real candidates use the
// budget. A cell crowded with triangles that share a corner (the centre of a
// fanned round face, copies of one triangle) hands on only the neighbours
// whose directions from that corner meet (CrowdedBucket), so they stay about
// as many as the triangles. Grid cells are found by a 64-bit FNV-1a key over the level and the
// three cell coordinates; a level's buckets are runs of a sorted entry list,
// found through an open-addressed table on the key.
#include "relief/validation/SelfIntersections.h"

#include <algorithm>
#include <atomic>
#include <compare>
#include <bit>
#include <cmath>
#include <execution>
#include <limits>
#include <mutex>
#include <numeric>
#include <optional>

#include "mesh/ParallelChunks.h"
#include "mesh/ScratchAllocator.h"
#include "mesh/UnwrittenAllocator.h"
#include "relief/validation/internal/CrowdedBucket.h"
#include "relief/validation/internal/MainDirection.h"

namespace ridgeforge::mesh {
namespace {

// The search's arrays of millions of items: every item is written by the
// chunks of a parallel pass, so none is cleared on one thread first (a
// second or more on a busy machine, with no stop seen).
template <typename T>
using UnwrittenArray = std::vector<T, UnwrittenAllocator<T>>;

constexpr int kLevels = 8;
// A triangle sits at the finest level where its box covers at most this many cells.
constexpr std::uint64_t kMaxCellsPerTriangle = 64;
// Uncrowded buckets handed to a worker at a time.
constexpr std::size_t kBucketsPerRun = 64;
// Mask pre-filter: limits of the coarse ranges that are looked at cell by cell.
constexpr std::uint64_t kMarkedRangeLimit = 4096;
constexpr std::uint64_t kUnmarkedRangeLimit = 512;
// Cell coordinates are kept within this bound, so that a far or non-finite
// coordinate cannot overflow the conversion or the range arithmetic.
constexpr double kCoordinateBound = 1152921504606846976.0;  // 2^60

std::uint64_t CellKey(std::uint32_t level, std::int64_t x, std::int64_t y, std::int64_t z) {
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t h = 14695981039346656037ull ^ level;
    for (std::int64_t c : {x, y, z}) {
        h ^= static_cast<std::uint64_t>(c);
        h *= kPrime;
    }
    return h;
}

std::int64_t CellCoordinate(float value, double cellSize) {
    const double q = std::floor(static_cast<double>(value) / cellSize);
    if (!(q > -kCoordinateBound)) return static_cast<std::int64_t>(-kCoordinateBound);
    if (q > kCoordinateBound) return static_cast<std::int64_t>(kCoordinateBound);
    return static_cast<std::int64_t>(q);
}

struct Cell {
    std::int64_t x, y, z;
};

// The cell of the larger of the two box minima: the one cell that tests a
// pair. The cell coordinate grows with the value, so it is the larger of the
// two minima's cells on each axis.
Cell OwningCell(const Cell& aMin, const Cell& bMin) {
    return {std::max(aMin.x, bMin.x), std::max(aMin.y, bMin.y), std::max(aMin.z, bMin.z)};
}

// Boxes that only touch overlap.
bool BoxesOverlap(const TriangleRecord& a, const TriangleRecord& b) {
    for (int axis = 0; axis < 3; ++axis) {
        if (a.boxMin[axis] > b.boxMax[axis] || b.boxMin[axis] > a.boxMax[axis]) return false;
    }
    return true;
}

template <typename Visit>
void ForEachCell(const CellRange& r, const Visit& visit) {
    for (std::int64_t x = r.xLo; x <= r.xHi; ++x)
        for (std::int64_t y = r.yLo; y <= r.yHi; ++y)
            for (std::int64_t z = r.zLo; z <= r.zHi; ++z) visit(x, y, z);
}

// One level's buckets: the triangles of bucket i are triangles[starts[i]] up
// to triangles[starts[i + 1]], in ascending order.
struct GridLevel {
    UnwrittenArray<std::uint64_t> keys;
    UnwrittenArray<std::uint64_t> starts{0};
    UnwrittenArray<std::uint32_t> triangles;
    std::vector<std::uint32_t> table;  // bucket index + 1, 0 for a free slot
    int shift = 64;

    std::size_t Slot(std::uint64_t key) const {
        return shift >= 64 ? 0 : static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift);
    }

    void BuildTable() {
        int bits = 1;
        while ((std::size_t{1} << bits) < 2 * keys.size()) ++bits;
        shift = 64 - bits;
        table.assign(std::size_t{1} << bits, 0);
        const std::size_t mask = table.size() - 1;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            std::size_t s = Slot(keys[i]);
            while (table[s] != 0) s = (s + 1) & mask;
            table[s] = static_cast<std::uint32_t>(i + 1);
        }
    }

    // The bucket of a key, or -1.
    std::int64_t Find(std::uint64_t key) const {
        if (keys.empty()) return -1;
        const std::size_t mask = table.size() - 1;
        for (std::size_t s = Slot(key);; s = (s + 1) & mask) {
            const std::uint32_t entry = table[s];
            if (entry == 0) return -1;
            if (keys[entry - 1] == key) return entry - 1;
        }
    }
};

struct Search {
    Search(const TriangleMesh& m, std::uint64_t maximumPairTests, std::vector<std::uint32_t>& result)
        : mesh(m), limit(maximumPairTests), hits(result) {}

    const TriangleMesh& mesh;
    UnwrittenArray<TriangleRecord> records;
    double cellSize[kLevels] = {};
    UnwrittenArray<std::uint8_t> level;
    // The cell of each placed triangle's box minimum at its own level.
    UnwrittenArray<Cell> minCell;
    std::vector<std::uint8_t> active;
    const std::uint8_t* mask = nullptr;  // set only when the mask applies
    GridLevel grid[kLevels];

    std::atomic<std::uint64_t> pairTests{0};
    std::uint64_t limit = 0;
    std::atomic<std::uint8_t> stop{0};
    std::mutex resultGuard;
    std::vector<std::uint32_t>& hits;
    // The caller's stop: it ends the workers through `stop` as the budget
    // does, and is told apart from it by `cancelled`.
    CancelContext* cancel = nullptr;
    std::atomic<bool> cancelled{false};

    bool Stopped() const { return stop.load(std::memory_order_relaxed) != 0; }
    // Asks the caller; true (and every worker stops) when it wants a stop.
    bool PollStop() {
        if (cancel == nullptr || !PollCancel(cancel)) return Stopped();
        cancelled.store(true);
        stop.store(1);
        return true;
    }

    void Merge(const std::vector<std::uint32_t>& local) {
        if (local.empty()) return;
        const std::lock_guard<std::mutex> lock(resultGuard);
        hits.insert(hits.end(), local.begin(), local.end());
    }
};

// Neighbours, which share corner indices, meet where they share them; they
// cross when they meet anywhere else. Three shared corners are one triangle
// twice over.
bool NeighboursCross(const Search& s, std::uint32_t a, std::uint32_t b, bool& neighbours) {
    const std::uint32_t* ia = &s.mesh.indices[3 * std::size_t{a}];
    const std::uint32_t* ib = &s.mesh.indices[3 * std::size_t{b}];
    int shared = 0, aMask = 0, bMask = 0, aCorner = 0, bCorner = 0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (ia[i] != ib[j]) continue;
            ++shared;
            aMask |= 1 << i;
            bMask |= 1 << j;
            aCorner = i;
            bCorner = j;
        }
    }
    neighbours = shared != 0;
    if (shared == 1) return CornerNeighboursMeet(s.records[a], aCorner, s.records[b], bCorner);
    // An edge: the corner of each off it is the one bit its mask lacks. A
    // triangle that repeats a corner has no edge of its own to share.
    const int aOwn = 7 ^ aMask, bOwn = 7 ^ bMask;
    const auto single = [](int bit) { return bit == 1 || bit == 2 || bit == 4; };
    if (shared == 2 && single(aOwn) && single(bOwn)) {
        return EdgeNeighboursOverlap(s.records[a], aOwn >> 1, s.records[b], bOwn >> 1);
    }
    return false;
}

// The float at or just past a double, downwards or upwards.
float FloatBelow(double value) {
    const auto f = static_cast<float>(value);
    return static_cast<double>(f) > value ? std::nextafter(f, -std::numeric_limits<float>::infinity()) : f;
}
float FloatAbove(double value) {
    const auto f = static_cast<float>(value);
    return static_cast<double>(f) < value ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

// Triangles sampled to choose the frame of the boxes.
constexpr std::size_t kFrameSamples = 4096;

// Sum over the sampled triangles of their boxes' volumes, each side
// lengthened by `pad` so that flat boxes count by their area.
double PaddedVolume(const Vec3d& low, const Vec3d& high, double pad) {
    return (high.x - low.x + pad) * (high.y - low.y + pad) * (high.z - low.z + pad);
}

// The boxes are taken in the frame of the part's main direction when that
// makes them far smaller: the long sides of a rod lying across the axes
// have boxes that are nearly cubes, each crowding the cells of hundreds of
// others, and along the rod they are as thin as an upright rod's. A box only
// ever rules pairs out, and the box in any frame holds the triangle turned
// into it, so the pairs that can meet are the same in every frame; the
// exact tests read the corners as they are.
void TurnBoxesAlongMainDirection(Search& s) {
    const std::size_t n = s.records.size();
    const std::size_t stride = std::max<std::size_t>(1, n / kFrameSamples);
    MainDirection main;
    double largest = 0.0, sampled = 0.0;
    for (std::size_t t = 0; t < n; t += stride) {
        main.AddLongestEdge(s.records[t].corners);
        const Vec3f extent = s.records[t].boxMax - s.records[t].boxMin;
        const double l = std::max({extent.x, extent.y, extent.z});
        if (std::isfinite(l)) largest += l;
        ++sampled;
    }
    Vec3d axes[3];
    main.Frame(axes);
    const double pad = largest / sampled / 8.0;
    if (!(pad > 0.0) || !std::isfinite(pad)) return;
    double alongAxes = 0.0, alongFrame = 0.0;
    for (std::size_t t = 0; t < n; t += stride) {
        const TriangleRecord& r = s.records[t];
        Vec3d low, high;
        FrameBox(r.corners, axes, low, high);
        const double turned = PaddedVolume(low, high, pad);
        const double kept = PaddedVolume(ToDouble(r.boxMin), ToDouble(r.boxMax), pad);
        if (!std::isfinite(turned) || !std::isfinite(kept)) return;
        alongFrame += turned;
        alongAxes += kept;
    }
    if (!(alongFrame < 0.5 * alongAxes)) return;
    std::atomic<bool> overflow{false};
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(s.cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            TriangleRecord& r = s.records[t];
            Vec3d low, high;
            FrameBox(r.corners, axes, low, high);
            const bool wasFinite = IsFinite(r.boxMin) && IsFinite(r.boxMax);
            for (int axis = 0; axis < 3; ++axis) {
                r.boxMin[axis] = FloatBelow(low[axis]);
                r.boxMax[axis] = FloatAbove(high[axis]);
            }
            // A corner near the float range's end can turn to beyond it.
            if (wasFinite && !(IsFinite(r.boxMin) && IsFinite(r.boxMax))) overflow.store(true);
        }
    });
    if (StopSeen(s.cancel) || !overflow.load()) return;
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            TriangleRecord& r = s.records[t];
            r = MakeTriangleRecord(r.corners[0], r.corners[1], r.corners[2]);
        }
    });
}

void BuildRecords(Search& s) {
    const std::size_t n = s.mesh.TriangleCount();
    s.records.resize(n);
    const auto& v = s.mesh.vertices;
    const auto& idx = s.mesh.indices;
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(s.cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            s.records[t] =
                MakeTriangleRecord(v[idx[3 * t]].position, v[idx[3 * t + 1]].position, v[idx[3 * t + 2]].position);
        }
    });
    if (StopSeen(s.cancel)) return;
    TurnBoxesAlongMainDirection(s);
    if (StopSeen(s.cancel)) return;
    // The mean largest box extent. A non-finite extent would make every cell
    // size meaningless, so it adds nothing.
    double sum = 0.0;
    for (const TriangleRecord& r : s.records) {
        const Vec3f extent = r.boxMax - r.boxMin;
        const double largest = std::max({extent.x, extent.y, extent.z});
        if (std::isfinite(largest)) sum += largest;
    }
    const float base = std::max(static_cast<float>(sum / static_cast<double>(n)), 1e-6f);
    for (int L = 0; L < kLevels; ++L) {
        s.cellSize[L] = static_cast<double>(static_cast<float>(1u << (3 * L)) * base);
    }
}

struct CellPosition {
    std::int64_t x, y, z;
    auto operator<=>(const CellPosition&) const = default;
};

// Step 3: with a few marked triangles, only the unmarked ones near them (or
// too large to place cheaply) take part. A marked triangle too large to list
// its cells could meet any unmarked one, so then every triangle takes part.
void ApplyMask(Search& s) {
    const std::size_t n = s.records.size();
    const double coarse = s.cellSize[1];
    // Each marked triangle's range widened by one. Most lie in one cell,
    // which neighbouring triangles share: those cells are listed once and
    // the 27 around each added after, since listing the 27 around every one
    // of millions of marked triangles made the sort take seconds (the damage
    // search after simplifying a large part). A larger range is listed
    // widened, as it stands: its own cells times 27 would be far more.
    std::vector<CellPosition> own;
    std::vector<std::uint64_t> near;
    WorkPoll listing(s.cancel);
    for (std::size_t t = 0; t < n; ++t) {
        if (listing.Add(1)) return;
        if (s.mask[t] == 0) continue;
        CellRange r;
        const std::uint64_t cells = TriangleCellRange(s.records[t], coarse, r);
        if (cells > kMarkedRangeLimit) return;
        if (cells == 1) {
            const CellPosition cell{r.xLo, r.yLo, r.zLo};
            if (own.empty() || own.back() != cell) own.push_back(cell);
            continue;
        }
        r = {r.xLo - 1, r.xHi + 1, r.yLo - 1, r.yHi + 1, r.zLo - 1, r.zHi + 1};
        ForEachCell(r, [&](std::int64_t x, std::int64_t y, std::int64_t z) { near.push_back(CellKey(1, x, y, z)); });
    }
    std::sort(std::execution::par, own.begin(), own.end());
    own.erase(std::unique(own.begin(), own.end()), own.end());
    near.reserve(near.size() + 27 * own.size());
    for (const CellPosition& c : own) {
        const CellRange around{c.x - 1, c.x + 1, c.y - 1, c.y + 1, c.z - 1, c.z + 1};
        ForEachCell(around,
                    [&](std::int64_t x, std::int64_t y, std::int64_t z) { near.push_back(CellKey(1, x, y, z)); });
    }
    std::sort(std::execution::par, near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(s.cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            if (s.mask[t] != 0) continue;
            CellRange r;
            if (TriangleCellRange(s.records[t], coarse, r) > kUnmarkedRangeLimit) continue;
            bool isNear = false;
            ForEachCell(r, [&](std::int64_t x, std::int64_t y, std::int64_t z) {
                isNear = isNear || std::binary_search(near.begin(), near.end(), CellKey(1, x, y, z));
            });
            if (!isNear) s.active[t] = 0;
        }
    });
}

struct GridEntry {
    std::uint64_t key;
    std::uint32_t triangle;
    std::uint32_t level;
};

// Sorts n entries stably by key, all of whose keys agree above bit `below`:
// a counting pass on the next bits into the scratch, then insertion sorts.
void SortRunByKey(GridEntry* run, std::size_t n, int below, std::vector<GridEntry>& scratch,
                  std::vector<std::uint32_t>& counts) {
    const auto insertionSort = [](GridEntry* first, GridEntry* last) {
        for (GridEntry* i = first + 1; i < last; ++i) {
            const GridEntry item = *i;
            GridEntry* j = i;
            for (; j > first && (j - 1)->key > item.key; --j) *j = *(j - 1);
            *j = item;
        }
    };
    if (n < 2) return;
    const int bits = std::min({static_cast<int>(std::bit_width(n)), 16, below});
    if (n <= 32 || bits <= 0) {
        insertionSort(run, run + n);
        return;
    }
    const int shift = below - bits;
    const std::uint64_t digitMask = (std::uint64_t{1} << bits) - 1;
    const auto digit = [&](const GridEntry& e) { return static_cast<std::size_t>((e.key >> shift) & digitMask); };
    counts.assign((std::size_t{1} << bits) + 1, 0);
    for (std::size_t i = 0; i < n; ++i) ++counts[digit(run[i]) + 1];
    for (std::size_t d = 1; d < counts.size(); ++d) counts[d] += counts[d - 1];
    scratch.resize(n);
    for (std::size_t i = 0; i < n; ++i) scratch[counts[digit(run[i])]++] = run[i];
    // counts[d] now ends digit d's run, which the next digit's run starts at.
    std::copy(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(n), run);
    std::size_t from = 0;
    for (std::size_t d = 0; d + 1 < counts.size(); ++d) {
        const std::size_t to = counts[d];
        if (to - from > 1) insertionSort(run + from, run + to);
        from = to;
    }
}

// Entries ordered by level, key and triangle, from entries listed in
// triangle order. A stable counting pass on the level and the key's top bits
// leaves runs of a few thousand entries; a second stable counting pass on the
// next bits within each run, in a scratch that stays in cache, leaves runs of
// a few entries, which a stable insertion sort on the key finishes. Every
// step keeps the triangle order among equal keys.
UnwrittenArray<GridEntry> SortEntries(const UnwrittenArray<GridEntry>& entries, CancelContext* cancel) {
    constexpr int kTopBits = 10;
    const auto partitionOf = [&](std::size_t i) {
        return (std::size_t{entries[i].level} << kTopBits) |
               static_cast<std::size_t>(entries[i].key >> (64 - kTopBits));
    };
    UnwrittenArray<GridEntry> sorted(entries.size());
    const std::vector<std::uint64_t> starts = StableBucketPlace(
        entries.size(), std::size_t{kLevels} << kTopBits, partitionOf,
        [&](std::size_t i, std::uint64_t at) { sorted[at] = entries[i]; }, false,
        [&] { return AskCancelByClock(cancel); });
    if (starts.empty()) throw Stopped{};
    ForEachChunk(starts.size() - 1, 16, [&](std::size_t begin, std::size_t end) {
        std::vector<GridEntry> scratch;
        std::vector<std::uint32_t> counts;
        for (std::size_t p = begin; p < end; ++p) {
            if (AskCancelByClock(cancel)) return;
            GridEntry* run = sorted.data() + starts[p];
            SortRunByKey(run, static_cast<std::size_t>(starts[p + 1] - starts[p]), 64 - kTopBits, scratch, counts);
        }
    });
    return sorted;
}

// Fills each level's buckets from the sorted entries in parallel chunks: a
// first pass counts per chunk and level the triangles kept and the buckets
// opened, a second writes them where the counts before put them. Two cells
// whose keys collide share one bucket; a triangle in both is listed once.
void SplitIntoLevels(Search& s, const UnwrittenArray<GridEntry>& sorted) {
    const std::size_t n = sorted.size();
    const auto keep = [&](std::size_t i) {
        return i == 0 || sorted[i].level != sorted[i - 1].level || sorted[i].key != sorted[i - 1].key ||
               sorted[i].triangle != sorted[i - 1].triangle;
    };
    const auto opens = [&](std::size_t i) {
        return i == 0 || sorted[i].level != sorted[i - 1].level || sorted[i].key != sorted[i - 1].key;
    };
    struct Counts {
        std::uint64_t triangles[kLevels] = {};
        std::uint64_t buckets[kLevels] = {};
    };
    const std::size_t chunk = std::max<std::size_t>(kParallelChunk, n / 256 + 1);
    std::vector<Counts> counts((n + chunk - 1) / chunk);
    ForEachChunk(n, chunk, [&](std::size_t begin, std::size_t end) {
        Counts& c = counts[begin / chunk];
        WorkPoll poll(s.cancel);
        for (std::size_t i = begin; i < end; ++i) {
            if (poll.Add(1)) return;
            c.triangles[sorted[i].level] += keep(i) ? 1 : 0;
            c.buckets[sorted[i].level] += opens(i) ? 1 : 0;
        }
    });
    // A pass cut short counted too few for the second to write into.
    ThrowIfStopped(s.cancel);
    Counts total;
    for (Counts& c : counts) {
        for (int L = 0; L < kLevels; ++L) {
            std::swap(c.triangles[L], total.triangles[L]);
            total.triangles[L] += c.triangles[L];
            std::swap(c.buckets[L], total.buckets[L]);
            total.buckets[L] += c.buckets[L];
        }
    }
    for (int L = 0; L < kLevels; ++L) {
        GridLevel& g = s.grid[L];
        g.triangles.resize(total.triangles[L]);
        g.keys.resize(total.buckets[L]);
        g.starts.resize(total.buckets[L] + 1);
        g.starts.back() = total.triangles[L];
    }
    ForEachChunk(n, chunk, [&](std::size_t begin, std::size_t end) {
        Counts next = counts[begin / chunk];
        WorkPoll poll(s.cancel);
        for (std::size_t i = begin; i < end; ++i) {
            if (poll.Add(1)) return;
            if (!keep(i)) continue;
            const GridEntry& e = sorted[i];
            GridLevel& g = s.grid[e.level];
            if (opens(i)) {
                const std::uint64_t bucket = next.buckets[e.level]++;
                g.keys[bucket] = e.key;
                g.starts[bucket] = next.triangles[e.level];
            }
            g.triangles[next.triangles[e.level]++] = e.triangle;
        }
    });
    ThrowIfStopped(s.cancel);
    for (GridLevel& g : s.grid) {
        if (!g.keys.empty()) g.BuildTable();
    }
}

// Step 4: every active triangle in each cell of its own level.
void BuildGrid(Search& s) {
    const std::size_t n = s.records.size();
    s.level.resize(n);
    s.minCell.resize(n);
    UnwrittenArray<std::uint64_t> offsets(n + 1);
    offsets[0] = 0;
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(s.cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            s.level[t] = 0;
            s.minCell[t] = Cell{0, 0, 0};
            offsets[t + 1] = 0;
            if (s.active[t] == 0) continue;
            // A corner that is not finite has no place in the grid and no
            // meaningful crossing; such a triangle is left out.
            const TriangleRecord& rec = s.records[t];
            if (!IsFinite(rec.boxMin) || !IsFinite(rec.boxMax)) {
                s.active[t] = 0;
                continue;
            }
            CellRange r;
            int L = 0;
            std::uint64_t cells = 0;
            for (; L < kLevels - 1; ++L) {
                cells = TriangleCellRange(s.records[t], s.cellSize[L], r);
                if (cells <= kMaxCellsPerTriangle) break;
            }
            if (L == kLevels - 1) cells = TriangleCellRange(s.records[t], s.cellSize[L], r);
            s.level[t] = static_cast<std::uint8_t>(L);
            offsets[t + 1] = cells;
        }
    });
    // A part of millions of triangles takes seconds to put into the grid
    // on a busy machine: every chunk of each step looks at the stop by the
    // clock, and a step cut short ends the search here, before the next
    // step reads what it left unwritten.
    ThrowIfStopped(s.cancel);
    std::inclusive_scan(offsets.begin(), offsets.end(), offsets.begin());
    UnwrittenArray<GridEntry> entries(offsets[n]);
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(s.cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            if (s.active[t] == 0) continue;
            const std::uint32_t L = s.level[t];
            CellRange r;
            TriangleCellRange(s.records[t], s.cellSize[L], r);
            s.minCell[t] = {r.xLo, r.yLo, r.zLo};
            GridEntry* out = entries.data() + offsets[t];
            ForEachCell(r, [&](std::int64_t x, std::int64_t y, std::int64_t z) {
                *out++ = {CellKey(L, x, y, z), static_cast<std::uint32_t>(t), L};
            });
        }
    });
    ThrowIfStopped(s.cancel);
    UnwrittenArray<GridEntry> sorted = SortEntries(entries, s.cancel);
    entries = {};
    ThrowIfStopped(s.cancel);
    SplitIntoLevels(s, sorted);
}

// aMin and bMin: the cells of the two box minima at the pair's level.
void TestCandidatePair(Search& s, std::uint32_t a, std::uint32_t b, const Cell& cell, const Cell& aMin,
                       const Cell& bMin, std::vector<std::uint32_t>& local) {
    if (a == b) return;
    if (s.mask != nullptr && s.mask[a] == 0 && s.mask[b] == 0) return;
    const TriangleRecord& ra = s.records[a];
    const TriangleRecord& rb = s.records[b];
    if (!BoxesOverlap(ra, rb)) return;
    const Cell owner = OwningCell(aMin, bMin);
    if (owner.x != cell.x || owner.y != cell.y || owner.z != cell.z) return;
    // Neighbours reach here about as often as there are triangles, whatever
    // the shape (a crowded cell hands on only those that may meet), so they
    // are tested outside the budget that bounds the search of the rest.
    bool neighbours = false;
    if (NeighboursCross(s, a, b, neighbours)) local.insert(local.end(), {a, b});
    if (neighbours) return;
    // An unlimited search counts nothing: one counter that every worker bumps
    // for every pair cost more than the tests themselves on many cores.
    if (s.limit != std::numeric_limits<std::uint64_t>::max() && s.pairTests.fetch_add(1) >= s.limit) {
        s.stop.exchange(1);
        return;
    }
    if (TrianglesIntersect(ra, rb)) local.insert(local.end(), {a, b});
}

struct WorkItem {
    std::uint32_t level;
    std::uint64_t key;
    std::uint64_t begin, end;  // the bucket's run in its level's triangle list
};

// One pair of a bucket, tested only in the cell of its larger box minimum.
void TestBucketPair(Search& s, const WorkItem& item, std::uint32_t a, std::uint32_t b,
                    std::vector<std::uint32_t>& local) {
    // Overlap is tested again in the pair test; here it spares the key.
    if (!BoxesOverlap(s.records[a], s.records[b])) return;
    const Cell cell = OwningCell(s.minCell[a], s.minCell[b]);
    if (CellKey(item.level, cell.x, cell.y, cell.z) != item.key) return;
    TestCandidatePair(s, a, b, cell, s.minCell[a], s.minCell[b], local);
}

std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
    std::uint64_t p = 0;
    return __builtin_mul_overflow(a, b, &p) ? std::numeric_limits<std::uint64_t>::max() : p;
}

// The triangles of a crowded bucket that can be in a pair it tests. A pair
// is tested in the cell of the larger of its two box minima, so on every
// axis one of the two has its minimum in the bucket's own cell: a rod lying
// across the axes crosses many cells with the same long triangles, and all
// but the cells at their minima test none of their pairs. Keys can collide,
// so a bucket can hold more than one cell: it is left whole unless its one
// cell lies in every triangle's range and no other cell of their ranges has
// its key (a pair's cell lies in both triangles' ranges).
ScratchVector<std::uint32_t> OwningCandidates(const Search& s, const WorkItem& item) {
    constexpr std::uint64_t kMostCellsLookedAt = 4096;
    const std::uint32_t* list = s.grid[item.level].triangles.data();
    ScratchVector<std::uint32_t> all(list + item.begin, list + item.end);
    // The box of the triangles' ranges, given up on once it holds too many
    // cells to look through.
    const auto span = [](std::int64_t lo, std::int64_t hi) { return static_cast<std::uint64_t>(hi - lo) + 1; };
    ScratchVector<Cell> highest(all.size());
    CellRange around;
    for (std::size_t i = 0; i < all.size(); ++i) {
        CellRange r;
        TriangleCellRange(s.records[all[i]], s.cellSize[item.level], r);
        highest[i] = {r.xHi, r.yHi, r.zHi};
        around = i == 0 ? r : CellRange{std::min(around.xLo, r.xLo), std::max(around.xHi, r.xHi),
                                        std::min(around.yLo, r.yLo), std::max(around.yHi, r.yHi),
                                        std::min(around.zLo, r.zLo), std::max(around.zHi, r.zHi)};
        if (SaturatingProduct(SaturatingProduct(span(around.xLo, around.xHi), span(around.yLo, around.yHi)),
                              span(around.zLo, around.zHi)) > kMostCellsLookedAt)
            return all;
    }
    std::optional<Cell> here;
    int matching = 0;
    ForEachCell(around, [&](std::int64_t x, std::int64_t y, std::int64_t z) {
        if (CellKey(item.level, x, y, z) != item.key) return;
        here = Cell{x, y, z};
        ++matching;
    });
    if (matching != 1) return all;
    // The axes on which each triangle's minimum lies in this cell, as bits.
    const auto axesHere = [&](std::uint32_t t) {
        const Cell& m = s.minCell[t];
        return (m.x == here->x ? 1u : 0u) | (m.y == here->y ? 2u : 0u) | (m.z == here->z ? 4u : 0u);
    };
    std::size_t withAxes[8] = {};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Cell& low = s.minCell[all[i]];
        const Cell& high = highest[i];
        if (here->x < low.x || here->x > high.x || here->y < low.y || here->y > high.y || here->z < low.z ||
            here->z > high.z)
            return all;
        ++withAxes[axesHere(all[i])];
    }
    // For each set of axes, how many triangles have their minimum here on
    // at least those axes.
    std::size_t covering[8] = {};
    for (unsigned need = 0; need < 8; ++need)
        for (unsigned has = 0; has < 8; ++has)
            if ((has & need) == need) covering[need] += withAxes[has];
    ScratchVector<std::uint32_t> kept;
    for (std::uint32_t t : all) {
        const unsigned need = 7u & ~axesHere(t);
        // A triangle here on every axis pairs with any other.
        if (covering[need] > (need == 0 ? 1u : 0u)) kept.push_back(t);
    }
    return kept;
}

// Pairs of one bucket. A crowded one (the centre of a fanned face, copies of
// one triangle) hands on only the pairs that could meet, in time that follows
// the crowd rather than its square.
// Every pair of a few triangles of one bucket.
void TestEveryPair(Search& s, const WorkItem& item, const std::uint32_t* triangles, std::size_t count,
                   std::vector<std::uint32_t>& local) {
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            if (s.Stopped()) return;
            TestBucketPair(s, item, triangles[i], triangles[j], local);
        }
    }
}

void TestBucketPairs(Search& s, const WorkItem& item, std::vector<std::uint32_t>& local) {
    if (s.Stopped()) return;
    const std::uint32_t* list = s.grid[item.level].triangles.data();
    if (s.PollStop()) return;
    if (item.end - item.begin > kCrowdedCell) {
        const ScratchVector<std::uint32_t> owning = OwningCandidates(s, item);
        if (owning.size() <= kCrowdedCell) {
            TestEveryPair(s, item, owning.data(), owning.size(), local);
            return;
        }
        // The pairs of one crowded cell run in parallel chunks: each thread
        // counts its own pairs to space its polls, as one count that every
        // thread bumps would cost more than the tests.
        ForEachCrowdedPair(
            s.mesh, s.records, owning.data(), owning.size(),
            [&](std::uint32_t a, std::uint32_t b, std::vector<std::uint32_t>& found) {
                thread_local std::uint64_t pairs = 0;
                const bool poll = (++pairs & 1023u) == 0;
                if (poll ? s.PollStop() : s.Stopped()) return false;
                TestBucketPair(s, item, a, b, found);
                return true;
            },
            local);
        return;
    }
    TestEveryPair(s, item, list + item.begin, item.end - item.begin, local);
}

// Pairs of one triangle with the coarser triangles around it.
void TestCoarserLevelPairs(Search& s, std::uint32_t t, std::vector<std::uint32_t>& local) {
    for (std::uint32_t L = s.level[t] + 1u; L < kLevels && !s.Stopped(); ++L) {
        const GridLevel& g = s.grid[L];
        if (g.keys.empty()) continue;
        CellRange r;
        TriangleCellRange(s.records[t], s.cellSize[L], r);
        const Cell tMin{r.xLo, r.yLo, r.zLo};
        ForEachCell(r, [&](std::int64_t x, std::int64_t y, std::int64_t z) {
            const std::int64_t bucket = g.Find(CellKey(L, x, y, z));
            if (bucket < 0) return;
            for (std::uint64_t k = g.starts[bucket]; k < g.starts[bucket + 1]; ++k) {
                const std::uint32_t u = g.triangles[k];
                TestCandidatePair(s, t, u, Cell{x, y, z}, tMin, s.minCell[u], local);
            }
        });
    }
}

void RunPhases(Search& s) {
    // Room for every bucket at once: growing the list of a part of millions
    // of buckets copied it over and over, between two looks at the stop.
    std::size_t buckets = 0;
    for (const GridLevel& g : s.grid) buckets += g.keys.size();
    std::vector<WorkItem> work;
    work.reserve(buckets);
    WorkPoll listing(s.cancel);
    for (std::uint32_t L = 0; L < kLevels; ++L) {
        const GridLevel& g = s.grid[L];
        for (std::size_t b = 0; b < g.keys.size(); ++b) {
            if (listing.Add(1)) throw Stopped{};
            if (g.starts[b + 1] - g.starts[b] >= 2) work.push_back({L, g.keys[b], g.starts[b], g.starts[b + 1]});
        }
    }
    // A crowded bucket is a work item of its own: a few of them can hold
    // most of a part (the fans of a cone), and in one chunk they would run
    // on one thread.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    runs.reserve(work.size() / kBucketsPerRun + 1);
    for (std::size_t i = 0; i < work.size();) {
        if (listing.Add(1)) throw Stopped{};
        std::size_t end = i;
        while (end < work.size() && end - i < kBucketsPerRun && work[end].end - work[end].begin <= kCrowdedCell) ++end;
        if (end == i) ++end;
        runs.emplace_back(i, end);
        i = end;
    }
    ForEachChunk(runs.size(), 1, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t> local;
        for (std::size_t r = begin; r < end; ++r) {
            for (std::size_t i = runs[r].first; i < runs[r].second; ++i) TestBucketPairs(s, work[i], local);
        }
        s.Merge(local);
    });
    bool anyCoarse = false;
    for (int L = 1; L < kLevels; ++L) anyCoarse = anyCoarse || !s.grid[L].keys.empty();
    if (!anyCoarse) return;
    std::vector<std::uint32_t> activeTriangles;
    for (std::size_t t = 0; t < s.active.size(); ++t) {
        if (s.active[t] != 0) activeTriangles.push_back(static_cast<std::uint32_t>(t));
    }
    ForEachChunk(activeTriangles.size(), 1024, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t> local;
        for (std::size_t i = begin; i < end; ++i) {
            if ((i - begin) % 64 == 0 ? s.PollStop() : s.Stopped()) break;
            TestCoarserLevelPairs(s, activeTriangles[i], local);
        }
        s.Merge(local);
    });
}

}  // namespace

std::uint64_t TriangleCellRange(const TriangleRecord& triangle, double cellSize, CellRange& range) {
    range.xLo = CellCoordinate(triangle.boxMin.x, cellSize);
    range.xHi = CellCoordinate(triangle.boxMax.x, cellSize);
    range.yLo = CellCoordinate(triangle.boxMin.y, cellSize);
    range.yHi = CellCoordinate(triangle.boxMax.y, cellSize);
    range.zLo = CellCoordinate(triangle.boxMin.z, cellSize);
    range.zHi = CellCoordinate(triangle.boxMax.z, cellSize);
    const auto span = [](std::int64_t lo, std::int64_t hi) {
        return hi < lo ? std::uint64_t{0} : static_cast<std::uint64_t>(hi - lo) + 1;
    };
    return SaturatingProduct(SaturatingProduct(span(range.xLo, range.xHi), span(range.yLo, range.yHi)),
                             span(range.zLo, range.zHi));
}

void FindSelfIntersections(const TriangleMesh& mesh, const std::vector<std::uint8_t>* triangleMask,
                           std::uint64_t maximumPairTests, std::vector<std::uint32_t>& hits, bool& stoppedEarly,
                           CancelContext* cancel) {
    hits.clear();
    stoppedEarly = false;
    if (mesh.TriangleCount() < 2 || !IsValidMesh(mesh)) return;
    Search s(mesh, maximumPairTests, hits);
    s.cancel = cancel;
    BuildRecords(s);
    ThrowIfStopped(cancel);
    s.active.assign(s.records.size(), 1);
    if (triangleMask != nullptr && triangleMask->size() == s.records.size()) {
        s.mask = triangleMask->data();
        ApplyMask(s);
    }
    ThrowIfStopped(cancel);
    BuildGrid(s);
    ThrowIfStopped(cancel);
    RunPhases(s);
    if (s.cancelled.load()) {
        hits.clear();
        throw Stopped{};
    }
    stoppedEarly = s.Stopped();
}

std::vector<std::uint32_t> SelfIntersectingTriangles(const TriangleMesh& mesh,
                                                     const std::vector<std::uint8_t>* triangleMask,
                                                     bool* stoppedEarly) {
    std::vector<std::uint32_t> hits;
    bool stopped = false;
    FindSelfIntersections(mesh, triangleMask, std::numeric_limits<std::uint64_t>::max(), hits, stopped);
    if (stoppedEarly != nullptr) *stoppedEarly = stopped;
    return hits;
}

}  // namespace ridgeforge::mesh
