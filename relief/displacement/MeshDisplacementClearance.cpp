// The clearance stages of the mesh relief: face normals, the nearest surface of another region ahead of each move,
// its smoothing along the edges and the wall hold.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh/ParallelChunks.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::size_t kChunk = 4096;
constexpr std::size_t kQueryChunk = 512;
constexpr int kMaximumOwnRegions = 8;
constexpr float kMinimumHeldDepth = 0.02f;

// What one clearance query passes over: the vertex's own smooth regions and
// every face whose centroid lies behind it.
struct ClearanceQuery {
    const DisplacementWork* work;
    std::uint32_t regions[kMaximumOwnRegions];
    std::size_t regionCount = 0;
    Vec3f position;
    Vec3f direction;

    bool Skips(std::uint32_t t) const {
        const std::uint32_t r = work->regionOf[t];
        if (std::find(regions, regions + regionCount, r) != regions + regionCount) return true;
        return Dot(work->centroids[t] - position, direction) < 0.0f;
    }
};

void CollectOwnRegions(const DisplacementWork& work, std::uint32_t v, ClearanceQuery& query) {
    const VertexFaceAdjacency& faces = work.vertexFaces;
    for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
        const std::uint32_t r = work.regionOf[faces.faces[k]];
        if (std::find(query.regions, query.regions + query.regionCount, r) != query.regions + query.regionCount) {
            continue;
        }
        if (query.regionCount == kMaximumOwnRegions) break;
        query.regions[query.regionCount++] = r;
    }
    std::sort(query.regions, query.regions + query.regionCount);
}

}  // namespace

void ComputeFaceNormals(DisplacementWork& work) {
    const TriangleMesh& mesh = *work.mesh;
    const std::size_t triangles = mesh.TriangleCount();
    work.faceNormals.resize(triangles);
    work.centroids.resize(triangles);
    ForEachChunk(triangles, kChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
            const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
            const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
            work.faceNormals[t] = Normalize(Cross(b - a, c - a));
            work.centroids[t] = (a + b + c) * 0.33333334f;
        }
    });
}

void QueryClearance(DisplacementWork& work, const std::vector<float>& weights, const DisplacementSettings& settings) {
    const TriangleMesh& mesh = *work.mesh;
    work.clearance.assign(mesh.vertices.size(), std::numeric_limits<float>::infinity());
    ForEachChunk(mesh.vertices.size(), kQueryChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(work.cancel);
        for (std::size_t v = begin; v < end && !poll.Add(16); ++v) {
            const float h = work.heights[v];
            if (!(weights[v] > 0.0f) || h == 0.0f) continue;
            ClearanceQuery query{&work, {}, 0, mesh.vertices[v].position, Normalize(mesh.vertices[v].normal)};
            if (h < 0.0f) query.direction = -query.direction;
            if (query.direction == Vec3f{}) continue;
            CollectOwnRegions(work, static_cast<std::uint32_t>(v), query);
            const float reach = std::max(2.0f * std::fabs(h) + settings.wallThresholdMillimetres,
                                         2.0f * std::fabs(h) / kClearanceShare);
            // The region test sits in the predicate as well as in the list:
            // the list prunes only subtrees that hold nothing but excluded
            // regions, and a leaf shared with the opposite wall would else
            // hand back the vertex's own region at a distance of about 0.
            const ClearanceQuery* q = &query;
            const ClosestHit hit = work.tree->ClosestPoint(
                mesh, query.position, query.regions, query.regionCount, [q](std::uint32_t t) { return q->Skips(t); },
                reach);
            if (hit.found) work.clearance[v] = hit.distance;
        }
    });
}

void SmoothClearance(DisplacementWork& work) {
    const std::vector<Vertex>& vertices = work.mesh->vertices;
    // The passes run in edge order, each edge reading what the one before
    // wrote; only the edge lengths and the first limits are worked out ahead,
    // on all threads.
    std::vector<float> half(work.edges.size());
    ForEachChunk(work.edges.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t e = begin; e < end; ++e) {
            const MeshEdge& edge = work.edges[e];
            half[e] = 0.5f * Length(vertices[edge.b].position - vertices[edge.a].position);
        }
    });
    ForEachChunk(work.limit.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) work.limit[v] = kClearanceShare * work.clearance[v];
    });
    float* limit = work.limit.data();
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t e = 0; e < work.edges.size(); ++e) {
            const MeshEdge& edge = work.edges[e];
            limit[edge.b] = std::min(limit[edge.b], limit[edge.a] + half[e]);
            limit[edge.a] = std::min(limit[edge.a], limit[edge.b] + half[e]);
        }
    }
}

void HoldThinWalls(DisplacementWork& work, const std::vector<float>& weights, const DisplacementSettings& settings,
                   DisplacementReport& report) {
    const TriangleMesh& mesh = *work.mesh;
    std::vector<float> depth(mesh.vertices.size(), 0.0f);
    float largest = 0.0f;
    for (std::size_t v = 0; v < depth.size(); ++v) {
        const float h = work.heights[v];
        if (!(weights[v] > 0.0f) || h == 0.0f) continue;
        const float m = std::min(work.limit[v], std::fabs(h * weights[v]));
        depth[v] = h < 0.0f ? m : -m;
        largest = std::max(largest, depth[v]);
    }
    std::vector<std::uint32_t> candidates;
    for (std::size_t v = 0; v < depth.size(); ++v) {
        if (depth[v] >= kMinimumHeldDepth && std::isfinite(work.clearance[v])) {
            candidates.push_back(static_cast<std::uint32_t>(v));
        }
    }
    std::vector<ClearanceResult> results;
    MeasureClearance(mesh, *work.tree, candidates, depth, 2.0f * largest + settings.wallThresholdMillimetres, results);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].found && results[i].remaining < settings.wallThresholdMillimetres) {
            work.hold[candidates[i]] = 1;
            ++report.notMovedInward;
        }
    }
}

}  // namespace ridgeforge::mesh::relief_detail
