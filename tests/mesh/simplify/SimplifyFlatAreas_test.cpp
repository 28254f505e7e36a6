#include "mesh/simplify/SimplifyFlatAreas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>

#include "mesh/Json.h"
#include "mesh/simplify/PlanarRegions.h"
#include "testing/Shapes.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::IsClosedOrientedManifold;
using ridgeforge::test::MakeGridBox;
using ridgeforge::test::MakeGridPlate;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(SimplifyFlatAreas, AStopWithinASweepKeepsItsCollapsesAndAClosedSurface) {
    // The first ask outlasts the tenth of a second between asks, so the
    // sweep asks again at its 256th candidate: only an ask within the sweep
    // can stop it with collapses made and no sweep counted. The setting up
    // asks too once a tenth of a second has gone (the planar regions with no
    // measure of progress); on a machine that slow the first ask is the
    // set-up's, and the run is tried again.
    bool stoppedWithinASweep = false;
    for (int attempt = 0; attempt < 5 && !stoppedWithinASweep; ++attempt) {
        TriangleMesh m = MakeGridBox({-5, 0, 2}, {15, 10, 12}, 12);
        const std::size_t verticesBefore = m.vertices.size();
        int calls = 0;
        float lastFraction = 1.0f;
        const FlatAreaSimplifyReport r =
            SimplifyFlatAreas(m, nullptr, SimplifySettings{}, [&](const std::string& stage, float fraction) {
                EXPECT_EQ(stage, "Simplifying flat areas");
                lastFraction = fraction;
                if (++calls > 1) return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(110));
                return true;
            });
        EXPECT_EQ(calls, 2);
        // The first sweep of several reports no progress yet.
        if (r.collapses > 0) {
            EXPECT_EQ(lastFraction, 0.0f);
            EXPECT_LT(r.collapses, r.removableVertices);
        }
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(r.sweeps, 0u);
        EXPECT_EQ(verticesBefore - m.vertices.size(), r.collapses);
        EXPECT_TRUE(IsClosedOrientedManifold(m));
        EXPECT_EQ(FormatFlatAreaSimplifyReport(r).rfind("Simplify cancelled: ", 0), 0u);
        stoppedWithinASweep = r.collapses > 0;
    }
    EXPECT_TRUE(stoppedWithinASweep);
}

