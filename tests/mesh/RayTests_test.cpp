#include "mesh/RayTests.h"

#include <gtest/gtest.h>

using namespace ridgeforge::mesh;

TEST(IntersectRayTriangle, HitsEitherSideAndMissesOutsideOrInPlane) {
    const Vec3f a{0, 0, 0}, b{2, 0, 0}, c{0, 2, 0};
    const RayHit down = IntersectRayTriangle({{0.5f, 0.5f, 3}, {0, 0, -1}}, a, b, c);
    ASSERT_TRUE(down.hit);
    EXPECT_FLOAT_EQ(down.distance, 3.0f);
    EXPECT_EQ(down.point, (Vec3f{0.5f, 0.5f, 0}));
    EXPECT_EQ(down.normal, (Vec3f{0, 0, 1}));
    EXPECT_EQ(down.triangle, -1);
    // From behind, with a direction of length 4: no culling, distance in units of
    // the direction, normal still after the winding.
    const RayHit up = IntersectRayTriangle({{0.5f, 0.5f, -2}, {0, 0, 4}}, a, b, c);
    ASSERT_TRUE(up.hit);
    EXPECT_FLOAT_EQ(up.distance, 0.5f);
    EXPECT_EQ(up.normal, (Vec3f{0, 0, 1}));
    // Beside it, beyond the hypotenuse, pointing away, in its plane, starting on it.
    EXPECT_FALSE(IntersectRayTriangle({{-0.1f, 0.5f, 1}, {0, 0, -1}}, a, b, c).hit);
    EXPECT_FALSE(IntersectRayTriangle({{1.5f, 1.5f, 1}, {0, 0, -1}}, a, b, c).hit);
    EXPECT_FALSE(IntersectRayTriangle({{0.5f, 0.5f, 1}, {0, 0, 1}}, a, b, c).hit);
    EXPECT_FALSE(IntersectRayTriangle({{-1, 0.5f, 0}, {1, 0, 0}}, a, b, c).hit);
    EXPECT_FALSE(IntersectRayTriangle({{0.5f, 0.5f, 0}, {0, 0, -1}}, a, b, c).hit);
}

TEST(RayIntersectsBox, FacesMissesAndParallelRays) {
    const Vec3f lo{-1, -1, -1}, hi{1, 1, 1};
    float entry = -1.0f;
    for (int axis = 0; axis < 3; ++axis) {
        for (const float side : {-1.0f, 1.0f}) {
            Ray ray;  // straight at a face from 4 out
            ray.origin[axis] = 4.0f * side;
            ray.direction[axis] = -side;
            ASSERT_TRUE(RayIntersectsBox(ray, lo, hi, 3e38f, entry));
            EXPECT_FLOAT_EQ(entry, 3.0f);
            EXPECT_FALSE(RayIntersectsBox(ray, lo, hi, 2.5f, entry));  // limit short of the box
            ray.origin[(axis + 1) % 3] = 1.5f;                         // beside the face
            EXPECT_FALSE(RayIntersectsBox(ray, lo, hi, 3e38f, entry));
        }
    }
    ASSERT_TRUE(RayIntersectsBox({{0.5f, 0, 0}, {1, 0, 0}}, lo, hi, 3e38f, entry));
    EXPECT_EQ(entry, 0.0f);                                                        // origin inside
    EXPECT_FALSE(RayIntersectsBox({{4, 0, 0}, {1, 0, 0}}, lo, hi, 3e38f, entry));  // box behind
    // A zero direction component: outside that slab misses, inside the other axes decide.
    EXPECT_FALSE(RayIntersectsBox({{-4, 2, 0}, {1, 0, 0}}, lo, hi, 3e38f, entry));
    EXPECT_TRUE(RayIntersectsBox({{-4, 0.9f, 0}, {1, 0, 0}}, lo, hi, 3e38f, entry));
    EXPECT_FALSE(RayIntersectsBox({{-4, 0.9f, 0}, {-1, 0, 0}}, lo, hi, 3e38f, entry));
    // Diagonal rays past and through a corner.
    EXPECT_FALSE(RayIntersectsBox({{-3, 0, 0}, {1, 1, 0}}, lo, hi, 3e38f, entry));
    EXPECT_TRUE(RayIntersectsBox({{-2, 0, 0}, {1, 1, 0}}, lo, hi, 3e38f, entry));
    EXPECT_FLOAT_EQ(entry, 1.0f);
}

TEST(ClosestPointOnTriangle, CornerEdgeFaceAndDegenerateRegions) {
    const Vec3d a{0, 0, 0}, b{4, 0, 0}, c{0, 4, 0};
    EXPECT_EQ(ClosestPointOnTriangle({-1, -2, 3}, a, b, c), a);
    EXPECT_EQ(ClosestPointOnTriangle({7, -1, -1}, a, b, c), b);
    EXPECT_EQ(ClosestPointOnTriangle({-1, 9, 2}, a, b, c), c);
    EXPECT_EQ(ClosestPointOnTriangle({1, -3, 5}, a, b, c), (Vec3d{1, 0, 0}));
    EXPECT_EQ(ClosestPointOnTriangle({-3, 3, -1}, a, b, c), (Vec3d{0, 3, 0}));
    EXPECT_EQ(ClosestPointOnTriangle({3, 3, 1}, a, b, c), (Vec3d{2, 2, 0}));
    EXPECT_EQ(ClosestPointOnTriangle({1, 1.5, -7}, a, b, c), (Vec3d{1, 1.5, 0}));
    EXPECT_EQ(ClosestPointOnTriangle({1, 1, 1}, b, b, b), b);
    EXPECT_EQ(ClosestPointOnTriangle({2, 1, 0}, a, b, Vec3d{2, 0, 0}), (Vec3d{2, 0, 0}));
}
