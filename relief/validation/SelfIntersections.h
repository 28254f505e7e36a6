// The triangles of a mesh that cut through other triangles of the same mesh.
//
// Needs: a mesh; only positions and indices are read. One that breaks the
// validity rule, or has fewer than 2 triangles, yields nothing.
// Returns: for every crossing pair, its two triangle indices one after the
// other (a triangle appears once per partner; pair order is not defined).
// Pairs that share corner indices count when they meet anywhere beyond what
// they share (a corner, or an edge in one plane with a fold laid flat on it);
// coplanar triangles that share no corner never count.
//
// Broad phase: a hashed grid of eight levels, each 8 times coarser than the
// one below; every triangle sits at the finest level where its box covers at
// most 64 cells. Each overlapping pair is tested once: pairs within one level
// in the cell holding the larger of the two box minima, pairs across levels
// from the finer triangle's side. The exact test then decides.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"
#include "relief/validation/TriangleCrossing.h"

namespace ridgeforge::mesh {

// The cells a triangle's box covers at one cell size: lo and hi cell
// coordinates per axis.
struct CellRange {
    std::int64_t xLo = 0, xHi = 0, yLo = 0, yHi = 0, zLo = 0, zHi = 0;
};

// Writes the range and returns how many cells it spans (saturating).
std::uint64_t TriangleCellRange(const TriangleRecord& triangle, double cellSize, CellRange& range);

// The search. With a mask whose length equals the triangle count, only pairs
// with at least one marked (non-zero) triangle are tested; any other mask, or
// none, means every triangle. At most maximumPairTests exact pair tests run;
// when the budget runs out, stoppedEarly is set and hits holds what was found
// so far.
// With a cancellation context the workers poll it, and a stop throws
// `Stopped` once they have all finished (CancellableLoop.h).
void FindSelfIntersections(const TriangleMesh& mesh, const std::vector<std::uint8_t>* triangleMask,
                           std::uint64_t maximumPairTests, std::vector<std::uint32_t>& hits, bool& stoppedEarly,
                           CancelContext* cancel = nullptr);

// The search without a budget, for the export check: the raw hit list.
std::vector<std::uint32_t> SelfIntersectingTriangles(const TriangleMesh& mesh,
                                                     const std::vector<std::uint8_t>* triangleMask,
                                                     bool* stoppedEarly = nullptr);

}  // namespace ridgeforge::mesh
