#include "mesh/SimplifyFlatAreas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "mesh/Json.h"
#include "mesh/PlanarRegions.h"
#include "tests/support/Shapes.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeGridBox;
using ridgeforge::test::MakeGridPlate;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(SimplifyFlatAreas, FineBoxLosesFaceInteriorsWithoutMoving) {
    TriangleMesh m = MakeGridBox({-5, 0, 2}, {15, 10, 12}, 12);
    const TriangleMesh before = m;
    int calls = 0;
    const FlatAreaSimplifyReport r = SimplifyFlatAreas(m, nullptr, SimplifySettings{}, [&](const std::string& stage, float f) {
        EXPECT_EQ(stage, "Simplifying flat areas");
        EXPECT_LT(f, 1.0f);
        ++calls;
        return true;
    });
    const std::string text = FormatFlatAreaSimplifyReport(r);
    SCOPED_TRACE(text);
    EXPECT_EQ(r.planarRegions, 6u);
    EXPECT_EQ(r.facesInPlanarRegions, r.trianglesBefore);
    EXPECT_EQ(r.removableVertices, 6u * 11u * 11u);
    EXPECT_TRUE(r.GuaranteeHeld());
    EXPECT_FALSE(Contains(text, "WARNING"));
    EXPECT_EQ(static_cast<std::uint64_t>(calls), r.sweeps);
    EXPECT_EQ(r.verticesBefore - r.verticesAfter, r.collapses);
    EXPECT_TRUE(IsClosedOrientedManifold(m));
    EXPECT_EQ(m.boundsMin, before.boundsMin);
    EXPECT_EQ(m.boundsMax, before.boundsMax);
    EXPECT_NEAR(MeshVolume(m), 2000.0, 1e-6);
    EXPECT_NEAR(MeshArea(m), MeshArea(before), 1e-6);

    // Every vertex on the box's edges survives; every survivor is where it was.
    std::set<std::uint32_t> survivors(r.vertexMap.begin(), r.vertexMap.end());
    std::uint64_t onEdges = 0;
    for (std::uint32_t v = 0; v < before.vertices.size(); ++v) {
        const Vec3f& p = before.vertices[v].position;
        const int extremes = (p.x == -5 || p.x == 15) + (p.y == 0 || p.y == 10) + (p.z == 2 || p.z == 12);
        if (extremes >= 2) {
            ++onEdges;
            EXPECT_TRUE(survivors.count(v)) << v;
        }
    }
    EXPECT_EQ(onEdges, 8u + 12u * 11u);
    ASSERT_EQ(r.vertexMap.size(), m.vertices.size());
    for (std::size_t i = 0; i < m.vertices.size(); ++i) {
        EXPECT_EQ(m.vertices[i].position, before.vertices[r.vertexMap[i]].position);
        EXPECT_EQ(m.vertices[i].normal, before.vertices[r.vertexMap[i]].normal);
    }
    // Most of the interior goes (valence, height and flip limits keep a few).
    EXPECT_GT(r.collapses, 6u * 11u * 11u * 3u / 4u);
}

TEST(SimplifyFlatAreas, TexturedFacesAndOpenRimsAreKept) {
    TriangleMesh plate = MakeGridPlate(10, 8);
    const std::uint64_t triangles = plate.TriangleCount();
    TextureCoverage coverage;
    coverage.texturedFaces.assign(triangles, 0);
    coverage.texturedFaces[2 * (4 * 8 + 4)] = 1;  // a triangle in the middle
    const Vec3f heldCorner = plate.vertices[plate.indices[3 * (2 * (4 * 8 + 4))]].position;
    const FlatAreaSimplifyReport r = SimplifyFlatAreas(plate, &coverage, SimplifySettings{}, {});
    EXPECT_EQ(r.facesKeptForTexture, 1u);
    EXPECT_TRUE(r.GuaranteeHeld());
    EXPECT_TRUE(Contains(FormatFlatAreaSimplifyReport(r), ", 1 faces kept for the texture"));
    std::uint64_t rim = 0;
    bool cornerKept = false;
    for (const Vertex& v : plate.vertices) {
        const Vec3f& p = v.position;
        rim += p.x == 0 || p.x == 10 || p.y == 0 || p.y == 10;
        cornerKept = cornerKept || p == heldCorner;
    }
    EXPECT_EQ(rim, 32u);
    EXPECT_TRUE(cornerKept);
    EXPECT_GT(r.collapses, 0u);

    // A coverage of the wrong length is ignored.
    TriangleMesh other = MakeGridPlate(10, 8);
    coverage.texturedFaces.assign(triangles + 1, 1);
    const FlatAreaSimplifyReport ignored = SimplifyFlatAreas(other, &coverage, SimplifySettings{}, {});
    EXPECT_EQ(ignored.facesKeptForTexture, 0u);
    EXPECT_EQ(ignored.collapses, r.collapses + 3u);  // the three corners of the marked triangle go too
}

