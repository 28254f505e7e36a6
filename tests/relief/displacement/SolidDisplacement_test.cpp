#include "relief/displacement/SolidDisplacement.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "mesh/CancellableLoop.h"
#include "mesh/TestShapes.h"
#include "relief/displacement/HeightHold.h"
#include "testing/ReliefShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

std::string EdgeText(const TriangleMesh& mesh) {
    const EdgeCounts e = EdgeStatistics(mesh);
    return std::to_string(e.edges) + " edges, " + std::to_string(e.openBoundaryEdges) + " open, " +
           std::to_string(e.nonManifoldEdges) + " non-manifold";
}

void ExpectClosedManifold(const TriangleMesh& mesh, const std::string& name) {
    const EdgeCounts edges = EdgeStatistics(mesh);
    EXPECT_GT(edges.edges, 0u) << name;
    EXPECT_EQ(edges.openBoundaryEdges, 0u) << name << ": " << EdgeText(mesh);
    EXPECT_EQ(edges.nonManifoldEdges, 0u) << name << ": " << EdgeText(mesh);
    EXPECT_TRUE(test::IsClosedOrientedManifold(mesh)) << name;
    EXPECT_GT(mesh.SignedVolume(), 0.0f) << name;
}

TEST(DisplaceSolid, ZeroHeightsGiveThePartBackThroughTheThreeStages) {
    const TriangleMesh cube = MakeTestCube(20.0f);
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    std::vector<std::string> stages;
    const ProgressCallback progress = [&](const std::string& stage, float fraction) {
        if (stages.empty() || stages.back() != stage) stages.push_back(stage);
        EXPECT_EQ(fraction, -1.0f);
        return true;
    };
    TriangleMesh out;
    SolidDisplacementReport report;
    ASSERT_TRUE(DisplaceSolid(cube, std::vector<float>(cube.vertices.size(), 0.0f), options, progress, out, report));
    EXPECT_TRUE(report.succeeded);
    EXPECT_FALSE(report.stopped || report.refused || report.fieldTooLarge || report.holes);
    EXPECT_EQ(report.heights, 8u);
    EXPECT_EQ(report.heightsHeld, 0u);
    EXPECT_EQ(report.triangleEstimate, 13u);
    EXPECT_EQ(report.bodiesRemoved, 0u);
    EXPECT_GT(report.blocksStored, 0u);
    EXPECT_GE(report.candidateBlocks, report.blocksStored);
    EXPECT_EQ(stages, (std::vector<std::string>{"Displacing: keeping slots and walls open",
                                                "Displacing: building the solid", "Displacing: contouring the solid"}));
    ExpectClosedManifold(out, "cube");
    EXPECT_NEAR(out.SignedVolume(), 8000.0f, 8.0f);
    EXPECT_TRUE(out.boundsValid);
    EXPECT_NEAR(out.boundsMin.x, -10.0f, 0.01f);
    EXPECT_NEAR(out.boundsMax.z, 10.0f, 0.01f);
    const std::string text = FormatSolidDisplacementReport(report);
    EXPECT_EQ(
        text.rfind("Solid displacement: 0 of 8 heights held to keep slots and walls open; field 109 x 109 x 109, ", 0),
        0u)
        << text;
    EXPECT_NE(text.find("\n  time: cap "), std::string::npos);
}

TEST(DisplaceSolid, AUniformHeightGrowsTheCubeByItsOffsetEitherWay) {
    // Every point within 0.5 mm of a 20 mm cube: the cube, six slabs, twelve
    // quarter cylinders and eight eighth spheres.
    const double pi = 3.14159265358979;
    const double expected = 8000.0 + 6 * 400 * 0.5 + 12 * 20 * pi * 0.25 / 4 + 4.0 / 3.0 * pi * 0.125;
    const TriangleMesh cube = MakeTestCube(20.0f);
    for (const bool exact : {false, true}) {
        SolidDisplacementOptions options;
        options.cellSize = 0.2f;
        options.exactDistances = exact;
        options.keepSlotsAndWallsOpen = false;
        std::vector<std::string> stages;
        const ProgressCallback progress = [&](const std::string& stage, float) {
            stages.push_back(stage);
            return true;
        };
        TriangleMesh out;
        SolidDisplacementReport report;
        ASSERT_TRUE(DisplaceSolid(cube, std::vector<float>(8, 0.5f), options, progress, out, report));
        EXPECT_EQ(stages.front(), "Displacing: building the solid");
        EXPECT_EQ(report.heightsHeld, 0u);
        EXPECT_EQ(report.propagationRounds > 0, !exact);
        ExpectClosedManifold(out, exact ? "exact" : "propagated");
        EXPECT_NEAR(out.SignedVolume(), expected, 0.002 * expected);
        EXPECT_NEAR(out.boundsMax.x, 10.5f, 0.01f);
    }
}

