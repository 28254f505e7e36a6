// Edge-collapse simplification on generated parts that stress it (teeth, a
// thread, thin walls, large flat faces, holes), contoured first as the
// program's remesh leaves them: no self-intersection or fold that the input
// did not have, at a fine and a coarse detail level.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "mesh/remesh/Remesh.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "tests/support/SelfIntersections.h"
#include "testing/StressParts.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::CountWithinBodies;
using ridgeforge::test::MakeStressParts;
using ridgeforge::test::SelfIntersectionCount;

TEST(SimplifyStressParts, AddsNoSelfIntersectionOrFold) {
    for (const auto& part : MakeStressParts()) {
        TriangleMesh input = part.mesh;
        const float size = std::max({input.boundsMax.x - input.boundsMin.x, input.boundsMax.y - input.boundsMin.y,
                                     input.boundsMax.z - input.boundsMin.z});
        RemeshSettings remesh;
        remesh.method = kRemeshContour;
        remesh.targetEdgeMillimetres = size / 65.0f;
        Remesh(input, remesh, {});
        const SelfIntersectionCount before = CountWithinBodies(input);
        for (const float level : {0.01f, 0.1f}) {
            SCOPED_TRACE(part.name + " at detail level " + std::to_string(level));
            TriangleMesh mesh = input;
            MeshSimplifyOptions options;  // as Simplify Input Mesh passes them
            options.detailLevel = level;
            options.measureMovement = false;
            const SimplifyReport report = SimplifyMesh(mesh, options, {});
            EXPECT_LT(report.trianglesAfter, report.trianglesBefore);
            const SelfIntersectionCount after = CountWithinBodies(mesh);
            EXPECT_LE(after.intersectingPairs, before.intersectingPairs);
            EXPECT_LE(after.foldedEdges, before.foldedEdges);
        }
    }
}
