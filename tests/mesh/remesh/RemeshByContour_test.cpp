#include "mesh/remesh/RemeshByContour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/remesh/ContourSurface.h"
#include "mesh/TestShapes.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

using test::MakeBox;

TriangleMesh Join(const TriangleMesh& a, const TriangleMesh& b) {
    TriangleMesh m = a;
    const auto offset = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), b.vertices.begin(), b.vertices.end());
    for (const std::uint32_t i : b.indices) m.indices.push_back(i + offset);
    m.RecomputeBounds();
    return m;
}

RemeshSettings CellOf(float cell) {
    RemeshSettings settings;
    settings.targetEdgeMillimetres = cell;
    return settings;
}

void ExpectClosedManifold(const TriangleMesh& mesh, const std::string& what) {
    const EdgeCounts counts = EdgeStatistics(mesh);
    EXPECT_GT(mesh.indices.size(), 0u) << what;
    EXPECT_EQ(counts.openBoundaryEdges, 0u) << what;
    EXPECT_EQ(counts.nonManifoldEdges, 0u) << what;
}

TEST(RemeshByContour, EveryClosedShapeGivesAClosedManifoldSurface) {
    struct Case {
        std::string name;
        TriangleMesh mesh;
        float cell;
    };
    std::vector<Case> cases;
    cases.push_back({"cube", MakeBox({0, 0, 0}, {20, 20, 20}), 1.0f});
    cases.push_back({"cylinder", MakeTestCylinder(6.0f, 15.0f), 0.7f});
    cases.push_back({"sphere", MakeTestSphere(8.0f), 0.6f});
    cases.push_back({"torus", test::MakeTorus(8.0f, 3.0f, 48, 24), 0.5f});
    cases.push_back(
        {"touching cubes", Join(MakeBox({0, 0, 0}, {10, 10, 10}), MakeBox({10, 0, 0}, {20, 10, 10})), 0.8f});
    cases.push_back({"thin wall", MakeBox({0, 0, 0}, {20, 0.3f, 15}), 0.5f});
    TriangleMesh stale = MakeBox({0, 0, 0}, {12, 12, 12});
    stale.boundsMax = {6, 6, 6};  // cached bounds that no longer fit the part
    cases.push_back({"stale bounds", stale, 0.5f});
    for (Case& c : cases) {
        const RemeshReport report = RemeshByContour(c.mesh, CellOf(c.cell), {});
        ASSERT_TRUE(report.failure.empty()) << c.name << ": " << report.failure;
        EXPECT_FALSE(report.cancelled) << c.name;
        ExpectClosedManifold(c.mesh, c.name);
        EXPECT_GT(c.mesh.SignedVolume(), 0.0f) << c.name;
    }
}

bool SameBytes(const TriangleMesh& a, const TriangleMesh& b) {
    return a.vertices.size() == b.vertices.size() && a.indices == b.indices &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(Vertex)) == 0 &&
           a.boundsValid == b.boundsValid && a.boundsMin == b.boundsMin && a.boundsMax == b.boundsMax;
}

TEST(RemeshByContour, CubeKeepsItsFacesFlatAndItsCornersSharp) {
    TriangleMesh cube = MakeBox({0, 0, 0}, {20, 20, 20});
    const RemeshReport report = RemeshByContour(cube, CellOf(1.0f), {});
    ASSERT_TRUE(report.failure.empty()) << report.failure;
    ExpectClosedManifold(cube, "cube");
    for (const Vertex& v : cube.vertices) {
        float offFace = 1e9f;
        for (int i = 0; i < 3; ++i)
            offFace = std::min({offFace, std::fabs(v.position[i]), std::fabs(v.position[i] - 20.0f)});
        ASSERT_EQ(offFace, 0.0f) << v.position.x << " " << v.position.y << " " << v.position.z;
    }
    EXPECT_FLOAT_EQ(cube.SignedVolume(), 8000.0f);
    EXPECT_EQ(report.trianglesBefore, 12u);
    EXPECT_EQ(report.trianglesAfter, cube.indices.size() / 3);
    EXPECT_EQ(report.bodiesBefore, 1u);
    EXPECT_EQ(report.strayBodiesRemoved, 0u);
    EXPECT_EQ(report.holeGridLines, 0u);
    EXPECT_EQ(report.missingCrossings, 0u);
    EXPECT_FLOAT_EQ(report.cellMillimetres, 1.0f);
    EXPECT_FALSE(report.cellRaised);
    EXPECT_FLOAT_EQ(report.sizeAfter[0], 20.0f);
    std::vector<std::string> names;
    for (const StageTime& s : report.stages) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Reading the surface", "Contouring", "Triangulating",
                                               "Projecting onto the original", "Rebuilding", "Dropping crumbs",
                                               "Normals", "Measuring the triangles"}));
    EXPECT_NE(FormatRemeshReport(report).find("12 -> " + std::to_string(report.trianglesAfter) +
                                              " triangles by dual contouring, cell 1.0000 mm\n"),
              std::string::npos);
}

