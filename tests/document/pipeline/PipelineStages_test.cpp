// Whole runs over the stage cache with a procedural texture: what each stage
// leaves behind, what the finishing run repeats, and how stops and failures
// end a run.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "mesh/Connectivity.h"
#include "document/pipeline/PipelineStages.h"
#include "relief/mapping/OccupancyGrid.h"
#include "relief/validation/Printability.h"
#include "relief/validation/ValidateMesh.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "tests/document/pipeline/PipelineFixtures.h"

namespace ridgeforge::mesh {
#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderThreadSanitizer = true;
#else
constexpr bool kUnderThreadSanitizer = false;
#endif

namespace {

using test::ProgressRecorder;

constexpr int kMask = 1, kDisplacement = 2, kSimplify = 3;

void ExpectDue(const PipelinePlan& plan, int stage) {
    EXPECT_TRUE(plan.any);
    EXPECT_EQ(plan.stage, stage);
}

bool ClosedManifold(const TriangleMesh& mesh) { return ridgeforge::test::IsClosedOrientedManifold(mesh); }

struct CachedRun {
    PipelineStageCache cache;

    CachedRun(const TriangleMesh& part, const PipelineSettings& settings) {
        cache.texture = test::ProceduralMap("Bricks", 64, 8.0f);
        cache.TakeSource(part);
        cache.MarkDirty(settings);
    }
    bool Again(const PipelineSettings& settings, ProgressRecorder& recorder) {
        cache.MarkDirty(settings);
        return RunStages(cache, recorder.Callback());
    }
};

TEST(PipelineStages, CubeRunsToValidatedResultWithBothMethods) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    for (DisplacementMethod method : {DisplacementMethod::Mesh, DisplacementMethod::Solid}) {
        PipelineSettings s = test::ReliefSettings(cube, method);
        s.remeshEnabled = true;
        s.simplifyEnabled = true;
        CachedRun run(cube, s);
        ProgressRecorder recorder;
        ASSERT_TRUE(RunStages(run.cache, recorder.Callback())) << run.cache.runState.message;
        const PipelineRunState& state = run.cache.runState;
        EXPECT_TRUE(state.remeshed);
        EXPECT_GT(state.remeshedTriangles, cube.TriangleCount());
        EXPECT_TRUE(state.validated);
        EXPECT_TRUE(state.printability.checked);
        EXPECT_TRUE(ClosedManifold(run.cache.finalMesh));
        EXPECT_EQ(state.resultTriangles, run.cache.finalMesh.TriangleCount());
        EXPECT_TRUE(state.coverage.MatchesMesh(run.cache.finalMesh));
        EXPECT_TRUE(state.sampling.measured);
        for (bool dirty : run.cache.stageDirty) EXPECT_FALSE(dirty);
        // The relief moved the surface: the bounds grew past the cube's.
        EXPECT_GT(run.cache.finalMesh.boundsMax.x, cube.boundsMax.x + 0.05f);
        const std::string report = FormatPipelineReport(state);
        EXPECT_NE(report.find("Pipeline: 12 source triangles\n"), std::string::npos) << report;
        EXPECT_NE(report.find("  remesh: 12 -> "), std::string::npos);
        EXPECT_NE(report.find("  mask: "), std::string::npos);
        EXPECT_NE(report.find("  sampling: triangles "), std::string::npos);
        EXPECT_NE(report.find(method == DisplacementMethod::Mesh ? "  displacement: " : "  Solid"), std::string::npos)
            << report;
        EXPECT_NE(report.find("Simplify"), std::string::npos);
        EXPECT_NE(report.find("  result: " + std::to_string(state.resultTriangles) + " triangles"), std::string::npos);
        EXPECT_EQ(report.find("(cancelled)"), std::string::npos);
        // Every stage text is closed before the next begins.
        EXPECT_NE(report.find("\n  result: "), std::string::npos) << report;
    }
}

TEST(PipelineStages, EveryStageOffPassesTheSourceThroughAndChecksOnlyWhatCleanupChanged) {
    const TriangleMesh cube = MakeTestCube(10.0f);
    PipelineSettings off;
    CachedRun clean(cube, off);
    ProgressRecorder recorder;
    ASSERT_TRUE(RunStages(clean.cache, recorder.Callback()));
    EXPECT_EQ(clean.cache.finalMesh.indices, cube.indices);
    EXPECT_TRUE(clean.cache.runState.unchangedPart);
    EXPECT_FALSE(clean.cache.runState.validated);
    EXPECT_FALSE(recorder.Saw("Checking the mesh"));
    EXPECT_TRUE(recorder.Saw("Checking that it prints"));

    // The same cube with a collapsed triangle: the cleanup drops it, so the result is checked.
    TriangleMesh doubled = cube;
    doubled.indices.insert(doubled.indices.end(), {doubled.indices[0], doubled.indices[0], doubled.indices[1]});
    CachedRun welded(doubled, off);
    ProgressRecorder second;
    ASSERT_TRUE(RunStages(welded.cache, second.Callback()));
    EXPECT_GT(welded.cache.runState.cleanupReport.collapsedTrianglesDropped, 0u);
    EXPECT_EQ(welded.cache.finalMesh.TriangleCount(), 12u);
    EXPECT_FALSE(welded.cache.runState.unchangedPart);
    EXPECT_TRUE(welded.cache.runState.validated);
    EXPECT_TRUE(second.Saw("Checking the mesh"));
    EXPECT_NE(FormatPipelineReport(welded.cache.runState).find("  cleanup: "), std::string::npos);
}

TEST(PipelineStages, FinishingChangesRepeatOnlyTheirChecks) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    s.remeshEnabled = true;
    CachedRun run(cube, s);
    ProgressRecorder first;
    ASSERT_TRUE(RunStages(run.cache, first.Callback()));
    EXPECT_TRUE(first.Saw("Checking the mesh"));
    EXPECT_TRUE(first.Saw("Measuring the walls"));
    EXPECT_TRUE(run.cache.runState.walls.measured);

