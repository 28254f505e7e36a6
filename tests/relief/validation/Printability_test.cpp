#include "relief/validation/Printability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::MakeBox;

namespace {

// Boxes joined into one mesh; overlapping boxes print as their union.
TriangleMesh Boxes(std::initializer_list<std::pair<Vec3f, Vec3f>> boxes) {
    TriangleMesh all;
    for (const auto& [lo, hi] : boxes) {
        const TriangleMesh box = MakeBox(lo, hi);
        const auto base = static_cast<std::uint32_t>(all.vertices.size());
        all.vertices.insert(all.vertices.end(), box.vertices.begin(), box.vertices.end());
        for (std::uint32_t i : box.indices) all.indices.push_back(base + i);
    }
    all.RecomputeBounds();
    all.RecomputeNormals();
    return all;
}

// A stem 4 mm wide and 10 mm tall with a 2 mm slab on top reaching `reach` past each side.
TriangleMesh TShape(float reach) {
    return Boxes({{{-2, -5, 0}, {2, 5, 10}}, {{-2 - reach, -5, 10}, {2 + reach, 5, 12}}});
}

// Two 5 x 5 pillars 10 mm tall, `gap` apart, carrying a 2 mm slab of the given depth.
TriangleMesh Bridge(float gap, float depth = 5.0f) {
    return Boxes(
        {{{0, 0, 0}, {5, depth, 10}}, {{5 + gap, 0, 0}, {10 + gap, depth, 10}}, {{0, 0, 10}, {10 + gap, depth, 12}}});
}

std::string Fixed1(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

TEST(Printability, CubeOnTheBedPrintsWithoutSupport) {
    const PrintabilityReport r = CheckPrintability(MakeBox({0, 0, 0}, {20, 20, 20}), PrintabilitySettings{});
    ASSERT_TRUE(r.checked);
    EXPECT_EQ(r.layers, 100u);
    EXPECT_EQ(PrintabilitySummary(r), "prints without support");
    EXPECT_EQ(r.downwardFlatAreaSquareMillimetres, 0.0f);
    EXPECT_NEAR(r.totalAreaSquareMillimetres, 2400.0f, 0.01f);
    EXPECT_TRUE(r.featuresInAir.empty() && r.laidInAir.empty() && r.farReaches.empty() && r.shortBridges.empty());
    EXPECT_EQ(r.longestReachMillimetres, 0.0f);
    const std::string text = FormatPrintabilityReport(r);
    EXPECT_EQ(text.rfind("Printability: prints without support (100 layers of ", 0), 0u) << text;
    EXPECT_NE(text.find("\n  longest reach past the layer below 0.00 mm\n"), std::string::npos) << text;
    EXPECT_NE(text.find("off the bed: 0 of 2400 mm2 (what the slicer highlights and supports; not a fault)\n"),
              std::string::npos)
        << text;
}

TEST(Printability, ArmsReachingPastTheStem) {
    // 8 mm arms: the first arm layer reaches far; the reach falls short of 8 mm
    // by about the support growth (0.21 mm plus half a cell).
    const PrintabilityReport far = CheckPrintability(TShape(8.0f), PrintabilitySettings{});
    ASSERT_EQ(far.farReaches.size(), 1u);
    EXPECT_TRUE(far.laidInAir.empty());
    EXPECT_TRUE(far.featuresInAir.empty());
    EXPECT_GT(far.longestReachMillimetres, 7.5f);
    EXPECT_LT(far.longestReachMillimetres, 7.8f);
    EXPECT_EQ(PrintabilitySummary(far), "1 layer reaches " + Fixed1(far.longestReachMillimetres) +
                                            " mm past the layer below: support recommended");
    const PrintabilityIssue& issue = far.farReaches[0];
    // The first cut above the stem's top at 10 mm is layer 50, at 50.5137 x 0.2 mm.
    EXPECT_NEAR(issue.heightAboveBed, 10.10274f, 1e-3f);
    EXPECT_NEAR(std::abs(issue.x), 9.9f, 0.2f);  // the arm's far end
    EXPECT_NEAR(issue.areaSquareMillimetres, 200.0f, 8.0f);
    EXPECT_NEAR(issue.supportedAreaSquareMillimetres, 40.0f + 2 * 10 * 0.26f, 4.0f);
    EXPECT_EQ(far.layersPastCantilever, 0u);

    // 4 mm arms: past the cantilever distance, short of the warning.
    const PrintabilityReport counted = CheckPrintability(TShape(4.0f), PrintabilitySettings{});
    EXPECT_EQ(counted.layersPastCantilever, 1u);
    EXPECT_TRUE(counted.farReaches.empty());
    EXPECT_EQ(PrintabilitySummary(counted), "prints without support");
    EXPECT_NE(
        FormatPrintabilityReport(counted).find("; 1 layer(s) past the cantilever distance but short of the warning\n"),
        std::string::npos);

    PrintabilitySettings longer;
    longer.cantileverMillimetres = 4.0f;  // 3.7 mm no longer counts
    EXPECT_EQ(CheckPrintability(TShape(4.0f), longer).layersPastCantilever, 0u);
    PrintabilitySettings stricter;
    stricter.warningMillimetres = 3.5f;
    EXPECT_EQ(CheckPrintability(TShape(4.0f), stricter).farReaches.size(), 1u);
    // A wider growth allowance shortens the measured reach.
    PrintabilitySettings grown;
    grown.supportGrowthLineWidths = 2.0f;
    EXPECT_LT(CheckPrintability(TShape(8.0f), grown).longestReachMillimetres, far.longestReachMillimetres - 0.5f);
}

TEST(Printability, FloatingBodiesStartInTheAir) {
    const TriangleMesh one = Boxes({{{0, 0, 0}, {10, 10, 10}}, {{20, 0, 30}, {25, 5, 35}}});
    PrintabilitySettings settings;
    const PrintabilityReport r = CheckPrintability(one, settings);
    ASSERT_EQ(r.featuresInAir.size(), 1u);
    EXPECT_EQ(PrintabilitySummary(r), "1 feature starts in the air: support needed");
    EXPECT_NEAR(r.featuresInAir[0].x, 22.5f, 0.1f);
    EXPECT_NEAR(r.featuresInAir[0].heightAboveBed, 30.0f + 0.2f * 0.5137f, 0.11f);
    EXPECT_NEAR(r.featuresInAir[0].areaSquareMillimetres, 25.0f, 1.5f);
    // The floating box's underside faces down off the bed.
    EXPECT_NEAR(r.downwardFlatAreaSquareMillimetres, 25.0f, 1e-3f);
    // Highlights: the floating layer's cells and its cut triangles.
    EXPECT_FALSE(r.needsSupportTriangles.empty());
    EXPECT_FALSE(r.needsSupportQuads.empty());
    EXPECT_EQ(r.needsSupportQuads.size() % 6, 0u);
    EXPECT_EQ(r.needsSupportQuads.size() / 6, r.needsSupportKeys.size());
    EXPECT_TRUE(std::is_sorted(r.needsSupportKeys.begin(), r.needsSupportKeys.end()));
    EXPECT_FALSE(r.contourLinePoints.empty());
    EXPECT_NE(FormatPrintabilityReport(r).find("  shown: "), std::string::npos);

    // The pipeline runs without highlights: the findings stay, the view's lists do not.
    settings.collectHighlights = false;
    const PrintabilityReport bare = CheckPrintability(one, settings);
    EXPECT_EQ(bare.featuresInAir.size(), 1u);
    EXPECT_TRUE(bare.needsSupportTriangles.empty() && bare.needsSupportQuads.empty() && bare.needsSupportKeys.empty());
    EXPECT_TRUE(bare.contourLinePoints.empty() && bare.bridgingTriangles.empty() && bare.reachingFarQuads.empty());
    EXPECT_EQ(FormatPrintabilityReport(bare).find("  shown: "), std::string::npos);

    // Two bodies in the air, along the X build axis this time.
    const TriangleMesh two = Boxes({{{0, 0, 0}, {10, 10, 10}}, {{20, 0, 0}, {25, 5, 5}}, {{30, 20, 20}, {32, 22, 22}}});
    settings.buildAxis = 0;
    const PrintabilityReport sideways = CheckPrintability(two, settings);
    EXPECT_EQ(sideways.buildAxis, 0);
    EXPECT_EQ(PrintabilitySummary(sideways), "2 features start in the air: support needed");
}

TEST(Printability, SpansBetweenPillars) {
    const PrintabilityReport shortSpan = CheckPrintability(Bridge(8.0f), PrintabilitySettings{});
    ASSERT_EQ(shortSpan.shortBridges.size(), 1u);
    EXPECT_TRUE(shortSpan.laidInAir.empty());
    EXPECT_EQ(PrintabilitySummary(shortSpan), "prints without support; 1 short bridge depends on the printer");
    // The span is twice the largest distance to the nearer pillar's grown edge.
    EXPECT_NEAR(shortSpan.shortBridges[0].reachMillimetres, 8.0f - 2 * 0.26f, 0.25f);
    EXPECT_NEAR(shortSpan.shortBridges[0].x, 9.0f, 0.1f);
    EXPECT_FALSE(shortSpan.bridgingTriangles.empty());
    ASSERT_FALSE(shortSpan.bridgingKeys.empty());
    // The cell under the middle of the span, in the first slab layer (50).
    const auto column = static_cast<std::int64_t>((9.0f - shortSpan.originU) / shortSpan.cellMillimetres);
    const auto row = static_cast<std::int64_t>((2.5f - shortSpan.originV) / shortSpan.cellMillimetres);
    EXPECT_TRUE(HasCellOrNeighbour(column, row, 50, shortSpan.bridgingKeys));
    EXPECT_FALSE(HasCellOrNeighbour(column, row, 51, shortSpan.bridgingKeys));
    EXPECT_FALSE(HasCellOrNeighbour(2, 2, 50, shortSpan.bridgingKeys));

    const PrintabilityReport longSpan = CheckPrintability(Bridge(12.0f), PrintabilitySettings{});
    ASSERT_EQ(longSpan.laidInAir.size(), 1u);
    EXPECT_TRUE(longSpan.shortBridges.empty());
    EXPECT_EQ(PrintabilitySummary(longSpan).rfind("1 place is laid in the air: support needed", 0), 0u);
    EXPECT_NEAR(longSpan.laidInAir[0].reachMillimetres, 6.0f - 0.26f, 0.15f);
    EXPECT_FALSE(longSpan.needsSupportTriangles.empty());

    PrintabilitySettings lenient;
    lenient.shortBridgeMillimetres = 12.0f;
    EXPECT_EQ(CheckPrintability(Bridge(12.0f), lenient).shortBridges.size(), 1u);
}

TEST(Printability, SmallOverhangsAreIgnored) {
    // A 1 mm gap under a 0.25 mm deep slab leaves about 0.48 x 0.25 mm unsupported.
    const PrintabilityReport small = CheckPrintability(Bridge(1.0f, 0.25f), PrintabilitySettings{});
    EXPECT_GT(small.unsupportedAreaSquareMillimetres, 0.05f);
    EXPECT_LT(small.unsupportedAreaSquareMillimetres, 0.18f);
    EXPECT_TRUE(small.shortBridges.empty() && small.laidInAir.empty());
    PrintabilitySettings finer;
    finer.minimumAreaSquareMillimetres = 0.02f;
    EXPECT_EQ(CheckPrintability(Bridge(1.0f, 0.25f), finer).shortBridges.size(), 1u);
}

TEST(Printability, UncheckedMeshes) {
    EXPECT_EQ(FormatPrintabilityReport(CheckPrintability(TriangleMesh{}, PrintabilitySettings{})),
              "Printability: not checked\n");
    TriangleMesh broken = MakeBox({0, 0, 0}, {1, 1, 1});
    broken.indices[4] = 99;
    const PrintabilityReport r = CheckPrintability(broken, PrintabilitySettings{});
    EXPECT_FALSE(r.checked);
    EXPECT_EQ(PrintabilitySummary(r), "not checked");
}

// The 20 mm cube with one corner pulled far away: its box, and so the
// layers or the cells of a layer, grow past anything printable. The check
// refuses with a reason instead of asking for hundreds of gigabytes.
TEST(Printability, AStrayFarPointIsRefusedWithAReason) {
    for (int axis = 0; axis < 3; ++axis) {
        TriangleMesh cube = MakeBox({-10, -10, -10}, {10, 10, 10});
        cube.vertices[0].position[axis] = 1e10f;
        cube.RecomputeBounds();
        const PrintabilityReport r = CheckPrintability(cube, PrintabilitySettings{});
        EXPECT_FALSE(r.checked) << axis;
        EXPECT_EQ(r.refusal.rfind("the part is too large to check: ", 0), 0u) << r.refusal;
        EXPECT_NE(r.refusal.find(" (the most are 2,000,000 layers, 16,000,000 cells a layer and 600,000,000 in all); "
                                 "a point far from the rest of the part can cause this"),
                  std::string::npos)
            << r.refusal;
        EXPECT_EQ(PrintabilitySummary(r), "not checked: " + r.refusal);
        EXPECT_EQ(FormatPrintabilityReport(r), "Printability: not checked: " + r.refusal + "\n");
        EXPECT_TRUE(r.featuresInAir.empty() && r.needsSupportTriangles.empty());
    }
    // Up the build axis it is the layers: 1e10 mm (the 10 mm below is lost
    // in float rounding) in layers of 0.25 mm.
    TriangleMesh tall = MakeBox({-10, -10, -10}, {10, 10, 10});
    tall.vertices[0].position.z = 1e10f;
    tall.RecomputeBounds();
    PrintabilitySettings quarter;
    quarter.layerHeightMillimetres = 0.25f;
    const std::string refusal = CheckPrintability(tall, quarter).refusal;
    EXPECT_EQ(refusal.rfind("the part is too large to check: 40,000,000,000 layers (the most", 0), 0u) << refusal;
}

// Both sides of the layer limit, with layers of 1 mm and cells as large as
// the part, so that two million layers stay quick.
TEST(Printability, TheLayerLimitIsInclusive) {
    PrintabilitySettings settings;
    settings.layerHeightMillimetres = 1.0f;
    settings.cellMillimetres = 10.0f;
    settings.collectHighlights = false;
    const PrintabilityReport at = CheckPrintability(MakeBox({0, 0, 0}, {1, 1, 2'000'000}), settings);
    EXPECT_TRUE(at.checked) << at.refusal;
    EXPECT_EQ(at.layers, 2'000'000u);
    const PrintabilityReport over = CheckPrintability(MakeBox({0, 0, 0}, {1, 1, 2'000'001}), settings);
    EXPECT_FALSE(over.checked);
    EXPECT_EQ(over.refusal.rfind("the part is too large to check: 2,000,001 layers (the most", 0), 0u) << over.refusal;
}

TEST(Printability, SettingsShapeTheFrame) {
    PrintabilitySettings settings;
    settings.layerHeightMillimetres = 0.001f;  // raised to 0.01
    settings.cellMillimetres = 0.5f;
    settings.contourLayerDivisor = 1;  // one contour layer in 100
    const PrintabilityReport r = CheckPrintability(MakeBox({0, 0, 0}, {10, 10, 1}), settings);
    EXPECT_EQ(r.layers, 100u);
    EXPECT_FLOAT_EQ(r.cellMillimetres, 0.5f);
    EXPECT_EQ(r.cellsPerLayer, 22u * 22u);
    EXPECT_FLOAT_EQ(r.originU, -0.5f);
    EXPECT_EQ(r.contourLinePoints.size(), 8u * 2u);
    settings.contourLayerDivisor = 1000;  // every layer
    EXPECT_EQ(CheckPrintability(MakeBox({0, 0, 0}, {10, 10, 1}), settings).contourLinePoints.size(), 100u * 8u * 2u);
    // A steep support angle counts no downward face; a box standing on the bed has none off the bed anyway.
    settings.supportAngleDegrees = 89.0f;
    EXPECT_EQ(CheckPrintability(MakeBox({0, 0, 0}, {10, 10, 1}), settings).downwardFlatAreaSquareMillimetres, 0.0f);
}

TEST(Printability, DiskAndChamferDistance) {
    const std::vector<CellOffset> disk = DiskOffsets(1.0f);
    ASSERT_EQ(disk.size(), 5u);
    EXPECT_EQ(disk[0].dx, 0);
    EXPECT_EQ(disk[0].dy, -1);
    EXPECT_EQ(disk[1].dx, -1);
    EXPECT_EQ(disk[4].dy, 1);
    EXPECT_EQ(DiskOffsets(1.5f).size(), 9u);

    const float inf = std::numeric_limits<float>::infinity();
    // 4 x 3: a supported corner, an outside wall cell and a cell cut off by outside cells.
    std::vector<float> d = {0, inf, inf, inf, inf, -1, inf, -1, inf, inf, -1, inf};
    PropagateSupportDistance(d, 4, 3);
    EXPECT_FLOAT_EQ(d[1], 1.0f);
    EXPECT_FLOAT_EQ(d[3], 3.0f);
    EXPECT_FLOAT_EQ(d[4], 1.0f);
    EXPECT_FLOAT_EQ(d[6], 1.0f + 1.4142135f);
    EXPECT_FLOAT_EQ(d[9], 1.0f + 1.4142135f);
    EXPECT_FLOAT_EQ(d[11], 1.0f + 2 * 1.4142135f);
    EXPECT_EQ(d[5], -1.0f);
}

// On 0.1 mm cells with 0.42 mm lines, the support disk reaches 2.6 cells
// ((0.5 x 0.42 + 0.05) / 0.1), so 2 whole cells along a row or a column.
// A plate beside another one, on the layer right above its top or above a
// one-layer gap: with its nearest cells 2 columns (or rows) past the lower
// plate's last ones it is held up (on the layer right above) or counts as
// near (above the gap), and with 3 it starts in the air. Checked past each
// of the four sides, so that a layer whose material lies in a small window
// is looked at all the way to the disk's reach.
TEST(Printability, ThePlateBelowHoldsUpCellsAsFarAsTheDiskReaches) {
    PrintabilitySettings settings;
    settings.cellMillimetres = 0.1f;
    settings.collectHighlights = false;
    ASSERT_EQ(DiskOffsets((0.5f * 0.42f + 0.05f) / 0.1f).size(), 21u);  // |dx|, |dy| <= 2
    for (const bool gap : {false, true}) {
        for (int side = 0; side < 4; ++side) {
            for (const int cells : {2, 3}) {
                // Box edges fall midway between cell centres (0.05 + 0.1 k).
                const float lowerTop = gap ? 1.0f : 1.2f;
                const float off = 2.0f + 0.1f * static_cast<float>(cells - 1);
                Vec3f lo{0, 0, 1.2f}, hi{2, 2, 2};
                const int axis = side % 2;
                const float shift = side < 2 ? off : -off;
                lo[axis] += shift;
                hi[axis] += shift;
                const TriangleMesh plates = Boxes({{{0, 0, 0}, {2, 2, lowerTop}}, {lo, hi}});
                const PrintabilityReport r = CheckPrintability(plates, settings);
                ASSERT_FLOAT_EQ(r.cellMillimetres, 0.1f);
                EXPECT_EQ(r.featuresInAir.size(), cells == 2 ? 0u : 1u)
                    << (gap ? "over a gap" : "right above") << ", side " << side << ", " << cells << " cells off";
            }
        }
    }
}

namespace {

// `mesh` with the triangles from `first` on appended again, flipped when asked.
void AppendCopies(TriangleMesh& mesh, std::size_t first, std::size_t last, bool flipped) {
    for (std::size_t t = first; t < last; ++t) {
        const std::uint32_t a = mesh.indices[3 * t], b = mesh.indices[3 * t + 1], c = mesh.indices[3 * t + 2];
        mesh.indices.insert(mesh.indices.end(), {a, flipped ? c : b, flipped ? b : c});
    }
}

bool Holds(const std::vector<std::uint32_t>& sorted, std::uint32_t t) {
    return std::binary_search(sorted.begin(), sorted.end(), t);
}

}  // namespace

// Copies of a body's triangles print as the body once when their windings
// add up to one, and as nothing when they cancel; each copy keeps its own
// highlights and contour lines.
TEST(Printability, CopiedTrianglesWindTogether) {
    const TriangleMesh base = Boxes({{{0, 0, 0}, {10, 10, 10}}, {{20, 0, 30}, {25, 5, 35}}});
    const TriangleMesh bedOnly = Boxes({{{0, 0, 0}, {10, 10, 10}}});
    // The floating box is triangles 12 to 23: once more as they are (24 to
    // 35), once flipped (36 to 47): windings 2 - 1 = 1 wherever one lay.
    TriangleMesh thrice = base;
    AppendCopies(thrice, 12, 24, false);
    AppendCopies(thrice, 12, 24, true);
    // Once more flipped: the windings cancel and the floating box is gone.
    TriangleMesh cancelled = thrice;
    AppendCopies(cancelled, 12, 24, true);
    for (bool highlights : {true, false}) {
        PrintabilitySettings settings;
        settings.collectHighlights = highlights;
        const PrintabilityReport r = CheckPrintability(thrice, settings);
        ASSERT_EQ(r.featuresInAir.size(), 1u) << highlights;
        EXPECT_EQ(PrintabilitySummary(r), "1 feature starts in the air: support needed");
        EXPECT_NEAR(r.featuresInAir[0].areaSquareMillimetres, 25.0f, 1.5f);
        EXPECT_EQ(PrintabilitySummary(CheckPrintability(cancelled, settings)), "prints without support") << highlights;
        if (!highlights) continue;
        // Every copy of a highlighted triangle is highlighted, the flipped ones too.
        int shown = 0;
        for (std::uint32_t t = 12; t < 24; ++t) {
            const bool held = Holds(r.needsSupportTriangles, t);
            shown += held ? 1 : 0;
            for (std::uint32_t copy : {t + 12, t + 24}) EXPECT_EQ(Holds(r.needsSupportTriangles, copy), held) << t;
        }
        EXPECT_GE(shown, 8);  // the four sides, two triangles each
        // Each copy adds the contour lines of the floating box once more.
        const std::size_t alone = CheckPrintability(bedOnly, settings).contourLinePoints.size();
        const std::size_t once = CheckPrintability(base, settings).contourLinePoints.size();
        ASSERT_GT(once, alone);
        EXPECT_EQ(r.contourLinePoints.size(), alone + 3 * (once - alone));
    }
}

// A part of slivers, a flat cone standing on its tip whose sides are one
// fan of 3000 triangles about the tip: the layers without highlights, which
// cut only what can fill a cell, find what the layers with highlights find,
// and the overhang grows as the cone widens.
TEST(Printability, SliversFindWhatEveryCutFinds) {
    constexpr std::uint32_t kAround = 3000;
    TriangleMesh m;
    m.vertices.push_back({{0, 0, 0}, {}});     // the tip on the bed
    m.vertices.push_back({{0, 0, 3.0f}, {}});  // the centre of the top
    for (std::uint32_t j = 0; j < kAround; ++j) {
        const float a = 6.2831853f * static_cast<float>(j) / static_cast<float>(kAround);
        m.vertices.push_back({{12.0f * std::cos(a), 12.0f * std::sin(a), 3.0f}, {}});
    }
    for (std::uint32_t j = 0; j < kAround; ++j) {
        const std::uint32_t r0 = 2 + j, r1 = 2 + (j + 1) % kAround;
        m.indices.insert(m.indices.end(), {0, r1, r0, 1, r0, r1});
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    PrintabilitySettings settings;
    const PrintabilityReport every = CheckPrintability(m, settings);
    settings.collectHighlights = false;
    const PrintabilityReport some = CheckPrintability(m, settings);
    ASSERT_TRUE(every.checked && some.checked);
    EXPECT_EQ(some.layers, 15u);
    EXPECT_EQ(some.featuresInAir.size(), every.featuresInAir.size());
    EXPECT_EQ(some.laidInAir.size(), every.laidInAir.size());
    EXPECT_EQ(some.farReaches.size(), every.farReaches.size());
    EXPECT_EQ(some.layersPastCantilever, every.layersPastCantilever);
    EXPECT_EQ(some.longestReachMillimetres, every.longestReachMillimetres);
    EXPECT_EQ(some.unsupportedAreaSquareMillimetres, every.unsupportedAreaSquareMillimetres);
    // The sides lean 4 mm out for every 1 mm up: 0.8 mm a layer, past the
    // support growth, so every layer above the tip leaves an overhanging ring.
    EXPECT_GT(some.unsupportedAreaSquareMillimetres, 100.0f);
    EXPECT_GT(some.longestReachMillimetres, 0.0f);
}

namespace {

// A fan of `around` slivers about a tip on the bed at (x, y), opening to a
// ring of the given radius `height` up, closed by a flat top.
void AppendFan(TriangleMesh& m, float x, float y, float radius, std::uint32_t around, float height = 3.0f) {
    const auto tip = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.push_back({{x, y, 0}, {}});
    m.vertices.push_back({{x, y, height}, {}});
    for (std::uint32_t j = 0; j < around; ++j) {
        const float a = 6.2831853f * static_cast<float>(j) / static_cast<float>(around);
        m.vertices.push_back({{x + radius * std::cos(a), y + radius * std::sin(a), height}, {}});
    }
    for (std::uint32_t j = 0; j < around; ++j) {
        const std::uint32_t r0 = tip + 2 + j, r1 = tip + 2 + (j + 1) % around;
        m.indices.insert(m.indices.end(), {tip, r1, r0, tip + 1, r0, r1});
    }
}

// Every cut of every layer in layer and triangle order, each triangle sliced
// on its own: the contour lines of a check whose every layer is a contour layer.
std::vector<Vec3f> EveryCut(const TriangleMesh& m, int buildAxis, float layerHeight, std::uint64_t layers) {
    const LayerAxes axes = AxesAcross(buildAxis);
    const float lowest = m.boundsMin[axes.h];
    std::vector<Vec3f> points;
    for (std::uint64_t l = 0; l < layers; ++l) {
        const float h = lowest + (static_cast<float>(l) + 0.5137f) * layerHeight;
        for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
            Vec3f c[3];
            for (int k = 0; k < 3; ++k) {
                const Vec3f& p = m.vertices[m.indices[3 * t + static_cast<std::size_t>(k)]].position;
                c[k] = {p[axes.u], p[axes.v], p[axes.h]};
            }
            const Vec3f n = Normalize(Cross(c[1] - c[0], c[2] - c[0]));
            Point2 p0, p1;
            if (!SliceTriangle(c, h, {n.x, n.y}, p0, p1)) continue;
            for (const Point2& p : {p0, p1}) {
                Vec3f q;
                q[axes.u] = p.u, q[axes.v] = p.v, q[axes.h] = h;
                points.push_back(q);
            }
        }
    }
    return points;
}

void ExpectSameIssues(const std::vector<PrintabilityIssue>& a, const std::vector<PrintabilityIssue>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(a[i].x == b[i].x && a[i].y == b[i].y && a[i].z == b[i].z &&
                    a[i].heightAboveBed == b[i].heightAboveBed &&
                    a[i].areaSquareMillimetres == b[i].areaSquareMillimetres &&
                    a[i].reachMillimetres == b[i].reachMillimetres &&
                    a[i].supportedAreaSquareMillimetres == b[i].supportedAreaSquareMillimetres)
            << i;
    }
}

void ExpectSameReport(const PrintabilityReport& a, const PrintabilityReport& b) {
    EXPECT_TRUE(a.checked && b.checked);
    EXPECT_EQ(a.layers, b.layers);
    EXPECT_EQ(a.cellsPerLayer, b.cellsPerLayer);
    ExpectSameIssues(a.featuresInAir, b.featuresInAir);
    ExpectSameIssues(a.farReaches, b.farReaches);
    ExpectSameIssues(a.laidInAir, b.laidInAir);
    ExpectSameIssues(a.shortBridges, b.shortBridges);
    EXPECT_EQ(a.unsupportedAreaSquareMillimetres, b.unsupportedAreaSquareMillimetres);
    EXPECT_EQ(a.longestReachMillimetres, b.longestReachMillimetres);
    EXPECT_EQ(a.layersPastCantilever, b.layersPastCantilever);
    EXPECT_EQ(a.downwardFlatAreaSquareMillimetres, b.downwardFlatAreaSquareMillimetres);
    EXPECT_EQ(a.totalAreaSquareMillimetres, b.totalAreaSquareMillimetres);
    EXPECT_TRUE(a.contourLinePoints == b.contourLinePoints);
    EXPECT_TRUE(a.needsSupportQuads == b.needsSupportQuads);
    EXPECT_TRUE(a.reachingFarQuads == b.reachingFarQuads);
    EXPECT_TRUE(a.bridgingQuads == b.bridgingQuads);
    EXPECT_EQ(a.needsSupportTriangles, b.needsSupportTriangles);
    EXPECT_EQ(a.reachingFarTriangles, b.reachingFarTriangles);
    EXPECT_EQ(a.bridgingTriangles, b.bridgingTriangles);
    EXPECT_EQ(a.needsSupportKeys, b.needsSupportKeys);
    EXPECT_EQ(a.reachingFarKeys, b.reachingFarKeys);
    EXPECT_EQ(a.bridgingKeys, b.bridgingKeys);
}

}  // namespace

// The layers are cut a batch at a time on every core. A part with every
// finding, copied triangles, a flat fan of slivers and a tall one whose more
// than a million cuts take several batches, up the Z and the X axis: every
// layer's contour lines are the plain cut of every triangle, one by one in
// order, and the report is the same field by field on one thread and on
// several.
TEST(Printability, LayersCutInParallelMatchAPlainCut) {
    // Box 0: the stem on the bed; 1: an arm reaching 10 mm to +X; 2-4: two
    // pillars 8 mm apart under a slab; 5: a box in the air.
    TriangleMesh m = Boxes({{{0, 0, 0}, {6, 10, 12}},
                            {{6, 0, 10}, {16, 4, 12}},
                            {{0, 20, 0}, {4, 24, 8}},
                            {{12, 20, 0}, {16, 24, 8}},
                            {{0, 20, 8}, {16, 24, 10}},
                            {{30, 0, 14}, {34, 3, 18}}});
    AppendFan(m, 40.0f, 20.0f, 6.0f, 1500);
    AppendFan(m, 60.0f, 0.0f, 6.0f, 12000, 20.0f);
    // A sliver whose lowest corner lies one float step above layer 4's cut:
    // the layer's bucket holds it, yet its cut there misses it.
    const float above4 = std::nextafter((4.0f + 0.5137f) * 0.2f, 1.0f);
    const auto sliver = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), {{{50, 10, above4}, {}}, {{52, 10, 2}, {}}, {{50, 12, 2}, {}}});
    m.indices.insert(m.indices.end(), {sliver, sliver + 1, sliver + 2});
    // The box in the air once more as it is and once flipped: it still prints once.
    const auto copied = static_cast<std::uint32_t>(m.TriangleCount());
    AppendCopies(m, 60, 72, false);
    AppendCopies(m, 60, 72, true);
    m.RecomputeBounds();
    m.RecomputeNormals();

    for (int axis : {2, 0}) {
        PrintabilitySettings settings;
        settings.buildAxis = axis;
        settings.contourLayerDivisor = 1000;  // every layer a contour layer
        PrintabilityReport one;
        {
            const tbb::global_control single(tbb::global_control::max_allowed_parallelism, 1);
            one = CheckPrintability(m, settings);
        }
        ASSERT_TRUE(one.checked) << axis;
        EXPECT_EQ(one.layers, axis == 2 ? 100u : 330u);
        const std::vector<Vec3f> everyCut = EveryCut(m, axis, 0.2f, one.layers);
        EXPECT_TRUE(
            std::equal(one.contourLinePoints.begin(), one.contourLinePoints.end(), everyCut.begin(), everyCut.end()))
            << axis;
        for (std::size_t threads : {3u, 8u}) {
            const tbb::global_control several(tbb::global_control::max_allowed_parallelism, threads);
            ExpectSameReport(CheckPrintability(m, settings), one);
        }
        if (axis != 2) continue;
        // What each piece makes of it, worked out by hand.
        EXPECT_EQ(one.farReaches.size(), 1u);
        EXPECT_EQ(one.shortBridges.size(), 1u);
        // The box, and the tall fan's tip once it first fills a cell, a few layers up.
        ASSERT_EQ(one.featuresInAir.size(), 2u);
        const PrintabilityIssue& box = one.featuresInAir[one.featuresInAir[0].x < 50.0f ? 0 : 1];
        const PrintabilityIssue& tip = one.featuresInAir[one.featuresInAir[0].x < 50.0f ? 1 : 0];
        EXPECT_NEAR(box.x, 32.0f, 0.1f);
        EXPECT_NEAR(box.areaSquareMillimetres, 12.0f, 1.0f);
        EXPECT_NEAR(tip.x, 60.0f, 0.2f);
        EXPECT_LT(tip.areaSquareMillimetres, 0.5f);
        EXPECT_GT(one.unsupportedAreaSquareMillimetres, 100.0f);  // the fan's rings
        // The sides of the box in the air (two of its first four triangles'
        // pairs are its top and bottom) and each of their copies.
        int sides = 0;
        for (std::uint32_t t = 60; t < 72; ++t) {
            const bool held = Holds(one.needsSupportTriangles, t);
            sides += held ? 1 : 0;
            EXPECT_EQ(Holds(one.needsSupportTriangles, copied + (t - 60)), held) << t;
            EXPECT_EQ(Holds(one.needsSupportTriangles, copied + 12 + (t - 60)), held) << t;
        }
        EXPECT_GE(sides, 8);
        EXPECT_FALSE(Holds(one.needsSupportTriangles, 0));  // the stem
        EXPECT_FALSE(one.reachingFarTriangles.empty());
        EXPECT_FALSE(one.bridgingTriangles.empty());

        // Without highlights the findings are the same.
        settings.collectHighlights = false;
        const PrintabilityReport bare = CheckPrintability(m, settings);
        ExpectSameIssues(bare.featuresInAir, one.featuresInAir);
        ExpectSameIssues(bare.farReaches, one.farReaches);
        ExpectSameIssues(bare.laidInAir, one.laidInAir);
        ExpectSameIssues(bare.shortBridges, one.shortBridges);
        EXPECT_TRUE(bare.contourLinePoints.empty() && bare.needsSupportTriangles.empty());
    }
}

