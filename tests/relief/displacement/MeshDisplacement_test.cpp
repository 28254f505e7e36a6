#include "relief/displacement/MeshDisplacement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "mesh/TestShapes.h"
#include "relief/displacement/WallThinning.h"
#include "tests/relief/displacement/ReliefTestSupport.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

// Settings with every optional stage off; tests switch on what they look at.
DisplacementSettings Plain(float strength, float midLevel) {
    DisplacementSettings s;
    s.method = DisplacementMethod::Mesh;
    s.strengthMillimetres = strength;
    s.midLevel = midLevel;
    s.limitToClearance = false;
    s.mitreCreases = false;
    s.preventFolds = false;
    return s;
}

std::vector<float> Ones(const TriangleMesh& m) { return std::vector<float>(m.vertices.size(), 1.0f); }

DisplacementReport Displace(TriangleMesh& m, const DisplacementSettings& s, float mapValue,
                            const std::vector<float>* weights = nullptr) {
    return ApplyDisplacement(m, BoxProjection(), UniformMap(mapValue), weights ? *weights : Ones(m), s, nullptr,
                             TileFrame{});
}

bool HasStage(const DisplacementReport& r, const std::string& name) {
    for (const StageTime& s : r.stages) {
        if (s.name == name) return true;
    }
    return false;
}

TEST(MeshDisplacement, InvalidInputLeavesTheMeshAsItWas) {
    TriangleMesh box = test::MakeGridBox({0, 0, 0}, {4, 4, 4}, 2);
    const TriangleMesh before = box;
    std::vector<float> shortWeights(box.vertices.size() - 1, 1.0f);
    DisplacementReport r = Displace(box, Plain(1, 0), 1.0f, &shortWeights);
    EXPECT_EQ(r.totalVertices, before.vertices.size());
    EXPECT_EQ(r.displacedVertices, 0u);
    EXPECT_FLOAT_EQ(r.midLevel, 0.5f);
    EXPECT_TRUE(r.stages.empty());
    r = ApplyDisplacement(box, BoxProjection(), HeightMap{}, Ones(box), Plain(1, 0), nullptr, TileFrame{});
    EXPECT_EQ(r.displacedVertices, 0u);
    for (std::size_t v = 0; v < box.vertices.size(); ++v) {
        EXPECT_EQ(box.vertices[v].position, before.vertices[v].position);
    }
}

TEST(MeshDisplacement, AStopAtAnyAskLeavesTheMeshAsItWas) {
    // Every stage on: the slab has two regions, so the clearance queries run,
    // and the fold guard asks after the move, when only putting the saved
    // positions back can leave the mesh as it was.
    DisplacementSettings s = Plain(4.0f, 0.5f);
    s.limitToClearance = true;
    s.mitreCreases = true;
    s.preventFolds = true;
    const TriangleMesh before = test::MakeGridBox({0, 0, 0}, {2, 2, 1}, 2);
    const auto sameBytes = [&before](const TriangleMesh& m) {
        return m.indices == before.indices && m.vertices.size() == before.vertices.size() &&
               std::memcmp(m.vertices.data(), before.vertices.data(), m.vertices.size() * sizeof(Vertex)) == 0;
    };
    const auto run = [&](TriangleMesh& m, int stopAt, int& calls) {
        calls = 0;
        const ProgressCallback progress = [&calls, stopAt](const std::string& stage, float fraction) {
            EXPECT_EQ(stage, "Displacing");
            EXPECT_EQ(fraction, -1.0f);
            return ++calls != stopAt;
        };
        return ApplyDisplacement(m, BoxProjection(), UniformMap(0.0f), Ones(m), s, nullptr, TileFrame{}, progress);
    };
    TriangleMesh whole = before;
    int asks = 0;
    const DisplacementReport done = run(whole, 0, asks);
    EXPECT_FALSE(done.stopped);
    EXPECT_FALSE(sameBytes(whole));
    // Seven stages up to the move, and the fold guard's three steps after it.
    ASSERT_GE(asks, 10);
    for (int k = 1; k <= asks; ++k) {
        TriangleMesh m = before;
        int calls = 0;
        const DisplacementReport r = run(m, k, calls);
        EXPECT_TRUE(r.stopped) << k;
        EXPECT_EQ(calls, k);
        EXPECT_TRUE(sameBytes(m)) << "stopped at ask " << k << " of " << asks;
    }
}