    // Print check only: no stage, no mesh check, no wall measurement.
    PipelineSettings printOnly = s;
    printOnly.printability.layerHeightMillimetres = 0.3f;
    ProgressRecorder second;
    ASSERT_TRUE(run.Again(printOnly, second));
    EXPECT_FALSE(second.Saw("Displacing"));
    EXPECT_FALSE(second.Saw("Checking the mesh"));
    EXPECT_FALSE(second.Saw("Measuring the walls"));
    EXPECT_TRUE(second.Saw("Checking that it prints"));
    EXPECT_FALSE(run.cache.runState.remeshed);
    EXPECT_TRUE(run.cache.runState.walls.measured);  // kept from the first run

    // Wall threshold only: the walls again, no stage and no print check.
    PipelineSettings wallsOnly = printOnly;
    wallsOnly.wallThresholdMillimetres = 0.8f;
    ProgressRecorder third;
    ASSERT_TRUE(run.Again(wallsOnly, third));
    EXPECT_TRUE(third.Saw("Measuring the walls"));
    EXPECT_FALSE(third.Saw("Working out which faces receive texture"));
    EXPECT_FALSE(third.Saw("Displacing"));
    EXPECT_FALSE(third.Saw("Checking the mesh"));
    EXPECT_FALSE(third.Saw("Checking that it prints"));
    EXPECT_FLOAT_EQ(run.cache.runState.walls.threshold, 0.8f);

    // Nothing changed: nothing repeats.
    ProgressRecorder fourth;
    ASSERT_TRUE(run.Again(wallsOnly, fourth));
    EXPECT_FALSE(fourth.Saw("Measuring the walls"));
    EXPECT_FALSE(fourth.Saw("Checking that it prints"));
}

