// The simplifier's fold and crossing tests on triangles whose answers follow
// from their coordinates by hand.
#include "mesh/simplify/internal/FoldChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ridgeforge::mesh;

namespace {

// A right triangle in z = 2 with legs 4 along x and 3 along y from (1, 1, 2):
// its long edge runs where (x - 1) / 4 + (y - 1) / 3 = 1.
const Vec3d kA{1, 1, 2}, kB{5, 1, 2}, kC{1, 4, 2};

}  // namespace

TEST(SimplifierFoldChecks, SegmentCrossesThroughTouchesButNotBesideOrInThePlane) {
    EXPECT_TRUE(SegmentMayCross({2, 2, 1}, {2, 2.5, 3}, kA, kB, kC));    // through the inside
    EXPECT_TRUE(SegmentMayCross({2, 2, 2}, {2, 2, 5}, kA, kB, kC));      // ends on the triangle
    EXPECT_FALSE(SegmentMayCross({2, 2, 2.5}, {2, 2, 5}, kA, kB, kC));   // all above
    EXPECT_FALSE(SegmentMayCross({2, 2, -1}, {2, 2, 1.9}, kA, kB, kC));  // all below
    EXPECT_FALSE(SegmentMayCross({2, 2, 2}, {3, 1.5, 2}, kA, kB, kC));   // in the plane
    // Either side of the long edge at x = 3, where it passes y = 2.5.
    EXPECT_TRUE(SegmentMayCross({3, 2.49, 1}, {3, 2.49, 3}, kA, kB, kC));
    EXPECT_FALSE(SegmentMayCross({3, 2.51, 1}, {3, 2.51, 3}, kA, kB, kC));
    // Either side of the short edge y = 1, and beyond the corner at x = 5.
    EXPECT_TRUE(SegmentMayCross({4, 1.01, 1}, {4, 1.01, 3}, kA, kB, kC));
    EXPECT_FALSE(SegmentMayCross({4, 0.99, 1}, {4, 0.99, 3}, kA, kB, kC));
    EXPECT_FALSE(SegmentMayCross({5.01, 1, 1}, {5.01, 1, 3}, kA, kB, kC));
    // A miss by far less than a float's rounding at these coordinates counts
    // as a touch; a miss by a thousandth of a millimetre does not.
    EXPECT_TRUE(SegmentMayCross({3, 2.5 + 1e-9, 1}, {3, 2.5 + 1e-9, 3}, kA, kB, kC));
    EXPECT_FALSE(SegmentMayCross({3, 2.501, 1}, {3, 2.501, 3}, kA, kB, kC));
    // A segment that stops a hair short of the plane touches; one that stops
    // a thousandth short does not.
    EXPECT_TRUE(SegmentMayCross({2, 2, 2 + 1e-9}, {2, 2, 5}, kA, kB, kC));
    EXPECT_FALSE(SegmentMayCross({2, 2, 2.001}, {2, 2, 5}, kA, kB, kC));
}

TEST(SimplifierFoldChecks, TrianglesCrossByTheirEdgesAndNeighboursOnlyBeyondWhatTheyShare) {
    const Vec3d x[3] = {kA, kB, kC};
    // A triangle standing through x's inside, apart from it.
    const Vec3d through[3] = {{2, 2, 1}, {2.5, 2, 3}, {2, 1.5, 3}};
    EXPECT_TRUE(TrianglesMayCross(x, through, {-1, -1, -1}));
    // The same lifted clear of x's plane.
    const Vec3d above[3] = {{2, 2, 2.2}, {2.5, 2, 4}, {2, 1.5, 4}};
    EXPECT_FALSE(TrianglesMayCross(x, above, {-1, -1, -1}));
    // x pierces a large triangle only with its corner B: an edge of x is what
    // meets it, not an edge of the other.
    const Vec3d wall[3] = {{4.5, -5, -5}, {4.5, 10, -5}, {4.5, 2, 10}};
    EXPECT_TRUE(TrianglesMayCross(x, wall, {-1, -1, -1}));
    EXPECT_TRUE(TrianglesMayCross(wall, x, {-1, -1, -1}));

    // Sharing corner A (x's corner 0 is the other's corner 1): crossing when
    // the other's edge opposite A passes through x, not when it folds away
    // above it.
    const Vec3d dips[3] = {{3, 2, 1}, kA, {3, 2, 3}};
    EXPECT_TRUE(TrianglesMayCross(x, dips, {1, -1, -1}));
    const Vec3d rises[3] = {{3, 2, 2.5}, kA, {2, 3, 3}};
    EXPECT_FALSE(TrianglesMayCross(x, rises, {1, -1, -1}));
    // Sharing corner B: a wall standing on B's side and reaching past x's
    // edge C-A (at x = 1 its foot line is at y = 2, within the edge) is met
    // by that edge alone; the wall's own far edge, at (-1, 2.5), misses x.
    const Vec3d wallOnB[3] = {kB, {-1, 2.5, -3}, {-1, 2.5, 7}};
    EXPECT_TRUE(TrianglesMayCross(x, wallOnB, {-1, 0, -1}));
    // Shortened to stop at x = 2, it no longer reaches the edge.
    const Vec3d shortWallOnB[3] = {kB, {2, 1.75, -3}, {2, 1.75, 7}};
    EXPECT_TRUE(TrianglesMayCross(x, shortWallOnB, {-1, 0, -1}));  // its far edge stands inside x
    const Vec3d leaningAway[3] = {kB, {3, 2, 4}, {2, 3, 5}};
    EXPECT_FALSE(TrianglesMayCross(x, leaningAway, {-1, 0, -1}));
    // Sharing an edge is left to the fold test, however the two lie.
    const Vec3d flatOnTop[3] = {kA, kB, {2, 2, 2}};
    EXPECT_FALSE(TrianglesMayCross(x, flatOnTop, {0, 1, -1}));
}

