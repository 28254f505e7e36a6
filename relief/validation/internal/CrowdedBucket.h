// The pairs of a crowded cell of the self-intersection search: one that
// holds many triangles, as the centre of a fanned round face or a pile of
// copies of one triangle does, where testing every pair costs the square of
// the crowd although nearly all pairs share a corner and meet only there.
//
// The triangles are grouped by their hub, the corner most of the cell's
// triangles share. Within a group every pair shares the hub: two such
// triangles meet beyond it exactly when they have a direction from the hub in
// common, that is when their arcs of directions (on the unit sphere about the
// hub) meet; the arcs' boxes, widened for rounding, are swept along one axis
// so that only pairs whose arcs may meet are handed on. Triangles on the same
// three corners never meet beyond them and are handed on only as one. Pairs
// across groups are handed on from a small grid over the cell's boxes, each
// from the one grid cell that holds the larger of its two box minima.
//
// Needs: the mesh's records and indices, and the cell's triangles (ascending).
// Gives: visit(a, b) with a < b, once for each pair that could be a hit of the
// exact neighbour and crossing tests (every other pair could not be); stops
// as soon as visit returns false.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "relief/validation/TriangleCrossing.h"

namespace ridgeforge::mesh {

// Cells with more triangles than this are searched as crowded ones.
inline constexpr std::size_t kCrowdedCell = 64;

void ForEachCrowdedPair(const TriangleMesh& mesh, const std::vector<TriangleRecord>& records,
                        const std::uint32_t* triangles, std::size_t count,
                        const std::function<bool(std::uint32_t, std::uint32_t)>& visit);

}  // namespace ridgeforge::mesh
