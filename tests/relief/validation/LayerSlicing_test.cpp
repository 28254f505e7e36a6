#include "relief/validation/LayerSlicing.h"

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

using namespace ridgeforge::mesh;

namespace {

// The cut as a walk round the triangle finds it: the edges 0-1, 1-2, 2-0 in
// turn, each from its lower corner, the first two that cross the plane.
bool WalkedCut(const Vec3f corners[3], float h, Point2 reference, Point2& p0, Point2& p1) {
    Point2 found[2];
    int count = 0;
    for (int e = 0; e < 3 && count < 2; ++e) {
        const Vec3f& a = corners[e];
        const Vec3f& b = corners[(e + 1) % 3];
        if ((h >= a.z) == (h >= b.z)) continue;
        const Vec3f& low = a.z < b.z ? a : b;
        const Vec3f& high = a.z < b.z ? b : a;
        const float t = (h - low.z) / (high.z - low.z);
        found[count++] = {low.x + t * (high.x - low.x), low.y + t * (high.y - low.y)};
    }
    if (count < 2) return false;
    p0 = found[0];
    p1 = found[1];
    if ((p1.v - p0.v) * reference.u - (p1.u - p0.u) * reference.v < 0.0f) std::swap(p0, p1);
    return true;
}

bool SameBits(Point2 a, Point2 b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// Worked by hand: the corner alone on its side is an end of both crossed
// edges, whichever corner it is, and the segment runs with the material
// (the reference direction) on its right.
TEST(LayerSlicing, SliceTriangleCutsTheEdgesOfTheLoneCorner) {
    // Corner 0 alone above h = 1: edges 0-1 and 2-0, halfway up each.
    Vec3f lone0[3] = {{0, 0, 2}, {4, 0, 0}, {0, 4, 0}};
    Point2 p0, p1;
    ASSERT_TRUE(SliceTriangle(lone0, 1.0f, {1, 1}, p0, p1));
    // (2, 0) to (0, 2), which has the reference (1, 1) on its right.
    EXPECT_EQ(p0.u, 2.0f);
    EXPECT_EQ(p0.v, 0.0f);
    EXPECT_EQ(p1.u, 0.0f);
    EXPECT_EQ(p1.v, 2.0f);
    // The reference turned round turns the segment.
    ASSERT_TRUE(SliceTriangle(lone0, 1.0f, {-1, -1}, p0, p1));
    EXPECT_EQ(p0.u, 0.0f);
    EXPECT_EQ(p1.u, 2.0f);
    // Corner 1 alone below h = 3 (edges 0-1 and 1-2), and corner 2 alone
    // (edges 1-2 and 2-0): a quarter of the way from the low corner.
    Vec3f lone1[3] = {{0, 0, 4}, {4, 0, 0}, {0, 4, 4}};
    ASSERT_TRUE(SliceTriangle(lone1, 3.0f, {0, 0}, p0, p1));
    EXPECT_EQ(p0.u, 1.0f);  // on 0-1: (4, 0) + 3/4 of (-4, 0)
    EXPECT_EQ(p0.v, 0.0f);
    EXPECT_EQ(p1.u, 1.0f);  // on 1-2: (4, 0) + 3/4 of (-4, 4)
    EXPECT_EQ(p1.v, 3.0f);
    Vec3f lone2[3] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 4}};
    ASSERT_TRUE(SliceTriangle(lone2, 1.0f, {0, 0}, p0, p1));
    EXPECT_EQ(p0.u, 3.0f);  // on 1-2
    EXPECT_EQ(p0.v, 1.0f);
    EXPECT_EQ(p1.u, 0.0f);  // on 2-0
    EXPECT_EQ(p1.v, 1.0f);
    // All on one side, or flat on the plane: no cut. A corner on the plane
    // counts as above it: one touching it from below is cut to a point.
    EXPECT_FALSE(SliceTriangle(lone2, -1.0f, {0, 0}, p0, p1));
    EXPECT_FALSE(SliceTriangle(lone2, 5.0f, {0, 0}, p0, p1));
    Vec3f flat[3] = {{0, 0, 1}, {4, 0, 1}, {0, 4, 1}};
    EXPECT_FALSE(SliceTriangle(flat, 1.0f, {0, 0}, p0, p1));
    Vec3f touching[3] = {{0, 0, 1}, {4, 0, 2}, {0, 4, 2}};
    ASSERT_TRUE(SliceTriangle(touching, 1.0f, {0, 0}, p0, p1));
    EXPECT_TRUE(p0.u == 0.0f && p0.v == 0.0f && p1.u == 0.0f && p1.v == 0.0f);
    Vec3f touchingAbove[3] = {{0, 0, 1}, {4, 0, 0}, {0, 4, 0}};
    EXPECT_FALSE(SliceTriangle(touchingAbove, 1.0f, {0, 0}, p0, p1));
}

