// The no-movement check and the log line of the flat-area simplification.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <sstream>

#include "mesh/simplify/SimplifyFlatAreas.h"

#include "text/NumberText.h"

namespace ridgeforge::mesh {
namespace {

double RelativeDrift(double after, double before) {
    return std::fabs(after - before) / std::max(1.0, std::fabs(before));
}

std::string Scientific(double value) { return FormatScientific(value, 2); }

// How far a bound may shift by rounding alone: a few float steps of the
// part's extent. A removed vertex that lay in a face's plane can still have
// held an extreme by a rounding error's worth (-5.06e-17 against the face's
// other vertices at -4.79e-17 on a plane at z = 0); a vertex that really
// moved shifts a bound by far more on any part of printable size.
float BoundsTolerance(const float bounds[6]) {
    float extent = 0.0f;
    for (int i = 0; i < 3; ++i) extent = std::max(extent, std::fabs(bounds[3 + i] - bounds[i]));
    return 4.0f * std::numeric_limits<float>::epsilon() * extent;
}

}  // namespace

bool FlatAreaSimplifyReport::GuaranteeHeld() const {
    if (survivingVerticesMoved != 0) return false;
    if (verticesBefore - verticesAfter != collapses) return false;
    if (trianglesBefore - trianglesAfter != 2 * collapses) return false;
    const float tolerance = BoundsTolerance(boundsBefore);
    for (int i = 0; i < 6; ++i) {
        if (!(std::fabs(boundsBefore[i] - boundsAfter[i]) <= tolerance)) return false;
    }
    return RelativeDrift(volumeAfter, volumeBefore) <= 1e-5 && RelativeDrift(areaAfter, areaBefore) <= 1e-7;
}

std::string FormatFlatAreaSimplifyReport(const FlatAreaSimplifyReport& report) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << (report.cancelled ? "Simplify cancelled: " : "Simplified ");
    const std::uint64_t removed = report.trianglesBefore - report.trianglesAfter;
    out << report.trianglesBefore << " -> " << report.trianglesAfter << " triangles in " << report.sweeps << " sweep"
        << (report.sweeps == 1 ? "" : "s") << " over " << report.planarRegions << " planar regions, "
        << removed * 50 / 1024 << " KB saved";
    if (report.facesKeptForTexture != 0) out << ", " << report.facesKeptForTexture << " faces kept for the texture";
    float moved = 0.0f;
    for (int i = 0; i < 6; ++i) moved = std::max(moved, std::fabs(report.boundsAfter[i] - report.boundsBefore[i]));
    out << ", bounding box moved " << FormatFixed(moved, 4) << " mm";
    if (report.survivingVerticesMoved != 0) out << ", " << report.survivingVerticesMoved << " surviving vertices moved";
    if (!report.GuaranteeHeld()) {
        out << " -- WARNING: the no-movement guarantee did not hold (volume drift "
            << Scientific(RelativeDrift(report.volumeAfter, report.volumeBefore)) << " of 1e-5, area drift "
            << Scientific(RelativeDrift(report.areaAfter, report.areaBefore)) << " of 1e-7, "
            << report.verticesBefore - report.verticesAfter << " vertices gone for " << report.collapses
            << " collapses, " << removed << " triangles gone)";
    }
    return out.str();
}

}  // namespace ridgeforge::mesh