TEST(SimplifyFlatAreas, LimitsStopsAndBadInput) {
    // A vertex with only four triangles around it is never removed.
    TriangleMesh diamond;
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{-1, 0, 0}, Vec3f{0, -1, 0}}) {
        diamond.vertices.push_back({p, {}});
    }
    diamond.indices = {0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 4, 1};
    diamond.RecomputeBounds();
    FlatAreaSimplifyReport r = SimplifyFlatAreas(diamond, nullptr, SimplifySettings{}, {});
    EXPECT_EQ(r.collapses, 0u);
    EXPECT_EQ(diamond.TriangleCount(), 4u);

    // One sweep when asked for none; a stop before the first sweep keeps everything.
    SimplifySettings once;
    once.maximumSweeps = 0;
    TriangleMesh box = MakeGridBox({0, 0, 0}, {10, 10, 10}, 6);
    r = SimplifyFlatAreas(box, nullptr, once, {});
    EXPECT_EQ(r.sweeps, 1u);
    EXPECT_TRUE(Contains(FormatFlatAreaSimplifyReport(r), " in 1 sweep over "));
    TriangleMesh stopped = MakeGridBox({0, 0, 0}, {10, 10, 10}, 6);
    r = SimplifyFlatAreas(stopped, nullptr, SimplifySettings{}, [](const std::string&, float) { return false; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.collapses, 0u);
    EXPECT_EQ(stopped.TriangleCount(), r.trianglesBefore);
    EXPECT_EQ(FormatFlatAreaSimplifyReport(r).rfind("Simplify cancelled: ", 0), 0u);

    TriangleMesh bad = MakeGridBox({0, 0, 0}, {10, 10, 10}, 2);
    bad.indices.pop_back();
    const auto indices = bad.indices;
    r = SimplifyFlatAreas(bad, nullptr, SimplifySettings{}, {});
    EXPECT_EQ(bad.indices, indices);
    EXPECT_EQ(r.trianglesAfter, r.trianglesBefore);
}

TEST(SimplifyFlatAreas, ReportText) {
    FlatAreaSimplifyReport r;
    r.trianglesBefore = 3000;
    r.trianglesAfter = 2000;
    r.verticesBefore = 1502;
    r.verticesAfter = 1002;
    r.collapses = 500;
    r.sweeps = 2;
    r.planarRegions = 6;
    EXPECT_EQ(FormatFlatAreaSimplifyReport(r),
              "Simplified 3000 -> 2000 triangles in 2 sweeps over 6 planar regions, 48 KB saved, bounding box "
              "moved 0.0000 mm");
    r.boundsAfter[4] = 0.5f;
    r.areaAfter = 2.0;
    EXPECT_EQ(FormatFlatAreaSimplifyReport(r),
              "Simplified 3000 -> 2000 triangles in 2 sweeps over 6 planar regions, 48 KB saved, bounding box "
              "moved 0.5000 mm -- WARNING: the no-movement guarantee did not hold (volume drift 0.00e+00 of "
              "1e-5, area drift 2.00e+00 of 1e-7, 500 vertices gone for 500 collapses, 1000 triangles gone)");
}

