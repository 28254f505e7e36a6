// Ray/triangle, ray/box and point/triangle tests.
#include "mesh/RayTests.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::mesh {

RayHit IntersectRayTriangle(const Ray& ray, const Vec3f& a, const Vec3f& b, const Vec3f& c) {
    RayHit result;
    const Vec3f e1 = b - a;
    const Vec3f e2 = c - a;
    const Vec3f p = Cross(ray.direction, e2);
    const float det = Dot(e1, p);
    // A ray in the triangle's plane would only graze it; no hit.
    if (!(std::fabs(det) >= 1e-12f)) return result;
    const float inv = 1.0f / det;
    const Vec3f s = ray.origin - a;
    const float u = Dot(s, p) * inv;
    if (u < 0.0f || u > 1.0f) return result;
    const Vec3f q = Cross(s, e1);
    const float v = Dot(ray.direction, q) * inv;
    if (v < 0.0f || u + v > 1.0f) return result;
    const float t = Dot(e2, q) * inv;
    // A hit at the origin itself would make a ray cast from a surface point hit its own triangle.
    if (!(t > 0.0f)) return result;
    result.hit = true;
    result.distance = t;
    result.point = ray.origin + ray.direction * t;
    result.normal = Normalize(Cross(e1, e2));
    return result;
}

bool RayIntersectsBox(const Ray& ray, const Vec3f& boxMin, const Vec3f& boxMax, float limit, float& entry) {
    float tEntry = 0.0f;
    float tExit = limit;
    for (int axis = 0; axis < 3; ++axis) {
        const float origin = ray.origin[axis];
        const float direction = ray.direction[axis];
        if (std::fabs(direction) < 1e-9f) {
            if (origin < boxMin[axis] || origin > boxMax[axis]) return false;
            continue;
        }
        const float inv = 1.0f / direction;
        const float t1 = (boxMin[axis] - origin) * inv;
        const float t2 = (boxMax[axis] - origin) * inv;
        tEntry = std::max(tEntry, std::min(t1, t2));
        tExit = std::min(tExit, std::max(t1, t2));
        if (tEntry > tExit) return false;
    }
    entry = tEntry;
    return true;
}

Vec3d ClosestPointOnTriangle(const Vec3d& p, const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const Vec3d ab = b - a;
    const Vec3d ac = c - a;
    const Vec3d ap = p - a;
    const double d1 = Dot(ab, ap);
    const double d2 = Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) return a;

    const Vec3d bp = p - b;
    const double d3 = Dot(ab, bp);
    const double d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) return b;

    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        const double denom = d1 - d3;
        return a + ab * (denom != 0.0 ? d1 / denom : 0.0);
    }

    const Vec3d cp = p - c;
    const double d5 = Dot(ab, cp);
    const double d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) return c;

    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        const double denom = d2 - d6;
        return a + ac * (denom != 0.0 ? d2 / denom : 0.0);
    }

    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && d4 - d3 >= 0.0 && d5 - d6 >= 0.0) {
        const double denom = (d4 - d3) + (d5 - d6);
        return b + (c - b) * (denom != 0.0 ? (d4 - d3) / denom : 0.0);
    }

    const double denom = va + vb + vc;
    if (denom == 0.0) return a;
    return a + ab * (vb / denom) + ac * (vc / denom);
}

}  // namespace ridgeforge::mesh
