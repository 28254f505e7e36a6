// What one processing run learned: counts, every stage's report, the checks
// of the result and the stage times. The worker fills the stage cache's copy;
// the runner publishes a copy after a successful run. The report texts turn
// it into the log lines of the run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mesh/TextureCoverage.h"
#include "relief/mapping/TextureWeights.h"
#include "relief/displacement/DisplacementSettings.h"
#include "relief/displacement/SolidDisplacement.h"
#include "relief/displacement/WallThinning.h"
#include "mesh/remesh/RemeshReport.h"
#include "relief/repair/ExportCleanup.h"
#include "mesh/simplify/SimplifyFlatAreas.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "relief/validation/Printability.h"
#include "relief/validation/ValidationReport.h"
#include "document/pipeline/PipelineSettings.h"

namespace ridgeforge::mesh {

// How finely the relief's triangles can carry the texture.
struct SamplingReport {
    bool measured = false;
    float triangleMillimetres = 0.0f;  // median edge length of the relief input
    float texelMillimetres = 0.0f;     // millimetres per texture pixel
    float pixelsPerEdge = 0.0f;
    float filterMillimetres = 0.0f;  // the blur the texture got
    bool filterRaised = false;       // raised above the texture's own blur
    float finestMillimetres = 0.0f;  // the finest detail that can appear
    float suggestedTextureMillimetres = 0.0f;
    float suggestedTriangleMillimetres = 0.0f;
};

struct PipelineRunState {
    std::uint64_t sourceTriangles = 0;
    std::uint64_t remeshedTriangles = 0;
    std::uint64_t resultTriangles = 0;
    bool remeshed = false;
    bool stopped = false;
    bool refused = false;
    std::uint64_t estimate = 0;
    // A stage's refusal or failure text; empty when none.
    std::string message;
    RemeshReport remeshReport;
    DisplacementReport displacementReport;
    bool hasDisplacementReport = false;
    // The solid relief's heights.
    std::uint64_t heightCount = 0;
    std::uint64_t nonZeroHeights = 0;
    float midLevel = 0.0f;
    float smallestHeight = 0.0f;
    float largestHeight = 0.0f;
    float heightRange = 0.0f;
    SolidDisplacementReport solidReport;
    bool solidRan = false;
    bool solidRefused = false;
    SamplingReport sampling;
    FlatAreaSimplifyReport flatAreaReport;
    SimplifyReport simplifyReport;
    bool simplifyRan = false;
    ExportCleanupReport cleanupReport;
    bool validated = false;
    ValidationReport validation;
    // No mesh-changing stage is on and the cleanup changed nothing.
    bool unchangedPart = false;
    double checkMilliseconds = 0.0;
    PrintabilityReport printability;
    bool beforeChecked = false;
    PrintabilityReport printabilityBefore;
    WallThinningReport walls;
    double cleanupMilliseconds = 0.0;
    bool flatAreasRan = false;
    FaceMaskStatistics coverageStatistics;
    // The relief input's coverage fits it, and how many of its vertices the
    // texture reaches (0: the sides and masks keep it off the whole part).
    bool coverageTaken = false;
    std::uint64_t texturedVertices = 0;
    // Coverage of the final mesh.
    TextureCoverage coverage;
    double stageMilliseconds[kPipelineStageCount] = {0.0, 0.0, 0.0, 0.0};
};

// A print check found something: a feature in the air, an overhang laid in
// the air, a far reach or a short bridge. Read from the finding lists, which
// the run's check fills also without highlight geometry.
bool HasPrintFindings(const PrintabilityReport& report);

// A refused run's triangle count as the user is told it, with commas: the
// solid relief's own estimate, or for a refused remesh the count the relief
// settings show for the same size.
std::string RefusedTriangleText(const PipelineRunState& state);

// The relief's height range in millimetres, from the displacement method
// that ran: the solid method's sampled heights, or the vertices the mesh
// method moved. Nothing when the run made no relief.
std::optional<float> ReliefMillimetres(const PipelineRunState& state);

// "  before this displacement: N feature(s) in the air, M layer(s) past the
// warning distance", with " - the relief made the difference" when the check
// before the relief found nothing; no line break.
std::string FormatBeforeDisplacementLine(const PrintabilityReport& before);

// The sampling line, without a line break.
std::string FormatSamplingReport(const SamplingReport& report);
// "To carry it fully: ..." when the texture is finer than the triangles can
// carry (more than 4 pixels per edge); empty otherwise.
std::string FormatSamplingAdvice(const SamplingReport& report);
// The run's log text, every line ending in "\n" except the result line's
// last (the caller adds none).
std::string FormatPipelineReport(const PipelineRunState& state);

}  // namespace ridgeforge::mesh
