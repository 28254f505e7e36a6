#include "mesh/remesh/Remesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "mesh/remesh/RemeshByContour.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeGridPlate;
using ridgeforge::test::MakeTorus;

namespace {

RemeshSettings Isotropic(float length, int rounds, float relaxation) {
    RemeshSettings s;
    s.method = kRemeshIsotropic;
    s.targetEdgeMillimetres = length;
    s.rounds = rounds;
    s.relaxation = relaxation;
    return s;
}

TriangleMesh Square(float side) {
    TriangleMesh m;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{side, 0, 0}, Vec3f{side, side, 0}, Vec3f{0, side, 0}}) {
        m.vertices.push_back({p, {}});
    }
    m.indices = {0, 1, 2, 0, 2, 3};
    m.RecomputeBounds();
    return m;
}

std::vector<std::string> StageNames(const RemeshReport& r) {
    std::vector<std::string> names;
    for (const StageTime& s : r.stages) names.push_back(s.name);
    return names;
}

// Edges with one triangle, as position pairs.
std::vector<std::pair<Vec3f, Vec3f>> OpenEdges(const TriangleMesh& m) {
    std::map<std::uint64_t, int> count;
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
        for (int k = 0; k < 3; ++k) ++count[EdgeKey(m.indices[t + k], m.indices[t + (k + 1) % 3])];
    }
    std::vector<std::pair<Vec3f, Vec3f>> open;
    for (const auto& [key, n] : count) {
        if (n == 1) open.emplace_back(m.vertices[key >> 32].position, m.vertices[key & 0xFFFFFFFFu].position);
    }
    return open;
}

}  // namespace

TEST(Remesh, StopAtOnceRebuildsTheInputAndTimesFourStages) {
    TriangleMesh m = MakeTorus(10, 3, 16, 8);
    m.indices.insert(m.indices.end(), {0, 0, 1});  // a repeated corner is dropped on rebuilding
    std::vector<std::string> asked;
    const RemeshReport r = Remesh(m, Isotropic(0.5f, 3, 0.5f), [&](const std::string& stage, float) {
        asked.push_back(stage);
        return false;
    });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(StageNames(r), (std::vector<std::string>{"Building the search tree", "Splitting long edges",
                                                       "Rebuilding", "Measuring deviation"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"Splitting long edges", "Rebuilding"}));
    EXPECT_EQ(r.trianglesBefore, 16u * 8u * 2u + 1u);
    EXPECT_EQ(r.trianglesAfter, 16u * 8u * 2u);
    EXPECT_EQ(r.splits, 0u);
    EXPECT_EQ(r.deviationMillimetres, 0.0f);
    EXPECT_NEAR(m.vertices[0].normal.x, 1.0f, 0.05f);  // normals recomputed
    EXPECT_EQ(r.qualityAfter.triangles, r.trianglesAfter);

    // A stop in the middle of a round leaves the partly remeshed surface,
    // still closed and valid.
    TriangleMesh partial = MakeTorus(10, 3, 16, 8);
    const RemeshReport p = Remesh(partial, Isotropic(0.5f, 3, 0.5f), [](const std::string& stage, float) {
        return stage != "Improving triangle shape";
    });
    EXPECT_TRUE(p.cancelled);
    EXPECT_GT(p.splits, 0u);
    EXPECT_GT(p.collapses, 0u);
    EXPECT_EQ(p.flips, 0u);
    EXPECT_TRUE(IsClosedOrientedManifold(partial));
    EXPECT_EQ(p.trianglesAfter, partial.TriangleCount());
}

TEST(Remesh, FlatSquareSplitsToTheLimitAndKeepsItsBorder) {
    const float side = 10.0f, length = 0.7f;
    TriangleMesh m = Square(side);
    RemeshReport r = Remesh(m, Isotropic(length, 1, 0.0f), {});
    EXPECT_FALSE(r.cancelled);
    EXPECT_GT(r.splits, 0u);
    EXPECT_LE(r.qualityAfter.edgeMax, length * 4.0f / 3.0f);
    EXPECT_EQ(StageNames(r), (std::vector<std::string>{"Building the search tree", "Splitting long edges",
                                                       "Collapsing short edges", "Improving triangle shape",
                                                       "Rebuilding", "Measuring deviation"}));

    // With relaxation at full strength over several rounds the border stays put.
    TriangleMesh relaxed = Square(side);
    r = Remesh(relaxed, Isotropic(length, 4, 1.5f), {});
    EXPECT_NEAR(relaxed.SurfaceArea(), side * side, 1e-3f);
    double perimeter = 0.0;
    for (const auto& [a, b] : OpenEdges(relaxed)) {
        perimeter += Length(b - a);
        for (const Vec3f& p : {a, b}) {
            EXPECT_TRUE(p.x == 0 || p.x == side || p.y == 0 || p.y == side) << p.x << " " << p.y;
        }
    }
    EXPECT_NEAR(perimeter, 4.0 * side, 1e-3);
    int corners = 0;
    for (const Vertex& v : relaxed.vertices) {
        corners += (v.position.x == 0 || v.position.x == side) && (v.position.y == 0 || v.position.y == side);
        EXPECT_EQ(v.position.z, 0.0f);
    }
    EXPECT_EQ(corners, 4);
    EXPECT_GE(r.qualityAfter.edgeMedian, length * 0.8f);
    EXPECT_LE(r.qualityAfter.edgeMedian, length * 4.0f / 3.0f);
}

