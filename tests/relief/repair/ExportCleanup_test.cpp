#include "relief/repair/ExportCleanup.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "mesh/TestShapes.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeBox;

namespace {

ExportCleanupOptions WithoutFilling() {
    ExportCleanupOptions options;
    options.fillHoles = false;
    return options;
}

// A closed slab 1 mm thick whose top and bottom are the rectangle grid of xs x ys,
// with the listed top cells (column, row) left out as holes.
TriangleMesh SlabWithHoles(const std::vector<float>& xs, const std::vector<float>& ys,
                           const std::vector<std::pair<int, int>>& holes) {
    TriangleMesh m;
    const int nx = static_cast<int>(xs.size()), ny = static_cast<int>(ys.size());
    const auto id = [&](int i, int j, int layer) { return static_cast<std::uint32_t>((layer * ny + j) * nx + i); };
    for (int layer = 0; layer < 2; ++layer) {
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) m.vertices.push_back({{xs[i], ys[j], layer == 0 ? 0.0f : -1.0f}, {}});
        }
    }
    for (int j = 0; j + 1 < ny; ++j) {
        for (int i = 0; i + 1 < nx; ++i) {
            if (std::find(holes.begin(), holes.end(), std::pair{i, j}) == holes.end()) {
                m.indices.insert(m.indices.end(), {id(i, j, 0), id(i + 1, j, 0), id(i + 1, j + 1, 0), id(i, j, 0),
                                                   id(i + 1, j + 1, 0), id(i, j + 1, 0)});
            }
            m.indices.insert(m.indices.end(), {id(i, j, 1), id(i + 1, j + 1, 1), id(i + 1, j, 1), id(i, j, 1),
                                               id(i, j + 1, 1), id(i + 1, j + 1, 1)});
        }
    }
    // The border, counter-clockwise seen from above, walled down to the bottom.
    std::vector<std::pair<int, int>> border;
    for (int i = 0; i + 1 < nx; ++i) border.emplace_back(i, 0);
    for (int j = 0; j + 1 < ny; ++j) border.emplace_back(nx - 1, j);
    for (int i = nx - 1; i > 0; --i) border.emplace_back(i, ny - 1);
    for (int j = ny - 1; j > 0; --j) border.emplace_back(0, j);
    for (std::size_t k = 0; k < border.size(); ++k) {
        const auto [pi, pj] = border[k];
        const auto [qi, qj] = border[(k + 1) % border.size()];
        m.indices.insert(m.indices.end(),
                         {id(pi, pj, 0), id(pi, pj, 1), id(qi, qj, 1), id(pi, pj, 0), id(qi, qj, 1), id(qi, qj, 0)});
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

}  // namespace

TEST(ExportCleanup, CleanMeshIsLeftAsItIs) {
    TriangleMesh box = MakeBox({0, 0, 0}, {10, 10, 10});
    const TriangleMesh before = box;
    const ExportCleanupReport r = CleanupForExport(box, 1e-3f, ExportCleanupOptions{});
    EXPECT_EQ(r.passes, 0u);
    EXPECT_TRUE(r.vertexOrigins.empty() && r.triangleOrigins.empty());
    EXPECT_EQ(box.indices, before.indices);
    EXPECT_EQ(box.vertices.size(), before.vertices.size());
    EXPECT_FLOAT_EQ(r.toleranceMillimetres, 1e-3f);
    EXPECT_EQ(FormatExportCleanupReport(r), "nothing to clean up");
    // A broken mesh is refused, keeping only the tolerance.
    TriangleMesh broken = before;
    broken.indices.pop_back();
    const ExportCleanupReport refused = CleanupForExport(broken, 2e-3f, ExportCleanupOptions{});
    EXPECT_EQ(broken.indices.size(), before.indices.size() - 1);
    EXPECT_FLOAT_EQ(refused.toleranceMillimetres, 2e-3f);
    EXPECT_EQ(FormatExportCleanupReport(refused), "nothing to clean up");
}

