#include "mesh/DisplayComputations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "mesh/TestShapes.h"
#include "testing/Shapes.h"

namespace ridgeforge::mesh {
namespace {

TriangleMesh OneTriangle(Vec3f a, Vec3f b, Vec3f c) {
    TriangleMesh m;
    m.vertices = {{a, {0, 0, 1}}, {b, {0, 0, 1}}, {c, {0, 0, 1}}};
    m.indices = {0, 1, 2};
    m.RecomputeBounds();
    return m;
}

double TriangleArea(const TriangleMesh& m, std::size_t t) {
    const Vec3f& a = m.vertices[m.indices[3 * t]].position;
    const Vec3f& b = m.vertices[m.indices[3 * t + 1]].position;
    const Vec3f& c = m.vertices[m.indices[3 * t + 2]].position;
    const Vec3f n = Cross(b - a, c - a);
    return 0.5 * std::sqrt(static_cast<double>(Dot(n, n)));
}

double TotalArea(const TriangleMesh& m) {
    double sum = 0.0;
    for (std::size_t t = 0; t < m.TriangleCount(); ++t) sum += TriangleArea(m, t);
    return sum;
}

TEST(ClipMeshByPlane, KeepsTheSideTheNormalPointsToAndCutsCrossingTriangles) {
    // Right triangle of legs 4 (x) and 2 (y); the plane x = 1 keeps x >= 1.
    const TriangleMesh tri = OneTriangle({0, 0, 0}, {4, 0, 0}, {0, 2, 0});
    const TriangleMesh kept = ClipMeshByPlane(tri, {1, 0, 0}, {2, 0, 0});  // unnormalised normal
    // One corner inside: a smaller similar triangle of legs 3 and 1.5.
    ASSERT_EQ(kept.TriangleCount(), 1u);
    EXPECT_NEAR(TotalArea(kept), 0.5 * 3.0 * 1.5, 1e-5);
    EXPECT_TRUE(kept.boundsValid);
    EXPECT_FLOAT_EQ(kept.boundsMin.x, 1.0f);

    // The other side: two corners inside give a quad as two triangles, 4 - 2.25.
    const TriangleMesh other = ClipMeshByPlane(tri, {1, 0, 0}, {-1, 0, 0});
    ASSERT_EQ(other.TriangleCount(), 2u);
    EXPECT_NEAR(TotalArea(other), 4.0 - 2.25, 1e-5);
    EXPECT_EQ(other.vertices.size(), 6u);  // nothing shared

    // Plane missing the mesh: all triangles unwelded on the kept side, none on the other.
    const TriangleMesh box = test::MakeBox({0, 0, 0}, {1, 2, 3});
    const TriangleMesh all = ClipMeshByPlane(box, {-5, 0, 0}, {1, 0, 0});
    EXPECT_EQ(all.TriangleCount(), 12u);
    EXPECT_EQ(all.vertices.size(), 36u);
    EXPECT_EQ(ClipMeshByPlane(box, {5, 0, 0}, {1, 0, 0}).TriangleCount(), 0u);

    // A zero normal keeps the mesh as it is, shared vertices and all.
    const TriangleMesh uncut = ClipMeshByPlane(box, {0.5f, 0, 0}, {0, 0, 0});
    EXPECT_EQ(uncut.vertices.size(), box.vertices.size());
    EXPECT_EQ(uncut.indices, box.indices);

    // A broken index gives nothing.
    TriangleMesh broken = tri;
    broken.indices[2] = 7;
    EXPECT_EQ(ClipMeshByPlane(broken, {0, 0, 0}, {1, 0, 0}).TriangleCount(), 0u);

    // Crossing normals are interpolated and made unit again.
    TriangleMesh bent = tri;
    bent.vertices[0].normal = {1, 0, 0};
    bent.vertices[1].normal = {0, 1, 0};
    const TriangleMesh cut = ClipMeshByPlane(bent, {2, 0, 0}, {1, 0, 0});
    for (const Vertex& v : cut.vertices) {
        if (v.position.x == 2.0f && v.position.y == 0.0f) {
            EXPECT_NEAR(v.normal.x, std::sqrt(0.5f), 1e-5);
            EXPECT_NEAR(v.normal.y, std::sqrt(0.5f), 1e-5);
        }
    }
}

TEST(ClipMeshByPlane, CornersOnThePlaneCountInsideAndMakeNoDegenerateTriangles) {
    // One corner on the plane, the others outside: that corner alone is no triangle.
    const TriangleMesh tri = OneTriangle({0, 0, 0}, {-1, 0, 0}, {-1, 1, 0});
    EXPECT_EQ(ClipMeshByPlane(tri, {0, 0, 0}, {1, 0, 0}).TriangleCount(), 0u);
    // One on, one in, one out: one triangle, not a quad with a repeated point.
    const TriangleMesh mixed = OneTriangle({0, 0, 0}, {2, 0, 0}, {-2, 2, 0});
    const TriangleMesh kept = ClipMeshByPlane(mixed, {0, 0, 0}, {1, 0, 0});
    ASSERT_EQ(kept.TriangleCount(), 1u);
    // Kept part: (0,0), (2,0) and the crossing of (2,0)-(-2,2) at x = 0, y = 1.
    EXPECT_NEAR(TotalArea(kept), 0.5 * 2.0 * 1.0, 1e-5);
    // Two corners on the plane, one inside: unchanged.
    EXPECT_EQ(ClipMeshByPlane(OneTriangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}), {0, 0, 0}, {1, 0, 0}).TriangleCount(), 1u);

