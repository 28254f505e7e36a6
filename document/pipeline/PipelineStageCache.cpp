// The stage plan over the cached settings and dirty flags. A stage that is
// already due wins over a later difference in the settings, and a change of
// the finishing settings alone re-runs only the finishing run, which hangs
// off the Simplify stage. A run that did not reach its end leaves the result
// due whatever is switched on.
#include "document/pipeline/PipelineStageCache.h"

#include <utility>

namespace ridgeforge::mesh {

PipelinePlan PipelineStageCache::CompareSettings(const PipelineSettings& next) const {
    return mesh::CompareSettings(settings, next);
}

bool PipelineStageCache::FinishingSettingsEqual(const PipelineSettings& a, const PipelineSettings& b) {
    return mesh::FinishingSettingsEqual(a, b);
}

void PipelineStageCache::MarkDirty(const PipelineSettings& next) {
    const PipelinePlan plan = CompareSettings(next);
    const bool finishingSame = FinishingSettingsEqual(settings, next);
    bool noneDirty = true;
    for (bool dirty : stageDirty) noneDirty = noneDirty && !dirty;
    settings = next;
    if (plan.any) {
        for (int s = plan.stage; s < kPipelineStageCount; ++s) stageDirty[s] = true;
        finishingOnly = false;
    } else if (!finishingSame) {
        SetDirty(PipelineStage::Simplify, true);
        // A stage already due keeps the flag as it was.
        if (noneDirty) finishingOnly = true;
    }
}

PipelinePlan PipelineStageCache::FirstStageToRun(const PipelineSettings& next) const {
    PipelinePlan plan = CompareSettings(next);
    if (!plan.any && !FinishingSettingsEqual(settings, next)) {
        plan = {static_cast<std::int32_t>(PipelineStage::Simplify), true};
    }
    const bool switchedOn[kPipelineStageCount] = {next.remeshEnabled, true, next.displacementEnabled,
                                                  next.simplifyEnabled};
    for (int s = 0; s < kPipelineStageCount; ++s) {
        if (!stageDirty[s] || !switchedOn[s]) continue;
        if (!plan.any || s < plan.stage) plan = {s, true};
        break;
    }
    if (runUnfinished) {
        // Due from the last stage that is on and shapes the result, so that
        // the step the unchecked mesh came from is the one shown as stale.
        std::int32_t last = static_cast<std::int32_t>(PipelineStage::Mask);
        if (next.simplifyEnabled) {
            last = static_cast<std::int32_t>(PipelineStage::Simplify);
        } else if (next.displacementEnabled) {
            last = static_cast<std::int32_t>(PipelineStage::Displacement);
        } else if (next.remeshEnabled) {
            last = static_cast<std::int32_t>(PipelineStage::Remesh);
        }
        if (!plan.any || last < plan.stage) plan = {last, true};
    }
    return plan;
}

const TriangleMesh& PipelineStageCache::LatestValidMesh(const PipelineSettings& next) const {
    const PipelinePlan plan = FirstStageToRun(next);
    if (!plan.any) return finalMesh;
    const auto firstHolding = [](std::initializer_list<const TriangleMesh*> meshes) -> const TriangleMesh& {
        for (const TriangleMesh* m : meshes) {
            if (HoldsTriangles(*m)) return *m;
        }
        return **(meshes.end() - 1);
    };
    const bool simplifyOff = !settings.simplifyEnabled && !next.simplifyEnabled;
    switch (static_cast<PipelineStage>(plan.stage)) {
        case PipelineStage::Remesh:
            return sourceMesh;
        case PipelineStage::Mask:
        case PipelineStage::Displacement:
            if (!settings.displacementEnabled && !next.displacementEnabled && simplifyOff &&
                HoldsTriangles(finalMesh)) {
                return finalMesh;
            }
            return firstHolding({&reliefInputMesh, &remeshedMesh, &sourceMesh});
        case PipelineStage::Simplify:
            if (simplifyOff && HoldsTriangles(finalMesh)) return finalMesh;
            return firstHolding({&displacedMesh, &reliefInputMesh, &remeshedMesh, &sourceMesh});
    }
    return finalMesh;
}

void PipelineStageCache::ClearCache() {
    sourceMesh = {};
    remeshedMesh = {};
    reliefInputMesh = {};
    displacedMesh = {};
    finalMesh = {};
    reliefCoverage = {};
    displacedCoverage = {};
    gridBuilt = false;
    finishingOnly = false;
    printCheckDone = false;
    printBeforeDone = false;
    printBefore = {};
    wallsMeasured = false;
    runUnfinished = false;
    runState = {};
    for (bool& dirty : stageDirty) dirty = true;
}

void PipelineStageCache::TakeSource(TriangleMesh mesh) {
    ClearCache();
    sourceMesh = std::move(mesh);
    if (HoldsTriangles(sourceMesh)) {
        sourceMesh.RecomputeBounds();
        finalMesh = sourceMesh;
    }
}

}  // namespace ridgeforge::mesh
