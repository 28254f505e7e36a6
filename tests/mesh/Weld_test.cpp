#include "mesh/Weld.h"

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;

namespace {

// Every triangle of the mesh with its own three corners.
TriangleMesh Soup(const TriangleMesh& mesh) {
    TriangleMesh soup;
    for (std::uint32_t i : mesh.indices) {
        soup.indices.push_back(static_cast<std::uint32_t>(soup.vertices.size()));
        soup.vertices.push_back(mesh.vertices[i]);
    }
    return soup;
}

TriangleMesh Points(std::initializer_list<Vec3f> positions) {
    TriangleMesh m;
    for (const Vec3f& p : positions) m.vertices.push_back({p, {}});
    return m;
}

}  // namespace

TEST(Weld, ExactWeldOfCubeSoupAndBitPatterns) {
    TriangleMesh soup = Soup(ridgeforge::test::MakeBox({0, 0, 0}, {20, 20, 20}));
    ASSERT_EQ(soup.vertices.size(), 36u);
    EXPECT_EQ(WeldExactVertices(soup), 28u);
    EXPECT_EQ(soup.vertices.size(), 8u);
    EXPECT_TRUE(IsValidMesh(soup));
    EXPECT_EQ(EdgeStatistics(soup).openBoundaryEdges, 0u);
    EXPECT_NEAR(soup.SignedVolume(), 8000.0f, 1e-2f);

    // -0 and +0 are one position; a one-bit difference is not.
    TriangleMesh zeros = Points({{0, 0, 0}, {-0.0f, 0, 0}, {std::nextafter(1.0f, 2.0f), 0, 0}, {1, 0, 0}});
    zeros.vertices[0].normal = {1, 0, 0};
    zeros.indices = {0, 1, 2, 1, 3, 2};
    EXPECT_EQ(WeldExactVertices(zeros), 1u);
    EXPECT_EQ(zeros.indices, (std::vector<std::uint32_t>{0, 0, 1, 0, 2, 1}));
    EXPECT_EQ(zeros.vertices[0].normal, (Vec3f{1, 0, 0}));  // the first keeps its normal
}

TEST(Weld, ToleranceWeldMeasuresToTheKeptVertex) {
    TriangleMesh chain = Points({{0, 0, 0}, {0.08f, 0, 0}, {0.16f, 0, 0}});
    chain.indices = {0, 1, 2};
    EXPECT_EQ(WeldVerticesWithinTolerance(chain, 0.1f), 1u);
    EXPECT_EQ(chain.indices, (std::vector<std::uint32_t>{0, 0, 1}));

    // Exactly the tolerance apart merges; across a cell boundary too.
    TriangleMesh exact = Points({{0, 0, 0}, {0.5f, 0, 0}, {0.75f, 0, 0}});
    exact.indices = {0, 1, 2};
    EXPECT_EQ(WeldVerticesWithinTolerance(exact, 0.25f), 1u);
    TriangleMesh across = Points({{0.99f, 0, 0}, {1.01f, 0, 0}, {5, 5, 5}});
    across.indices = {0, 1, 2};
    EXPECT_EQ(WeldVerticesWithinTolerance(across, 0.1f), 1u);
    EXPECT_EQ(across.vertices[0].position.x, 0.99f);

    // Negative coordinates fall in their own cells (floor, not truncation).
    TriangleMesh negative = Points({{-0.01f, -0.01f, 0}, {0.01f, 0.01f, 0}, {3, 3, 3}});
    negative.indices = {0, 1, 2};
    EXPECT_EQ(WeldVerticesWithinTolerance(negative, 0.05f), 1u);

    // The later vertex lies below the kept one, in the cell beneath it, along
    // each axis in turn: it still merges into the earlier vertex.
    TriangleMesh lower =
        Points({{1.01f, 0, 0}, {0.99f, 0, 0}, {10, 3.01f, 0}, {10, 2.99f, 0}, {20, 0, 5.01f}, {20, 0, 4.99f}});
    lower.indices = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(WeldVerticesWithinTolerance(lower, 0.1f), 3u);
    EXPECT_EQ(lower.indices, (std::vector<std::uint32_t>{0, 0, 1, 1, 2, 2}));
    ASSERT_EQ(lower.vertices.size(), 3u);
    EXPECT_EQ(lower.vertices[0].position, (Vec3f{1.01f, 0, 0}));
    EXPECT_EQ(lower.vertices[1].position, (Vec3f{10, 3.01f, 0}));
    EXPECT_EQ(lower.vertices[2].position, (Vec3f{20, 0, 5.01f}));
}

