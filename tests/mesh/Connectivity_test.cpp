#include "mesh/Connectivity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>

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

// Four triangles over five vertices; triangle 2 names vertex 3 twice.
TriangleMesh FourTriangles() {
    TriangleMesh m;
    for (int i = 0; i < 5; ++i) m.vertices.push_back({{static_cast<float>(i), static_cast<float>(i * i), 0}, {}});
    m.indices = {0, 1, 2, 2, 1, 3, 3, 4, 3, 1, 4, 0};
    return m;
}

// The rows as (larger end, sorted sides of that edge), which is all the
// table promises about the order of one edge's sides.
std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> EdgesOfRow(const VertexRows<EdgeSide>& rows,
                                                                             std::size_t v) {
    std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>> edges;
    for (std::uint32_t i = rows.offsets[v]; i < rows.offsets[v + 1]; ++i) {
        const EdgeSide& side = rows.entries[i];
        if (edges.empty() || edges.back().first != side.larger) edges.push_back({side.larger, {}});
        edges.back().second.push_back(side.side);
    }
    for (auto& edge : edges) std::sort(edge.second.begin(), edge.second.end());
    return edges;
}

using Edges = std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>>;

TEST(Connectivity, RowsOfAMeshKeepTriangleOrderAndRepeatedCorners) {
    const TriangleMesh m = FourTriangles();
    const TriangleCorners corners(m);
    const VertexRows<std::uint32_t> triangles = BuildVertexTriangles(corners);
    EXPECT_EQ(triangles.offsets, (std::vector<std::uint32_t>{0, 2, 5, 7, 10, 12}));
    EXPECT_EQ(triangles.entries, (std::vector<std::uint32_t>{0, 3, 0, 1, 3, 0, 1, 1, 2, 2, 2, 3}));

    const VertexRows<std::uint32_t> neighbours = BuildVertexNeighbours(corners, triangles);
    EXPECT_EQ(neighbours.offsets, (std::vector<std::uint32_t>{0, 3, 7, 10, 13, 16}));
    EXPECT_EQ(neighbours.entries, (std::vector<std::uint32_t>{1, 2, 4, 0, 2, 3, 4, 0, 1, 3, 1, 2, 4, 0, 1, 3}));

    // Side 3t + k runs from corner k to corner k + 1 of triangle t.
    const VertexRows<EdgeSide> sides = BuildEdgeSides(corners);
    EXPECT_EQ(sides.offsets, (std::vector<std::uint32_t>{0, 4, 8, 9, 12, 12}));
    EXPECT_EQ(EdgesOfRow(sides, 0), (Edges{{1, {0, 11}}, {2, {2}}, {4, {10}}}));
    EXPECT_EQ(EdgesOfRow(sides, 1), (Edges{{2, {1, 3}}, {3, {4}}, {4, {9}}}));
    EXPECT_EQ(EdgesOfRow(sides, 2), (Edges{{3, {5}}}));
    EXPECT_EQ(EdgesOfRow(sides, 3), (Edges{{3, {8}}, {4, {6, 7}}}));

    // SplitIntoBodies hands out the same rows.
    const BodyList bodies = SplitIntoBodies(m);
    EXPECT_EQ(bodies.vertexTriangleOffsets, triangles.offsets);
    EXPECT_EQ(bodies.vertexTriangles, triangles.entries);
    EXPECT_EQ(bodies.vertexNeighbourOffsets, neighbours.offsets);
    EXPECT_EQ(bodies.vertexNeighbours, neighbours.entries);
}

