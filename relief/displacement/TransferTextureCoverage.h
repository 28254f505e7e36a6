// Carries a texture coverage over to a mesh made anew from the old one (the
// solid relief's contour), by closest points on the old surface.
//
// Needs: the old mesh with a coverage that matches it. Gives: a coverage of
// the new mesh, or an empty one when the old coverage does not match or the
// new mesh has no vertices or triangles. Both passes are cancellable loops:
// run under a published cancellation context, a stop throws `Stopped`.
#pragma once

#include "mesh/AabbTree.h"
#include "mesh/TextureCoverage.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// oldTree: the old mesh's tree, or null to build one here.
TextureCoverage TransferTextureCoverage(const TriangleMesh& oldMesh, const TextureCoverage& oldCoverage,
                                        const TriangleMesh& newMesh, const AabbTree* oldTree = nullptr);

}  // namespace ridgeforge::mesh
