// One place that builds the mesh's edge table, vertex rows and components.
// Components come from a union-find: through shared vertices each triangle's
// corners are joined; through shared edges, the triangles of each run of equal
// keys in the sorted edge table are joined in the table's order.
//
// The edge table is a counting sort on each key's lower vertex followed by a
// sort of each short row: the same table as one comparison sort of all the
// pairs, in a few streaming passes.
//
// Vertex rows are a counting sort over the triangles in order, so each row
// keeps triangle order. It stays on one thread: it is a few streaming passes
// that a loaded machine runs no faster split up, and a two-level parallel
// sort of the same rows measured up to twice as slow. What follows it (each
// row's sort or its distinct neighbours) runs in parallel blocks of rows.
#include "mesh/Connectivity.h"

#include <algorithm>
#include <execution>
#include <numeric>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::size_t kBlockVertices = 4096;
// Below this many entries the passes run on the calling thread: starting the
// workers would cost more than they save.
constexpr std::size_t kParallelItems = std::size_t{1} << 16;
constexpr std::uint32_t kLeftOut = 0xFFFFFFFFu;

// Runs block(first, last) over blocks of vertices, on the calling thread when `serial`.
template <typename Body>
void ForEachVertexBlock(std::size_t vertexCount, bool serial, const Body& block) {
    if (serial) {
        block(std::size_t{0}, vertexCount);
    } else {
        ForEachChunk(vertexCount, kBlockVertices, block);
    }
}

// Corner or side k of every used triangle in the row of vertexOf(corners, k)
// (kLeftOut leaves it out), in triangle order within a row, where corners
// points at the triangle's three; entry(corners, t, k) is what the row holds.
template <typename Entry, typename VertexOf, typename MakeEntry>
void GroupByVertex(const TriangleCorners& source, const VertexOf& vertexOf, const MakeEntry& entry,
                   VertexRows<Entry>& rows) {
    const std::size_t vertexCount = source.VertexCount();
    const std::size_t triangles = source.TriangleCount();
    rows.offsets.assign(vertexCount + 1, 0);
    if (3 * triangles > kMaxMeshElements) {
        rows.entries.clear();
        return;
    }
    source.Visit([&](const auto& cornersOf, const auto& uses) {
        std::uint32_t* const offsets = rows.offsets.data();
        for (std::size_t t = 0; t < triangles; ++t) {
            if (!uses(t)) continue;
            const std::uint32_t* corners = cornersOf(t);
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t v = vertexOf(corners, k);
                if (v != kLeftOut) ++offsets[v + 1];
            }
        }
        for (std::size_t v = 0; v < vertexCount; ++v) offsets[v + 1] += offsets[v];
        rows.entries.resize(offsets[vertexCount]);
        Entry* const entries = rows.entries.data();
        std::vector<std::uint32_t> next(rows.offsets.begin(), rows.offsets.end() - 1);
        for (std::size_t t = 0; t < triangles; ++t) {
            if (!uses(t)) continue;
            const std::uint32_t* corners = cornersOf(t);
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t v = vertexOf(corners, k);
                if (v != kLeftOut) entries[next[v]++] = entry(corners, t, k);
            }
        }
    });
}

// (edge key, triangle) of every side, sorted as pairs: the table for small or broken meshes.
std::vector<SortedEdge> SortEdgeKeysWhole(const TriangleMesh& mesh, std::size_t sides) {
    std::vector<SortedEdge> edges;
    edges.reserve(sides);
    for (std::size_t i = 0; i < sides; i += 3) {
        const auto t = static_cast<std::uint32_t>(i / 3);
        const std::uint32_t a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        edges.emplace_back(EdgeKey(a, b), t);
        edges.emplace_back(EdgeKey(b, c), t);
        edges.emplace_back(EdgeKey(c, a), t);
    }
    std::sort(std::execution::par_unseq, edges.begin(), edges.end());
    return edges;
}

