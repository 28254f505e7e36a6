// Working copy for local mesh edits: compact incidence rebuilt between passes,
// per-vertex added lists in between, dead flags instead of erasure.
#include "mesh/EditableMesh.h"

#include <algorithm>
#include <execution>
#include <numeric>
#include <utility>

namespace ridgeforge::mesh {

EditableMesh::EditableMesh(const TriangleMesh& mesh) {
    positions.reserve(mesh.vertices.size());
    for (const Vertex& v : mesh.vertices) positions.push_back(v.position);
    vertexAlive.assign(positions.size(), 1);
    const std::size_t count = mesh.indices.size() / 3;
    triangles.resize(count);
    for (std::size_t t = 0; t < count; ++t) {
        triangles[t] = {mesh.indices[3 * t], mesh.indices[3 * t + 1], mesh.indices[3 * t + 2]};
    }
    triangleAlive.assign(count, 1);
    addedFaces.resize(positions.size());
}

void EditableMesh::RebuildVertexFaces() {
    const std::size_t vertexCount = positions.size();
    vertexFaceOffsets.assign(vertexCount + 1, 0);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        if (!triangleAlive[t]) continue;
        for (const std::uint32_t c : triangles[t]) {
            if (c < vertexCount) ++vertexFaceOffsets[c + 1];
        }
    }
    for (std::size_t i = 0; i < vertexCount; ++i) vertexFaceOffsets[i + 1] += vertexFaceOffsets[i];
    vertexFaces.resize(vertexFaceOffsets[vertexCount]);
    std::vector<std::uint32_t> cursor(vertexFaceOffsets.begin(), vertexFaceOffsets.end() - 1);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        if (!triangleAlive[t]) continue;
        for (const std::uint32_t c : triangles[t]) {
            if (c < vertexCount) vertexFaces[cursor[c]++] = static_cast<std::uint32_t>(t);
        }
    }
    addedFaces.resize(vertexCount);
    for (auto& list : addedFaces) list.clear();
}

