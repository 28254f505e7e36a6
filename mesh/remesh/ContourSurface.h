// Dual contouring of a triangle mesh on a regular grid.
//
// The input surface is read as exact crossings along the grid lines (64-bit
// integer rasterisation of every triangle onto the lines of each axis), the
// grid nodes are classified inside or outside from those crossings (winding
// where a line's crossings balance, parity where they do not), every cell the
// surface passes through gets one vertex per surface piece, and every grid
// edge whose two nodes differ becomes a quad of the four cell vertices around
// it, split into two triangles. The result does not depend on the input's
// triangulation and has triangles about one cell in size.
//
// Needs: a mesh that satisfies the validity rule, with fewer than 2^31 - 1
// triangles, and a grid built for its bounds. Gives: the new surface in a
// ContourResult. Runs three stages, "Reading the surface", "Contouring" and
// "Triangulating"; the stage step is asked before each and a false answer
// stops the run at once. The stages' loops poll the cancel context when one
// is handed down, so a stop is seen within a stage too: a part whose
// triangles each cross millions of grid lines can spend seconds in one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/TriangleMesh.h"
#include "mesh/UnwrittenAllocator.h"

namespace ridgeforge::mesh {

struct ContourGrid {
    double origin[3] = {0.0, 0.0, 0.0};  // world position of node (0, 0, 0), less one substep
    double cellSize = 0.0;
    double substep = 0.0;              // cellSize / subdivisions: one fixed-point unit
    std::int32_t dims[3] = {0, 0, 0};  // cells per axis; nodes run 0..dims
    std::int32_t shift = 0;
    std::int64_t subdivisions = 0;  // fixed-point units per cell, 2^shift
    double tolerance = 0.0;         // how far (in cells) a vertex stays inside a cell face

    ContourGrid() = default;
    // A grid around the box with at least 1.5 cells of margin on every side.
    ContourGrid(const BoundingBox& bounds, double cellSize);
};

// The contouring sizes lists of hundreds of megabytes that its parallel loops
// fill completely: their storage is left unwritten until then.
template <typename T>
using UnsetVector = std::vector<T, UnwrittenAllocator<T>>;

struct ContourResult {
    UnsetVector<float> positions;     // xyz per vertex
    UnsetVector<float> allowedBoxes;  // low xyz, high xyz per vertex
    UnsetVector<float> normals;       // xyz per vertex, unit length or zero
    std::vector<std::uint32_t> indices;
    std::uint64_t linesThroughHole = 0;
    std::uint64_t thinPlaces = 0;
    std::uint64_t missingCrossings = 0;
    bool open = false;
    // Set when the run refused to go on because a count would not fit the
    // mesh's 32-bit indices; the run then returns false without a stop.
    std::string refusal;
};

// Why a run with these counts cannot go on, or empty when they fit: the input
// triangle index must fit the crossing record's 31 bits (one value marks "no
// triangle"), crossings and active cells 32-bit offsets, and the new vertices
// and indices the mesh's 32-bit indices. Checked before anything would wrap.
std::string ContourCountRefusal(std::uint64_t inputTriangles, std::uint64_t crossingsOnOneAxis,
                                std::uint64_t activeCells, std::uint64_t vertices, std::uint64_t ownedEdges);

using ContourStageStep = std::function<bool(const std::string& stage)>;

bool ContourSurface(const TriangleMesh& mesh, const ContourGrid& grid, double sharpness, const ContourStageStep& stage,
                    ContourResult& result, CancelContext* cancel = nullptr);

}  // namespace ridgeforge::mesh
