#include "mesh/MeshHygiene.h"

#include <gtest/gtest.h>

#include "mesh/Crumbs.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;

namespace {

// A strip of `triangles` triangles joined edge to edge, starting at x.
void AddStrip(TriangleMesh& m, std::uint32_t triangles, float x, float z = 0.0f) {
    const auto base = static_cast<std::uint32_t>(m.vertices.size());
    for (std::uint32_t k = 0; k < (triangles - 1) / 2 + 2; ++k) {
        m.vertices.push_back({{x + static_cast<float>(k), 0, z}, {}});
        m.vertices.push_back({{x + static_cast<float>(k), 1, z}, {}});
    }
    for (std::uint32_t t = 0; t < triangles; ++t) {
        const std::uint32_t k = base + 2 * (t / 2);
        if (t % 2 == 0)
            m.indices.insert(m.indices.end(), {k, k + 2, k + 1});
        else
            m.indices.insert(m.indices.end(), {k + 1, k + 2, k + 3});
    }
}

void AddMesh(TriangleMesh& m, const TriangleMesh& other) {
    const auto base = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), other.vertices.begin(), other.vertices.end());
    for (std::uint32_t i : other.indices) m.indices.push_back(base + i);
}

}  // namespace

TEST(MeshHygiene, BrokenMeshIsLeftAlone) {
    TriangleMesh m = ridgeforge::test::MakeBox({0, 0, 0}, {1, 1, 1});
    m.indices.push_back(0);
    m.vertices.push_back({});
    const TriangleMesh before = m;
    EXPECT_EQ(RemoveDegenerateTriangles(m, false), 0u);
    EXPECT_EQ(CountDuplicateTriangles(m), 0u);
    EXPECT_EQ(RemoveDuplicateTriangles(m), 0u);
    EXPECT_EQ(RemoveUnusedVertices(m), 0u);
    EXPECT_EQ(RemoveCrumbs(m, 1, nullptr, 0.0f, nullptr), 0u);
    EXPECT_EQ(m.indices, before.indices);
    EXPECT_EQ(m.vertices.size(), before.vertices.size());
}

TEST(MeshHygiene, DegenerateDuplicateAndUnused) {
    TriangleMesh m;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{2, 0, 0}, Vec3f{0, 1, 0}, Vec3f{9, 9, 9}}) {
        m.vertices.push_back({p, {}});
    }
    m.indices = {0, 0, 1, 0, 1, 2, 0, 1, 3};  // repeated corner, collinear, proper
    TriangleMesh keep = m;
    EXPECT_EQ(RemoveDegenerateTriangles(keep, true), 1u);
    EXPECT_EQ(keep.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 1, 3}));
    EXPECT_EQ(RemoveDegenerateTriangles(m, false), 2u);
    EXPECT_EQ(m.indices, (std::vector<std::uint32_t>{0, 1, 3}));
    // A repeated corner counts wherever it falls: last equals first, or last equals middle.
    keep.indices = {0, 1, 0, 0, 1, 3, 1, 3, 3, 3, 1, 0};
    EXPECT_EQ(RemoveDegenerateTriangles(keep, true), 2u);
    EXPECT_EQ(keep.indices, (std::vector<std::uint32_t>{0, 1, 3, 3, 1, 0}));

    m.indices = {0, 1, 3, 3, 0, 1, 0, 3, 1, 1, 3, 2};
    EXPECT_EQ(CountDuplicateTriangles(m), 2u);
    EXPECT_EQ(m.indices.size(), 12u);
    EXPECT_EQ(RemoveDuplicateTriangles(m), 2u);
    EXPECT_EQ(m.indices, (std::vector<std::uint32_t>{0, 1, 3, 1, 3, 2}));
    EXPECT_EQ(RemoveDuplicateTriangles(m), 0u);

    EXPECT_EQ(RemoveUnusedVertices(m), 1u);  // vertex 4
    EXPECT_EQ(m.vertices.size(), 4u);
    m.indices = {3, 1, 2};
    EXPECT_EQ(RemoveUnusedVertices(m), 1u);  // vertex 0: the others move down
    EXPECT_EQ(m.indices, (std::vector<std::uint32_t>{2, 0, 1}));
    EXPECT_EQ(m.vertices[0].position, (Vec3f{1, 0, 0}));
    const TriangleMesh used = m;
    EXPECT_EQ(RemoveUnusedVertices(m), 0u);
    EXPECT_EQ(m.indices, used.indices);
}

