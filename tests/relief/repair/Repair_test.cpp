#include "relief/repair/Repair.h"

#include <cmath>

#include <gtest/gtest.h>

#include "mesh/MeshHygiene.h"
#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "mesh/TestShapes.h"
#include "mesh/Weld.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::AddLooseTriangle;
using ridgeforge::test::AppendMesh;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeBox;
using ridgeforge::test::MakeGridBox;

namespace {

// A grid box of `n` 1 mm cells a side with a square of `hole` x `hole` cells
// taken out of the middle of its top face.
TriangleMesh BoxWithHole(std::uint32_t n, std::uint32_t hole) {
    TriangleMesh m = MakeGridBox({0, 0, 0}, {static_cast<float>(n), static_cast<float>(n), static_cast<float>(n)}, n);
    const std::uint32_t first = (n - hole) / 2;
    std::vector<std::uint32_t> kept;
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
        // The top face comes last; its cells run a (x) then b (y), two triangles each.
        const std::uint32_t top = 5 * n * n * 2;
        bool cut = false;
        if (t >= top) {
            const std::uint32_t cell = (t - top) / 2, a = cell / n, b = cell % n;
            cut = a >= first && a < first + hole && b >= first && b < first + hole;
        }
        if (!cut) kept.insert(kept.end(), m.indices.begin() + 3 * t, m.indices.begin() + 3 * t + 3);
    }
    m.indices = std::move(kept);
    RemoveUnusedVertices(m);
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// Every triangle with corners of its own, as an STL file holds them.
TriangleMesh Soup(const TriangleMesh& welded) {
    TriangleMesh m;
    for (const std::uint32_t i : welded.indices) {
        m.indices.push_back(static_cast<std::uint32_t>(m.vertices.size()));
        m.vertices.push_back(welded.vertices[i]);
    }
    m.RecomputeBounds();
    return m;
}

// What a part becomes when read from an STL file with the import's defaults.
TriangleMesh AsImported(const TriangleMesh& m) {
    StlImportResult result = ParseStl(EncodeBinaryStl(m, "damaged"), "damaged.stl", StlImportOptions{});
    EXPECT_TRUE(result.ok) << result.error;
    return result.mesh;
}

}  // namespace

TEST(Repair, ACleanPartIsGivenBackExactly) {
    TriangleMesh part = MakeTestSphere(12.0f);
    part.vertices[5].normal = {0.25f, 0.5f, 0.75f};  // not what a recompute gives
    const TriangleMesh before = part;
    std::vector<std::string> stages;
    const RepairReport r = RepairMesh(part, [&](const char* s) { stages.push_back(s); });
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(r.rounds, 0u);
    EXPECT_EQ(FormatRepairSummary(r), "Repair: nothing needed changing.\n");
    EXPECT_EQ(EncodeBinaryStl(part, ""), EncodeBinaryStl(before, ""));
    ASSERT_EQ(part.vertices.size(), before.vertices.size());
    for (std::size_t v = 0; v < part.vertices.size(); ++v) {
        EXPECT_EQ(part.vertices[v].position, before.vertices[v].position);
        EXPECT_EQ(part.vertices[v].normal, before.vertices[v].normal);
    }
    EXPECT_EQ(part.indices, before.indices);
    EXPECT_EQ(r.trianglesBefore, r.trianglesAfter);
    EXPECT_EQ(r.bodiesBefore, 1u);
    EXPECT_EQ(stages, (std::vector<std::string>{"Tidying the part", "Welding and filling small holes",
                                                "Fixing non-manifold edges", "Removing stray crumbs"}));

    TriangleMesh broken = before;
    broken.indices.pop_back();
    const RepairReport none = RepairMesh(broken, {});
    EXPECT_FALSE(none.changed);
    EXPECT_EQ(none.trianglesBefore, 0u);
}

TEST(Repair, DuplicateVerticesAloneNeedOnlyTheTidying) {
    TriangleMesh part = Soup(MakeBox({0, 0, 0}, {2, 3, 4}));
    const RepairReport r = RepairMesh(part, {});
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(r.rounds, 0u);
    EXPECT_EQ(part.vertices.size(), 8u);
    EXPECT_TRUE(IsClosedOrientedManifold(part));
    EXPECT_EQ(FormatRepairSummary(r),
              "Repair:\n  Vertices merged: 28\n"
              "  triangles 12 to 12; open edges 36 to 0; non-manifold edges 0 to 0; bodies 12 to 1\n");
}

