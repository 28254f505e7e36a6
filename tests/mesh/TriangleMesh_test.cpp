#include "mesh/TriangleMesh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::MakeBox;

TEST(TriangleMesh, DefaultMeshGivesNeutralResults) {
    TriangleMesh m;
    m.RecomputeBounds();
    EXPECT_FALSE(m.boundsValid);
    EXPECT_EQ(m.boundsMin, (Vec3f{0, 0, 0}));
    EXPECT_EQ(m.SurfaceArea(), 0.0f);
    EXPECT_EQ(m.SignedVolume(), 0.0f);
    EXPECT_EQ(MedianEdgeLength(m), 0.0f);
    EXPECT_EQ(CountBodies(m), 0u);
    const EdgeCounts e = EdgeStatistics(m);
    EXPECT_EQ(e.edges + e.openBoundaryEdges + e.manifoldEdges + e.nonManifoldEdges, 0u);
}

TEST(TriangleMesh, InvalidIndicesGiveNeutralResults) {
    TriangleMesh m = MakeBox({0, 0, 0}, {20, 20, 20});
    TriangleMesh bad = m;
    bad.indices[5] = static_cast<std::uint32_t>(bad.vertices.size());
    bad.RecomputeNormals();
    for (const Vertex& v : bad.vertices) EXPECT_EQ(v.normal, (Vec3f{0, 0, 0}));
    EXPECT_EQ(bad.SurfaceArea(), 0.0f);
    EXPECT_EQ(bad.SignedVolume(), 0.0f);
    EXPECT_EQ(CountBodies(bad), 0u);
    EXPECT_EQ(EdgeStatistics(bad).edges, 0u);
    EXPECT_EQ(bad.FaceNormal(1), (Vec3f{0, 0, 0}));
    EXPECT_EQ(bad.FaceNormal(0), m.FaceNormal(0));
    EXPECT_EQ(bad.FaceNormal(12), (Vec3f{0, 0, 0}));
    // Adjacency of a broken mesh: empty rows, nothing read out of range.
    const BodyList rows = SplitIntoBodies(bad);
    EXPECT_TRUE(rows.vertexTriangles.empty() && rows.vertexNeighbours.empty());
    EXPECT_EQ(rows.vertexTriangleOffsets, std::vector<std::uint32_t>(bad.vertices.size() + 1, 0));

    TriangleMesh four = m;
    four.indices.resize(4);
    EXPECT_FALSE(IsValidMesh(four));
    EXPECT_EQ(four.SurfaceArea(), 0.0f);
}

TEST(TriangleMesh, CubeAreaVolumeAndEdges) {
    TriangleMesh m = MakeBox({0, 0, 0}, {20, 20, 20});
    EXPECT_NEAR(m.SignedVolume(), 8000.0f, 1e-2f);
    EXPECT_NEAR(m.SurfaceArea(), 2400.0f, 1e-2f);
    const EdgeCounts e = EdgeStatistics(m);
    EXPECT_EQ(e.edges, 18u);
    EXPECT_EQ(e.openBoundaryEdges, 0u);
    EXPECT_EQ(e.nonManifoldEdges, 0u);
    for (std::size_t i = 0; i < m.indices.size(); i += 3) std::swap(m.indices[i + 1], m.indices[i + 2]);
    EXPECT_NEAR(m.SignedVolume(), -8000.0f, 1e-2f);
}

TEST(TriangleMesh, DegenerateTriangleAddsNothingToNormals) {
    TriangleMesh m;
    m.vertices.resize(3);
    m.vertices[1].position = {1, 0, 0};
    m.indices = {0, 1, 1};
    m.RecomputeNormals();
    EXPECT_EQ(m.FaceNormal(0), (Vec3f{0, 0, 0}));
    for (const Vertex& v : m.vertices) EXPECT_EQ(v.normal, (Vec3f{0, 0, 0}));
}

