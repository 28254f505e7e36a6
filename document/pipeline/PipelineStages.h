// One processing run over the stage cache: the stages whose dirty flag is set
// (Remesh, Mask, Displacement, Simplify), then the finishing run (cleanup,
// mesh check, wall measurement, print check), each timed, each reusing what
// the cache still holds, stopping as soon as the progress callback asks.
//
// Needs: a stage cache whose settings are the run's (MarkDirty ran). Gives:
// true when the run completed, false when it was stopped, refused or failed;
// the run state says which (stopped, refused with its estimate, or message).
// A stage that completes clears its own dirty flag; a stopped or failed one
// leaves it and every later one set, so the next run resumes there.
#pragma once

#include <string>

#include "mesh/Progress.h"
#include "document/pipeline/PipelineStageCache.h"

namespace ridgeforge::mesh {

bool RunStages(PipelineStageCache& cache, const ProgressCallback& progress);

// What a stage's own step tells the run.
enum class StageOutcome { Done, Stopped, Failed };

// The stages, each reading only the cache's settings, texture and earlier
// stage meshes. Failed means refused (run state's refused and estimate) or a
// failure the run state's message words; Stopped means the callback asked.
StageOutcome RunRemeshStage(PipelineStageCache& cache, const ProgressCallback& progress);
StageOutcome RunMaskStage(PipelineStageCache& cache, const ProgressCallback& progress);
StageOutcome RunDisplacementStage(PipelineStageCache& cache, const ProgressCallback& progress);
StageOutcome RunSimplifyStage(PipelineStageCache& cache, const ProgressCallback& progress);
void RunCleanupStage(PipelineStageCache& cache);

// The cleanup merged, dropped or filled something: the mesh changed.
bool CleanupChangedMesh(const ExportCleanupReport& report);

inline constexpr const char* kReliefLeftNothingMessage =
    "The relief left nothing of the part: every piece of it came out too small or too thin to print at this "
    "triangle size. A smaller triangle size, or the part made larger, keeps it. Nothing was changed.";

inline constexpr const char* kReliefMemoryMessage =
    "The part is too large for this triangle size: making its relief would need more memory than is safe. "
    "A larger triangle size needs less. Nothing was changed.";

}  // namespace ridgeforge::mesh