TEST(MeshDisplacement, SphereIsOneRegionAndKeepsNoClearance) {
    TriangleMesh sphere = MakeTestSphere(10.0f);
    const TriangleMesh before = sphere;
    DisplacementSettings s = Plain(1.0f, 0.5f);
    s.limitToClearance = true;
    s.mitreCreases = true;
    s.preventFolds = true;
    const DisplacementReport r = Displace(sphere, s, 1.0f);
    EXPECT_TRUE(r.clearance.empty());
    EXPECT_EQ(r.surfaceTree, nullptr);
    EXPECT_EQ(r.cutShortByClearance, 0u);
    EXPECT_EQ(r.displacedVertices, sphere.vertices.size());
    EXPECT_EQ(r.trianglesTurningOver, 0u);
    EXPECT_FLOAT_EQ(r.largestOffset, 0.5f);
    EXPECT_FLOAT_EQ(r.smallestOffset, 0.0f);
    EXPECT_FLOAT_EQ(r.relief, 0.5f);
    for (std::size_t v = 0; v < sphere.vertices.size(); ++v) {
        EXPECT_NEAR(Length(sphere.vertices[v].position), 10.5f, 1e-3f);
    }
    EXPECT_TRUE(HasStage(r, "Smooth regions"));
    EXPECT_FALSE(HasStage(r, "Clearance queries"));
    EXPECT_EQ(r.stages.back().name, "Bounds and normals");
    EXPECT_NEAR(sphere.boundsMax.z, 10.5f, 1e-3f);
    const WallThinningReport walls = MeasureWallThinning(before, sphere, Ones(sphere), r, 0.4f, 0.42f, 0.02f);
    EXPECT_EQ(FormatWallSummary(walls),
              "walls not measured: the displacement kept no clearance: one smooth region, or the clearance limit off");
}

TEST(MeshDisplacement, InwardMovesStopAtAShareOfTheClearance) {
    // A 2 x 2 x 1 mm slab: few enough triangles that leaves of the tree hold
    // faces of the top and the bottom together, so the own-region test must
    // pass over single triangles.
    TriangleMesh slab = test::MakeGridBox({0, 0, 0}, {2, 2, 1}, 2);
    AabbTree probe;
    probe.Build(slab);
    bool mixedLeaf = false;
    for (const AabbNode& node : probe.nodes) {
        if (node.triangleCount == 0) continue;
        std::set<std::tuple<float, float, float>> normals;
        for (std::uint32_t i = 0; i < node.triangleCount; ++i) {
            const Vec3f n = slab.FaceNormal(probe.triangleOrder[node.firstTriangle + i]);
            normals.insert({n.x, n.y, n.z});
        }
        mixedLeaf = mixedLeaf || normals.size() > 1;
    }
    ASSERT_TRUE(mixedLeaf);

    DisplacementSettings s = Plain(4.0f, 0.5f);  // map 0: every vertex 2 mm inward
    s.limitToClearance = true;
    const std::size_t top = VertexAt(slab, {1, 1, 1});
    const std::size_t bottom = VertexAt(slab, {1, 1, 0});
    const std::size_t side = VertexAt(slab, {0, 1, 0.5f});
    const DisplacementReport r = Displace(slab, s, 0.0f);
    ASSERT_EQ(r.clearance.size(), slab.vertices.size());
    ASSERT_NE(r.surfaceTree, nullptr);
    EXPECT_NEAR(r.clearance[top], 1.0f, 1e-4f);
    EXPECT_NEAR(r.clearance[bottom], 1.0f, 1e-4f);
    EXPECT_GT(r.cutShortByClearance, 0u);
    EXPECT_NEAR(slab.vertices[top].position.z, 1.0f - kClearanceShare, 1e-4f);
    EXPECT_NEAR(slab.vertices[bottom].position.z, kClearanceShare, 1e-4f);
    EXPECT_NEAR(r.smallestOffset, -kClearanceShare, 1e-4f);
    // A side's centre finds the top and bottom faces 0.5 mm away.
    EXPECT_NEAR(slab.vertices[side].position.x, 0.5f * kClearanceShare, 1e-4f);
    for (const Vertex& v : slab.vertices) {
        EXPECT_GE(v.position.z, -1e-4f);
        EXPECT_LE(v.position.z, 1.0f + 1e-4f);
    }

    // Without the limit the slab turns inside out.
    TriangleMesh free = test::MakeGridBox({0, 0, 0}, {2, 2, 1}, 2);
    Displace(free, Plain(4.0f, 0.5f), 0.0f);
    EXPECT_NEAR(free.vertices[top].position.z, -1.0f, 1e-4f);
}

