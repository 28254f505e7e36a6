// The mesh relief leaves no crossing triangles and no overlapping folds where
// the tilt test alone let them through: a concave valley whose flanks move
// into each other.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "relief/displacement/MeshDisplacement.h"
#include "tests/relief/displacement/ReliefTestSupport.h"
#include "tests/support/SelfIntersections.h"

namespace ridgeforge::mesh {
namespace {

using ridgeforge::test::CountSelfIntersections;
using ridgeforge::test::SelfIntersectionCount;

// An open trough 12 mm wide along y whose floor is rounded to a 0.4 mm
// radius: z = sqrt(x^2 + 0.16) - 0.4, on a grid of 0.1 mm steps across.
TriangleMesh MakeRoundedValley() {
    TriangleMesh m;
    const int across = 120, along = 20;
    for (int j = 0; j <= along; ++j) {
        for (int i = 0; i <= across; ++i) {
            const float x = -6.0f + 0.1f * static_cast<float>(i);
            m.vertices.push_back({{x, 0.25f * static_cast<float>(j), std::sqrt(x * x + 0.16f) - 0.4f}, {}});
        }
    }
    for (int j = 0; j < along; ++j) {
        for (int i = 0; i < across; ++i) {
            const auto a = static_cast<std::uint32_t>(j * (across + 1) + i);
            const std::uint32_t b = a + 1, c = a + across + 2, d = a + across + 1;
            m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
        }
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

TEST(MeshDisplacementCrossings, ValleyFlanksMovingIntoEachOtherAreEasedApart) {
    const TriangleMesh before = MakeRoundedValley();
    ASSERT_EQ(CountSelfIntersections(before).intersectingPairs, 0u);
    TriangleMesh m = before;
    DisplacementSettings s;
    s.method = DisplacementMethod::Mesh;
    s.strengthMillimetres = 1.5f;
    s.midLevel = 0.0f;
    // Every move is 1.5 mm up the normal: past the floor's 0.4 mm radius the
    // two flanks pass through each other; the floor is one smooth region, so
    // the clearance sees no opposite wall.
    const std::vector<float> weights(m.vertices.size(), 1.0f);
    const DisplacementReport r =
        ApplyDisplacement(m, BoxProjection(), UniformMap(1.0f), weights, s, nullptr, TileFrame{});
    const SelfIntersectionCount after = CountSelfIntersections(m);
    EXPECT_EQ(after.intersectingPairs, 0u);
    EXPECT_EQ(after.foldedEdges, 0u);
    EXPECT_GT(r.foldVertices, 0u);
    EXPECT_EQ(r.foldFurtherThanBefore, 0u);
    // Far from the floor the relief is whole: 1.5 mm along the normal.
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        if (std::fabs(before.vertices[v].position.x) < 3.0f) continue;
        EXPECT_NEAR(Length(m.vertices[v].position - before.vertices[v].position), 1.5f, 1e-3f) << v;
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
