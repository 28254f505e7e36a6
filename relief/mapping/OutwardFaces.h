// Which faces of a part look out of it: a ray from the face's centroid along
// its normal, marched through the occupancy grid, leaves the part without
// meeting it again. Cavity walls and faces that look into another part of the
// mesh are inward.
//
// Needs: an occupancy grid built over the same mesh. Gives: one flag per
// triangle, 1 outward, 0 inward, 2 no area; all 1 when the grid is empty or
// the mesh breaks the validity rule.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "relief/mapping/OccupancyGrid.h"

namespace ridgeforge::mesh {

inline constexpr std::uint8_t kFaceInward = 0;
inline constexpr std::uint8_t kFaceOutward = 1;
inline constexpr std::uint8_t kFaceNoArea = 2;

struct OutwardFaceCounts {
    std::uint64_t faces = 0;
    std::uint64_t outward = 0;
    std::uint64_t inward = 0;
    std::uint64_t noArea = 0;
    double outwardArea = 0.0;
    double inwardArea = 0.0;
    double milliseconds = 0.0;
};

std::vector<std::uint8_t> ClassifyOutwardFaces(const OccupancyGrid& grid, const TriangleMesh& mesh,
                                               OutwardFaceCounts* counts = nullptr);

}  // namespace ridgeforge::mesh
