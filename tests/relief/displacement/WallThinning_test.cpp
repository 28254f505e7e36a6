#include "relief/displacement/WallThinning.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "relief/displacement/Clearance.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

// A 10 x 10 x 1 mm slab whose bottom grid is shifted against the top one,
// so that straight-down rays from the top vertices meet the bottom inside
// its triangles.
TriangleMesh Slab() {
    TriangleMesh m = test::MakeGridBox({0, 0, 0}, {10, 10, 1}, 5);
    for (Vertex& v : m.vertices) {
        const Vec3f p = v.position;
        if (p.z == 0.0f && p.x > 0.0f && p.x < 10.0f && p.y > 0.0f && p.y < 10.0f) {
            v.position.x += 0.3f;
            v.position.y += 0.3f;
        }
    }
    m.RecomputeNormals();
    return m;
}

std::vector<std::uint32_t> TopInterior(const TriangleMesh& m) {
    std::vector<std::uint32_t> list;
    for (std::uint32_t v = 0; v < m.vertices.size(); ++v) {
        const Vec3f p = m.vertices[v].position;
        if (p.z == 1.0f && p.x > 0.0f && p.x < 10.0f && p.y > 0.0f && p.y < 10.0f) list.push_back(v);
    }
    return list;
}

struct Relief {
    TriangleMesh before = Slab();
    TriangleMesh after = before;
    std::vector<float> weights = std::vector<float>(before.vertices.size(), 1.0f);
    DisplacementReport report;

    // Moves twelve of the sixteen top vertices down by 0.60, 0.61, ... 0.71 mm.
    Relief() {
        const std::vector<std::uint32_t> top = TopInterior(before);
        for (std::size_t i = 0; i < 12; ++i) after.vertices[top[i]].position.z -= 0.6f + 0.01f * static_cast<float>(i);
        auto tree = std::make_shared<AabbTree>();
        tree->Build(before);
        report.surfaceTree = tree;
        report.clearance.assign(before.vertices.size(), 1.0f);
    }
};

TEST(Clearance, FindsTheOppositeWallWithinReach) {
    const TriangleMesh slab = Slab();
    AabbTree tree;
    tree.Build(slab);
    const std::uint32_t top = TopInterior(slab)[0];
    std::vector<float> depth(slab.vertices.size(), 0.0f);
    for (std::size_t v = 0; v < depth.size(); ++v) {
        if (slab.vertices[v].position.z == 0.0f) depth[v] = 0.3f;
    }
    depth[top] = 0.2f;
    std::vector<ClearanceResult> results;
    MeasureClearance(slab, tree, {top}, depth, 1.0f, results);
    ASSERT_EQ(results.size(), 1u);
    ASSERT_TRUE(results[0].found);
    EXPECT_NEAR(results[0].distance, 1.0f, 1e-4f);
    EXPECT_NEAR(results[0].remaining, 1.0f - 0.2f - 0.3f, 1e-4f);

    // Out of reach: depth 0.2 + margin 0.7 < 1.
    MeasureClearance(slab, tree, {top}, depth, 0.7f, results);
    EXPECT_FALSE(results[0].found);

    // A zero normal is never found; a depth list of the wrong length finds nothing.
    TriangleMesh flat = slab;
    flat.vertices[top].normal = {0, 0, 0};
    MeasureClearance(flat, tree, {top}, depth, 5.0f, results);
    EXPECT_FALSE(results[0].found);
    depth.pop_back();
    MeasureClearance(slab, tree, {top, top}, depth, 5.0f, results);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_FALSE(results[0].found || results[1].found);

    const VertexFaceAdjacency faces(slab);
    ASSERT_EQ(faces.offsets.size(), slab.vertices.size() + 1);
    EXPECT_EQ(faces.faces.size(), slab.indices.size());
    EXPECT_EQ(faces.offsets[top + 1] - faces.offsets[top], 6u);
    for (std::uint32_t k = faces.offsets[top]; k < faces.offsets[top + 1]; ++k) {
        const std::uint32_t* c = &slab.indices[3 * std::size_t{faces.faces[k]}];
        EXPECT_TRUE(c[0] == top || c[1] == top || c[2] == top);
    }
}

