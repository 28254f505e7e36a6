// The "mesh" relief: every textured vertex moves along its normal by the
// sampled map height times its texture weight, in thirteen timed stages:
//   sampling; face normals, edge table, smooth regions (faces joined across
//   edges bending less than 60 degrees), vertex faces and a tree over the
//   regions; per vertex the nearest surface of another region in the
//   direction of the move (the opposite wall, the other side of a slot),
//   smoothed along the edges, which cuts each move to 0.45 of it; the wall
//   hold; mitres at creases (the offset direction that keeps up to three
//   flat faces flat and parallel); moving, with the base band kept level;
//   the fold guard, which eases back moves that tilt a face past the limit
//   by averaging them with the neighbours' moves (vertices kept level stay
//   level), then halves the moves that still make triangles cross or fold
//   onto each other; bounds and normals.
//
// Needs: a valid mesh with vertex normals, a height map with pixels, one
// weight per vertex (the texture coverage). Gives: the mesh moved in place
// and a report; an invalid input leaves the mesh as it was. The callback,
// when given, is asked (stage text "Displacing") before each stage up to the
// move, now and then within the clearance queries and between the steps of
// the fold guard: on a part of millions of triangles those take seconds. A
// stop leaves the mesh as it was (a stop in the fold guard puts the moved
// positions back) and the report says stopped.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Progress.h"
#include "mesh/TileFrame.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "textures/HeightMap.h"

namespace ridgeforge::mesh {

// Share of the clearance a move may use.
inline constexpr float kClearanceShare = 0.45f;
// Rounds of the fold guard.
inline constexpr std::uint32_t kMaximumFoldRounds = 30;

DisplacementReport ApplyDisplacement(TriangleMesh& mesh, const Projection& projection, const HeightMap& map,
                                     const std::vector<float>& weights, const DisplacementSettings& settings,
                                     const std::vector<std::uint8_t>* faceFlags, const TileFrame& frame,
                                     const ProgressCallback& progress = {});

}  // namespace ridgeforge::mesh
