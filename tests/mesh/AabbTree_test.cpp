#include "mesh/AabbTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <random>
#include <thread>

#include "mesh/TestShapes.h"
#include "testing/StressParts.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::MakeBox;

namespace {

// nx by ny unit quads with random heights around z, two triangles a quad.
TriangleMesh MakeBumpyGrid(int nx, int ny, unsigned seed, float z = 0.0f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> bump(-0.3f, 0.3f);
    TriangleMesh m;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) m.vertices.push_back({{float(i), float(j), z + bump(rng)}, {}});
    const auto at = [nx](int i, int j) { return std::uint32_t(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            m.indices.insert(m.indices.end(),
                             {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    return m;
}

Vec3f Corner(const TriangleMesh& m, std::uint32_t t, int k) { return m.vertices[m.indices[3 * t + k]].position; }

// The same build the plain way: one thread, each box from its own triangles.
struct PlainBuild {
    const TriangleMesh& m;
    std::vector<AabbNode> nodes;
    std::vector<std::uint32_t> order;
    std::vector<Vec3f> centroids;
    std::uint32_t depth = 0;

    explicit PlainBuild(const TriangleMesh& mesh) : m(mesh), order(mesh.TriangleCount()) {
        std::iota(order.begin(), order.end(), 0u);
        for (std::uint32_t t : order)
            centroids.push_back((Corner(m, t, 0) + Corner(m, t, 1) + Corner(m, t, 2)) * 0.33333334f);
        nodes.resize(AabbTree::CountNodes(std::uint32_t(order.size()), 0));
        depth = Range(0, 0, std::uint32_t(order.size()), 0);
    }
    std::uint32_t Range(std::uint32_t node, std::uint32_t first, std::uint32_t count, std::uint32_t level) {
        Vec3f lo{3.4e38f, 3.4e38f, 3.4e38f}, hi = -lo, clo = lo, chi = hi;
        for (std::uint32_t i = first; i < first + count; ++i) {
            for (int k = 0; k < 3; ++k) lo = Min(lo, Corner(m, order[i], k)), hi = Max(hi, Corner(m, order[i], k));
            clo = Min(clo, centroids[order[i]]), chi = Max(chi, centroids[order[i]]);
        }
        nodes[node].min = lo, nodes[node].max = hi;
        if (count < 9) {
            nodes[node].firstTriangle = first, nodes[node].triangleCount = count;
            return level + 1;
        }
        const Vec3f e = chi - clo;
        const int axis = e.z > e.x && e.z > e.y ? 2 : (e.y > e.x ? 1 : 0);
        const std::uint32_t half = count / 2;
        std::nth_element(order.begin() + first, order.begin() + first + half, order.begin() + first + count,
                         [&](std::uint32_t a, std::uint32_t b) { return centroids[a][axis] < centroids[b][axis]; });
        const std::uint32_t second = node + 1 + std::uint32_t(AabbTree::CountNodes(half, level + 1));
        nodes[node].secondChild = second;
        const std::uint32_t levels = Range(node + 1, first, half, level + 1);
        return std::max(levels, Range(second, first + half, count - half, level + 1));
    }
};

std::uint64_t NaiveCountNodes(std::uint32_t n, std::uint64_t depth) {
    if (n < 9 || depth >= 64) return 1;
    return NaiveCountNodes(n - n / 2, depth + 1) + NaiveCountNodes(n / 2, depth + 1) + 1;
}

bool IsPermutation(std::vector<std::uint32_t> order) {
    std::sort(order.begin(), order.end());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        if (order[i] != i) return false;
    return true;
}

}  // namespace

TEST(AabbTree, ShapeOfSmallTreesAndNodeCounts) {
    TriangleMesh m = MakeBumpyGrid(4, 1, 1);
    AabbTree tree;
    tree.Build(m);
    ASSERT_EQ(tree.nodes.size(), 1u);
    EXPECT_EQ(tree.depth, 1u);
    EXPECT_EQ(tree.nodes[0].triangleCount, 8u);
    m.RecomputeBounds();
    EXPECT_EQ(tree.nodes[0].min, m.boundsMin);
    EXPECT_EQ(tree.nodes[0].max, m.boundsMax);

    m.indices.insert(m.indices.end(), {0, 1, 2});
    tree.Build(m);
    ASSERT_EQ(tree.nodes.size(), 3u);
    EXPECT_EQ(tree.depth, 2u);
    EXPECT_EQ(tree.nodes[0].triangleCount, 0u);
    EXPECT_EQ(tree.nodes[0].secondChild, 2u);
    EXPECT_EQ(tree.nodes[1].triangleCount, 4u);
    EXPECT_EQ(tree.nodes[2].triangleCount, 5u);

    for (std::uint32_t n = 0; n < 3000; ++n) ASSERT_EQ(AabbTree::CountNodes(n, 0), NaiveCountNodes(n, 0)) << n;
    for (std::uint64_t depth : {60u, 63u, 64u, 70u})
        EXPECT_EQ(AabbTree::CountNodes(12345, depth), NaiveCountNodes(12345, depth));
    EXPECT_EQ(AabbTree::CountNodes(1000000, 0), NaiveCountNodes(1000000, 0));
}

TEST(AabbTree, InvalidMeshOrOtherMeshGivesEmptyResults) {
    const TriangleMesh box = MakeBox({0, 0, 0}, {1, 1, 1});
    TriangleMesh outOfRange = box, ragged = box;
    outOfRange.indices[7] = 8;
    ragged.indices.pop_back();
    const TriangleMesh empty;
    AabbTree tree;
    for (const TriangleMesh* bad : std::initializer_list<const TriangleMesh*>{&outOfRange, &ragged, &empty}) {
        tree.Build(box);
        tree.ComputeNodeValueRange(0, std::vector<std::uint32_t>(12, 1));
        tree.Build(*bad);
        EXPECT_TRUE(tree.nodes.empty() && tree.triangleOrder.empty() && tree.nodeValueMin.empty());
        EXPECT_EQ(tree.depth, 0u);
        const RayHit hit = tree.Raycast({{0.5f, 0.5f, 5}, {0, 0, -1}}, box);
        EXPECT_FALSE(hit.hit);
        EXPECT_EQ(hit.triangle, -1);
        EXPECT_FALSE(tree.ClosestPoint(box, {0.5f, 0.5f, 5}).found);
    }
    // Queries with a mesh of another triangle count, and values too few to cover every triangle.
    tree.Build(box);
    const TriangleMesh grid = MakeBumpyGrid(3, 3, 2);
    EXPECT_FALSE(tree.Raycast({{0.5f, 0.5f, 5}, {0, 0, -1}}, grid).hit);
    EXPECT_FALSE(tree.ClosestPoint(grid, {0.5f, 0.5f, 5}).found);
    tree.ComputeNodeValueRange(0, std::vector<std::uint32_t>(5, 1));
    EXPECT_TRUE(tree.nodeValueMin.empty());
}

TEST(AabbTree, AsynchronousBuildEqualsThePlainOne) {
    // 200,000 triangles: the halves of 100,000 under the root are built on two threads.
    const TriangleMesh m = MakeBumpyGrid(400, 250, 3);
    AabbTree tree;
    tree.Build(m);
    const PlainBuild plain(m);
    EXPECT_EQ(tree.depth, plain.depth);
    EXPECT_EQ(tree.triangleOrder, plain.order);
    ASSERT_EQ(tree.nodes.size(), plain.nodes.size());
    for (std::size_t i = 0; i < plain.nodes.size(); ++i) {
        const AabbNode &a = tree.nodes[i], &b = plain.nodes[i];
        ASSERT_TRUE(a.min == b.min && a.max == b.max && a.triangleCount == b.triangleCount) << i;
        ASSERT_EQ(a.triangleCount ? a.firstTriangle : a.secondChild, b.triangleCount ? b.firstTriangle : b.secondChild)
            << i;
    }
    EXPECT_TRUE(tree.centroids.empty());
    EXPECT_EQ(tree.centroids.capacity(), 0u);

    // Non-finite corners must not upset the median selection.
    TriangleMesh odd = MakeBumpyGrid(30, 30, 4);
    for (std::size_t i = 0; i < odd.vertices.size(); i += 7) odd.vertices[i].position.x = std::nanf("");
    odd.vertices[3].position.y = INFINITY;
    odd.vertices[40].position.y = -INFINITY;
    tree.Build(odd);
    EXPECT_TRUE(IsPermutation(tree.triangleOrder));
}

TEST(AabbTree, AStopDuringTheBuildLeavesAnEmptyTreeThatBuildsAgain) {
    // 200,000 triangles, whose halves are built on threads of their own.
    const TriangleMesh m = MakeBumpyGrid(400, 250, 3);
    AabbTree plain;
    plain.Build(m);
    // Asked at the root, then again once 10 ms have passed: the first answer
    // takes longer, so the second ask comes from a range further down.
    for (const int stopAt : {1, 2}) {
        int asks = 0;
        const ProgressCallback answer = [&](const std::string&, float) {
            if (++asks >= stopAt) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(12));
            return true;
        };
        CancelContext cancel;
        cancel.callback = &answer;
        AabbTree tree;
        EXPECT_THROW(tree.Build(m, TreeBoxes::kWhole, &cancel), Stopped) << stopAt;
        EXPECT_EQ(asks, stopAt);
        EXPECT_TRUE(tree.nodes.empty());
        EXPECT_EQ(tree.meshTriangles, 0u);
        EXPECT_FALSE(tree.Raycast(Ray{{10, 10, 50}, {0, 0, -1}}, m).hit);
        tree.Build(m);
        EXPECT_EQ(tree.triangleOrder, plain.triangleOrder);
        EXPECT_EQ(tree.nodes.size(), plain.nodes.size());
    }
    // A context that lets it go on gives the tree built without one.
    const ProgressCallback going = [](const std::string&, float) { return true; };
    CancelContext cancel;
    cancel.callback = &going;
    AabbTree asked;
    asked.Build(m, TreeBoxes::kWhole, &cancel);
    EXPECT_EQ(asked.depth, plain.depth);
    EXPECT_EQ(asked.triangleOrder, plain.triangleOrder);
}

TEST(AabbTree, RaycastFindsTheNearestHit) {
    const TriangleMesh m = MakeBumpyGrid(40, 40, 5);
    AabbTree tree;
    tree.Build(m);
    std::mt19937 rng(6);
    std::uniform_real_distribution<float> u(-5.0f, 45.0f);
    for (int i = 0; i < 300; ++i) {
        const float z = i % 2 ? 5.0f : -5.0f;
        const Ray ray{{u(rng), u(rng), z}, {u(rng) * 0.02f, u(rng) * 0.02f, -z / 5}};
        RayHit expected;
        for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
            const RayHit h = IntersectRayTriangle(ray, Corner(m, t, 0), Corner(m, t, 1), Corner(m, t, 2));
            if (h.hit && (!expected.hit || h.distance < expected.distance)) expected = h, expected.triangle = t;
        }
        const RayHit hit = tree.Raycast(ray, m);
        ASSERT_EQ(hit.hit, expected.hit) << i;
        EXPECT_EQ(hit.distance, expected.distance);
        EXPECT_EQ(hit.normal, expected.normal);
    }
    // From inside a closed box: the inside of the nearest wall.
    const TriangleMesh box = MakeBox({0, 0, 0}, {10, 10, 10});
    tree.Build(box);
    const RayHit inside = tree.Raycast({{2, 5, 5}, {-1, 0, 0}}, box);
    ASSERT_TRUE(inside.hit);
    EXPECT_FLOAT_EQ(inside.distance, 2.0f);
    EXPECT_EQ(inside.normal, (Vec3f{-1, 0, 0}));
    // Exactly on the diagonal two triangles share: the first tested one is kept.
    TriangleMesh quad;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{1, 1, 0}, Vec3f{0, 1, 0}})
        quad.vertices.push_back({p, {}});
    quad.indices = {0, 1, 2, 0, 2, 3};
    tree.Build(quad);
    EXPECT_EQ(tree.Raycast({{0.5f, 0.5f, 1}, {0, 0, -1}}, quad).triangle, 0);
}