TEST(PipelineStages, MaskModeOneBuildsNoOccupancyGrid) {
    const TriangleMesh cube = MakeTestCube(10.0f);
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    s.faceMaskMode = 1;
    CachedRun run(cube, s);
    ASSERT_TRUE(RunStages(run.cache, {}));
    EXPECT_FALSE(run.cache.gridBuilt);
    EXPECT_TRUE(run.cache.occupancyGrid.IsEmpty());
    EXPECT_EQ(run.cache.runState.coverageStatistics.faces, 0u);  // the summary is for mode 0 only
    EXPECT_TRUE(run.cache.reliefCoverage.MatchesMesh(run.cache.reliefInputMesh));

    s.faceMaskMode = 0;
    ProgressRecorder recorder;
    ASSERT_TRUE(run.Again(s, recorder));
    EXPECT_TRUE(run.cache.gridBuilt);
    EXPECT_EQ(run.cache.runState.coverageStatistics.faces, 12u);
}

TEST(PipelineStages, StopDuringDisplacementResumesThere) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Solid);
    s.remeshEnabled = true;
    CachedRun run(cube, s);
    ProgressRecorder stopper("Displacing");
    EXPECT_FALSE(RunStages(run.cache, stopper.Callback()));
    EXPECT_TRUE(run.cache.runState.stopped);
    EXPECT_TRUE(run.cache.runState.message.empty());
    EXPECT_FALSE(run.cache.stageDirty[kMask]);
    EXPECT_TRUE(run.cache.stageDirty[kDisplacement]);
    EXPECT_EQ(run.cache.finalMesh.indices, run.cache.reliefInputMesh.indices);
    const PipelinePlan plan = run.cache.FirstStageToRun(s);
    EXPECT_TRUE(plan.any);
    EXPECT_EQ(plan.stage, kDisplacement);

    ProgressRecorder resume;
    ASSERT_TRUE(run.Again(s, resume));
    EXPECT_FALSE(resume.Saw("Working out which faces receive texture"));
    EXPECT_TRUE(resume.Saw("Displacing"));
    EXPECT_FALSE(run.cache.runState.stopped);
    EXPECT_TRUE(run.cache.runState.solidRan);
}

// The vertex relief asks under the stage's own text between its steps: a
// stop at the first of those (the stage's entry being the one before) ends
// the run stopped, the relief due and the part as the mask stage left it.
TEST(PipelineStages, AStopWithinTheVertexReliefResumesThere) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    const PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    CachedRun run(cube, s);
    int displacing = 0;
    const ProgressCallback stopWithin = [&displacing](const std::string& text, float) {
        return text != "Displacing" || ++displacing < 2;
    };
    EXPECT_FALSE(RunStages(run.cache, stopWithin));
    EXPECT_EQ(displacing, 2);
    EXPECT_TRUE(run.cache.runState.stopped);
    EXPECT_TRUE(run.cache.runState.message.empty());
    EXPECT_FALSE(run.cache.runState.hasDisplacementReport);
    EXPECT_FALSE(run.cache.stageDirty[kMask]);
    EXPECT_TRUE(run.cache.stageDirty[kDisplacement]);
    EXPECT_EQ(run.cache.finalMesh.indices, run.cache.reliefInputMesh.indices);

    ProgressRecorder resume;
    ASSERT_TRUE(run.Again(s, resume));
    EXPECT_FALSE(resume.Saw("Working out which faces receive texture"));
    EXPECT_FALSE(run.cache.runState.stopped);
    EXPECT_TRUE(run.cache.runState.hasDisplacementReport);
}

// A rod along the diagonal, whose long triangles' boxes fill the occupancy
// grid: a stop asked while the mask stage builds the grid ends the run there
// within a second, leaving the stage due; the next run builds it.
TEST(PipelineStages, StopWhileBuildingTheOccupancyGridEndsTheRunAtOnce) {
    const TriangleMesh rod = ridgeforge::test::MakeFanCappedRod(5.0f, 100.0f, 1000, {1, 1, 1});
    PipelineSettings s = test::ReliefSettings(rod, DisplacementMethod::Mesh);
    s.occupancyCells = 512;
    CachedRun run(rod, s);
    int maskCalls = 0;
    bool stopping = false;
    std::chrono::steady_clock::time_point asked;
    const ProgressCallback stopInsideTheMask = [&](const std::string& text, float) {
        // The first call enters the stage; any later one comes from within it.
        if (text != kOccupancyStage || ++maskCalls == 1) return !stopping;
        if (!stopping) asked = std::chrono::steady_clock::now();
        stopping = true;
        return false;
    };
    EXPECT_FALSE(RunStages(run.cache, stopInsideTheMask));
    const auto ended = std::chrono::steady_clock::now();
    EXPECT_GE(maskCalls, 2);
    ASSERT_TRUE(stopping);
    EXPECT_LT(std::chrono::duration<double>(ended - asked).count(), 1.0);
    EXPECT_TRUE(run.cache.runState.stopped);
    EXPECT_TRUE(run.cache.stageDirty[kMask]);
    EXPECT_FALSE(run.cache.gridBuilt);

    ProgressRecorder resume;
    ASSERT_TRUE(run.Again(s, resume));
    EXPECT_TRUE(run.cache.gridBuilt);
    EXPECT_FALSE(run.cache.stageDirty[kMask]);
    EXPECT_GT(run.cache.runState.coverageStatistics.faces, 0u);
}