TEST(MeshHygiene, CrumbsByRankAndVolume) {
    TriangleMesh one = ridgeforge::test::MakeBox({0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(RemoveCrumbs(one, 1, nullptr, 1.0f, nullptr), 0u);

    // A 1,000-triangle strip and a closed 12-triangle box of volume 8 (1.2%)
    // stay; a 9-triangle strip (0.9%) is small.
    TriangleMesh base;
    AddStrip(base, 1000, 0);
    AddStrip(base, 9, 0, 50);
    AddMesh(base, ridgeforge::test::MakeBox({-10, -10, -10}, {-8, -8, -8}));

    TriangleMesh m = base;
    std::uint64_t removedTriangles = 5;
    std::vector<RemovedBody> removed(1);
    EXPECT_EQ(RemoveCrumbs(m, 1, &removedTriangles, 0.0f, &removed), 1u);
    EXPECT_EQ(removedTriangles, 14u);
    ASSERT_EQ(removed.size(), 2u);  // appended after the entry already there
    EXPECT_EQ(removed[1].triangles, 9u);
    EXPECT_EQ(removed[1].boundsMin, (Vec3f{0, 0, 50}));
    EXPECT_EQ(removed[1].boundsMax, (Vec3f{5, 1, 50}));
    EXPECT_EQ(removed[1].volume, 0.0);
    EXPECT_EQ(m.TriangleCount(), 1012u);
    EXPECT_TRUE(IsValidMesh(m));
    EXPECT_EQ(m.vertices.size(), 1002u + 8u);  // the small strip's vertices went with it

    m = base;
    EXPECT_EQ(RemoveCrumbs(m, kKeepAllBodies, nullptr, 0.0f, nullptr), 0u);
    EXPECT_EQ(m.TriangleCount(), 1021u);

    // Ranked second of three with keepLargest 3: only the volume test can
    // remove it. A flat strip has volume 0 < 1; a box of volume 8 would not go.
    m = base;
    EXPECT_EQ(RemoveCrumbs(m, 3, nullptr, 1.0f, nullptr), 1u);
    EXPECT_EQ(m.TriangleCount(), 1012u);

    TriangleMesh boxes;
    AddStrip(boxes, 2000, 0);
    AddMesh(boxes, ridgeforge::test::MakeBox({-10, -10, -10}, {-8, -8, -8}));  // 12 < 20: small
    m = boxes;
    removed.clear();
    EXPECT_EQ(RemoveCrumbs(m, 2, nullptr, 1.0f, &removed), 0u);
    EXPECT_EQ(RemoveCrumbs(m, 2, nullptr, 9.0f, &removed), 1u);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_NEAR(removed[0].volume, 8.0, 1e-9);

    // A small box hanging on the strip by one shared corner is a body of its
    // own: bodies join through edges, so one piece through shared corners
    // still holds two bodies, and the box goes.
    TriangleMesh hanging;
    AddStrip(hanging, 2000, 0);
    AddMesh(hanging, ridgeforge::test::MakeBox({-1, -1, -1}, {0, 0, 0}));
    const std::uint32_t strip = static_cast<std::uint32_t>(hanging.vertices.size() - 8);
    for (std::size_t i = 3 * 2000; i < hanging.indices.size(); ++i) {
        if (hanging.vertices[hanging.indices[i]].position == Vec3f{0, 0, 0}) hanging.indices[i] = 0;
    }
    RemoveUnusedVertices(hanging);
    ASSERT_EQ(CountComponents(hanging), 1u);
    ASSERT_EQ(hanging.vertices.size(), std::size_t{strip} + 7);
    EXPECT_EQ(RemoveCrumbs(hanging, 1, nullptr, 0.0f, nullptr), 1u);
    EXPECT_EQ(hanging.TriangleCount(), 2000u);
}

TEST(MeshHygiene, LargeMeshesAreCleanedInTheFirstAndTheLastChunk) {
    // 48,000 torus triangles (three chunks of 16,384) with a collapsed
    // triangle at each end, a copy of the torus's last triangle (its corners
    // turned round) second in the list, and a copy of its sixth near the end.
    const TriangleMesh torus = ridgeforge::test::MakeTorus(20.0f, 5.0f, 200, 120);
    const std::size_t n = torus.indices.size();
    TriangleMesh m;
    m.vertices = torus.vertices;
    m.vertices.push_back({{900, 0, 0}, {}});  // used by no triangle
    m.indices = {7, 7, 8, torus.indices[n - 2], torus.indices[n - 1], torus.indices[n - 3]};
    m.indices.insert(m.indices.end(), torus.indices.begin(), torus.indices.end());
    m.indices.insert(m.indices.end(), torus.indices.begin() + 15, torus.indices.begin() + 18);
    m.indices.insert(m.indices.end(), {23990, 23991, 23990});

    EXPECT_EQ(RemoveDegenerateTriangles(m, true), 2u);
    ASSERT_EQ(m.indices.size(), n + 6);
    EXPECT_TRUE(std::equal(torus.indices.begin(), torus.indices.end(), m.indices.begin() + 3));
    EXPECT_EQ(CountDuplicateTriangles(m), 2u);

    // The first of each corner set stays: the turned copy in front, the
    // torus's own sixth triangle.
    EXPECT_EQ(RemoveDuplicateTriangles(m), 2u);
    std::vector<std::uint32_t> expected = {torus.indices[n - 2], torus.indices[n - 1], torus.indices[n - 3]};
    expected.insert(expected.end(), torus.indices.begin(), torus.indices.end() - 3);
    EXPECT_TRUE(m.indices == expected);
    EXPECT_EQ(RemoveUnusedVertices(m), 1u);
    EXPECT_EQ(m.vertices.size(), torus.vertices.size());
}

TEST(MeshHygiene, PiecesOfALargeMeshAreCountedAcrossEveryChunk) {
    // The torus's 48,000 triangles (three chunks of 16,384) with a loose
    // triangle in front and one behind, and one vertex no triangle uses.
    // The torus's own triangles join only through the rings of vertices
    // that the chunks share.
    TriangleMesh m = ridgeforge::test::MakeTorus(20.0f, 5.0f, 200, 120);
    const auto loose = static_cast<std::uint32_t>(m.vertices.size());
    for (int k = 0; k < 7; ++k) m.vertices.push_back({{100.0f + static_cast<float>(k), 0, 0}, {}});
    m.indices.insert(m.indices.begin(), {loose, loose + 1, loose + 2});
    m.indices.insert(m.indices.end(), {loose + 3, loose + 4, loose + 5});
    EXPECT_EQ(CountComponents(m), 4u);
    // A triangle from the back one to the torus leaves three.
    m.indices.insert(m.indices.end(), {loose + 5, 0, 1});
    EXPECT_EQ(CountComponents(m), 3u);
}