TEST(AabbTree, RaycastLooksNoFurtherThanItsLimit) {
    // From x = 2 inside a 10 mm box towards +x: the far wall 8 mm away; towards
    // -x the near wall 2 mm away.
    const TriangleMesh box = MakeBox({0, 0, 0}, {10, 10, 10});
    AabbTree tree;
    tree.Build(box);
    const Ray far{{2, 3, 4}, {1, 0, 0}};
    EXPECT_FALSE(tree.Raycast(far, box, 7.99f).hit);
    const RayHit reached = tree.Raycast(far, box, 8.01f);
    ASSERT_TRUE(reached.hit);
    EXPECT_FLOAT_EQ(reached.distance, 8.0f);
    EXPECT_EQ(reached.triangle, tree.Raycast(far, box).triangle);
    // A hit at the limit itself is beyond it.
    EXPECT_FALSE(tree.Raycast(far, box, 8.0f).hit);
    const RayHit nearWall = tree.Raycast({{2, 3, 4}, {-1, 0, 0}}, box, 8.01f);
    ASSERT_TRUE(nearWall.hit);
    EXPECT_FLOAT_EQ(nearWall.distance, 2.0f);
    // No limit, an infinite or a NaN one: the nearest hit at any distance.
    EXPECT_FLOAT_EQ(tree.Raycast(far, box, std::numeric_limits<float>::infinity()).distance, 8.0f);
    EXPECT_FLOAT_EQ(tree.Raycast(far, box, std::numeric_limits<float>::quiet_NaN()).distance, 8.0f);
}

