// One place that builds the mesh's edge table, vertex rows and components.
// Components come from a union-find: through shared vertices each triangle's
// corners are joined; through shared edges, the triangles of each run of equal
// keys in the sorted edge table are joined in the table's order.
#include "mesh/Connectivity.h"

#include <algorithm>
#include <execution>
#include <numeric>

namespace ridgeforge::mesh {

UnionFind::UnionFind(std::size_t count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), 0u); }

std::uint32_t UnionFind::Find(std::uint32_t x) { return FindRoot(parent_, x); }

bool UnionFind::Join(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t ra = Find(a);
    const std::uint32_t rb = Find(b);
    if (ra == rb) return false;
    parent_[rb] = ra;
    return true;
}

Components FindComponents(const TriangleMesh& mesh, JoinThrough rule) {
    Components pieces;
    if (!IsValidMesh(mesh)) return pieces;
    const std::size_t triangles = mesh.indices.size() / 3;
    const bool byVertex = rule == JoinThrough::SharedVertices;
    UnionFind sets(byVertex ? mesh.vertices.size() : triangles);
    if (byVertex) {
        for (std::size_t t = 0; t < triangles; ++t) sets.JoinTriangle(&mesh.indices[3 * t]);
    } else {
        const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(mesh);
        for (std::size_t e = 1; e < edges.size(); ++e) {
            if (edges[e].first == edges[e - 1].first) sets.Join(edges[e - 1].second, edges[e].second);
        }
    }
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::vector<std::uint32_t> pieceOfRoot(byVertex ? mesh.vertices.size() : triangles, kNone);
    pieces.ofTriangle.resize(triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        const std::uint32_t root = sets.Find(byVertex ? mesh.indices[3 * t] : static_cast<std::uint32_t>(t));
        if (pieceOfRoot[root] == kNone) {
            pieceOfRoot[root] = static_cast<std::uint32_t>(pieces.root.size());
            pieces.root.push_back(root);
        }
        pieces.ofTriangle[t] = pieceOfRoot[root];
    }
    return pieces;
}

std::uint64_t CountBodies(const TriangleMesh& mesh) {
    if (mesh.indices.empty()) return 0;
    return FindComponents(mesh, JoinThrough::SharedVertices).Count();
}

std::vector<SortedEdge> BuildSortedEdgeKeys(const TriangleMesh& mesh) {
    std::vector<SortedEdge> edges;
    edges.reserve(mesh.indices.size());
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const auto t = static_cast<std::uint32_t>(i / 3);
        const std::uint32_t a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        edges.emplace_back(EdgeKey(a, b), t);
        edges.emplace_back(EdgeKey(b, c), t);
        edges.emplace_back(EdgeKey(c, a), t);
    }
    std::sort(std::execution::par_unseq, edges.begin(), edges.end());
    return edges;
}

bool BuildVertexTriangleRows(const TriangleMesh& mesh, std::vector<std::uint32_t>& offsets,
                             std::vector<std::uint32_t>& triangles) {
    const std::size_t vertexCount = mesh.vertices.size();
    offsets.assign(vertexCount + 1, 0);
    triangles.clear();
    // Callers check the validity rule first; a broken mesh still must not be
    // read or written out of range, so it gets rows with no triangles.
    if (!IsValidMesh(mesh)) return false;
    for (std::uint32_t v : mesh.indices) ++offsets[v + 1];
    for (std::size_t v = 0; v < vertexCount; ++v) offsets[v + 1] += offsets[v];
    triangles.resize(mesh.indices.size());
    std::vector<std::uint32_t> next(offsets.begin(), offsets.end() - 1);
    for (std::size_t p = 0; p < mesh.indices.size(); ++p) {
        triangles[next[mesh.indices[p]]++] = static_cast<std::uint32_t>(p / 3);
    }
    return true;
}

BodyList SplitIntoBodies(const TriangleMesh& mesh) {
    BodyList list;
    const std::size_t vertexCount = mesh.vertices.size();
    if (!BuildVertexTriangleRows(mesh, list.vertexTriangleOffsets, list.vertexTriangles)) {
        list.vertexNeighbourOffsets.assign(vertexCount + 1, 0);
        return list;
    }

    list.vertexNeighbourOffsets.assign(vertexCount + 1, 0);
    list.vertexNeighbours.reserve(mesh.indices.size() * 2);
    std::vector<std::uint32_t> around;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        around.clear();
        for (std::uint32_t k = list.vertexTriangleOffsets[v]; k < list.vertexTriangleOffsets[v + 1]; ++k) {
            const std::size_t t = list.vertexTriangles[k];
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t w = mesh.indices[3 * t + c];
                if (w != v) around.push_back(w);
            }
        }
        std::sort(around.begin(), around.end());
        around.erase(std::unique(around.begin(), around.end()), around.end());
        list.vertexNeighbours.insert(list.vertexNeighbours.end(), around.begin(), around.end());
        list.vertexNeighbourOffsets[v + 1] = static_cast<std::uint32_t>(list.vertexNeighbours.size());
    }
    return list;
}

EdgeCounts EdgeStatistics(const TriangleMesh& mesh) {
    EdgeCounts counts;
    if (!IsValidMesh(mesh)) return counts;
    // A parallel sort of the edge keys counts the uses of each edge without
    // the memory traffic of a hash map on meshes of millions of triangles.
    std::vector<std::uint64_t> keys;
    keys.reserve(mesh.indices.size());
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const std::uint32_t a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        keys.push_back(EdgeKey(a, b));
        keys.push_back(EdgeKey(b, c));
        keys.push_back(EdgeKey(c, a));
    }
    std::sort(std::execution::par_unseq, keys.begin(), keys.end());
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i + 1;
        while (j < keys.size() && keys[j] == keys[i]) ++j;
        ++counts.edges;
        const std::size_t uses = j - i;
        if (uses == 1)
            ++counts.openBoundaryEdges;
        else if (uses == 2)
            ++counts.manifoldEdges;
        else
            ++counts.nonManifoldEdges;
        i = j;
    }
    return counts;
}

}  // namespace ridgeforge::mesh
