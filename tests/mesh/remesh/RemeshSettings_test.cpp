#include "mesh/remesh/RemeshSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <thread>

#include "mesh/Json.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

JsonReader ReaderOf(const char* text) {
    return JsonReader(std::make_shared<nlohmann::json>(nlohmann::json::parse(text)));
}

TriangleMesh Triangle(Vec3f a, Vec3f b, Vec3f c) {
    TriangleMesh m;
    m.vertices = {{a, {}}, {b, {}}, {c, {}}};
    m.indices = {0, 1, 2};
    m.RecomputeBounds();
    return m;
}

TEST(RemeshSettings, JsonRoundTripAndReadingRules) {
    RemeshSettings settings;
    settings.method = kRemeshIsotropic;
    settings.targetEdgeMillimetres = 0.35f;
    settings.rounds = 7;
    settings.dualContouring.sharpness = 2.5f;
    settings.dualContouring.removeDisconnected = true;
    settings.dualContouring.manifold = false;
    const JsonWriter writer = JsonWriter::NewDocument();
    WriteRemeshSettings(writer, settings);
    const nlohmann::json& doc = *writer.document;
    EXPECT_EQ(doc["method"], "isotropic");
    EXPECT_EQ(doc["dualContouring"]["sharpness"].dump(), "2.5");
    EXPECT_EQ(doc["targetEdgeMillimetres"].dump(), "0.35");
    EXPECT_EQ(doc["rounds"], 7);
    RemeshSettings read;
    ReadRemeshSettings(JsonReader(writer.document), read);
    EXPECT_EQ(read, settings);

    settings.method = 9;  // not a word: kept as a number
    WriteRemeshSettings(writer, settings);
    EXPECT_EQ(doc["method"], 9);

    RemeshSettings older;
    older.method = kRemeshIsotropic;
    ReadRemeshSettings(ReaderOf(R"({"method": "dualContouring", "rounds": 5.0, "relaxation": 1,
                                    "projectToOriginal": "false", "dualContouring": {"sharpness": null}})"),
                       older);
    EXPECT_EQ(older.method, kRemeshContour);
    EXPECT_EQ(older.rounds, 5);
    EXPECT_EQ(older.relaxation, 1.0f);
    EXPECT_TRUE(older.projectToOriginal);
    EXPECT_EQ(older.dualContouring.sharpness, 1.0f);

    RemeshSettings odd;
    odd.method = kRemeshDualContouring;
    odd.rounds = 3;
    ReadRemeshSettings(ReaderOf(R"({"method": "Contour", "rounds": 2147483648})"), odd);
    EXPECT_EQ(odd.method, kRemeshContour);  // 1 becomes 2 even without a known word
    EXPECT_EQ(odd.rounds, 3);
    ReadRemeshSettings(ReaderOf(R"({"rounds": -2147483648})"), odd);
    EXPECT_EQ(odd.rounds, std::numeric_limits<std::int32_t>::min());
}

TEST(RemeshSettings, EqualityIsExact) {
    RemeshSettings a;
    RemeshSettings b;
    EXPECT_EQ(a, b);
    b.dualContouring.manifold = false;
    EXPECT_NE(a, b);
    a.dualContouring.sharpness = std::nanf("");
    b = a;
    EXPECT_NE(a, b);  // a NaN never matches, so a result made with it is never up to date
}