// A stop asked while the layers are cut, on the workers or between layers,
// ends the check with `Stopped`, with highlights and without.
TEST(Printability, AStopEndsTheCheck) {
    TriangleMesh m = Boxes({{{0, 0, 0}, {10, 10, 20}}});
    AppendFan(m, 30.0f, 0.0f, 6.0f, 20000);
    m.RecomputeBounds();
    m.RecomputeNormals();
    for (bool highlights : {true, false}) {
        for (int stopAt : {1, 4}) {
            int asked = 0;
            const ProgressCallback callback = [&](const std::string&, float) { return ++asked < stopAt; };
            CancelContext cancel;
            cancel.callback = &callback;
            PrintabilitySettings settings;
            settings.collectHighlights = highlights;
            EXPECT_THROW(CheckPrintability(m, settings, &cancel), Stopped) << highlights << stopAt;
            EXPECT_TRUE(cancel.stop.load());
        }
        // Asked and never stopped, it ends as without a context.
        const ProgressCallback goOn = [](const std::string&, float) { return true; };
        CancelContext cancel;
        cancel.callback = &goOn;
        PrintabilitySettings settings;
        settings.collectHighlights = highlights;
        ExpectSameReport(CheckPrintability(m, settings, &cancel), CheckPrintability(m, settings));
    }
}