TEST(DisplaceSolid, ATwoBodyPartKeepsBothBodiesHoweverThin) {
    // A block and, beside it, a plate thinner than one line.
    TriangleMesh part = test::MakeBox({0, 0, 0}, {4, 4, 4});
    const TriangleMesh plate = test::MakeBox({6, 0, 0}, {10, 4, 0.3f});
    const std::uint32_t base = static_cast<std::uint32_t>(part.vertices.size());
    part.vertices.insert(part.vertices.end(), plate.vertices.begin(), plate.vertices.end());
    for (const std::uint32_t i : plate.indices) part.indices.push_back(base + i);
    part.RecomputeBounds();
    part.RecomputeNormals();
    SolidDisplacementOptions options;
    options.cellSize = 0.1f;
    options.lineWidth = 0.4f;
    TriangleMesh out;
    SolidDisplacementReport report;
    ASSERT_TRUE(DisplaceSolid(part, std::vector<float>(16, 0.0f), options, {}, out, report));
    EXPECT_EQ(CountBodies(out), 2u);
    EXPECT_EQ(report.thinBodies, 0u);
    EXPECT_EQ(report.bodiesRemoved, 0u);
    EXPECT_FLOAT_EQ(report.lineWidth, 0.4f);
    ExpectClosedManifold(out, "two bodies");
    EXPECT_NEAR(out.SignedVolume(), 64.0f + 4.8f, 0.3f);
}

TEST(DisplaceSolid, ASlotHoldsItsHeightsAndTheHoldSpreadsAlongTheSurface) {
    const TriangleMesh part = test::Subdivide(test::MakeSlotPart(1.0f), 3);
    AabbTree tree;
    tree.Build(part);
    std::vector<float> heights(part.vertices.size(), 2.0f);
    const VertexClearance clearance = MeasureHeightClearance(part, tree, heights, 3);
    const std::uint64_t held = HoldHeightsForClearance(part, heights, clearance, 0.2 * 2.0);
    EXPECT_GT(held, 0u);
    int wall = 0, top = 0, far = 0;
    for (std::size_t v = 0; v < part.vertices.size(); ++v) {
        const Vec3f p = part.vertices[v].position;
        const bool inSlot = p.y > 0.5f && p.y < 9.5f;
        if (inSlot && (p.x == 4.5f || p.x == 5.5f) && p.z > 4.0f && p.z < 9.0f) {
            // Facing walls 1 mm apart: (1 - 0.4) x 0.5.
            EXPECT_NEAR(heights[v], 0.3f, 1e-4f) << p.x << " " << p.y << " " << p.z;
            ++wall;
        }
        if (inSlot && p.z == 10.0f && (p.x < 4.5f && p.x > 3.5f)) {
            // Held through the rim, which has no own clearance upward.
            EXPECT_LT(heights[v], 2.0f);
            EXPECT_GT(heights[v], 0.3f);
            ++top;
        }
        if (p.z == 10.0f && p.x < 0.5f && p.y > 1.0f && p.y < 9.0f) {
            EXPECT_EQ(heights[v], 2.0f);
            ++far;
        }
    }
    // Where anything was held, a height never rises faster than the distance along an edge.
    for (std::size_t t = 0; t < part.indices.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = part.indices[t + k], b = part.indices[t + (k + 1) % 3];
            const float length = Length(part.vertices[a].position - part.vertices[b].position);
            ASSERT_LE(std::fabs(heights[a] - heights[b]), length + 1e-4f);
        }
    }
    EXPECT_GT(wall, 20);
    EXPECT_GT(top, 5);
    EXPECT_GT(far, 5);

    // The same through the driver: held heights counted, the result closed.
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    TriangleMesh out;
    SolidDisplacementReport report;
    ASSERT_TRUE(DisplaceSolid(part, std::vector<float>(part.vertices.size(), 0.6f), options, {}, out, report, &tree));
    EXPECT_GT(report.heightsHeld, 0u);
    ExpectClosedManifold(out, "slot");
}