TEST(WallThinning, ListsTheEightThinnestAndCountsThemAll) {
    const Relief r;
    const WallThinningReport w = MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.4f, 0.42f, 0.02f);
    ASSERT_TRUE(w.measured);
    EXPECT_EQ(w.candidates, 12u);
    EXPECT_EQ(w.placesThinned, 12u);
    EXPECT_EQ(w.placesAlreadyUnder, 0u);
    ASSERT_EQ(w.places.size(), 8u);
    for (std::size_t i = 1; i < w.places.size(); ++i) EXPECT_LE(w.places[i - 1].now, w.places[i].now);
    EXPECT_NEAR(w.places[0].now, 0.29f, 1e-4f);
    EXPECT_NEAR(w.places[7].now, 0.36f, 1e-4f);
    EXPECT_NEAR(w.places[0].was, 1.0f, 1e-4f);
    EXPECT_NEAR(w.places[0].z, 1.0f - 0.71f, 1e-5f);
    EXPECT_EQ(FormatWallSummary(w),
              "12 places where the relief thinned a wall below 0.4200 mm (thinnest 0.2900 mm, was 1.0000)");
    const std::string line = FormatWallReport(w);
    EXPECT_EQ(line.rfind("Walls after the relief: 12 places where", 0), 0u) << line;
    EXPECT_NE(line.find("(12 vertices moved inward with a surface within reach, "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 5), " ms)\n");

    // Only moves of at least the minimum count.
    EXPECT_EQ(MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.4f, 0.42f, 0.655f).candidates, 6u);
    // An unweighted vertex is no candidate; neither is one without a finite clearance.
    Relief fewer;
    const std::vector<std::uint32_t> top = TopInterior(fewer.before);
    fewer.weights[top[0]] = 0.0f;
    fewer.report.clearance[top[1]] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(
        MeasureWallThinning(fewer.before, fewer.after, fewer.weights, fewer.report, 0.4f, 0.42f, 0.02f).candidates,
        10u);
}

// With a cancellation context that never stops the measurement is the
// same; one that stops ends it by `Stopped`, whatever it had measured.
TEST(WallThinning, AStopEndsTheMeasurement) {
    const Relief r;
    int asked = 0;
    const ProgressCallback going = [&](const std::string& text, float) { return text == "walls" && ++asked > 0; };
    CancelContext context;
    context.callback = &going;
    context.stageName = "walls";
    const WallThinningReport w =
        MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.4f, 0.42f, 0.02f, &context);
    EXPECT_GE(asked, 1);
    EXPECT_EQ(w.placesThinned, 12u);
    ASSERT_EQ(w.places.size(), 8u);
    EXPECT_NEAR(w.places[0].now, 0.29f, 1e-4f);

    const ProgressCallback stopping = [](const std::string&, float) { return false; };
    CancelContext stop;
    stop.callback = &stopping;
    EXPECT_THROW(MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.4f, 0.42f, 0.02f, &stop), Stopped);
    const AabbTree& tree = *r.report.surfaceTree;
    std::vector<ClearanceResult> results;
    EXPECT_THROW(MeasureClearance(r.before, tree, TopInterior(r.before), std::vector<float>(r.before.vertices.size()),
                                  1.0f, results, &stop),
                 Stopped);
}

TEST(WallThinning, ThresholdsAndPlacesAlreadyThin) {
    const Relief r;
    WallThinningReport w = MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.4f, 1.5f, 0.02f);
    EXPECT_EQ(w.placesThinned, 0u);
    EXPECT_EQ(w.placesAlreadyUnder, 12u);
    EXPECT_TRUE(w.places.empty());
    EXPECT_EQ(w.thinnestNow, 0.0f);
    EXPECT_EQ(FormatWallSummary(w), "no wall thinned by the relief; 12 place(s) were under 1.5000 mm already");

    w = MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.02f, 0.0f, 0.02f);
    EXPECT_FLOAT_EQ(w.threshold, 0.05f);
    EXPECT_EQ(FormatWallSummary(w), "no wall thinned below 0.0500 mm");
    w = MeasureWallThinning(r.before, r.after, r.weights, r.report, 0.3f, -1.0f, 0.02f);
    EXPECT_FLOAT_EQ(w.threshold, 0.3f);
}

TEST(WallThinning, NotMeasuredWhenTheInputsDoNotFit) {
    const Relief r;
    TriangleMesh other = r.after;
    other.vertices.pop_back();
    WallThinningReport w = MeasureWallThinning(r.before, other, r.weights, r.report, 0.4f, 0.42f, 0.02f);
    EXPECT_FALSE(w.measured);
    EXPECT_EQ(FormatWallReport(w), "Walls: not measured (the meshes do not match)\n");
    const std::vector<float> shortWeights(r.weights.size() - 1, 1.0f);
    EXPECT_FALSE(MeasureWallThinning(r.before, r.after, shortWeights, r.report, 0.4f, 0.42f, 0.02f).measured);

    DisplacementReport noTree = r.report;
    noTree.surfaceTree.reset();
    w = MeasureWallThinning(r.before, r.after, r.weights, noTree, 0.4f, 0.42f, 0.02f);
    EXPECT_EQ(
        FormatWallReport(w),
        "Walls: not measured (the displacement kept no clearance: one smooth region, or the clearance limit off)\n");
    DisplacementReport shortList = r.report;
    shortList.clearance.pop_back();
    EXPECT_FALSE(MeasureWallThinning(r.before, r.after, r.weights, shortList, 0.4f, 0.42f, 0.02f).measured);
}

}  // namespace
}  // namespace ridgeforge::mesh
