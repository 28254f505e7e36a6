// The entry point of every remesh. Method 0 remeshes isotropically towards
// the target edge length in rounds of split, collapse, flip and tangential
// relaxation, keeping features, borders and non-manifold edges, and keeping
// the surface on the input surface; any other method is remeshing by contour.
//
// Needs: a mesh that satisfies the validity rule and has triangles; anything
// else leaves it untouched with a report of the "before" fields.
// Returns: the report; a stop leaves the partly remeshed (valid) mesh in place
// and marks the report cancelled.
#pragma once

#include "mesh/Progress.h"
#include "mesh/remesh/RemeshReport.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

RemeshReport Remesh(TriangleMesh& mesh, const RemeshSettings& settings, const ProgressCallback& progress);

}  // namespace ridgeforge::mesh
