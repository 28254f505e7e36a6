// Fold checks: a triangle is folded when it faces away from the summed normals
// of the triangles around its corners, and a fold "lies on its neighbour" when
// the two are pressed flat onto each other with the neighbour on top, which is
// how a relief that overshot looks before it crosses anything.
#include "relief/repair/FixBuildingBlocks.h"

#include <cmath>

namespace ridgeforge::mesh {

namespace {

Vec3d TriangleNormal(const TriangleMesh& mesh, std::uint32_t t) {
    const Vec3d a = ToDouble(mesh.vertices[mesh.indices[3 * std::size_t{t}]].position);
    const Vec3d b = ToDouble(mesh.vertices[mesh.indices[3 * std::size_t{t} + 1]].position);
    const Vec3d c = ToDouble(mesh.vertices[mesh.indices[3 * std::size_t{t} + 2]].position);
    return Cross(b - a, c - a);
}

bool HasCorner(const TriangleMesh& mesh, std::uint32_t t, std::uint32_t v) {
    const std::size_t i = 3 * std::size_t{t};
    return mesh.indices[i] == v || mesh.indices[i + 1] == v || mesh.indices[i + 2] == v;
}

}  // namespace

bool IsFoldedTriangle(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t triangle) {
    const Vec3d n = TriangleNormal(mesh, triangle);
    Vec3d s;
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t v = mesh.indices[3 * std::size_t{triangle} + k];
        for (std::uint32_t i = adjacency.vertexTriangleOffsets[v]; i < adjacency.vertexTriangleOffsets[v + 1]; ++i) {
            s += TriangleNormal(mesh, adjacency.vertexTriangles[i]);
        }
    }
    const double nl = Length(n), sl = Length(s);
    if (!(nl > 0.0) || !(sl > 0.0)) return false;
    return Dot(n, s) < -0.3 * nl * sl;
}

namespace fixes {

bool FoldLiesOnNeighbour(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t triangle) {
    const Vec3d n = TriangleNormal(mesh, triangle);
    const double nl = Length(n);
    if (!(nl > 0.0)) return false;
    const std::size_t base = 3 * std::size_t{triangle};
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t from = mesh.indices[base + k], to = mesh.indices[base + (k + 1) % 3];
        std::uint32_t neighbour = 0, found = 0;
        for (std::uint32_t i = adjacency.vertexTriangleOffsets[from]; i < adjacency.vertexTriangleOffsets[from + 1];
             ++i) {
            const std::uint32_t u = adjacency.vertexTriangles[i];
            if (u != triangle && HasCorner(mesh, u, to)) {
                neighbour = u;
                ++found;
            }
        }
        if (found != 1) continue;
        const Vec3d m = TriangleNormal(mesh, neighbour);
        const double ml = Length(m);
        if (!(ml > 0.0) || Dot(n, m) > -0.9 * nl * ml) continue;
        std::uint32_t far = from;
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t w = mesh.indices[3 * std::size_t{neighbour} + c];
            if (w != from && w != to) far = w;
        }
        const Vec3d d = ToDouble(mesh.vertices[far].position) - ToDouble(mesh.vertices[from].position);
        const double height = Dot(n, d) / nl;
        if (height >= -0.0001 * Length(d)) return true;
    }
    return false;
}

}  // namespace fixes
}  // namespace ridgeforge::mesh