// Layers reuse their rasters and clear only where material was. A wide
// pillar that ends, then three empty layers, then a block above it: nothing
// of the pillar may linger to hold the block up, and no label of the
// pillar's last layer may claim the block's cut triangles for the region
// that now has its number (a second pillar, which comes first in row order
// from then on). That pillar also makes the frame much wider than either
// section.
TEST(Printability, AnEndedLayerHoldsNothingUp) {
    // Pillar 0..10 mm; the block from 10.7 mm: the cuts at 10.10, 10.30 and
    // 10.50 mm meet nothing, the block's first is at 10.70 mm.
    const auto part = [](float blockBottom) {
        return Boxes(
            {{{0, 0, 0}, {8, 20, 10}}, {{2, 15, blockBottom}, {6, 18, 12}}, {{40, 10, 0}, {45, 12, 14}}});
    };
    const TriangleMesh m = part(10.7f);
    PrintabilitySettings settings;
    const PrintabilityReport r = CheckPrintability(m, settings);
    ASSERT_EQ(r.featuresInAir.size(), 1u);
    EXPECT_NEAR(r.featuresInAir[0].x, 4.0f, 0.1f);
    EXPECT_NEAR(r.featuresInAir[0].y, 16.5f, 0.1f);
    EXPECT_NEAR(r.featuresInAir[0].heightAboveBed, 10.7027f, 0.01f);
    EXPECT_NEAR(r.featuresInAir[0].areaSquareMillimetres, 12.0f, 1.0f);
    EXPECT_TRUE(r.laidInAir.empty() && r.farReaches.empty() && r.shortBridges.empty());
    // The block's triangles (12..23) but its top: its sides cut on its first
    // layer, its bottom flat at that layer.
    std::vector<std::uint32_t> expected;
    for (std::uint32_t t = 12; t < 24; ++t) {
        bool top = true;
        for (int k = 0; k < 3; ++k) top = top && m.vertices[m.indices[3 * t + k]].position.z == 12.0f;
        if (!top) expected.push_back(t);
    }
    EXPECT_EQ(expected.size(), 10u);
    EXPECT_EQ(r.needsSupportTriangles, expected);

    // The block from 10.2 mm: its first cut, at 10.30 mm, has the pillar's
    // last (9.90 mm) two layers down, which counts as near support.
    EXPECT_TRUE(CheckPrintability(part(10.2f), settings).featuresInAir.empty());
}