TEST(DisplaceSolid, RaysThatStopAtTheRoomThatCanHoldHoldTheSameHeights) {
    // (2 x 0.5 + 0.4) x 1.01 + 0.01: the highest height counts by its size.
    EXPECT_NEAR(RoomThatCanHold({0.2f, -0.5f, 0.1f}, 0.4), 1.424f, 1e-5f);
    EXPECT_NEAR(RoomThatCanHold({0.2f, 0.5f, std::nanf("")}, 0.0), 1.02f, 1e-5f);
    EXPECT_EQ(RoomThatCanHold({std::numeric_limits<float>::infinity()}, 0.4), kNoClearance);

    // Slots narrower than, near and wider than twice the height plus the gap,
    // held with each ray count and both ways: whatever the rays leave unseen
    // past that room, the held heights come out the same as with rays that
    // look as far as there is anything.
    int unseen = 0;
    std::uint64_t heldAll = 0;
    for (const float slot : {0.6f, 1.0f, 1.3f, 2.5f}) {
        const TriangleMesh part = test::Subdivide(test::MakeSlotPart(slot), 3);
        AabbTree tree;
        tree.Build(part);
        for (const float depth : {0.6f, -0.8f}) {
            for (const std::int32_t rays : {3, 5}) {
                const std::vector<float> heights = test::TextureHeights(part, "Knurl", 3.0f, depth * 2.0f);
                const double gap = 0.4;
                const VertexClearance everywhere = MeasureHeightClearance(part, tree, heights, rays);
                const VertexClearance near =
                    MeasureHeightClearance(part, tree, heights, rays, RoomThatCanHold(heights, gap));
                for (std::size_t v = 0; v < heights.size(); ++v) {
                    unseen += everywhere.outward[v] != near.outward[v] || everywhere.inward[v] != near.inward[v];
                }
                std::vector<float> a = heights, b = heights;
                const std::uint64_t held = HoldHeightsForClearance(part, a, everywhere, gap);
                EXPECT_EQ(HoldHeightsForClearance(part, b, near, gap), held) << slot << " " << depth << " " << rays;
                EXPECT_EQ(a, b) << slot << " " << depth << " " << rays;
                heldAll += held;
            }
        }
    }
    EXPECT_GT(unseen, 100);
    EXPECT_GT(heldAll, 100u);
}

TEST(DisplaceSolid, InwardHeightsAreHeldByTheWallAndOutwardOnesByTheRoomOutside) {
    // A wall 0.6 mm thick: inward the opposite face is 0.6 away, outward nothing.
    const TriangleMesh wall = test::MakeGridBox({0, 0, 0}, {10, 0.6f, 10}, 20);
    AabbTree tree;
    tree.Build(wall);
    const auto onFace = [&](std::size_t v) {
        const Vec3f p = wall.vertices[v].position;
        return (p.y == 0.0f || p.y == 0.6f) && p.x > 1 && p.x < 9 && p.z > 1 && p.z < 9;
    };
    std::vector<float> inward(wall.vertices.size(), -1.0f);
    HoldHeightsForClearance(wall, inward, MeasureHeightClearance(wall, tree, inward, 5), 0.4);
    std::vector<float> outward(wall.vertices.size(), 1.0f);
    EXPECT_EQ(HoldHeightsForClearance(wall, outward, MeasureHeightClearance(wall, tree, outward, 3), 0.4), 0u);
    int faces = 0;
    for (std::size_t v = 0; v < wall.vertices.size(); ++v) {
        if (!onFace(v)) continue;
        EXPECT_NEAR(inward[v], -0.1f, 1e-4f);  // (0.6 - 0.4) x 0.5
        EXPECT_EQ(outward[v], 1.0f);
        ++faces;
    }
    EXPECT_GT(faces, 100);
    // Zero heights cast no rays; a mismatched list changes nothing.
    const VertexClearance none = MeasureHeightClearance(wall, tree, std::vector<float>(wall.vertices.size(), 0.0f), 3);
    for (std::size_t v = 0; v < wall.vertices.size(); ++v) {
        ASSERT_EQ(none.outward[v], kNoClearance);
        ASSERT_EQ(none.inward[v], kNoClearance);
    }
    std::vector<float> shortList(3, -1.0f);
    EXPECT_EQ(HoldHeightsForClearance(wall, shortList, none, 0.4), 0u);
}

