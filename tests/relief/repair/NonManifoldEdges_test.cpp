#include "relief/repair/NonManifoldEdges.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "mesh/Weld.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::AppendMesh;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeBox;

namespace {

// Two boxes of edge `size` that touch along one vertical edge, welded so the
// edge's two corners are shared: 4 triangles on that edge.
TriangleMesh BoxesSharingAnEdge(float size, float offset = 0.0f) {
    TriangleMesh m = MakeBox({offset, offset, offset}, {offset + size, offset + size, offset + size});
    AppendMesh(m,
               MakeBox({offset + size, offset + size, offset}, {offset + 2 * size, offset + 2 * size, offset + size}));
    WeldExactVertices(m);
    m.RecomputeBounds();
    return m;
}

// The smallest distance from p to any of the points.
double Nearest(const Vec3f& p, const std::vector<Vec3f>& points) {
    double best = 1e30;
    for (const Vec3f& q : points) best = std::min(best, static_cast<double>(Length(ToDouble(p) - ToDouble(q))));
    return best;
}

}  // namespace

TEST(NonManifoldEdges, DoubleSkinnedPairsGoOnlyWhenWoundBothWays) {
    TriangleMesh m;
    for (const Vec3f p :
         {Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{5, 5, 5}, Vec3f{6, 5, 5}, Vec3f{5, 6, 5}}) {
        m.vertices.push_back({p, {}});
    }
    // 0-1-2 one way, its reverse (rotated), the same way again; 3-4-5 twice the same way.
    m.indices = {0, 1, 2, 1, 0, 2, 2, 0, 1, 3, 4, 5, 4, 5, 3};
    EXPECT_EQ(RemoveDoubleSkinnedPairs(m), 1u);
    ASSERT_EQ(m.TriangleCount(), 3u);
    EXPECT_EQ(m.vertices.size(), 6u);
    // One 0-1-2 triangle stays, in the original winding; both 3-4-5 stay in their order.
    std::vector<std::uint32_t> first(m.indices.begin(), m.indices.begin() + 3);
    std::rotate(first.begin(), std::min_element(first.begin(), first.end()), first.end());
    EXPECT_EQ(first, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(std::vector<std::uint32_t>(m.indices.begin() + 3, m.indices.end()),
              (std::vector<std::uint32_t>{3, 4, 5, 4, 5, 3}));

    TriangleMesh same = m;
    const std::vector<std::uint32_t> before = same.indices;
    EXPECT_EQ(RemoveDoubleSkinnedPairs(same), 0u);
    EXPECT_EQ(same.indices, before);

    // A pair over one face of a closed box: the box is whole again after.
    TriangleMesh box = MakeBox({0, 0, 0}, {1, 1, 1});
    box.indices.insert(box.indices.end(), {box.indices[0], box.indices[2], box.indices[1]});
    EXPECT_EQ(CountNonManifoldEdges(box), 3u);
    EXPECT_EQ(RemoveDoubleSkinnedPairs(box), 1u);
    EXPECT_EQ(CountNonManifoldEdges(box), 0u);
    EXPECT_EQ(box.TriangleCount(), 11u);
}

TEST(NonManifoldEdges, TwoBoxesSharingAnEdgeEachGetTheirOwnCorners) {
    TriangleMesh m = BoxesSharingAnEdge(1.0f);
    ASSERT_EQ(m.vertices.size(), 14u);
    EXPECT_EQ(CountNonManifoldEdges(m), 1u);
    const std::vector<Vec3f> shared = {{1, 1, 0}, {1, 1, 1}};
    EXPECT_EQ(SplitNonManifoldEdges(m), 2u);
    EXPECT_EQ(m.vertices.size(), 16u);
    EXPECT_EQ(CountNonManifoldEdges(m), 0u);
    EXPECT_TRUE(IsClosedOrientedManifold(m));
    EXPECT_EQ(CountBodies(m), 2u);
    for (std::size_t v = 14; v < 16; ++v) {
        const double d = Nearest(m.vertices[v].position, shared);
        EXPECT_GT(d, 0.0);
        EXPECT_LE(d, 0.002 + 1e-7);
    }
    // Nothing left to split: a second call changes nothing.
    const TriangleMesh after = m;
    EXPECT_EQ(SplitNonManifoldEdges(m), 0u);
    EXPECT_EQ(m.indices, after.indices);

    // On a large part the nudge is 10 x the weld tolerance (here 1e-6 x 600 mm).
    TriangleMesh large = BoxesSharingAnEdge(100.0f, 400.0f);
    EXPECT_EQ(SplitNonManifoldEdges(large), 2u);
    EXPECT_EQ(CountNonManifoldEdges(large), 0u);
    const std::vector<Vec3f> largeShared = {{500, 500, 400}, {500, 500, 500}};
    for (std::size_t v = 14; v < 16; ++v) {
        EXPECT_NEAR(Nearest(large.vertices[v].position, largeShared), 0.006, 0.0005);
    }
}

TEST(NonManifoldEdges, UnsoundSplitsAreUndoneExactly) {
    // Three single-triangle sheets on the edge 0-1: neither grouping can give
    // every edge two triangles, so both tries are undone.
    TriangleMesh m;
    for (const Vec3f p :
         {Vec3f{0, 0, 0}, Vec3f{0, 0, 1}, Vec3f{1, 0, 0.5f}, Vec3f{-0.5f, 0.8f, 0.5f}, Vec3f{-0.5f, -0.8f, 0.5f}}) {
        m.vertices.push_back({p, {}});
    }
    m.indices = {0, 1, 2, 1, 0, 3, 0, 1, 4};
    const TriangleMesh before = m;
    EXPECT_EQ(CountNonManifoldEdges(m), 1u);
    EXPECT_EQ(SplitNonManifoldEdges(m), 0u);
    EXPECT_EQ(m.indices, before.indices);
    ASSERT_EQ(m.vertices.size(), before.vertices.size());
    for (std::size_t v = 0; v < m.vertices.size(); ++v) EXPECT_EQ(m.vertices[v].position, before.vertices[v].position);

    // A closed, manifold part: nothing to count, split or cut.
    TriangleMesh box = MakeBox({0, 0, 0}, {2, 3, 4});
    const TriangleMesh boxBefore = box;
    EXPECT_EQ(CountNonManifoldEdges(box), 0u);
    EXPECT_EQ(SplitNonManifoldEdges(box), 0u);
    EXPECT_EQ(CutAndFillNonManifoldEdges(box), 0u);
    EXPECT_EQ(box.indices, boxBefore.indices);
    EXPECT_EQ(box.vertices.size(), boxBefore.vertices.size());

    TriangleMesh empty;
    EXPECT_EQ(CountNonManifoldEdges(empty), 0u);
    EXPECT_EQ(RemoveDoubleSkinnedPairs(empty), 0u);
    EXPECT_EQ(SplitNonManifoldEdges(empty), 0u);
    EXPECT_EQ(CutAndFillNonManifoldEdges(empty), 0u);
}

TEST(NonManifoldEdges, CutAndFillIsKeptOnlyWhenItClosesWhatItCut) {
    // Small boxes: the cut holes are about 1.4 mm across and are filled again.
    TriangleMesh small = BoxesSharingAnEdge(1.0f);
    EXPECT_EQ(CutAndFillNonManifoldEdges(small), 0u);
    EXPECT_EQ(CountNonManifoldEdges(small), 0u);
    const EdgeCounts edges = EdgeStatistics(small);
    EXPECT_EQ(edges.openBoundaryEdges, 0u);
    EXPECT_EQ(CountBodies(small), 2u);
    EXPECT_TRUE(small.boundsValid);

    // Large boxes: the holes are 28 mm across, stay open, and the copy is thrown away.
    TriangleMesh large = BoxesSharingAnEdge(20.0f);
    const TriangleMesh before = large;
    EXPECT_EQ(CutAndFillNonManifoldEdges(large), 1u);
    EXPECT_EQ(large.indices, before.indices);
    EXPECT_EQ(large.vertices.size(), before.vertices.size());
}
