// The triangles near the marked ones, for the crossing guard of the vertex
// relief. A grid as fine as the largest marked triangle's box or the reach
// covers the part; the cells that a marked triangle's box widened by the
// reach touches are kept as bits, and every triangle whose box touches one of
// them is near. The bits stay few however large the part: one that would
// need more than kLargestGrid cells gets coarser ones, which only let a few
// more triangles through. A first call looks at every triangle. A later one,
// when every vertex is in use and the touched cells are few, looks only at
// the faces of the vertices beside the touched cells (within the longest box
// side so far), as only those can touch one: the same triangles at a cost
// that follows the marked ones, not the part.
#include <algorithm>
#include <array>
#include <cmath>

#include "mesh/ParallelChunks.h"
#include "mesh/SortUnique.h"
#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::size_t kNearChunk = 65536;
constexpr float kHuge = 3.0e38f;
// Cells of the grid, one bit each: 32 MB at most.
constexpr double kLargestGrid = 268435456.0;

struct Box {
    Vec3f low{kHuge, kHuge, kHuge}, high{-kHuge, -kHuge, -kHuge};

    void Add(const Vec3f& p) {
        for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], p[a]), high[a] = std::max(high[a], p[a]);
    }
    void Add(const Box& b) {
        Add(b.low);
        Add(b.high);
    }
    float LongestSide() const { return std::max({high.x - low.x, high.y - low.y, high.z - low.z}); }
};

Box TriangleBox(const TriangleMesh& mesh, std::size_t t) {
    Box box;
    for (std::size_t k = 0; k < 3; ++k) box.Add(mesh.vertices[mesh.indices[3 * t + k]].position);
    return box;
}

// The part's box, the longest side of a marked triangle's box and that of
// any triangle's box.
struct PartExtent {
    Box box;
    float markedSide = 0.0f, longestSide = 0.0f;
};

// By chunks on all threads: min and max give the same values in any order.
PartExtent ExtentOfTriangles(const TriangleMesh& mesh, const std::vector<std::uint8_t>& mask) {
    std::vector<PartExtent> extents((mask.size() + kNearChunk - 1) / kNearChunk);
    ForEachChunk(mask.size(), kNearChunk, [&](std::size_t begin, std::size_t end) {
        PartExtent& e = extents[begin / kNearChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const Box box = TriangleBox(mesh, t);
            e.box.Add(box);
            const float side = box.LongestSide();
            e.longestSide = std::max(e.longestSide, side);
            if (mask[t]) e.markedSide = std::max(e.markedSide, side);
        }
    });
    PartExtent out;
    for (const PartExtent& e : extents) {
        out.box.Add(e.box);
        out.markedSide = std::max(out.markedSide, e.markedSide);
        out.longestSide = std::max(out.longestSide, e.longestSide);
    }
    return out;
}

// The box of the vertices, which is that of the triangles when every vertex
// is in use.
Box BoxOfVertices(const TriangleMesh& mesh) {
    const std::size_t count = mesh.vertices.size();
    std::vector<Box> boxes((count + kNearChunk - 1) / kNearChunk);
    ForEachChunk(count, kNearChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) boxes[begin / kNearChunk].Add(mesh.vertices[v].position);
    });
    Box out;
    for (const Box& b : boxes) out.Add(b);
    return out;
}

// Cells of `step` from the part's low corner, one bit each in a word list.
struct CellGrid {
    Vec3f low;
    float step = 1.0f;
    std::int64_t size[3] = {1, 1, 1};

