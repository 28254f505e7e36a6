// The order of a run and its finishing checks. The finishing run repeats
// only what its inputs make necessary: the mesh check when a stage or the
// cleanup changed the mesh, the wall measurement when the relief or the wall
// settings changed, the print check when the mesh was checked again or its
// settings changed.
#include "document/pipeline/PipelineStages.h"

#include <chrono>
#include <utility>

#include "relief/displacement/DisplacementSampling.h"
#include "relief/displacement/WallThinning.h"
#include "relief/validation/Printability.h"
#include "relief/validation/ValidateMesh.h"

namespace ridgeforge::mesh {
namespace {

constexpr const char* kMeshCheckStage = "Checking the mesh";
constexpr const char* kPrintCheckStage = "Checking that it prints";
constexpr const char* kWallStage = "Measuring the walls";

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

class StageRun {
public:
    StageRun(PipelineStageCache& cache, const ProgressCallback& progress) : cache_(cache), progress_(progress) {}

    bool Run();

private:
    // Reports the step; true when the run is to stop, which leaves the
    // finishing run due again. Without a callback nothing stops.
    bool StopRequested(const std::string& text);
    // Marks the run stopped with the finishing run due again; false.
    bool StopChecks();
    // Ends a run whose stage stopped or failed; only a stop is marked stopped.
    bool EndEarly(const TriangleMesh& first, const TriangleMesh& second);
    bool Finish(const bool (&dirtyAtStart)[kPipelineStageCount]);
    void MeasureWalls(CancelContext* cancel);
    bool CheckPrints(bool checkMesh);

    template <typename Step>
    auto Timed(PipelineStage stage, Step step) {
        const auto start = std::chrono::steady_clock::now();
        auto outcome = step();
        cache_.runState.stageMilliseconds[static_cast<int>(stage)] += MillisecondsSince(start);
        return outcome;
    }

