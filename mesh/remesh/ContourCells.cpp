// The active cells of a contouring run: the cells whose corners are not all
// on one side of the surface, found by walking the four vertical lines at each
// column's corners together and jumping over stretches where all four agree.
//
// Neighbouring cells must resolve their shared ambiguous face the same way, or
// the output would tear or pinch there; where both cells join the face's
// crossing pairs anyway, both switch the face to joining its inside corners
// (the face agreement of manifold dual contouring).
#include <atomic>
#include <limits>
#include <numeric>

#include "mesh/remesh/internal/ContourLines.h"
#include "mesh/remesh/CubeConfigurationTable.h"

namespace ridgeforge::mesh::contour {
namespace {

void WalkColumn(const ContourLines& zl, std::int32_t x, std::int32_t y, std::int32_t dimsZ,
                std::vector<ActiveCell>& out) {
    const std::size_t line[4] = {zl.Line(x, y), zl.Line(x + 1, y), zl.Line(x, y + 1), zl.Line(x + 1, y + 1)};
    const Crossing* at[4];
    const Crossing* end[4];
    for (int q = 0; q < 4; ++q) {
        at[q] = zl.Begin(line[q]);
        end[q] = zl.KeptEnd(line[q]);
    }
    unsigned state = 0;
    std::int32_t z = 0;
    while (z < dimsZ) {
        if (state == 0 || state == 15) {
            std::int32_t next = std::numeric_limits<std::int32_t>::max();
            for (int q = 0; q < 4; ++q) {
                if (at[q] != end[q]) next = std::min(next, at[q]->slot);
            }
            if (next >= dimsZ) break;
            z = next;
        }
        unsigned top = state;
        for (int q = 0; q < 4; ++q) {
            while (at[q] != end[q] && at[q]->slot == z) {
                top ^= 1u << q;
                ++at[q];
            }
        }
        if ((state != 0 && state != 15) || top != state) {
            out.push_back({x, y, z, static_cast<std::uint8_t>(top << 4 | state), 0});
        }
        state = top;
        ++z;
    }
}

}  // namespace

bool FindActiveCells(const ContourGrid& grid, const ContourLines& zl, ContourCells& cells, ContourResult& result,
                     CancelContext* cancel) {
    const std::int32_t dimsX = grid.dims[0];
    const std::int32_t dimsY = grid.dims[1];
    cells.dimsX = dimsX;
    cells.dimsY = dimsY;

    std::vector<std::vector<ActiveCell>> rows(static_cast<std::size_t>(dimsY));
    ForEachChunk(rows.size(), 4, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t y = begin; y < end; ++y) {
            const std::size_t before = rows[y].size();
            for (std::int32_t x = 0; x < dimsX; ++x) {
                WalkColumn(zl, x, static_cast<std::int32_t>(y), grid.dims[2], rows[y]);
            }
            if (poll.Add(static_cast<std::uint64_t>(dimsX) + 4 * (rows[y].size() - before))) return;
        }
    });
    if (StopSeen(cancel)) return false;
    std::vector<std::uint64_t> rowOffsets(rows.size() + 1, 0);
    for (std::size_t y = 0; y < rows.size(); ++y) rowOffsets[y + 1] = rowOffsets[y] + rows[y].size();
    result.refusal = ContourCountRefusal(0, 0, rowOffsets.back(), 0, 0);
    if (!result.refusal.empty()) return false;
    // Cells are in column order, so each row also gives its columns' offsets.
    const std::size_t columns = static_cast<std::size_t>(dimsX) * static_cast<std::size_t>(dimsY);
    cells.cells.resize(rowOffsets.back());
    cells.columnOffsets.resize(columns + 1);
    cells.columnOffsets[columns] = static_cast<std::uint32_t>(rowOffsets.back());
    ForEachChunk(rows.size(), 16, [&](std::size_t begin, std::size_t end) {
        for (std::size_t y = begin; y < end; ++y) {
            const std::vector<ActiveCell>& row = rows[y];
            std::copy(row.begin(), row.end(), cells.cells.begin() + static_cast<std::ptrdiff_t>(rowOffsets[y]));
            std::size_t k = 0;
            for (std::int32_t x = 0; x < dimsX; ++x) {
                while (k < row.size() && row[k].x < x) ++k;
                cells.columnOffsets[static_cast<std::size_t>(x) + static_cast<std::size_t>(dimsX) * y] =
                    static_cast<std::uint32_t>(rowOffsets[y] + k);
            }
            rows[y] = {};
        }
    });
    rows = {};

    const CubeConfigurationTable& table = GetCubeConfigurationTable();
    const std::size_t count = cells.cells.size();
    ForEachChunk(count, 8192, [&](std::size_t begin, std::size_t end) {
        static constexpr int kStep[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
        WorkPoll poll(cancel);
        for (std::size_t i = begin; i < end; ++i) {
            if (poll.Add(1)) return;
            ActiveCell& cell = cells.cells[i];
            const std::uint8_t joined = table.joinedFaces[cell.configuration];
            if (joined == 0) continue;
            std::uint8_t mask = 0;
            for (int f = 0; f < 6; ++f) {
                if ((joined & (1 << f)) == 0) continue;
                const std::int64_t j = cells.FindCell(cell.x + kStep[f][0], cell.y + kStep[f][1], cell.z + kStep[f][2]);
                if (j < 0) continue;
                if (table.joinedFaces[cells.cells[static_cast<std::size_t>(j)].configuration] & (1 << (f ^ 1))) {
                    mask = static_cast<std::uint8_t>(mask | (1 << f));
                }
            }
            cell.faceMask = mask;
        }
    });
    if (StopSeen(cancel)) return false;

    // The offsets are a prefix sum of pieces and owned edges per cell, taken
    // in two parallel passes over chunks: chunk totals, then each chunk's run.
    const auto piecesOf = [&table](const ActiveCell& cell) {
        std::uint8_t components[12];
        return cell.faceMask == 0 ? table.componentCounts[cell.configuration]
                                  : static_cast<std::uint32_t>(
                                        ResolveCubeConfiguration(cell.configuration, cell.faceMask, components));
    };
    const auto ownedOf = [](const ActiveCell& cell) {
        const unsigned c = cell.configuration;
        return static_cast<std::uint32_t>(((c ^ (c >> 1)) & 1) + ((c ^ (c >> 2)) & 1) + ((c ^ (c >> 4)) & 1));
    };
    constexpr std::size_t kChunk = 8192;
    std::vector<std::uint64_t> chunkVertices((count + kChunk - 1) / kChunk + 1, 0);
    std::vector<std::uint64_t> chunkEdges(chunkVertices.size(), 0);
    ForEachChunk(count, kChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t vertexSum = 0;
        std::uint64_t edgeSum = 0;
        for (std::size_t i = begin; i < end; ++i) {
            vertexSum += piecesOf(cells.cells[i]);
            edgeSum += ownedOf(cells.cells[i]);
        }
        chunkVertices[begin / kChunk + 1] = vertexSum;
        chunkEdges[begin / kChunk + 1] = edgeSum;
    });
    std::partial_sum(chunkVertices.begin(), chunkVertices.end(), chunkVertices.begin());
    std::partial_sum(chunkEdges.begin(), chunkEdges.end(), chunkEdges.begin());
    cells.vertexOffsets.resize(count + 1);
    cells.edgeOffsets.resize(count + 1);
    ForEachChunk(count, kChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t vertexTotal = chunkVertices[begin / kChunk];
        std::uint64_t edgeTotal = chunkEdges[begin / kChunk];
        for (std::size_t i = begin; i < end; ++i) {
            cells.vertexOffsets[i] = static_cast<std::uint32_t>(vertexTotal);
            cells.edgeOffsets[i] = static_cast<std::uint32_t>(edgeTotal);
            vertexTotal += piecesOf(cells.cells[i]);
            edgeTotal += ownedOf(cells.cells[i]);
        }
    });
    const std::uint64_t vertexTotal = chunkVertices.back();
    const std::uint64_t edgeTotal = chunkEdges.back();
    // Offsets stored above may have wrapped only when this refuses the run.
    result.refusal = ContourCountRefusal(0, 0, 0, vertexTotal, edgeTotal);
    if (!result.refusal.empty()) return false;
    cells.vertexOffsets[count] = static_cast<std::uint32_t>(vertexTotal);
    cells.edgeOffsets[count] = static_cast<std::uint32_t>(edgeTotal);
    return true;
}

}  // namespace ridgeforge::mesh::contour