TEST(DisplaceSolid, AStopDuringTheFieldBuildLeavesTheOutputUntouched) {
    const TriangleMesh sphere = MakeTestSphere(5.0f);
    int asked = 0;
    const ProgressCallback progress = [&](const std::string& stage, float) {
        // Let the stage start, then stop at the first poll of a loop inside it.
        return stage != "Displacing: building the solid" || ++asked < 2;
    };
    TriangleMesh out = MakeTestCube(1.0f);
    const TriangleMesh before = out;
    SolidDisplacementReport report;
    SolidDisplacementOptions options;
    options.cellSize = 0.1f;
    EXPECT_FALSE(
        DisplaceSolid(sphere, std::vector<float>(sphere.vertices.size(), 0.3f), options, progress, out, report));
    EXPECT_TRUE(report.stopped);
    EXPECT_FALSE(report.succeeded);
    EXPECT_TRUE(report.failure.empty());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(out.indices, before.indices);
    EXPECT_EQ(out.vertices.size(), before.vertices.size());
    EXPECT_EQ(CurrentCancelContext(), nullptr);
}

// Six hundred copies of one triangle 50 mm across, at a 0.1 mm cell (the
// whole relief takes over a minute): each copy crosses a quarter million
// columns and its box holds every stored brick, and all the copies fall in
// one chunk of the field's loops over triangles. A stop due a fifth of a
// second into the field is answered within a second of it, inside the chunk.
TEST(DisplaceSolid, AStopWithinTheFieldOfAFewHugeTrianglesIsAnsweredAtOnce) {
    const TriangleMesh copies = ridgeforge::test::MakeCopiedTriangle(600, 50.0f);
    using Clock = std::chrono::steady_clock;
    Clock::time_point entered{};
    bool stopping = false;
    const ProgressCallback progress = [&](const std::string& stage, float) {
        if (stage != "Displacing: building the solid") return true;
        if (entered == Clock::time_point{}) entered = Clock::now();
        stopping = stopping || Clock::now() - entered >= std::chrono::milliseconds(200);
        return !stopping;
    };
    TriangleMesh out;
    SolidDisplacementReport report;
    SolidDisplacementOptions options;
    options.cellSize = 0.1f;
    EXPECT_FALSE(
        DisplaceSolid(copies, std::vector<float>(copies.vertices.size(), 0.0f), options, progress, out, report));
    const Clock::time_point ended = Clock::now();
    ASSERT_TRUE(stopping);
    EXPECT_TRUE(report.stopped);
    EXPECT_LT(std::chrono::duration<double>(ended - (entered + std::chrono::milliseconds(200))).count(), 1.0)
        << std::chrono::duration<double>(ended - entered).count();
    EXPECT_TRUE(out.indices.empty());
}

