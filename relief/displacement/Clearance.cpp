// Inward ray casts that step past the vertex's own fan.
#include "relief/displacement/Clearance.h"

#include <algorithm>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

constexpr float kStepMillimetres = 0.0001f;
constexpr int kMaximumOwnFaceSteps = 6;
constexpr std::size_t kVertexChunk = 1024;

ClearanceResult QueryVertex(const TriangleMesh& mesh, const AabbTree& tree, const VertexFaceAdjacency& faces,
                            std::uint32_t v, const std::vector<float>& depth, float margin) {
    ClearanceResult result;
    if (v >= mesh.vertices.size()) return result;
    const Vec3f n = mesh.vertices[v].normal;
    const float length = Length(n);
    if (!(length > 1e-12f)) return result;
    const Vec3f direction = n * (-1.0f / length);
    const float limit = std::max(0.0f, depth[v]) + margin;
    Ray ray{mesh.vertices[v].position + direction * kStepMillimetres, direction};
    float travelled = kStepMillimetres;
    for (int steps = 0;; ++steps) {
        const RayHit hit = tree.Raycast(ray, mesh);
        if (!hit.hit || hit.triangle < 0) return result;
        const float total = hit.distance + travelled;
        if (total > limit) return result;
        const auto t = static_cast<std::uint32_t>(hit.triangle);
        if (faces.Touches(v, t)) {
            if (steps >= kMaximumOwnFaceSteps) return result;
            travelled += hit.distance + kStepMillimetres;
            ray.origin = hit.point + direction * kStepMillimetres;
            continue;
        }
        const std::uint32_t* corner = &mesh.indices[3 * std::size_t{t}];
        result.found = true;
        result.distance = total;
        result.remaining =
            total - depth[v] - (depth[corner[0]] / 3.0f + depth[corner[1]] / 3.0f + depth[corner[2]] / 3.0f);
        return result;
    }
}

}  // namespace

VertexFaceAdjacency::VertexFaceAdjacency(const TriangleMesh& mesh) { BuildVertexTriangleRows(mesh, offsets, faces); }

bool VertexFaceAdjacency::Touches(std::uint32_t vertex, std::uint32_t face) const {
    if (std::size_t{vertex} + 1 >= offsets.size()) return false;
    const auto begin = faces.begin() + offsets[vertex];
    const auto end = faces.begin() + offsets[vertex + 1];
    return std::binary_search(begin, end, face);
}

void MeasureClearance(const TriangleMesh& mesh, const AabbTree& tree, const std::vector<std::uint32_t>& vertices,
                      const std::vector<float>& depth, float margin, std::vector<ClearanceResult>& results,
                      CancelContext* cancel) {
    results.assign(vertices.size(), ClearanceResult{});
    if (vertices.empty() || depth.size() != mesh.vertices.size() || !IsValidMesh(mesh)) return;
    const VertexFaceAdjacency faces(mesh);
    ThrowIfStopped(cancel);
    ForEachChunk(vertices.size(), kVertexChunk, [&](std::size_t begin, std::size_t end) {
        if (cancel != nullptr && PollCancel(cancel)) throw Stopped{};
        for (std::size_t i = begin; i < end; ++i)
            results[i] = QueryVertex(mesh, tree, faces, vertices[i], depth, margin);
    });
}

}  // namespace ridgeforge::mesh