TEST(RemeshByContour, OverlappingShellsGiveTheirUnion) {
    TriangleMesh shells = Join(MakeBox({0, 0, 0}, {10, 10, 10}), MakeBox({5, 5, 5}, {15, 15, 15}));
    const RemeshReport report = RemeshByContour(shells, CellOf(0.5f), {});
    ASSERT_TRUE(report.failure.empty()) << report.failure;
    ExpectClosedManifold(shells, "union");
    EXPECT_EQ(CountBodies(shells), 1u);
    EXPECT_NEAR(shells.SignedVolume(), 1875.0f, 2.0f);
    // Nothing of either shell's surface survives inside the other one.
    for (const Vertex& v : shells.vertices) {
        const Vec3f p = v.position;
        const bool insideBoth = p.x > 5.1f && p.x < 9.9f && p.y > 5.1f && p.y < 9.9f && p.z > 5.1f && p.z < 9.9f;
        ASSERT_FALSE(insideBoth);
    }
}

TEST(RemeshByContour, HolesAndThinPlacesAreCountedAndRepaired) {
    TriangleMesh holed = MakeBox({0, 0, 0}, {20, 20, 20});
    holed.indices.erase(holed.indices.begin() + 3, holed.indices.begin() + 6);  // half of the bottom face
    RemeshReport report = RemeshByContour(holed, CellOf(1.0f), {});
    ASSERT_TRUE(report.failure.empty()) << report.failure;
    EXPECT_GT(report.holeGridLines, 0u);
    ExpectClosedManifold(holed, "holed cube");
    EXPECT_NEAR(holed.SignedVolume(), 8000.0f, 80.0f);
    EXPECT_NE(FormatRemeshReport(report).find("the part is open ("), std::string::npos);

    // A plate thinner than a cell and lying between two node planes has no
    // inside node: nothing to contour, which is a failure, not a stop.
    TriangleMesh plate = MakeBox({0, 0, 0}, {20, 20, 0.3f});
    const TriangleMesh before = plate;
    report = RemeshByContour(plate, CellOf(1.0f), {});
    EXPECT_GT(report.thinPlaces, 0u);
    EXPECT_FALSE(report.cancelled);
    EXPECT_NE(report.failure.find("not a closed surface at this cell size"), std::string::npos) << report.failure;
    EXPECT_TRUE(SameBytes(plate, before));
    const std::string text = FormatRemeshReport(report);
    EXPECT_EQ(text.rfind("Remesh failed: ", 0), 0u) << text;
    EXPECT_EQ(text.find(" -> 0 triangles"), std::string::npos);

    // An open sheet encloses nothing either.
    TriangleMesh sheet;
    for (const Vec3f p : {Vec3f{0, 0, 5}, Vec3f{10, 0, 5}, Vec3f{10, 10, 6}, Vec3f{0, 10, 6}})
        sheet.vertices.push_back({p, {}});
    sheet.indices = {0, 1, 2, 0, 2, 3};
    sheet.RecomputeBounds();
    report = RemeshByContour(sheet, CellOf(0.5f), {});
    EXPECT_FALSE(report.cancelled);
    EXPECT_FALSE(report.failure.empty());
    EXPECT_EQ(sheet.indices.size(), 6u);
}

