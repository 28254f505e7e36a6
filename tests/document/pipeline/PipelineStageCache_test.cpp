// The stage plan: which stage a settings change makes the first to run again,
// what MarkDirty records, and which cached mesh stays valid.
#include <gtest/gtest.h>

#include <algorithm>

#include "mesh/TestShapes.h"
#include "document/pipeline/PipelineStageCache.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::int32_t kRemesh = 0, kMask = 1, kDisplacement = 2, kSimplify = 3;

// A cache whose results are all current for `settings`.
PipelineStageCache CleanCache(const PipelineSettings& settings) {
    PipelineStageCache cache;
    cache.settings = settings;
    for (bool& dirty : cache.stageDirty) dirty = false;
    return cache;
}

void ExpectPlan(const PipelinePlan& plan, std::int32_t stage) {
    EXPECT_TRUE(plan.any);
    EXPECT_EQ(plan.stage, stage) << PipelineStageName(plan.stage);
}

TEST(PipelinePlan, RemeshAndMaskInputs) {
    PipelineSettings base;
    const PipelineStageCache cache = CleanCache(base);
    EXPECT_FALSE(cache.CompareSettings(base).any);

    PipelineSettings s = base;
    s.maximumTriangles = 1000;  // remesh off, still a new limit for every stage
    ExpectPlan(cache.CompareSettings(s), kRemesh);

    s = base;
    s.projection.activeLayer = 3;
    EXPECT_FALSE(cache.CompareSettings(s).any);
    s.projection.layer[3].zoom = 2.0f;
    ExpectPlan(cache.CompareSettings(s), kMask);

    s = base;
    s.displacement.outsideRule = OutsideRule::Any;  // read by the coverage even with displacement off
    ExpectPlan(cache.CompareSettings(s), kMask);
    s = base;
    s.faceMaskMode = 1;
    ExpectPlan(cache.CompareSettings(s), kMask);
    s = base;
    s.tileFrame.heightMillimetres = 3.0f;
    ExpectPlan(cache.CompareSettings(s), kMask);
    s = base;
    s.masks.push_back(MaskVolume{});
    ExpectPlan(cache.CompareSettings(s), kMask);
    s = base;
    s.occupancyCells = 128;
    ExpectPlan(cache.CompareSettings(s), kMask);
}

TEST(PipelinePlan, SolidReliefContoursWhateverRemeshMethod) {
    PipelineSettings base;
    base.remeshEnabled = true;
    base.displacementEnabled = true;
    base.displacement.method = DisplacementMethod::Solid;
    base.remesh.method = kRemeshContour;
    const PipelineStageCache solid = CleanCache(base);
    for (RemeshMethod method : {kRemeshIsotropic, kRemeshDualContouring}) {
        PipelineSettings s = base;
        s.remesh.method = method;
        EXPECT_FALSE(solid.CompareSettings(s).any) << method;
    }
    // The mesh method remeshes as asked.
    PipelineSettings meshMethod = base;
    meshMethod.displacement.method = DisplacementMethod::Mesh;
    const PipelineStageCache mesh = CleanCache(meshMethod);
    meshMethod.remesh.method = kRemeshIsotropic;
    ExpectPlan(mesh.CompareSettings(meshMethod), kRemesh);
    // So does a run without relief.
    PipelineSettings plain = base;
    plain.displacementEnabled = false;
    const PipelineStageCache off = CleanCache(plain);
    plain.remesh.method = kRemeshIsotropic;
    ExpectPlan(off.CompareSettings(plain), kRemesh);
    // A remesh setting change while the remesh is off in both plans nothing.
    PipelineSettings remeshOff;
    const PipelineStageCache offCache = CleanCache(remeshOff);
    remeshOff.remesh.targetEdgeMillimetres = 0.5f;
    EXPECT_FALSE(offCache.CompareSettings(remeshOff).any);
}