// A reused raster: a fill clears only the window its last fill set and
// leaves what a fresh raster would hold.
TEST(Printability, AReusedRasterMatchesAFreshOne) {
    LayerGrid grid;
    grid.cell = 1.0f;
    grid.columns = 12;
    grid.rows = 9;
    grid.crossings.resize(9);
    const auto square = [&](float u0, float v0, float u1, float v1) {
        // Counter-clockwise round the material.
        AddScanlineCrossings(grid, {u0, v0}, {u1, v0});
        AddScanlineCrossings(grid, {u1, v0}, {u1, v1});
        AddScanlineCrossings(grid, {u1, v1}, {u0, v1});
        AddScanlineCrossings(grid, {u0, v1}, {u0, v0});
    };
    std::vector<std::uint8_t> reused;
    RasterWindow window;
    square(1, 1, 9, 8);
    FillLayerRaster(grid, reused, window);
    // Rows 1..7 (centres 1.5..7.5), columns 1..8.
    EXPECT_EQ(window.rowBegin, 1);
    EXPECT_EQ(window.rowEnd, 8);
    EXPECT_EQ(window.columnBegin, 1);
    EXPECT_EQ(window.columnEnd, 9);
    square(7, 5, 11, 9);
    FillLayerRaster(grid, reused, window);
    std::vector<std::uint8_t> fresh(12 * 9, 0);
    for (int y = 5; y < 9; ++y)
        for (int x = 7; x < 11; ++x) fresh[static_cast<std::size_t>(y * 12 + x)] = 1;
    EXPECT_EQ(reused, fresh);
    EXPECT_EQ(window.rowBegin, 5);
    EXPECT_EQ(window.columnEnd, 11);
    // An empty layer clears the last one and has an empty window.
    FillLayerRaster(grid, reused, window);
    EXPECT_TRUE(window.Empty());
    EXPECT_EQ(std::count(reused.begin(), reused.end(), 1), 0);
}

