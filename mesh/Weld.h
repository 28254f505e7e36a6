// Merging vertices of a triangle soup into shared vertices.
//
// Needs: any mesh; a mesh that breaks the validity rule, or has no vertices,
// is left as it was and 0 is returned. Returns the number of vertices merged
// away. Neither weld recomputes bounds or normals.
//
// The exact weld hashes the 32-bit patterns of each position (with -0 read as
// +0). The tolerance weld buckets positions in a grid of cells the size of the
// tolerance and takes the first kept vertex within reach among the 27 cells
// around each vertex, so it is one linear pass with a hash map.
#pragma once

#include <cstdint>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Merges vertices whose positions are bit-for-bit equal; the first of each
// position survives with its own normal.
std::uint64_t WeldExactVertices(TriangleMesh& mesh);

// Merges each vertex into the first kept vertex no further than `tolerance`
// millimetres away. A tolerance that is not finite and above 0 changes
// nothing; vertices with a coordinate that is not finite are kept as they are.
std::uint64_t WeldVerticesWithinTolerance(TriangleMesh& mesh, float tolerance);

}  // namespace ridgeforge::mesh