TEST(Remesh, ClosedShapeStaysClosedOnItsSurfaceWithFeaturesKept) {
    // A coarse torus made finer, then a box whose twelve edges are features.
    TriangleMesh torus = MakeTorus(10, 3, 24, 12);
    std::vector<float> progress;
    RemeshReport r = Remesh(torus, Isotropic(0.8f, 2, 0.5f), [&](const std::string&, float f) {
        progress.push_back(f);
        return true;
    });
    EXPECT_FALSE(r.cancelled);
    EXPECT_TRUE(IsClosedOrientedManifold(torus));
    EXPECT_GT(r.trianglesAfter, r.trianglesBefore * 2);
    EXPECT_LT(r.deviationMillimetres, 0.05f);
    EXPECT_GT(r.qualityAfter.edgeMin, 0.0f);
    EXPECT_LE(r.qualityAfter.edgeMax, 0.8f * 4.0f / 3.0f * 1.1f);  // relaxing comes after the last split
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 1.0f);
    EXPECT_NEAR(torus.SignedVolume(), MakeTorus(10, 3, 24, 12).SignedVolume(), 20.0f);

    TriangleMesh box = ridgeforge::test::MakeBox({0, 0, 0}, {6, 4, 3});
    r = Remesh(box, Isotropic(0.5f, 3, 1.0f), {});
    EXPECT_TRUE(IsClosedOrientedManifold(box));
    EXPECT_GE(r.featureEdges, 12u * 6u);
    EXPECT_EQ(box.boundsMin, (Vec3f{0, 0, 0}));
    EXPECT_EQ(box.boundsMax, (Vec3f{6, 4, 3}));
    EXPECT_NEAR(box.SignedVolume(), 72.0f, 1e-3f);
    EXPECT_NEAR(box.SurfaceArea(), 108.0f, 1e-3f);

    // No feature at 180 degrees: the box's edges get rounded off by relaxation.
    TriangleMesh soft = ridgeforge::test::MakeBox({0, 0, 0}, {6, 4, 3});
    RemeshSettings noFeatures = Isotropic(0.5f, 2, 1.0f);
    noFeatures.featureAngleDegrees = 200.0f;
    noFeatures.projectToOriginal = false;
    r = Remesh(soft, noFeatures, {});
    EXPECT_EQ(r.featureEdges, 0u);
    EXPECT_LT(soft.SignedVolume(), 71.0f);
}

TEST(Remesh, BadInputAndOtherMethods) {
    TriangleMesh bad = MakeTorus(10, 3, 8, 6);
    bad.indices[4] = 999;
    const auto indices = bad.indices;
    RemeshReport r = Remesh(bad, Isotropic(0.5f, 1, 0.5f), {});
    EXPECT_EQ(bad.indices, indices);
    EXPECT_TRUE(r.stages.empty());
    EXPECT_EQ(r.trianglesBefore, 8u * 6u * 2u);
    EXPECT_EQ(r.trianglesAfter, 0u);

    TriangleMesh empty;
    r = Remesh(empty, Isotropic(0.5f, 1, 0.5f), {});
    EXPECT_TRUE(r.stages.empty());

    // Rounds below one run one round; a target of 0 uses 0.0001 mm (here a
    // stop after the first split pass keeps the test small).
    TriangleMesh small = Square(0.001f);
    int asked = 0;
    r = Remesh(small, Isotropic(0.0f, -3, 0.0f), [&](const std::string&, float) { return ++asked < 2; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_GT(r.splits, 0u);

    // Any method other than 0 is exactly the contour remesher.
    RemeshSettings contour;
    contour.method = 1;
    contour.targetEdgeMillimetres = 2.0f;
    TriangleMesh viaRemesh = ridgeforge::test::MakeBox({0, 0, 0}, {10, 10, 10});
    TriangleMesh direct = viaRemesh;
    const RemeshReport a = Remesh(viaRemesh, contour, {});
    const RemeshReport b = RemeshByContour(direct, contour, {});
    EXPECT_EQ(a.contoured, b.contoured);
    EXPECT_EQ(a.trianglesAfter, b.trianglesAfter);
    EXPECT_EQ(a.failure, b.failure);
    EXPECT_EQ(viaRemesh.indices, direct.indices);
}