// The same table grouped by the key's high half (the lower vertex), then
// each row sorted on its own: a row holds a handful of sides, so the rows
// sort in cache instead of the whole table moving through memory in every
// merge pass, and the result is the comparison sort's. Only for a mesh whose
// corners all lie in its vertex array.
std::vector<SortedEdge> SortEdgeKeysByLowerVertex(const TriangleMesh& mesh) {
    const auto next = [](const std::uint32_t* c, std::size_t k) { return c[k == 2 ? 0 : k + 1]; };
    VertexRows<SortedEdge> rows;
    GroupByVertex<SortedEdge>(
        TriangleCorners(mesh), [&](const std::uint32_t* c, std::size_t k) { return std::min(c[k], next(c, k)); },
        [&](const std::uint32_t* c, std::size_t t, std::size_t k) {
            return SortedEdge{EdgeKey(c[k], next(c, k)), static_cast<std::uint32_t>(t)};
        },
        rows);
    ForEachVertexBlock(mesh.vertices.size(), false, [&rows](std::size_t first, std::size_t last) {
        for (std::size_t v = first; v < last; ++v) {
            std::sort(rows.entries.begin() + rows.offsets[v], rows.entries.begin() + rows.offsets[v + 1]);
        }
    });
    return std::move(rows.entries);
}

}  // namespace

VertexRows<std::uint32_t> BuildVertexTriangles(const TriangleCorners& corners) {
    VertexRows<std::uint32_t> rows;
    BuildVertexTriangles(corners, rows);
    return rows;
}

void BuildVertexTriangles(const TriangleCorners& corners, VertexRows<std::uint32_t>& rows) {
    const std::size_t vertexCount = corners.VertexCount();
    GroupByVertex<std::uint32_t>(
        corners, [vertexCount](const std::uint32_t* c, std::size_t k) { return c[k] < vertexCount ? c[k] : kLeftOut; },
        [](const std::uint32_t*, std::size_t t, std::size_t) { return static_cast<std::uint32_t>(t); }, rows);
}

VertexRows<EdgeSide> BuildEdgeSides(const TriangleCorners& corners) {
    const std::size_t vertexCount = corners.VertexCount();
    const auto next = [](const std::uint32_t* c, std::size_t k) { return c[k == 2 ? 0 : k + 1]; };
    VertexRows<EdgeSide> rows;
    GroupByVertex<EdgeSide>(
        corners,
        [&](const std::uint32_t* c, std::size_t k) {
            const std::uint32_t i = c[k], j = next(c, k);
            return std::max(i, j) < vertexCount ? std::min(i, j) : kLeftOut;
        },
        [&](const std::uint32_t* c, std::size_t t, std::size_t k) {
            return EdgeSide{std::max(c[k], next(c, k)), static_cast<std::uint32_t>(3 * t + k)};
        },
        rows);
    ForEachVertexBlock(vertexCount, rows.entries.size() < kParallelItems, [&rows](std::size_t first, std::size_t last) {
        for (std::size_t v = first; v < last; ++v) {
            std::sort(rows.entries.data() + rows.offsets[v], rows.entries.data() + rows.offsets[v + 1],
                      [](const EdgeSide& x, const EdgeSide& y) { return x.larger < y.larger; });
        }
    });
    return rows;
}