// Large meshes take the multi-threaded paths; their sums must still come out
// bit for bit as one thread adding the triangles in order would give them.
TEST(TriangleMesh, LargeMeshNormalsAndBoundsMatchTheSequentialOrder) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f);
    TriangleMesh m;
    m.vertices.resize(40000);
    for (Vertex& v : m.vertices) v.position = {coordinate(random), coordinate(random), coordinate(random)};
    m.vertices[17].position = {-0.0f, 0.0f, -0.0f};
    m.vertices[30000].position = {0.0f, -0.0f, 0.0f};
    std::uniform_int_distribution<std::uint32_t> corner(0, 39000);  // the last vertices stay unused
    for (int t = 0; t < 100000; ++t) {
        const std::uint32_t a = corner(random);
        // Some triangles repeat a corner: that vertex gets the normal twice.
        const std::uint32_t b = t % 97 == 0 ? a : corner(random);
        m.indices.insert(m.indices.end(), {a, b, corner(random)});
    }
    const auto sequential = [](const TriangleMesh& mesh) {
        std::vector<Vec3f> normals(mesh.vertices.size());
        for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
            const Vec3f& a = mesh.vertices[mesh.indices[i]].position;
            const Vec3f n =
                Cross(mesh.vertices[mesh.indices[i + 1]].position - a, mesh.vertices[mesh.indices[i + 2]].position - a);
            for (int k = 0; k < 3; ++k) normals[mesh.indices[i + k]] += n;
        }
        for (Vec3f& n : normals) n = Normalize(n);
        return normals;
    };
    const std::vector<Vec3f> expected = sequential(m);
    m.RecomputeNormals();
    ASSERT_EQ(m.vertices.size(), expected.size());
    std::size_t differing = 0;
    for (std::size_t v = 0; v < expected.size(); ++v) {
        differing += std::memcmp(&m.vertices[v].normal, &expected[v], sizeof(Vec3f)) != 0 ? 1 : 0;
    }
    EXPECT_EQ(differing, 0u);

    // Bounds: equal values keep the later one (-0 / +0), and a NaN anywhere
    // gives what the sequential fold gives.
    const auto foldBounds = [](const TriangleMesh& mesh, Vec3f& low, Vec3f& high) {
        low = high = mesh.vertices.front().position;
        for (const Vertex& v : mesh.vertices) {
            low = Min(low, v.position);
            high = Max(high, v.position);
        }
    };
    TriangleMesh flat = m;
    for (Vertex& v : flat.vertices) v.position.z = v.position.z > 0.0f ? 0.0f : -0.0f;
    const Vertex repeated = flat.vertices[5];
    flat.vertices.resize(300000, repeated);
    for (const float nan : {0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        if (nan != 0.0f) flat.vertices[123456].position.x = nan;
        Vec3f low, high;
        foldBounds(flat, low, high);
        flat.RecomputeBounds();
        EXPECT_TRUE(flat.boundsValid);
        EXPECT_EQ(std::memcmp(&flat.boundsMin, &low, sizeof(Vec3f)), 0);
        EXPECT_EQ(std::memcmp(&flat.boundsMax, &high, sizeof(Vec3f)), 0);
    }

    m.indices[200000] = static_cast<std::uint32_t>(m.vertices.size());
    EXPECT_FALSE(IsValidMesh(m));
    m.RecomputeNormals();
    for (const Vertex& v : m.vertices) ASSERT_EQ(v.normal, (Vec3f{0, 0, 0}));
}

TEST(TriangleMesh, BodiesCountSharedIndicesOnly) {
    TriangleMesh a = MakeBox({0, 0, 0}, {1, 1, 1});
    const TriangleMesh b = MakeBox({1, 0, 0}, {2, 1, 1});  // touches a, shares no index
    const auto offset = static_cast<std::uint32_t>(a.vertices.size());
    a.vertices.insert(a.vertices.end(), b.vertices.begin(), b.vertices.end());
    for (std::uint32_t i : b.indices) a.indices.push_back(i + offset);
    EXPECT_EQ(CountBodies(a), 2u);
    a.vertices.push_back(Vertex{});  // unused vertex
    EXPECT_EQ(CountBodies(a), 2u);
}

TEST(TriangleMesh, EdgeStatisticsOpenAndNonManifold) {
    TriangleMesh one;
    one.vertices.resize(5);
    one.indices = {0, 1, 2};
    EXPECT_EQ(EdgeStatistics(one).openBoundaryEdges, 3u);
    one.indices = {0, 1, 2, 1, 0, 3, 0, 1, 4};
    const EdgeCounts e = EdgeStatistics(one);
    EXPECT_EQ(e.nonManifoldEdges, 1u);
    EXPECT_EQ(e.edges, 7u);
}

TEST(TriangleMesh, MedianEdgeLengthSamplingAndUpperMiddle) {
    TriangleMesh m;
    m.vertices.resize(4);
    m.vertices[1].position = {1, 0, 0};
    m.vertices[2].position = {3, 0, 0};
    m.indices = {0, 1, 1};  // lengths 1 and 1 (edge 1-1 is zero and skipped)
    EXPECT_EQ(MedianEdgeLength(m), 1.0f);
    m.indices = {0, 1, 0, 0, 2, 0};  // lengths {1, 1, 3, 3}: upper middle
    EXPECT_EQ(MedianEdgeLength(m), 3.0f);

    // With 80,002 triangles every second one is taken: only the even ones are long.
    TriangleMesh big;
    big.vertices.resize(3);
    big.vertices[1].position = {1, 0, 0};
    big.vertices[2].position = {0, 5, 0};
    for (int t = 0; t < 80002; ++t) {
        if (t % 2 == 0)
            big.indices.insert(big.indices.end(), {0, 2, 0});
        else
            big.indices.insert(big.indices.end(), {0, 1, 0});
    }
    EXPECT_EQ(MedianEdgeLength(big), 5.0f);
}

TEST(TriangleMesh, SortedEdgeKeysAndAdjacency) {
    TriangleMesh m;
    m.vertices.resize(4);
    m.indices = {0, 1, 2};
    const auto keys = BuildSortedEdgeKeys(m);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0], (SortedEdge{(0ull << 32) | 1, 0}));
    EXPECT_EQ(keys[1], (SortedEdge{(0ull << 32) | 2, 0}));
    EXPECT_EQ(keys[2], (SortedEdge{(1ull << 32) | 2, 0}));

    m.indices = {0, 1, 2, 2, 1, 3};
    const BodyList b = SplitIntoBodies(m);
    EXPECT_EQ(b.vertexTriangleOffsets, (std::vector<std::uint32_t>{0, 1, 3, 5, 6}));
    EXPECT_EQ(b.vertexTriangles, (std::vector<std::uint32_t>{0, 0, 1, 0, 1, 1}));
    EXPECT_EQ(b.vertexNeighbourOffsets, (std::vector<std::uint32_t>{0, 2, 5, 8, 10}));
    EXPECT_EQ(b.vertexNeighbours, (std::vector<std::uint32_t>{1, 2, 0, 2, 3, 0, 1, 3, 1, 2}));
}
