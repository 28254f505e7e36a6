// Taking off the bodies of a contoured relief that are thinner than one
// printed line.
//
// Bodies are triangles joined through shared vertices. The largest bodies,
// as many as the part had before the relief, always stay; of the rest, each
// whose bounding box is thinner than the line width on some axis is removed.
// Returns the number of bodies removed; removedTriangles (added to) and
// removedBodies (appended to, volume 0) may be null. Unused vertices are
// dropped; bounds and normals are left to the caller.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Crumbs.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

std::uint64_t RemoveUnprintableBodies(TriangleMesh& mesh, std::uint64_t bodiesToKeep, float lineWidth,
                                      std::uint64_t* removedTriangles, std::vector<RemovedBody>* removedBodies);

}  // namespace ridgeforge::mesh