TEST(PipelineStages, FailedContourRemeshIsAFailureNotAStop) {
    // An open part with no volume: a single flat square.
    const TriangleMesh open = ridgeforge::test::MakeGridPlate(10.0f, 4);
    PipelineSettings s;
    s.remeshEnabled = true;
    s.remesh.method = kRemeshContour;
    s.remesh.targetEdgeMillimetres = 1.0f;
    CachedRun run(open, s);
    EXPECT_FALSE(RunStages(run.cache, {}));
    const PipelineRunState& state = run.cache.runState;
    EXPECT_FALSE(state.stopped);
    EXPECT_FALSE(state.refused);
    ASSERT_FALSE(state.remeshReport.failure.empty());
    EXPECT_EQ(state.message, state.remeshReport.failure);
    EXPECT_TRUE(run.cache.stageDirty[0]);
}

TEST(PipelineStages, RemeshOverTheLimitIsRefused) {
    const TriangleMesh cube = MakeTestCube(10.0f);
    PipelineSettings s;
    s.remeshEnabled = true;
    s.remesh.targetEdgeMillimetres = 0.5f;
    s.maximumTriangles = 1000;
    CachedRun run(cube, s);
    EXPECT_FALSE(RunStages(run.cache, {}));
    EXPECT_TRUE(run.cache.runState.refused);
    EXPECT_FALSE(run.cache.runState.stopped);
    EXPECT_GT(run.cache.runState.estimate, 1000u);
    EXPECT_EQ(run.cache.finalMesh.indices, cube.indices);
    const std::string report = FormatPipelineReport(run.cache.runState);
    EXPECT_NE(report.find(" triangles, over the limit. Nothing was changed; use a coarser target.\n"), std::string::npos);

    // The count named is the one the relief settings show for the same size
    // (a twelfth more than the remesh's), with commas; a solid relief's
    // refusal names its own estimate.
    PipelineRunState refused;
    refused.refused = true;
    refused.estimate = 91059714;
    EXPECT_NE(FormatPipelineReport(refused).find("  remesh REFUSED: about 98,648,023 triangles, over the limit."),
              std::string::npos);
    EXPECT_EQ(RefusedTriangleText(refused), "98,648,023");
    refused.solidRefused = true;
    EXPECT_EQ(RefusedTriangleText(refused), "91,059,714");
}

TEST(PipelineStages, StopInWholeMeshSimplifyEndsTheRunStopped) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    s.remeshEnabled = true;
    s.simplifyEnabled = true;
    s.simplify.flatAreas = false;
    s.simplify.meshDetailError = 0.1f;
    CachedRun run(cube, s);
    ProgressRecorder stopper("Simplifying the mesh");
    EXPECT_FALSE(RunStages(run.cache, stopper.Callback()));
    EXPECT_TRUE(stopper.Stopped());
    EXPECT_TRUE(run.cache.runState.stopped);
    EXPECT_TRUE(run.cache.runState.simplifyReport.stopped);
    EXPECT_TRUE(run.cache.stageDirty[kSimplify]);
    EXPECT_FALSE(run.cache.stageDirty[kDisplacement]);
    EXPECT_EQ(run.cache.finalMesh.indices, run.cache.displacedMesh.indices);
    EXPECT_FALSE(stopper.Saw("Checking the mesh"));
}

