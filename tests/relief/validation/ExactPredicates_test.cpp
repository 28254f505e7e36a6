#include "relief/validation/ExactPredicates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "relief/validation/TriangleCrossing.h"

using namespace ridgeforge::mesh;

namespace {

using Int3 = std::int64_t[3];

// Sign of det(B, C, D) in 128-bit integers: the expected answer, computed
// without any floating point.
int IntegerSign(const Int3& b, const Int3& c, const Int3& d) {
    using I = __int128;
    const I det = I(b[0]) * (I(c[1]) * d[2] - I(c[2]) * d[1]) - I(b[1]) * (I(c[0]) * d[2] - I(c[2]) * d[0]) +
                  I(b[2]) * (I(c[0]) * d[1] - I(c[1]) * d[0]);
    return (det > 0) - (det < 0);
}

// 1 + v * 2^-52 per axis: exact doubles whose differences from (1, 1, 1)
// are the integers scaled.
Vec3d Near1(const Int3& v) {
    return {1.0 + std::ldexp(double(v[0]), -52), 1.0 + std::ldexp(double(v[1]), -52),
            1.0 + std::ldexp(double(v[2]), -52)};
}

// The plain double determinant of the differences, as a naive caller would write it.
int NaiveSign(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    const Vec3d u = b - a, v = c - a, w = d - a;
    const double det = Dot(u, Cross(v, w));
    return (det > 0) - (det < 0);
}

TEST(ExactPredicates, PlainOrientationSigns) {
    const Vec3d o{0, 0, 0}, x{1, 0, 0}, y{0, 1, 0};
    EXPECT_EQ(Orient3d(o, x, y, {0.2, 0.3, 1}), 1);
    EXPECT_EQ(Orient3d(o, x, y, {0.2, 0.3, -1}), -1);
    EXPECT_EQ(Orient3d(o, y, x, {0.2, 0.3, 1}), -1);
    EXPECT_EQ(Orient3d(o, x, y, {3, -5, 0}), 0);
    EXPECT_EQ(Orient3dExact(o, x, y, {0.2, 0.3, 1}), 1);
    EXPECT_EQ(Orient3dExact(o, x, y, {3, -5, 0}), 0);
}

TEST(ExactPredicates, NearlyCoplanarPointsGetTheExactSign) {
    // Rows found so that rounding the double determinant flips its sign
    // (first case) or cancels it to 0 (second case).
    const Int3 cases[2][3] = {{{-498373106540, 275193007955, -336435773686},
                               {-525047573149, 426743583894, -330228611253},
                               {-692216565484, 478748082651, -450211823856}},
                              {{163662272785, -403835305055, 140542524009},
                               {-16301006707, -320628589930, 455711622968},
                               {128094303323, -586935224747, 462574598823}}};
    const Vec3d a{1, 1, 1};
    for (const auto& rows : cases) {
        const int expected = IntegerSign(rows[0], rows[1], rows[2]);
        ASSERT_NE(expected, 0);
        const Vec3d b = Near1(rows[0]), c = Near1(rows[1]), d = Near1(rows[2]);
        EXPECT_NE(NaiveSign(a, b, c, d), expected);

        const std::uint64_t exactBefore = OrientationTestCounts().exactTests;
        EXPECT_EQ(Orient3d(a, b, c, d), expected);
        EXPECT_EQ(OrientationTestCounts().exactTests, exactBefore + 1);
        EXPECT_EQ(Orient3dExact(a, b, c, d), expected);
        // Swapping two rows, or moving the origin corner, keeps the answer consistent.
        EXPECT_EQ(Orient3d(a, c, b, d), -expected);
        EXPECT_EQ(Orient3d(b, a, c, d), -expected);
        EXPECT_EQ(Orient3d(d, a, b, c), -expected);
    }
    // Plain cases stay on the fast path.
    const std::uint64_t exactBefore = OrientationTestCounts().exactTests;
    EXPECT_EQ(Orient3d({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}), 1);
    EXPECT_EQ(OrientationTestCounts().exactTests, exactBefore);
}

TEST(ExactPredicates, PointsOnABinaryGridGetTheSignOfTheirIntegers) {
    // Integer coordinates up to 2^40 - 1 scaled by 2^-30, rows made coplanar
    // (d = 3b - 2c) and then moved by one step on one axis: the determinant is
    // then plus or minus one 2 x 2 minor, tens of orders below the products.
    std::mt19937_64 rng(44);
    const std::int64_t limit = (std::int64_t{1} << 40) - 1;
    std::uniform_int_distribution<std::int64_t> coordinate(-limit / 8, limit / 8);
    const auto point = [](const std::int64_t(&v)[3]) {
        return Vec3d{std::ldexp(double(v[0]), -30), std::ldexp(double(v[1]), -30), std::ldexp(double(v[2]), -30)};
    };
    int signs[3] = {0, 0, 0};
    for (int i = 0; i < 3000; ++i) {
        std::int64_t a[3], b[3], c[3], d[3];
        for (int k = 0; k < 3; ++k) {
            a[k] = coordinate(rng), b[k] = coordinate(rng), c[k] = coordinate(rng);
            d[k] = a[k] + 3 * (b[k] - a[k]) - 2 * (c[k] - a[k]);
        }
        if (i % 3 != 0) d[i % 3] += i % 2 ? 1 : -1;
        bool fits = true;
        for (const std::int64_t v : d) fits = fits && v > -limit && v < limit;
        if (!fits) continue;
        const Int3 rb = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, rc = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const Int3 rd = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
        const int expected = IntegerSign(rb, rc, rd);
        ASSERT_EQ(Orient3dExact(point(a), point(b), point(c), point(d)), expected) << i;
        ASSERT_EQ(Orient3dByExpansion(point(a), point(b), point(c), point(d)), expected) << i;
        ASSERT_EQ(Orient3d(point(a), point(b), point(c), point(d)), expected) << i;
        ++signs[expected + 1];
    }
    EXPECT_GT(signs[0], 300);
    EXPECT_GT(signs[1], 300);
    EXPECT_GT(signs[2], 300);

    // The largest grid values: differences near 2^41 on every axis.
    const Vec3d o{-std::ldexp(double(limit), -30), -std::ldexp(double(limit), -30), -std::ldexp(double(limit), -30)};
    const double far = std::ldexp(double(limit), -30);
    EXPECT_EQ(Orient3dExact(o, {far, o.y, o.z}, {o.x, far, o.z}, {o.x, o.y, far}), 1);
    EXPECT_EQ(Orient3dExact(o, {o.x, far, o.z}, {far, o.y, o.z}, {o.x, o.y, far}), -1);
    // Off the grid (a step of 2^-1074 beside 1): the expansions decide.
    const Vec3d tiny{0, 0, std::ldexp(1.0, -1074)};
    EXPECT_EQ(Orient3dExact({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, tiny), 1);
    EXPECT_EQ(Orient3dExact({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0.5, 0.5, -std::ldexp(1.0, -1000)}), 1);
    EXPECT_EQ(Orient3dExact({0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1e30, -1e-30, 1}), 0);
}

TEST(ExactPredicates, GrowExpansionKeepsTheExactSum) {
    std::vector<double> e;
    GrowExpansion(e, 0x1p60);
    GrowExpansion(e, 1.0);
    GrowExpansion(e, 0x1p-60);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0], 0x1p-60);
    EXPECT_EQ(e[1], 1.0);
    EXPECT_EQ(e[2], 0x1p60);
    GrowExpansion(e, -0x1p60);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e.back(), 1.0);
    GrowExpansion(e, -1.0);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e.back(), 0x1p-60);
    GrowExpansion(e, -0x1p-60);
    EXPECT_TRUE(e.empty());
    // A negative remainder below a large cancelled pair keeps its sign.
    GrowExpansion(e, 1e300);
    GrowExpansion(e, -3e-300);
    GrowExpansion(e, -1e300);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e.back(), -3e-300);
}

