// Whether a mesh is a sound closed solid that a relief can work on and a
// slicer can read: edge use, winding, orientation, volume sign, degenerate,
// sliver and duplicate triangles, unused vertices and, on request,
// triangles that pass through others.
//
// Needs: any mesh; bad indices and an empty mesh are findings, not errors.
// Returns: the report, with a verdict and a sentence and advice per finding.
#pragma once

#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"
#include "relief/validation/ValidationReport.h"

namespace ridgeforge::mesh {

// With a cancellation context, every long pass polls it and a stop throws
// `Stopped` (CancellableLoop.h); without one the check runs to the end.
ValidationReport ValidateMesh(const TriangleMesh& mesh, const ValidationOptions& options,
                              CancelContext* cancel = nullptr);

// Runs the self-intersection search on the whole mesh within the options'
// budget and fills the report's self-intersection fields. A search that ran
// out of budget only sets stoppedEarly; a stop throws `Stopped`.
void CheckSelfIntersections(const TriangleMesh& mesh, const ValidationOptions& options, ValidationReport& report,
                            CancelContext* cancel = nullptr);

}  // namespace ridgeforge::mesh