// Walls straight up and a flat bottom on the bed need no support; a relief's
// bumps on the walls reach out over the layers below them.
PipelineSettings OverhangingRelief(const TriangleMesh& cube) {
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    s.remeshEnabled = true;
    s.remesh.targetEdgeMillimetres = 0.5f;
    s.displacement.strengthMillimetres = 4.0f;
    s.displacement.direction = DisplacementDirection::Outward;
    s.printability.cantileverMillimetres = 0.2f;
    s.printability.warningMillimetres = 0.3f;
    s.printability.minimumAreaSquareMillimetres = 0.01f;
    return s;
}

TEST(PipelineStages, ReliefThatNeedsSupportIsComparedWithThePartBeforeIt) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    PipelineSettings s = OverhangingRelief(cube);
    ASSERT_FALSE(s.printability.collectHighlights);
    CachedRun run(cube, s);
    ASSERT_TRUE(RunStages(run.cache, {}));
    const PipelineRunState& state = run.cache.runState;
    ASSERT_TRUE(HasPrintFindings(state.printability)) << FormatPipelineReport(state);
    EXPECT_TRUE(state.beforeChecked);
    EXPECT_FALSE(HasPrintFindings(state.printabilityBefore));
    EXPECT_NE(FormatPipelineReport(state).find(" - the relief made the difference"), std::string::npos);
}

TEST(PipelineStages, ThePartBeforeTheReliefIsCheckedAgainOnlyWhenItOrTheCheckChanged) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    PipelineSettings s = OverhangingRelief(cube);
    CachedRun run(cube, s);
    ASSERT_TRUE(RunStages(run.cache, {}));
    const PipelineRunState& state = run.cache.runState;
    ASSERT_TRUE(state.beforeChecked);
    // A report handed on keeps its time to the nanosecond; a fresh check
    // measures its own.
    const double first = state.printabilityBefore.elapsedMilliseconds;
    const std::uint64_t firstTriangles = run.cache.reliefInputMesh.TriangleCount();

    // A new relief on the same remeshed part: the part before it is unchanged.
    ProgressRecorder recorder;
    s.displacement.strengthMillimetres = 3.0f;
    ASSERT_TRUE(run.Again(s, recorder));
    ASSERT_TRUE(HasPrintFindings(state.printability));
    ASSERT_TRUE(state.beforeChecked);
    EXPECT_EQ(state.printabilityBefore.elapsedMilliseconds, first);
    EXPECT_EQ(run.cache.reliefInputMesh.TriangleCount(), firstTriangles);

    // Another remesh checks it again, and so do other check settings.
    s.remesh.targetEdgeMillimetres = 0.6f;
    ASSERT_TRUE(run.Again(s, recorder));
    ASSERT_TRUE(state.beforeChecked);
    EXPECT_LT(run.cache.reliefInputMesh.TriangleCount(), firstTriangles);
    const double second = state.printabilityBefore.elapsedMilliseconds;
    EXPECT_NE(second, first);
    s.printability.cantileverMillimetres = 0.25f;
    ASSERT_TRUE(run.Again(s, recorder));
    ASSERT_TRUE(state.beforeChecked);
    EXPECT_NE(state.printabilityBefore.elapsedMilliseconds, second);
    const PrintabilityReport fresh = CheckPrintability(run.cache.reliefInputMesh, s.printability);
    EXPECT_EQ(state.printabilityBefore.totalAreaSquareMillimetres, fresh.totalAreaSquareMillimetres);
    EXPECT_EQ(state.printabilityBefore.layers, fresh.layers);
}