VertexRows<std::uint32_t> BuildVertexNeighbours(const TriangleCorners& corners,
                                                const VertexRows<std::uint32_t>& triangles) {
    const std::size_t vertexCount = corners.VertexCount();
    VertexRows<std::uint32_t> rows;
    rows.offsets.assign(vertexCount + 1, 0);
    if (triangles.offsets.size() != vertexCount + 1 || triangles.offsets.back() > triangles.entries.size()) return rows;
    const bool serial = triangles.entries.size() < kParallelItems;
    // Each block's rows, gathered before their place in the table is known.
    std::vector<std::vector<std::uint32_t>> found(serial ? 1 : (vertexCount + kBlockVertices - 1) / kBlockVertices);
    ForEachVertexBlock(vertexCount, serial, [&](std::size_t firstVertex, std::size_t lastVertex) {
        std::vector<std::uint32_t>& out = found[firstVertex / kBlockVertices];
        for (std::size_t v = firstVertex; v < lastVertex; ++v) {
            const std::size_t start = out.size();
            for (std::uint32_t k = triangles.offsets[v]; k < triangles.offsets[v + 1]; ++k) {
                const std::uint32_t t = triangles.entries[k];
                if (t >= corners.TriangleCount()) continue;
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::uint32_t w = corners.Corner(t, c);
                    if (w != v && w < vertexCount) out.push_back(w);
                }
            }
            const auto first = out.begin() + static_cast<std::ptrdiff_t>(start);
            std::sort(first, out.end());
            out.erase(std::unique(first, out.end()), out.end());
            rows.offsets[v + 1] = static_cast<std::uint32_t>(out.size() - start);
        }
    });
    std::uint64_t total = 0;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        total += rows.offsets[v + 1];
        if (total > kMaxMeshElements) {
            rows.offsets.assign(vertexCount + 1, 0);
            return rows;
        }
        rows.offsets[v + 1] = static_cast<std::uint32_t>(total);
    }
    rows.entries.resize(total);
    ForEachVertexBlock(vertexCount, serial, [&](std::size_t firstVertex, std::size_t) {
        const std::vector<std::uint32_t>& block = found[firstVertex / kBlockVertices];
        std::copy(block.begin(), block.end(), rows.entries.begin() + rows.offsets[firstVertex]);
    });
    return rows;
}

UnionFind::UnionFind(std::size_t count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), 0u); }

std::uint32_t UnionFind::Find(std::uint32_t x) { return FindRoot(parent_, x); }

bool UnionFind::Join(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t ra = Find(a);
    const std::uint32_t rb = Find(b);
    if (ra == rb) return false;
    parent_[rb] = ra;
    return true;
}

namespace {

// Numbers the pieces of the joined sets in the order of each piece's first triangle.
Components NumberPieces(const TriangleMesh& mesh, UnionFind& sets, bool byVertex) {
    Components pieces;
    const std::size_t triangles = mesh.indices.size() / 3;
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

}  // namespace

Components FindComponents(const TriangleMesh& mesh, JoinThrough rule) {
    if (!IsValidMesh(mesh)) return {};
    if (rule == JoinThrough::SharedEdges) return FindComponents(mesh, BuildSortedEdgeKeys(mesh));
    UnionFind sets(mesh.vertices.size());
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) sets.JoinTriangle(&mesh.indices[3 * t]);
    return NumberPieces(mesh, sets, true);
}

Components FindComponents(const TriangleMesh& mesh, const std::vector<SortedEdge>& edges) {
    UnionFind sets(mesh.indices.size() / 3);
    for (std::size_t e = 1; e < edges.size(); ++e) {
        if (edges[e].first == edges[e - 1].first) sets.Join(edges[e - 1].second, edges[e].second);
    }
    return NumberPieces(mesh, sets, false);
}

std::uint64_t CountBodies(const TriangleMesh& mesh) {
    if (mesh.indices.empty()) return 0;
    return FindComponents(mesh, JoinThrough::SharedVertices).Count();
}

std::vector<SortedEdge> BuildSortedEdgeKeys(const TriangleMesh& mesh) {
    const std::size_t sides = mesh.indices.size() / 3 * 3;
    // Rows by the lower vertex need every corner in the vertex array; a
    // broken mesh's table still lists every side.
    if (sides < kParallelItems || sides > kMaxMeshElements || !IsValidMesh(mesh)) {
        return SortEdgeKeysWhole(mesh, sides);
    }
    return SortEdgeKeysByLowerVertex(mesh);
}