    // Random planes through vertices of a sphere: never a zero-area triangle,
    // and the two halves add up to the whole area.
    const TriangleMesh sphere = MakeTestSphere(10.0f);
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> vertex(0, sphere.vertices.size() - 1);
    std::uniform_real_distribution<float> component(-1.0f, 1.0f);
    const double whole = TotalArea(sphere);
    for (int round = 0; round < 40; ++round) {
        const Vec3f point = sphere.vertices[vertex(random)].position;
        Vec3f normal{component(random), component(random), component(random)};
        if (round % 4 == 0) normal = {1, 0, 0};  // axis planes hit many corners exactly
        const TriangleMesh a = ClipMeshByPlane(sphere, point, normal);
        const TriangleMesh b = ClipMeshByPlane(sphere, point, -normal);
        for (const TriangleMesh* half : {&a, &b}) {
            for (std::size_t t = 0; t < half->TriangleCount(); ++t) ASSERT_GT(TriangleArea(*half, t), 0.0) << round;
        }
        EXPECT_NEAR(TotalArea(a) + TotalArea(b), whole, whole * 1e-4) << round;
    }
}

TEST(ReduceMesh, PoolsVerticesPerCellAndDropsCollapsedTriangles) {
    // Four vertices: two share the cell at the origin (cell size 1), the
    // others lie in cells of their own; a point below the bounds clamps to 0.
    TriangleMesh m;
    m.vertices = {{{0.1f, 0.1f, 0}, {}},
                  {{0.5f, 0.3f, 0}, {}},
                  {{2.5f, 0.2f, 0}, {}},
                  {{0.2f, 3.5f, 0}, {}},
                  {{1.5f, 1.5f, 0}, {}}};
    m.indices = {0, 2, 3, 1, 2, 3, 0, 1, 2, 2, 4, 3};
    m.RecomputeBounds();
    m.boundsMin = {0.4f, 0.4f, 0};  // the first two vertices lie below it: clamped to cell 0
    const ReducedMesh r = ReduceMesh(m, 1.0f);
    EXPECT_FLOAT_EQ(r.cellSize, 1.0f);
    ASSERT_EQ(r.mesh.vertices.size(), 4u);
    // Cell 0 is the mean of the first two vertices (first seen first).
    EXPECT_FLOAT_EQ(r.mesh.vertices[0].position.x, 0.3f);
    EXPECT_FLOAT_EQ(r.mesh.vertices[0].position.y, 0.2f);
    // Triangle 2 (corners 0, 1 in one cell) disappears; 0 and 1 become the same.
    EXPECT_EQ(r.sourceTriangles, (std::vector<std::uint32_t>{0, 1, 3}));
    EXPECT_EQ(r.mesh.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 1, 2, 1, 3, 2}));
    EXPECT_TRUE(r.mesh.boundsValid);
}

TEST(MakeReducedCopy, CopiesWithinTheBudgetAndReducesBeyondIt) {
    const TriangleMesh box = test::MakeGridBox({0, 0, 0}, {40, 30, 20}, 20);
    const std::uint64_t n = box.TriangleCount();
    for (const std::uint64_t budget : {n, std::uint64_t{0}, n + 5}) {
        const ReducedMesh copy = MakeReducedCopy(box, budget);
        EXPECT_EQ(copy.cellSize, 0.0f);
        EXPECT_EQ(copy.mesh.indices, box.indices);
        ASSERT_EQ(copy.sourceTriangles.size(), n);
        EXPECT_EQ(copy.sourceTriangles[n - 1], n - 1);
    }
    for (const std::uint64_t budget : {n - 1, n / 3, std::uint64_t{100}}) {
        const ReducedMesh r = MakeReducedCopy(box, budget);
        EXPECT_GT(r.cellSize, 0.0f);
        EXPECT_LE(r.mesh.TriangleCount(), budget + budget / 5) << budget;
        EXPECT_GT(r.mesh.TriangleCount(), 0u);
        ASSERT_EQ(r.sourceTriangles.size(), r.mesh.TriangleCount());
        // The copy keeps the part's extent within a cell.
        EXPECT_NEAR(r.mesh.boundsMax.x - r.mesh.boundsMin.x, 40.0f, 2.0f * r.cellSize);
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