// Random triangles, many with corners exactly on the cut or on one height,
// against the walk: the same answer to the last bit.
TEST(LayerSlicing, SliceTriangleMatchesTheWalkToTheBit) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f);
    std::uniform_int_distribution<int> pick(0, 5);
    int cuts = 0;
    for (int i = 0; i < 200000; ++i) {
        const float h = coordinate(random);
        Vec3f c[3];
        for (Vec3f& p : c) {
            p = {coordinate(random), coordinate(random), coordinate(random)};
            const int k = pick(random);
            if (k == 0) p.z = h;
            if (k == 1) p.z = std::nextafter(h, 100.0f);
        }
        if (pick(random) == 0) c[1].z = c[0].z;
        const Point2 reference{coordinate(random), coordinate(random)};
        Point2 a0{}, a1{}, b0{}, b1{};
        const bool sliced = SliceTriangle(c, h, reference, a0, a1);
        ASSERT_EQ(sliced, WalkedCut(c, h, reference, b0, b1)) << i;
        if (!sliced) continue;
        ++cuts;
        ASSERT_TRUE(SameBits(a0, b0) && SameBits(a1, b1)) << i;
    }
    EXPECT_GT(cuts, 50000);
}

// A cut that RowLineGaps places in one gap adds no crossing; one that spans
// a centre line is never placed in a gap. Ends a float step either side of a
// centre line, below and above the frame, and far outside it.
TEST(LayerSlicing, RowLineGapsOnlyPassCutsThatCrossNothing) {
    LayerGrid grid;
    grid.cell = 0.1f;
    grid.originV = -3.7f;
    grid.rows = 90;
    grid.columns = 4;
    const RowLineGaps gaps(grid);
    const auto crossings = [&](float v0, float v1) {
        grid.crossings.assign(90, {});
        AddScanlineCrossings(grid, {0, v0}, {1, v1});
        std::size_t n = 0;
        for (const auto& row : grid.crossings) n += row.size();
        return n;
    };
    // Between the centre lines -3.45 and -3.35, either way round: in one gap.
    EXPECT_TRUE(gaps.SameGap(-3.44f, -3.36f));
    EXPECT_TRUE(gaps.SameGap(-3.36f, -3.44f));
    EXPECT_EQ(crossings(-3.44f, -3.36f), 0u);
    // Over the frame's first centre line (v = -3.65) and over a later one.
    EXPECT_FALSE(gaps.SameGap(-3.66f, -3.64f));
    EXPECT_FALSE(gaps.SameGap(1.0f, 1.2f));

    std::mt19937 random(5);
    std::uniform_real_distribution<float> v(-6.0f, 6.5f);
    std::uniform_real_distribution<float> shortStep(0.0f, 0.05f);
    std::uniform_int_distribution<int> pick(0, 3);
    int inGap = 0;
    for (int i = 0; i < 100000; ++i) {
        float v0 = v(random);
        if (pick(random) == 0) {
            // On a centre line, or a float step either side of one.
            const float line = grid.originV + (std::floor((v0 - grid.originV) / grid.cell) + 0.5f) * grid.cell;
            v0 = pick(random) == 0 ? line : std::nextafter(line, pick(random) < 2 ? -10.0f : 10.0f);
        }
        const float v1 = v0 + (pick(random) == 0 ? 0.0f : shortStep(random));
        if (!gaps.SameGap(v0, v1)) continue;
        ++inGap;
        ASSERT_EQ(crossings(v0, v1), 0u) << v0 << " " << v1;
        ASSERT_EQ(crossings(v1, v0), 0u) << v0 << " " << v1;
    }
    EXPECT_GT(inGap, 30000);
    // The first row at or above v, as the division defines it, whether the
    // product settles it or not: on a centre line, a float step either side,
    // below, inside and above the frame.
    for (int i = 0; i < 100000; ++i) {
        float at = v(random);
        if (pick(random) < 2) {
            const float line = grid.originV + (std::floor((at - grid.originV) / grid.cell) + 0.5f) * grid.cell;
            at = pick(random) == 0 ? line : std::nextafter(line, pick(random) < 2 ? -10.0f : 10.0f);
        }
        const double x = (at - grid.originV) / grid.cell - 0.5;
        const std::int32_t expected = x <= 0.0 ? 0 : (x >= 90.0 ? 90 : static_cast<std::int32_t>(std::ceil(x)));
        ASSERT_EQ(gaps.RowAt(at), expected) << at;
    }
    EXPECT_EQ(gaps.RowAt(std::nanf("")), 0);
    EXPECT_EQ(gaps.RowAt(1e30f), 90);
    EXPECT_EQ(gaps.RowAt(-1e30f), 0);
    // Far outside the frame, both ends past the last line or before the
    // first: one gap, as RowAt clamps both to the same row; a NaN: unsure.
    EXPECT_TRUE(gaps.SameGap(3e9f, 3.1e9f));
    EXPECT_TRUE(gaps.SameGap(-3.1e9f, -3e9f));
    EXPECT_EQ(crossings(3e9f, 3.1e9f) + crossings(-3.1e9f, -3e9f), 0u);
    EXPECT_FALSE(gaps.SameGap(-3.1e9f, 3e9f));
    EXPECT_FALSE(gaps.SameGap(std::nanf(""), 1.0f));
    EXPECT_FALSE(gaps.SameGap(1.0f, std::nanf("")));
}

