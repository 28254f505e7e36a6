// A closed triangle mesh from the zero level of a sparse distance field, by
// dual contouring over the stored bricks (Ju, Losasso, Schaefer and Warren,
// "Dual Contouring of Hermite Data", 2002; one vertex per surface piece of a
// cell as in Schaefer, Ju and Warren, "Manifold Dual Contouring", 2007).
//
// Needs: a grid filled by SparseDistanceGrid::Build. Gives: the mesh and the
// stats. A quad that reaches a cell outside the stored bricks sets the holes
// flag (its two triangles are left degenerate), and so does a solid that
// reaches the outer side of the lattice; an estimate over the triangle
// limit leaves the mesh empty with the over-limit flag. Throws `Stopped`
// when the published cancellation context is stopped.
#pragma once

#include <cstdint>

#include "mesh/TriangleMesh.h"
#include "relief/displacement/SparseDistanceGrid.h"

namespace ridgeforge::mesh {

struct SolidContourStats {
    double seconds = 0.0;
    std::uint64_t cellsContoured = 0;
    std::uint64_t splitCells = 0;
    bool holes = false;
    std::uint64_t triangleLimit = ~std::uint64_t{0};  // set by the caller
    std::uint64_t triangleEstimate = 0;
    bool overLimit = false;
};

// regularisation: how strongly ordinary pieces are drawn to the mass point of
// their crossings (1 is the remesher's default; smaller keeps corners
// sharper). With sharpRelief, pieces that touch relief voxels are placed with
// none, so relief edges stay sharp. Below cutPlaneZ nothing is placed.
void ContourDistanceGrid(TriangleMesh& mesh, const SparseDistanceGrid& grid, float cutPlaneZ, double regularisation,
                         bool sharpRelief, SolidContourStats& stats);

}  // namespace ridgeforge::mesh
