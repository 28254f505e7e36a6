// Counting over-shared edges and dropping double-skinned pairs. Both walk a
// sorted list: edges by their 64-bit key, triangles by their sorted corner
// triple, so that equal items sit in one run.
#include <algorithm>
#include <array>

#include "relief/repair/NonManifoldEdges.h"

namespace ridgeforge::mesh {

namespace nonmanifold {

std::vector<std::uint32_t> TrianglesOfEdge(const std::vector<SortedEdge>& edges, std::uint64_t key) {
    std::vector<std::uint32_t> triangles;
    for (auto it = std::lower_bound(edges.begin(), edges.end(), SortedEdge{key, 0});
         it != edges.end() && it->first == key; ++it) {
        triangles.push_back(it->second);
    }
    return triangles;
}

}  // namespace nonmanifold

std::uint64_t CountNonManifoldEdges(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return 0;
    return EdgeStatistics(mesh).nonManifoldEdges;
}

namespace {

struct SkinRecord {
    std::array<std::uint32_t, 3> key;
    bool winding = false;
    std::uint32_t triangle = 0;
};

SkinRecord MakeSkinRecord(const TriangleMesh& mesh, std::uint32_t t) {
    const std::uint32_t* c = &mesh.indices[3 * std::size_t{t}];
    // Rotate (keeping the cyclic order) until the smallest index leads; the
    // order of the other two then tells the winding.
    int first = 0;
    if (c[1] < c[first]) first = 1;
    if (c[2] < c[first]) first = 2;
    SkinRecord r;
    r.winding = c[(first + 1) % 3] < c[(first + 2) % 3];
    r.key = {c[0], c[1], c[2]};
    std::sort(r.key.begin(), r.key.end());
    r.triangle = t;
    return r;
}

}  // namespace

std::uint64_t RemoveDoubleSkinnedPairs(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return 0;
    const std::size_t count = mesh.TriangleCount();
    std::vector<SkinRecord> records(count);
    for (std::size_t t = 0; t < count; ++t) records[t] = MakeSkinRecord(mesh, static_cast<std::uint32_t>(t));
    std::sort(records.begin(), records.end(), [](const SkinRecord& x, const SkinRecord& y) {
        return x.key != y.key ? x.key < y.key : x.triangle < y.triangle;
    });
    std::vector<std::uint8_t> removed(count, 0);
    std::uint64_t pairs = 0;
    for (std::size_t begin = 0; begin < count;) {
        std::size_t end = begin + 1;
        while (end < count && records[end].key == records[begin].key) ++end;
        std::vector<std::uint32_t> set, clear;
        for (std::size_t i = begin; i < end; ++i) (records[i].winding ? set : clear).push_back(records[i].triangle);
        const std::size_t m = std::min(set.size(), clear.size());
        for (std::size_t i = 0; i < m; ++i) removed[set[i]] = removed[clear[i]] = 1;
        pairs += m;
        begin = end;
    }
    if (pairs == 0) return 0;
    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size() - 6 * pairs);
    for (std::size_t t = 0; t < count; ++t) {
        if (!removed[t]) kept.insert(kept.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    }
    mesh.indices = std::move(kept);
    return pairs;
}

}  // namespace ridgeforge::mesh