TEST(ExactPredicates, SegmentAgainstTriangle) {
    // The triangle lies in the plane x + y + z = 3; (1, 1, 1) is its normal.
    const Vec3d a{3, 0, 0}, b{0, 3, 0}, c{0, 0, 3};
    const Vec3d n{1, 1, 1};
    const auto through = [&](const Vec3d& at) { return SegmentCrossesTriangle(at + n, at - n, a, b, c); };
    EXPECT_TRUE(through({1, 1, 1}));
    EXPECT_TRUE(through({1.5, 1.5, 0}));           // the middle of edge a-b
    EXPECT_TRUE(through({3, 0, 0}));               // corner a
    EXPECT_FALSE(through({1.625, 1.625, -0.25}));  // beyond edge a-b, in the plane
    // Within rounding of edge a-b, on either side.
    const double tiny = 0x1p-40;
    EXPECT_TRUE(through({1.5 - tiny / 2, 1.5 - tiny / 2, tiny}));
    EXPECT_FALSE(through({1.5 + tiny / 2, 1.5 + tiny / 2, -tiny}));
    // One end exactly on the plane inside the triangle counts; outside it does not.
    EXPECT_TRUE(SegmentCrossesTriangle({1, 1, 1}, {0, 0, 0}, a, b, c));
    EXPECT_TRUE(SegmentCrossesTriangle({2, 2, 2}, {1, 1, 1}, a, b, c));
    EXPECT_FALSE(SegmentCrossesTriangle({2, 2, -1}, {0, 0, 0}, a, b, c));
    // Both ends on one side, or the segment lying in the plane, never counts.
    EXPECT_FALSE(SegmentCrossesTriangle({2, 2, 2}, {1.5, 1.5, 1.5}, a, b, c));
    EXPECT_FALSE(SegmentCrossesTriangle({1, 1, 1}, {2, 1, 0}, a, b, c));
    EXPECT_FALSE(SegmentCrossesTriangle({-1, 2, 2}, {2, 2, -1}, a, b, c));
}

}  // namespace