// The gaps hold in frames far from the origin, where a float steps over
// several heights of a row, and in frames across zero, where floats are
// finest: a cut placed in one gap has both ends in one row (also with an
// end on a line or a few floats beside it), and nearly every cut with both
// ends in one row and away from its lines is placed in one.
TEST(LayerSlicing, RowLineGapsHoldFarFromAndAcrossTheOrigin) {
    struct Frame {
        float originV, cell;
        std::int32_t rows;
    };
    for (const Frame& f : {Frame{-3.7f, 0.1f, 90}, Frame{1.0e5f, 0.0125f, 3000}, Frame{-0.001f, 0.105f, 400},
                           Frame{-26.25f, 0.105f, 500}}) {
        LayerGrid grid;
        grid.originV = f.originV;
        grid.cell = f.cell;
        grid.rows = f.rows;
        const RowLineGaps gaps(grid);
        std::mt19937 random(11);
        std::uniform_real_distribution<float> along(-2.0f, static_cast<float>(f.rows) + 2.0f);
        std::uniform_int_distribution<int> pick(0, 5);
        int oneRow = 0, placed = 0;
        for (int i = 0; i < 200000; ++i) {
            const float row = along(random);
            float v0 = f.originV + row * f.cell;
            const bool nearLine = pick(random) == 0;
            if (nearLine) {
                // On a line, or a float or a few either side of one.
                v0 = f.originV + (std::floor(row) + 0.5f) * f.cell;
                for (int s = pick(random) - 2; s != 0; s += s < 0 ? 1 : -1)
                    v0 = std::nextafter(v0, s < 0 ? -1e30f : 1e30f);
            }
            const float v1 = v0 + f.cell * 0.3f * static_cast<float>(pick(random)) / 5.0f;
            const bool same = gaps.RowAt(v0) == gaps.RowAt(v1);
            const bool inGap = gaps.SameGap(v0, v1);
            ASSERT_TRUE(!inGap || same) << f.originV << ": " << v0 << " " << v1;
            ASSERT_EQ(gaps.SameGap(v1, v0), inGap);
            oneRow += same && !nearLine ? 1 : 0;
            placed += inGap && !nearLine ? 1 : 0;
        }
        EXPECT_GT(placed, oneRow * 99 / 100) << f.originV;
    }
}