void EditableMesh::OneRing(std::uint32_t v, std::vector<std::uint32_t>& out) const {
    out.clear();
    ForEachListedTriangle(v, [&](std::uint32_t t) {
        for (const std::uint32_t c : triangles[t]) {
            if (c != v) out.push_back(c);
        }
    });
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

void EditableMesh::EdgeTriangles(std::uint32_t v, std::uint32_t w, std::vector<std::uint32_t>& out) const {
    ForEachListedTriangle(v, [&](std::uint32_t t) {
        if (Contains(t, w)) out.push_back(t);
    });
}

bool EditableMesh::HasEdgeTriangleCount(std::uint32_t v, std::uint32_t w,
                                        const std::vector<std::uint32_t>& list) const {
    std::size_t count = 0;
    ForEachListedTriangle(v, [&](std::uint32_t t) {
        if (Contains(t, w)) ++count;
    });
    return count == list.size();
}

// A counting sort on the smaller index followed by a tiny sort of each
// vertex's run on the larger one: linear in the mesh, and several times
// faster than a general sort of the (key, triangle) pairs on meshes of
// millions of triangles, which the remesher collects every pass.
std::vector<EditableEdge> EditableMesh::CollectEdges() const {
    const std::size_t vertexCount = positions.size();
    std::vector<std::uint32_t> start(vertexCount + 1, 0);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        if (!triangleAlive[t]) continue;
        const Triangle& tri = triangles[t];
        for (int k = 0; k < 3; ++k) {
            if (std::max(tri[k], tri[(k + 1) % 3]) < vertexCount) ++start[std::min(tri[k], tri[(k + 1) % 3]) + 1];
        }
    }
    for (std::size_t v = 0; v < vertexCount; ++v) start[v + 1] += start[v];

    struct Side {
        std::uint32_t larger;
        std::uint32_t triangle;
    };
    std::vector<Side> sides(start[vertexCount]);
    std::vector<std::uint32_t> cursor(start.begin(), start.end() - 1);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        if (!triangleAlive[t]) continue;
        const Triangle& tri = triangles[t];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t i = tri[k], j = tri[(k + 1) % 3];
            if (std::max(i, j) >= vertexCount) continue;
            sides[cursor[std::min(i, j)]++] = {std::max(i, j), static_cast<std::uint32_t>(t)};
        }
    }

    // Each block of vertices sorts its runs and counts its edges, then
    // writes them at its offset: independent blocks, one parallel loop each.
    constexpr std::size_t kBlock = 4096;
    const std::size_t blockCount = (vertexCount + kBlock - 1) / kBlock;
    std::vector<std::size_t> blockEdges(blockCount + 1, 0);
    std::vector<std::size_t> blocks(blockCount);
    std::iota(blocks.begin(), blocks.end(), std::size_t{0});
    auto runEnd = [](const Side* run, const Side* last) {
        while (++run != last && run->larger == run[-1].larger) {}
        return run;
    };
    std::for_each(std::execution::par, blocks.begin(), blocks.end(), [&](std::size_t block) {
        std::size_t count = 0;
        for (std::size_t v = block * kBlock; v < std::min(vertexCount, (block + 1) * kBlock); ++v) {
            Side* first = sides.data() + start[v];
            Side* last = sides.data() + start[v + 1];
            std::sort(first, last, [](const Side& x, const Side& y) { return x.larger < y.larger; });
            for (const Side* run = first; run != last; run = runEnd(run, last)) ++count;
        }
        blockEdges[block + 1] = count;
    });
    for (std::size_t b = 0; b < blockCount; ++b) blockEdges[b + 1] += blockEdges[b];

    std::vector<EditableEdge> edges(blockEdges[blockCount]);
    std::for_each(std::execution::par, blocks.begin(), blocks.end(), [&](std::size_t block) {
        EditableEdge* out = edges.data() + blockEdges[block];
        for (std::size_t v = block * kBlock; v < std::min(vertexCount, (block + 1) * kBlock); ++v) {
            const Side* last = sides.data() + start[v + 1];
            for (const Side* run = sides.data() + start[v]; run != last;) {
                const Side* end = runEnd(run, last);
                EditableEdge& e = *out++;
                e.key = (std::uint64_t{v} << 32) | run->larger;
                e.firstTriangle = run->triangle;
                if (end - run >= 2) e.secondTriangle = run[1].triangle;
                e.extraTriangles = end - run > 2 ? static_cast<std::uint32_t>(end - run - 2) : 0u;
                run = end;
            }
        }
    });
    return edges;
}

TriangleMesh EditableMesh::ToTriangleMesh() const {
    TriangleMesh result;
    std::vector<std::uint32_t> map(positions.size(), kEditableNone);
    for (std::size_t v = 0; v < positions.size(); ++v) {
        if (!vertexAlive[v]) continue;
        map[v] = static_cast<std::uint32_t>(result.vertices.size());
        result.vertices.push_back({positions[v], {0.0f, 0.0f, 0.0f}});
    }
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        if (!triangleAlive[t]) continue;
        const Triangle& tri = triangles[t];
        if (tri[0] == tri[1] || tri[1] == tri[2] || tri[2] == tri[0]) continue;
        std::uint32_t mapped[3];
        bool usable = true;
        for (int k = 0; k < 3; ++k) {
            mapped[k] = tri[k] < map.size() ? map[tri[k]] : kEditableNone;
            usable = usable && mapped[k] != kEditableNone;
        }
        if (!usable) continue;
        result.indices.insert(result.indices.end(), mapped, mapped + 3);
    }
    result.RecomputeBounds();
    result.RecomputeNormals();
    return result;
}

void EditableMesh::CollapseVertex(std::uint32_t remove, std::uint32_t keep) {
    ForEachListedTriangle(remove, [&](std::uint32_t t) {
        if (Contains(t, keep)) {
            triangleAlive[t] = 0;
            return;
        }
        for (std::uint32_t& c : triangles[t]) {
            if (c == remove) c = keep;
        }
        addedFaces[keep].push_back(t);
    });
    vertexAlive[remove] = 0;
    addedFaces[remove].clear();
}

}  // namespace ridgeforge::mesh
