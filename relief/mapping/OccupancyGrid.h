// A coarse byte-per-cell grid of the cells that a part's surface passes
// through, and the ray march that tells whether a ray from the surface gets
// out of the part without meeting it again.
//
// Marking tests each cell of a triangle's bounding range with the separating-
// axis triangle-box overlap test of Akenine-Möller ("Fast 3D Triangle-Box
// Overlap Testing", 2001); a triangle inside one cell marks it without a
// test. The march is the voxel traversal of Amanatides and Woo ("A Fast Voxel
// Traversal Algorithm for Ray Tracing", 1987). Only the surface is marked;
// there is no fill of the inside.
//
// Build marks cells from several threads, visiting only the cells near each
// triangle; afterwards the grid is read-only and any number of threads may
// march rays through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Progress.h"
#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"
#include "mesh/ZeroPageAllocator.h"

namespace ridgeforge::mesh {

inline constexpr const char* kOccupancyStage = "Working out which faces receive texture";

struct OccupancyGrid {
    // Requested cells along the longest side, clamped to 16..1024.
    std::int32_t resolution = 0;
    // Report copies of the size.
    std::int32_t cellsX = 0;
    std::int32_t cellsY = 0;
    std::int32_t cellsZ = 0;
    float cellSizeMillimetres = 0.0f;
    std::uint64_t surfaceCells = 0;
    // Bricks holding a marked cell: the rooms of `cells` in use.
    std::uint32_t bricksMarked = 0;
    double buildMilliseconds = 0.0;
    // The cells in bricks of 16 x 16 x 16, 4 KiB each (see Index); 0 empty,
    // 1 touched by a triangle. A brick takes its room here when its first
    // cell is marked, the bricks packed from the start in the order they
    // came, so that a surface costs the few huge pages its bricks fill. Room
    // is set aside for every brick of the box, but only the packed bricks'
    // pages are ever written. Each brick in its own place of the box, a
    // surface cost a page fault per brick it passed through, a few thousand
    // for a rod lying across the diagonal, and on a virtual machine those
    // cost more than the marking itself.
    std::vector<std::uint8_t, ZeroPageAllocator<std::uint8_t>> cells;
    // Per brick of the box (bricks x fastest, then y, then z): 0 when none
    // of its cells is marked, else one more than its room's number in
    // `cells`. A ray reads it before the cell, and crosses the empty box of
    // a part lying across the diagonal without reading any cells.
    std::vector<std::uint32_t> brickRooms;
    static constexpr int kPageShift = 12;
    static constexpr int kBrickShift = 4;  // 16 cells a side
    static constexpr std::size_t kBrickMask = (std::size_t{1} << kBrickShift) - 1;
    static constexpr std::size_t kPlaceMask = (std::size_t{1} << kPageShift) - 1;
    // A brick is one page of cells.
    static_assert(3 * kBrickShift == kPageShift);
    // Corner of cell (0, 0, 0) in part space.
    float origin[3] = {0.0f, 0.0f, 0.0f};
    float cellSize = 0.0f;
    std::int32_t dimensions[3] = {0, 0, 0};
    // Per axis: the step in places from one brick to the next (bricks x
    // fastest, then y, then z), and from one cell to the next within a
    // brick (x fastest, then y, then z).
    std::size_t brickStride[3] = {0, 0, 0};
    static constexpr std::size_t kCellStride[3] = {1, std::size_t{1} << kBrickShift,
                                                   std::size_t{1} << (2 * kBrickShift)};

    // What a cell's coordinate c along `axis` adds to its place.
    std::size_t Along(int axis, std::int32_t c) const {
        const auto u = static_cast<std::size_t>(c);
        return (u >> kBrickShift) * brickStride[axis] + (u & kBrickMask) * kCellStride[axis];
    }
    // The place of cell (x, y, z) among the bricks of the box: its brick's
    // number times 4096 plus its place within the brick.
    std::size_t Index(std::int32_t x, std::int32_t y, std::int32_t z) const {
        return Along(0, x) + Along(1, y) + Along(2, z);
    }
    // How many places the box's bricks have.
    std::size_t Places() const { return brickRooms.size() << kPageShift; }
    // Where the cell at `place` lies in `cells`, its brick in room `room`
    // (not 0).
    static std::size_t InRoom(std::uint32_t room, std::size_t place) {
        return ((std::size_t{room} - 1) << kPageShift) | (place & kPlaceMask);
    }
    // The cell at a place (below Places()).
    std::uint8_t CellAt(std::size_t place) const {
        const std::uint32_t room = brickRooms[place >> kPageShift];
        return room == 0 ? 0 : cells[InRoom(room, place)];
    }
    std::uint8_t Cell(std::int32_t x, std::int32_t y, std::int32_t z) const { return CellAt(Index(x, y, z)); }

    // Rebuilds the grid over the mesh with two empty cells of margin below
    // and at least two above on each axis. A mesh that breaks the validity
    // rule, has no vertices or a coordinate that is not finite leaves the
    // grid empty. With a progress callback the marking asks it now and then
    // (stage text kOccupancyStage) and stops when it answers false: the grid
    // is then left empty and the result is false.
    bool Build(const TriangleMesh& mesh, std::int32_t requestedCells, const ProgressCallback& progress = {});

    // True when a ray from `point` along `direction` gets out of the grid
    // without meeting marked cells other than the first three it starts in.
    // An empty grid, a zero direction or a point that is not finite gives true.
    bool RayLeaves(const Vec3f& point, const Vec3f& direction) const;

    bool IsEmpty() const { return dimensions[0] < 1; }
};

// "Occupancy grid: X x Y x Z cells of S mm, N on the surface, built in T ms".
std::string FormatOccupancyGridReport(const OccupancyGrid& grid);

// Whether a triangle and an axis-aligned cube (centre, half edge) overlap.
bool TriangleOverlapsCube(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& centre, float halfEdge);

}  // namespace ridgeforge::mesh
