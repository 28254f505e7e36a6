// Tangential relaxation of the isotropic remesher, with the optional
// projection back onto the original surface. Both loops read only the old
// positions and the incidence and write one entry of a separate array each.
#include <algorithm>
#include <execution>
#include <numeric>

#include "mesh/remesh/internal/IsotropicRemesh.h"

namespace ridgeforge::mesh {
namespace {

// The point projected onto the plane of the triangle the closest point lies
// on, when that stays within reach of the closest point; otherwise the
// closest point itself.
Vec3f ProjectOntoOriginal(const Vec3f& p, const TriangleMesh& original, const AabbTree& tree, float reach) {
    const ClosestHit hit = tree.ClosestPoint(original, p, nullptr, 0, {}, 3e38f);
    if (!hit.found) return p;
    if (hit.triangle >= 0 && static_cast<std::size_t>(hit.triangle) < original.TriangleCount()) {
        const Vec3f n = original.FaceNormal(static_cast<std::uint64_t>(hit.triangle));
        if (!(n == Vec3f{})) {
            const Vec3f& a = original.vertices[original.indices[3 * static_cast<std::size_t>(hit.triangle)]].position;
            const Vec3f projected = p - n * Dot(n, p - a);
            if (Length(projected - hit.point) <= reach) return projected;
        }
    }
    return hit.point;
}

}  // namespace

void RelaxVertices(EditableMesh& mesh, const std::vector<std::uint8_t>& vertexFlags, float relaxation,
                   const TriangleMesh& original, const AabbTree& originalTree, bool projectToOriginal,
                   float edgeLength) {
    const std::uint32_t vertexCount = mesh.VertexCount();
    std::vector<Vec3f> moved(mesh.positions);
    std::vector<std::uint8_t> relaxed(vertexCount, 0);
    std::vector<std::uint32_t> order(vertexCount);
    std::iota(order.begin(), order.end(), 0u);

    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::uint32_t v) {
        if (!mesh.vertexAlive[v] || (v < vertexFlags.size() && vertexFlags[v])) return;
        const Vec3f p = mesh.positions[v];
        Vec3f sum, normal;
        std::uint32_t count = 0;
        mesh.ForEachListedTriangle(v, [&](std::uint32_t t) {
            const auto& tri = mesh.triangles[t];
            for (const std::uint32_t c : tri) {
                if (c == v) continue;
                sum += mesh.positions[c];
                ++count;
            }
            const Vec3f& a = mesh.positions[tri[0]];
            normal += Cross(mesh.positions[tri[1]] - a, mesh.positions[tri[2]] - a);
        });
        if (count == 0) return;
        normal = Normalize(normal);
        Vec3f move = sum / static_cast<float>(count) - p;
        move -= normal * Dot(move, normal);  // zero normal: the move stays as it is
        moved[v] = p + move * relaxation;
        relaxed[v] = 1;
    });

    if (projectToOriginal) {
        const float reach = std::max(1e-6f, edgeLength * 0.5f);
        std::for_each(std::execution::par, order.begin(), order.end(), [&](std::uint32_t v) {
            if (relaxed[v]) moved[v] = ProjectOntoOriginal(moved[v], original, originalTree, reach);
        });
    }
    mesh.positions = std::move(moved);
}

}  // namespace ridgeforge::mesh
