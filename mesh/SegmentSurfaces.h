// The flat surfaces a part can stand on: coplanar groups of triangles whose
// plane has no vertex of the part in front of it. The document colours them
// and offers them to the lay-on-face command.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

struct Surface {
    Vec3f normal;                          // unit outward normal of the first triangle
    float offset = 0;                      // normal . p for a point p of the first triangle
    float area = 0;                        // mm²
    Vec3f centroid;                        // area-weighted centroid of the triangles
    std::vector<std::uint32_t> triangles;  // ascending
};

struct SurfaceSearchSettings {
    float minimumArea = 1.0f;         // mm²
    float angleTolerance = 1.0f;      // degrees
    float distanceTolerance = 0.05f;  // mm; below 0 counts as 0
};

// Needs a valid mesh (otherwise the result is empty). Returns the surfaces of
// at least the minimum area, largest first. A triangle joins the first
// earlier surface (in order of creation) whose normal is within the angle and
// whose plane is within the distance; otherwise it starts a new one.
std::vector<Surface> SegmentSurfaces(const TriangleMesh& mesh, const SurfaceSearchSettings& settings);

}  // namespace ridgeforge::mesh