    PipelineStageCache& cache_;
    const ProgressCallback& progress_;
};

bool StageRun::StopRequested(const std::string& text) {
    if (!progress_ || progress_(text, -1.0f)) return false;
    StopChecks();
    return true;
}

bool StageRun::StopChecks() {
    cache_.SetDirty(PipelineStage::Simplify, true);
    cache_.runState.stopped = true;
    return false;
}

bool StageRun::EndEarly(const TriangleMesh& first, const TriangleMesh& second) {
    PipelineRunState& state = cache_.runState;
    state.stopped = !state.refused && state.message.empty();
    cache_.finalMesh = HoldsTriangles(first) ? first : second;
    return false;
}

bool StageRun::Run() {
    PipelineRunState& state = cache_.runState;
    state.remeshed = state.stopped = state.refused = false;
    state.estimate = 0;
    state.message.clear();
    for (double& ms : state.stageMilliseconds) ms = 0.0;
    if (!HoldsTriangles(cache_.sourceMesh)) {
        for (bool& dirty : cache_.stageDirty) dirty = false;
        cache_.runUnfinished = false;
        return true;
    }
    // Until the finishing run completes, whatever finalMesh holds is unchecked.
    cache_.runUnfinished = true;
    state.sourceTriangles = cache_.sourceMesh.TriangleCount();
    bool dirtyAtStart[kPipelineStageCount];
    for (int s = 0; s < kPipelineStageCount; ++s) dirtyAtStart[s] = cache_.stageDirty[s];

    if (cache_.IsDirty(PipelineStage::Remesh)) {
        const StageOutcome outcome = Timed(PipelineStage::Remesh, [&] { return RunRemeshStage(cache_, progress_); });
        if (outcome != StageOutcome::Done) return EndEarly(cache_.remeshedMesh, cache_.sourceMesh);
        cache_.SetDirty(PipelineStage::Remesh, false);
    }
    if (cache_.IsDirty(PipelineStage::Mask)) {
        if (!ReportProgress(progress_, "Working out which faces receive texture", -1.0f)) {
            return EndEarly(cache_.reliefInputMesh, cache_.remeshedMesh);
        }
        const StageOutcome outcome = Timed(PipelineStage::Mask, [&] { return RunMaskStage(cache_, progress_); });
        if (outcome != StageOutcome::Done) return EndEarly(cache_.reliefInputMesh, cache_.remeshedMesh);
        cache_.SetDirty(PipelineStage::Mask, false);
    }
    if (cache_.IsDirty(PipelineStage::Displacement)) {
        if (!ReportProgress(progress_, "Displacing", -1.0f))
            return EndEarly(cache_.reliefInputMesh, cache_.remeshedMesh);
        const StageOutcome outcome =
            Timed(PipelineStage::Displacement, [&] { return RunDisplacementStage(cache_, progress_); });
        if (outcome != StageOutcome::Done) return EndEarly(cache_.reliefInputMesh, cache_.remeshedMesh);
        cache_.SetDirty(PipelineStage::Displacement, false);
    }
    if (cache_.IsDirty(PipelineStage::Simplify)) {
        const StageOutcome outcome =
            Timed(PipelineStage::Simplify, [&] { return RunSimplifyStage(cache_, progress_); });
        if (outcome != StageOutcome::Done) {
            // The stage put the displaced mesh back; Simplify stays due.
            state.stopped = true;
            return false;
        }
    }
    const auto cleanupStart = std::chrono::steady_clock::now();
    RunCleanupStage(cache_);
    state.cleanupMilliseconds = MillisecondsSince(cleanupStart);
    // The finishing run hangs off Simplify: the stage stays due until the
    // checks are through, so that a run ended by an error in them repeats
    // them rather than publishing the unchecked mesh at once.
    if (!Finish(dirtyAtStart)) return false;
    cache_.SetDirty(PipelineStage::Simplify, false);
    cache_.runUnfinished = false;
    return true;
}

bool StageRun::Finish(const bool (&dirtyAtStart)[kPipelineStageCount]) {
    PipelineRunState& state = cache_.runState;
    const PipelineSettings& settings = cache_.settings;
    const bool meshChanged = dirtyAtStart[static_cast<int>(PipelineStage::Remesh)] ||
                             dirtyAtStart[static_cast<int>(PipelineStage::Displacement)] ||
                             dirtyAtStart[static_cast<int>(PipelineStage::Simplify)];
    const bool relief = settings.displacementEnabled && HasHeights(cache_.texture);
    const bool effective = settings.remeshEnabled || relief || settings.simplifyEnabled;
    const bool finishingOnly = cache_.finishingOnly;
    cache_.finishingOnly = false;
    const bool cleanupChanged = CleanupChangedMesh(state.cleanupReport);
    state.unchangedPart = !effective && !cleanupChanged;
    const bool checkMesh = (meshChanged && effective && !finishingOnly) || cleanupChanged;

    state.validated = false;
    state.checkMilliseconds = 0.0;
    if (checkMesh) {
        if (StopRequested(kMeshCheckStage)) return false;
        const auto start = std::chrono::steady_clock::now();
        // The check asks the callback as it goes, under the same text.
        CancelContext cancel;
        cancel.callback = &progress_;
        cancel.stageName = kMeshCheckStage;
        try {
            state.validation =
                ValidateMesh(cache_.finalMesh, ValidationOptions{0.001f, false, true, 40'000'000}, &cancel);
        } catch (const Stopped&) {
            return StopChecks();
        }
        state.validated = true;
        state.checkMilliseconds = MillisecondsSince(start);
    }
    const bool wallsDue = relief && settings.displacement.method == DisplacementMethod::Mesh &&
                          settings.displacement.checkThinWalls && HoldsTriangles(cache_.reliefInputMesh) &&
                          cache_.reliefInputMesh.vertices.size() == cache_.displacedMesh.vertices.size();
    if (!wallsDue) {
        state.walls = {};
        cache_.wallsMeasured = false;
    } else {
        const bool same = cache_.wallsMeasured &&
                          cache_.wallLineWidthMillimetres == settings.wallLineWidthMillimetres &&
                          cache_.wallThresholdMillimetres == settings.wallThresholdMillimetres &&
                          cache_.wallMinimumMoveMillimetres == settings.wallMinimumMoveMillimetres;
        if (dirtyAtStart[static_cast<int>(PipelineStage::Displacement)] || !same) {
            if (StopRequested(kWallStage)) return false;
            CancelContext cancel;
            cancel.callback = &progress_;
            cancel.stageName = kWallStage;
            try {
                MeasureWalls(&cancel);
            } catch (const Stopped&) {
                return StopChecks();
            }
        }
    }
    return CheckPrints(checkMesh);
}

void StageRun::MeasureWalls(CancelContext* cancel) {
    const PipelineSettings& settings = cache_.settings;
    cache_.runState.walls =
        MeasureWallThinning(cache_.reliefInputMesh, cache_.displacedMesh, cache_.reliefCoverage.vertexWeights,
                            cache_.runState.displacementReport, settings.wallLineWidthMillimetres,
                            settings.wallThresholdMillimetres, settings.wallMinimumMoveMillimetres, cancel);
    cache_.wallsMeasured = true;
    cache_.wallLineWidthMillimetres = settings.wallLineWidthMillimetres;
    cache_.wallThresholdMillimetres = settings.wallThresholdMillimetres;
    cache_.wallMinimumMoveMillimetres = settings.wallMinimumMoveMillimetres;
}

bool StageRun::CheckPrints(bool checkMesh) {
    PipelineRunState& state = cache_.runState;
    const PipelineSettings& settings = cache_.settings;
    if (!settings.printCheckEnabled) {
        state.printability = {};
        state.printabilityBefore = {};
        state.beforeChecked = false;
        cache_.printCheckDone = false;
        return true;
    }
    if (!checkMesh && cache_.printCheckDone && settings.printability == cache_.printCheckSettings) return true;
    if (StopRequested(kPrintCheckStage)) return false;
    CancelContext cancel;
    cancel.callback = &progress_;
    cancel.stageName = kPrintCheckStage;
    try {
        // Until both checks are through the run state keeps the reports of
        // the last finished check: a stop leaves nothing half measured.
        PrintabilityReport result = CheckPrintability(cache_.finalMesh, settings.printability, &cancel);
        // Whether the relief made the difference: the mesh before it is checked
        // only when the result has findings.
        const bool compare = settings.displacementEnabled && HasHeights(cache_.texture) && HasPrintFindings(result) &&
                             HoldsTriangles(cache_.reliefInputMesh);
        if (compare && (!cache_.printBeforeDone || !(cache_.printBeforeSettings == settings.printability))) {
            cache_.printBefore = CheckPrintability(cache_.reliefInputMesh, settings.printability, &cancel);
            cache_.printBeforeDone = true;
            cache_.printBeforeSettings = settings.printability;
        }
        state.printability = std::move(result);
        state.printabilityBefore = compare ? cache_.printBefore : PrintabilityReport{};
        state.beforeChecked = compare;
    } catch (const Stopped&) {
        return StopChecks();
    }
    cache_.printCheckDone = true;
    cache_.printCheckSettings = settings.printability;
    return true;
}

}  // namespace

bool RunStages(PipelineStageCache& cache, const ProgressCallback& progress) { return StageRun(cache, progress).Run(); }

}  // namespace ridgeforge::mesh
