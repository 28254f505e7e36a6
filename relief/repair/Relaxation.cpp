// Bounded relaxation and the regions it works on. Each step moves a vertex
// halfway towards the mean of its neighbours (one Laplacian step with factor
// 0.5, computed from the positions before the step so that the order of the
// list does not matter), then clamps its total displacement, measured from
// where it stood before the first step of the run, to the maximum move.
#include <algorithm>
#include <atomic>

#include "mesh/SortUnique.h"
#include "mesh/ParallelChunks.h"
#include "relief/repair/FixBuildingBlocks.h"

namespace ridgeforge::mesh::fixes {

void RelaxVertices(TriangleMesh& mesh, const VertexAdjacency& adjacency, const std::vector<std::uint32_t>& vertices,
                   std::vector<Vec3f>& start, std::vector<std::uint8_t>& moved, const std::vector<std::uint8_t>& pinned,
                   float maximumMove) {
    std::vector<Vec3f> targets(vertices.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const std::uint32_t v = vertices[i];
        const Vec3f p = mesh.vertices[v].position;
        const std::uint32_t first = adjacency.vertexNeighbourOffsets[v], last = adjacency.vertexNeighbourOffsets[v + 1];
        if (first == last) {
            targets[i] = p;
            continue;
        }
        Vec3d sum;
        for (std::uint32_t k = first; k < last; ++k)
            sum += ToDouble(mesh.vertices[adjacency.vertexNeighbours[k]].position);
        const Vec3d mean = sum / static_cast<double>(last - first);
        targets[i] = ToFloat(ToDouble(p) + 0.5 * (mean - ToDouble(p)));
    }
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const std::uint32_t v = vertices[i];
        if (pinned[v]) continue;
        if (!moved[v]) {
            start[v] = mesh.vertices[v].position;
            moved[v] = 1;
        }
        Vec3d offset = ToDouble(targets[i]) - ToDouble(start[v]);
        const double length = Length(offset);
        if (length > maximumMove && length > 0.0) offset = offset * (static_cast<double>(maximumMove) / length);
        Vec3f placed = ToFloat(ToDouble(start[v]) + offset);
        // Rounding to float may land a hair beyond the limit; step back onto it.
        if (Length(ToDouble(placed) - ToDouble(start[v])) > maximumMove) {
            placed = maximumMove > 0.0f ? ToFloat(ToDouble(start[v]) + offset * (1.0 - 1e-6)) : start[v];
        }
        mesh.vertices[v].position = placed;
    }
}

std::vector<std::uint32_t> CollectVerticesAround(const TriangleMesh& mesh, const VertexAdjacency& adjacency,
                                                 const std::vector<std::uint32_t>& triangles, int rings) {
    std::vector<std::uint32_t> list;
    std::vector<std::uint8_t> listed(mesh.vertices.size(), 0);
    for (const std::uint32_t t : triangles) {
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t v = mesh.indices[3 * std::size_t{t} + c];
            if (!listed[v]) {
                listed[v] = 1;
                list.push_back(v);
            }
        }
    }
    for (int ring = 0; ring < rings; ++ring) {
        const std::size_t count = list.size();
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t v = list[i];
            for (std::uint32_t k = adjacency.vertexNeighbourOffsets[v]; k < adjacency.vertexNeighbourOffsets[v + 1];
                 ++k) {
                const std::uint32_t w = adjacency.vertexNeighbours[k];
                if (!listed[w]) {
                    listed[w] = 1;
                    list.push_back(w);
                }
            }
        }
    }
    return list;
}

std::vector<std::uint32_t> TrianglesAtVertices(const VertexAdjacency& adjacency,
                                               const std::vector<std::uint32_t>& vertices) {
    std::vector<std::uint32_t> triangles;
    for (const std::uint32_t v : vertices) {
        triangles.insert(triangles.end(), adjacency.vertexTriangles.begin() + adjacency.vertexTriangleOffsets[v],
                         adjacency.vertexTriangles.begin() + adjacency.vertexTriangleOffsets[v + 1]);
    }
    SortUnique(triangles);
    return triangles;
}

namespace {

float EdgeLength(const TriangleMesh& mesh, std::uint32_t a, std::uint32_t b) {
    return static_cast<float>(Length(ToDouble(mesh.vertices[a].position) - ToDouble(mesh.vertices[b].position)));
}

}  // namespace

float MedianLongestEdge(const TriangleMesh& mesh) {
    const std::size_t count = mesh.TriangleCount();
    if (count == 0) return 0.0f;
    std::vector<float> longest(count);
    ForEachChunk(count, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const std::uint32_t* c = &mesh.indices[3 * t];
            longest[t] =
                std::max({EdgeLength(mesh, c[0], c[1]), EdgeLength(mesh, c[1], c[2]), EdgeLength(mesh, c[2], c[0])});
        }
    });
    std::nth_element(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(count / 2), longest.end());
    return longest[count / 2];
}

std::vector<std::uint8_t> LongEdgeVertices(const TriangleMesh& mesh) {
    std::vector<std::uint8_t> pinned(mesh.vertices.size(), 0);
    const float threshold = 4.0f * MedianLongestEdge(mesh);
    ForEachChunk(mesh.TriangleCount(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t a = mesh.indices[3 * t + k], b = mesh.indices[3 * t + (k + 1) % 3];
                if (!(EdgeLength(mesh, a, b) > threshold)) continue;
                // Chunks may pin one vertex together; each only ever writes 1.
                std::atomic_ref<std::uint8_t>(pinned[a]).store(1, std::memory_order_relaxed);
                std::atomic_ref<std::uint8_t>(pinned[b]).store(1, std::memory_order_relaxed);
            }
        }
    });
    return pinned;
}

std::vector<Vec3f> SnapshotPositions(const TriangleMesh& mesh) {
    std::vector<Vec3f> positions(mesh.vertices.size());
    for (std::size_t v = 0; v < positions.size(); ++v) positions[v] = mesh.vertices[v].position;
    return positions;
}

}  // namespace ridgeforge::mesh::fixes