bool BuildVertexTriangleRows(const TriangleMesh& mesh, std::vector<std::uint32_t>& offsets,
                             std::vector<std::uint32_t>& triangles) {
    // Callers check the validity rule first; a broken mesh still must not be
    // read or written out of range, so it gets rows with no triangles.
    if (!IsValidMesh(mesh)) {
        offsets.assign(mesh.vertices.size() + 1, 0);
        triangles.clear();
        return false;
    }
    VertexRows<std::uint32_t> rows = BuildVertexTriangles(TriangleCorners(mesh));
    offsets = std::move(rows.offsets);
    triangles = std::move(rows.entries);
    return true;
}

BodyList SplitIntoBodies(const TriangleMesh& mesh) {
    BodyList list;
    // Callers check the validity rule first; a broken mesh still must not be
    // read or written out of range, so it gets rows with no triangles.
    if (!IsValidMesh(mesh)) {
        list.vertexTriangleOffsets.assign(mesh.vertices.size() + 1, 0);
        list.vertexNeighbourOffsets.assign(mesh.vertices.size() + 1, 0);
        return list;
    }
    const TriangleCorners corners(mesh);
    VertexRows<std::uint32_t> triangles = BuildVertexTriangles(corners);
    VertexRows<std::uint32_t> neighbours = BuildVertexNeighbours(corners, triangles);
    list.vertexTriangleOffsets = std::move(triangles.offsets);
    list.vertexTriangles = std::move(triangles.entries);
    list.vertexNeighbourOffsets = std::move(neighbours.offsets);
    list.vertexNeighbours = std::move(neighbours.entries);
    return list;
}

namespace {

// One edge used `uses` times.
void CountEdge(EdgeCounts& counts, std::size_t uses) {
    ++counts.edges;
    if (uses == 1)
        ++counts.openBoundaryEdges;
    else if (uses == 2)
        ++counts.manifoldEdges;
    else
        ++counts.nonManifoldEdges;
}

// The uses of each edge by a parallel sort of the edge keys: for meshes too
// large for the 32-bit side rows.
EdgeCounts SortedEdgeStatistics(const TriangleMesh& mesh) {
    EdgeCounts counts;
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
        CountEdge(counts, j - i);
        i = j;
    }
    return counts;
}

}  // namespace

EdgeCounts EdgeStatistics(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return EdgeCounts{};
    // The side rows group each edge's sides under its smaller end, ordered by
    // the larger: a counting pass in place of a sort of every key.
    const VertexRows<EdgeSide> rows = BuildEdgeSides(TriangleCorners(mesh));
    if (rows.entries.size() != mesh.indices.size()) return SortedEdgeStatistics(mesh);
    const std::size_t vertexCount = mesh.vertices.size();
    // One block at least: a serial pass hands the whole range to block 0.
    std::vector<EdgeCounts> blocks(std::max<std::size_t>(1, (vertexCount + kBlockVertices - 1) / kBlockVertices));
    ForEachVertexBlock(vertexCount, rows.entries.size() < kParallelItems, [&](std::size_t first, std::size_t last) {
        EdgeCounts& block = blocks[first / kBlockVertices];
        for (std::size_t v = first; v < last; ++v) {
            const std::uint32_t end = rows.offsets[v + 1];
            for (std::uint32_t i = rows.offsets[v]; i < end;) {
                std::uint32_t j = i + 1;
                while (j < end && rows.entries[j].larger == rows.entries[i].larger) ++j;
                CountEdge(block, j - i);
                i = j;
            }
        }
    });
    EdgeCounts counts;
    for (const EdgeCounts& block : blocks) {
        counts.edges += block.edges;
        counts.openBoundaryEdges += block.openBoundaryEdges;
        counts.manifoldEdges += block.manifoldEdges;
        counts.nonManifoldEdges += block.nonManifoldEdges;
    }
    return counts;
}

}  // namespace ridgeforge::mesh
