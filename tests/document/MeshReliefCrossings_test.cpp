// The vertex-moving relief, run as Process runs it with the defaults and a
// 2 mm relief, leaves the displaced mesh uncrossed, before the simplification
// and the export fixes could hide what it did: the screw's thread roots fold
// under the relief, the cone's bed rim slides over the bed face.
#include <gtest/gtest.h>

#include "document/RidgeforgeDoc.h"
#include "tests/document/ToolHost.h"
#include "tests/support/SelfIntersections.h"
#include "testing/ReliefStressParts.h"

namespace ridgeforge {
namespace {

TEST(MeshReliefCrossings, ScrewAndConeAreUncrossedRightAfterTheDisplacement) {
    for (const test::StressPart& part : test::MakeReliefStressParts()) {
        if (part.name != "standing screw" && part.name != "standing cone") continue;
        test::ToolDocument d;
        d.host.proceduralDialog = [](mesh::procedural::ProceduralTexture&) { return true; };
        d.doc.LoadTestShape(part.mesh, L"Part", L"Part", L"Part");
        d.doc.OnProceduralPattern(0);
        d.doc.displacementSettings.method = mesh::DisplacementMethod::Mesh;
        d.doc.displacementSettings.strengthMillimetres = 2.0f;
        d.doc.OnSettingsChanged();
        d.doc.Process();
        ASSERT_TRUE(test::PollUntilApplied(d.doc)) << part.name;
        const mesh::PipelineStageCache& cache = d.doc.pipeline.Cache();
        ASSERT_TRUE(cache.runState.hasDisplacementReport) << part.name;
        ASSERT_GT(cache.runState.displacementReport.displacedVertices, 1000u) << part.name;
        const test::SelfIntersectionCount before = test::CountSelfIntersections(cache.reliefInputMesh);
        const test::SelfIntersectionCount after = test::CountSelfIntersections(cache.displacedMesh);
        EXPECT_EQ(after.intersectingPairs, 0u) << part.name;
        EXPECT_LE(after.foldedEdges, before.foldedEdges) << part.name;
    }
}

}  // namespace
}  // namespace ridgeforge
