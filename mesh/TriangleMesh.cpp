// Basic geometry of the indexed triangle mesh.
#include "mesh/TriangleMesh.h"

#include <algorithm>
#include <execution>
#include <numeric>

namespace ridgeforge::mesh {

Vec3f Normalize(const Vec3f& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length > 1e-12f) {
        const float inv = 1.0f / length;
        return {v.x * inv, v.y * inv, v.z * inv};
    }
    return {0.0f, 0.0f, 0.0f};
}

bool IsValidMesh(const TriangleMesh& mesh) {
    if (mesh.indices.size() % 3 != 0) return false;
    const std::size_t n = mesh.vertices.size();
    return std::all_of(mesh.indices.begin(), mesh.indices.end(),
                       [n](std::uint32_t i) { return i < n; });
}

void TriangleMesh::RecomputeBounds() {
    boundsMin = boundsMax = {0.0f, 0.0f, 0.0f};
    boundsValid = false;
    if (vertices.empty()) return;
    boundsMin = boundsMax = vertices.front().position;
    for (const Vertex& v : vertices) {
        boundsMin = Min(boundsMin, v.position);
        boundsMax = Max(boundsMax, v.position);
    }
    boundsValid = true;
}

void TriangleMesh::RecomputeNormals() {
    for (Vertex& v : vertices) v.normal = {0.0f, 0.0f, 0.0f};
    if (!IsValidMesh(*this)) return;
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        Vertex& a = vertices[indices[i]];
        Vertex& b = vertices[indices[i + 1]];
        Vertex& c = vertices[indices[i + 2]];
        const Vec3f n = Cross(b.position - a.position, c.position - a.position);
        a.normal += n;
        b.normal += n;
        c.normal += n;
    }
    for (Vertex& v : vertices) v.normal = Normalize(v.normal);
}

Vec3f TriangleMesh::FaceNormal(std::uint64_t t) const {
    if (t >= indices.size() / 3) return {};
    const std::uint32_t ia = indices[3 * t], ib = indices[3 * t + 1], ic = indices[3 * t + 2];
    const std::size_t n = vertices.size();
    if (ia >= n || ib >= n || ic >= n) return {};
    const Vec3f& a = vertices[ia].position;
    return Normalize(Cross(vertices[ib].position - a, vertices[ic].position - a));
}

float TriangleMesh::SurfaceArea() const {
    if (!IsValidMesh(*this)) return 0.0f;
    float area = 0.0f;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        const Vec3f& a = vertices[indices[i]].position;
        const Vec3f n = Cross(vertices[indices[i + 1]].position - a, vertices[indices[i + 2]].position - a);
        area += 0.5f * Length(n);
    }
    return area;
}

float TriangleMesh::SignedVolume() const {
    if (!IsValidMesh(*this)) return 0.0f;
    double sum = 0.0;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        const Vec3d a = ToDouble(vertices[indices[i]].position);
        const Vec3d b = ToDouble(vertices[indices[i + 1]].position);
        const Vec3d c = ToDouble(vertices[indices[i + 2]].position);
        sum += Dot(a, Cross(b, c));
    }
    return static_cast<float>(sum / 6.0);
}

float MedianEdgeLength(const TriangleMesh& mesh) {
    if (mesh.indices.size() < 3 || mesh.vertices.empty()) return 0.0f;
    const std::size_t triangles = mesh.indices.size() / 3;
    const std::size_t step = std::max<std::size_t>(triangles / 40001, 1);
    const std::size_t n = mesh.vertices.size();
    std::vector<float> lengths;
    lengths.reserve(3 * (triangles / step + 1));
    for (std::size_t t = 0; t < triangles; t += step) {
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t i = mesh.indices[3 * t + e];
            const std::uint32_t j = mesh.indices[3 * t + (e + 1) % 3];
            if (i >= n || j >= n) continue;
            const float length = Length(mesh.vertices[j].position - mesh.vertices[i].position);
            if (length > 0.0f) lengths.push_back(length);
        }
    }
    if (lengths.empty()) return 0.0f;
    const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
    std::nth_element(lengths.begin(), middle, lengths.end());
    return *middle;
}

std::uint64_t CountBodies(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return 0;
    std::vector<std::uint32_t> parent(mesh.vertices.size());
    std::iota(parent.begin(), parent.end(), 0u);
    std::vector<bool> used(mesh.vertices.size(), false);
    const auto find = [&parent](std::uint32_t x) {
        while (parent[x] != x) {
            parent[x] = parent[parent[x]];
            x = parent[x];
        }
        return x;
    };
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const std::uint32_t a = mesh.indices[i];
        const std::uint32_t ra = find(a);
        used[a] = true;
        for (int k = 1; k < 3; ++k) {
            const std::uint32_t v = mesh.indices[i + k];
            const std::uint32_t r = find(v);
            if (r != ra) parent[r] = ra;
            used[v] = true;
        }
    }
    std::uint64_t bodies = 0;
    for (std::size_t v = 0; v < parent.size(); ++v) {
        if (used[v] && parent[v] == v) ++bodies;
    }
    return bodies;
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

BodyList SplitIntoBodies(const TriangleMesh& mesh) {
    BodyList list;
    const std::size_t vertexCount = mesh.vertices.size();
    list.vertexTriangleOffsets.assign(vertexCount + 1, 0);
    // Callers check the validity rule first; a broken mesh still must not be
    // read or written out of range, so it gets rows with no triangles.
    if (!IsValidMesh(mesh)) {
        list.vertexNeighbourOffsets.assign(vertexCount + 1, 0);
        return list;
    }
    for (std::uint32_t v : mesh.indices) ++list.vertexTriangleOffsets[v + 1];
    for (std::size_t v = 0; v < vertexCount; ++v) {
        list.vertexTriangleOffsets[v + 1] += list.vertexTriangleOffsets[v];
    }
    list.vertexTriangles.resize(mesh.indices.size());
    std::vector<std::uint32_t> next(list.vertexTriangleOffsets.begin(), list.vertexTriangleOffsets.end() - 1);
    for (std::size_t p = 0; p < mesh.indices.size(); ++p) {
        list.vertexTriangles[next[mesh.indices[p]]++] = static_cast<std::uint32_t>(p / 3);
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
        if (uses == 1) ++counts.openBoundaryEdges;
        else if (uses == 2) ++counts.manifoldEdges;
        else ++counts.nonManifoldEdges;
        i = j;
    }
    return counts;
}

}  // namespace ridgeforge::mesh