TEST(ExportCleanup, WeldCollapsesAndRefusals) {
    // A 2 x 2 plate whose middle vertex lies on the edge from vertex 1 to vertex 5:
    // triangle (1, 5, 4) has zero area; its shortest edge (5, 4) has two common
    // neighbours (1 and 8), so 4 joins 5 and triangles 3 and 6 collapse.
    TriangleMesh plate = ridgeforge::test::MakeGridPlate(2.0f, 2);
    plate.vertices[4].position = {1.5f, 0.5f, 0.0f};
    const ExportCleanupReport r = CleanupForExport(plate, 1.5e-4f, WithoutFilling());
    EXPECT_EQ(r.passes, 1u);
    EXPECT_EQ(r.verticesMerged, 1u);
    EXPECT_EQ(r.collapsedTrianglesDropped, 2u);
    EXPECT_EQ(r.vertexOrigins, (std::vector<std::uint32_t>{0, 1, 2, 3, 5, 6, 7, 8}));
    EXPECT_EQ(r.triangleOrigins, (std::vector<std::uint32_t>{0, 1, 2, 4, 5, 7}));
    EXPECT_EQ(FormatExportCleanupReport(r),
              "merged 1 vertices (tolerance 1.50e-04 mm), dropped 2 collapsed triangles in 1 pass(es); "
              "0 collapses refused by the link condition, 0 zero-area triangles left");
    // Exactly zero area is collapsed with the weld off as well.
    TriangleMesh unwelded = ridgeforge::test::MakeGridPlate(2.0f, 2);
    unwelded.vertices[4].position = {1.5f, 0.5f, 0.0f};
    ExportCleanupOptions off = WithoutFilling();
    off.weldCollapsedTriangles = false;
    EXPECT_EQ(CleanupForExport(unwelded, 1.0f, off).verticesMerged, 1u);

    // A short edge on the plate's open border: its ends share one neighbour.
    TriangleMesh border = ridgeforge::test::MakeGridPlate(2.0f, 2);
    border.vertices[1].position = {0.001f, 0.0f, 0.0f};
    TriangleMesh borderOff = border;
    const ExportCleanupReport refused = CleanupForExport(border, 0.01f, WithoutFilling());
    EXPECT_EQ(refused.collapsesRefused, 1u);
    EXPECT_EQ(refused.verticesMerged, 0u);
    EXPECT_EQ(refused.zeroAreaTrianglesLeft, 1u);
    EXPECT_TRUE(refused.vertexOrigins.empty());
    EXPECT_NE(FormatExportCleanupReport(refused).find(
                  "1 collapses refused by the link condition, 1 zero-area triangles left"),
              std::string::npos);
    // With the weld off the short edge is no candidate at all.
    const ExportCleanupReport untouched = CleanupForExport(borderOff, 0.01f, off);
    EXPECT_EQ(untouched.passes, 0u);
    EXPECT_EQ(untouched.zeroAreaTrianglesLeft, 0u);
}

namespace {

// The most triangles any edge of the mesh lies on.
std::size_t MostTrianglesOnAnEdge(const TriangleMesh& m) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> uses;
    for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = m.indices[3 * t + k], b = m.indices[3 * t + (k + 1) % 3];
            ++uses[{std::min(a, b), std::max(a, b)}];
        }
    }
    std::size_t most = 0;
    for (const auto& [edge, count] : uses) most = std::max(most, count);
    return most;
}

}  // namespace