TEST(AabbTree, ClosestPointLimitsPredicateAndValueRanges) {
    const TriangleMesh m = MakeBumpyGrid(30, 30, 7);
    AabbTree tree;
    tree.Build(m);
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> u(-10.0f, 40.0f);
    for (int i = 0; i < 200; ++i) {
        const Vec3f p{u(rng), u(rng), u(rng) * 0.3f};
        double best = 1e300;
        for (std::uint32_t t = 0; t < m.TriangleCount(); ++t)
            best = std::min(best,
                            LengthSquared(ClosestPointOnTriangle(ToDouble(p), ToDouble(Corner(m, t, 0)),
                                                                 ToDouble(Corner(m, t, 1)), ToDouble(Corner(m, t, 2))) -
                                          ToDouble(p)));
        EXPECT_EQ(tree.ClosestPoint(m, p).distance, float(std::sqrt(best))) << i;
    }

    const TriangleMesh box = MakeBox({0, 0, -10}, {10, 10, 0});  // top face at z = 0
    tree.Build(box);
    EXPECT_FALSE(tree.ClosestPoint(box, {5, 5, 5}, nullptr, 0, {}, 5.0f).found);
    EXPECT_FALSE(tree.ClosestPoint(box, {5, 5, 7}, nullptr, 0, {}, 5.0f).found);
    const ClosestHit near = tree.ClosestPoint(box, {5, 5, 4.99f}, nullptr, 0, {}, 5.0f);
    ASSERT_TRUE(near.found);
    EXPECT_FLOAT_EQ(near.distance, 4.99f);
    EXPECT_EQ(near.point, (Vec3f{5, 5, 0}));
    for (const float unlimited : {1e19f, 3e38f, INFINITY, std::nanf("")})
        EXPECT_TRUE(tree.ClosestPoint(box, {1e6f, -1e6f, 1e6f}, nullptr, 0, {}, unlimited).found);
    // A negative limit admits nothing rather than everything within its size.
    EXPECT_FALSE(tree.ClosestPoint(box, {5, 5, 1}, nullptr, 0, {}, -5.0f).found);
    EXPECT_EQ(tree.ClosestPoint(box, {12, 13, 4}).point, (Vec3f{10, 10, 0}));  // beyond a corner
    EXPECT_FALSE(tree.ClosestPoint(box, {5, 5, 1}, nullptr, 0, [](std::uint32_t) { return true; }).found);

    // Two sheets 10 apart: value 0 below, 1 above. Excluding 0 prunes the lower one
    // only once the ranges are computed.
    TriangleMesh sheets = MakeBumpyGrid(4, 4, 9);
    const TriangleMesh upper = MakeBumpyGrid(4, 4, 10, 10.0f);
    const std::uint32_t lower = std::uint32_t(sheets.TriangleCount()), offset = std::uint32_t(sheets.vertices.size());
    sheets.vertices.insert(sheets.vertices.end(), upper.vertices.begin(), upper.vertices.end());
    for (const std::uint32_t i : upper.indices) sheets.indices.push_back(i + offset);
    std::vector<std::uint32_t> values(sheets.TriangleCount(), 1);
    std::fill(values.begin(), values.begin() + lower, 0);
    tree.Build(sheets);
    const std::uint32_t zero = 0, both[] = {1, 0};
    const std::int32_t nearest = tree.ClosestPoint(sheets, {2, 2, 2}).triangle;
    EXPECT_LT(nearest, std::int32_t(lower));
    EXPECT_EQ(tree.ClosestPoint(sheets, {2, 2, 2}, &zero, 1).triangle, nearest);
    tree.ComputeNodeValueRange(0, values);
    EXPECT_EQ(tree.nodeValueMin[0], 0u);
    EXPECT_EQ(tree.nodeValueMax[0], 1u);
    EXPECT_GE(tree.ClosestPoint(sheets, {2, 2, 2}, &zero, 1).triangle, std::int32_t(lower));
    EXPECT_FALSE(tree.ClosestPoint(sheets, {2, 2, 2}, both, 2).found);
}

