#include "mesh/EditableMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;

namespace {

TriangleMesh MeshOf(std::vector<Vec3f> points, std::vector<std::uint32_t> indices) {
    TriangleMesh m;
    for (const Vec3f& p : points) m.vertices.push_back({p, {}});
    m.indices = std::move(indices);
    return m;
}

}  // namespace

TEST(EditableMesh, EdgesRingsAndNonManifoldCounts) {
    EditableMesh one(MeshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}));
    one.RebuildVertexFaces();
    const auto edges = one.CollectEdges();
    ASSERT_EQ(edges.size(), 3u);
    EXPECT_EQ(edges[0].key, EdgeKey(0, 1));
    EXPECT_EQ(edges[1].key, EdgeKey(0, 2));
    EXPECT_EQ(edges[2].key, EdgeKey(1, 2));
    for (const EditableEdge& e : edges) {
        EXPECT_EQ(e.firstTriangle, 0u);
        EXPECT_EQ(e.secondTriangle, kEditableNone);
        EXPECT_EQ(e.extraTriangles, 0u);
    }
    std::vector<std::uint32_t> ring;
    one.OneRing(1, ring);
    EXPECT_EQ(ring, (std::vector<std::uint32_t>{0, 2}));
    // A vertex beyond the incidence lists has no triangles.
    one.OneRing(7, ring);
    EXPECT_TRUE(ring.empty());

    // Three triangles on the edge 0-1: one beyond the usual two.
    EditableMesh fan(MeshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}}, {0, 1, 2, 1, 0, 3, 0, 1, 4}));
    fan.RebuildVertexFaces();
    const auto fanEdges = fan.CollectEdges();
    ASSERT_EQ(fanEdges.front().key, EdgeKey(0, 1));
    EXPECT_EQ(fanEdges.front().extraTriangles, 1u);
    EXPECT_NE(fanEdges.front().secondTriangle, kEditableNone);
    std::vector<std::uint32_t> shared;
    fan.EdgeTriangles(0, 1, shared);
    EXPECT_EQ(shared, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_TRUE(fan.HasEdgeTriangleCount(1, 0, shared));
    shared.pop_back();
    EXPECT_FALSE(fan.HasEdgeTriangleCount(1, 0, shared));
}

TEST(EditableMesh, DeadElementsAndAddedListsAfterEdits) {
    // Two triangles sharing 0-2; the second dies, then a rewrite adds a
    // triangle to vertex 3 through its added list.
    EditableMesh m(MeshOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 1, 2, 0, 2, 3}));
    m.RebuildVertexFaces();
    m.triangleAlive[1] = 0;
    std::vector<std::uint32_t> ring;
    m.OneRing(0, ring);
    EXPECT_EQ(ring, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(m.CollectEdges().size(), 3u);

    m.triangles[0] = {3, 1, 2};
    m.addedFaces[3].push_back(0);
    m.OneRing(3, ring);
    EXPECT_EQ(ring, (std::vector<std::uint32_t>{1, 2}));
    // Vertex 0 keeps its stale entry until the rebuild; the listing does not check it.
    m.OneRing(0, ring);
    EXPECT_EQ(ring, (std::vector<std::uint32_t>{1, 2, 3}));
    m.RebuildVertexFaces();
    m.OneRing(0, ring);
    EXPECT_TRUE(ring.empty());
    EXPECT_TRUE(m.addedFaces[3].empty());

    m.vertexAlive[0] = 0;
    const TriangleMesh out = m.ToTriangleMesh();
    ASSERT_EQ(out.vertices.size(), 3u);
    EXPECT_EQ(out.indices, (std::vector<std::uint32_t>{2, 0, 1}));
    EXPECT_EQ(out.vertices[2].position, (Vec3f{0, 1, 0}));
    EXPECT_NEAR(out.vertices[0].normal.z, 1.0f, 1e-6f);
}

TEST(EditableMesh, ToTriangleMeshDropsBrokenTrianglesAndKeepsLiveVertices) {
    // Triangle 1 repeats a corner, triangle 2 uses the dead vertex 4; vertex 5
    // is unused but alive and must stay.
    EditableMesh m(
        MeshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 2, 2}, {3, 3, 3}}, {0, 1, 2, 1, 1, 3, 1, 3, 4}));
    m.vertexAlive[4] = 0;
    const TriangleMesh out = m.ToTriangleMesh();
    EXPECT_EQ(out.vertices.size(), 5u);
    EXPECT_EQ(out.indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(out.vertices[4].position, (Vec3f{3, 3, 3}));
    EXPECT_TRUE(out.boundsValid);
    EXPECT_EQ(out.boundsMax, (Vec3f{3, 3, 3}));

    EditableMesh empty{TriangleMesh{}};
    empty.RebuildVertexFaces();
    EXPECT_TRUE(empty.CollectEdges().empty());
    const TriangleMesh none = empty.ToTriangleMesh();
    EXPECT_TRUE(none.vertices.empty());
    EXPECT_FALSE(none.boundsValid);
}

TEST(EditableMesh, TheEdgesOfALargeMeshAreThePlainTableInEveryBlockOfVertices) {
    // 24,000 vertices (six blocks of 4,096), the triangles shuffled; one
    // triangle is dead, and a fin adds a third triangle to an edge in the
    // first block and one in the last.
    TriangleMesh torus = ridgeforge::test::MakeTorus(20.0f, 5.0f, 200, 120);
    std::vector<std::array<std::uint32_t, 3>> shuffled(torus.TriangleCount());
    for (std::size_t t = 0; t < shuffled.size(); ++t)
        shuffled[t] = {torus.indices[3 * t], torus.indices[3 * t + 1], torus.indices[3 * t + 2]};
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(9));
    shuffled.push_back({3, 4, 23000});
    shuffled.push_back({23998, 23999, 10});
    torus.indices.clear();
    for (const auto& t : shuffled) torus.indices.insert(torus.indices.end(), t.begin(), t.end());
    EditableMesh m(torus);
    m.triangleAlive[777] = 0;
    m.RebuildVertexFaces();

    struct Plain {
        std::uint32_t first = kEditableNone, second = kEditableNone, extra = 0;
    };
    std::map<std::uint64_t, Plain> plain;
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
        if (!m.triangleAlive[t]) continue;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = m.triangles[t][k], b = m.triangles[t][(k + 1) % 3];
            Plain& p = plain[EdgeKey(a, b)];
            if (p.first == kEditableNone) {
                p.first = t;
            } else if (p.second == kEditableNone) {
                p.second = t;
            } else {
                ++p.extra;
            }
        }
    }
    const std::vector<EditableEdge> edges = m.CollectEdges();
    ASSERT_EQ(edges.size(), plain.size());
    std::size_t wrong = 0, i = 0;
    for (const auto& [key, p] : plain) {
        const EditableEdge& e = edges[i++];
        wrong += e.key != key || e.firstTriangle != p.first || e.secondTriangle != p.second || e.extraTriangles != p.extra;
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(plain[EdgeKey(3, 4)].extra, 1u);
    EXPECT_EQ(plain[EdgeKey(23998, 23999)].extra, 1u);
}
