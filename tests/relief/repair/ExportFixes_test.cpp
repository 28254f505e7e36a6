#include "relief/repair/ExportFixes.h"

#include <random>

#include <gtest/gtest.h>

#include "mesh/TestShapes.h"
#include "mesh/Weld.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "relief/repair/NonManifoldEdges.h"
#include "relief/validation/SelfIntersections.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::AddLooseTriangle;
using ridgeforge::test::AppendMesh;
using ridgeforge::test::MakeBox;
using ridgeforge::test::MakeGridBox;
using ridgeforge::test::MakeGridPlate;

namespace {

ExportFixOptions Options(bool split, bool unfold, bool resolve, bool crumbs, std::int32_t rounds = 40,
                         float move = 1.0f) {
    return ExportFixOptions{split, unfold, resolve, crumbs, rounds, move};
}

std::size_t DistinctCrossings(const TriangleMesh& m) {
    std::vector<std::uint32_t> hits = SelfIntersectingTriangles(m, nullptr);
    std::sort(hits.begin(), hits.end());
    return static_cast<std::size_t>(std::unique(hits.begin(), hits.end()) - hits.begin());
}

// The far corner of the triangle across each edge of triangle t.
std::vector<std::uint32_t> FarCorners(const TriangleMesh& m, std::uint32_t t) {
    std::vector<std::uint32_t> far;
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(m);
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t a = m.indices[3 * t + k], b = m.indices[3 * t + (k + 1) % 3];
        for (const std::uint32_t u : nonmanifold::TrianglesOfEdge(edges, EdgeKey(a, b))) {
            if (u == t) continue;
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t w = m.indices[3 * u + c];
                if (w != a && w != b) far.push_back(w);
            }
        }
    }
    return far;
}

// A 1 mm grid plate with triangle 24 wound the wrong way and the far corners
// of its neighbours raised 0.1 mm: a sharp place that crosses nothing and
// does not lie on any neighbour.
TriangleMesh PlateWithSharpPlace(std::uint32_t& sharp) {
    TriangleMesh m = MakeGridPlate(6.0f, 6);
    sharp = 24;
    std::swap(m.indices[3 * sharp + 1], m.indices[3 * sharp + 2]);
    for (const std::uint32_t w : FarCorners(m, sharp)) m.vertices[w].position.z += 0.1f;
    return m;
}

// Two 10 mm grid boxes pushed 3 mm into each other: crossings that no
// bounded relaxation can part.
TriangleMesh InterpenetratingBoxes() {
    TriangleMesh m = MakeGridBox({0, 0, 0}, {10, 10, 10}, 5);
    AppendMesh(m, MakeGridBox({7, 2, 2}, {17, 8, 8}, 5));
    m.RecomputeBounds();
    return m;
}

}  // namespace

TEST(ExportFixes, WithEverySwitchOffOnlyTheNoAreaTurningRuns) {
    // A needle between two triangles above and one below.
    TriangleMesh m;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{2, 0, 0}, Vec3f{1, 0, 0}, Vec3f{1, 1, 0}, Vec3f{1, -1, 0}})
        m.vertices.push_back({p, {}});
    m.indices = {0, 1, 2, 2, 1, 3, 0, 2, 3, 1, 0, 4};
    std::vector<std::string> stages;
    const ExportFixReport r = FixMeshForExport(
        m, Options(false, false, false, false), [&](const char* s) { stages.push_back(s); }, 0);
    EXPECT_EQ(r.noAreaFound, 1u);
    EXPECT_EQ(r.noAreaTurned, 1u);
    EXPECT_EQ(r.noAreaLeft, 0u);
    EXPECT_FALSE(r.nonManifoldRan || r.crumbsRan || r.foldsRan || r.selfIntersectionsRan);
    EXPECT_EQ(r.verticesMoved + r.trianglesCollapsed + r.bodiesRemoved + r.verticesSplit, 0u);
    EXPECT_EQ(stages, (std::vector<std::string>{"Removing triangles with no area"}));
    const std::string text = FormatExportFixReport(r);
    const std::string first = "  triangles with no area: 1, 1 removed by turning an edge, 0 left\n  in ";
    EXPECT_EQ(text.substr(0, first.size()), first);
    EXPECT_EQ(text.find_first_not_of("0123456789", first.size()), text.size() - 4) << text;
    EXPECT_EQ(text.substr(text.size() - 4), " ms\n");

    // A broken index list is left alone with the zero report.
    TriangleMesh broken = m;
    broken.indices.push_back(99);
    const std::vector<std::uint32_t> before = broken.indices;
    const ExportFixReport none = FixMeshForExport(broken, Options(true, true, true, true), {}, 0);
    EXPECT_EQ(broken.indices, before);
    EXPECT_EQ(none.milliseconds, 0.0);
    EXPECT_FALSE(none.nonManifoldRan || none.crumbsRan);
}