// A segment crosses the rows whose centre lines lie at or above its lower
// end and below its upper end. Rows of 0.5 mm from -1.25 mm: row r's centre
// line at -1 + 0.5 r, rows 0 to 7.
TEST(Printability, ScanlineCrossingsTakeTheRowsBetweenTheEnds) {
    LayerGrid grid;
    grid.cell = 0.5f;
    grid.originV = -1.25f;
    grid.rows = 8;
    grid.columns = 4;
    const auto crossed = [&](Point2 p0, Point2 p1) {
        grid.crossings.assign(8, {});
        AddScanlineCrossings(grid, p0, p1);
        std::vector<std::pair<int, LayerCrossing>> rows;
        for (int r = 0; r < 8; ++r)
            for (const LayerCrossing& c : grid.crossings[static_cast<std::size_t>(r)]) rows.emplace_back(r, c);
        return rows;
    };
    // From row 2's centre line (v = 0) up to row 5's (v = 1.5), u from 1 to 4.
    auto rows = crossed({1, 0}, {4, 1.5f});
    ASSERT_EQ(rows.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[static_cast<std::size_t>(i)].first, 2 + i);
        EXPECT_FLOAT_EQ(rows[static_cast<std::size_t>(i)].second.u, 1.0f + static_cast<float>(i));
        EXPECT_EQ(rows[static_cast<std::size_t>(i)].second.winding, 1);
    }
    // Downwards: the same rows, winding the other way.
    rows = crossed({4, 1.5f}, {1, 0});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.front().first, 2);
    EXPECT_EQ(rows.back().first, 4);
    EXPECT_EQ(rows.front().second.winding, -1);
    // Just above a centre line to just below the next: none.
    EXPECT_TRUE(crossed({0, 0.01f}, {1, 0.49f}).empty());
    // Below the frame, and from below it to above it: none, then every row.
    EXPECT_TRUE(crossed({0, -9}, {1, -2}).empty());
    EXPECT_EQ(crossed({0, -9}, {1, 90}).size(), 8u);
    // From inside to above the frame: rows 6 and 7 (centres 2 and 2.5).
    rows = crossed({0, 1.75f}, {1, 40});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.front().first, 6);
    // An end that is not a number crosses nothing rather than a row far off.
    EXPECT_TRUE(crossed({0, std::nanf("")}, {1, 1}).empty());
}