TEST(DisplaceSolid, FailuresAndRefusalsAreReportedAndChangeNothing) {
    const TriangleMesh cube = MakeTestCube(4.0f);
    SolidDisplacementOptions options;
    options.cellSize = 0.25f;
    TriangleMesh out;
    SolidDisplacementReport report;
    // Heights that do not match the vertices.
    EXPECT_FALSE(DisplaceSolid(cube, std::vector<float>(7, 0.0f), options, {}, out, report));
    EXPECT_FALSE(report.stopped || report.refused || report.fieldTooLarge);
    EXPECT_EQ(report.heights, 7u);
    ASSERT_FALSE(report.failure.empty());
    EXPECT_EQ(report.failure.substr(report.failure.size() - 20), "Nothing was changed.");
    EXPECT_EQ(FormatSolidDisplacementReport(report), report.failure);
    // The input's own estimate over the limit.
    options.maximumTriangles = 12;
    EXPECT_FALSE(DisplaceSolid(cube, std::vector<float>(8, 0.0f), options, {}, out, report));
    EXPECT_TRUE(report.refused);
    EXPECT_EQ(report.triangleEstimate, 13u);
    EXPECT_EQ(FormatSolidDisplacementReport(report),
              "Solid displacement refused: about 13 triangles would be over the limit");
    // The contour's estimate over the limit.
    options.maximumTriangles = 100;
    EXPECT_FALSE(DisplaceSolid(cube, std::vector<float>(8, 0.0f), options, {}, out, report));
    EXPECT_TRUE(report.refused);
    EXPECT_GT(report.triangleEstimate, 1000u);
    EXPECT_TRUE(out.indices.empty());
    // An open box: its columns cross once, so the solid runs on into bricks
    // that are not stored, and the contour has holes.
    TriangleMesh open = test::MakeGridBox({0, 0, 0}, {4, 4, 4}, 4);
    std::vector<std::uint32_t> kept;
    for (std::size_t t = 0; t < open.indices.size(); t += 3) {
        bool top = true;
        for (int k = 0; k < 3; ++k) top = top && open.vertices[open.indices[t + k]].position.z == 4.0f;
        if (!top) kept.insert(kept.end(), open.indices.begin() + t, open.indices.begin() + t + 3);
    }
    open.indices = kept;
    options.maximumTriangles = ~std::uint64_t{0};
    EXPECT_FALSE(DisplaceSolid(open, std::vector<float>(open.vertices.size(), 0.0f), options, {}, out, report));
    EXPECT_TRUE(report.holes);
    EXPECT_FALSE(report.stopped);
    EXPECT_GT(report.oddColumns, 0u);
    EXPECT_NE(report.failure.find("holes"), std::string::npos);
    EXPECT_EQ(report.failure.substr(report.failure.size() - 20), "Nothing was changed.");
    EXPECT_TRUE(out.indices.empty());
}

TEST(FormatRemovedBodies, ListsTenBodiesAKindLargestFirst) {
    SolidDisplacementReport report;
    for (int i = 0; i < 12; ++i) {
        report.crumbList.push_back(
            {{0, 0, 0}, {1, 2, 3}, static_cast<std::uint64_t>(10 + i), i == 11 ? 0.123456 : 0.0});
    }
    report.voidList.push_back({{-1, -1, -1}, {1, 1, 1}, 8, -0.5});
    report.thinBodyList.push_back({{0, 0, 0}, {0.2f, 4, 4}, 30, 0.0});
    const std::string text = FormatRemovedBodies(report);
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        lines.push_back(text.substr(from, at - from));
    }
    ASSERT_EQ(lines.size(), 1u + 10u + 1u + 1u);
    EXPECT_EQ(lines[0], "  void 2.00 x 2.00 x 2.00 mm at (0.00 0.00 0.00), 8 triangles, 0.5000 mm3");
    EXPECT_EQ(lines[1], "  crumb 1.00 x 2.00 x 3.00 mm at (0.50 1.00 1.50), 21 triangles, 0.1235 mm3");
    EXPECT_EQ(lines[2], "  crumb 1.00 x 2.00 x 3.00 mm at (0.50 1.00 1.50), 20 triangles");
    EXPECT_EQ(lines[10], "  crumb 1.00 x 2.00 x 3.00 mm at (0.50 1.00 1.50), 12 triangles");
    EXPECT_EQ(lines[11], "  and 2 more crumbs");
    EXPECT_EQ(lines[12], "  thin body 0.20 x 4.00 x 4.00 mm at (0.10 2.00 2.00), 30 triangles");

    report.bodiesRemoved = 14;
    report.voids = 1;
    report.crumbs = 12;
    report.thinBodies = 1;
    report.trianglesRemoved = 200;
    report.lineWidth = 0.4f;
    const std::string full = FormatSolidDisplacementReport(report);
    EXPECT_NE(full.find("; taken off as unprintable (line 0.40 mm): 1 voids and 12 crumbs under a cube of one line, "
                        "1 bodies thinner than one line (200 triangles)\n  time: cap 0 ms; field 0 ms; contour 0 ms\n"
                        "  void 2.00"),
              std::string::npos)
        << full;
    EXPECT_NE(full.back(), '\n');
}

}  // namespace
}  // namespace ridgeforge::mesh
