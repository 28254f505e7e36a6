// Taking small loose bodies ("crumbs") off a mesh.
//
// Needs: a mesh that satisfies the validity rule (callers have just built or
// repaired it). Bodies are triangles joined through shared edges (two vertex
// indices). Returns the number of bodies removed; the largest body is never
// removed. Unused vertices are dropped afterwards; bounds and normals are not
// recomputed.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct RemovedBody {
    Vec3f boundsMin;
    Vec3f boundsMax;
    std::uint64_t triangles = 0;
    // Signed volume in cubic millimetres when a volume threshold was given, else 0.
    double volume = 0.0;
};

// Pass the all-ones value as keepLargest to switch ranking off.
inline constexpr std::uint64_t kKeepAllBodies = ~std::uint64_t{0};

// A body is small when its triangle count × 100 is below the largest body's.
// Small bodies ranked at keepLargest or beyond are removed; small bodies ranked
// before it only when minimumVolume > 0 and their |volume| is below it.
// removedTriangles (added to) and removedBodies (appended to) may be null.
std::uint64_t RemoveCrumbs(TriangleMesh& mesh, std::uint64_t keepLargest, std::uint64_t* removedTriangles,
                           float minimumVolume, std::vector<RemovedBody>* removedBodies);

// Pieces connected through shared vertices; a vertex no triangle uses is a
// piece of its own.
std::uint64_t CountComponents(const TriangleMesh& mesh);

// Removes the pieces whose enclosed volume is below fraction (clamped to 0..1)
// of the largest piece's.
void DropCrumbs(TriangleMesh& mesh, float fraction);

}  // namespace ridgeforge::mesh
