#include "mesh/LayFlatTransform.h"

#include <algorithm>
#include <limits>

namespace ridgeforge::mesh {

Transform LayFlatTransform(const TriangleMesh& mesh, const Surface& surface) {
    Transform result = Transform::Identity();
    if (mesh.vertices.empty()) return result;

    Vec3f lo = mesh.boundsMin, hi = mesh.boundsMax;
    if (!mesh.boundsValid) {
        TriangleMesh copy = mesh;
        copy.RecomputeBounds();
        lo = copy.boundsMin;
        hi = copy.boundsMax;
    }
    const Vec3f centre = (lo + hi) * 0.5f;
    const float z0 = lo.z;

    const Vec3f n = Normalize(surface.normal);
    float cosine = std::clamp(-n.z, -1.0f, 1.0f);
    Vec3f axis{-n.y, n.x, 0.0f};
    float sine = Length(axis);
    if (sine < 1e-6f) {
        if (cosine > 0) return result;  // already facing the bed
        // Facing straight up: any horizontal axis works; a half turn about X.
        axis = {1, 0, 0};
        sine = 0;
        cosine = -1;
    } else {
        axis = axis / sine;
    }

    // Columns of the rotation are the turned unit axes.
    const Vec3f cx = RotateAboutAxis({1, 0, 0}, axis, cosine, sine);
    const Vec3f cy = RotateAboutAxis({0, 1, 0}, axis, cosine, sine);
    const Vec3f cz = RotateAboutAxis({0, 0, 1}, axis, cosine, sine);
    result.rowX = {cx.x, cy.x, cz.x};
    result.rowY = {cx.y, cy.y, cz.y};
    result.rowZ = {cx.z, cy.z, cz.z};
    result.translation = centre - result.ApplyToDirection(centre);

    float zmin = std::numeric_limits<float>::infinity();
    for (const Vertex& v : mesh.vertices) zmin = std::min(zmin, Dot(result.rowZ, v.position) + result.translation.z);
    result.translation.z += z0 - zmin;
    return result;
}

}  // namespace ridgeforge::mesh