TEST(RemeshByContour, BadInputAndAStopLeaveTheMeshAsItWas) {
    TriangleMesh broken = MakeBox({0, 0, 0}, {5, 5, 5});
    broken.indices[4] = 99;
    const TriangleMesh brokenBefore = broken;
    RemeshReport report = RemeshByContour(broken, CellOf(1.0f), {});
    EXPECT_FALSE(report.failure.empty());
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(report.trianglesBefore, 12u);
    EXPECT_TRUE(SameBytes(broken, brokenBefore));

    TriangleMesh empty;
    report = RemeshByContour(empty, CellOf(1.0f), {});
    EXPECT_FALSE(report.failure.empty());
    TriangleMesh small = MakeBox({0, 0, 0}, {1, 1, 1});
    report = RemeshByContour(small, CellOf(std::numeric_limits<float>::infinity()), {});
    EXPECT_FALSE(report.failure.empty());
    EXPECT_EQ(small.indices.size(), 36u);
    small.vertices[3].position.y = std::numeric_limits<float>::quiet_NaN();
    report = RemeshByContour(small, CellOf(0.25f), {});
    EXPECT_NE(report.failure.find("not finite"), std::string::npos) << report.failure;

    TriangleMesh part = MakeTestSphere(5.0f);
    const TriangleMesh before = part;
    std::vector<std::string> asked;
    // A stage that runs long asks again under its own text; only the order counts here.
    const ProgressCallback stopAtContouring = [&asked](const std::string& stage, float fraction) {
        EXPECT_EQ(fraction, -1.0f);
        if (asked.empty() || asked.back() != stage) asked.push_back(stage);
        return stage != "Contouring";
    };
    report = RemeshByContour(part, CellOf(0.5f), stopAtContouring);
    EXPECT_TRUE(report.cancelled);
    EXPECT_TRUE(report.failure.empty());
    EXPECT_TRUE(SameBytes(part, before));
    EXPECT_EQ(asked, (std::vector<std::string>{"Reading the surface", "Contouring"}));
    EXPECT_EQ(FormatRemeshReport(report).rfind("Remesh cancelled: ", 0), 0u);

    const ProgressCallback stopAtProjection = [](const std::string& stage, float) {
        return stage != "Projecting onto the original";
    };
    report = RemeshByContour(part, CellOf(0.5f), stopAtProjection);
    EXPECT_TRUE(report.cancelled);
    EXPECT_TRUE(SameBytes(part, before));

    // "Rebuilding" comes too late to stop.
    const ProgressCallback refuseRebuilding = [](const std::string& stage, float) { return stage != "Rebuilding"; };
    report = RemeshByContour(part, CellOf(0.5f), refuseRebuilding);
    EXPECT_FALSE(report.cancelled);
    EXPECT_NE(part.indices, before.indices);
}

TEST(RemeshByContour, AStopAskedWithinAStageEndsTheRunThere) {
    // The callback takes longer than the loops' 10 ms between asks at the
    // start of one stage and answers false at its next call, which only a
    // loop inside that stage can make.
    const TriangleMesh before = MakeTestSphere(5.0f);
    for (const std::string stop :
         {"Reading the surface", "Contouring", "Triangulating", "Projecting onto the original"}) {
        TriangleMesh part = before;
        std::vector<std::string> asked;
        const ProgressCallback slowThenStop = [&asked, &stop](const std::string& stage, float fraction) {
            EXPECT_EQ(fraction, -1.0f);
            asked.push_back(stage);
            if (stage != stop) return true;
            if (std::count(asked.begin(), asked.end(), stop) > 1) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            return true;
        };
        const RemeshReport report = RemeshByContour(part, CellOf(0.1f), slowThenStop);
        EXPECT_TRUE(report.cancelled) << stop;
        EXPECT_TRUE(report.failure.empty()) << stop;
        EXPECT_TRUE(SameBytes(part, before)) << stop;
        ASSERT_GE(asked.size(), 2u) << stop;
        EXPECT_EQ(asked[asked.size() - 2], stop);
        EXPECT_EQ(asked.back(), stop);
    }
}

TEST(RemeshByContour, ALongPartRaisesTheCell) {
    TriangleMesh bar = MakeBox({0, 0, 0}, {500, 1, 1});
    const RemeshReport report = RemeshByContour(bar, CellOf(0.1f), {});
    ASSERT_TRUE(report.failure.empty()) << report.failure;
    EXPECT_TRUE(report.cellRaised);
    EXPECT_FLOAT_EQ(report.cellMillimetres, 500.0f / 4088.0f);
    EXPECT_LE(report.gridExtentMillimetres / report.cellMillimetres, 4088.0f + 3.0f + 0.5f);
    EXPECT_NE(FormatRemeshReport(report).find("mm (the finest this part's size allows)"), std::string::npos);
    ExpectClosedManifold(bar, "bar");
}

TEST(RemeshByContour, ProjectionAndDeviation) {
    TriangleMesh projected = MakeTestSphere(6.0f);
    TriangleMesh contoured = projected;
    RemeshSettings settings = CellOf(0.8f);
    const RemeshReport on = RemeshByContour(projected, settings, {});
    settings.dualContouring.preserveVolume = false;
    const RemeshReport off = RemeshByContour(contoured, settings, {});
    ASSERT_TRUE(on.failure.empty() && off.failure.empty());
    EXPECT_EQ(off.stages[3].name, "Measuring deviation");
    // Unprojected vertices sit off the facetted sphere; projected ones on it.
    EXPECT_GT(off.deviationMillimetres, 0.01f);
    EXPECT_LT(on.deviationMillimetres, 0.01f);
    EXPECT_EQ(projected.indices, contoured.indices);
}