TEST(PipelinePlan, DisplacementAndSimplifyInputs) {
    PipelineSettings base;
    base.displacementEnabled = true;
    base.simplifyEnabled = true;
    const PipelineStageCache cache = CleanCache(base);
    PipelineSettings s = base;
    s.displacement.strengthMillimetres = 0.5f;
    ExpectPlan(cache.CompareSettings(s), kDisplacement);
    s = base;
    s.displacement.base.planeMillimetres = 1.0f;
    ExpectPlan(cache.CompareSettings(s), kDisplacement);
    s = base;
    s.simplify.meshDetailError = 0.1f;
    ExpectPlan(cache.CompareSettings(s), kSimplify);
    s = base;
    s.simplifyEnabled = false;
    ExpectPlan(cache.CompareSettings(s), kSimplify);

    // Displacement settings do not matter while the relief is off on both sides.
    PipelineSettings off;
    const PipelineStageCache offCache = CleanCache(off);
    off.displacement.strengthMillimetres = 3.0f;
    EXPECT_FALSE(offCache.CompareSettings(off).any);
}

TEST(PipelinePlan, FinishingChangeRunsTheFinishingOnly) {
    PipelineSettings base;
    PipelineStageCache cache = CleanCache(base);
    PipelineSettings s = base;
    s.cleanup.maximumHoleMillimetres = 2.0f;
    EXPECT_FALSE(cache.CompareSettings(s).any);
    EXPECT_FALSE(PipelineStageCache::FinishingSettingsEqual(base, s));
    ExpectPlan(cache.FirstStageToRun(s), kSimplify);
    cache.MarkDirty(s);
    EXPECT_TRUE(cache.finishingOnly);
    EXPECT_TRUE(cache.stageDirty[kSimplify]);
    EXPECT_FALSE(cache.stageDirty[kDisplacement]);
    EXPECT_EQ(cache.settings.cleanup.maximumHoleMillimetres, 2.0f);

    // Every finishing field counts, the print check's included.
    const auto differs = [&](auto edit) {
        PipelineSettings t = base;
        edit(t);
        return !PipelineStageCache::FinishingSettingsEqual(base, t);
    };
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.cleanup.weldCollapsedTriangles = false; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.cleanup.fillHoles = false; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.cleanup.maximumSlitWidthMillimetres = 1.0f; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.printCheckEnabled = false; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.printability.supportAngleDegrees = 40.0f; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.printability.collectHighlights = true; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.printability.contourLayerDivisor = 10; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.wallLineWidthMillimetres = 0.4f; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.wallThresholdMillimetres = 0.3f; }));
    EXPECT_TRUE(differs([](PipelineSettings& t) { t.wallMinimumMoveMillimetres = 0.1f; }));
    EXPECT_FALSE(differs([](PipelineSettings& t) { t.simplify.meshDetailError = 1.0f; }));

    // With a stage already due, a finishing change leaves finishingOnly as it was.
    PipelineStageCache due = CleanCache(base);
    due.stageDirty[kMask] = true;
    due.MarkDirty(s);
    EXPECT_FALSE(due.finishingOnly);
    EXPECT_TRUE(due.stageDirty[kSimplify]);
    // A real stage change clears finishingOnly and dirties from that stage on.
    PipelineSettings masked = s;
    masked.faceMaskMode = 2;
    cache.MarkDirty(masked);
    EXPECT_FALSE(cache.finishingOnly);
    EXPECT_FALSE(cache.stageDirty[kRemesh]);
    EXPECT_TRUE(cache.stageDirty[kMask] && cache.stageDirty[kDisplacement] && cache.stageDirty[kSimplify]);
}

TEST(PipelinePlan, DirtyStagesAndFreshCache) {
    PipelineSettings s;
    PipelineStageCache fresh;
    ExpectPlan(fresh.FirstStageToRun(s), kMask);  // remesh off
    s.remeshEnabled = true;
    ExpectPlan(fresh.FirstStageToRun(s), kRemesh);

    // A dirty stage that is switched off does not count; the next dirty one does.
    PipelineSettings off;
    PipelineStageCache cache = CleanCache(off);
    cache.stageDirty[kDisplacement] = true;
    cache.stageDirty[kSimplify] = true;
    EXPECT_FALSE(cache.FirstStageToRun(off).any);
    off.simplifyEnabled = true;
    ExpectPlan(cache.FirstStageToRun(off), kSimplify);
    off.simplifyEnabled = false;
    off.displacementEnabled = true;  // also a settings change from Displacement
    ExpectPlan(cache.FirstStageToRun(off), kDisplacement);

    // A dirty stage before the settings' difference wins.
    PipelineSettings a;
    a.displacementEnabled = true;
    PipelineStageCache early = CleanCache(a);
    early.stageDirty[kMask] = true;
    PipelineSettings b = a;
    b.displacement.strengthMillimetres = 2.0f;
    ExpectPlan(early.FirstStageToRun(b), kMask);
}