TEST(SimplifierFoldChecks, FoldedBeyondAbout165DegreesAndFurtherThanBefore) {
    const Vec3d up{0, 0, 2};
    // 180 - atan(0.2) = 168.7 degrees and 180 - atan(0.3) = 163.3 degrees
    // from straight up, either side of 165.
    EXPECT_TRUE(Folded(up, {0.2, 0, -1}));
    EXPECT_FALSE(Folded(up, {0.3, 0, -1}));
    EXPECT_FALSE(Folded(up, {1, 0, 0}));
    // Further folded than a pair that stood at 163.3 degrees, not than one at 174.3.
    EXPECT_TRUE(FoldedFurther(up, {0.2, 0, -1}, up, {0.3, 0, -1}));
    EXPECT_FALSE(FoldedFurther(up, {0.2, 0, -1}, up, {0.1, 0, -1}));
}

TEST(SimplifierFoldChecks, FacingAwayAndTheMarginThatBoundsIt) {
    // n = x, s = y: a right angle, margin 0.29 |s| = 0.29. Turning s towards
    // -x by d gives n.s = -d against 0.29 sqrt(d^2 + 1), which it passes
    // once d^2 > 0.0841 / 0.9159, d > 0.3030. The margin promises nothing
    // faces away while |ds| < 0.29 / 1.29 = 0.2248.
    const Vec3d n{2, 0, 0}, s{0, 1, 0};
    EXPECT_NEAR(FoldMargin(n, s, 0.29), 0.29, 1e-15);
    EXPECT_FALSE(FacesAway(n, {-0.30, 1, 0}, 0.29));
    EXPECT_TRUE(FacesAway(n, {-0.31, 1, 0}, 0.29));
    EXPECT_TRUE(FacesAway({-1, 0, 0}, {1, 0.1, 0}, 0.29));
    EXPECT_FALSE(FacesAway({-1, 0, 0}, {1, 0.1, 0}, 0.999));
    // A triangle or a sum without length never faces away.
    EXPECT_FALSE(FacesAway({}, {1, 0, 0}, 0.29));
    EXPECT_FALSE(FacesAway({1, 0, 0}, {}, 0.29));
    EXPECT_EQ(FoldMargin({}, {-1, 0, 0}, 0.29), std::numeric_limits<double>::infinity());
    EXPECT_NEAR(FoldMargin({0, 0, 3}, {0, 0, -2}, 0.29), -2.0 + 0.58, 1e-15);
    // The bound: wherever the margin exceeds 1.29 |ds|, s + ds does not face
    // away, for sums near the edge of facing away and the worst changes
    // (along -n, against s) as well as any.
    std::uint32_t state = 7;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    };
    int tight = 0;
    for (int i = 0; i < 20000; ++i) {
        const Vec3d normal{next(), next(), next()}, sum{next(), next(), next()};
        const double margin = FoldMargin(normal, sum, 0.29);
        if (!(margin > 0.0)) continue;
        const double room = margin / 1.29 * (1.0 - 1e-9);
        const Vec3d unit = normal * (1.0 / Length(normal));
        const Vec3d away = sum * (-1.0 / std::max(Length(sum), 1e-300));
        const Vec3d random{next(), next(), next()};
        for (const Vec3d& direction : {unit * -1.0, away, (unit * -1.0 + away), random}) {
            const Vec3d change = direction * (room / Length(direction));
            EXPECT_FALSE(FacesAway(normal, sum + change, 0.29)) << i;
            // Twice as far along -n often does face away: the bound is not loose by much.
            tight += FacesAway(normal, sum + unit * (-2.5 * room), 0.29);
        }
    }
    EXPECT_GT(tight, 1000);
}

TEST(SimplifierFoldChecks, AnglesNeverComeOutSmallerAndHardlyLarger) {
    for (int i = -1000; i <= 1000; ++i) {
        const double cosine = i / 1000.0;
        const double exact = std::acos(cosine) * 180.0 / 3.14159265358979323846;
        const double bound = AngleDegrees(cosine);
        EXPECT_GE(bound, exact - 1e-5) << cosine;  // the float it is rounded to
        EXPECT_LE(bound, exact + 0.01) << cosine;
    }
    EXPECT_NEAR(AngleBetween({0, 0, 3}, {0, 2, 2}), 45.0f, 0.01f);
    EXPECT_EQ(AngleBetween({0, 0, 0}, {0, 0, 1}), 180.0f);  // no direction: counted as opposite
}