TEST(RemeshSettings, CellSizeAndEstimate) {
    RemeshSettings settings;
    settings.targetEdgeMillimetres = 0.00001f;
    bool raised = true;
    EXPECT_EQ(ContourCellSize({}, settings, &raised), 0.0001f);
    EXPECT_FALSE(raised);
    const TriangleMesh bar = test::MakeBox({0, 0, 0}, {500, 10, 10});
    settings.targetEdgeMillimetres = 0.1f;
    EXPECT_EQ(ContourCellSize(MeshBounds(bar), settings, &raised), 500.0f / 4088.0f);
    EXPECT_TRUE(raised);
    settings.targetEdgeMillimetres = std::nanf("");
    EXPECT_EQ(ContourCellSize({}, settings, nullptr), 0.0001f);

    RemeshEstimate e = EstimateRemesh(TriangleMesh{}, settings);
    EXPECT_EQ(e.triangles, 0u);
    EXPECT_EQ(e.areaSquareMillimetres, 0.0);
    EXPECT_EQ(e.expectedTotal, 0u);

    const TriangleMesh cube = test::MakeBox({0, 0, 0}, {10, 10, 10});
    settings.targetEdgeMillimetres = 1.0f;
    e = EstimateRemesh(cube, settings);
    EXPECT_EQ(e.measuredTriangles, 12u);
    EXPECT_DOUBLE_EQ(e.areaSquareMillimetres, 600.0);
    EXPECT_EQ(e.expectedTriangles, 1296u);  // 600 / (1 / 2.16)
    EXPECT_EQ(e.expectedTotal, 1296u);
    EXPECT_EQ(e.raisedCellMillimetres, 0.0f);
    settings.method = kRemeshIsotropic;
    settings.targetEdgeMillimetres = 0.0f;  // used as 0.0001 mm
    e = EstimateRemesh(cube, settings);
    EXPECT_NEAR(static_cast<double>(e.expectedTriangles), 600.0 / (std::sqrt(3.0) / 4.0 * 1e-8), 1e6);

    const std::uint64_t finest = e.expectedTriangles;
    settings.targetEdgeMillimetres = std::nanf("");
    EXPECT_EQ(EstimateRemesh(cube, settings).expectedTriangles, finest);

    TriangleMesh broken = cube;
    broken.indices.push_back(0);
    e = EstimateRemesh(broken, settings);
    EXPECT_EQ(e.triangles, 12u);
    EXPECT_EQ(e.measuredTriangles, 0u);
    EXPECT_EQ(e.expectedTotal, 0u);
    settings.method = kRemeshContour;
    settings.targetEdgeMillimetres = 0.1f;
    EXPECT_EQ(EstimateRemesh(bar, settings).raisedCellMillimetres, 500.0f / 4088.0f);
}

TEST(RemeshReport, QualityOfSmallMeshes) {
    EXPECT_EQ(MeasureMeshQuality(TriangleMesh{}).edges, 0u);
    EXPECT_EQ(InterpolatedPercentile({}, 0.5), 0.0);

    const MeshQuality q = MeasureMeshQuality(Triangle({0, 0, 0}, {3, 0, 0}, {3, 4, 0}));
    EXPECT_EQ(q.triangles, 1u);
    EXPECT_EQ(q.edges, 3u);
    EXPECT_EQ(q.edgeMin, 3.0f);
    EXPECT_EQ(q.edgeMedian, 4.0f);
    EXPECT_EQ(q.edgeMax, 5.0f);
    EXPECT_FLOAT_EQ(q.edgeP1, 3.02f);
    EXPECT_FLOAT_EQ(q.edgeP99, 4.98f);
    EXPECT_FLOAT_EQ(q.aspectMedian, 5.0f / 3.0f);
    EXPECT_EQ(q.shareOverTenToOne, 0.0);
    EXPECT_EQ(FormatMeshQuality(q),
              "1 triangles, edges 3.0000 / 3.0200 / 4.0000 / 4.9800 / 5.0000 mm (min, 1%, median, 99%, max), "
              "aspect median 1.67, worst 1.67, over 10:1 0.00%");

    // Two coincident corners: the edges count, the aspect does not.
    const MeshQuality flat = MeasureMeshQuality(Triangle({0, 0, 0}, {0, 0, 0}, {1, 0, 0}));
    EXPECT_EQ(flat.edges, 3u);
    EXPECT_EQ(flat.edgeMin, 0.0f);
    EXPECT_EQ(flat.aspectWorst, 0.0f);

    // Shared edges count once; one sliver of 20:1 out of two triangles.
    TriangleMesh pair = Triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    pair.vertices.push_back({{20, 20, 0}, {}});
    pair.indices.insert(pair.indices.end(), {1, 3, 2});
    const MeshQuality shared = MeasureMeshQuality(pair);
    EXPECT_EQ(shared.edges, 5u);
    EXPECT_EQ(shared.shareOverTenToOne, 0.5);
}

