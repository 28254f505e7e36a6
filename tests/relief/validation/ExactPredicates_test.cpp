#include "relief/validation/ExactPredicates.h"

#include <gtest/gtest.h>

#include <cmath>

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