TEST(AabbTree, ManyThreadsQueryOneTree) {
    const TriangleMesh m = MakeBumpyGrid(60, 60, 11);
    const auto tree = std::make_shared<AabbTree>();
    tree->Build(m);
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> u(-5.0f, 65.0f);
    std::vector<Vec3f> points(2000);
    for (Vec3f& p : points) p = {u(rng), u(rng), u(rng) * 0.1f};
    const auto rayFor = [](const Vec3f& p) { return Ray{{p.x, p.y, 5.0f}, {0.01f, -0.02f, -1.0f}}; };
    // Both answers in one number; the predicate is called from every thread.
    const auto answer = [&](const Vec3f& p) {
        const auto notSeven = [](std::uint32_t t) { return t == 7; };
        return tree->ClosestPoint(m, p, nullptr, 0, notSeven).triangle * 100000 + tree->Raycast(rayFor(p), m).triangle;
    };
    std::vector<std::int32_t> expected;
    for (const Vec3f& p : points) expected.push_back(answer(p));
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (int k = 0; k < 8; ++k)
        threads.emplace_back([&, k] {
            for (std::size_t i = k; i < points.size() * 3; i += 2) {
                mismatches[k] += answer(points[i % points.size()]) != expected[i % points.size()];
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(std::accumulate(mismatches.begin(), mismatches.end(), 0), 0);
}

namespace {

// Nearest points (with and without a limit, and passing over triangles by
// value as the excluded ranges and the predicate together do) and ray hits
// as a look at every triangle finds them, from points near the surface,
// inside and far off.
void ExpectAnswersOfEveryTriangle(const TriangleMesh& m, AabbTree& tree, unsigned seed) {
    std::vector<std::uint32_t> values(m.TriangleCount());
    for (std::uint32_t t = 0; t < values.size(); ++t) values[t] = t / 16;
    tree.ComputeNodeValueRange(0, values);
    const std::uint32_t excluded[] = {1, 2, 3, 9};
    const auto isExcluded = [&](std::uint32_t t) {
        return std::find(excluded, excluded + 4, values[t]) != excluded + 4;
    };
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const Vec3f lo = m.boundsMin - Vec3f{6, 6, 6}, span = m.boundsMax - m.boundsMin + Vec3f{12, 12, 12};
    std::uniform_int_distribution<std::uint32_t> pick(0, static_cast<std::uint32_t>(m.TriangleCount() - 1));
    for (int i = 0; i < 600; ++i) {
        Vec3f p = lo + Vec3f{span.x * (0.5f + 0.5f * u(rng)), span.y * (0.5f + 0.5f * u(rng)),
                             span.z * (0.5f + 0.5f * u(rng))};
        if (i % 3 != 0) {
            // Within 0.3 mm of a point of a triangle, where most queries are.
            const std::uint32_t t = pick(rng);
            const float x = 0.5f + 0.5f * u(rng), y = (0.5f + 0.5f * u(rng)) * (1.0f - x);
            p = Corner(m, t, 0) + (Corner(m, t, 1) - Corner(m, t, 0)) * x + (Corner(m, t, 2) - Corner(m, t, 0)) * y +
                Vec3f{u(rng), u(rng), u(rng)} * 0.17f;
        }
        double nearest = 1e300, nearestKept = 1e300;
        for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
            const Vec3d q = ClosestPointOnTriangle(ToDouble(p), ToDouble(Corner(m, t, 0)), ToDouble(Corner(m, t, 1)),
                                                   ToDouble(Corner(m, t, 2)));
            nearest = std::min(nearest, LengthSquared(q - ToDouble(p)));
            if (!isExcluded(t)) nearestKept = std::min(nearestKept, LengthSquared(q - ToDouble(p)));
        }
        const float expected = static_cast<float>(std::sqrt(nearest));
        const ClosestHit hit = tree.ClosestPoint(m, p);
        ASSERT_TRUE(hit.found) << i;
        EXPECT_EQ(hit.distance, expected) << i;
        const float limit = i % 2 ? 0.5f : 8.0f;
        EXPECT_EQ(tree.ClosestPoint(m, p, nullptr, 0, {}, limit).found, expected < limit) << i;
        const ClosestHit kept = tree.ClosestPoint(m, p, excluded, 4, isExcluded);
        ASSERT_TRUE(kept.found) << i;
        EXPECT_EQ(kept.distance, static_cast<float>(std::sqrt(nearestKept))) << i;
        EXPECT_FALSE(isExcluded(static_cast<std::uint32_t>(kept.triangle))) << i;

        const Ray ray{p, Vec3f{u(rng), u(rng), u(rng)}};
        RayHit first;
        for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
            const RayHit h = IntersectRayTriangle(ray, Corner(m, t, 0), Corner(m, t, 1), Corner(m, t, 2));
            if (h.hit && (!first.hit || h.distance < first.distance)) first = h;
        }
        const RayHit along = tree.Raycast(ray, m);
        ASSERT_EQ(along.hit, first.hit) << i;
        if (first.hit) {
            EXPECT_EQ(along.distance, first.distance) << i;
        }
    }
}

}  // namespace

TEST(AabbTree, FittedBoxesTurnAlongARodCutFansAndAnswerAsWholeOnes) {
    const Vec3f way = Normalize(Vec3f{1, 2, 3});
    const TriangleMesh rod = ridgeforge::test::MakeFanCappedRod(4.0f, 60.0f, 300, way);
    AabbTree tree;
    tree.Build(rod, TreeBoxes::kFitted);
    ASSERT_TRUE(tree.turned);
    EXPECT_GT(std::abs(Dot(tree.frame[2], way)), 0.9999f);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(Dot(tree.frame[i], tree.frame[j]), i == j ? 1.0f : 0.0f, 1e-6f);
    }
    ExpectAnswersOfEveryTriangle(rod, tree, 11);

    // A cone's fans run every way round, so no frame serves: its slivers are
    // cut, and every triangle stands in the tree. Each side triangle (26 mm
    // long, 0.063 mm wide) has a middle extent of at least 7.07 mm, past 64
    // widths (4.02 mm), and takes the most pieces, eight; the base's
    // triangles near an axis have tight boxes and stay whole, so those stand
    // once.
    const TriangleMesh cone = ridgeforge::test::MakeCone(10.0f, 24.0f, 1000, 1);
    tree.Build(cone, TreeBoxes::kFitted);
    EXPECT_FALSE(tree.turned);
    EXPECT_EQ(tree.meshTriangles, cone.TriangleCount());
    std::vector<int> times(cone.TriangleCount(), 0);
    for (const std::uint32_t t : tree.triangleOrder) ++times[t];
    EXPECT_EQ(*std::min_element(times.begin(), times.end()), 1);
    EXPECT_EQ(*std::max_element(times.begin(), times.end()), 8);
    EXPECT_GE(std::count(times.begin(), times.end(), 8), 1000);
    ExpectAnswersOfEveryTriangle(cone, tree, 12);

    // Where the axes serve as well, or when not asked, the boxes stay along them.
    const struct {
        const char* name;
        TriangleMesh mesh;
        TreeBoxes boxes;
    } plain[] = {
        {"upright rod", ridgeforge::test::MakeFanCappedRod(4.0f, 60.0f, 300, {0, 0, 1}), TreeBoxes::kFitted},
        {"sphere", MakeTestSphere(15.0f), TreeBoxes::kFitted},
        {"box", MakeBox({0, 0, 0}, {10, 20, 30}), TreeBoxes::kFitted},
        {"rod at an angle, not asked", rod, TreeBoxes::kWhole},
    };
    for (const auto& c : plain) {
        SCOPED_TRACE(c.name);
        tree.Build(c.mesh, c.boxes);
        EXPECT_FALSE(tree.turned);
        EXPECT_EQ(tree.InFrame({1, 2, 3}), (Vec3f{1, 2, 3}));
    }
    // Nothing loose, nothing cut: the box's triangles are listed once each.
    tree.Build(plain[2].mesh, TreeBoxes::kFitted);
    EXPECT_EQ(tree.triangleOrder.size(), plain[2].mesh.TriangleCount());
}
