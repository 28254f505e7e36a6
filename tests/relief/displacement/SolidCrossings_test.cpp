// The solid relief of parts like real ones must not cross itself: every
// relief stress part, meshed finely as the remesh leaves it, with a
// procedural texture at 1 and 2 mm and the cut at the bed, comes out of the
// contouring with no crossing pair, counted exactly (pairs that share a corner
// or an edge included) and no folded edge.
//
// Vertex fits allowed a cell beyond their own crossed every part hundreds to
// thousands of times (the 0.1 mm sheet 14,246 times); pieces of cells crossed
// twice placed by their fit cross the lettered plate at 2 mm; fits clamped to
// the face they reach for, and quads left folded, cross the organic lump at
// 2 mm and fold edges on every part.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "textures/procedural/TextureRegistry.h"
#include "relief/displacement/SolidDisplacement.h"
#include "testing/ReliefShapes.h"
#include "testing/ReliefStressParts.h"
#include "tests/support/SelfIntersections.h"

namespace ridgeforge::mesh {
namespace {

// The relief of one stress part with a procedural pattern tiled every `tile`
// mm, at the default cell of 0.2 mm.
test::SelfIntersectionCount SolidReliefCrossings(const std::string& name, float strength, const std::string& texture,
                                                 float tile) {
    TriangleMesh part;
    for (const test::StressPart& p : test::MakeReliefStressParts()) {
        if (p.name == name) part = p.mesh;
    }

    EXPECT_FALSE(part.indices.empty()) << name;
    // Triangles near the cell size, so the heights carry the texture's detail.
    while (MedianEdgeLength(part) > 0.5f) part = test::Subdivide(part, 1);
    const std::vector<float> heights = test::TextureHeights(part, texture, tile, strength);
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    options.cutEnabled = true;
    options.cutZ = part.boundsMin.z;
    TriangleMesh out;
    SolidDisplacementReport report;
    EXPECT_TRUE(DisplaceSolid(part, heights, options, {}, out, report)) << FormatSolidDisplacementReport(report);
    EXPECT_TRUE(test::IsClosedOrientedManifold(out)) << name;
    const test::SelfIntersectionCount count = test::CountSelfIntersections(out);
    std::printf("%s, %.0f mm: %zu triangles, %llu crossing pairs, %llu folded edges\n", name.c_str(), strength,
                out.TriangleCount(), static_cast<unsigned long long>(count.intersectingPairs),
                static_cast<unsigned long long>(count.foldedEdges));
    return count;
}

void ExpectSound(const std::string& name, const std::string& texture = procedural::TextureNames().front(),
                 float tile = 6.0f) {
    for (const float strength : {1.0f, 2.0f}) {
        const test::SelfIntersectionCount count = SolidReliefCrossings(name, strength, texture, tile);
        EXPECT_EQ(count.intersectingPairs, 0u) << name << " at " << strength << " mm";
        EXPECT_EQ(count.foldedEdges, 0u) << name << " at " << strength << " mm";
    }
}

TEST(SolidCrossings, LetteredPlate) { ExpectSound("lettered plate"); }
TEST(SolidCrossings, ThinSheet) { ExpectSound("thin sheet"); }
TEST(SolidCrossings, StandingCone) { ExpectSound("standing cone"); }
TEST(SolidCrossings, StandingScrew) { ExpectSound("standing screw"); }
TEST(SolidCrossings, OrganicLump) { ExpectSound("organic lump"); }

// A fine knurl folds two quads of one cell against each other across the
// edge they share, each sound on its own: the cone crossed itself 3 times.
TEST(SolidCrossings, FineKnurlOnTheCone) { ExpectSound("standing cone", "Knurl", 3.0f); }

}  // namespace
}  // namespace ridgeforge::mesh