TEST(Connectivity, RowsOfAnEditingCopyLeaveOutDeadTrianglesAndCornersOutOfRange) {
    EditableMesh e(FourTriangles());
    e.triangleAlive[1] = 0;
    e.triangles.push_back({0, 9, 2});  // 9 is no vertex
    e.triangleAlive.push_back(1);
    const TriangleCorners corners(e.positions.size(), e.triangles, e.triangleAlive);
    const VertexRows<std::uint32_t> triangles = BuildVertexTriangles(corners);
    EXPECT_EQ(triangles.offsets, (std::vector<std::uint32_t>{0, 3, 5, 7, 9, 11}));
    EXPECT_EQ(triangles.entries, (std::vector<std::uint32_t>{0, 3, 4, 0, 3, 0, 4, 2, 2, 2, 3}));

    const VertexRows<std::uint32_t> neighbours = BuildVertexNeighbours(corners, triangles);
    EXPECT_EQ(neighbours.offsets, (std::vector<std::uint32_t>{0, 3, 6, 8, 9, 12}));
    EXPECT_EQ(neighbours.entries, (std::vector<std::uint32_t>{1, 2, 4, 0, 2, 4, 0, 1, 4, 0, 1, 3}));

    // Both sides of triangle 4 that touch vertex 9 are left out.
    const VertexRows<EdgeSide> sides = BuildEdgeSides(corners);
    EXPECT_EQ(sides.offsets, (std::vector<std::uint32_t>{0, 5, 7, 7, 10, 10}));
    EXPECT_EQ(EdgesOfRow(sides, 0), (Edges{{1, {0, 11}}, {2, {2, 14}}, {4, {10}}}));
    EXPECT_EQ(EdgesOfRow(sides, 1), (Edges{{2, {1}}, {4, {9}}}));
    EXPECT_EQ(EdgesOfRow(sides, 3), (Edges{{3, {8}}, {4, {6, 7}}}));

    // Refilling rows that held a larger table leaves nothing of it behind.
    VertexRows<std::uint32_t> reused = BuildVertexTriangles(TriangleCorners(FourTriangles()));
    reused.entries.resize(40, 7);
    BuildVertexTriangles(corners, reused);
    EXPECT_EQ(reused.offsets, triangles.offsets);
    EXPECT_EQ(reused.entries, triangles.entries);
}

// Large enough for the parallel blocks, with the triangles shuffled so that
// rows do not follow the vertex order; the rows are checked against ones
// gathered triangle by triangle into sets.
TEST(Connectivity, RowsOfALargeShuffledMeshMatchOnesGatheredOneByOne) {
    TriangleMesh m = test::MakeTorus(20.0f, 6.0f, 160, 90);
    std::vector<std::array<std::uint32_t, 3>> shuffled(m.TriangleCount());
    for (std::size_t t = 0; t < shuffled.size(); ++t) {
        shuffled[t] = {m.indices[3 * t], m.indices[3 * t + 1], m.indices[3 * t + 2]};
    }
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
    for (std::size_t t = 0; t < shuffled.size(); ++t) std::copy_n(shuffled[t].begin(), 3, &m.indices[3 * t]);
    const std::size_t n = m.vertices.size();
    std::vector<std::vector<std::uint32_t>> expectTriangles(n);
    std::vector<std::set<std::uint32_t>> expectNeighbours(n);
    std::vector<std::set<std::pair<std::uint32_t, std::uint32_t>>> expectSides(n);
    for (std::uint32_t t = 0; t < shuffled.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = shuffled[t][k], b = shuffled[t][(k + 1) % 3];
            expectTriangles[a].push_back(t);
            expectNeighbours[a].insert(b);
            expectNeighbours[b].insert(a);
            expectSides[std::min(a, b)].insert({std::max(a, b), 3 * t + k});
        }
    }
    const TriangleCorners corners(m);
    const VertexRows<std::uint32_t> triangles = BuildVertexTriangles(corners);
    const VertexRows<std::uint32_t> neighbours = BuildVertexNeighbours(corners, triangles);
    const VertexRows<EdgeSide> sides = BuildEdgeSides(corners);
    ASSERT_GT(triangles.entries.size(), std::size_t{1} << 16);
    for (std::size_t v = 0; v < n; ++v) {
        ASSERT_EQ(std::vector<std::uint32_t>(triangles.entries.begin() + triangles.offsets[v],
                                             triangles.entries.begin() + triangles.offsets[v + 1]),
                  expectTriangles[v])
            << v;
        ASSERT_EQ(std::vector<std::uint32_t>(neighbours.entries.begin() + neighbours.offsets[v],
                                             neighbours.entries.begin() + neighbours.offsets[v + 1]),
                  std::vector<std::uint32_t>(expectNeighbours[v].begin(), expectNeighbours[v].end()))
            << v;
        std::set<std::pair<std::uint32_t, std::uint32_t>> row;
        for (std::uint32_t i = sides.offsets[v]; i < sides.offsets[v + 1]; ++i) {
            if (i > sides.offsets[v]) {
                ASSERT_LE(sides.entries[i - 1].larger, sides.entries[i].larger) << v;
            }
            row.insert({sides.entries[i].larger, sides.entries[i].side});
        }
        ASSERT_EQ(row, expectSides[v]) << v;
    }
}

