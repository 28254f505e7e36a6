// The passes of SparseDistanceGrid::Build that have files of their own.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/AabbTree.h"
#include "relief/displacement/SparseDistanceGrid.h"

namespace ridgeforge::mesh::sparse {

// Nearest-triangle key of a voxel: the float distance's bits high, the
// triangle low; all bits set for none.
inline constexpr std::uint64_t kNoSeed = ~std::uint64_t{0};

// Brick coordinates of every stored brick, in brick order.
struct StoredBricks {
    std::vector<std::int64_t> slots;
    void Coordinates(const SparseDistanceGrid& grid, std::size_t brick, std::int64_t at[3]) const {
        const std::int64_t slot = slots[brick];
        at[0] = slot % grid.bx;
        at[1] = slot / grid.bx % grid.by;
        at[2] = slot / (grid.bx * grid.by);
    }
};

Vec3d VoxelPosition(const SparseDistanceGrid& grid, std::int64_t i, std::int64_t j, std::int64_t k);

// A triangle's corners side by side: voxels measure triangles in no order
// the vertex array follows, and one read beats four scattered ones.
struct TriangleCorners {
    Vec3f at[3];
};

std::vector<TriangleCorners> CornerTable(const TriangleMesh& part);

// Nearest triangle per stored voxel by triangle neighbourhoods and propagation.
std::vector<std::uint64_t> FindNearestTriangles(const std::vector<TriangleCorners>& corners,
                                                const SparseDistanceGrid& grid, const StoredBricks& bricks,
                                                SparseDistanceGridStats& stats);

// Fills values and relief flags of every stored brick. seeds is empty
// outside mode 1.
void FillVoxelValues(const TriangleMesh& part, const std::vector<TriangleCorners>& corners, const AabbTree& tree,
                     const std::vector<float>& heights, float cutPlaneZ, SparseDistanceGrid& grid,
                     const StoredBricks& bricks, const std::vector<std::uint64_t>& seeds, bool check,
                     SparseDistanceGridStats& stats);

}  // namespace ridgeforge::mesh::sparse