// The check of the part before the relief is kept only while that part
// stays: switching the remesh off hands the relief the source itself, and a
// new source starts afresh, each with the check settings unchanged.
TEST(PipelineStages, ThePartBeforeTheReliefIsCheckedAgainAfterTheRemeshGoesOffOrANewPart) {
    const TriangleMesh grid = ridgeforge::test::MakeGridBox({0, 0, 0}, {12, 12, 12}, 24);
    PipelineSettings s = OverhangingRelief(grid);
    s.remesh.targetEdgeMillimetres = 0.8f;
    // The slices' contour lines follow the triangles: they tell the parts apart.
    s.printability.collectHighlights = true;
    CachedRun run(grid, s);
    ASSERT_TRUE(RunStages(run.cache, {}));
    const PipelineRunState& state = run.cache.runState;
    ASSERT_TRUE(state.beforeChecked) << FormatPipelineReport(state);
    const std::size_t remeshed = run.cache.reliefInputMesh.TriangleCount();
    ASSERT_NE(remeshed, grid.TriangleCount());
    const std::size_t remeshedLines = state.printabilityBefore.contourLinePoints.size();

    const auto expectCheckOf = [&](const TriangleMesh& before) {
        ASSERT_TRUE(state.beforeChecked) << FormatPipelineReport(state);
        const PrintabilityReport fresh = CheckPrintability(before, s.printability);
        EXPECT_EQ(state.printabilityBefore.layers, fresh.layers);
        EXPECT_EQ(state.printabilityBefore.totalAreaSquareMillimetres, fresh.totalAreaSquareMillimetres);
        EXPECT_EQ(state.printabilityBefore.contourLinePoints.size(), fresh.contourLinePoints.size());
    };
    ProgressRecorder recorder;
    s.remeshEnabled = false;
    ASSERT_TRUE(run.Again(s, recorder));
    ASSERT_EQ(run.cache.reliefInputMesh.TriangleCount(), grid.TriangleCount());
    expectCheckOf(grid);
    EXPECT_NE(state.printabilityBefore.contourLinePoints.size(), remeshedLines);

    // A taller part with the same settings.
    const TriangleMesh taller = ridgeforge::test::MakeGridBox({0, 0, 0}, {12, 12, 18}, 24);
    run.cache.TakeSource(taller);
    ASSERT_TRUE(run.Again(s, recorder));
    expectCheckOf(taller);
}

TEST(PipelineStages, SamplingVerdictAndAdvice) {
    SamplingReport r;
    EXPECT_EQ(FormatSamplingReport(r), "sampling: not measured");
    r.measured = true;
    r.triangleMillimetres = 0.2f;
    r.texelMillimetres = 0.1f;
    r.pixelsPerEdge = 2.0f;
    r.finestMillimetres = 0.4f;
    r.suggestedTextureMillimetres = 123.46f;
    r.suggestedTriangleMillimetres = 0.05f;
    EXPECT_EQ(FormatSamplingReport(r),
              "triangles 0.200 mm, texture 0.100 mm/pixel (2.0 pixels per edge) - the mesh carries this map at "
              "full detail\n  nothing finer than 0.40 mm can appear");
    r.pixelsPerEdge = 2.01f;
    r.filterMillimetres = 0.25f;
    EXPECT_NE(FormatSamplingReport(r).find("- the mesh carries most of this map\n"), std::string::npos);
    EXPECT_NE(FormatSamplingReport(r).find("; map filtered to 0.250 mm as asked"), std::string::npos);
    EXPECT_EQ(FormatSamplingReport(r).find("To carry it fully"), std::string::npos);
    EXPECT_EQ(FormatSamplingAdvice(r), "");
    r.pixelsPerEdge = 4.0f;
    EXPECT_EQ(FormatSamplingAdvice(r), "");
    r.pixelsPerEdge = 4.01f;
    r.filterRaised = true;
    const std::string text = FormatSamplingReport(r);
    EXPECT_NE(text.find("the finest grain of this map is being lost"), std::string::npos);
    EXPECT_NE(text.find(" to stop it aliasing into noise"), std::string::npos);
    EXPECT_EQ(FormatSamplingAdvice(r),
              "To carry it fully: spread the texture to about 123.5 mm wide, or ask for triangles of about 0.050 mm.");
    EXPECT_NE(text.find("\n  To carry it fully: "), std::string::npos);
    r.pixelsPerEdge = 10.5f;
    EXPECT_NE(FormatSamplingReport(r).find("most of this map is too fine for these triangles"), std::string::npos);
}

}  // namespace
}  // namespace ridgeforge::mesh

