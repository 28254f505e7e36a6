// Everything one processing run reads, as one value record: the stage
// switches, the mapping and masks, the settings of each stage, the finishing
// settings (cleanup, wall measurement, print check) and the triangle limit.
// The stage cache keeps the copy its results were made with and compares a
// new record against it to plan the next run.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TileFrame.h"
#include "relief/mapping/MaskVolume.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "relief/repair/ExportCleanup.h"
#include "mesh/simplify/SimplifySettings.h"
#include "relief/validation/Printability.h"

namespace ridgeforge::mesh {

// The stages in run order; used as an index.
enum class PipelineStage : std::int32_t { Remesh = 0, Mask = 1, Displacement = 2, Simplify = 3 };
inline constexpr int kPipelineStageCount = 4;

// "Remesh", "Mask", "Displacement", "Simplify"; "Unknown" for any other value.
const char* PipelineStageName(std::int32_t stage);

enum class PipelineQuality : std::int32_t { Full = 0, Preview = 1 };

// The first stage that must run again; `stage` means nothing when `any` is false.
struct PipelinePlan {
    std::int32_t stage = 0;
    bool any = false;
};

// The print check of a run collects no highlight geometry: the findings are
// what the run reports.
inline PrintabilitySettings PipelinePrintabilityDefaults() {
    PrintabilitySettings settings;
    settings.collectHighlights = false;
    return settings;
}

struct PipelineSettings {
    Projection projection;
    // 0: occupancy test with the coverage summary; 1: no occupancy test;
    // anything else: the occupancy test without the summary.
    std::int32_t faceMaskMode = 0;
    // Cells along the grid's longest side; used clamped to 16..1024.
    std::int32_t occupancyCells = 256;
    TileFrame tileFrame;
    std::vector<MaskVolume> masks;
    bool remeshEnabled = false;
    RemeshSettings remesh;
    bool displacementEnabled = false;
    DisplacementSettings displacement;
    bool simplifyEnabled = false;
    SimplifySettings simplify;
    bool printCheckEnabled = true;
    PrintabilitySettings printability = PipelinePrintabilityDefaults();
    ExportCleanupOptions cleanup;
    // Handed in this order to the wall measurement.
    float wallLineWidthMillimetres = 0.42f;
    float wallThresholdMillimetres = 0.0f;
    float wallMinimumMoveMillimetres = 0.02f;
    // 0 means no limit.
    std::uint64_t maximumTriangles = 18'000'000;
};

// The remesh settings a run uses: the solid relief always contours, so with
// it on any remesh method counts as contouring.
RemeshSettings EffectiveRemeshSettings(const PipelineSettings& settings);

// Whether the remesh inputs of two runs differ (switch, or the effective
// settings while both are on); the triangle limit is not part of it.
bool RemeshInputsDiffer(const PipelineSettings& a, const PipelineSettings& b);

// The cleanup, print-check and wall fields agree.
bool FinishingSettingsEqual(const PipelineSettings& a, const PipelineSettings& b);

// The first stage whose own inputs differ between the cached and the new settings.
PipelinePlan CompareSettings(const PipelineSettings& cached, const PipelineSettings& next);

}  // namespace ridgeforge::mesh
