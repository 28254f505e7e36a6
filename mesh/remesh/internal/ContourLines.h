// Working data of one contouring run, shared by its stages: the crossings of
// the input surface with the grid lines and the active cells. The stages run
// their parallel loops through ForEachChunk (mesh/ParallelChunks.h). Not for
// use outside the contouring.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <execution>
#include <numeric>
#include <vector>

#include "mesh/remesh/ContourSurface.h"
#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh::contour {

inline constexpr std::uint32_t kDirectionBit = 0x80000000u;
inline constexpr std::uint32_t kNoTriangle = 0x7fffffffu;
inline constexpr std::int32_t kDroppedSlot = 0x7fffffff;

// One intersection of a grid line with an input triangle.
struct Crossing {
    double position;         // along the line, fixed-point units
    std::uint32_t triangle;  // while reading: index | kDirectionBit for one direction; then the bare index
    std::int32_t slot;       // while reading: the line; then the cell along the line, or kDroppedSlot
};

// The lines along one axis a; b = (a+1) mod 3 and c = (a+2) mod 3 span them.
struct ContourLines {
    int a = 0, b = 1, c = 2;
    std::int32_t countB = 0;             // dims[b] + 1
    std::int32_t countC = 0;             // dims[c] + 1
    std::vector<std::uint32_t> offsets;  // CSR, one more than lines
    UnsetVector<Crossing> crossings;     // per line sorted; kept ones first, by cell
    std::vector<std::uint8_t> odd;       // per line: an odd number of crossings (through a hole)
    std::uint64_t oddLines = 0;
    std::uint64_t thinPlaces = 0;

    std::size_t LineCount() const { return static_cast<std::size_t>(countB) * static_cast<std::size_t>(countC); }
    std::size_t Line(std::int32_t ib, std::int32_t ic) const {
        return static_cast<std::size_t>(ib) + static_cast<std::size_t>(ic) * static_cast<std::size_t>(countB);
    }
    const Crossing* Begin(std::size_t line) const { return crossings.data() + offsets[line]; }
    const Crossing* End(std::size_t line) const { return crossings.data() + offsets[line + 1]; }
    // End of the kept crossings of a line (dropped ones sort after every cell).
    const Crossing* KeptEnd(std::size_t line) const {
        return std::lower_bound(Begin(line), End(line), kDroppedSlot,
                                [](const Crossing& x, std::int32_t s) { return x.slot < s; });
    }
};

struct ActiveCell {
    std::int32_t x, y, z;
    std::uint8_t configuration;  // bit i: corner i inside
    std::uint8_t faceMask;       // faces resolved with the inside corners joined
};

// Cells the surface passes through, in the order row y, column x, then z.
struct ContourCells {
    std::int32_t dimsX = 0, dimsY = 0;
    UnsetVector<std::uint32_t> columnOffsets;  // dimsX * dimsY + 1; column x + dimsX * y
    UnsetVector<ActiveCell> cells;
    UnsetVector<std::uint32_t> vertexOffsets;  // cells + 1
    UnsetVector<std::uint32_t> edgeOffsets;    // cells + 1: owned crossed edges

    // Index of the active cell, or -1.
    std::int64_t FindCell(std::int32_t x, std::int32_t y, std::int32_t z) const {
        if (x < 0 || y < 0 || x >= dimsX || y >= dimsY) return -1;
        const std::size_t column =
            static_cast<std::size_t>(x) + static_cast<std::size_t>(dimsX) * static_cast<std::size_t>(y);
        const auto first = cells.begin() + columnOffsets[column];
        const auto last = cells.begin() + columnOffsets[column + 1];
        const auto found =
            std::lower_bound(first, last, z, [](const ActiveCell& c, std::int32_t v) { return c.z < v; });
        if (found == last || found->z != z) return -1;
        return found - cells.begin();
    }
};

// Each stage's loops poll `cancel` (null never stops); a stage that sees the
// stop returns false with no refusal, its output unfinished.

// Stage "Reading the surface": fills the three line sets and the hole and
// thin-place counters of the result. Returns false (with the refusal set)
// when the crossings of one axis would not fit 32-bit offsets.
bool ReadSurface(const TriangleMesh& mesh, const ContourGrid& grid, ContourLines lines[3], ContourResult& result,
                 CancelContext* cancel);

// Stage "Contouring", first half: the active cells with their configurations,
// face masks and offsets. Returns false when a count would not fit 32 bits.
bool FindActiveCells(const ContourGrid& grid, const ContourLines& zLines, ContourCells& cells, ContourResult& result,
                     CancelContext* cancel);

// Stage "Contouring", second half: one vertex per piece of every active cell,
// with each piece's mass point beside it for a vertex that folds a quad.
void PlaceVertices(const TriangleMesh& mesh, const ContourGrid& grid, const ContourLines lines[3],
                   const ContourCells& cells, double sharpness, ContourResult& result,
                   std::vector<float>& massPositions, CancelContext* cancel);

// Stage "Triangulating": two triangles per owned crossed edge. Returns whether
// some quad folds over; folded flags the corners of every such quad.
bool WriteTriangles(const TriangleMesh& mesh, const ContourGrid& grid, const ContourLines lines[3],
                    const ContourCells& cells, ContourResult& result, std::vector<std::uint8_t>& folded,
                    CancelContext* cancel);

// Writes again the quads around the flagged vertices (moved since), clearing
// the flags and flagging the corners of any quad that still folds over.
bool RewriteFoldedQuads(const ContourGrid& grid, const ContourLines lines[3], const ContourCells& cells,
                        ContourResult& result, std::vector<std::uint8_t>& folded);

// Shared by vertex placement and triangulation: the crossing of the line
// through a cell edge, looked up in the cell along the line.
struct EdgeCrossing {
    double position = 0.0;  // fixed-point units along the line
    std::uint32_t triangle = kNoTriangle;
    bool fromLine = false;  // false: nothing near, the middle of the cell
};
EdgeCrossing FindEdgeCrossing(const ContourGrid& grid, const ContourLines& lines, std::size_t line, std::int32_t cell,
                              bool lowerCornerInside);

}  // namespace ridgeforge::mesh::contour