// Every side's (key, triangle), sorted as plain pairs: the table worked out
// the slow way.
std::vector<SortedEdge> EdgeTableOneByOne(const TriangleMesh& m) {
    std::vector<SortedEdge> table;
    for (std::size_t t = 0; t < m.indices.size() / 3; ++t) {
        for (int k = 0; k < 3; ++k) {
            table.push_back(
                {EdgeKey(m.indices[3 * t + k], m.indices[3 * t + (k + 1) % 3]), static_cast<std::uint32_t>(t)});
        }
    }
    std::sort(table.begin(), table.end());
    return table;
}

TEST(Connectivity, TheEdgeTableOfLargeMeshesIsEveryPairInOrder) {
    // Large enough for the rows by lower vertex, triangles shuffled so that a
    // row fills out of order, with a fan of 300 triangles round the
    // first vertex (a row longer than any a grid gives), a triangle that names one
    // corner twice and a trailing partial triangle the table leaves out.
    TriangleMesh m = test::MakeTorus(20.0f, 6.0f, 160, 90);
    std::vector<std::array<std::uint32_t, 3>> triangles(m.TriangleCount());
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        triangles[t] = {m.indices[3 * t], m.indices[3 * t + 1], m.indices[3 * t + 2]};
    }
    for (std::uint32_t f = 0; f < 300; ++f) triangles.push_back({f * 7 + 1, 0, f * 7 + 4});
    triangles.push_back({11, 12, 11});
    std::shuffle(triangles.begin(), triangles.end(), std::mt19937(5));
    m.indices.clear();
    for (const auto& t : triangles) m.indices.insert(m.indices.end(), t.begin(), t.end());
    ASSERT_GT(m.indices.size(), std::size_t{1} << 16);
    const std::vector<SortedEdge> expected = EdgeTableOneByOne(m);
    EXPECT_EQ(BuildSortedEdgeKeys(m), expected);

    m.indices.push_back(4);
    EXPECT_EQ(BuildSortedEdgeKeys(m), expected);

    // A corner past the vertex array (a broken file) is still listed.
    m.indices.pop_back();
    m.indices[3 * 1000 + 1] = 0xFFFFFFF0u;
    const std::vector<SortedEdge> broken = BuildSortedEdgeKeys(m);
    EXPECT_EQ(broken, EdgeTableOneByOne(m));
    EXPECT_EQ(std::count_if(broken.begin(), broken.end(),
                            [](const SortedEdge& e) { return (e.first & 0xFFFFFFFFu) == 0xFFFFFFF0u; }),
              2);
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

namespace ridgeforge::mesh {
namespace {

TEST(EdgeStatistics, CountsEachEdgeByItsUses) {
    // Edge 1-2 carries three triangles, 0-1 two; 5-6 is used once by (5, 6, 7)
    // and twice by the collapsed (5, 5, 6), whose side 5-5 is an edge of its own.
    TriangleMesh m;
    m.vertices.resize(9);
    m.indices = {0, 1, 2, 2, 1, 3, 1, 2, 4, 5, 6, 7, 5, 5, 6, 1, 0, 8};
    const EdgeCounts c = EdgeStatistics(m);
    EXPECT_EQ(c.edges, 13u);
    EXPECT_EQ(c.openBoundaryEdges, 10u);
    EXPECT_EQ(c.manifoldEdges, 1u);
    EXPECT_EQ(c.nonManifoldEdges, 2u);
    // A corner out of range: nothing is counted.
    m.indices.back() = 9;
    const EdgeCounts broken = EdgeStatistics(m);
    EXPECT_EQ(broken.edges, 0u);
    // No triangles, with and without vertices: no edges.
    EXPECT_EQ(EdgeStatistics(TriangleMesh{}).edges, 0u);
    m.indices.clear();
    EXPECT_EQ(EdgeStatistics(m).edges, 0u);

    // A closed torus large enough to be counted in parallel blocks: 1.5 edges
    // a triangle, every one shared by two; one triangle less opens three.
    TriangleMesh torus = test::MakeTorus(20.0f, 5.0f, 200, 120);
    ASSERT_EQ(torus.TriangleCount(), 48000u);
    const EdgeCounts closed = EdgeStatistics(torus);
    EXPECT_EQ(closed.edges, 72000u);
    EXPECT_EQ(closed.manifoldEdges, 72000u);
    EXPECT_EQ(closed.openBoundaryEdges + closed.nonManifoldEdges, 0u);
    torus.indices.resize(torus.indices.size() - 3);
    const EdgeCounts open = EdgeStatistics(torus);
    EXPECT_EQ(open.edges, 72000u);
    EXPECT_EQ(open.openBoundaryEdges, 3u);
    EXPECT_EQ(open.manifoldEdges, 71997u);
}

}  // namespace
}  // namespace ridgeforge::mesh