TEST(Weld, BadToleranceOrCoordinatesChangeNothingUnsafe) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TriangleMesh m = Points({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}});
    m.indices = {0, 1, 2};
    const TriangleMesh before = m;
    for (const float t : {0.0f, -1.0f, inf, nan}) {
        EXPECT_EQ(WeldVerticesWithinTolerance(m, t), 0u) << t;
        EXPECT_EQ(m.indices, before.indices);
        EXPECT_EQ(m.vertices.size(), 3u);
    }

    // Coordinates that are not finite, or so large that the cell number would
    // not fit 64 bits, weld without undefined arithmetic; the others still merge.
    TriangleMesh wild = Points(
        {{nan, 0, 0}, {inf, 0, 0}, {-inf, 1, 1}, {3e38f, 0, 0}, {3e38f, 0, 0}, {0, 0, 0}, {1e-9f, 0, 0}, {nan, 0, 0}});
    wild.indices = {0, 1, 2, 3, 4, 5, 5, 6, 7};
    EXPECT_EQ(WeldVerticesWithinTolerance(wild, 1e-6f), 2u);
    EXPECT_EQ(wild.vertices.size(), 6u);
    EXPECT_TRUE(IsValidMesh(wild));

    // A broken mesh is left alone by both welds.
    TriangleMesh broken = Points({{0, 0, 0}, {0, 0, 0}});
    broken.indices = {0, 1, 2};
    EXPECT_EQ(WeldExactVertices(broken), 0u);
    EXPECT_EQ(WeldVerticesWithinTolerance(broken, 1.0f), 0u);
    EXPECT_EQ(broken.vertices.size(), 2u);
}

TEST(Weld, LargeSoupWeldsInVertexOrder) {
    // Big enough that the table is filled by many threads at once: the result
    // must still be the first vertex of each position, numbered in order.
    std::mt19937 random(5);
    TriangleMesh soup;
    for (int i = 0; i < 200000; ++i) {
        const Vec3f p{static_cast<float>(random() % 40), static_cast<float>(random() % 40), -0.0f};
        soup.vertices.push_back({p, {static_cast<float>(i), 0, 0}});
        soup.indices.push_back(static_cast<std::uint32_t>(i));
    }
    soup.indices.resize(199998);
    std::map<std::pair<float, float>, std::uint32_t> firstOf;
    std::vector<std::uint32_t> expected;
    for (const Vertex& v : soup.vertices) {
        const auto [it, fresh] = firstOf.try_emplace({v.position.x, v.position.y}, firstOf.size());
        expected.push_back(it->second);
    }
    const TriangleMesh before = soup;
    EXPECT_EQ(WeldExactVertices(soup), 200000u - firstOf.size());
    ASSERT_EQ(soup.vertices.size(), firstOf.size());
    for (std::size_t i = 0; i < soup.indices.size(); ++i) ASSERT_EQ(soup.indices[i], expected[i]);
    for (const Vertex& v : soup.vertices) {
        const auto first = static_cast<std::size_t>(v.normal.x);  // the survivor is the first of its position
        ASSERT_EQ(before.vertices[first].position, v.position);
        ASSERT_EQ(expected[first], &v - soup.vertices.data());
    }
}

TEST(Weld, AutomaticToleranceFollowsTheLargestCoordinate) {
    EXPECT_EQ(AutomaticWeldTolerance(TriangleMesh{}), 0.0f);
    // The negative corner is the largest in size; stale stored bounds are not read.
    TriangleMesh far = Points({{1, 2, 3}, {-2500, 4, 0}, {10, 7, 30}});
    far.boundsValid = true;
    EXPECT_FLOAT_EQ(AutomaticWeldTolerance(far), 2.5e-3f);
    EXPECT_FLOAT_EQ(AutomaticWeldTolerance(Points({{0.5f, -0.25f, 0.1f}})), 1e-6f);
    EXPECT_FLOAT_EQ(AutomaticWeldTolerance(Vec3f{-1, -2, -3}, Vec3f{4, 5, 6}), 6e-6f);
}
