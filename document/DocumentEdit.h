// What a change handed to the document's one edit operation
// (CRidgeforgeDoc::Edit) may write: the processing settings records, the
// stage switches and triangle limits, the placement (projection, mask
// volumes, the chosen mask) and the two display switches that decide which
// mesh is shown. The texture changes through the document's own texture
// operations, called from inside the change; they join the same edit.
//
// Outside the document its fields are read, not written: a window builds
// the new values and writes them here, inside Edit, so that every change
// records one undo step and refreshes the views once.
#pragma once

#include <cstdint>
#include <vector>

#include "relief/mapping/MaskVolume.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/simplify/SimplifySettings.h"

namespace ridgeforge {

struct DocumentEdit {
    mesh::Projection& projection;
    std::vector<mesh::MaskVolume>& maskVolumes;
    std::int32_t& activeMask;
    mesh::RemeshSettings& remeshSettings;
    mesh::DisplacementSettings& displacementSettings;
    mesh::SimplifySettings& simplifySettings;
    bool& remeshEnabled;
    bool& displacementEnabled;
    bool& simplifyEnabled;
    std::uint64_t& maximumTriangles;
    std::uint64_t& displayTriangles;
    bool& printCheckShown;
    bool& placementToolActive;
};

}  // namespace ridgeforge
