#include "relief/validation/internal/RowCrossingCuts.h"

#include <gtest/gtest.h>

#include <random>

using namespace ridgeforge::mesh;

namespace {

// Rows 0 to 9 of 1 mm cells from v = 0: their centre lines lie at v = 0.5 to 9.5.
LayerGrid TenRows() {
    LayerGrid grid;
    grid.cell = 1.0f;
    grid.originU = 0.0f;
    grid.originV = 0.0f;
    grid.columns = 10;
    grid.rows = 10;
    grid.crossings.assign(10, {});
    return grid;
}

// A sliver standing from h = 0 to 10 whose cut at every height spans v from
// `low` to `high` (corners as (u, v, h)).
void Sliver(float low, float high, Vec3f corners[3]) {
    corners[0] = {0.0f, low, 0.0f};
    corners[1] = {4.0f, high, 10.0f};
    corners[2] = {4.0f, low, 10.0f};
}

}  // namespace

// A cut is dropped only where it falls between row lines, beside the grid or
// off the triangle; every cut that adds a crossing is kept.
TEST(RowCrossingCuts, CutsBetweenRowLinesAreDropped) {
    const LayerGrid grid = TenRows();
    Vec3f c[3];
    Sliver(3.2f, 3.3f, c);
    EXPECT_FALSE(CutMayCrossRow(c, 5.0f, grid));
    Sliver(3.45f, 3.55f, c);  // the line of row 3 at 3.5
    EXPECT_TRUE(CutMayCrossRow(c, 5.0f, grid));
    // At h = 1 this sliver's cut spans only v 3.45 to 3.46, below the line.
    EXPECT_FALSE(CutMayCrossRow(c, 1.0f, grid));
    Sliver(3.2f, 3.8f, c);
    EXPECT_FALSE(CutMayCrossRow(c, 0.5f, grid));   // v 3.2 to 3.23
    EXPECT_TRUE(CutMayCrossRow(c, 9.5f, grid));    // v 3.2 to 3.77
    EXPECT_FALSE(CutMayCrossRow(c, 10.5f, grid));  // above the triangle
    EXPECT_FALSE(CutMayCrossRow(c, -0.5f, grid));  // below it
    // Lines of rows that the grid does not hold: v = 10.5 and v = -0.5.
    Sliver(10.4f, 10.6f, c);
    EXPECT_FALSE(CutMayCrossRow(c, 5.0f, grid));
    Sliver(-0.6f, -0.4f, c);
    EXPECT_FALSE(CutMayCrossRow(c, 5.0f, grid));
    Sliver(9.4f, 9.6f, c);
    EXPECT_TRUE(CutMayCrossRow(c, 5.0f, grid));
    // A line exactly at a corner's v.
    Sliver(3.5f, 3.6f, c);
    EXPECT_TRUE(CutMayCrossRow(c, 5.0f, grid));

    // Random triangles, slivers among them, cut at random heights: a cut
    // that adds a crossing is never dropped, and slivers are dropped often.
    std::mt19937 random(4242);
    std::uniform_real_distribution<float> coordinate(-1.0f, 11.0f), thin(-0.02f, 0.02f);
    LayerGrid counting = TenRows();
    int crossing = 0, dropped = 0;
    for (int round = 0; round < 20000; ++round) {
        const bool sliver = round % 2 == 0;
        const float v = coordinate(random);
        for (Vec3f& corner : c) {
            corner = {coordinate(random), sliver ? v + thin(random) : coordinate(random), coordinate(random)};
        }
        if (round % 5 == 0) c[1].z = c[0].z;  // an edge level with the cut's slab
        const float h = round % 7 == 0 ? c[round % 3].z : coordinate(random);
        const Vec3f normal = Normalize(Cross(c[1] - c[0], c[2] - c[0]));
        Point2 p0, p1;
        bool adds = false;
        if (SliceTriangle(c, h, {normal.x, normal.y}, p0, p1)) {
            AddScanlineCrossings(counting, p0, p1);
            for (auto& row : counting.crossings) {
                adds = adds || !row.empty();
                row.clear();
            }
        }
        const bool kept = CutMayCrossRow(c, h, grid);
        if (adds) {
            ++crossing;
            ASSERT_TRUE(kept) << "round " << round;
        }
        if (sliver && !kept) ++dropped;
    }
    EXPECT_GT(crossing, 3000);
    EXPECT_GT(dropped, 5000);
}

TEST(RowCrossingCuts, CopiesAreTheSameCornersInTheSameOrder) {
    TriangleMesh m;
    for (int i = 0; i < 4; ++i) m.vertices.push_back({{static_cast<float>(i), 0.0f, 0.0f}, {}});
    // 0 1 2 three times, turned (2 0 1) and flipped (0 2 1) once each, 1 2 3 alone.
    m.indices = {2, 0, 1, 0, 1, 2, 0, 2, 1, 0, 1, 2, 1, 2, 3, 0, 1, 2};
    const TriangleCopies copies = FindTriangleCopies(m);
    ASSERT_EQ(copies.first.size(), 6u);
    EXPECT_EQ(copies.first, (std::vector<std::uint32_t>{0, 1, 2, 1, 4, 1}));
    EXPECT_EQ(copies.copies, (std::vector<std::uint32_t>{1, 3, 1, 0, 1, 0}));
    EXPECT_EQ(copies.FirstOf(5), 1u);
    EXPECT_EQ(copies.CopiesOf(1), 3u);

    // Without copies the lists stay empty and every triangle is its own first.
    m.indices = {0, 1, 2, 1, 2, 3, 2, 1, 3};
    const TriangleCopies none = FindTriangleCopies(m);
    EXPECT_TRUE(none.first.empty());
    EXPECT_EQ(none.FirstOf(2), 2u);
    EXPECT_EQ(none.CopiesOf(2), 1u);
}
