// Planar regions of a mesh and the exact measurements that the flat-area
// simplification compares before and after.
//
// A region grows depth-first from its largest unclaimed triangle across
// manifold edges while each neighbour stays within an angle of the starting
// triangle's normal, keeps all corners within a distance of its plane, and
// does not fold back over the triangle it was reached from. That plane stays
// fixed, so a slowly curving surface cannot creep into one region.
//
// Needs: a mesh that satisfies the validity rule; otherwise every result is
// empty or zero.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Progress.h"
#include "mesh/simplify/SimplifySettings.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

inline constexpr std::uint32_t kNoRegion = 0xFFFFFFFFu;

// For corner k of triangle t (entry 3t + k): the triangle across the edge from
// corner k to corner k + 1 when exactly two triangle sides of the whole mesh
// share that edge, else 0xFFFFFFFF.
std::vector<std::uint32_t> EdgeNeighbours(const TriangleMesh& mesh);

// Surface area and signed volume (about the bounding-box centre), in double
// with compensated summation so that before/after comparisons are exact
// enough for a 1e-7 relative check.
double MeshArea(const TriangleMesh& mesh);
double MeshVolume(const TriangleMesh& mesh);

struct PlanarRegions {
    std::vector<std::uint32_t> regionOfTriangle;  // kNoRegion for none
    std::uint64_t count = 0;
};

// The growth asks the poll, when given, now and then; once it says stop the
// regions are left unfinished, and the caller is to look at the poll.
PlanarRegions FindPlanarRegions(const TriangleMesh& mesh, const SimplifySettings& settings,
                                const std::vector<std::uint32_t>& neighbours, ProgressPoll* poll = nullptr);

}  // namespace ridgeforge::mesh
