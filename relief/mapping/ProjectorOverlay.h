// The projector's shape as plain line and triangle lists in part
// coordinates: the view draws it, and the viewport picks the side under the
// cursor from its triangles. Box: the cage's faces and edges; plane: the
// rectangle on the cage's z = 0; cylinder: the wall in 48 segments, its end
// circles and the seam; sphere: a patch of 8 x 8 cells per side.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge::mesh {

struct ProjectorOverlay {
    // The projector surface, three points per triangle.
    std::vector<Vec3f> triangles;
    // The side of each triangle.
    std::vector<std::int32_t> triangleSides;
    // Outline segments, two points each.
    std::vector<Vec3f> lines;
    // Segments drawn in the highlight style, two points each.
    std::vector<Vec3f> accentLines;
};

ProjectorOverlay BuildProjectorOverlay(const Projection& projection);

}  // namespace ridgeforge::mesh
