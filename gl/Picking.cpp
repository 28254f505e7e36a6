// A plain loop rather than the bounding-box tree: a pick happens once per
// wheel notch, and building a tree for each shown mesh would cost more than
// the loops it saves.
#include "gl/Picking.h"

#include <cmath>

#include "relief/mapping/ProjectorOverlay.h"

namespace ridgeforge::gl {
namespace {

bool SlabsMeet(const mesh::Ray& ray, const mesh::Vec3f& lo, const mesh::Vec3f& hi) {
    float tmin = 0.0f;
    float tmax = 3.4e38f;
    for (int axis = 0; axis < 3; ++axis) {
        const float o = ray.origin[axis];
        const float v = ray.direction[axis];
        if (std::fabs(v) < 1e-9f) {
            if (o < lo[axis] || o > hi[axis]) return false;
            continue;
        }
        float t0 = (lo[axis] - o) / v;
        float t1 = (hi[axis] - o) / v;
        if (t0 > t1) std::swap(t0, t1);
        tmin = std::fmax(tmin, t0);
        tmax = std::fmin(tmax, t1);
        if (tmin > tmax) return false;
    }
    return true;
}

void KeepNearer(mesh::RayHit& best, const mesh::RayHit& hit, std::int32_t index) {
    if (!hit.hit || (best.hit && !(hit.distance < best.distance))) return;
    best = hit;
    best.triangle = index;
}

}  // namespace

mesh::RayHit PickMeshTriangle(const mesh::Ray& ray, const mesh::TriangleMesh& mesh) {
    mesh::RayHit best;
    if (!mesh::IsValidMesh(mesh) || mesh.vertices.empty() || mesh.indices.empty() || !mesh.boundsValid) return best;
    if (!SlabsMeet(ray, mesh.boundsMin, mesh.boundsMax)) return best;
    const auto& v = mesh.vertices;
    const auto& ix = mesh.indices;
    const std::size_t count = mesh.TriangleCount();
    for (std::size_t t = 0; t < count; ++t) {
        const mesh::RayHit hit = mesh::IntersectRayTriangle(ray, v[ix[3 * t]].position, v[ix[3 * t + 1]].position,
                                                            v[ix[3 * t + 2]].position);
        KeepNearer(best, hit, static_cast<std::int32_t>(t));
    }
    return best;
}

mesh::RayHit PickProjectionShape(const mesh::Ray& ray, const mesh::Projection& projection) {
    const mesh::ProjectorOverlay shape = mesh::BuildProjectorOverlay(projection);
    mesh::RayHit best;
    std::int32_t side = -1;
    const std::size_t count = shape.triangles.size() / 3;
    for (std::size_t t = 0; t < count; ++t) {
        const mesh::RayHit hit = mesh::IntersectRayTriangle(ray, shape.triangles[3 * t], shape.triangles[3 * t + 1],
                                                            shape.triangles[3 * t + 2]);
        if (!hit.hit || (best.hit && !(hit.distance < best.distance))) continue;
        best = hit;
        side = t < shape.triangleSides.size() ? shape.triangleSides[t] : -1;
    }
    best.triangle = best.hit ? side : -1;
    return best;
}

}  // namespace ridgeforge::gl