TEST(ExportCleanup, AWeldNeverPutsAThirdTriangleOnAnEdge) {
    // The short edge 0-1 bounds one triangle (0, 1, 2). Vertex 3 is next to
    // both ends without a triangle on the edge: the edge 0-3 carries a flat
    // triangle and a fin standing up from it, 1-3 one more triangle. The ends
    // have two common neighbours (2 and 3), but joining them would put three
    // triangles on the edge 0-3.
    TriangleMesh fin;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{0.001f, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, -1, 0}, Vec3f{-1, -0.5f, 0},
                          Vec3f{0.0005f, -0.5f, 0.5f}, Vec3f{1, -0.5f, 0}}) {
        fin.vertices.push_back({p, {}});
    }
    fin.indices = {0, 1, 2, 0, 4, 3, 0, 3, 5, 1, 3, 6};
    fin.RecomputeBounds();
    const ExportCleanupReport r = CleanupForExport(fin, 0.01f, WithoutFilling());
    EXPECT_EQ(r.verticesMerged, 0u);
    EXPECT_EQ(r.collapsesRefused, 1u);
    EXPECT_EQ(r.zeroAreaTrianglesLeft, 1u);
    EXPECT_EQ(MostTrianglesOnAnEdge(fin), 2u);

    // Clusters of short edges on a closed torus: every neighbour of a chosen
    // vertex drawn (or not) to within a thousandth of its distance. Joins made
    // earlier in a pass change what the later ones see; the result stays a
    // closed, consistently wound surface every time, and something is joined.
    std::uint64_t merged = 0;
    for (std::uint32_t draw = 0; draw < 40; ++draw) {
        TriangleMesh torus = ridgeforge::test::MakeTorus(10.0f, 4.0f, 24, 12);
        std::mt19937 random(draw);
        for (int spot = 0; spot < 40; ++spot) {
            const std::uint32_t centre = torus.indices[3 * (random() % torus.TriangleCount())];
            const Vec3f c = torus.vertices[centre].position;
            for (std::size_t i = 0; i < torus.indices.size(); ++i) {
                if (torus.indices[i] != centre) continue;
                for (std::size_t j = 1; j < 3; ++j) {
                    if (random() % 2 == 0) continue;
                    Vec3f& p = torus.vertices[torus.indices[i - i % 3 + (i % 3 + j) % 3]].position;
                    p = c + (p - c) * 0.001f;
                }
            }
        }
        torus.RecomputeBounds();
        const ExportCleanupReport weld = CleanupForExport(torus, 0.01f, WithoutFilling());
        merged += weld.verticesMerged;
        EXPECT_EQ(MostTrianglesOnAnEdge(torus), 2u) << "draw " << draw;
        EXPECT_TRUE(IsClosedOrientedManifold(torus)) << "draw " << draw;
    }
    EXPECT_GT(merged, 0u);

    // A double cone whose rim edges are all shorter than the tolerance: the
    // joins run along the rim, each growing the class the next one reads.
    TriangleMesh cone;
    const std::uint32_t rim = 2000;
    for (std::uint32_t i = 0; i < rim; ++i) {
        const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(rim);
        cone.vertices.push_back({{0.01f * std::cos(a), 0.01f * std::sin(a), 0.0f}, {}});
    }
    cone.vertices.push_back({{0, 0, 5}, {}});
    cone.vertices.push_back({{0, 0, -5}, {}});
    for (std::uint32_t i = 0; i < rim; ++i) {
        const std::uint32_t j = (i + 1) % rim;
        cone.indices.insert(cone.indices.end(), {i, j, rim, j, i, rim + 1});
    }
    cone.RecomputeBounds();
    const ExportCleanupReport rimWeld = CleanupForExport(cone, 1e-4f, WithoutFilling());
    EXPECT_GT(rimWeld.verticesMerged, 0u);
    EXPECT_EQ(MostTrianglesOnAnEdge(cone), 2u);
    EXPECT_TRUE(IsClosedOrientedManifold(cone));
}

TEST(ExportCleanup, RepeatedCornersAndUnusedVertices) {
    TriangleMesh box = MakeBox({0, 0, 0}, {10, 10, 10});
    box.vertices.push_back({{50, 50, 50}, {}});  // used by no triangle
    box.indices.insert(box.indices.end(), {0, 0, 1});
    const ExportCleanupReport r = CleanupForExport(box, 1e-3f, ExportCleanupOptions{});
    EXPECT_EQ(r.passes, 0u);
    EXPECT_EQ(r.collapsedTrianglesDropped, 1u);
    EXPECT_EQ(box.TriangleCount(), 12u);
    ASSERT_EQ(box.vertices.size(), 9u);
    EXPECT_EQ(box.vertices[8].position, (Vec3f{50, 50, 50}));
    EXPECT_EQ(r.vertexOrigins.size(), 9u);
    EXPECT_EQ(r.triangleOrigins.size(), 12u);
    EXPECT_EQ(r.triangleOrigins.back(), 11u);
    EXPECT_TRUE(IsClosedOrientedManifold(box));
}

