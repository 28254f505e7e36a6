// Remeshing by dual contouring: the part's surface is replaced by a closed
// surface of about one grid cell per triangle, moved back onto the original
// surface, and cleared of pieces the part did not have.
//
// Needs a mesh that satisfies the validity rule and has triangles; anything
// else, a stop through the progress callback, or a contouring that yields no
// closed surface leaves the mesh exactly as it was. The report says which.
#pragma once

#include <cstdint>

#include "mesh/Progress.h"
#include "mesh/Crumbs.h"  // CountComponents and DropCrumbs, which the contouring uses
#include "mesh/remesh/RemeshReport.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

RemeshReport RemeshByContour(TriangleMesh& mesh, const RemeshSettings& settings, const ProgressCallback& progress);

}  // namespace ridgeforge::mesh