TEST(SimplifyFlatAreas, RoundingNoiseInAnExtremeIsNoMove) {
    // The bottom face lies at z = 0 up to rounding noise; its middle vertex
    // alone holds the lowest z, by 2.7e-18 mm.
    TriangleMesh box = MakeGridBox({0, 0, 0}, {20, 20, 10}, 6);
    for (Vertex& v : box.vertices) {
        if (v.position.z == 0.0f) v.position.z = -4.79e-17f;
    }
    std::size_t middle = box.vertices.size();
    for (std::size_t i = 0; i < box.vertices.size(); ++i) {
        const Vec3f p = box.vertices[i].position;
        if (p.z < 0.0f && std::fabs(p.x - 10.0f) < 1e-4f && std::fabs(p.y - 10.0f) < 1e-4f) middle = i;
    }
    ASSERT_LT(middle, box.vertices.size());
    box.vertices[middle].position.z = -5.06e-17f;
    box.RecomputeBounds();
    const FlatAreaSimplifyReport r = SimplifyFlatAreas(box, nullptr, SimplifySettings{}, {});
    ASSERT_EQ(r.boundsBefore[2], -5.06e-17f);
    ASSERT_EQ(r.boundsAfter[2], -4.79e-17f);  // the middle vertex went
    EXPECT_EQ(r.survivingVerticesMoved, 0u);
    EXPECT_TRUE(r.GuaranteeHeld());
    EXPECT_FALSE(Contains(FormatFlatAreaSimplifyReport(r), "WARNING"));

    // On a part 20 mm across, four float steps of its size are 9.5e-6 mm: a
    // bound that shifts by 2e-6 mm held, one that shifts by 1e-4 mm moved.
    FlatAreaSimplifyReport shifted = r;
    const float bounds[6] = {0, 0, 0, 20, 20, 10};
    std::copy(bounds, bounds + 6, shifted.boundsBefore);
    std::copy(bounds, bounds + 6, shifted.boundsAfter);
    shifted.boundsAfter[3] = 20.000002f;
    EXPECT_TRUE(shifted.GuaranteeHeld());
    shifted.boundsAfter[3] = 20.0001f;
    EXPECT_FALSE(shifted.GuaranteeHeld());
    EXPECT_TRUE(Contains(FormatFlatAreaSimplifyReport(shifted), "WARNING"));
}

TEST(SimplifySettings, JsonRoundTripAndPartialFiles) {
    SimplifySettings s;
    s.planarAngleDegrees = 2.5f;
    s.maximumValence = 12;
    s.protectTexturedFaces = true;
    s.wholeMesh = false;
    s.meshDetailError = 0.1f;
    const ridgeforge::JsonWriter writer = ridgeforge::JsonWriter::NewDocument();
    WriteSimplifySettings(writer, s);
    const nlohmann::json& node = *writer.Node();
    EXPECT_EQ(node.size(), 11u);
    EXPECT_EQ(node["meshDetailError"].get<double>(), 0.1);
    EXPECT_TRUE(node["maximumSweeps"].is_number_integer());
    SimplifySettings read;
    ReadSimplifySettings(ridgeforge::JsonReader(writer.document), read);
    EXPECT_TRUE(read == s);

    // Missing and mistyped keys keep their values.
    auto doc = std::make_shared<nlohmann::json>(nlohmann::json::parse(
        R"({"maximumValence": 7.0, "maximumSweeps": 5000000000, "flatAreas": 1, "planarAngleDegrees": 3})"));
    SimplifySettings partial;
    ReadSimplifySettings(ridgeforge::JsonReader(doc), partial);
    EXPECT_EQ(partial.maximumValence, 24);
    EXPECT_EQ(partial.maximumSweeps, 64);
    EXPECT_TRUE(partial.flatAreas);
    EXPECT_EQ(partial.planarAngleDegrees, 3.0f);
    partial.planarAngleDegrees = 1.0f;
    EXPECT_TRUE(partial == SimplifySettings{});
}
