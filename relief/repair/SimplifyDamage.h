// What a simplification did to a surface that its own local tests could not
// see, judged by the definitions the save check uses, and where to hold the
// input so that a second run leaves those places alone.
//
// A collapse is tested only against the triangles around it, so it can push
// a triangle through surface a few rings away (across a narrow groove), and
// the fold test of the save check sums the normals around a triangle
// weighted by area: merging a flat area into a few large triangles can tip
// that sum against a small neighbour on a sharp rim without any triangle
// turning. Both are found here on the result, compared with the input.
//
// Needs: the input and the result of one simplification, with the result's
// maps back to the input (for each result vertex and triangle, the input
// vertex and triangle it came from, corners in the same order).
// Returns: the result triangles that cross another where the input did not,
// or are folded where their input triangle was not; and, for a list of such
// triangles, one byte per input triangle marking the neighbourhood to hold.
// With a cancellation context the crossing searches poll it, and a stop
// throws `Stopped` (CancellableLoop.h): on millions of triangles they take
// seconds.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

std::vector<std::uint32_t> FindSimplifyDamage(const TriangleMesh& input, const TriangleMesh& result,
                                              const std::vector<std::uint32_t>& vertexMap,
                                              const std::vector<std::uint32_t>& faceMap,
                                              CancelContext* cancel = nullptr);

// Marks every input triangle with a corner inside the box around a damaged
// triangle, or, with `aroundCorners`, around it and every triangle that
// shares a corner with it. A marked triangle's corners are held, so the
// triangles around an input vertex in the box keep their shape.
std::vector<std::uint8_t> HoldAroundDamage(const TriangleMesh& input, const TriangleMesh& result,
                                           const std::vector<std::uint32_t>& damaged, bool aroundCorners);

}  // namespace ridgeforge::mesh