TEST(ExportFixes, RoundsBelowOneActAsOneAndNegativeMovesAsZero) {
    TriangleMesh plate = MakeGridPlate(10.0f, 10);
    plate.vertices[60].position.x += 2.5f;  // folds lying flat on their neighbours
    const std::vector<Vec3f> before = fixes::SnapshotPositions(plate);
    const ExportFixReport r = FixMeshForExport(plate, Options(false, true, false, false, 0, -1.0f), {}, 0);
    EXPECT_TRUE(r.foldsRan);
    EXPECT_GT(r.foldedFound, 0u);
    EXPECT_EQ(r.foldRounds, 1);
    EXPECT_EQ(r.foldedLeft, r.foldedFound);
    EXPECT_GT(r.verticesMoved, 0u);  // their starts were recorded ...
    EXPECT_EQ(r.furthestMoveMillimetres, 0.0f);
    EXPECT_EQ(fixes::SnapshotPositions(plate), before);  // ... but none moved
    EXPECT_NE(FormatExportFixReport(r).find(" vertices moved, the furthest by 0.000 mm\n"), std::string::npos);

    // With a real move the same folds relax, each vertex within 1 mm of its start.
    TriangleMesh relaxed = MakeGridPlate(10.0f, 10);
    relaxed.vertices[60].position.x += 2.5f;
    const std::vector<Vec3f> start = fixes::SnapshotPositions(relaxed);
    const ExportFixReport moved = FixMeshForExport(relaxed, Options(false, true, false, false, 40, 1.0f), {}, 0);
    EXPECT_LT(moved.foldedLeft, moved.foldedFound);
    EXPECT_GT(moved.furthestMoveMillimetres, 0.0f);
    EXPECT_LE(moved.furthestMoveMillimetres, 1.0f);
    for (std::size_t v = 0; v < start.size(); ++v) {
        EXPECT_LE(Length(ToDouble(relaxed.vertices[v].position) - ToDouble(start[v])), 1.0) << v;
    }

    TriangleMesh boxes = InterpenetratingBoxes();
    const ExportFixReport once = FixMeshForExport(boxes, Options(false, false, true, false, -5, 0.5f), {}, 0);
    EXPECT_EQ(once.resolveRounds, 1);
}

