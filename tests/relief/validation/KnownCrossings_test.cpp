#include "relief/validation/KnownCrossings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "testing/Shapes.h"

using namespace ridgeforge::mesh;

namespace {

// A 2 mm box with a 1 mm square bar poking out through its +x face.
TriangleMesh PokingBar() {
    TriangleMesh m = ridgeforge::test::MakeBox({0, 0, 0}, {2, 2, 2});
    ridgeforge::test::AppendMesh(m, ridgeforge::test::MakeBox({1, 0.5f, 0.5f}, {3, 1.5f, 1.5f}));
    return m;
}

// Worked out from the shape: the bar's y and z range lies inside the box's,
// so only the box's +x face (both triangles: the bar's section straddles
// either diagonal) and the bar's four long sides (both triangles each: the
// plane x = 2 runs through the middle of every side) pass through each other.
std::vector<std::uint32_t> PokingBarCrossings(const TriangleMesh& m) {
    std::vector<std::uint32_t> expected;
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
        const Vec3f n = m.FaceNormal(t);
        if (t < 12 ? n.x > 0.5f : std::abs(n.x) < 0.5f) expected.push_back(t);
    }
    return expected;
}

// The same triangles with the vertices numbered backwards.
TriangleMesh Renumbered(const TriangleMesh& m) {
    TriangleMesh r = m;
    const auto last = static_cast<std::uint32_t>(m.vertices.size() - 1);
    for (std::size_t v = 0; v < m.vertices.size(); ++v) r.vertices[last - v] = m.vertices[v];
    for (std::uint32_t& i : r.indices) i = last - i;
    return r;
}

TEST(KnownCrossings, WithoutAScopeEverySearchRuns) {
    const TriangleMesh m = PokingBar();
    ASSERT_EQ(PokingBarCrossings(m).size(), 10u);
    bool stopped = true;
    EXPECT_EQ(CrossingTriangles(m, &stopped), PokingBarCrossings(m));
    EXPECT_FALSE(stopped);
    // Nothing to tell: the list handed in is not kept.
    RememberCrossings(m, {5});
    EXPECT_EQ(CrossingTriangles(m), PokingBarCrossings(m));
}

TEST(KnownCrossings, TheSameMeshIsAnsweredFromMemoryEvenRenumbered) {
    const TriangleMesh m = PokingBar();
    const std::vector<std::uint32_t> expected = PokingBarCrossings(m);
    KnownCrossingsScope scope;
    EXPECT_EQ(CrossingTriangles(m), expected);
    EXPECT_EQ(scope.Recalled(), 0u);
    bool stopped = true;
    EXPECT_EQ(CrossingTriangles(m, &stopped), expected);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(scope.Recalled(), 1u);
    TriangleMesh again = Renumbered(m);
    for (Vertex& v : again.vertices) v.normal = {0, 0, 1};  // normals are not read
    again.boundsValid = false;
    EXPECT_EQ(CrossingTriangles(again), expected);
    EXPECT_EQ(scope.Recalled(), 2u);
}

TEST(KnownCrossings, AnyChangeTheSearchCouldSeeSearchesAgain) {
    const TriangleMesh m = PokingBar();
    const std::vector<std::uint32_t> expected = PokingBarCrossings(m);
    KnownCrossingsScope scope;
    CrossingTriangles(m);

    // The bar pulled out of the box by 2 mm: nothing crosses.
    TriangleMesh apart = m;
    for (std::size_t v = 8; v < apart.vertices.size(); ++v) apart.vertices[v].position.x += 2.0f;
    EXPECT_TRUE(CrossingTriangles(apart).empty());
    EXPECT_EQ(scope.Recalled(), 0u);
    // And back in: the memory now holds the mesh searched last.
    EXPECT_EQ(CrossingTriangles(m), expected);
    EXPECT_EQ(scope.Recalled(), 0u);

    // A corner moved by the smallest step a float can take.
    TriangleMesh nudged = m;
    nudged.vertices[9].position.y = std::nextafter(nudged.vertices[9].position.y, 9.0f);
    EXPECT_EQ(CrossingTriangles(nudged), expected);
    EXPECT_EQ(scope.Recalled(), 0u);

    // The box's corner at the origin written as -0: the same point, other bits.
    CrossingTriangles(m);
    TriangleMesh negativeZero = m;
    ASSERT_EQ(negativeZero.vertices[0].position.x, 0.0f);
    negativeZero.vertices[0].position.x = -0.0f;
    EXPECT_EQ(CrossingTriangles(negativeZero), expected);
    EXPECT_EQ(scope.Recalled(), 0u);

    // One triangle of the box given a corner of its own at the same place:
    // the positions corner by corner are unchanged, but the triangle now
    // touches its neighbours there instead of sharing the corner with them.
    CrossingTriangles(m);
    TriangleMesh unshared = m;
    unshared.vertices.push_back(unshared.vertices[unshared.indices[0]]);
    unshared.indices[0] = static_cast<std::uint32_t>(unshared.vertices.size() - 1);
    const std::vector<std::uint32_t> touching = CrossingTriangles(unshared);
    EXPECT_EQ(scope.Recalled(), 0u);
    EXPECT_GT(touching.size(), expected.size());
    EXPECT_EQ(touching.front(), 0u);

    // Two vertices merged into one are no more the same mesh than one split.
    EXPECT_EQ(CrossingTriangles(m), expected);
    EXPECT_EQ(scope.Recalled(), 0u);

    // A triangle fewer: one of the bar's sides loses a half.
    TriangleMesh fewer = m;
    std::vector<std::uint32_t> kept = expected;
    const std::uint32_t dropped = expected.back();
    fewer.indices.erase(fewer.indices.begin() + 3 * dropped, fewer.indices.begin() + 3 * dropped + 3);
    kept.pop_back();
    EXPECT_EQ(CrossingTriangles(fewer), kept);
    EXPECT_EQ(scope.Recalled(), 0u);
}

TEST(KnownCrossings, ToldListsScopesAndBrokenMeshes) {
    const TriangleMesh m = PokingBar();
    KnownCrossingsScope outer;
    // A list told for a mesh is taken as it is, for that mesh only.
    RememberCrossings(m, {5});
    EXPECT_EQ(CrossingTriangles(Renumbered(m)), (std::vector<std::uint32_t>{5}));
    EXPECT_EQ(outer.Recalled(), 1u);
    RememberCrossings(m, PokingBarCrossings(m));
    {
        // An inner scope starts empty and keeps its own memory.
        KnownCrossingsScope inner;
        EXPECT_EQ(CrossingTriangles(m), PokingBarCrossings(m));
        EXPECT_EQ(inner.Recalled(), 0u);
        TriangleMesh apart = m;
        for (std::size_t v = 8; v < apart.vertices.size(); ++v) apart.vertices[v].position.x += 2.0f;
        CrossingTriangles(apart);
        EXPECT_TRUE(CrossingTriangles(apart).empty());
        EXPECT_EQ(inner.Recalled(), 1u);
    }
    EXPECT_EQ(CrossingTriangles(m), PokingBarCrossings(m));
    EXPECT_EQ(outer.Recalled(), 2u);

    // A mesh with an index past its vertices: nothing found, nothing kept.
    TriangleMesh broken = m;
    broken.indices.back() = 99;
    EXPECT_TRUE(CrossingTriangles(broken).empty());
    EXPECT_TRUE(CrossingTriangles(broken).empty());
    RememberCrossings(broken, {1, 2});
    EXPECT_TRUE(CrossingTriangles(broken).empty());
    EXPECT_EQ(outer.Recalled(), 2u);
}

}  // namespace
