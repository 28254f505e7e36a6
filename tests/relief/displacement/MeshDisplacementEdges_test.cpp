// The edge table and the smooth regions of the vertex relief, on small meshes
// worked out by hand: the table in (key, side) order with the first two
// triangles of each edge, and regions numbered in the order of each piece's
// first triangle, with the one-way joins of an edge of three triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
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

namespace ridgeforge::mesh::relief_detail {
namespace {

// A grid of `columns` x `rows` vertices folded into ridges along x: strips of
// four, five and six columns alternate steeply up and down, so neighbouring
// strips meet at well over 60 degrees, and every tenth row is raised so the
// fold lines also run across. Vertices and triangles are shuffled (so that
// neighbours land far apart in the numbering and every chunk's edges reach
// into others) and each triangle starts at a shuffled corner.
TriangleMesh RidgedGrid(std::uint32_t columns, std::uint32_t rows, std::uint64_t seed) {
    std::vector<std::uint32_t> number(std::size_t{columns} * rows);
    std::iota(number.begin(), number.end(), 0u);
    std::mt19937_64 random(seed);
    std::shuffle(number.begin(), number.end(), random);
    TriangleMesh mesh;
    mesh.vertices.resize(number.size());
    float z = 0.0f;
    float slope = 2.0f;
    std::uint32_t strip = 0, left = 4;
    for (std::uint32_t i = 0; i < columns; ++i) {
        if (left-- == 0) {
            slope = -slope;
            left = 3 + ++strip % 3;
        }
        for (std::uint32_t j = 0; j < rows; ++j) {
            const float lift = j % 10 == 0 ? 3.0f : 0.0f;
            mesh.vertices[number[std::size_t{i} * rows + j]].position = {static_cast<float>(i),
                                                                        static_cast<float>(j), z + lift};
        }
        z += slope;
    }
    std::vector<std::array<std::uint32_t, 3>> triangles;
    for (std::uint32_t i = 0; i + 1 < columns; ++i) {
        for (std::uint32_t j = 0; j + 1 < rows; ++j) {
            const std::uint32_t a = number[std::size_t{i} * rows + j], b = number[std::size_t{i + 1} * rows + j];
            const std::uint32_t c = number[std::size_t{i + 1} * rows + j + 1], d = number[std::size_t{i} * rows + j + 1];
            triangles.push_back({a, b, c});
            triangles.push_back({a, c, d});
        }
    }
    std::shuffle(triangles.begin(), triangles.end(), random);
    for (const std::array<std::uint32_t, 3>& t : triangles) {
        const std::uint64_t turn = random() % 3;
        for (std::uint64_t k = 0; k < 3; ++k) mesh.indices.push_back(t[(k + turn) % 3]);
    }
    return mesh;
}

// The table by its definition: every triangle side keyed by (smaller end,
// larger end, slot), one plain sort, runs of one key made into edges.
struct PlainTable {
    std::vector<MeshEdge> edges;
    std::vector<std::uint32_t> edgeOfCorner;
    bool sharedByMore = false;
};

PlainTable SortedTable(const TriangleMesh& mesh) {
    std::vector<std::array<std::uint32_t, 3>> sides;
    for (std::uint32_t slot = 0; slot < mesh.indices.size(); ++slot) {
        const std::uint32_t i = mesh.indices[slot], j = mesh.indices[slot - slot % 3 + (slot + 1) % 3];
        sides.push_back({std::min(i, j), std::max(i, j), slot});
    }
    std::sort(sides.begin(), sides.end());
    PlainTable table;
    table.edgeOfCorner.assign(mesh.indices.size(), 0);
    for (std::size_t s = 0; s < sides.size(); ++s) {
        const bool opens = s == 0 || sides[s][0] != sides[s - 1][0] || sides[s][1] != sides[s - 1][1];
        if (opens) {
            MeshEdge edge;
            edge.a = sides[s][0];
            edge.b = sides[s][1];
            edge.first = static_cast<std::int32_t>(sides[s][2] / 3);
            table.edges.push_back(edge);
        } else if (table.edges.back().second < 0) {
            table.edges.back().second = static_cast<std::int32_t>(sides[s][2] / 3);
        } else {
            table.sharedByMore = true;
        }
        table.edgeOfCorner[sides[s][2]] = static_cast<std::uint32_t>(table.edges.size() - 1);
    }
    return table;
}

// The serial fill over the plain table: pieces numbered in the order of
// their first triangle, joined across an edge's first two triangles when
// their normals are within 60 degrees; a third triangle on an edge reaches
// the edge's first.
std::vector<std::uint32_t> PlainRegions(const TriangleMesh& mesh, const PlainTable& table) {
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<Vec3f> normal(triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        const Vec3f a = mesh.vertices[mesh.indices[3 * t]].position;
        const Vec3f b = mesh.vertices[mesh.indices[3 * t + 1]].position;
        const Vec3f c = mesh.vertices[mesh.indices[3 * t + 2]].position;
        normal[t] = Normalize(Cross(b - a, c - a));
    }
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::vector<std::uint32_t> region(triangles, kNone);
    std::uint32_t count = 0;
    for (std::size_t start = 0; start < triangles; ++start) {
        if (region[start] != kNone) continue;
        std::vector<std::size_t> stack{start};
        region[start] = count;
        while (!stack.empty()) {
            const std::size_t t = stack.back();
            stack.pop_back();
            for (std::size_t k = 0; k < 3; ++k) {
                const MeshEdge& e = table.edges[table.edgeOfCorner[3 * t + k]];
                const std::int32_t other = e.first == static_cast<std::int32_t>(t) ? e.second : e.first;
                if (other < 0 || region[static_cast<std::size_t>(other)] != kNone) continue;
                if (Dot(normal[t], normal[static_cast<std::size_t>(other)]) < 0.5f) continue;
                region[static_cast<std::size_t>(other)] = count;
                stack.push_back(static_cast<std::size_t>(other));
            }
        }
        ++count;
    }
    return region;
}

void ExpectSameTable(const DisplacementWork& work, const PlainTable& plain) {
    ASSERT_EQ(work.edges.size(), plain.edges.size());
    std::size_t wrong = 0;
    for (std::size_t e = 0; e < plain.edges.size(); ++e) {
        const MeshEdge& got = work.edges[e];
        const MeshEdge& want = plain.edges[e];
        if (got.a != want.a || got.b != want.b || got.first != want.first || got.second != want.second) {
            if (wrong++ == 0) ADD_FAILURE() << "first wrong edge " << e << " of " << plain.edges.size();
        }
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_TRUE(work.edgeOfCorner == plain.edgeOfCorner);
    EXPECT_EQ(work.edgesSharedByMore, plain.sharedByMore);
}

TEST(MeshDisplacementEdges, SeveralChunksOfVerticesAndTrianglesGiveThePlainTableAndTheSerialRegions) {
    // 24,000 vertices (three chunks of vertices), about 47,000 triangles and
    // 71,000 edges (several chunks of each).
    TriangleMesh mesh = RidgedGrid(200, 120, 7);
    ASSERT_GT(mesh.vertices.size(), 2 * 8192u);
    // A loose square after everything else: a piece whose first triangle
    // lies in the last chunk.
    const auto loose = static_cast<std::uint32_t>(mesh.vertices.size());
    for (const Vec3f p : {Vec3f{500, 0, 0}, Vec3f{501, 0, 0}, Vec3f{501, 1, 0}, Vec3f{500, 1, 0}}) {
        Vertex v;
        v.position = p;
        mesh.vertices.push_back(v);
    }
    mesh.indices.insert(mesh.indices.end(), {loose, loose + 1, loose + 2, loose, loose + 2, loose + 3});
    DisplacementWork work;
    BuildRegions(work, mesh);
    const PlainTable plain = SortedTable(mesh);
    ASSERT_FALSE(plain.sharedByMore);
    ExpectSameTable(work, plain);

    // The vertex rows the table is gathered from: each vertex's faces in
    // ascending order, one entry per corner.
    std::vector<std::vector<std::uint32_t>> rows(mesh.vertices.size());
    for (std::uint32_t slot = 0; slot < mesh.indices.size(); ++slot) rows[mesh.indices[slot]].push_back(slot / 3);
    std::size_t wrongRows = 0;
    for (std::size_t v = 0; v < rows.size(); ++v) {
        const std::vector<std::uint32_t> got(work.vertexFaces.faces.begin() + work.vertexFaces.offsets[v],
                                             work.vertexFaces.faces.begin() + work.vertexFaces.offsets[v + 1]);
        wrongRows += got != rows[v];
    }
    EXPECT_EQ(wrongRows, 0u);

    const std::vector<std::uint32_t> regions = PlainRegions(mesh, plain);
    const std::uint32_t regionCount = *std::max_element(regions.begin(), regions.end()) + 1;
    // 39 strips of ridges, each cut by 11 raised rows into 12 bands.
    EXPECT_GT(regionCount, 100u);
    EXPECT_EQ(work.regionCount, regionCount);
    EXPECT_TRUE(work.regionOf == regions);
    EXPECT_EQ(work.regionOf.back(), regionCount - 1);
}

TEST(MeshDisplacementEdges, AnEdgeOfThreeTrianglesInTheFirstOrTheLastChunkIsSeen) {
    for (const bool inLastChunk : {false, true}) {
        SCOPED_TRACE(inLastChunk);
        TriangleMesh mesh = RidgedGrid(200, 120, 11);
        // A fin standing straight up on one grid edge whose smaller end lies
        // in the first or the last chunk of vertices.
        const std::uint32_t lastChunk = static_cast<std::uint32_t>(mesh.vertices.size() - 1) / 8192 * 8192;
        std::uint32_t a = 0, b = 0;
        for (std::size_t slot = 0; slot < mesh.indices.size(); ++slot) {
            const std::uint32_t i = mesh.indices[slot], j = mesh.indices[slot - slot % 3 + (slot + 1) % 3];
            const std::uint32_t low = std::min(i, j);
            if (inLastChunk ? low >= lastChunk : low < 8192) {
                a = i;
                b = j;
                break;
            }
        }
        ASSERT_NE(a, b);
        Vertex top;
        top.position = (mesh.vertices[a].position + mesh.vertices[b].position) * 0.5f + Vec3f{0, 0, 5};
        mesh.vertices.push_back(top);
        mesh.indices.insert(mesh.indices.end(), {a, b, static_cast<std::uint32_t>(mesh.vertices.size() - 1)});

        DisplacementWork work;
        BuildRegions(work, mesh);
        const PlainTable plain = SortedTable(mesh);
        ASSERT_TRUE(plain.sharedByMore);
        ExpectSameTable(work, plain);
        const std::vector<std::uint32_t> regions = PlainRegions(mesh, plain);
        EXPECT_EQ(work.regionCount, *std::max_element(regions.begin(), regions.end()) + 1);
        EXPECT_TRUE(work.regionOf == regions);
    }
}

}  // namespace
}  // namespace ridgeforge::mesh::relief_detail
