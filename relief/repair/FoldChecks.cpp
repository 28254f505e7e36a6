// Fold checks: a triangle is folded when it faces away from the summed normals
// of the triangles around its corners, and a fold "lies on its neighbour" when
// the two are pressed flat onto each other with the neighbour on top, which is
// how a relief that overshot looks before it crosses anything.
#include "relief/repair/FixBuildingBlocks.h"

#include <cmath>

#include "mesh/ParallelChunks.h"

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

bool IsFolded(const Vec3d& n, const Vec3d& s) {
    const double nl = Length(n), sl = Length(s);
    if (!(nl > 0.0) || !(sl > 0.0)) return false;
    return Dot(n, s) < -0.3 * nl * sl;
}

}  // namespace

Vec3d CornerNormalSum(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t vertex) {
    Vec3d s;
    for (std::uint32_t i = adjacency.vertexTriangleOffsets[vertex]; i < adjacency.vertexTriangleOffsets[vertex + 1];
         ++i) {
        s += TriangleNormal(mesh, adjacency.vertexTriangles[i]);
    }
    return s;
}

std::vector<Vec3d> CornerNormalSums(const TriangleMesh& mesh, const VertexAdjacency& adjacency) {
    std::vector<Vec3d> sums(adjacency.vertexTriangleOffsets.empty() ? 0 : adjacency.vertexTriangleOffsets.size() - 1);
    ForEachChunk(sums.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v)
            sums[v] = CornerNormalSum(mesh, adjacency, static_cast<std::uint32_t>(v));
    });
    return sums;
}

bool IsFoldedTriangle(const TriangleMesh& mesh, const VertexAdjacency& adjacency, std::uint32_t triangle) {
    const std::uint32_t* corner = &mesh.indices[3 * std::size_t{triangle}];
    return IsFolded(TriangleNormal(mesh, triangle), CornerNormalSum(mesh, adjacency, corner[0]) +
                                                        CornerNormalSum(mesh, adjacency, corner[1]) +
                                                        CornerNormalSum(mesh, adjacency, corner[2]));
}

bool IsFoldedTriangle(const TriangleMesh& mesh, const std::vector<Vec3d>& cornerSums, std::uint32_t triangle) {
    const std::uint32_t* corner = &mesh.indices[3 * std::size_t{triangle}];
    return IsFolded(TriangleNormal(mesh, triangle),
                    cornerSums[corner[0]] + cornerSums[corner[1]] + cornerSums[corner[2]]);
}

FoldJudge::FoldJudge(std::size_t vertices) : vertices_(vertices) {}

std::vector<std::uint32_t> FoldJudge::Folded(const TriangleMesh& mesh, const VertexAdjacency& adjacency,
                                             const std::vector<std::uint32_t>& triangles) {
    // Made at the first call: most fixes find no fold to judge again.
    if (summedIn_.empty()) {
        sums_.resize(vertices_);
        summedIn_.assign(vertices_, 0);
    }
    // A new call number marks every sum of an earlier call as gone.
    ++call_;
    std::vector<std::uint32_t> folded;
    for (const std::uint32_t t : triangles) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = mesh.indices[3 * std::size_t{t} + k];
            if (summedIn_[v] == call_) continue;
            summedIn_[v] = call_;
            sums_[v] = CornerNormalSum(mesh, adjacency, v);
        }
        if (IsFoldedTriangle(mesh, sums_, t)) folded.push_back(t);
    }
    return folded;
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
