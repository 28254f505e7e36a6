// The stage meshes of the last run with the settings they were made with, and
// the stage plan: which stage is the first that must run again for new
// settings, and which cached mesh is still valid for them.
//
// A stage's dirty flag is cleared by the stage when it completes and set by
// MarkDirty, ClearCache and construction; a stage that is switched off keeps
// its flag, which takes effect when the stage is switched on again. One thread
// at a time touches the cache: the worker during a run, the requesting thread
// only while no worker runs. Nothing here locks.
#pragma once

#include <cstdint>

#include "mesh/TextureCoverage.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/OccupancyGrid.h"
#include "document/pipeline/PipelineRunState.h"
#include "document/pipeline/PipelineSettings.h"
#include "textures/HeightMap.h"

namespace ridgeforge::mesh {

// Both the vertex list and the index list are non-empty.
inline bool HoldsTriangles(const TriangleMesh& mesh) { return !mesh.vertices.empty() && !mesh.indices.empty(); }

struct PipelineStageCache {
    TriangleMesh sourceMesh;
    TriangleMesh remeshedMesh;
    // The mesh before the relief.
    TriangleMesh reliefInputMesh;
    // With the mesh method, the relief input's vertices moved; with the solid method, a new mesh.
    TriangleMesh displacedMesh;
    // After Simplify and cleanup.
    TriangleMesh finalMesh;
    TextureCoverage reliefCoverage;
    TextureCoverage displacedCoverage;
    PipelineSettings settings;
    HeightMap texture;
    OccupancyGrid occupancyGrid;
    bool gridBuilt = false;
    // Only the finishing settings changed since the last run.
    bool finishingOnly = false;
    bool printCheckDone = false;
    PrintabilitySettings printCheckSettings = PipelinePrintabilityDefaults();
    // The print check of the relief input, kept while that mesh and the
    // check's settings stay: a new relief needs no new check of the part
    // before it. Whatever replaces the relief input clears the flag.
    bool printBeforeDone = false;
    PrintabilitySettings printBeforeSettings = PipelinePrintabilityDefaults();
    PrintabilityReport printBefore;
    bool wallsMeasured = false;
    float wallLineWidthMillimetres = 0.42f;
    float wallThresholdMillimetres = 0.0f;
    float wallMinimumMoveMillimetres = 0.02f;
    bool stageDirty[kPipelineStageCount] = {true, true, true, true};
    // The last run ended before its finishing run completed (stopped, refused
    // or failed): finalMesh may hold a mesh nobody checked, so the result is
    // not current whichever stages are switched on.
    bool runUnfinished = false;
    PipelineRunState runState;

    PipelineStageCache() { occupancyGrid.resolution = 256; }

    PipelinePlan CompareSettings(const PipelineSettings& next) const;
    static bool FinishingSettingsEqual(const PipelineSettings& a, const PipelineSettings& b);
    // Records what the new settings make stale and adopts them.
    void MarkDirty(const PipelineSettings& next);
    PipelinePlan FirstStageToRun(const PipelineSettings& next) const;
    // The newest cached mesh still valid for the new settings.
    const TriangleMesh& LatestValidMesh(const PipelineSettings& next) const;
    // Empties the meshes, coverages and run state and dirties every stage;
    // the settings and the texture stay.
    void ClearCache();
    // A new part: ClearCache, then the part becomes the source and, when it
    // holds triangles, also the final mesh.
    void TakeSource(TriangleMesh mesh);

    bool IsDirty(PipelineStage stage) const { return stageDirty[static_cast<int>(stage)]; }
    void SetDirty(PipelineStage stage, bool dirty) { stageDirty[static_cast<int>(stage)] = dirty; }
};

}  // namespace ridgeforge::mesh