TEST(RemeshReport, QualityMatchesAFullSort) {
    // A random mesh with shared, repeated and degenerate edges.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(0.0f, 10.0f);
    TriangleMesh mesh;
    for (int v = 0; v < 300; ++v)
        mesh.vertices.push_back({{coordinate(random), coordinate(random), coordinate(random)}, {}});
    mesh.vertices.push_back(mesh.vertices[0]);
    for (int t = 0; t < 3000; ++t) {
        for (int k = 0; k < 3; ++k) mesh.indices.push_back(static_cast<std::uint32_t>(random() % mesh.vertices.size()));
    }
    std::map<std::uint64_t, float> edges;
    std::vector<float> aspects;
    for (std::size_t t = 0; t < 3000; ++t) {
        float length[3];
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t i = mesh.indices[3 * t + e];
            const std::uint32_t j = mesh.indices[3 * t + (e + 1) % 3];
            length[e] = Length(mesh.vertices[j].position - mesh.vertices[i].position);
            edges.emplace(EdgeKey(i, j), length[e]);
        }
        const float shortest = std::min({length[0], length[1], length[2]});
        if (shortest > 0.0f) aspects.push_back(std::max({length[0], length[1], length[2]}) / shortest);
    }
    std::vector<float> lengths;
    for (const auto& [key, length] : edges) lengths.push_back(length);
    std::sort(lengths.begin(), lengths.end());
    std::sort(aspects.begin(), aspects.end());

    const MeshQuality q = MeasureMeshQuality(mesh);
    EXPECT_EQ(q.triangles, 3000u);
    EXPECT_EQ(q.edges, lengths.size());
    EXPECT_EQ(q.edgeMin, lengths.front());
    EXPECT_EQ(q.edgeMax, lengths.back());
    EXPECT_EQ(q.edgeP1, static_cast<float>(InterpolatedPercentile(lengths, 0.01)));
    EXPECT_EQ(q.edgeMedian, static_cast<float>(InterpolatedPercentile(lengths, 0.5)));
    EXPECT_EQ(q.edgeP99, static_cast<float>(InterpolatedPercentile(lengths, 0.99)));
    EXPECT_EQ(q.aspectMedian, static_cast<float>(InterpolatedPercentile(aspects, 0.5)));
    EXPECT_EQ(q.aspectWorst, aspects.back());
    const auto over = std::count_if(aspects.begin(), aspects.end(), [](float a) { return a > 10.0f; });
    EXPECT_EQ(q.shareOverTenToOne, static_cast<double>(over) / static_cast<double>(aspects.size()));
}

TEST(RemeshReport, StageClockAndText) {
    RemeshReport report;
    RemeshStageTimer timer(report);
    timer.Begin("Splitting long edges");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    timer.Begin("Flipping");
    timer.Begin("Splitting long edges");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    timer.Begin("");
    timer.Begin("");
    ASSERT_EQ(report.stages.size(), 2u);
    EXPECT_EQ(report.stages[0].name, "Splitting long edges");
    EXPECT_GE(report.stages[0].milliseconds, 4.0);
    EXPECT_EQ(report.stages[1].name, "Flipping");

    report.cancelled = true;
    report.trianglesBefore = 12;
    report.trianglesAfter = 40;
    report.splits = 3;
    report.stages = {{"A", 1.4}, {"B", 2.6}};
    EXPECT_EQ(FormatRemeshReport(report),
              "Remesh cancelled: 12 -> 40 triangles, 3 splits, 0 collapses, 0 flips\n"
              "  deviation from the original surface: 0.0000 mm\n"
              "  before: 0 triangles, edges 0.0000 / 0.0000 / 0.0000 / 0.0000 / 0.0000 mm (min, 1%, median, 99%, max), "
              "aspect median 0.00, worst 0.00, over 10:1 0.00%\n"
              "  after:  0 triangles, edges 0.0000 / 0.0000 / 0.0000 / 0.0000 / 0.0000 mm (min, 1%, median, 99%, max), "
              "aspect median 0.00, worst 0.00, over 10:1 0.00%\n"
              "  time: A 1 ms; B 3 ms;");

    report.cancelled = false;
    report.contoured = true;
    report.cellMillimetres = 0.5f;
    report.cellRaised = true;
    report.strayBodiesRemoved = 2;
    report.strayBodyTriangles = 30;
    report.thinPlaces = 4;
    report.holeGridLines = 7;
    report.stages.clear();
    const std::string text = FormatRemeshReport(report);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "Remesh: 12 -> 40 triangles by dual contouring, cell 0.5000 mm (the finest this part's size allows), "
              "2 stray bodies the part did not have removed (30 triangles), 4 places thinner than the cell, "
              "the part is open (7 grid lines through a hole)");
    EXPECT_EQ(text.find("time:"), std::string::npos);
    EXPECT_NE(text.back(), '\n');

    RemeshReport moved(std::move(report));
    EXPECT_EQ(moved.trianglesAfter, 40u);
    moved.stages = {{"A", 1.0}};
    RemeshReport target;
    target = std::move(moved);
    EXPECT_EQ(target.stages.size(), 1u);
    EXPECT_TRUE(moved.stages.empty());  // NOLINT(bugprone-use-after-move): the hand-over is the point
    EXPECT_EQ(moved.trianglesAfter, 40u);
}

}  // namespace
}  // namespace ridgeforge::mesh
