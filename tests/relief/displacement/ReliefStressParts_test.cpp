// The relief stress parts are sound to start with, so that whatever crosses
// or folds after a relief was made by it.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "tests/support/SelfIntersections.h"
#include "testing/ReliefStressParts.h"

namespace ridgeforge::test {
namespace {

TEST(ReliefStressParts, EachIsAClosedWeldedOutwardSolidOnTheBedThatCrossesNothing) {
    const std::vector<StressPart> parts = MakeReliefStressParts();
    ASSERT_EQ(parts.size(), 5u);
    for (const StressPart& part : parts) {
        SCOPED_TRACE(part.name);
        const mesh::TriangleMesh& m = part.mesh;
        EXPECT_TRUE(IsClosedOrientedManifold(m));
        EXPECT_GT(m.SignedVolume(), 0.0f);
        // Welded: no two vertices at one position, and every vertex in use.
        std::set<std::array<float, 3>> positions;
        for (const mesh::Vertex& v : m.vertices) positions.insert({v.position.x, v.position.y, v.position.z});
        EXPECT_EQ(positions.size(), m.vertices.size());
        EXPECT_EQ(std::set<std::uint32_t>(m.indices.begin(), m.indices.end()).size(), m.vertices.size());
        const SelfIntersectionCount c = CountSelfIntersections(m);
        EXPECT_EQ(c.intersectingPairs, 0u);
        EXPECT_EQ(c.foldedEdges, 0u);
        EXPECT_EQ(m.boundsMin.z, 0.0f);
        for (int axis = 0; axis < 3; ++axis) EXPECT_LE(m.boundsMax[axis] - m.boundsMin[axis], 45.0f);
    }
    // The sheet is a tenth of a millimetre thick; the plate has holes (more
    // than one boundary loop per face would show as a higher genus: V - E + F
    // = 2 - 2g with g the number of holes).
    EXPECT_FLOAT_EQ(parts[1].mesh.boundsMax.z, 0.1f);
    const mesh::TriangleMesh& plate = parts[0].mesh;
    const long long faces = static_cast<long long>(plate.TriangleCount());
    const long long euler = static_cast<long long>(plate.vertices.size()) - faces * 3 / 2 + faces;
    EXPECT_EQ(euler, 2 - 2 * 6);
}

TEST(ReliefStressParts, BedPlateIsAClosedSolidWithItsScrewHolesAndPostsThatCrossesNothing) {
    // 24 cells of 2.5 mm: one crossing of the ribs, so one hole beside it,
    // and two holes at each corner inside the rim.
    const mesh::TriangleMesh m = MakeBedPlate(60.0f);
    EXPECT_TRUE(IsClosedOrientedManifold(m));
    EXPECT_GT(m.SignedVolume(), 0.0f);
    const long long faces = static_cast<long long>(m.TriangleCount());
    const long long euler = static_cast<long long>(m.vertices.size()) - faces * 3 / 2 + faces;
    EXPECT_EQ(euler, 2 - 2 * 9);
    EXPECT_EQ(m.boundsMin.z, 0.0f);
    EXPECT_EQ(m.boundsMax.z, 25.0f);
    EXPECT_FLOAT_EQ(m.boundsMax.x - m.boundsMin.x, 60.0f);
    const SelfIntersectionCount c = CountSelfIntersections(m);
    EXPECT_EQ(c.intersectingPairs, 0u);
    EXPECT_EQ(c.foldedEdges, 0u);
}

}  // namespace
}  // namespace ridgeforge::test
