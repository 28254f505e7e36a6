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

// Enough triangles for several runs of the parallel bucketing: each layer
// lists, in ascending order, exactly the first copies whose cut there may
// cross a row line. Slivers stand through every layer; small triangles lie
// within layer 3's cut (h 3.5137) and hold the line v = 5.5 or miss every
// line; others lie between two cuts; every seventh is a copy of the one
// before it.
TEST(RowCrossingCuts, BucketsHoldEachLayersCrossingCutsInTriangleOrder) {
    const LayerGrid grid = TenRows();
    constexpr std::uint64_t kLayers = 10;
    TriangleMesh m;
    std::mt19937 random(77);
    std::uniform_real_distribution<float> start(0.0f, 9.0f);
    const auto add = [&m](const Vec3f(&c)[3]) {
        const auto first = static_cast<std::uint32_t>(m.vertices.size());
        for (const Vec3f& p : c) m.vertices.push_back({p, {}});
        m.indices.insert(m.indices.end(), {first, first + 1, first + 2});
    };
    std::vector<char> kind;  // 's' sliver, 'k' kept in layer 3, 'd' dropped, 'c' copy, 'b' between cuts
    for (int i = 0; i < 50000; ++i) {
        if (i % 7 == 6) {
            const std::size_t before = m.indices.size() - 3;
            m.indices.insert(m.indices.end(), {m.indices[before], m.indices[before + 1], m.indices[before + 2]});
            kind.push_back('c');
            continue;
        }
        switch (i % 4) {
            case 0: {
                const float v = start(random);
                add({{0.0f, v, 0.0f}, {1.0f, v + 0.6f, 10.0f}, {1.0f, v, 10.0f}});
                kind.push_back('s');
                break;
            }
            case 1:
                add({{0.0f, 5.4f, 3.4f}, {1.0f, 5.6f, 3.7f}, {1.0f, 5.4f, 3.7f}});
                kind.push_back('k');
                break;
            case 2:
                add({{0.0f, 5.1f, 3.4f}, {1.0f, 5.3f, 3.7f}, {1.0f, 5.1f, 3.7f}});
                kind.push_back('d');
                break;
            default:
                add({{0.0f, 5.4f, 3.6f}, {1.0f, 5.6f, 3.9f}, {1.0f, 5.4f, 3.9f}});
                kind.push_back('b');
                break;
        }
    }
    const LayerBuckets buckets =
        BucketRowCrossingCuts(m, AxesAcross(2), FindTriangleCopies(m), grid, 0.0f, 1.0f, kLayers);
    ASSERT_EQ(buckets.offsets.size(), kLayers + 1);
    std::size_t slivers = 0, droppedSliverCuts = 0;
    for (std::uint64_t l = 0; l < kLayers; ++l) {
        std::vector<std::uint32_t> expected;
        for (std::uint32_t t = 0; t < kind.size(); ++t) {
            Vec3f c[3];
            CornersAcross(m, AxesAcross(2), t, c);
            if (kind[t] == 'k' && l == 3) expected.push_back(t);
            if (kind[t] != 's') continue;
            slivers += l == 0 ? 1 : 0;
            if (CutMayCrossRow(c, LayerCutHeight(0.0f, 1.0f, l), grid)) {
                expected.push_back(t);
            } else {
                ++droppedSliverCuts;
            }
        }
        const std::vector<std::uint32_t> got(
            buckets.triangles.begin() + static_cast<std::ptrdiff_t>(buckets.offsets[l]),
            buckets.triangles.begin() + static_cast<std::ptrdiff_t>(buckets.offsets[l + 1]));
        EXPECT_EQ(got, expected) << "layer " << l;
    }
    // Both outcomes of the row test occur among the slivers' cuts.
    EXPECT_GT(droppedSliverCuts, slivers);
    EXPECT_LT(droppedSliverCuts, slivers * kLayers);
}

// A few slivers through a hundred thousand layers are over a million row
// tests: the stop is asked all through them, not once per few hundred
// triangles, and a stop ends the bucketing.
TEST(RowCrossingCuts, TallSliversAskTheStopAsTheirRowTestsGo) {
    TriangleMesh m;
    for (std::uint32_t i = 0; i < 16; ++i) {
        const float v = 1.0f + 0.5f * static_cast<float>(i);
        m.vertices.push_back({{0.0f, v, 0.0f}, {}});
        m.vertices.push_back({{1.0f, v + 0.6f, 100.0f}, {}});
        m.vertices.push_back({{1.0f, v, 100.0f}, {}});
        m.indices.insert(m.indices.end(), {3 * i, 3 * i + 1, 3 * i + 2});
    }
    int asked = 0;
    bool stopAt = false;
    const ProgressCallback callback = [&](const std::string&, float) { return !(++asked >= 4 && stopAt); };
    for (const bool stopping : {false, true}) {
        stopAt = stopping;
        asked = 0;
        CancelContext cancel;
        cancel.callback = &callback;
        const auto bucket = [&] {
            return BucketRowCrossingCuts(m, AxesAcross(2), {}, TenRows(), 0.0f, 0.001f, 100000, &cancel);
        };
        if (stopping) {
            EXPECT_THROW(bucket(), Stopped);
            EXPECT_EQ(asked, 4);
        } else {
            const LayerBuckets buckets = bucket();
            EXPECT_EQ(buckets.offsets.size(), 100001u);
            // 1.6 million row tests: about one ask per 130,000.
            EXPECT_GE(asked, 8);
        }
    }
}