TEST(MeshDisplacement, WallHoldKeepsVerticesWhoseWallWouldGoThin) {
    TriangleMesh slab = test::MakeGridBox({0, 0, 0}, {2, 2, 1}, 2);
    const std::size_t top = VertexAt(slab, {1, 1, 1});
    DisplacementSettings s = Plain(4.0f, 0.5f);
    s.limitToClearance = true;
    s.holdThinWalls = true;
    s.wallThresholdMillimetres = 0.3f;  // 1 - 0.45 (own) - 0.45 (the bottom's) = 0.1 left
    const DisplacementReport r = Displace(slab, s, 0.0f);
    EXPECT_TRUE(HasStage(r, "Walls held"));
    EXPECT_GT(r.notMovedInward, 0u);
    EXPECT_FLOAT_EQ(slab.vertices[top].position.z, 1.0f);
    EXPECT_NE(FormatDisplacementReport(r).find(" vertices not moved inward"), std::string::npos);
}

TEST(MeshDisplacement, CubeCornersMoveAlongTheMitre) {
    TriangleMesh cube = MakeTestCube(10.0f);
    DisplacementSettings s = Plain(1.0f, 0.0f);
    s.mitreCreases = true;
    const DisplacementReport r = Displace(cube, s, 1.0f);
    EXPECT_NEAR(r.largestOffset, std::sqrt(3.0f), 1e-5f);
    for (const Vertex& v : cube.vertices) {
        EXPECT_NEAR(std::fabs(v.position.x), 6.0f, 1e-4f);
        EXPECT_NEAR(std::fabs(v.position.y), 6.0f, 1e-4f);
        EXPECT_NEAR(std::fabs(v.position.z), 6.0f, 1e-4f);
    }
    // Two faces at a right angle: the edge vertex moves by √2 along the bisector.
    TriangleMesh box = test::MakeGridBox({-5, -5, -5}, {5, 5, 5}, 2);
    const std::size_t edge = VertexAt(box, {5, 0, 5});
    Displace(box, s, 1.0f);
    EXPECT_NEAR(box.vertices[edge].position.x, 6.0f, 1e-4f);
    EXPECT_NEAR(box.vertices[edge].position.z, 6.0f, 1e-4f);
}

TEST(MeshDisplacement, BaseBandKeepsTheBedFlat) {
    // Strength 0.8 and no band given: the band is 1.6 mm. A bottom at 1.5 mm
    // lies inside it and stays; one at 1.7 mm moves down by 0.8.
    for (const float bottomZ : {1.5f, 1.7f}) {
        TriangleMesh box = test::MakeGridBox({-5, -5, bottomZ}, {5, 5, 10}, 2);
        DisplacementSettings s = Plain(0.8f, 0.0f);
        s.base.enabled = true;
        const std::size_t centre = VertexAt(box, {0, 0, bottomZ});
        const DisplacementReport r = Displace(box, s, 1.0f);
        const bool inBand = bottomZ < 1.6f;
        EXPECT_NEAR(box.vertices[centre].position.z, inBand ? bottomZ : bottomZ - 0.8f, 1e-5f) << bottomZ;
        EXPECT_EQ(r.keptLevelAtBase > 0, inBand) << bottomZ;
    }
    // A deep outward relief would push the bottom through the plane: it is held there.
    TriangleMesh box = test::MakeGridBox({-5, -5, 0.5f}, {5, 5, 10}, 2);
    DisplacementSettings s = Plain(3.0f, 0.0f);
    s.base.enabled = true;
    s.base.bandMillimetres = 0.1f;
    s.mitreCreases = true;
    const DisplacementReport r = Displace(box, s, 1.0f);
    EXPECT_EQ(r.heldAtBasePlane, 9u);  // the bottom's 3 x 3 vertices
    for (const Vertex& v : box.vertices) EXPECT_GE(v.position.z, 0.0f);
    EXPECT_NE(FormatDisplacementReport(r).find("; 9 held at the base plane"), std::string::npos);

    // Part below the plane (protectBelow off): the top face is the bed.
    TriangleMesh hanging = test::MakeGridBox({-5, -5, -10}, {5, 5, 0}, 2);
    s.base.protectBelow = false;
    s.base.bandMillimetres = 0.0f;
    Displace(hanging, s, 1.0f);
    for (const Vertex& v : hanging.vertices) EXPECT_LE(v.position.z, 1e-6f);
}

