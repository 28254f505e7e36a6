// Vertex welds. Both use an open-addressing hash table sized up front (the
// exact weld fills its table in parallel, see FirstOccurrence.h, the
// tolerance weld is one pass in vertex order); keys are hashed with FNV-1a
// applied to 32-bit words, and the table slot is taken from the top bits of
// the hash because the low bits of FNV-1a depend only on the low bits of the
// words (and float coordinates such as 20.0 have all-zero low bits).
#include "mesh/Weld.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace ridgeforge::mesh {
namespace {

constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

constexpr std::uint64_t FnvStep(std::uint64_t h, std::uint32_t word) { return (h ^ word) * kFnvPrime; }

struct Cell {
    std::int64_t i, j, k;
    friend bool operator==(const Cell&, const Cell&) = default;
};

std::uint64_t HashCell(const Cell& c) {
    std::uint64_t h = kFnvOffsetBasis;
    for (const std::int64_t v : {c.i, c.j, c.k}) {
        const auto u = static_cast<std::uint64_t>(v);
        h = FnvStep(h, static_cast<std::uint32_t>(u));
        h = FnvStep(h, static_cast<std::uint32_t>(u >> 32));
    }
    return h;
}

// A power-of-two table of at least twice `count` slots, and the shift that
// turns a 64-bit hash into a slot from its top bits.
struct TableShape {
    std::size_t size;
    int shift;
};

TableShape ShapeFor(std::size_t count) {
    std::size_t size = 16;
    int bits = 4;
    while (size < 2 * count) {
        size <<= 1;
        ++bits;
    }
    return {size, 64 - bits};
}

// Applies the remap and the new vertex array when something merged.
std::uint64_t FinishWeld(TriangleMesh& mesh, const std::vector<std::uint32_t>& remap, std::vector<Vertex>& kept) {
    const std::uint64_t merged = mesh.vertices.size() - kept.size();
    if (merged == 0) return 0;
    for (std::uint32_t& index : mesh.indices) index = remap[index];
    mesh.vertices = std::move(kept);
    return merged;
}

// Cell index of one coordinate. Quotients beyond ±2^62 are clamped so the
// conversion stays defined and the ±1 neighbour steps cannot overflow; the
// distance test still decides every merge, so clamping only costs speed.
std::int64_t CellCoordinate(float value, double tolerance) {
    constexpr double kLimit = 4611686018427387904.0;  // 2^62
    double q = std::floor(static_cast<double>(value) / tolerance);
    if (q > kLimit) q = kLimit;
    if (q < -kLimit) q = -kLimit;
    return static_cast<std::int64_t>(q);
}

}  // namespace

std::uint64_t WeldExactVertices(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh) || mesh.vertices.empty()) return 0;
    const std::vector<Vertex>& vertices = mesh.vertices;
    const std::size_t n = vertices.size();
    const detail::WeldNumbering numbering =
        detail::NumberPositions(n, [&](std::size_t v) { return vertices[v].position; });
    const std::uint64_t merged = n - numbering.kept;
    if (merged == 0) return 0;
    std::vector<Vertex> survivors(numbering.kept);
    ForEachChunk(n, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            if (numbering.first[v] == v) survivors[numbering.fresh[v]] = vertices[v];
        }
    });
    ForEachChunk(mesh.indices.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) mesh.indices[i] = numbering.NumberOf(mesh.indices[i]);
    });
    mesh.vertices = std::move(survivors);
    return merged;
}

std::uint64_t WeldVerticesWithinTolerance(TriangleMesh& mesh, float tolerance) {
    if (!(std::isfinite(tolerance) && tolerance > 0.0f)) return 0;
    if (!IsValidMesh(mesh) || mesh.vertices.empty()) return 0;
    const std::size_t n = mesh.vertices.size();
    const double t = tolerance;
    const float t2 = tolerance * tolerance;

    // The table maps a cell to its entry in `cells`, which holds the first
    // and last kept vertex of the cell; `next` chains the kept vertices of a
    // cell in the order they were kept.
    struct CellEntry {
        Cell cell;
        std::uint32_t head;
        std::uint32_t tail;
    };
    const TableShape shape = ShapeFor(n);
    const std::size_t mask = shape.size - 1;
    std::vector<std::uint32_t> table(shape.size, kEmpty);
    std::vector<CellEntry> cells;
    std::vector<std::uint32_t> next;
    std::vector<Vertex> kept;
    std::vector<std::uint32_t> remap(n);
    next.reserve(n);
    kept.reserve(n);

    const auto findSlot = [&](const Cell& cell) {
        std::size_t slot = static_cast<std::size_t>(HashCell(cell) >> shape.shift);
        while (table[slot] != kEmpty && !(cells[table[slot]].cell == cell)) slot = (slot + 1) & mask;
        return slot;
    };
    const auto keep = [&](std::size_t v) {
        const auto fresh = static_cast<std::uint32_t>(kept.size());
        kept.push_back(mesh.vertices[v]);
        next.push_back(kEmpty);
        remap[v] = fresh;
        return fresh;
    };

    for (std::size_t v = 0; v < n; ++v) {
        const Vec3f p = mesh.vertices[v].position;
        // A coordinate that is not finite has no cell and no distance: such a
        // vertex stays on its own.
        if (!IsFinite(p)) {
            keep(v);
            continue;
        }
        const Cell home{CellCoordinate(p.x, t), CellCoordinate(p.y, t), CellCoordinate(p.z, t)};
        std::uint32_t match = kEmpty;
        for (int di = -1; di <= 1 && match == kEmpty; ++di) {
            for (int dj = -1; dj <= 1 && match == kEmpty; ++dj) {
                for (int dk = -1; dk <= 1 && match == kEmpty; ++dk) {
                    const std::uint32_t c = table[findSlot({home.i + di, home.j + dj, home.k + dk})];
                    if (c == kEmpty) continue;
                    for (std::uint32_t id = cells[c].head; id != kEmpty; id = next[id]) {
                        if (LengthSquared(kept[id].position - p) <= t2) {
                            match = id;
                            break;
                        }
                    }
                }
            }
        }
        if (match != kEmpty) {
            remap[v] = match;
            continue;
        }
        const std::uint32_t fresh = keep(v);
        const std::size_t slot = findSlot(home);
        if (table[slot] == kEmpty) {
            table[slot] = static_cast<std::uint32_t>(cells.size());
            cells.push_back({home, fresh, fresh});
        } else {
            CellEntry& own = cells[table[slot]];
            next[own.tail] = fresh;
            own.tail = fresh;
        }
    }
    return FinishWeld(mesh, remap, kept);
}

float AutomaticWeldTolerance(const Vec3f& boundsMin, const Vec3f& boundsMax) {
    const float largest = std::max({std::fabs(boundsMin.x), std::fabs(boundsMin.y), std::fabs(boundsMin.z),
                                    std::fabs(boundsMax.x), std::fabs(boundsMax.y), std::fabs(boundsMax.z)});
    return std::max(1e-6f, 1e-6f * largest);
}

float AutomaticWeldTolerance(const TriangleMesh& mesh) {
    if (mesh.vertices.empty()) return 0.0f;
    Vec3f low = mesh.vertices.front().position;
    Vec3f high = low;
    for (const Vertex& v : mesh.vertices) {
        low = Min(low, v.position);
        high = Max(high, v.position);
    }
    return AutomaticWeldTolerance(low, high);
}

}  // namespace ridgeforge::mesh
