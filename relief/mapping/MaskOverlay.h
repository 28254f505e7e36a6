// Line geometry with one colour per point, for the renderer's handle and
// mask-volume overlays, and the outline of a mask volume in it. Plain data:
// no graphics library is needed to build it, and the renderer includes this
// header as its own definition of the record.
#pragma once

#include <vector>

#include "mesh/Vec3.h"
#include "relief/mapping/MaskVolume.h"

namespace ridgeforge::gl {

// Part-space points with an RGB colour (0..1) each: consecutive pairs of
// `linePoints` are segments, consecutive triples of `trianglePoints`
// triangles. A point whose colour list is too short is drawn white.
struct ColouredGeometry {
    std::vector<mesh::Vec3f> linePoints;
    std::vector<mesh::Vec3f> lineColours;
    std::vector<mesh::Vec3f> trianglePoints;
    std::vector<mesh::Vec3f> triangleColours;
};

// Appends the volume's outline segments and their colours to the line lists
// (orange; the selected volume brighter, a disabled one with grey accents).
// Box: the twelve edges; cylinder: the two end ellipses in 48 segments and
// four joining lines; ellipsoid: a net of 24 meridians by 12 latitude steps.
void BuildMaskOverlay(const mesh::MaskVolume& volume, bool selected, ColouredGeometry& overlay);

}  // namespace ridgeforge::gl