    CellGrid(const Box& part, float cell) : low(part.low), step(std::max(cell, 1e-3f)) {
        for (;;) {
            double cells = 1.0;
            for (int a = 0; a < 3; ++a) {
                size[a] = static_cast<std::int64_t>((part.high[a] - low[a]) / step) + 1;
                cells *= static_cast<double>(size[a]);
            }
            if (cells <= kLargestGrid) break;
            step *= static_cast<float>(std::cbrt(cells / kLargestGrid)) * 1.01f;
        }
    }
    std::size_t Count() const { return static_cast<std::size_t>(size[0] * size[1] * size[2]); }
    std::size_t Index(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return static_cast<std::size_t>((x * size[1] + y) * size[2] + z);
    }
    std::int64_t Coordinate(float value, int a) const {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>((value - low[a]) / step), 0, size[a] - 1);
    }
    // The cells a box covers, lowest and highest per axis.
    void Range(const Vec3f& boxLow, const Vec3f& boxHigh, std::int64_t from[3], std::int64_t to[3]) const {
        for (int a = 0; a < 3; ++a) from[a] = Coordinate(boxLow[a], a), to[a] = Coordinate(boxHigh[a], a);
    }
    // Calls visit(cell) on each cell of the box; false stops it and is returned.
    template <typename Visit>
    bool EachCell(const Vec3f& boxLow, const Vec3f& boxHigh, const Visit& visit) const {
        const std::int64_t x1 = Coordinate(boxHigh.x, 0), y1 = Coordinate(boxHigh.y, 1), z1 = Coordinate(boxHigh.z, 2);
        for (std::int64_t x = Coordinate(boxLow.x, 0); x <= x1; ++x) {
            for (std::int64_t y = Coordinate(boxLow.y, 1); y <= y1; ++y) {
                for (std::int64_t z = Coordinate(boxLow.z, 2); z <= z1; ++z) {
                    if (!visit(Index(x, y, z))) return false;
                }
            }
        }
        return true;
    }
};

bool HasBit(const std::vector<std::uint64_t>& bits, std::size_t c) { return ((bits[c / 64] >> (c % 64)) & 1u) != 0; }
void SetBit(std::vector<std::uint64_t>& bits, std::size_t c) { bits[c / 64] |= std::uint64_t{1} << (c % 64); }

// Sets in `around` every cell within r cells of a touched one.
void MarkAround(const CellGrid& grid, const std::vector<std::size_t>& touched, std::int64_t r,
                std::vector<std::uint64_t>& around) {
    around.assign((grid.Count() + 63) / 64, 0);
    for (const std::size_t c : touched) {
        const auto z = static_cast<std::int64_t>(c) % grid.size[2];
        const auto y = static_cast<std::int64_t>(c) / grid.size[2] % grid.size[1];
        const auto x = static_cast<std::int64_t>(c) / grid.size[2] / grid.size[1];
        for (std::int64_t i = std::max<std::int64_t>(x - r, 0); i <= std::min(x + r, grid.size[0] - 1); ++i) {
            for (std::int64_t j = std::max<std::int64_t>(y - r, 0); j <= std::min(y + r, grid.size[1] - 1); ++j) {
                for (std::int64_t k = std::max<std::int64_t>(z - r, 0); k <= std::min(z + r, grid.size[2] - 1); ++k) {
                    SetBit(around, grid.Index(i, j, k));
                }
            }
        }
    }
}

// The faces of the vertices in a cell of `around`, and the marked ones;
// ascending, without repeats.
std::vector<std::uint32_t> FacesAround(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const CellGrid& grid,
                                       const std::vector<std::uint64_t>& around,
                                       const std::vector<std::uint32_t>& marked) {
    const std::size_t count = mesh.vertices.size();
    std::vector<std::vector<std::uint32_t>> inside((count + kNearChunk - 1) / kNearChunk);
    ForEachChunk(count, kNearChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t>& mine = inside[begin / kNearChunk];
        for (std::size_t v = begin; v < end; ++v) {
            const Vec3f& p = mesh.vertices[v].position;
            if (HasBit(around, grid.Index(grid.Coordinate(p.x, 0), grid.Coordinate(p.y, 1), grid.Coordinate(p.z, 2))))
                mine.push_back(static_cast<std::uint32_t>(v));
        }
    });
    std::vector<std::uint32_t> out(marked);
    for (const std::vector<std::uint32_t>& mine : inside) {
        for (const std::uint32_t v : mine) {
            out.insert(out.end(), faces.faces.begin() + faces.offsets[v], faces.faces.begin() + faces.offsets[v + 1]);
        }
    }
    SortUnique(out);
    return out;
}

}  // namespace

