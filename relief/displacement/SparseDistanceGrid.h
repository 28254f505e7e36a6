// The displaced part as a signed distance field, stored sparsely.
//
// Voxels lie on a regular lattice; only 8 x 8 x 8 bricks near the surface are
// stored. A stored voxel holds its distance to the part (negative inside)
// minus the relief height at its nearest surface point, so the zero level is
// the displaced surface. A voxel of an absent brick reads as plus or minus the
// band value, the sign from the parity of the part's crossings below it on its
// vertical column (a ray-parity inside test, one binary search per read).
//
// Nearest triangles are found either by one closest-point query per voxel or
// by measuring each triangle's neighbourhood and propagating nearest triangles
// between face neighbours, in the manner of closest-point transforms (Mauch,
// "A Fast Algorithm for Computing the Closest Point and Distance Transform",
// 2000), with exact re-measurement near the displaced surface.
//
// Needs: a valid part, its tree, one height per vertex (mm, positive outward).
// Gives: a filled grid, or false when it would need too much memory. Its loops
// poll the published cancellation context and throw `Stopped`.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct SparseDistanceGridStats {
    double columnsSeconds = 0.0;
    double bricksSeconds = 0.0;
    double valuesSeconds = 0.0;
    std::uint64_t nearVoxels = 0;
    std::uint64_t reliefVoxels = 0;
    std::uint64_t oddColumns = 0;
    std::uint64_t candidateBricks = 0;
    std::uint64_t farOctants = 0;
    double seedingSeconds = 0.0;
    std::uint64_t remeasuredVoxels = 0;
    double propagationSeconds = 0.0;
    double estimatedBytes = 0.0;
    bool refused = false;
    std::int32_t rounds = 0;
    std::uint64_t checkedVoxels = 0;
    std::uint64_t disagreeingVoxels = 0;
    double largestDisagreement = 0.0;
    std::uint64_t exactOnlyVoxels = 0;
};

// The largest field the build allocates, in bytes.
inline constexpr double kSparseGridByteLimit = 1500000000.0;

class SparseDistanceGrid {
public:
    double origin[3] = {0.0, 0.0, 0.0};  // voxel (0, 0, 0)
    double cellSize = 0.0;
    float bandValue = 0.0f;
    std::int64_t nx = 0, ny = 0, nz = 0;
    std::int64_t bx = 0, by = 0, bz = 0;
    std::vector<std::int32_t> brickTable;      // per brick slot: stored brick or -1
    std::vector<float> values;                 // 512 per stored brick, x fastest
    std::vector<std::uint8_t> reliefFlags;     // per stored voxel: 1 where the height is not zero
    std::vector<std::uint32_t> columnOffsets;  // nx * ny + 1, prefix sum
    std::vector<float> columnCrossings;        // z of each crossing, ascending per column

    // Index into values, or -1 when the brick is absent. No bounds test.
    std::int64_t VoxelIndex(std::int64_t i, std::int64_t j, std::int64_t k) const {
        const std::int64_t slot = ((k >> 3) * by + (j >> 3)) * bx + (i >> 3);
        const std::int32_t brick = brickTable[static_cast<std::size_t>(slot)];
        if (brick < 0) return -1;
        return std::int64_t{brick} * 512 + (i & 7) + 8 * (j & 7) + 64 * (k & 7);
    }

    // The stored value, or the band value with the sign of the column parity.
    float Sample(std::int64_t i, std::int64_t j, std::int64_t k) const;

    // Central differences of Sample (one-sided at the lattice's ends), per mm.
    void Gradient(std::int64_t i, std::int64_t j, std::int64_t k, double gradient[3]) const;

    // Crossings of column (i, j) strictly below z.
    std::uint64_t CrossingsBelow(std::int64_t i, std::int64_t j, float z) const;

    // Mode 1 finds nearest triangles by neighbourhoods and propagation, any other
    // value by one closest-point query per voxel. check adds a comparison
    // pass (diagnostics). Returns false when the grid would be too large
    // (stats.refused) or the heights do not match the vertices.
    static bool Build(const TriangleMesh& part, const AabbTree& tree, const std::vector<float>& heights,
                      float cutPlaneZ, double cellSize, SparseDistanceGrid& grid, SparseDistanceGridStats& stats,
                      std::uint64_t voxelLimit, std::int32_t mode, bool check);
};

}  // namespace ridgeforge::mesh
