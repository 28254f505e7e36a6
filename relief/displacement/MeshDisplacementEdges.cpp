// The edge table and the smooth regions of the mesh relief, both on all
// threads with the output of the plain serial passes.
//
// Edge table: the edges are the triangle sides ordered by (key, side). A
// side's key starts with its smaller end, so the edges of vertex a are the
// sides of a's faces whose smaller end is a, ordered by larger end then
// side: each vertex's run is gathered from its row of faces on its own, and
// the runs, joined in vertex order, are the whole sorted table.
//
// Smooth regions: the flood fill over the triangles in index order gives
// each connected piece (joined across an edge of two triangles whose normals
// are within 60 degrees) the number of pieces whose first triangle comes
// before its own. A concurrent union-find that always hangs the larger root
// under the smaller leaves each piece rooted at its smallest triangle, so
// ranking the roots gives the same numbers. Across an edge of three or more
// triangles the fill joins one way only (a third triangle reaches the first,
// not the other way round), and the result then depends on the fill order:
// such meshes keep the serial fill.
#include <algorithm>
#include <atomic>
#include <limits>
#include <numeric>

#include "mesh/ParallelChunks.h"
#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::size_t kVertexChunk = 8192;
constexpr std::size_t kTriangleChunk = 16384;
constexpr float kRegionCosine = 0.5f;
constexpr std::uint32_t kNoRegion = std::numeric_limits<std::uint32_t>::max();

struct Side {
    std::uint32_t larger;
    std::uint32_t slot;
    bool operator<(const Side& other) const {
        return larger != other.larger ? larger < other.larger : slot < other.slot;
    }
};

// The sides of vertex a's faces whose smaller end is a, sorted.
void SidesOf(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, std::uint32_t a, std::vector<Side>& out) {
    out.clear();
    for (std::uint32_t k = faces.offsets[a]; k < faces.offsets[a + 1]; ++k) {
        const std::uint32_t t = faces.faces[k];
        // A triangle naming a twice is listed twice, next to itself.
        if (k > faces.offsets[a] && faces.faces[k - 1] == t) continue;
        for (std::uint32_t c = 0; c < 3; ++c) {
            const std::uint32_t slot = 3 * t + c;
            const std::uint32_t i = mesh.indices[slot], j = mesh.indices[3 * t + (c + 1) % 3];
            if (std::min(i, j) == a) out.push_back({std::max(i, j), slot});
        }
    }
    std::sort(out.begin(), out.end());
}

// Walks the runs of one larger end in sorted sides: visit(begin, end).
template <typename Visit>
void ForEachRun(const std::vector<Side>& sides, const Visit& visit) {
    for (std::size_t i = 0; i < sides.size();) {
        std::size_t j = i + 1;
        while (j < sides.size() && sides[j].larger == sides[i].larger) ++j;
        visit(i, j);
        i = j;
    }
}

std::uint32_t FindSmallestRoot(std::vector<std::uint32_t>& parent, std::uint32_t x) {
    for (;;) {
        const std::uint32_t p = std::atomic_ref<std::uint32_t>(parent[x]).load(std::memory_order_relaxed);
        if (p == x) return x;
        x = p;
    }
}

// Joins the sets of s and t, hanging the larger root under the smaller.
void JoinTowardsSmaller(std::vector<std::uint32_t>& parent, std::uint32_t s, std::uint32_t t) {
    for (;;) {
        s = FindSmallestRoot(parent, s);
        t = FindSmallestRoot(parent, t);
        if (s == t) return;
        if (s > t) std::swap(s, t);
        std::uint32_t expected = t;
        if (std::atomic_ref<std::uint32_t>(parent[t]).compare_exchange_weak(expected, s, std::memory_order_relaxed)) {
            return;
        }
    }
}

void FloodSerially(DisplacementWork& work) {
    const std::size_t triangles = work.mesh->TriangleCount();
    std::vector<std::uint32_t> stack;
    for (std::size_t start = 0; start < triangles; ++start) {
        if (work.regionOf[start] != kNoRegion) continue;
        const std::uint32_t region = work.regionCount++;
        work.regionOf[start] = region;
        stack.push_back(static_cast<std::uint32_t>(start));
        while (!stack.empty()) {
            const std::uint32_t t = stack.back();
            stack.pop_back();
            for (std::size_t k = 0; k < 3; ++k) {
                const MeshEdge& edge = work.edges[work.edgeOfCorner[3 * std::size_t{t} + k]];
                const std::int32_t other = edge.first == static_cast<std::int32_t>(t) ? edge.second : edge.first;
                if (other < 0 || work.regionOf[other] != kNoRegion) continue;
                if (Dot(work.faceNormals[t], work.faceNormals[other]) < kRegionCosine) continue;
                work.regionOf[other] = region;
                stack.push_back(static_cast<std::uint32_t>(other));
            }
        }
    }
}

}  // namespace

