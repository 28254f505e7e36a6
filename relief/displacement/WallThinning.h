// Where a "mesh" relief thinned a wall: for each vertex the relief pushed
// inward, the wall opposite it (measured along the normal it had before the
// relief) less the inward depth on both sides, compared with a threshold.
//
// Needs: the mesh that entered the displacement and the displaced mesh (same
// vertices and triangles), the per-vertex texture weights and the
// displacement's report with its clearance list and surface tree. Gives: the
// counts and the eight thinnest places; not measured, with the reason, when
// the inputs do not fit. With a cancellation context the measurement polls
// it, and a stop throws `Stopped`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"
#include "relief/displacement/DisplacementSettings.h"

namespace ridgeforge::mesh {

struct ThinnedPlace {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    // Wall thickness after and before the relief, mm.
    float now = 0.0f;
    float was = 0.0f;
};

struct WallThinningReport {
    bool measured = false;
    std::string reason;
    std::uint64_t candidates = 0;
    std::uint64_t placesThinned = 0;
    std::uint64_t placesAlreadyUnder = 0;
    float threshold = 0.0f;
    float thinnestNow = 0.0f;
    float thinnestBefore = 0.0f;
    // At most eight, thinnest first.
    std::vector<ThinnedPlace> places;
    double milliseconds = 0.0;
};

inline constexpr std::size_t kListedThinPlaces = 8;

WallThinningReport MeasureWallThinning(const TriangleMesh& before, const TriangleMesh& displaced,
                                       const std::vector<float>& weights, const DisplacementReport& report,
                                       float wallLineWidthMillimetres, float wallThresholdMillimetres,
                                       float wallMinimumMoveMillimetres, CancelContext* cancel = nullptr);

// One sentence for the warnings.
std::string FormatWallSummary(const WallThinningReport& report);
// The log line, ending in "\n".
std::string FormatWallReport(const WallThinningReport& report);

}  // namespace ridgeforge::mesh