TEST(RemeshByContour, LargestDeviationOverManyChunksIsTheSerialOne) {
    // Over 65,536 result vertices the deviations are searched in parallel
    // chunks; the largest must be the one a plain loop over every vertex finds.
    const TriangleMesh input = MakeTestSphere(20.0f);
    TriangleMesh contoured = input;
    RemeshSettings settings = CellOf(0.2f);
    settings.dualContouring.preserveVolume = false;
    const RemeshReport report = RemeshByContour(contoured, settings, {});
    ASSERT_TRUE(report.failure.empty()) << report.failure;
    ASSERT_GT(contoured.vertices.size(), 2u * 65536u);
    AabbTree tree;
    tree.Build(input);
    float largest = 0.0f;
    std::size_t where = 0;
    for (std::size_t v = 0; v < contoured.vertices.size(); ++v) {
        const ClosestHit hit = tree.ClosestPoint(input, contoured.vertices[v].position);
        ASSERT_TRUE(hit.found);
        if (hit.distance > largest) largest = hit.distance, where = v;
    }
    EXPECT_EQ(report.deviationMillimetres, largest);
    EXPECT_GE(where, 65536u);  // the largest lies beyond the first chunk
}

TEST(RemeshByContour, BodiesAndCrumbs) {
    // Two separate parts are both kept.
    TriangleMesh pair = Join(MakeBox({0, 0, 0}, {10, 10, 10}), MakeBox({14, 0, 0}, {17, 3, 3}));
    RemeshReport report = RemeshByContour(pair, CellOf(0.5f), {});
    ASSERT_TRUE(report.failure.empty());
    EXPECT_EQ(report.bodiesBefore, 2u);
    EXPECT_EQ(report.strayBodiesRemoved, 0u);
    EXPECT_EQ(CountBodies(pair), 2u);
    EXPECT_EQ(CountComponents(pair), 2u);

    // With removeDisconnected, a threshold of 0 keeps everything and 1 keeps the largest.
    TriangleMesh keepAll = Join(MakeBox({0, 0, 0}, {10, 10, 10}), MakeBox({14, 0, 0}, {17, 3, 3}));
    RemeshSettings settings = CellOf(0.5f);
    settings.dualContouring.removeDisconnected = true;
    settings.dualContouring.disconnectedThreshold = 0.0f;
    RemeshByContour(keepAll, settings, {});
    EXPECT_EQ(CountBodies(keepAll), 2u);
    TriangleMesh keepLargest = Join(MakeBox({0, 0, 0}, {10, 10, 10}), MakeBox({14, 0, 0}, {17, 3, 3}));
    settings.dualContouring.disconnectedThreshold = 1.0f;
    RemeshByContour(keepLargest, settings, {});
    EXPECT_EQ(CountBodies(keepLargest), 1u);
    EXPECT_NEAR(keepLargest.SignedVolume(), 1000.0f, 1.0f);
    ExpectClosedManifold(keepLargest, "largest");

    // A vertex no triangle uses is a piece for CountComponents, not a body.
    TriangleMesh loose = MakeBox({0, 0, 0}, {1, 1, 1});
    loose.vertices.push_back({});
    EXPECT_EQ(CountComponents(loose), 2u);
    EXPECT_EQ(CountBodies(loose), 1u);
}

TEST(RemeshByContour, CountsThatWouldWrapAreRefused) {
    EXPECT_TRUE(ContourCountRefusal(0x7ffffffeu, 0xfffffffeu, 0xfffffffeu, 0xffffffffu, 0xffffffffu / 6).empty());
    EXPECT_NE(ContourCountRefusal(0x7fffffffu, 0, 0, 0, 0).find("too many triangles"), std::string::npos);
    EXPECT_FALSE(ContourCountRefusal(0, 0xffffffffu, 0, 0, 0).empty());
    EXPECT_FALSE(ContourCountRefusal(0, 0, 0xffffffffu, 0, 0).empty());
    EXPECT_FALSE(ContourCountRefusal(0, 0, 0, 0x100000000u, 0).empty());
    EXPECT_FALSE(ContourCountRefusal(0, 0, 0, 0, 0xffffffffu / 6 + 1).empty());
}

}  // namespace
}  // namespace ridgeforge::mesh