TEST(SimplifyFlatAreas, FineBoxLosesFaceInteriorsWithoutMoving) {
    TriangleMesh m = MakeGridBox({-5, 0, 2}, {15, 10, 12}, 12);
    const TriangleMesh before = m;
    int calls = 0;
    const auto start = std::chrono::steady_clock::now();
    const FlatAreaSimplifyReport r =
        SimplifyFlatAreas(m, nullptr, SimplifySettings{}, [&](const std::string& stage, float f) {
            EXPECT_EQ(stage, "Simplifying flat areas");
            EXPECT_LT(f, 1.0f);
            ++calls;
            return true;
        });
    // Once per sweep, and besides that at most once a tenth of a second,
    // which a slow machine under the sanitizers can reach.
    const auto tenths = (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(100);
    const std::string text = FormatFlatAreaSimplifyReport(r);
    SCOPED_TRACE(text);
    EXPECT_EQ(r.planarRegions, 6u);
    EXPECT_EQ(r.facesInPlanarRegions, r.trianglesBefore);
    EXPECT_EQ(r.removableVertices, 6u * 11u * 11u);
    EXPECT_TRUE(r.GuaranteeHeld());
    EXPECT_FALSE(Contains(text, "WARNING"));
    EXPECT_GE(static_cast<std::uint64_t>(calls), r.sweeps);
    EXPECT_LE(static_cast<std::uint64_t>(calls), r.sweeps + static_cast<std::uint64_t>(tenths));
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

TEST(SimplifyFlatAreas, ValenceLimitHoldsForEveryTarget) {
    // A regular hexagon fanned from its centre: the rim is open, so only the
    // centre (6 neighbours) may go, onto a rim vertex of 3 neighbours. The
    // rule counts 3 + (6 - 2) = 7 against the limit.
    TriangleMesh hexagon;
    hexagon.vertices.push_back({{0, 0, 0}, {}});
    for (int k = 0; k < 6; ++k) {
        const float a = 1.0471976f * static_cast<float>(k);
        hexagon.vertices.push_back({{10 * std::cos(a), 10 * std::sin(a), 0}, {}});
    }
    for (std::uint32_t k = 0; k < 6; ++k) hexagon.indices.insert(hexagon.indices.end(), {0, 1 + k, 1 + (k + 1) % 6});
    hexagon.RecomputeBounds();
    SimplifySettings limit;
    limit.maximumValence = 6;
    TriangleMesh refused = hexagon;
    FlatAreaSimplifyReport r = SimplifyFlatAreas(refused, nullptr, limit, {});
    EXPECT_EQ(r.collapses, 0u);
    EXPECT_EQ(r.refusedValence, 6u);
    EXPECT_EQ(refused.TriangleCount(), 6u);
    limit.maximumValence = 7;
    TriangleMesh collapsed = hexagon;
    r = SimplifyFlatAreas(collapsed, nullptr, limit, {});
    EXPECT_EQ(r.collapses, 1u);
    EXPECT_EQ(r.refusedValence, 0u);
    EXPECT_EQ(collapsed.TriangleCount(), 4u);
    EXPECT_TRUE(r.GuaranteeHeld());

    // On a fine box the target of a collapse ends with valence(u) + (6 - 2)
    // - 2 neighbours, so at most the limit less 2, while the default limit of
    // 24 lets targets grow well past that.
    const auto largestValence = [](const TriangleMesh& m) {
        std::vector<std::set<std::uint32_t>> ring(m.vertices.size());
        for (std::size_t t = 0; t < m.indices.size(); t += 3) {
            for (int k = 0; k < 3; ++k) {
                ring[m.indices[t + k]].insert(m.indices[t + (k + 1) % 3]);
                ring[m.indices[t + (k + 1) % 3]].insert(m.indices[t + k]);
            }
        }
        std::size_t largest = 0;
        for (const auto& neighbours : ring) largest = std::max(largest, neighbours.size());
        return largest;
    };
    const TriangleMesh box = MakeGridBox({0, 0, 0}, {10, 10, 10}, 12);
    ASSERT_LE(largestValence(box), 6u);
    for (const int maximum : {9, 12}) {
        limit.maximumValence = maximum;
        TriangleMesh m = box;
        r = SimplifyFlatAreas(m, nullptr, limit, {});
        EXPECT_GT(r.collapses, 0u) << maximum;
        EXPECT_GT(r.refusedValence, 0u) << maximum;
        EXPECT_LE(largestValence(m), static_cast<std::size_t>(maximum - 2)) << maximum;
    }
    TriangleMesh free = box;
    SimplifyFlatAreas(free, nullptr, SimplifySettings{}, {});
    EXPECT_GT(largestValence(free), 10u);
}

TEST(SimplifyFlatAreas, RegionsKeepTheNormalOfTheirFirstTriangle) {
    // A quarter cylinder of radius 20 in 360 steps of 0.25 degrees: each step
    // is well inside the 1 degree limit, but a region may only take triangles
    // within 1 degree of the one it started from. The distance tolerance is
    // opened wide so that the angle alone decides.
    TriangleMesh m;
    const int steps = 360;
    for (int i = 0; i <= steps; ++i) {
        const float a = 1.5707964f * static_cast<float>(i) / static_cast<float>(steps);
        for (const float z : {0.0f, 10.0f}) m.vertices.push_back({{20 * std::cos(a), 20 * std::sin(a), z}, {}});
    }
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(steps); ++i) {
        const std::uint32_t a = 2 * i, b = 2 * i + 2;
        m.indices.insert(m.indices.end(), {a, b, b + 1, a, b + 1, a + 1});
    }
    m.RecomputeBounds();
    SimplifySettings wide;
    wide.planarToleranceMillimetres = 100.0f;
    const PlanarRegions regions = FindPlanarRegions(m, wide, EdgeNeighbours(m));
    std::vector<std::vector<std::uint32_t>> members(regions.count);
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) {
        ASSERT_NE(regions.regionOfTriangle[t], kNoRegion);
        members[regions.regionOfTriangle[t]].push_back(t);
    }
    // 90 degrees in regions at most 2 degrees wide.
    EXPECT_GE(regions.count, 45u);
    const float limit = std::cos(1.0f * 3.1415927f / 180.0f) - 1e-6f;
    for (const auto& region : members) {
        bool someCentre = false;
        for (const std::uint32_t centre : region) {
            bool all = true;
            for (const std::uint32_t t : region) all = all && Dot(m.FaceNormal(centre), m.FaceNormal(t)) >= limit;
            someCentre = someCentre || all;
        }
        EXPECT_TRUE(someCentre) << "a region of " << region.size() << " triangles";
    }
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

namespace {

// A closed knife: faces A (top) and B (bottom) meet along a sharp edge at
// x = 0 at 20 degrees, with a back face at x = 20 and two end caps. A and B
// are grids of n x m squares; the edge's vertices belong to both.
TriangleMesh MakeKnife(std::uint32_t n, std::uint32_t m, std::vector<std::uint8_t>& isTop) {
    const float width = 20.0f, length = 10.0f, slope = std::tan(10.0f * 3.14159265f / 180.0f);
    TriangleMesh knife;
    const auto add = [&](float x, float y, float z) {
        knife.vertices.push_back({{x, y, z}, {}});
        return static_cast<std::uint32_t>(knife.vertices.size() - 1);
    };
    std::vector<std::uint32_t> top((n + 1) * (m + 1)), bottom((n + 1) * (m + 1));
    for (std::uint32_t i = 0; i <= n; ++i) {
        for (std::uint32_t j = 0; j <= m; ++j) {
            const float x = width * static_cast<float>(i) / static_cast<float>(n);
            const float y = length * static_cast<float>(j) / static_cast<float>(m);
            top[i * (m + 1) + j] = add(x, y, slope * x);
            bottom[i * (m + 1) + j] = i == 0 ? top[j] : add(x, y, -slope * x);
        }
    }
    // Each triangle turned to face `outward`.
    const auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c, Vec3f outward, bool onTop) {
        const Vec3f& pa = knife.vertices[a].position;
        const Vec3f facing = Cross(knife.vertices[b].position - pa, knife.vertices[c].position - pa);
        if (Dot(facing, outward) < 0.0f) std::swap(b, c);
        knife.indices.insert(knife.indices.end(), {a, b, c});
        isTop.push_back(onTop ? 1 : 0);
    };
    const auto at = [&](const std::vector<std::uint32_t>& grid, std::uint32_t i, std::uint32_t j) {
        return grid[i * (m + 1) + j];
    };
    for (std::uint32_t i = 0; i < n; ++i) {
        for (std::uint32_t j = 0; j < m; ++j) {
            for (const bool onTop : {true, false}) {
                const std::vector<std::uint32_t>& g = onTop ? top : bottom;
                const Vec3f out{0, 0, onTop ? 1.0f : -1.0f};
                triangle(at(g, i, j), at(g, i + 1, j), at(g, i + 1, j + 1), out, onTop);
                triangle(at(g, i, j), at(g, i + 1, j + 1), at(g, i, j + 1), out, onTop);
            }
        }
    }
    for (std::uint32_t j = 0; j < m; ++j) {
        triangle(at(bottom, n, j), at(bottom, n, j + 1), at(top, n, j + 1), {1, 0, 0}, false);
        triangle(at(bottom, n, j), at(top, n, j + 1), at(top, n, j), {1, 0, 0}, false);
    }
    for (const std::uint32_t j : {0u, m}) {
        const Vec3f out{0, j == 0 ? -1.0f : 1.0f, 0};
        for (std::uint32_t i = 0; i < n; ++i) {
            triangle(at(top, i, j), at(top, i + 1, j), at(bottom, i + 1, j), out, false);
            if (i > 0) triangle(at(top, i, j), at(bottom, i + 1, j), at(bottom, i, j), out, false);
        }
    }
    knife.RecomputeBounds();
    knife.RecomputeNormals();
    return knife;
}

// Triangles facing away from the sum of the area-weighted normals at their
// corners by more than about 107 degrees (cosine below -0.3): what the save
// check calls folded.
std::size_t FoldedTriangles(const TriangleMesh& m) {
    const auto normal = [&](std::size_t t) {
        const Vec3d a = ToDouble(m.vertices[m.indices[3 * t]].position);
        return Cross(ToDouble(m.vertices[m.indices[3 * t + 1]].position) - a,
                     ToDouble(m.vertices[m.indices[3 * t + 2]].position) - a);
    };
    std::vector<Vec3d> sums(m.vertices.size());
    for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
        for (int k = 0; k < 3; ++k) sums[m.indices[3 * t + k]] += normal(t);
    }
    std::size_t folded = 0;
    for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
        const Vec3d n = normal(t);
        const Vec3d s = sums[m.indices[3 * t]] + sums[m.indices[3 * t + 1]] + sums[m.indices[3 * t + 2]];
        const double d = Dot(n, s);
        folded += d < 0.0 && d * d > 0.09 * Dot(n, n) * Dot(s, s) ? 1 : 0;
    }
    return folded;
}

}  // namespace

// The top face of a knife merges into a few large triangles, while the
// bottom is held as textured: along the sharp edge the large triangles would
// outweigh the small ones below at the edge's corners and fold them. Those
// collapses are refused, and no triangle folds.
TEST(SimplifyFlatAreas, MergingOneSideOfASharpEdgeFoldsNothingOnTheOther) {
    std::vector<std::uint8_t> isTop;
    TriangleMesh knife = MakeKnife(16, 8, isTop);
    ASSERT_TRUE(IsClosedOrientedManifold(knife));
    ASSERT_EQ(FoldedTriangles(knife), 0u);
    TextureCoverage coverage;
    for (const std::uint8_t top : isTop) coverage.texturedFaces.push_back(top ? 0 : 1);
    const FlatAreaSimplifyReport r = SimplifyFlatAreas(knife, &coverage, SimplifySettings{}, {});
    // Most of the top's 15 x 7 inner vertices go, not all of them.
    EXPECT_GT(r.collapses, 50u);
    EXPECT_GT(r.refusedFlip, 0u);
    EXPECT_TRUE(IsClosedOrientedManifold(knife));
    EXPECT_EQ(FoldedTriangles(knife), 0u);
}
