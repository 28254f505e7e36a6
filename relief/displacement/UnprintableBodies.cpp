#include "relief/displacement/UnprintableBodies.h"

#include <algorithm>
#include <numeric>

#include "mesh/Connectivity.h"
#include "mesh/Crumbs.h"
#include "mesh/MeshHygiene.h"

namespace ridgeforge::mesh {
namespace {

struct BodyBox {
    std::uint64_t triangles = 0;
    Vec3f low{3e38f, 3e38f, 3e38f};
    Vec3f high{-3e38f, -3e38f, -3e38f};
};

}  // namespace

std::uint64_t RemoveUnprintableBodies(TriangleMesh& mesh, std::uint64_t bodiesToKeep, float lineWidth,
                                      std::uint64_t* removedTriangles, std::vector<RemovedBody>* removedBodies) {
    const std::size_t triangles = mesh.indices.size() / 3;
    if (triangles == 0 || !IsValidMesh(mesh)) return 0;
    // Pieces through shared vertices, counted on every thread, are at least
    // as many as the bodies (a vertex no triangle uses is a piece of its
    // own): when they fit the bodies to keep, nothing is removed.
    if (CountComponents(mesh) <= bodiesToKeep) return 0;
    // Bodies join through shared corners, as the count of bodies to keep does.
    const Components components = FindComponents(mesh, JoinThrough::SharedVertices);
    const std::vector<std::uint32_t>& triangleBody = components.ofTriangle;
    std::vector<BodyBox> bodies(components.Count());
    for (std::size_t t = 0; t < triangles; ++t) {
        BodyBox& body = bodies[triangleBody[t]];
        ++body.triangles;
        for (int k = 0; k < 3; ++k) {
            body.low = Min(body.low, mesh.vertices[mesh.indices[3 * t + k]].position);
            body.high = Max(body.high, mesh.vertices[mesh.indices[3 * t + k]].position);
        }
    }
    if (bodies.size() <= bodiesToKeep) return 0;

    std::vector<std::uint32_t> ranked(bodies.size());
    std::iota(ranked.begin(), ranked.end(), 0u);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return bodies[a].triangles > bodies[b].triangles; });
    std::vector<std::uint8_t> removed(bodies.size(), 0);
    std::uint64_t count = 0;
    for (std::size_t r = static_cast<std::size_t>(bodiesToKeep); r < ranked.size(); ++r) {
        const BodyBox& body = bodies[ranked[r]];
        const Vec3f size = body.high - body.low;
        if (!(std::min({size.x, size.y, size.z}) < lineWidth)) continue;
        removed[ranked[r]] = 1;
        ++count;
        if (removedTriangles != nullptr) *removedTriangles += body.triangles;
        if (removedBodies != nullptr) removedBodies->push_back({body.low, body.high, body.triangles, 0.0});
    }
    if (count == 0) return 0;
    std::size_t kept = 0;
    for (std::size_t t = 0; t < triangles; ++t) {
        if (removed[triangleBody[t]] != 0) continue;
        for (int k = 0; k < 3; ++k) mesh.indices[3 * kept + k] = mesh.indices[3 * t + k];
        ++kept;
    }
    mesh.indices.resize(3 * kept);
    RemoveUnusedVertices(mesh);
    return count;
}

}  // namespace ridgeforge::mesh