TEST(ExportCleanup, SmallHolesAreFilled) {
    // A box missing one triangle: one fill triangle closes it.
    TriangleMesh box = MakeBox({0, 0, 0}, {3, 3, 3});
    box.indices.erase(box.indices.begin() + 6, box.indices.begin() + 9);
    TriangleMesh unfilled = box;
    const ExportCleanupReport r = CleanupForExport(box, 1e-3f, ExportCleanupOptions{});
    EXPECT_EQ(r.holesFilled, 1u);
    EXPECT_EQ(r.fillTriangles, 1u);
    EXPECT_TRUE(IsClosedOrientedManifold(box));
    ASSERT_EQ(r.triangleOrigins.size(), 12u);
    EXPECT_EQ(r.vertexOrigins.size(), 8u);
    EXPECT_NE(FormatExportCleanupReport(r).find("; filled 1 hole(s) with 1 triangles (largest "), std::string::npos);
    // With filling off the hole is neither traced nor counted.
    const ExportCleanupReport off = CleanupForExport(unfilled, 1e-3f, WithoutFilling());
    EXPECT_EQ(off.holesLeftOpen, 0u);
    EXPECT_EQ(unfilled.TriangleCount(), 11u);
    EXPECT_EQ(FormatExportCleanupReport(off), "nothing to clean up");

    // A cylinder without its top cap: a 64-gon takes 62 triangles, each taking
    // the input triangle of the edge where the trace began.
    TriangleMesh open = MakeTestCylinder(1.5f, 4.0f);
    std::vector<std::uint32_t> kept;
    for (std::size_t t = 0; t < open.TriangleCount(); ++t) {
        const std::uint32_t* c = &open.indices[3 * t];
        if (c[0] != 1 && c[1] != 1 && c[2] != 1) kept.insert(kept.end(), c, c + 3);
    }
    open.indices = kept;
    const ExportCleanupReport cap = CleanupForExport(open, 1e-4f, ExportCleanupOptions{});
    EXPECT_EQ(cap.fillTriangles, 62u);
    EXPECT_TRUE(IsClosedOrientedManifold(open));
    EXPECT_NEAR(cap.largestFilledHoleMillimetres, 3.0f * 1.41421f, 0.01f);
    const std::uint32_t origin = cap.triangleOrigins.back();
    EXPECT_EQ(std::count(cap.triangleOrigins.end() - 62, cap.triangleOrigins.end(), origin), 62);
    EXPECT_LT(origin, 192u);
}

TEST(ExportCleanup, HoleSizeLimits) {
    const std::vector<std::pair<int, int>> middle = {{1, 1}};
    // A slit 20 x 0.3 mm: its width measure is under 0.5 mm, so it is filled.
    TriangleMesh slit = SlabWithHoles({0, 5, 25, 30}, {0, 5, 5.3f, 10}, middle);
    TriangleMesh slitNarrowLimit = slit;
    const ExportCleanupReport filled = CleanupForExport(slit, 1e-4f, ExportCleanupOptions{});
    EXPECT_EQ(filled.holesFilled, 1u);
    EXPECT_EQ(filled.fillTriangles, 2u);
    EXPECT_TRUE(IsClosedOrientedManifold(slit));
    ExportCleanupOptions narrow;
    narrow.maximumSlitWidthMillimetres = 0.25f;
    EXPECT_EQ(CleanupForExport(slitNarrowLimit, 1e-4f, narrow).holesLeftOpen, 1u);

    // An 8 mm square: 11.31 mm across and 4 mm wide, left open.
    TriangleMesh square = SlabWithHoles({0, 5, 13, 18}, {0, 5, 13, 18}, middle);
    TriangleMesh squareLargerLimit = square;
    const ExportCleanupReport open = CleanupForExport(square, 1e-4f, ExportCleanupOptions{});
    EXPECT_EQ(open.holesLeftOpen, 1u);
    EXPECT_EQ(open.holesFilled, 0u);
    EXPECT_NEAR(open.largestOpenHoleMillimetres, 11.3137f, 1e-3f);
    const std::string text = FormatExportCleanupReport(open);
    const std::string ending = "; left 1 hole(s) open (largest 11.31 mm across; too large to close by guessing)";
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
    ExportCleanupOptions larger;
    larger.maximumHoleMillimetres = 11.5f;
    EXPECT_EQ(CleanupForExport(squareLargerLimit, 1e-4f, larger).holesFilled, 1u);
    EXPECT_TRUE(IsClosedOrientedManifold(squareLargerLimit));

    // Two 3 mm holes pinched at one vertex: neither loop can be traced.
    TriangleMesh pinched = SlabWithHoles({0, 5, 8, 11, 16}, {0, 5, 8, 11, 16}, {{1, 1}, {2, 2}});
    const std::size_t triangles = pinched.TriangleCount();
    const ExportCleanupReport r = CleanupForExport(pinched, 1e-4f, ExportCleanupOptions{});
    EXPECT_EQ(r.holesFilled, 0u);
    EXPECT_GE(r.holesLeftOpen, 1u);
    EXPECT_EQ(pinched.TriangleCount(), triangles);
}

