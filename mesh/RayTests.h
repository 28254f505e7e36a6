// Primitive ray and point tests on boxes and triangles, the building blocks of
// the bounding-box tree and of picking in the view.
//
// IntersectRayTriangle follows Moller and Trumbore, "Fast, Minimum Storage
// Ray/Triangle Intersection" (1997), in float and without back-face culling;
// RayIntersectsBox is the slab test of Kay and Kajiya; ClosestPointOnTriangle
// walks the corner, edge and face regions as in Ericson, "Real-Time Collision
// Detection" (2005), section 5.1.5, in double.
#pragma once

#include <cstdint>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

// The direction need not be of unit length: distances are then in units of it.
struct Ray {
    Vec3f origin;
    Vec3f direction;
};

struct RayHit {
    bool hit = false;
    float distance = 0.0f;  // ray parameter t: point = origin + t * direction
    Vec3f point;
    Vec3f normal;                // unit (b - a) x (c - a), or zero for a degenerate triangle
    std::int32_t triangle = -1;  // filled by the tree; a single triangle test leaves -1
};

// Nearest hit of the ray with the triangle (a, b, c), either side; a hit at
// t <= 0 and a ray in the triangle's plane do not count.
RayHit IntersectRayTriangle(const Ray& ray, const Vec3f& a, const Vec3f& b, const Vec3f& c);

// True when the ray meets the box within [0, limit]; entry then receives the
// entry distance, 0 when the origin lies inside the box.
bool RayIntersectsBox(const Ray& ray, const Vec3f& boxMin, const Vec3f& boxMax, float limit, float& entry);

// The point of triangle (a, b, c) nearest to p; a for a degenerate triangle
// whose regions do not decide.
Vec3d ClosestPointOnTriangle(const Vec3d& p, const Vec3d& a, const Vec3d& b, const Vec3d& c);

}  // namespace ridgeforge::mesh