TEST(Repair, BasicPassCountsAndText) {
    TriangleMesh m = MakeBox({0, 0, 0}, {1, 1, 1});
    std::swap(m.indices[1], m.indices[2]);                                          // one triangle turned over
    m.indices.insert(m.indices.end(), {m.indices[3], m.indices[4], m.indices[5]});  // a duplicate
    m.indices.insert(m.indices.end(), {0, 0, 1});                                   // a degenerate
    m.vertices.push_back({{9, 9, 9}, {}});                                          // unused
    const RepairBasicsReport r = RepairBasics(m, RepairBasicsOptions{});
    EXPECT_EQ(r.verticesMerged, 0u);
    EXPECT_EQ(r.degenerateRemoved, 1u);
    EXPECT_EQ(r.duplicatesRemoved, 1u);
    EXPECT_EQ(r.trianglesReoriented, 1u);
    EXPECT_EQ(r.unusedVerticesRemoved, 1u);
    EXPECT_FLOAT_EQ(r.weldToleranceUsed, 9e-6f);  // the unused vertex at 9 mm still sets it
    EXPECT_TRUE(IsClosedOrientedManifold(m));
    EXPECT_GT(m.SignedVolume(), 0.0f);
    EXPECT_EQ(FormatBasicRepairReport(r),
              "Repair:\n  Degenerate triangles removed: 1\n  Duplicate triangles removed: 1\n"
              "  Triangles reoriented: 1\n  Unused vertices removed: 1\n");

    // Exact welding only with a tolerance of 0; nothing at all when every switch is off.
    TriangleMesh near = Soup(MakeBox({0, 0, 0}, {1, 1, 1}));
    near.vertices[0].position.x += 1e-5f;
    RepairBasicsOptions exact;
    exact.weldTolerance = 0.0f;
    const RepairBasicsReport e = RepairBasics(near, exact);
    EXPECT_EQ(e.verticesMerged, 27u);
    EXPECT_EQ(e.weldToleranceUsed, 0.0f);
    TriangleMesh untouched = Soup(MakeBox({0, 0, 0}, {1, 1, 1}));
    const RepairBasicsReport off =
        RepairBasics(untouched, RepairBasicsOptions{false, -1.0f, false, false, false, false, false});
    EXPECT_FALSE(off.changed);
    EXPECT_EQ(untouched.vertices.size(), 36u);
    EXPECT_EQ(FormatBasicRepairReport(off), "Repair: nothing needed changing.\n");

    RepairBasicsReport big;
    big.changed = true;
    big.verticesMerged = 1234567;
    EXPECT_EQ(FormatBasicRepairReport(big), "Repair:\n  Vertices merged: 1,234,567\n");
}