TEST(ExportFixes, BodiesASplitFreesGoOnlyWithABodyCount) {
    // A 16 mm grid box with a 1 mm box on one vertical edge, and a second body far away.
    const auto build = [] {
        TriangleMesh m = MakeGridBox({0, 0, 0}, {16, 16, 16}, 16);
        AppendMesh(m, MakeBox({16, 16, 0}, {17, 17, 1}));
        AppendMesh(m, MakeGridBox({40, 0, 0}, {44, 4, 4}, 2));
        WeldExactVertices(m);
        m.RecomputeBounds();
        return m;
    };
    TriangleMesh m = build();
    ASSERT_EQ(CountBodies(m), 2u);
    ASSERT_EQ(CountNonManifoldEdges(m), 1u);
    const ExportFixReport r = FixMeshForExport(m, Options(true, false, false, false), {}, 2);
    EXPECT_EQ(r.nonManifoldFound, 1u);
    EXPECT_EQ(r.verticesSplit, 2u);
    EXPECT_EQ(r.nonManifoldLeft, 0u);
    EXPECT_EQ(r.bodiesRemoved, 1u);
    EXPECT_EQ(r.bodyTrianglesRemoved, 12u);
    EXPECT_EQ(CountBodies(m), 2u);
    EXPECT_EQ(
        FormatExportFixReport(r).rfind(
            "  non-manifold edges: 1, 1 stray bodies it freed removed (12 triangles), 2 vertices split, 0 left\n", 0),
        0u)
        << FormatExportFixReport(r);

    TriangleMesh kept = build();
    const ExportFixReport k = FixMeshForExport(kept, Options(true, false, false, false), {}, 0);
    EXPECT_EQ(k.bodiesRemoved, 0u);
    EXPECT_EQ(CountBodies(kept), 3u);
    EXPECT_EQ(EdgeStatistics(kept).nonManifoldEdges, 0u);

    // With the crumb step on but no body count, only volume decides.
    TriangleMesh crumbs = build();
    const ExportFixReport c = FixMeshForExport(crumbs, Options(true, false, false, true), {}, 0);
    EXPECT_TRUE(c.crumbsRan);
    EXPECT_EQ(c.bodiesRemoved, 0u);  // 1 mm^3 is above the 0.074 mm^3 crumb limit
    EXPECT_NE(FormatExportFixReport(c).find("  stray crumbs: none\n"), std::string::npos);
}

TEST(ExportFixes, SharpPlacesFarFromCrossingsStayExactly) {
    std::uint32_t sharp = 0;
    TriangleMesh m = PlateWithSharpPlace(sharp);
    ASSERT_TRUE(IsFoldedTriangle(m, BuildVertexAdjacency(m), sharp));
    ASSERT_EQ(DistinctCrossings(m), 0u);
    const std::vector<Vec3f> before = fixes::SnapshotPositions(m);
    const ExportFixReport r = FixMeshForExport(m, Options(false, true, true, false), {}, 0);
    EXPECT_EQ(r.sharpPlacesKept, 1u);
    EXPECT_EQ(r.foldedFound, 0u);
    EXPECT_EQ(r.foldRounds, 0);
    EXPECT_EQ(fixes::SnapshotPositions(m), before);
    EXPECT_NE(FormatExportFixReport(r).find(
                  "  folded triangles: none that cross anything (1 sharp places left exactly as they are)\n"
                  "  self-intersections: none\n"),
              std::string::npos)
        << FormatExportFixReport(r);

    // The same fold next to a crossing is found through the search even with
    // resolving off, relaxed, and nothing is ever collapsed.
    TriangleMesh near = PlateWithSharpPlace(sharp);
    const std::vector<std::uint32_t> far = FarCorners(near, sharp);
    Vec3f centre;
    for (int c = 0; c < 3; ++c) centre += near.vertices[near.indices[3 * 25 + c]].position;
    centre = centre / 3.0f;
    AddLooseTriangle(near, centre + Vec3f{-0.05f, 0, -0.5f}, centre + Vec3f{0.05f, 0, -0.5f},
                     centre + Vec3f{0, 0, 0.5f});
    ASSERT_GT(DistinctCrossings(near), 0u);
    const std::size_t triangles = near.TriangleCount();
    const ExportFixReport n = FixMeshForExport(near, Options(false, true, false, false), {}, 0);
    EXPECT_EQ(n.sharpPlacesKept, 0u);
    EXPECT_EQ(n.foldedFound, 1u);
    EXPECT_GT(n.foldRounds, 0);
    EXPECT_FALSE(n.selfIntersectionsRan);
    EXPECT_EQ(n.collapseAttempts, 0);
    EXPECT_EQ(n.trianglesCollapsed, 0u);
    EXPECT_EQ(near.TriangleCount(), triangles);
}

