// The transform that turns a chosen flat surface down onto the print bed.
#pragma once

#include "mesh/SegmentSurfaces.h"
#include "mesh/Transform.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Rotates the part about the centre of its bounding box so that the surface's
// normal points to -Z, then moves it vertically so that its lowest point keeps
// the old lowest height. The identity for a mesh without vertices or a surface
// that already faces down.
Transform LayFlatTransform(const TriangleMesh& mesh, const Surface& surface);

}  // namespace ridgeforge::mesh
