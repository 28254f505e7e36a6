// Both remeshers on generated parts that stress them: no self-intersection or
// fold that the part did not have, and sharp edges kept by the contour remesh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/Remesh.h"
#include "mesh/TestShapes.h"
#include "tests/support/SelfIntersections.h"
#include "tests/support/StressParts.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::CountSelfIntersections;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeStressParts;
using ridgeforge::test::SelfIntersectionCount;

namespace {

// The mesh's connected bodies (through shared vertices) as meshes of their own.
std::vector<TriangleMesh> Bodies(const TriangleMesh& m) {
    std::vector<std::uint32_t> parent(m.vertices.size());
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&](std::uint32_t v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
        parent[find(m.indices[t + 1])] = find(m.indices[t]);
        parent[find(m.indices[t + 2])] = find(m.indices[t]);
    }
    std::vector<std::uint32_t> body(m.vertices.size(), 0xFFFFFFFFu);
    std::vector<TriangleMesh> out;
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
        const std::uint32_t root = find(m.indices[t]);
        if (body[root] == 0xFFFFFFFFu) {
            body[root] = static_cast<std::uint32_t>(out.size());
            out.push_back(m);
            out.back().indices.clear();
        }
        TriangleMesh& b = out[body[root]];
        b.indices.insert(b.indices.end(), m.indices.begin() + static_cast<std::ptrdiff_t>(t),
                         m.indices.begin() + static_cast<std::ptrdiff_t>(t + 3));
    }
    return out;
}

// Self-intersections within each body: shells that overlap on purpose do not count.
SelfIntersectionCount CountWithinBodies(const TriangleMesh& m) {
    SelfIntersectionCount sum;
    for (const TriangleMesh& body : Bodies(m)) {
        const SelfIntersectionCount c = CountSelfIntersections(body);
        sum.intersectingPairs += c.intersectingPairs;
        sum.foldedEdges += c.foldedEdges;
    }
    return sum;
}

float PartSize(const TriangleMesh& m) {
    return std::max({m.boundsMax.x - m.boundsMin.x, m.boundsMax.y - m.boundsMin.y, m.boundsMax.z - m.boundsMin.z});
}

}  // namespace

TEST(SelfIntersections, CountsCrossingsTouchesAndFoldsButNotNeighbours) {
    // Two triangles crossing, one touching at a point inside, one far away.
    TriangleMesh m;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{4, 0, 0}, Vec3f{0, 4, 0},       // 0-2 flat
                          Vec3f{1, 1, -1}, Vec3f{1, 1, 1}, Vec3f{3, 3, 1},       // 3-5 crosses it
                          Vec3f{1, 0.5f, 0}, Vec3f{1, 0.5f, 2}, Vec3f{2, 2, 2},  // 6-8 touches it
                          Vec3f{10, 10, 10}, Vec3f{11, 10, 10}, Vec3f{10, 11, 10}}) {
        m.vertices.push_back({p, {}});
    }
    m.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    m.RecomputeBounds();
    // The flat one is crossed by the second and touched by the third; the
    // third only reaches the second's plane outside it.
    EXPECT_EQ(CountSelfIntersections(m).intersectingPairs, 2u);

    // A closed cube has none; folding one corner through the opposite face makes some.
    TriangleMesh cube = MakeTestCube(2.0f);
    const SelfIntersectionCount clean = CountSelfIntersections(cube);
    EXPECT_EQ(clean.intersectingPairs, 0u);
    EXPECT_EQ(clean.foldedEdges, 0u);
    cube.vertices[0].position = cube.vertices[7].position * 1.5f;
    const SelfIntersectionCount broken = CountSelfIntersections(cube);
    EXPECT_GT(broken.intersectingPairs + broken.foldedEdges, 0u);

    // Two triangles on one edge, the second folded flat onto the first.
    TriangleMesh fold;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{2, 0, 0}, Vec3f{1, 2, 0}, Vec3f{1, -1, 0}}) fold.vertices.push_back({p, {}});
    fold.indices = {0, 1, 2, 1, 0, 3};
    fold.RecomputeBounds();
    EXPECT_EQ(CountSelfIntersections(fold).foldedEdges, 0u);  // opposite sides: a flat sheet
    fold.vertices[3].position = {1, 1, 0};
    EXPECT_EQ(CountSelfIntersections(fold).foldedEdges, 1u);
    EXPECT_EQ(CountSelfIntersections(fold).intersectingPairs, 0u);  // judged as a fold, not a pair
}

TEST(RemeshStressParts, PartsAreClosedAndCleanToStartWith) {
    for (const auto& part : MakeStressParts()) {
        SCOPED_TRACE(part.name);
        EXPECT_TRUE(IsClosedOrientedManifold(part.mesh));
        const SelfIntersectionCount c = CountWithinBodies(part.mesh);
        EXPECT_EQ(c.intersectingPairs, 0u);
        EXPECT_EQ(c.foldedEdges, 0u);
    }
}

// One part by one method at a coarse and a fine size (a fiftieth and a
// hundred-and-twentieth of the part's size).
class RemeshStressPart : public testing::TestWithParam<std::tuple<int, std::int32_t>> {};

TEST_P(RemeshStressPart, AddsNoSelfIntersectionOrFold) {
    const auto [index, method] = GetParam();
    const ridgeforge::test::StressPart part = std::move(MakeStressParts()[static_cast<std::size_t>(index)]);
    for (const float fraction : {1.0f / 50.0f, 1.0f / 120.0f}) {
        SCOPED_TRACE(part.name + " at 1/" + std::to_string(std::lround(1.0f / fraction)));
        TriangleMesh mesh = part.mesh;
        RemeshSettings settings;
        settings.method = method;
        settings.targetEdgeMillimetres = PartSize(part.mesh) * fraction;
        const RemeshReport report = Remesh(mesh, settings, {});
        ASSERT_FALSE(report.cancelled);
        EXPECT_TRUE(IsClosedOrientedManifold(mesh));
        // The isotropic remesher keeps overlapping shells apart; contouring makes their union.
        const SelfIntersectionCount c = method == kRemeshIsotropic ? CountWithinBodies(mesh) : CountSelfIntersections(mesh);
        EXPECT_EQ(c.intersectingPairs, 0u);
        EXPECT_EQ(c.foldedEdges, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Parts, RemeshStressPart,
                         testing::Combine(testing::Range(0, 8), testing::Values(kRemeshIsotropic, kRemeshContour)));
