#include "mesh/remesh/Remesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "mesh/EditableMesh.h"
#include "mesh/remesh/internal/IsotropicRemesh.h"
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

// A flat diamond: the edge a-b (vertices 0 and 1) between the triangles
// (a, b, c) and (b, a, d), c = 2 above and d = 3 below, 2 mm apart. Fans of
// extra vertices 5 mm out give a k + 3 neighbours, b m + 3, c rc + 4 and
// d sd + 4. Any other flip would need a new edge longer than 2 mm.
TriangleMesh Diamond(int k, int m, int rc, int sd) {
    TriangleMesh mesh;
    for (const Vec3f p : {Vec3f{-1, 0, 0}, Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, -1, 0}})
        mesh.vertices.push_back({p, {}});
    mesh.indices = {0, 1, 2, 1, 0, 3};
    const auto angle = [&](std::uint32_t centre, std::uint32_t to) {
        const Vec3f d = mesh.vertices[to].position - mesh.vertices[centre].position;
        return std::atan2(d.y, d.x);
    };
    // A fan around `centre` from vertex `from` turning anticlockwise to `to`.
    const auto fan = [&](std::uint32_t centre, std::uint32_t from, std::uint32_t to, int count) {
        std::vector<std::uint32_t> chain{from};
        const float start = angle(centre, from);
        float end = angle(centre, to);
        while (end <= start) end += 6.2831853f;
        for (int i = 1; i <= count; ++i) {
            const float t = start + (end - start) * static_cast<float>(i) / static_cast<float>(count + 1);
            chain.push_back(static_cast<std::uint32_t>(mesh.vertices.size()));
            mesh.vertices.push_back({mesh.vertices[centre].position + Vec3f{5 * std::cos(t), 5 * std::sin(t), 0}, {}});
        }
        chain.push_back(to);
        for (std::size_t i = 0; i + 1 < chain.size(); ++i)
            mesh.indices.insert(mesh.indices.end(), {centre, chain[i], chain[i + 1]});
        return chain;
    };
    const auto left = fan(0, 2, 3, k);
    const auto right = fan(1, 3, 2, m);
    if (rc > 0) fan(2, right[right.size() - 2], left[1], rc);
    if (sd > 0) fan(3, left[left.size() - 2], right[1], sd);
    return mesh;
}

// Runs one flip pass with no vertex flagged; true when a-b became c-d.
bool FlipsTheMiddleEdge(const TriangleMesh& mesh, std::uint64_t& flips) {
    EditableMesh em(mesh);
    em.RebuildVertexFaces();
    const std::vector<std::uint8_t> flags(em.VertexCount(), 0);
    flips = FlipEdgesForShape(em, em.CollectEdges(), flags, 0.7f, 2.0f);
    return em.triangles[0] == EditableMesh::Triangle{0, 3, 2} && em.triangles[1] == EditableMesh::Triangle{1, 2, 3};
}

}  // namespace

TEST(Remesh, EdgeFlipsOnlyWhenValencesComeCloserToSix) {
    struct Case {
        int va, vb, vc, vd;
        bool flips;
    };
    // Sum of |v - 6| before against the same after a and b lose a neighbour
    // and c and d gain one: 4 against 0, 3 against 1, 2 against 2, 0 against 4.
    for (const Case& c : {Case{7, 7, 5, 5, true}, Case{7, 7, 6, 5, true}, Case{7, 6, 6, 5, false},
                          Case{6, 6, 6, 6, false}, Case{5, 7, 5, 7, false}}) {
        const TriangleMesh mesh = Diamond(c.va - 3, c.vb - 3, c.vc - 4, c.vd - 4);
        std::uint64_t flips = 0;
        EXPECT_EQ(FlipsTheMiddleEdge(mesh, flips), c.flips) << c.va << c.vb << c.vc << c.vd;
        EXPECT_EQ(flips, c.flips ? 1u : 0u) << c.va << c.vb << c.vc << c.vd;
    }
}

TEST(Remesh, StopAtOnceRebuildsTheInputAndTimesFourStages) {
    TriangleMesh m = MakeTorus(10, 3, 16, 8);
    m.indices.insert(m.indices.end(), {0, 0, 1});  // a repeated corner is dropped on rebuilding
    std::vector<std::string> asked;
    const RemeshReport r = Remesh(m, Isotropic(0.5f, 3, 0.5f), [&](const std::string& stage, float) {
        asked.push_back(stage);
        return false;
    });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(StageNames(r), (std::vector<std::string>{"Building the search tree", "Splitting long edges", "Rebuilding",
                                                       "Measuring deviation"}));
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
    const RemeshReport p = Remesh(partial, Isotropic(0.5f, 3, 0.5f),
                                  [](const std::string& stage, float) { return stage != "Improving triangle shape"; });
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
    EXPECT_EQ(StageNames(r),
              (std::vector<std::string>{"Building the search tree", "Splitting long edges", "Collapsing short edges",
                                        "Improving triangle shape", "Rebuilding", "Measuring deviation"}));

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
