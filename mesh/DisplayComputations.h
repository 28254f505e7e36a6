// Geometry the 3D view shows in place of a mesh: the mesh cut by a plane (the
// clipping plane) and a reduced copy of a mesh too large to draw.
//
// The reduction is vertex clustering (Rossignac and Borrel, "Multi-resolution
// 3D approximations for rendering complex scenes", 1993): vertices are pooled
// in a uniform grid of cubic cells, each cell becomes its mean position, and
// triangles whose corners share a cell vanish. One pass over the vertices and
// one over the triangles, so a copy of tens of millions of triangles is quick.
//
// Pure functions on their inputs; the document's meshes are never changed.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct ReducedMesh {
    TriangleMesh mesh;
    // The input triangle each triangle of `mesh` came from.
    std::vector<std::uint32_t> sourceTriangles;
    // mm; 0 when the mesh was copied unreduced.
    float cellSize = 0.0f;
};

// The part of the mesh on the side the normal points to (signed distance
// >= 0 is kept). Triangles crossing the plane are cut; the result shares no
// vertices between triangles. A mesh breaking the index rule gives an empty
// mesh; a zero normal gives the mesh uncut.
TriangleMesh ClipMeshByPlane(const TriangleMesh& mesh, const Vec3f& point, const Vec3f& normal);

// Appends three unshared vertices and the triangle over them.
void AppendTriangle(TriangleMesh& mesh, const Vertex& a, const Vertex& b, const Vertex& c);

// Vertex clustering with cubic cells of `cellSize` mm from the bounds'
// minimum. Needs valid bounds and a valid mesh (else empty).
ReducedMesh ReduceMesh(const TriangleMesh& mesh, float cellSize);

// A copy of about `budget` triangles at most: one reduction sized from the
// surface area, and a second, coarser one when the first overshoots. A mesh
// within the budget, a budget of 0 or invalid bounds give an exact copy.
ReducedMesh MakeReducedCopy(const TriangleMesh& mesh, std::uint64_t budget);

}  // namespace ridgeforge::mesh
