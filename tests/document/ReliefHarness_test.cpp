// Each relief stress part through Process and Save STL's check exactly as the
// program runs them, by both relief methods, with the defaults (the first
// procedural pattern, box mapping fitted to the part, 1 mm centred relief,
// 0.2 mm triangles, simplification on) and with a 2 mm relief. The mesh that
// would be saved must cross itself nowhere, counted by the
// exact checker of the test support, and the check must not call a file good
// that does. Folded edges are counted and printed, not judged.
//
// Every case prints the counts of the saved mesh; when it crosses itself, or
// with RIDGEFORGE_RELIEF_HARNESS_STAGES=1 in the environment, also the counts
// after each stage (remesh, displacement, simplification, cleanup, export
// fixes), to show where crossings are born. One case alone:
//   --gtest_filter='Parts/ReliefHarness.SavedMeshCrossesNothing/standing_cone_mesh_2mm'
// Cases listed as known to fail are skipped with their counts; with
// RIDGEFORGE_RELIEF_HARNESS_STRICT=1 in the environment they fail instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>

#include "document/RidgeforgeDoc.h"
#include "document/pipeline/PipelineStages.h"
#include "tests/document/ToolHost.h"
#include "tests/support/SelfIntersections.h"
#include "testing/ReliefStressParts.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

using test::SelfIntersectionCount;

struct HarnessCase {
    int part;
    mesh::DisplacementMethod method;
    float strength;
};

std::string PartName(int part) { return test::MakeReliefStressParts()[static_cast<std::size_t>(part)].name; }

std::string CaseName(const HarnessCase& c) {
    std::string name = PartName(c.part) + (c.method == mesh::DisplacementMethod::Solid ? "_solid_" : "_mesh_") +
                       (c.strength > 1.5f ? "2mm" : "1mm");
    for (char& ch : name) ch = ch == ' ' ? '_' : ch;
    return name;
}

// Cases that still leave crossings or folds in the saved mesh; each is
// skipped with its counts until the stage that makes them is mended.
const std::set<std::string>& KnownToFail() {
    static const std::set<std::string> cases = {};
    return cases;
}

bool EnvironmentSays(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string(value) == "1";
}

struct StageCount {
    const char* stage;
    std::size_t triangles;
    SelfIntersectionCount count;
};

StageCount Count(const char* stage, const mesh::TriangleMesh& m) {
    return {stage, m.TriangleCount(), test::CountSelfIntersections(m)};
}

std::string Describe(const std::vector<StageCount>& stages) {
    std::string text;
    for (const StageCount& s : stages) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-14s %8zu triangles, %6llu crossing pairs, %6llu folded edges\n", s.stage,
                      s.triangles, static_cast<unsigned long long>(s.count.intersectingPairs),
                      static_cast<unsigned long long>(s.count.foldedEdges));
        text += line;
    }
    return text;
}

class ReliefHarness : public testing::TestWithParam<HarnessCase> {};

TEST_P(ReliefHarness, SavedMeshCrossesNothing) {
    const HarnessCase c = GetParam();
    test::ToolDocument d;
    d.host.proceduralDialog = [](mesh::procedural::ProceduralTexture&) { return true; };
    const CString name = WideFromUtf8(PartName(c.part));
    d.doc.LoadTestShape(test::MakeReliefStressParts()[static_cast<std::size_t>(c.part)].mesh, name, name, name);
    d.doc.OnProceduralPattern(0);
    ASSERT_TRUE(d.doc.HasTexture());
    ASSERT_TRUE(d.doc.remeshEnabled && d.doc.displacementEnabled && d.doc.simplifyEnabled);
    ASSERT_FLOAT_EQ(d.doc.remeshSettings.targetEdgeMillimetres, 0.2f);
    ASSERT_FLOAT_EQ(d.doc.displacementSettings.strengthMillimetres, 1.0f);
    d.doc.displacementSettings.method = c.method;
    d.doc.displacementSettings.strengthMillimetres = c.strength;
    d.doc.OnSettingsChanged();

    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    for (const test::LogLine& line : d.host.log) {
        ASSERT_EQ(line.text.rfind(L"Refused: ", 0), CString::npos) << Utf8FromWide(line.text);
    }
    ASSERT_TRUE(d.host.Logged(L"Processed: "));

    CRidgeforgeDoc::ExportPlan plan;
    ASSERT_TRUE(d.doc.PrepareExport(plan));
    ASSERT_EQ(d.host.exportChecks.size(), 1u);
    const StageCount exported = Count("export fixes", plan.mesh);

    // The stages' meshes as the run left them, counted when the saved mesh
    // crosses itself or when asked; the simplification runs again on a copy,
    // because the cleanup works on its result in place.
    std::vector<StageCount> stages;
    if (exported.count.intersectingPairs > 0 || EnvironmentSays("RIDGEFORGE_RELIEF_HARNESS_STAGES")) {
        const mesh::PipelineStageCache& cache = d.doc.pipeline.Cache();
        stages = {Count("remesh", cache.remeshedMesh), Count("displacement", cache.displacedMesh)};
        mesh::PipelineStageCache simplified = cache;
        mesh::RunSimplifyStage(simplified, {});
        stages.push_back(Count("simplify", simplified.finalMesh));
        stages.push_back(Count("cleanup", cache.finalMesh));
    }
    stages.push_back(exported);
    const std::string counts = Describe(stages);
    std::printf("%s (check %s):\n%s", CaseName(c).c_str(), plan.checksPassed ? "passed" : "not passed", counts.c_str());

    // Folded edges are printed above for the stages to be judged by; a
    // crossing pair is what a slicer cannot take.
    const SelfIntersectionCount saved = stages.back().count;
    // The check tells the truth whatever else: a file that crosses itself is not passed.
    if (saved.intersectingPairs > 0) {
        EXPECT_FALSE(plan.checksPassed) << Utf8FromWide(d.host.exportChecks[0].report);
    }
    if (saved.intersectingPairs > 0 && KnownToFail().count(CaseName(c)) != 0 &&
        !EnvironmentSays("RIDGEFORGE_RELIEF_HARNESS_STRICT")) {
        GTEST_SKIP() << "known to fail: " << saved.intersectingPairs << " crossing pairs and " << saved.foldedEdges
                     << " folded edges in the saved mesh\n"
                     << counts;
    }
    EXPECT_EQ(saved.intersectingPairs, 0u) << counts;
    EXPECT_TRUE(test::IsClosedOrientedManifold(plan.mesh));
}

std::vector<HarnessCase> AllCases() {
    std::vector<HarnessCase> cases;
    for (int part = 0; part < 5; ++part) {
        for (const mesh::DisplacementMethod method :
             {mesh::DisplacementMethod::Solid, mesh::DisplacementMethod::Mesh}) {
            for (const float strength : {1.0f, 2.0f}) cases.push_back({part, method, strength});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Parts, ReliefHarness, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<HarnessCase>& param) { return CaseName(param.param); });

}  // namespace
}  // namespace ridgeforge