TEST(ExactPredicates, PointsSharingOneCoordinateAreCoplanarAndOnlyThen) {
    // On a face across y at y = 0.7: no decimal below is exact in binary,
    // so nothing but the shared coordinate makes the determinant vanish.
    const Vec3d a{0.1, 0.7, 0.3}, b{5.3, 0.7, -2.9}, c{-1.7, 0.7, 4.1}, d{2.2, 0.7, 0.05};
    EXPECT_EQ(Orient3d(a, b, c, d), 0);
    EXPECT_EQ(Orient3dExact(b, d, a, c), 0);
    // The fourth point a step off that face, either way: the exact sign of
    // (b - a) x (c - a) . (d - a), whose y part alone is left: positive when
    // d lies on the side (b - a) x (c - a) points to, here -y.
    const double below = std::nextafter(0.7, 0.0), above = std::nextafter(0.7, 1.0);
    const Vec3d n = Cross(b - a, c - a);
    ASSERT_LT(n.y, 0.0);
    EXPECT_EQ(Orient3d(a, b, c, {2.2, below, 0.05}), 1);
    EXPECT_EQ(Orient3d(a, b, c, {2.2, above, 0.05}), -1);
    // Three sharing x and one sharing y and z with a corner but not x: not
    // coplanar, (0, 1, 0) x (0, 0, 1) . (0.5, 0, 0) = 0.5.
    EXPECT_EQ(Orient3dExact({1, 0, 0}, {1, 1, 0}, {1, 0, 1}, {1.5, 0, 0}), 1);
}

TEST(ExactPredicates, ThreePointsOnALineAlongAnAxisMakeNoVolume) {
    // a, b, c on one line along x (their y and z shared, none of them exact
    // in binary); d anywhere: b - a and c - a are parallel.
    const Vec3d a{0.1, 0.7, 0.3}, b{5.3, 0.7, 0.3}, c{-1.7, 0.7, 0.3}, d{2.2, -3.1, 4.9};
    EXPECT_EQ(Orient3d(a, b, c, d), 0);
    EXPECT_EQ(Orient3d(d, c, a, b), 0);
    // The in-plane test's shape: three points of a flat face on one grid
    // line, seen along z against the unit step.
    EXPECT_EQ(Orient3d({0.1, 0.7, 0}, {5.3, 0.7, 0}, {-1.7, 0.7, 0}, {0, 0, 1}), 0);
    // c a step off the line in y: det = (b - a).x * step * (d - a).z, with
    // (b - a).x > 0 and (d - a).z > 0, so the sign is the step's.
    const double up = std::nextafter(0.7, 1.0), down = std::nextafter(0.7, 0.0);
    EXPECT_EQ(Orient3d(a, b, {-1.7, up, 0.3}, d), 1);
    EXPECT_EQ(Orient3d(a, b, {-1.7, down, 0.3}, d), -1);
    EXPECT_EQ(Orient3dByExpansion(a, b, {-1.7, up, 0.3}, d), 1);
    // Two shared coordinates in two different pairs of points is no line.
    EXPECT_EQ(Orient3dExact({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}), 1);
}
