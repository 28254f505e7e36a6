// Edge-collapse simplification on generated parts that stress it (teeth, a
// thread, thin walls, large flat faces, holes), contoured first as the
// program's remesh leaves them, and on what either relief makes of them: no
// self-intersection or fold that the input did not have.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "mesh/remesh/Remesh.h"
#include "mesh/simplify/SimplifyFlatAreas.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "document/pipeline/PipelineStages.h"
#include "tests/document/pipeline/PipelineFixtures.h"
#include "tests/support/SelfIntersections.h"
#include "testing/ReliefStressParts.h"
#include "testing/StressParts.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::CountWithinBodies;
using ridgeforge::test::DamagedTriangles;
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

namespace {

std::vector<ridgeforge::test::StressPart> PartsForRelief() {
    std::vector<ridgeforge::test::StressPart> parts = MakeStressParts();
    for (ridgeforge::test::StressPart& part : ridgeforge::test::MakeReliefStressParts()) parts.push_back(std::move(part));
    return parts;
}

// The part's relief as Process makes it with simplification off: remeshed,
// the first pattern box-mapped around the part.
TriangleMesh ReliefOf(const TriangleMesh& part, DisplacementMethod method, float strength) {
    PipelineSettings settings = test::ReliefSettings(part, method);
    settings.displacement.strengthMillimetres = strength;
    settings.remeshEnabled = true;
    settings.remesh.targetEdgeMillimetres = 0.4f;
    settings.simplifyEnabled = false;
    PipelineStageCache cache;
    cache.texture = test::ProceduralMap("Noise", 128, 20.0f);
    cache.TakeSource(part);
    cache.MarkDirty(settings);
    if (!RunStages(cache, {})) {
        // A sheet thinner than the contour's cell encloses no node: remeshed
        // the other way, as its user would.
        settings.remesh.method = kRemeshIsotropic;
        cache.MarkDirty(settings);
        EXPECT_TRUE(RunStages(cache, {})) << cache.runState.message;
    }
    return cache.displacedMesh;
}

// Per input vertex: within two rings of a triangle the input already had
// crossing or folded.
std::vector<std::uint8_t> NearDamage(const TriangleMesh& mesh) {
    const std::vector<std::uint8_t> damaged = DamagedTriangles(mesh);
    std::vector<std::uint8_t> near(mesh.vertices.size(), 0);
    for (std::size_t t = 0; t < damaged.size(); ++t) {
        if (damaged[t]) near[mesh.indices[3 * t]] = near[mesh.indices[3 * t + 1]] = near[mesh.indices[3 * t + 2]] = 1;
    }
    for (int ring = 0; ring < 2; ++ring) {
        std::vector<std::uint8_t> grown = near;
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            if (!(near[mesh.indices[t]] | near[mesh.indices[t + 1]] | near[mesh.indices[t + 2]])) continue;
            grown[mesh.indices[t]] = grown[mesh.indices[t + 1]] = grown[mesh.indices[t + 2]] = 1;
        }
        near = std::move(grown);
    }
    return near;
}

}  // namespace

namespace {

// The part's relief simplified as the simplify stage does it: flat areas,
// then the whole mesh at the default detail level with the bed held. A
// crossing or fold of the result counts when no corner of its triangle came
// from near damage the relief left.
void ExpectSimplifyAddsNoDamage(const ridgeforge::test::StressPart& part, DisplacementMethod method, float strength) {
    SCOPED_TRACE(part.name + (method == DisplacementMethod::Mesh ? " by mesh relief" : " by solid relief") + " of " +
                 std::to_string(static_cast<int>(strength)) + " mm");
    const TriangleMesh input = ReliefOf(part.mesh, method, strength);
    ASSERT_FALSE(input.indices.empty());
    const std::vector<std::uint8_t> near = NearDamage(input);

    TriangleMesh mesh = input;
    const SimplifySettings settings = PipelineSettings{}.simplify;
    const FlatAreaSimplifyReport flat = SimplifyFlatAreas(mesh, nullptr, settings, {});
    const MeshSimplifyOptions options{settings.meshDetailError, 0, 2, 78.0f, true, nullptr, 0.0f};
    const SimplifyReport report = SimplifyMesh(mesh, options, {});
    EXPECT_LT(report.trianglesAfter, report.trianglesBefore);

    const auto source = [&](std::uint32_t v) {
        const std::uint32_t before = report.sourceVertex[v];
        return flat.vertexMap.empty() ? before : flat.vertexMap[before];
    };
    const std::vector<std::uint8_t> damaged = DamagedTriangles(mesh);
    std::size_t added = 0;
    for (std::size_t t = 0; t < damaged.size(); ++t) {
        if (!damaged[t]) continue;
        bool inherited = false;
        for (int k = 0; k < 3; ++k) inherited = inherited || near[source(mesh.indices[3 * t + k])];
        added += !inherited;
    }
    EXPECT_EQ(added, 0u);
    const SelfIntersectionCount before = CountWithinBodies(input), after = CountWithinBodies(mesh);
    EXPECT_LE(after.intersectingPairs, before.intersectingPairs);
    EXPECT_LE(after.foldedEdges, before.foldedEdges);
}

}  // namespace

TEST(SimplifyStressParts, CollapsesFoldNoFanOnTheThreadOrTheGearRelief) {
    // Where two triangles around the kept vertex each turned within the
    // angle but in opposite directions, they ended folded against each
    // other: on these reliefs 2, 1 and 3 triangles.
    const std::vector<ridgeforge::test::StressPart> parts = MakeStressParts();
    ExpectSimplifyAddsNoDamage(parts[1], DisplacementMethod::Mesh, 2.0f);
    ExpectSimplifyAddsNoDamage(parts[1], DisplacementMethod::Solid, 1.0f);
    ExpectSimplifyAddsNoDamage(parts[0], DisplacementMethod::Solid, 1.0f);
}

// Each relief stress part and each of the remeshers' ones, by either relief
// method at the default strength and at a strong 2 mm.
//
// Not run yet: the shape test refuses a collapse that folds two triangles of
// the fan around the kept vertex against each other, but a collapse can
// still carry the fan through a surface beyond it (the other side of a thin
// wall, the next turn of a thread), which nothing tests, and on relief made
// by the solid method, whose output still crosses itself in hundreds of
// places, the two cannot yet be told apart.
class SimplifyReliefOutput : public testing::TestWithParam<std::tuple<int, DisplacementMethod, float>> {};

TEST_P(SimplifyReliefOutput, DISABLED_AddsNoSelfIntersectionOrFold) {
    const auto [index, method, strength] = GetParam();
    ExpectSimplifyAddsNoDamage(PartsForRelief()[static_cast<std::size_t>(index)], method, strength);
}

INSTANTIATE_TEST_SUITE_P(Parts, SimplifyReliefOutput,
                         testing::Combine(testing::Range(0, static_cast<int>(PartsForRelief().size())),
                                          testing::Values(DisplacementMethod::Mesh, DisplacementMethod::Solid),
                                          testing::Values(1.0f, 2.0f)));
