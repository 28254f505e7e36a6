// The pairs of a crowded cell of the self-intersection search: one that
// holds many triangles, as the centre of a fanned round face, a pile of
// copies of one triangle or the long sides of a rod lying across the axes
// do, where testing every pair costs the square of the crowd although nearly
// all pairs share a corner or lie apart.
//
// The triangles are grouped by their hub, the corner most of the cell's
// triangles share. Within a group every pair shares the hub: two such
// triangles meet beyond it exactly when they have a direction from the hub in
// common, that is when their arcs of directions (on the unit sphere about the
// hub) meet; the arcs' boxes are swept along one axis so that only pairs
// whose arcs may meet are handed on. Triangles on the same three corners
// never meet beyond them and are handed on only as one. A large group meets
// any other triangle only where one of its arcs enters that triangle's
// directions from the hub (a spherical triangle), found in a tree of the
// arcs' boxes. The other triangles meet in a small multi-level grid of their
// boxes taken in a frame along their main direction.
//
// Needs: the mesh's records and indices, and the cell's triangles (ascending).
// Gives: visit(a, b, found) with a < b, at most once for each pair, and for
// every pair that the exact neighbour and crossing tests could find meeting
// (every other pair cannot); stops soon after visit returns false. A large
// group is met by the others in parallel chunks: visit may then run on
// several threads at once, each with its own `found` list, which is added to
// the caller's `found` under a lock when the chunk ends; otherwise `found` is
// the caller's own. Visit may throw: the first exception reaches the caller
// once every chunk has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "relief/validation/TriangleCrossing.h"

namespace ridgeforge::mesh {

// Cells with more triangles than this are searched as crowded ones.
inline constexpr std::size_t kCrowdedCell = 64;

using CrowdedPairVisit = std::function<bool(std::uint32_t, std::uint32_t, std::vector<std::uint32_t>&)>;

void ForEachCrowdedPair(const TriangleMesh& mesh, std::span<const TriangleRecord> records,
                        const std::uint32_t* triangles, std::size_t count, const CrowdedPairVisit& visit,
                        std::vector<std::uint32_t>& found);

}  // namespace ridgeforge::mesh