std::vector<std::uint32_t> TrianglesNear(const TriangleMesh& mesh, const std::vector<std::uint8_t>& mask,
                                         const std::vector<std::uint32_t>& marked, float reach, NearSearch& search) {
    const std::size_t triangles = mask.size();
    const bool later = search.longestSide >= 0.0f && search.everyVertexUsed;
    PartExtent extent;
    if (later) {
        // Only the marked triangles' corners moved since the last call.
        extent.box = BoxOfVertices(mesh);
        for (const std::uint32_t t : marked)
            extent.markedSide = std::max(extent.markedSide, TriangleBox(mesh, t).LongestSide());
        search.longestSide = std::max(search.longestSide, extent.markedSide);
    } else {
        extent = ExtentOfTriangles(mesh, mask);
        search.longestSide = std::max(search.longestSide, extent.longestSide);
    }
    const CellGrid grid(extent.box, std::max(reach, extent.markedSide));
    search.cellBits.assign((grid.Count() + 63) / 64, 0);
    std::vector<std::size_t> touched;
    const Vec3f widen = {reach, reach, reach};
    for (const std::uint32_t t : marked) {
        const Box box = TriangleBox(mesh, t);
        grid.EachCell(box.low - widen, box.high + widen, [&](std::size_t c) {
            if (!HasBit(search.cellBits, c)) touched.push_back(c);
            SetBit(search.cellBits, c);
            return true;
        });
    }
    // A long triangle's box may cover far more cells than were touched (a
    // rod lying across the part beside a small marked cap): it looks through
    // the touched cells instead, so that no box costs more than those.
    std::vector<std::array<std::int64_t, 3>> touchedAt(touched.size());
    for (std::size_t i = 0; i < touched.size(); ++i) {
        const auto c = static_cast<std::int64_t>(touched[i]);
        touchedAt[i] = {c / grid.size[2] / grid.size[1], c / grid.size[2] % grid.size[1], c % grid.size[2]};
    }
    auto isNear = [&](std::size_t t) {
        if (mask[t]) return true;
        const Box box = TriangleBox(mesh, t);
        std::int64_t from[3], to[3];
        grid.Range(box.low, box.high, from, to);
        double cells = 1.0;
        for (int a = 0; a < 3; ++a) cells *= static_cast<double>(to[a] - from[a] + 1);
        if (cells > static_cast<double>(touchedAt.size())) {
            return std::any_of(touchedAt.begin(), touchedAt.end(), [&](const std::array<std::int64_t, 3>& c) {
                return c[0] >= from[0] && c[0] <= to[0] && c[1] >= from[1] && c[1] <= to[1] && c[2] >= from[2] &&
                       c[2] <= to[2];
            });
        }
        return !grid.EachCell(box.low, box.high, [&](std::size_t c) { return !HasBit(search.cellBits, c); });
    };
    // A triangle that touches a touched cell has its corners within its
    // longest side of that cell: within `spread` cells, one more for rounding.
    const double spread = std::ceil(static_cast<double>(search.longestSide) / grid.step) + 1.0;
    std::vector<std::uint32_t> near;
    if (later &&
        static_cast<double>(touched.size()) * std::pow(2.0 * spread + 1.0, 3.0) <= static_cast<double>(triangles)) {
        MarkAround(grid, touched, static_cast<std::int64_t>(spread), search.aroundBits);
        near = FacesAround(mesh, *search.faces, grid, search.aroundBits, marked);
        near.erase(std::remove_if(near.begin(), near.end(), [&](std::uint32_t t) { return !isNear(t); }), near.end());
        return near;
    }
    // Each chunk lists its own; joined in chunk order, ascending.
    std::vector<std::vector<std::uint32_t>> nearIn((triangles + kNearChunk - 1) / kNearChunk);
    ForEachChunk(triangles, kNearChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t>& mine = nearIn[begin / kNearChunk];
        for (std::size_t t = begin; t < end; ++t) {
            if (isNear(t)) mine.push_back(static_cast<std::uint32_t>(t));
        }
    });
    for (const std::vector<std::uint32_t>& mine : nearIn) near.insert(near.end(), mine.begin(), mine.end());
    return near;
}

}  // namespace ridgeforge::mesh::relief_detail