TEST(ExportFixes, ResolvingThatStallsEndsOnItsBestState) {
    // No move allowed: no round can do better, so the stage gives up after 12.
    TriangleMesh stuck = InterpenetratingBoxes();
    const std::size_t crossing = DistinctCrossings(stuck);
    ASSERT_GT(crossing, 0u);
    const ExportFixReport r = FixMeshForExport(stuck, Options(false, false, true, false, 40, 0.0f), {}, 0);
    EXPECT_EQ(r.selfIntersectingFound, crossing);
    EXPECT_EQ(r.resolveRounds, 12);
    EXPECT_GT(r.collapseAttempts, 0);
    EXPECT_EQ(r.selfIntersectingLeft, DistinctCrossings(stuck));
    EXPECT_NE(FormatExportFixReport(r).find("  self-intersecting triangles: " + std::to_string(crossing) +
                                            " relaxed in 12 round(s), then "),
              std::string::npos)
        << FormatExportFixReport(r);

    // With moves allowed the result is still the best state seen: what the
    // report leaves is what a fresh search finds, and no vertex went further
    // than the maximum.
    TriangleMesh moving = InterpenetratingBoxes();
    const ExportFixReport m = FixMeshForExport(moving, Options(false, false, true, false, 40, 1.0f), {}, 0);
    EXPECT_LE(m.selfIntersectingLeft, m.selfIntersectingFound);
    EXPECT_EQ(m.selfIntersectingLeft, DistinctCrossings(moving));
    EXPECT_LE(m.furthestMoveMillimetres, 1.0f);
}

TEST(ExportFixes, MostlyNoAreaMeshesStillGetACollapseTarget) {
    // A plate with four interior vertices split in place, each split leaving a
    // pair of no-area triangles that one zero-length collapse removes ...
    TriangleMesh m = MakeGridPlate(10.0f, 10);
    const std::uint32_t n = 10;
    for (const std::uint32_t v : {2 * 11 + 2, 2 * 11 + 6, 6 * 11 + 2, 6 * 11 + 6}) {
        const auto copy = static_cast<std::uint32_t>(m.vertices.size());
        m.vertices.push_back(m.vertices[v]);
        // The three triangles of v that reach the row above take the copy.
        for (const std::uint32_t t :
             {2 * (v / 11 * n + v % 11), 2 * (v / 11 * n + v % 11) + 1, 2 * (v / 11 * n + v % 11 - 1)}) {
            for (int c = 0; c < 3; ++c) {
                if (m.indices[3 * t + c] == v) m.indices[3 * t + c] = copy;
            }
        }
        m.indices.insert(m.indices.end(), {v - 1, v, copy, v, v + 1, copy});
    }
    ASSERT_EQ(EdgeStatistics(m).nonManifoldEdges, 0u);
    ASSERT_EQ(fixes::CountZeroAreaTriangles(m), 8u);
    // ... and, far away, a plate pressed flat onto its first row: 760 of its
    // 800 triangles have no area and none can be turned or collapsed.
    TriangleMesh flat = MakeGridPlate(20.0f, 20);
    for (std::uint32_t v = 0; v < 20 * 21; ++v) flat.vertices[v].position.y = 0.0f;
    for (Vertex& v : flat.vertices) v.position.x += 50.0f;
    AppendMesh(m, flat);
    m.RecomputeBounds();
    ASSERT_EQ(fixes::CountZeroAreaTriangles(m), 768u);
    ASSERT_GT(2 * 768u, m.TriangleCount());

    const ExportFixReport r = FixMeshForExport(m, Options(false, true, false, false), {}, 0);
    EXPECT_EQ(r.noAreaFound, 768u);
    EXPECT_EQ(r.noAreaTurned, 0u);
    EXPECT_LE(r.noAreaLeft, 760u);
    EXPECT_GE(r.trianglesCollapsed, 8u);
    EXPECT_EQ(fixes::CountZeroAreaTriangles(m), r.noAreaLeft);
    EXPECT_EQ(EdgeStatistics(m).nonManifoldEdges, 0u);
}

