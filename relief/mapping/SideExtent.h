// The frame on which a side's texture lies on the projector surface: where
// the layer's origin sits, the side's surface axes before and after the
// layer's turn, and half the extent of the region the layer covers. The view
// draws the texture handles on it; the document sizes a texture that is laid
// once from its half extents.
#pragma once

#include <cstdint>

#include "mesh/Vec3.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge::mesh {

// Vectors in part coordinates; an invalid result is all zero with side -1.
struct SideExtentResult {
    bool valid = false;
    std::int32_t side = -1;
    // The point on the projector surface where the layer's origin lies.
    Vec3f anchor;
    // The surface axes turned by the layer's rotation.
    Vec3f uDirection;
    Vec3f vDirection;
    Vec3f normal;
    // The unit surface axes before the turn.
    Vec3f axisA;
    Vec3f axisB;
    // Half the extent the layer covers along axis A and axis B, mm.
    float halfWidth = 0.0f;
    float halfHeight = 0.0f;
};

// The extent of side `side`; with `useLayerOrigin` the anchor sits at the
// layer's origin (held inside the side), else at the side's own origin.
// Invalid for a side the mapping does not have.
SideExtentResult SideExtent(const Projection& projection, int side, bool useLayerOrigin);

}  // namespace ridgeforge::mesh
