#include "mesh/Connectivity.h"

#include <gtest/gtest.h>

#include "mesh/Crumbs.h"
#include "mesh/EditableMesh.h"
#include "testing/Shapes.h"

namespace ridgeforge::mesh {
namespace {

// Two unit boxes that share only the corner (1, 1, 1), listed second box first
// so that piece numbers follow the triangle order, not the vertex order.
TriangleMesh CornerToCorner() {
    const TriangleMesh a = test::MakeBox({1, 1, 1}, {2, 2, 2});
    const TriangleMesh b = test::MakeBox({0, 0, 0}, {1, 1, 1});
    TriangleMesh m = a;
    // b's corner 7 is (1, 1, 1), a's corner 0.
    std::uint32_t map[8];
    for (std::uint32_t i = 0; i < 8; ++i) {
        if (i == 7) {
            map[i] = 0;
            continue;
        }
        map[i] = static_cast<std::uint32_t>(m.vertices.size());
        m.vertices.push_back(b.vertices[i]);
    }
    for (const std::uint32_t i : b.indices) m.indices.push_back(map[i]);
    m.RecomputeBounds();
    return m;
}

TEST(Connectivity, UnionFindHangsTheSecondRootUnderTheFirst) {
    UnionFind sets(5);
    EXPECT_TRUE(sets.Join(3, 1));
    EXPECT_EQ(sets.Find(1), 3u);
    EXPECT_TRUE(sets.Join(0, 1));  // 1's root 3 goes under 0
    EXPECT_EQ(sets.Find(3), 0u);
    EXPECT_FALSE(sets.Join(1, 3));
    EXPECT_EQ(sets.Find(4), 4u);
    const std::uint32_t corners[3] = {4, 2, 1};
    sets.JoinTriangle(corners);
    EXPECT_EQ(sets.Find(0), 4u);
    EXPECT_EQ(sets.Find(2), 4u);
}

TEST(Connectivity, TheJoiningRuleDecidesWhetherACornerJoins) {
    const TriangleMesh m = CornerToCorner();
    ASSERT_TRUE(IsValidMesh(m));
    const Components byVertex = FindComponents(m, JoinThrough::SharedVertices);
    EXPECT_EQ(byVertex.Count(), 1u);
    EXPECT_EQ(CountBodies(m), 1u);

    const Components byEdge = FindComponents(m, JoinThrough::SharedEdges);
    ASSERT_EQ(byEdge.Count(), 2u);
    ASSERT_EQ(byEdge.ofTriangle.size(), 24u);
    for (std::size_t t = 0; t < 24; ++t) EXPECT_EQ(byEdge.ofTriangle[t], t < 12 ? 0u : 1u) << t;
    // Roots are triangles of their own piece.
    EXPECT_LT(byEdge.root[0], 12u);
    EXPECT_GE(byEdge.root[1], 12u);

    // Crumb removal joins through edges: the two boxes stay two bodies, and a
    // body of 12 triangles is not small next to another of 12.
    TriangleMesh copy = m;
    EXPECT_EQ(RemoveCrumbs(copy, 1, nullptr, 0.0f, nullptr), 0u);
    EXPECT_EQ(copy.indices, m.indices);
}

TEST(Connectivity, BrokenOrEmptyMeshesHaveNoPieces) {
    TriangleMesh broken = test::MakeBox({0, 0, 0}, {1, 1, 1});
    broken.indices.back() = 99;
    EXPECT_EQ(FindComponents(broken, JoinThrough::SharedVertices).Count(), 0u);
    EXPECT_EQ(FindComponents(broken, JoinThrough::SharedEdges).Count(), 0u);
    EXPECT_EQ(FindComponents(TriangleMesh{}, JoinThrough::SharedEdges).Count(), 0u);
    EXPECT_EQ(CountBodies(broken), 0u);
}

TEST(Connectivity, CollapseVertexHandsTrianglesToTheKeptVertex) {
    // A fan of four triangles around vertex 4 in the middle of a square.
    TriangleMesh square;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{1, 1, 0}, Vec3f{0, 1, 0}, Vec3f{0.5f, 0.5f, 0}}) {
        square.vertices.push_back({p, {}});
    }
    square.indices = {0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4};
    EditableMesh e(square);
    e.RebuildVertexFaces();
    e.CollapseVertex(4, 1);
    EXPECT_FALSE(e.vertexAlive[4]);
    // The two triangles on edge 1-4 die; the other two now end at vertex 1.
    EXPECT_EQ(e.triangleAlive, (std::vector<std::uint8_t>{0, 0, 1, 1}));
    EXPECT_EQ(e.triangles[2], (EditableMesh::Triangle{2, 3, 1}));
    EXPECT_EQ(e.triangles[3], (EditableMesh::Triangle{3, 0, 1}));
    EXPECT_EQ(e.addedFaces[1], (std::vector<std::uint32_t>{2, 3}));
    std::vector<std::uint32_t> ring;
    e.OneRing(1, ring);
    EXPECT_EQ(ring, (std::vector<std::uint32_t>{0, 2, 3}));
    EXPECT_EQ(e.ToTriangleMesh().TriangleCount(), 2u);
}

}  // namespace
}  // namespace ridgeforge::mesh