TEST(ExportFixes, ReportText) {
    ExportFixReport r;
    r.nonManifoldRan = true;
    r.nonManifoldFound = 5;
    r.bodiesRemoved = 2;
    r.bodyTrianglesRemoved = 24;
    r.doubleSkinnedPairsRemoved = 3;
    r.verticesSplit = 8;
    r.nonManifoldLeft = 1;
    r.foldsRan = true;
    r.foldedFound = 9;
    r.foldRounds = 4;
    r.foldedLeft = 2;
    r.selfIntersectionsRan = true;
    r.selfIntersectingFound = 30;
    r.resolveRounds = 12;
    r.collapseAttempts = 2;
    r.trianglesCollapsed = 40;
    r.selfIntersectingLeft = 6;
    r.noAreaFound = 10;
    r.noAreaTurned = 3;
    r.noAreaLeft = 4;
    r.verticesMoved = 77;
    r.furthestMoveMillimetres = 0.5f;
    r.milliseconds = 1234.56;
    EXPECT_EQ(
        FormatExportFixReport(r),
        "  non-manifold edges: 5, 2 stray bodies it freed removed (24 triangles), 3 double-skinned triangle pair(s) "
        "removed, 8 vertices split, 1 left\n"
        "  folded triangles: 9 relaxed in 4 round(s), 2 left\n"
        "  self-intersecting triangles: 30 relaxed in 12 round(s), then 40 tiny triangles collapsed where relaxing "
        "could not part them, 6 left\n"
        "  triangles with no area: 10, 3 removed by turning an edge, 3 collapsed away, 4 left\n"
        "  77 vertices moved, the furthest by 0.500 mm\n"
        "  in 1235 ms\n");
    r.crumbsRan = true;
    r.foldsLeftAsTheyAre = true;
    r.collapseAttempts = 0;
    EXPECT_EQ(FormatExportFixReport(r),
              "  non-manifold edges: 5, 3 double-skinned triangle pair(s) removed, 8 vertices split, 1 left\n"
              "  stray crumbs: 2 small bodies removed (24 triangles)\n"
              "  folded triangles: 9 left as they are (relaxing them put more of the surface through itself)\n"
              "  self-intersecting triangles: 30 relaxed in 12 round(s), 6 left\n"
              "  triangles with no area: 10, 3 removed by turning an edge, 3 collapsed away, 4 left\n"
              "  77 vertices moved, the furthest by 0.500 mm\n"
              "  in 1235 ms\n");
}

TEST(ExportFixes, OptionsRoundTripAndIgnoreUnfittingValues) {
    const ExportFixOptions written = Options(true, false, true, false, 17, 0.25f);
    const ridgeforge::JsonWriter writer = ridgeforge::JsonWriter::NewDocument();
    WriteExportFixOptions(writer, written);
    const nlohmann::json& j = *writer.Node();
    EXPECT_EQ(j.at("maximumRounds"), 17);
    EXPECT_TRUE(j.at("maximumRounds").is_number_integer());
    EXPECT_EQ(j.at("maximumMoveMillimetres"), 0.25);
    ExportFixOptions read = Options(false, true, false, true, 3, 9.0f);
    ReadExportFixOptions(ridgeforge::JsonReader(writer.document), read);
    EXPECT_EQ(read.splitNonManifoldEdges, true);
    EXPECT_EQ(read.unfoldTriangles, false);
    EXPECT_EQ(read.resolveSelfIntersections, true);
    EXPECT_EQ(read.removeCrumbs, false);
    EXPECT_EQ(read.maximumRounds, 17);
    EXPECT_EQ(read.maximumMoveMillimetres, 0.25f);

    auto odd = std::make_shared<nlohmann::json>(nlohmann::json::parse(
        R"({"splitNonManifoldEdges": 1, "unfoldTriangles": "yes", "maximumRounds": 2.5, "maximumMoveMillimetres": 2})"));
    ExportFixOptions kept = Options(false, true, false, true, 3, 9.0f);
    ReadExportFixOptions(ridgeforge::JsonReader(odd), kept);
    EXPECT_FALSE(kept.splitNonManifoldEdges);
    EXPECT_TRUE(kept.unfoldTriangles);
    EXPECT_EQ(kept.maximumRounds, 3);
    EXPECT_EQ(kept.maximumMoveMillimetres, 2.0f);
    auto tooBig = std::make_shared<nlohmann::json>(
        nlohmann::json::parse(R"({"maximumRounds": 5000000000, "removeCrumbs": false})"));
    ReadExportFixOptions(ridgeforge::JsonReader(tooBig), kept);
    EXPECT_EQ(kept.maximumRounds, 3);
    EXPECT_FALSE(kept.removeCrumbs);
}