TEST(ExportCleanup, NonConvexHoleFillsWithoutFolds) {
    // An L-shaped hole of three 1 mm cells: 8 boundary vertices, two runs of
    // three in a line and one reflex corner.
    TriangleMesh slab = SlabWithHoles({0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, {{1, 1}, {2, 1}, {1, 2}});
    const std::size_t before = slab.TriangleCount();
    const ExportCleanupReport r = CleanupForExport(slab, 1e-4f, ExportCleanupOptions{});
    EXPECT_EQ(r.fillTriangles, 6u);
    EXPECT_TRUE(IsClosedOrientedManifold(slab));
    // Every fill triangle faces up like the top it closes, with real area.
    for (std::size_t t = before; t < slab.TriangleCount(); ++t) {
        const Vec3f a = slab.vertices[slab.indices[3 * t]].position,
                    b = slab.vertices[slab.indices[3 * t + 1]].position,
                    c = slab.vertices[slab.indices[3 * t + 2]].position;
        EXPECT_GT(Cross(b - a, c - a).z, 0.5f) << t;
    }
}

TEST(ExportCleanup, BoundaryLoopMeasures) {
    TriangleMesh slit = SlabWithHoles({0, 5, 25, 30}, {0, 5, 5.3f, 10}, {{1, 1}});
    std::uint64_t untraced = 0;
    const std::vector<BoundaryLoop> loops = FindBoundaryLoops(slit, untraced);
    EXPECT_EQ(untraced, 0u);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0].vertices.size(), 4u);
    EXPECT_NEAR(loops[0].acrossMillimetres, std::sqrt(400.0f + 0.09f), 1e-3f);
    EXPECT_NEAR(loops[0].widthMillimetres, 2 * 6.0f / 40.6f, 1e-4f);
}

// Two open boxes whose rims meet at one shared corner, (8, 8, 8): an 8 mm box
// without its top and a 12 x 6 x 4 mm box without its bottom. Every walk
// round the rims runs into the pinch, so no loop can be traced.
TriangleMesh PinchedRims() {
    TriangleMesh m = MakeBox({0, 0, 0}, {8, 8, 8});
    m.indices.erase(m.indices.begin() + 6, m.indices.begin() + 12);
    TriangleMesh upper = MakeBox({8, 8, 8}, {20, 14, 12});
    upper.indices.erase(upper.indices.begin(), upper.indices.begin() + 6);
    ridgeforge::test::AppendMesh(m, upper);
    for (std::uint32_t& i : m.indices) {
        if (i == 8) i = 7;  // the upper box's low corner is the lower box's high one
    }
    return m;
}