TEST(PipelinePlan, LatestValidMeshAndSource) {
    PipelineStageCache cache;
    const TriangleMesh cube = MakeTestCube(10.0f);
    cache.TakeSource(cube);
    EXPECT_EQ(cache.finalMesh.indices, cube.indices);
    EXPECT_TRUE(cache.sourceMesh.boundsValid);
    for (bool dirty : cache.stageDirty) EXPECT_TRUE(dirty);

    PipelineSettings s;
    // Remesh off, nothing displaced: the source copy in finalMesh stands.
    EXPECT_EQ(&cache.LatestValidMesh(s), &cache.finalMesh);
    s.remeshEnabled = true;
    EXPECT_EQ(&cache.LatestValidMesh(s), &cache.sourceMesh);

    PipelineSettings relief;
    relief.displacementEnabled = true;
    cache.settings = relief;
    for (bool& dirty : cache.stageDirty) dirty = false;
    cache.stageDirty[kDisplacement] = true;
    cache.remeshedMesh = MakeTestCube(5.0f);
    EXPECT_EQ(&cache.LatestValidMesh(relief), &cache.remeshedMesh);
    cache.reliefInputMesh = MakeTestCube(6.0f);
    EXPECT_EQ(&cache.LatestValidMesh(relief), &cache.reliefInputMesh);
    cache.stageDirty[kDisplacement] = false;
    EXPECT_EQ(&cache.LatestValidMesh(relief), &cache.finalMesh);

    cache.ClearCache();
    EXPECT_TRUE(cache.sourceMesh.vertices.empty());
    EXPECT_TRUE(cache.finalMesh.vertices.empty());
    EXPECT_TRUE(cache.settings.displacementEnabled);  // kept
    for (bool dirty : cache.stageDirty) EXPECT_TRUE(dirty);
    cache.TakeSource(TriangleMesh{});
    EXPECT_TRUE(cache.finalMesh.vertices.empty());
}

TEST(PipelinePlan, StageNames) {
    EXPECT_STREQ(PipelineStageName(0), "Remesh");
    EXPECT_STREQ(PipelineStageName(3), "Simplify");
    EXPECT_STREQ(PipelineStageName(4), "Unknown");
    EXPECT_STREQ(PipelineStageName(-1), "Unknown");
}

// A run that ended before its checks leaves the result due whatever stages
// are on, from the last one that is on; a clean cache with the same settings
// plans nothing. An earlier dirty stage still comes first.
TEST(PipelinePlan, AnUnfinishedRunIsDueFromTheLastStageThatIsOn) {
    struct Case {
        bool remesh, displacement, simplify;
        std::int32_t stage;
    };
    const Case cases[] = {{false, false, false, kMask},       {true, false, false, kRemesh},
                          {true, true, false, kDisplacement}, {false, true, false, kDisplacement},
                          {true, true, true, kSimplify},      {false, false, true, kSimplify}};
    for (const Case& c : cases) {
        PipelineSettings s;
        s.remeshEnabled = c.remesh;
        s.displacementEnabled = c.displacement;
        s.simplifyEnabled = c.simplify;
        PipelineStageCache cache = CleanCache(s);
        EXPECT_FALSE(cache.FirstStageToRun(s).any);
        cache.runUnfinished = true;
        ExpectPlan(cache.FirstStageToRun(s), c.stage);
        cache.stageDirty[kMask] = true;
        ExpectPlan(cache.FirstStageToRun(s), std::min(c.stage, kMask));
    }
    PipelineStageCache cache;
    cache.runUnfinished = true;
    cache.ClearCache();
    EXPECT_FALSE(cache.runUnfinished);
}

}  // namespace
}  // namespace ridgeforge::mesh
