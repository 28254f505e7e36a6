// The two general picks of the viewport: the nearest triangle of a mesh
// under a ray (the wheel zooms about it), and the side of the projector
// shape under a ray (a click chooses that cage side).
#pragma once

#include "mesh/RayTests.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge::gl {

// Every triangle in index order after a slab test against the mesh bounds;
// a later hit wins only when strictly nearer. Nothing is hit for a mesh that
// breaks the index rule, is empty or has no valid bounds.
mesh::RayHit PickMeshTriangle(const mesh::Ray& ray, const mesh::TriangleMesh& mesh);

// The nearest triangle of the projector shape; `triangle` holds its side
// index (-1 on a miss or for a triangle without a side).
mesh::RayHit PickProjectionShape(const mesh::Ray& ray, const mesh::Projection& projection);

}  // namespace ridgeforge::gl