TEST(ExportFixes, DamagedAndGeneratedPartsComeOutClosedAndManifold) {
    std::mt19937 random(7);
    std::vector<std::pair<std::string, TriangleMesh>> parts;
    // A sphere with vertices shoved sideways past their neighbours: folds and crossings.
    TriangleMesh sphere = MakeTestSphere(10.0f);
    std::uniform_int_distribution<std::size_t> pick(0, sphere.vertices.size() - 1);
    std::normal_distribution<float> shove(0.0f, 0.6f);
    for (int i = 0; i < 60; ++i) {
        Vec3f& p = sphere.vertices[pick(random)].position;
        p += Vec3f{shove(random), shove(random), shove(random)};
    }
    parts.emplace_back("shoved sphere", sphere);
    // A torus whose every vertex jitters by a third of its spacing.
    TriangleMesh torus = ridgeforge::test::MakeTorus(12.0f, 4.0f, 80, 40);
    std::uniform_real_distribution<float> jitter(-0.25f, 0.25f);
    for (Vertex& v : torus.vertices) v.position += Vec3f{jitter(random), jitter(random), jitter(random)};
    parts.emplace_back("jittered torus", torus);
    // A fat torus displaced outwards along its normals: near the axis the
    // relief of opposite sides passes through itself, as a relief in a narrow
    // hole does.
    for (const float depth : {0.6f, 1.1f}) {
        TriangleMesh narrow = ridgeforge::test::MakeTorus(3.0f, 2.0f, 90, 45);
        for (std::size_t i = 0; i < narrow.vertices.size(); ++i) {
            Vertex& v = narrow.vertices[i];
            const float bump = depth + 0.5f * std::sin(static_cast<float>(i % 45) * 1.7f) *
                                           std::cos(static_cast<float>(i / 45) * 0.9f);
            v.position += v.normal * bump;
        }
        parts.emplace_back("relief in a narrow hole " + std::to_string(depth), narrow);
    }
    // Two boxes on one edge, and a box with one face double-skinned.
    TriangleMesh boxes = MakeBox({0, 0, 0}, {1, 1, 1});
    AppendMesh(boxes, MakeBox({1, 1, 0}, {2, 2, 1}));
    WeldExactVertices(boxes);
    parts.emplace_back("boxes on an edge", boxes);
    // Two boxes welded face to face: the shared face is a double skin inside one solid.
    TriangleMesh skinned = MakeGridBox({0, 0, 0}, {5, 5, 5}, 4);
    AppendMesh(skinned, MakeGridBox({5, 0, 0}, {10, 5, 5}, 4));
    WeldExactVertices(skinned);
    parts.emplace_back("double skin", skinned);

    for (auto& [name, part] : parts) {
        part.RecomputeBounds();
        const std::size_t crossingBefore = DistinctCrossings(part);
        if (name.rfind("relief", 0) == 0) {
            EXPECT_GT(crossingBefore, 0u) << name;
        }
        const ExportFixReport r = FixMeshForExport(part, Options(true, true, true, true), {}, CountBodies(part));
        const EdgeCounts edges = EdgeStatistics(part);
        EXPECT_EQ(edges.nonManifoldEdges, 0u) << name;
        EXPECT_EQ(edges.openBoundaryEdges, 0u) << name;
        EXPECT_EQ(r.selfIntersectingLeft, 0u) << name << ": " << crossingBefore << " crossing before\n"
                                              << FormatExportFixReport(r);
        EXPECT_EQ(DistinctCrossings(part), 0u) << name;
        EXPECT_LE(r.furthestMoveMillimetres, 1.0f) << name;
    }
}