namespace ridgeforge::mesh {
namespace {

// A sphere of the radius resting on z = 0, open when a few triangles are
// left out, through the solid relief at its defaults (1 mm, 0.2 mm triangles).
bool SolidReliefOfSphere(float radius, bool open, PipelineStageCache& cache) {
    TriangleMesh part = MakeTestSphere(radius);
    if (open) part.indices.resize(part.indices.size() - 3 * 40);
    for (Vertex& v : part.vertices) v.position.z += radius;
    part.RecomputeBounds();
    part.RecomputeNormals();
    PipelineSettings s = test::ReliefSettings(part, DisplacementMethod::Solid);
    s.displacement.strengthMillimetres = 1.0f;
    s.remesh.targetEdgeMillimetres = 0.2f;
    s.remeshEnabled = true;
    s.simplifyEnabled = true;
    cache.texture = test::ProceduralMap("Bricks", 64, 8.0f);
    cache.TakeSource(part);
    cache.MarkDirty(s);
    ProgressRecorder recorder;
    return RunStages(cache, recorder.Callback());
}

// A part far smaller than a relief cell, closed or open: the solid relief
// removes what it makes as too small to print. That is a failure that says
// so, not a result of no triangles.
TEST(PipelineStages, SolidReliefThatLeavesNothingFails) {
    for (const bool open : {false, true}) {
        SCOPED_TRACE(open ? "open" : "closed");
        PipelineStageCache cache;
        EXPECT_FALSE(SolidReliefOfSphere(0.08f, open, cache));
        EXPECT_EQ(cache.runState.message, kReliefLeftNothingMessage);
        EXPECT_FALSE(cache.runState.refused);
        EXPECT_TRUE(cache.stageDirty[kDisplacement]);
    }
    // A little larger, it keeps a body.
    PipelineStageCache cache;
    ASSERT_TRUE(SolidReliefOfSphere(0.25f, false, cache)) << cache.runState.message;
    EXPECT_GT(cache.finalMesh.TriangleCount(), 0u);
}

// Stopped or failed in the finishing checks, with Simplify off: the result is
// due though no switched-on stage is dirty, and the next run repeats the
// checks rather than taking the unchecked mesh as done.
TEST(PipelineStages, AStopOrAnErrorInTheChecksLeavesThemDue) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    for (const bool error : {false, true}) {
        CachedRun run(cube, s);
        const ProgressCallback failing = [error](const std::string& text, float) {
            if (text != "Checking the mesh") return true;
            if (error) throw std::runtime_error("no memory for the check");
            return false;
        };
        bool ended = true;
        try {
            ended = RunStages(run.cache, failing);
        } catch (const std::runtime_error&) {
            ended = false;
        }
        EXPECT_FALSE(ended) << error;
        EXPECT_TRUE(run.cache.runUnfinished) << error;
        EXPECT_TRUE(run.cache.stageDirty[kSimplify]) << error;
        EXPECT_FALSE(run.cache.stageDirty[kDisplacement]) << error;
        ExpectDue(run.cache.FirstStageToRun(s), kDisplacement);

        ProgressRecorder again;
        ASSERT_TRUE(run.Again(s, again)) << error;
        EXPECT_FALSE(again.Saw("Displacing")) << error;
        EXPECT_TRUE(again.Saw("Checking the mesh")) << error;
        EXPECT_TRUE(run.cache.runState.validated) << error;
        EXPECT_FALSE(run.cache.runUnfinished) << error;
        EXPECT_FALSE(run.cache.FirstStageToRun(s).any) << error;
    }
}

// A sphere of about a million triangles through a run whose only stage is a
// simplify that keeps every triangle, so the run comes to both checks at
// once: a stop asked a while into the mesh check, or into the print check,
// ends the run within a second as a stop in a check does (stopped, no
// message, the checks due again); the unstopped run that follows finds
// what the checks find on their own.
TEST(PipelineStages, AStopWithinEitherCheckOfALargePartIsAnsweredAtOnce) {
    const TriangleMesh sphere = ridgeforge::test::MakeRingSphereOf(1'200'000, 30.0f);
    PipelineSettings s;
    s.simplifyEnabled = true;
    s.simplify.flatAreas = false;
    s.simplify.wholeMesh = false;
    for (const std::string check : {"Checking the mesh", "Checking that it prints"}) {
        CachedRun run(sphere, s);
        using Clock = std::chrono::steady_clock;
        Clock::time_point entered{}, asked{};
        int calls = 0;
        bool stopping = false;
        const ProgressCallback stopWithin = [&](const std::string& text, float) {
            if (text != check) return true;
            // The first call enters the check; later ones come from within it.
            if (++calls == 1) {
                entered = Clock::now();
                return true;
            }
            // A while into it: 150 ms, or 200 of its calls where it gets that
            // far sooner (an optimised build checks the whole sphere in
            // about 150 ms, with about 700 calls in the print check).
            if (!stopping && calls <= 200 && Clock::now() - entered < std::chrono::milliseconds(150)) return true;
            if (!stopping) asked = Clock::now();
            stopping = true;
            return false;
        };
        EXPECT_FALSE(RunStages(run.cache, stopWithin)) << check;
        const Clock::time_point ended = Clock::now();
        ASSERT_TRUE(stopping) << check;
        // Timed from the moment the stop was due, as if Stop were pressed then.
        // Under the thread sanitizer the tests run on one CPU at a tenth of
        // their speed, so only what the stop leaves behind is checked there.
        if (!kUnderThreadSanitizer) {
            EXPECT_LT(std::chrono::duration<double>(ended - asked).count(), 1.0) << check;
            // The check asks often enough that the stop falls due well within
            // a second of entering it, also under the address sanitizer on a
            // loaded machine.
            EXPECT_LT(asked - entered, std::chrono::milliseconds(1000)) << check;
        }
        EXPECT_TRUE(run.cache.runState.stopped) << check;
        EXPECT_TRUE(run.cache.runState.message.empty()) << check;
        EXPECT_TRUE(run.cache.runUnfinished) << check;
        EXPECT_TRUE(run.cache.stageDirty[kSimplify]) << check;
        EXPECT_EQ(run.cache.runState.validated, check != "Checking the mesh") << check;
        EXPECT_FALSE(run.cache.printCheckDone) << check;
        EXPECT_FALSE(run.cache.runState.printability.checked) << check;

        ProgressRecorder again;
        ASSERT_TRUE(run.Again(s, again)) << check;
        EXPECT_TRUE(again.Saw("Checking the mesh")) << check;
        EXPECT_FALSE(run.cache.runUnfinished) << check;
        EXPECT_FALSE(run.cache.runState.stopped) << check;
        const PipelineRunState& state = run.cache.runState;
        ASSERT_TRUE(state.validated) << check;
        ASSERT_EQ(run.cache.finalMesh.TriangleCount(), sphere.TriangleCount()) << check;
        const ValidationReport alone =
            ValidateMesh(run.cache.finalMesh, ValidationOptions{0.001f, false, true, 40'000'000});
        EXPECT_EQ(state.validation.verdict, alone.verdict) << check;
        EXPECT_EQ(state.validation.edges.openBoundaryEdges, 0u) << check;
        EXPECT_EQ(state.validation.componentCount, 1u) << check;
        EXPECT_EQ(state.validation.sliverTriangles, alone.sliverTriangles) << check;
        EXPECT_EQ(state.validation.reversedTriangles, alone.reversedTriangles) << check;
        const PrintabilityReport printed = CheckPrintability(run.cache.finalMesh, s.printability);
        ASSERT_TRUE(state.printability.checked) << check;
        EXPECT_EQ(state.printability.layers, 300u) << check;
        EXPECT_EQ(state.printability.needsSupportKeys, printed.needsSupportKeys) << check;
        EXPECT_EQ(state.printability.featuresInAir.size(), printed.featuresInAir.size()) << check;
        EXPECT_EQ(state.printability.totalAreaSquareMillimetres, printed.totalAreaSquareMillimetres) << check;
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
