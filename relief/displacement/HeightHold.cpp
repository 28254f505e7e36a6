#include "relief/displacement/HeightHold.h"

#include <algorithm>
#include <cmath>

#include "mesh/CancellableLoop.h"

namespace ridgeforge::mesh {
namespace {

// How far a ray leaves the surface before it may hit anything.
constexpr float kRayStart = 0.001f;

float VertexClearanceAlong(const TriangleMesh& part, const AabbTree& tree, std::size_t v, const Vec3f& n,
                           const Vec3f& direction, std::int32_t rayCount) {
    const Vec3f t1 = Normalize(Cross(n, std::fabs(n.x) >= 0.9f ? Vec3f{0.0f, 1.0f, 0.0f} : Vec3f{1.0f, 0.0f, 0.0f}));
    const Vec3f t2 = Cross(n, t1);
    Vec3f tangents[4];
    int tangentCount = 0;
    if (rayCount == 5) {
        tangents[0] = t1, tangents[1] = -t1, tangents[2] = t2, tangents[3] = -t2;
        tangentCount = 4;
    } else {
        const Vec3f t = v % 2 == 0 ? t1 : t2;
        tangents[0] = t, tangents[1] = -t;
        tangentCount = 2;
    }
    const Vec3f p = part.vertices[v].position;
    float best = kNoClearance;
    for (int r = 0; r <= tangentCount; ++r) {
        const Vec3f d = r == 0 ? direction : Normalize(direction * 0.5f + tangents[r - 1] * 0.866f);
        const RayHit hit = tree.Raycast({p + d * kRayStart, d}, part);
        if (!hit.hit || !(Dot(hit.normal, n) <= -0.5f)) continue;
        const float room = (hit.distance + kRayStart) * (r == 0 ? 1.0f : 0.5f);
        best = std::min(best, room);
    }
    return best;
}

}  // namespace

VertexClearance MeasureHeightClearance(const TriangleMesh& part, const AabbTree& tree,
                                       const std::vector<float>& heights, std::int32_t rayCount) {
    VertexClearance clearance;
    clearance.outward.assign(part.vertices.size(), kNoClearance);
    clearance.inward.assign(part.vertices.size(), kNoClearance);
    const std::uint64_t count = std::min(part.vertices.size(), heights.size());
    ParallelForChunks<2048>(count, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        for (std::uint64_t v = begin; v < end; ++v) {
            const float h = heights[v];
            if (h == 0.0f) continue;
            const Vec3f n = Normalize(part.vertices[v].normal);
            if (n == Vec3f{}) continue;
            const Vec3f direction = h > 0.0f ? n : -n;
            (h > 0.0f ? clearance.outward : clearance.inward)[v] =
                VertexClearanceAlong(part, tree, v, n, direction, rayCount);
        }
    });
    return clearance;
}

std::uint64_t HoldHeightsForClearance(const TriangleMesh& part, std::vector<float>& heights,
                                      const VertexClearance& clearance, double gap) {
    const std::size_t n = heights.size();
    if (n != part.vertices.size() || clearance.outward.size() != n || clearance.inward.size() != n ||
        !IsValidMesh(part)) {
        return 0;
    }
    std::vector<double> cap(n, 1e30);
    for (std::size_t v = 0; v < n; ++v) {
        const float room = heights[v] >= 0.0f ? clearance.outward[v] : clearance.inward[v];
        if (room < 1e29f) cap[v] = std::max(0.0, (static_cast<double>(room) - gap) * 0.5);
    }
    // With no cap anywhere the sweeps cannot lower anything.
    const bool anyCap = std::any_of(cap.begin(), cap.end(), [](double c) { return c < 1e30; });
    const std::size_t triangles = part.indices.size() / 3;
    if (anyCap && triangles > 1) {
        static constexpr int kEdges[3][2] = {{0, 1}, {1, 2}, {0, 2}};
        for (int sweep = 0; sweep < 6; ++sweep) {
            for (std::size_t t = 0; t < triangles; ++t) {
                for (const auto& edge : kEdges) {
                    const std::uint32_t a = part.indices[3 * t + edge[0]];
                    const std::uint32_t b = part.indices[3 * t + edge[1]];
                    const double length =
                        Length(ToDouble(part.vertices[a].position) - ToDouble(part.vertices[b].position));
                    cap[a] = std::min(cap[a], cap[b] + length);
                    cap[b] = std::min(cap[b], cap[a] + length);
                }
            }
        }
    }
    std::uint64_t held = 0;
    for (std::size_t v = 0; v < n; ++v) {
        if (!(std::fabs(static_cast<double>(heights[v])) > cap[v])) continue;
        heights[v] = static_cast<float>(std::copysign(cap[v], static_cast<double>(heights[v])));
        ++held;
    }
    return held;
}

}  // namespace ridgeforge::mesh
