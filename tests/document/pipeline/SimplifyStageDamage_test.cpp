// The simplify stage on a clean part must not hand the save check a surface
// that passes through itself or has triangles folded over, by the check's
// own fold measure (a triangle facing away from the summed normals at its
// corners), whichever of the two passes runs.
//
// The part: a frustum standing on a flat, finely gridded bottom, its walls
// leaning inward so that they face about 120 degrees away from the bottom,
// rippled so that no planar region covers them. Merging the bottom into a
// few large triangles weighs the sum at the rim against the small wall
// triangles, though nothing turns.
#include <gtest/gtest.h>

#include <cmath>

#include "document/pipeline/PipelineStages.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "tests/support/SelfIntersections.h"
#include "testing/Shapes.h"

namespace ridgeforge::mesh {
namespace {

constexpr float kHeight = 6.0f;

TriangleMesh MakeRippledFrustum() {
    TriangleMesh m = test::MakeGridBox({-10.0f, -10.0f, 0.0f}, {10.0f, 10.0f, kHeight}, 48);
    for (Vertex& v : m.vertices) {
        Vec3f& p = v.position;
        const float scale = 1.0f - 0.06f * p.z;
        if (p.z > 0.0f && p.z < kHeight) {
            // Ripples across the walls only; the bottom and the top stay flat.
            const float ripple = 0.12f * std::sin(1.9f * p.x + 0.7f) * std::sin(2.3f * p.y + 0.3f) *
                                 std::sin(3.1f * p.z / kHeight * 3.14159265f);
            p.x += ripple * (p.x > 0.0f ? 1.0f : -1.0f);
            p.y += ripple * (p.y > 0.0f ? 1.0f : -1.0f);
        }
        p.x *= scale;
        p.y *= scale;
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

std::uint64_t FoldedTriangles(const TriangleMesh& m) {
    const VertexAdjacency adjacency = BuildVertexAdjacency(m);
    std::uint64_t folded = 0;
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) folded += IsFoldedTriangle(m, adjacency, t) ? 1 : 0;
    return folded;
}

TEST(SimplifyStageDamage, ACleanPartComesOutWithoutCrossingsOrFolds) {
    const TriangleMesh part = MakeRippledFrustum();
    ASSERT_EQ(FoldedTriangles(part), 0u);
    ASSERT_EQ(test::CountSelfIntersections(part).intersectingPairs, 0u);
    for (const bool flatAreas : {true, false}) {
        for (const bool wholeMesh : {true, false}) {
            if (!flatAreas && !wholeMesh) continue;
            SCOPED_TRACE(testing::Message() << "flat areas " << flatAreas << ", whole mesh " << wholeMesh);
            PipelineStageCache cache;
            cache.settings.simplifyEnabled = true;
            cache.settings.simplify.flatAreas = flatAreas;
            cache.settings.simplify.wholeMesh = wholeMesh;
            cache.displacedMesh = part;
            ASSERT_EQ(RunSimplifyStage(cache, {}), StageOutcome::Done);
            const TriangleMesh& result = cache.finalMesh;
            // The flat bottom and top alone hold over a third of the triangles.
            EXPECT_LT(result.TriangleCount(), part.TriangleCount() * 3 / 4);
            EXPECT_EQ(FoldedTriangles(result), 0u);
            EXPECT_EQ(test::CountSelfIntersections(result).intersectingPairs, 0u);
            EXPECT_TRUE(test::IsClosedOrientedManifold(result));
        }
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