void BuildEdgeTable(DisplacementWork& work) {
    const TriangleMesh& mesh = *work.mesh;
    const VertexFaceAdjacency& faces = work.vertexFaces;
    const std::size_t vertexCount = mesh.vertices.size();
    // Each chunk of vertices lists its edges in order and, per side, the
    // edge's number within the chunk; the chunks' edges joined in order are
    // the table, and each side's number then moves up by the edges of the
    // chunks before.
    struct ChunkEdges {
        std::vector<MeshEdge> edges;
        std::vector<std::uint32_t> slots;
        std::vector<std::uint32_t> local;
        bool sharedByMore = false;
    };
    std::vector<ChunkEdges> chunks((vertexCount + kVertexChunk - 1) / kVertexChunk);
    ForEachChunk(vertexCount, kVertexChunk, [&](std::size_t begin, std::size_t end) {
        ChunkEdges& chunk = chunks[begin / kVertexChunk];
        std::vector<Side> sides;
        for (std::size_t v = begin; v < end; ++v) {
            SidesOf(mesh, faces, static_cast<std::uint32_t>(v), sides);
            ForEachRun(sides, [&](std::size_t i, std::size_t j) {
                const auto id = static_cast<std::uint32_t>(chunk.edges.size());
                MeshEdge edge;
                edge.a = static_cast<std::uint32_t>(v);
                edge.b = sides[i].larger;
                edge.first = static_cast<std::int32_t>(sides[i].slot / 3);
                if (j - i >= 2) edge.second = static_cast<std::int32_t>(sides[i + 1].slot / 3);
                chunk.sharedByMore = chunk.sharedByMore || j - i > 2;
                chunk.edges.push_back(edge);
                for (std::size_t k = i; k < j; ++k) {
                    chunk.slots.push_back(sides[k].slot);
                    chunk.local.push_back(id);
                }
            });
        }
    });
    std::vector<std::uint32_t> start(chunks.size() + 1, 0);
    work.edgesSharedByMore = false;
    for (std::size_t c = 0; c < chunks.size(); ++c) {
        start[c + 1] = start[c] + static_cast<std::uint32_t>(chunks[c].edges.size());
        work.edgesSharedByMore = work.edgesSharedByMore || chunks[c].sharedByMore;
    }
    work.edges.resize(start.back());
    work.edgeOfCorner.assign(mesh.indices.size(), 0);
    ForEachChunk(chunks.size(), 1, [&](std::size_t begin, std::size_t end) {
        for (std::size_t c = begin; c < end; ++c) {
            const ChunkEdges& chunk = chunks[c];
            std::copy(chunk.edges.begin(), chunk.edges.end(), work.edges.begin() + start[c]);
            for (std::size_t k = 0; k < chunk.slots.size(); ++k)
                work.edgeOfCorner[chunk.slots[k]] = start[c] + chunk.local[k];
        }
    });
}

void FloodSmoothRegions(DisplacementWork& work) {
    const std::size_t triangles = work.mesh->TriangleCount();
    work.regionOf.assign(triangles, kNoRegion);
    work.regionCount = 0;
    if (work.edgesSharedByMore) {
        FloodSerially(work);
        return;
    }
    std::vector<std::uint32_t> parent(triangles);
    std::iota(parent.begin(), parent.end(), std::uint32_t{0});
    ForEachChunk(work.edges.size(), kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t e = begin; e < end; ++e) {
            const MeshEdge& edge = work.edges[e];
            if (edge.second < 0 || edge.second == edge.first) continue;
            if (Dot(work.faceNormals[edge.first], work.faceNormals[edge.second]) < kRegionCosine) continue;
            JoinTowardsSmaller(parent, static_cast<std::uint32_t>(edge.first), static_cast<std::uint32_t>(edge.second));
        }
    });
    // Every triangle's root is the smallest of its piece; a root's region is
    // the number of roots before it.
    ForEachChunk(triangles, kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const std::uint32_t root = FindSmallestRoot(parent, static_cast<std::uint32_t>(t));
            std::atomic_ref<std::uint32_t>(parent[t]).store(root, std::memory_order_relaxed);
        }
    });
    // A root's region, in a pass in index order: the roots before it.
    std::vector<std::uint32_t> rank(triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        if (parent[t] == t) rank[t] = work.regionCount++;
    }
    ForEachChunk(triangles, kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) work.regionOf[t] = rank[parent[t]];
    });
}

}  // namespace ridgeforge::mesh::relief_detail