TEST(MeshDisplacement, TiltLimitIsClampedAndTurnedFacesAreEased) {
    // A 20 mm plate; only its centre vertex moves up.
    auto run = [](float strength, float tilt) {
        TriangleMesh plate = test::MakeGridPlate(20.0f, 2);
        std::vector<float> weights(plate.vertices.size(), 0.0f);
        weights[VertexAt(plate, {10, 10, 0})] = 1.0f;
        DisplacementSettings s = Plain(strength, 0.0f);
        s.preventFolds = true;
        s.maximumTiltDegrees = tilt;
        return Displace(plate, s, 1.0f, &weights);
    };
    // 1 mm tilts the faces around by 5.7 and 8.0 degrees: within 10.
    EXPECT_EQ(run(1.0f, 5.0f).trianglesTurningOver, 0u);
    EXPECT_EQ(run(2.0f, 5.0f).trianglesTurningOver, 6u);
    EXPECT_EQ(run(2.0f, 80.0f).trianglesTurningOver, 0u);
    const DisplacementReport eased = run(200.0f, 80.0f);
    EXPECT_EQ(eased.trianglesTurningOver, 6u);
    EXPECT_EQ(eased.trianglesLeftTurned, 0u);
    EXPECT_GT(eased.foldRounds, 0u);
    EXPECT_EQ(eased.foldVertices, 1u);
    EXPECT_EQ(eased.foldFurtherThanBefore, 0u);
    // Halving a move of 1e12 mm thirty times still leaves it turned over.
    const DisplacementReport left = run(1e12f, 80.0f);
    EXPECT_EQ(left.foldRounds, kMaximumFoldRounds);
    EXPECT_EQ(left.trianglesLeftTurned, 6u);

    // A face turned right over counts at a limit of 180, which acts as 179.
    auto flip = [](float tilt) {
        TriangleMesh m;
        m.vertices = {{{0, 0, 0}, {0, 0, 1}}, {{10, 0, 0}, {0, 0, 1}}, {{0, 10, 0}, {0, -1, 0}}};
        m.indices = {0, 1, 2};
        DisplacementSettings s = Plain(20.0f, 0.0f);
        s.preventFolds = true;
        s.maximumTiltDegrees = tilt;
        const std::vector<float> weights = {0.0f, 0.0f, 1.0f};
        return ApplyDisplacement(m, BoxProjection(), UniformMap(1.0f), weights, s, nullptr, TileFrame{});
    };
    EXPECT_EQ(flip(180.0f).trianglesTurningOver, 1u);
    EXPECT_EQ(flip(179.0f).trianglesTurningOver, 1u);

    // The same turn made by a vertex kept level at the base: it is eased like
    // any other, and stays level while it is.
    TriangleMesh m;
    m.vertices = {{{0, 0, 0}, {0, 0, 1}}, {{10, 0, 0}, {0, 0, 1}}, {{0, 10, 0}, Normalize(Vec3f{0, -1, -1})}};
    m.indices = {0, 1, 2};
    DisplacementSettings s = Plain(20.0f * std::sqrt(2.0f), 0.0f);
    s.preventFolds = true;
    s.base.enabled = true;
    const std::vector<float> weights = {0.0f, 0.0f, 1.0f};
    const DisplacementReport r =
        ApplyDisplacement(m, BoxProjection(), UniformMap(1.0f), weights, s, nullptr, TileFrame{});
    EXPECT_EQ(r.keptLevelAtBase, 1u);
    EXPECT_EQ(r.trianglesTurningOver, 1u);
    EXPECT_EQ(r.trianglesLeftTurned, 0u);
    // The move to y = -10 is halved twice: 10 - 20 / 4.
    EXPECT_NEAR(m.vertices[2].position.y, 5.0f, 1e-3f);
    EXPECT_EQ(r.foldVertices, 1u);
    EXPECT_EQ(m.vertices[2].position.z, 0.0f);
    EXPECT_EQ(r.foldFurtherThanBefore, 0u);
}

}  // namespace
}  // namespace ridgeforge::mesh
