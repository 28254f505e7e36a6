// The edge table and the smooth regions of the vertex relief, on small meshes
// worked out by hand: the table in (key, side) order with the first two
// triangles of each edge, and regions numbered in the order of each piece's
// first triangle, with the one-way joins of an edge of three triangles.
#include <gtest/gtest.h>

#include <vector>

#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

TriangleMesh MakeMesh(const std::vector<Vec3f>& positions, const std::vector<std::uint32_t>& indices) {
    TriangleMesh mesh;
    for (const Vec3f& p : positions) {
        Vertex v;
        v.position = p;
        mesh.vertices.push_back(v);
    }
    mesh.indices = indices;
    return mesh;
}

void BuildRegions(DisplacementWork& work, const TriangleMesh& mesh) {
    work.mesh = &mesh;
    ComputeFaceNormals(work);
    work.vertexFaces = VertexFaceAdjacency(mesh);
    BuildEdgeTable(work);
    FloodSmoothRegions(work);
}

TEST(MeshDisplacementEdges, TableListsEdgesByKeyWithTheirFirstTwoTrianglesAndEachCornersEdge) {
    // Edge (0, 1) has three triangles; triangle 3 names vertex 4 twice.
    const TriangleMesh mesh =
        MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}, {2, 1, 0, 0, 1, 3, 1, 0, 4, 4, 4, 3});
    DisplacementWork work;
    work.mesh = &mesh;
    work.vertexFaces = VertexFaceAdjacency(mesh);
    BuildEdgeTable(work);
    struct Expected {
        std::uint32_t a, b;
        std::int32_t first, second;
    };
    const std::vector<Expected> expected = {{0, 1, 0, 1},  {0, 2, 0, -1}, {0, 3, 1, -1}, {0, 4, 2, -1}, {1, 2, 0, -1},
                                            {1, 3, 1, -1}, {1, 4, 2, -1}, {3, 4, 3, 3},  {4, 4, 3, -1}};
    ASSERT_EQ(work.edges.size(), expected.size());
    for (std::size_t e = 0; e < expected.size(); ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(work.edges[e].a, expected[e].a);
        EXPECT_EQ(work.edges[e].b, expected[e].b);
        EXPECT_EQ(work.edges[e].first, expected[e].first);
        EXPECT_EQ(work.edges[e].second, expected[e].second);
    }
    EXPECT_EQ(work.edgeOfCorner, (std::vector<std::uint32_t>{4, 0, 1, 0, 5, 2, 0, 3, 6, 8, 7, 7}));
    EXPECT_TRUE(work.edgesSharedByMore);
}

TEST(MeshDisplacementEdges, RegionsAreNumberedByTheirFirstTriangleAndAThirdTriangleOnAnEdgeJoinsOneWay) {
    // A flat square (triangles 1 and 3), a flat triangle (2) and a fold of
    // two triangles (0 and 4) standing at 90 degrees on its edge (5, 6).
    const TriangleMesh pieces = MakeMesh({{0, 0, 0},
                                          {1, 0, 0},
                                          {1, 1, 0},
                                          {0, 1, 0},
                                          {5, 0, 0},
                                          {6, 0, 0},
                                          {6, 1, 0},
                                          {5, 1, 0},
                                          {6, 0.5f, -1},
                                          {6, -0.5f, -1}},
                                         {8, 5, 9, 0, 1, 2, 4, 5, 6, 0, 2, 3, 6, 5, 8});
    DisplacementWork work;
    BuildRegions(work, pieces);
    EXPECT_FALSE(work.edgesSharedByMore);
    EXPECT_EQ(work.regionCount, 3u);
    EXPECT_EQ(work.regionOf, (std::vector<std::uint32_t>{0, 1, 2, 1, 0}));

    // Three fins on the edge (0, 1) at 0, 30 and 50 degrees (triangles 1, 2
    // and 3), all within 60 degrees of each other, and triangle 0 flat on the
    // 50-degree fin. The edge keeps triangles 1 and 2; across it the third
    // fin reaches the first, not the other way round. The fill from triangle
    // 0 goes through the third fin to the first and on to the second: one
    // region, where joining only the edge's two triangles would give two.
    const TriangleMesh fins = MakeMesh({{0, 0, 0},
                                        {1, 0, 0},
                                        {0.5f, 1, 0},
                                        {0.5f, 0.8660254f, 0.5f},
                                        {0.5f, 0.6427876f, 0.7660444f},
                                        {1.5f, 0.6427876f, 0.7660444f}},
                                       {4, 1, 5, 0, 1, 2, 0, 1, 3, 0, 1, 4});
    DisplacementWork finWork;
    BuildRegions(finWork, fins);
    EXPECT_TRUE(finWork.edgesSharedByMore);
    EXPECT_EQ(finWork.regionCount, 1u);
    EXPECT_EQ(finWork.regionOf, (std::vector<std::uint32_t>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace ridgeforge::mesh::relief_detail
