// In-place clean-up of a mesh: triangles without area, repeated triangles and
// vertices that no triangle uses.
//
// Needs: a mesh; one that breaks the validity rule is left as it was and 0 is
// returned. Each returns how many things it dropped (or, for the count, how
// many it found). Arrays are only replaced when something was dropped, and
// none of these recomputes bounds or normals.
#pragma once

#include <cstdint>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Drops triangles with two equal corner indices and, unless keepZeroArea,
// triangles whose cross product has zero length. Kept triangles keep their
// order and winding.
std::uint64_t RemoveDegenerateTriangles(TriangleMesh& mesh, bool keepZeroArea);

// Triangles that repeat the corner set of an earlier one, in any order or winding.
std::uint64_t CountDuplicateTriangles(const TriangleMesh& mesh);

// Keeps the first triangle of each corner set with its own winding.
std::uint64_t RemoveDuplicateTriangles(TriangleMesh& mesh);

// Drops vertices that no index names, keeping the others in order.
std::uint64_t RemoveUnusedVertices(TriangleMesh& mesh);

}  // namespace ridgeforge::mesh