TEST(ExportCleanup, APinchedBoundaryIsMeasuredNotReadAsNothing) {
    const TriangleMesh pinched = PinchedRims();
    std::uint64_t untraced = 0;
    float across = -1.0f;
    EXPECT_TRUE(FindBoundaryLoops(pinched, untraced, &across).empty());
    // One group of open edges, however many walks broke at the pinch; its box
    // runs from (0, 0, 8) to (20, 14, 8).
    EXPECT_EQ(untraced, 1u);
    EXPECT_NEAR(across, std::sqrt(20.0f * 20.0f + 14.0f * 14.0f), 1e-4f);

    // Without a pinch there is nothing untraced to measure.
    TriangleMesh open = MakeBox({0, 0, 0}, {8, 8, 8});
    open.indices.resize(open.indices.size() - 6);
    untraced = 0;
    EXPECT_EQ(FindBoundaryLoops(open, untraced, &across).size(), 1u);
    EXPECT_EQ(untraced, 0u);
    EXPECT_EQ(across, 0.0f);

    // The cleanup reports the pinched boundary as one hole of that size.
    TriangleMesh cleaned = pinched;
    const ExportCleanupReport report = CleanupForExport(cleaned, 0.0f, ExportCleanupOptions{});
    EXPECT_EQ(report.holesFilled, 0u);
    EXPECT_EQ(report.holesLeftOpen, 1u);
    EXPECT_NEAR(report.largestOpenHoleMillimetres, std::sqrt(596.0f), 1e-4f);
    EXPECT_NE(FormatExportCleanupReport(report).find("left 1 hole(s) open (largest 24.41 mm across;"),
              std::string::npos)
        << FormatExportCleanupReport(report);
}

TEST(ExportCleanup, SortEdgeKeysIsAStableSort) {
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> keys;
    for (int i = 0; i < 5000; ++i) {
        // Few distinct values spread over all four digits, so that ties are common.
        const std::uint64_t k = random() % 40;
        keys.push_back((k * 0x0001000300050007ull) ^ (k << 61));
    }
    std::vector<std::uint32_t> corners(keys.size());
    for (std::uint32_t i = 0; i < corners.size(); ++i) corners[i] = i;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> expected;
    for (std::size_t i = 0; i < keys.size(); ++i) expected.emplace_back(keys[i], corners[i]);
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    SortEdgeKeys(keys, corners);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(keys[i], expected[i].first);
        ASSERT_EQ(corners[i], expected[i].second);
    }
}

TEST(ExportCleanup, OptionsRoundTripThroughJson) {
    const ExportCleanupOptions defaults;
    EXPECT_TRUE(defaults.weldCollapsedTriangles && defaults.fillHoles);
    EXPECT_EQ(defaults.maximumHoleMillimetres, 5.0f);
    EXPECT_EQ(defaults.maximumSlitWidthMillimetres, 0.5f);

    ExportCleanupOptions changed;
    changed.weldCollapsedTriangles = false;
    changed.fillHoles = false;
    changed.maximumHoleMillimetres = 7.25f;
    changed.maximumSlitWidthMillimetres = 0.1f;
    const ridgeforge::JsonWriter writer = ridgeforge::JsonWriter::NewDocument();
    WriteExportCleanupOptions(writer, changed);
    EXPECT_EQ((*writer.document)["maximumSlitWidthMillimetres"].dump(), "0.1");
    ExportCleanupOptions read;
    ReadExportCleanupOptions(ridgeforge::JsonReader(writer.document), read);
    EXPECT_FALSE(read.weldCollapsedTriangles);
    EXPECT_FALSE(read.fillHoles);
    EXPECT_EQ(read.maximumHoleMillimetres, 7.25f);
    EXPECT_EQ(read.maximumSlitWidthMillimetres, 0.1f);

    // Integers count as sizes; a switch written as a number, or a size as text, is ignored.
    auto document = std::make_shared<nlohmann::json>(nlohmann::json::parse(
        R"({"weldCollapsedTriangles": 0, "fillHoles": false, "maximumHoleMillimetres": 3, "maximumSlitWidthMillimetres": "1"})"));
    ExportCleanupOptions mixed;
    ReadExportCleanupOptions(ridgeforge::JsonReader(document), mixed);
    EXPECT_TRUE(mixed.weldCollapsedTriangles);
    EXPECT_FALSE(mixed.fillHoles);
    EXPECT_EQ(mixed.maximumHoleMillimetres, 3.0f);
    EXPECT_EQ(mixed.maximumSlitWidthMillimetres, 0.5f);
}