TEST(Repair, SmallHolesAreFilledAndLargeOnesReported) {
    TriangleMesh small = BoxWithHole(10, 3);
    ASSERT_EQ(EdgeStatistics(small).openBoundaryEdges, 12u);
    const RepairReport s = RepairMesh(small, {});
    EXPECT_TRUE(s.changed);
    EXPECT_EQ(s.rounds, 1u);
    EXPECT_EQ(s.holesFilled, 1u);
    EXPECT_EQ(s.openAfter, 0u);
    EXPECT_EQ(s.holesLeftOpen, 0u);
    EXPECT_TRUE(IsClosedOrientedManifold(small));
    const std::string text = FormatRepairSummary(s);
    EXPECT_NE(text.find("  read back as a slicer reads it: 0 over-shared edges, 0 open, 0 facets with no area\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("; open edges 12 to 0;"), std::string::npos) << text;

    TriangleMesh large = BoxWithHole(20, 10);
    const TriangleMesh before = large;
    const RepairReport l = RepairMesh(large, {});
    EXPECT_EQ(l.holesLeftOpen, 1u);
    EXPECT_NEAR(l.largestOpenHoleMillimetres, 10.0f * std::sqrt(2.0f), 0.01f);
    EXPECT_EQ(l.openAfter, 40u);
    EXPECT_FALSE(l.changed);
    EXPECT_EQ(large.indices, before.indices);
    EXPECT_EQ(FormatRepairSummary(l),
              "Repair: nothing was changed; the part still has 40 open edges and 0 non-manifold edges.\n");

    // With something else to mend the repair changes the part but still says what is left open.
    TriangleMesh mixed = Soup(BoxWithHole(20, 10));
    const RepairReport m = RepairMesh(mixed, {});
    EXPECT_TRUE(m.changed);
    EXPECT_EQ(m.holesLeftOpen, 1u);
    EXPECT_EQ(m.openAfter, 40u);
    EXPECT_NE(FormatRepairSummary(m).find("; open edges "), std::string::npos);
}

TEST(Repair, ReadBackWeldsWhatASlicerWelds) {
    // A box at the origin whose corner 0 has a twin 1e-9 mm away used by one
    // triangle: the exact weld leaves the seam open, the import's tolerance closes it.
    TriangleMesh m = MakeBox({0, 0, 0}, {1, 1, 1});
    std::uint32_t origin = 0;
    for (std::uint32_t v = 0; v < m.vertices.size(); ++v) {
        if (m.vertices[v].position == Vec3f{0, 0, 0}) origin = v;
    }
    m.vertices.push_back({{1e-9f, 0, 0}, {}});
    for (std::uint32_t i = 0; i < m.indices.size(); ++i) {
        if (m.indices[i] == origin) {
            m.indices[i] = 8;
            break;
        }
    }
    ASSERT_GT(EdgeStatistics(m).openBoundaryEdges, 0u);
    AddLooseTriangle(m, {5, 5, 5}, {6, 5, 5}, {7, 5, 5});  // a facet with no area
    const SlicerReadBackReport r = CheckSlicerReadBack(m);
    EXPECT_EQ(r.trianglesWritten, 13u);
    EXPECT_EQ(r.trianglesReadBack, 13u);
    EXPECT_EQ(r.facetsWithNoArea, 1u);
    EXPECT_EQ(r.overSharedEdges, 0u);
    EXPECT_EQ(r.openEdges, 3u);  // the no-area facet's own edges
    EXPECT_EQ(m.vertices.size(), 11u);
    EXPECT_TRUE(m.boundsValid);

    TriangleMesh broken;
    broken.vertices.push_back({});
    broken.indices = {0, 0, 7};
    const SlicerReadBackReport none = CheckSlicerReadBack(broken);
    EXPECT_EQ(none.trianglesWritten, 0u);
    EXPECT_EQ(broken.indices, (std::vector<std::uint32_t>{0, 0, 7}));
}

TEST(Repair, DamagedPartsComeOutClosedAndManifold) {
    std::vector<std::pair<std::string, TriangleMesh>> parts;
    const TriangleMesh sphere = MakeTestSphere(8.0f);
    TriangleMesh holes = sphere;
    holes.indices.erase(holes.indices.begin() + 3 * 6000, holes.indices.begin() + 3 * 6001);
    holes.indices.erase(holes.indices.begin() + 3 * 2000, holes.indices.begin() + 3 * 2002);
    parts.emplace_back("holes", holes);
    TriangleMesh flipped = sphere;
    for (std::size_t t = 0; t < flipped.TriangleCount(); t += 7)
        std::swap(flipped.indices[3 * t + 1], flipped.indices[3 * t + 2]);
    parts.emplace_back("flipped", flipped);
    TriangleMesh duplicates = sphere;
    for (std::size_t t = 0; t < 300; t += 3) {
        duplicates.indices.insert(duplicates.indices.end(), {duplicates.indices[3 * t], duplicates.indices[3 * t + 1],
                                                             duplicates.indices[3 * t + 2]});
    }
    parts.emplace_back("duplicates", duplicates);
    TriangleMesh crumbs = sphere;
    TriangleMesh speck = MakeBox({20, 20, 20}, {20.2f, 20.2f, 20.2f});
    AppendMesh(crumbs, speck);
    parts.emplace_back("crumbs", crumbs);
    TriangleMesh shared = MakeGridBox({0, 0, 0}, {4, 4, 4}, 4);
    AppendMesh(shared, MakeGridBox({4, 4, 0}, {8, 8, 4}, 4));
    parts.emplace_back("non-manifold edges", shared);
    TriangleMesh skin = MakeGridBox({0, 0, 0}, {4, 4, 4}, 4);
    skin.indices.insert(skin.indices.end(), {skin.indices[6], skin.indices[8], skin.indices[7]});
    parts.emplace_back("double-skinned face", skin);

    // A hole whose border touches itself at one corner cannot be traced into
    // a loop by the cleanup: the repair says what it left.
    TriangleMesh pinched = AsImported([&] {
        TriangleMesh m = sphere;
        m.indices.erase(m.indices.begin() + 3 * 2000, m.indices.begin() + 3 * 2003);
        return m;
    }());
    const RepairReport p = RepairMesh(pinched, {});
    EXPECT_EQ(EdgeStatistics(pinched).openBoundaryEdges, p.openAfter);
    EXPECT_GT(p.openAfter, 0u);
    EXPECT_GT(p.holesLeftOpen, 0u);
    EXPECT_FALSE(p.changed);
    EXPECT_EQ(FormatRepairSummary(p),
              "Repair: nothing was changed; the part still has 7 open edges and 0 non-manifold edges.\n");

    for (auto& [name, damaged] : parts) {
        TriangleMesh part = AsImported(damaged);
        const RepairReport r = RepairMesh(part, {});
        const EdgeCounts edges = EdgeStatistics(part);
        EXPECT_TRUE(r.changed) << name;
        EXPECT_EQ(edges.openBoundaryEdges, r.openAfter) << name;
        EXPECT_EQ(edges.nonManifoldEdges, 0u) << name << "\n" << FormatRepairSummary(r);
        EXPECT_EQ(edges.openBoundaryEdges, 0u) << name << "\n" << FormatRepairSummary(r);
        EXPECT_TRUE(IsClosedOrientedManifold(part)) << name;
        EXPECT_GT(part.SignedVolume(), 0.0f) << name;
    }
}
