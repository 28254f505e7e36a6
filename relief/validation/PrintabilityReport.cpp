// The printability verdict and log text. Counts are plain integers; one
// English form for exactly one, the plural otherwise.
#include <cstdio>
#include <string>

#include "relief/validation/Printability.h"

namespace ridgeforge::mesh {

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? one : many);
}

std::string ShortBridgesToCheck(const PrintabilityReport& report) {
    if (report.shortBridges.empty()) return {};
    return "; " + Counted(report.shortBridges.size(), " short bridge", " short bridges") + " to check";
}

}  // namespace

std::string PrintabilitySummary(const PrintabilityReport& report) {
    if (!report.checked) return report.refusal.empty() ? "not checked" : "not checked: " + report.refusal;
    const std::size_t air = report.featuresInAir.size(), laid = report.laidInAir.size();
    const std::size_t far = report.farReaches.size(), bridges = report.shortBridges.size();
    if (air > 0 || laid > 0) {
        std::string text;
        if (air > 0) text = Counted(air, " feature starts", " features start") + " in the air";
        if (laid > 0) {
            if (!text.empty()) text += ", ";
            text += Counted(laid, " place is", " places are") + " laid in the air";
        }
        text += ": support needed";
        if (far > 0) text += ", and " + Counted(far, " layer reaches", " layers reach") + " far past the layer below";
        return text + ShortBridgesToCheck(report);
    }
    if (far > 0) {
        return Counted(far, " layer reaches ", " layers reach up to ") + Fixed(report.longestReachMillimetres, 1) +
               " mm past the layer below: support recommended" + ShortBridgesToCheck(report);
    }
    if (bridges > 0) {
        return "prints without support; " + Counted(bridges, " short bridge depends", " short bridges depend") +
               " on the printer";
    }
    return "prints without support";
}

std::string FormatPrintabilityReport(const PrintabilityReport& report) {
    if (!report.checked) return "Printability: " + PrintabilitySummary(report) + "\n";
    std::string text = "Printability: " + PrintabilitySummary(report) + " (" + std::to_string(report.layers) +
                       " layers of " + std::to_string(report.cellsPerLayer) + " cells of " +
                       Fixed(report.cellMillimetres, 2) + " mm, " + Fixed(report.elapsedMilliseconds, 0) + " ms)\n";
    text += "  longest reach past the layer below " + Fixed(report.longestReachMillimetres, 2) + " mm";
    if (report.layersPastCantilever != 0) {
        text += "; " + std::to_string(report.layersPastCantilever) +
                " layer(s) past the cantilever distance but short of the warning";
    }
    text += "\n  faces flatter than the support threshold, facing down, off the bed: " +
            Fixed(report.downwardFlatAreaSquareMillimetres, 0) + " of " + Fixed(report.totalAreaSquareMillimetres, 0) +
            " mm2 (what the slicer highlights and supports; not a fault)\n";
    if (!report.contourLinePoints.empty()) {
        text += "  shown: " + std::to_string(report.needsSupportTriangles.size()) + " triangles needing support, " +
                std::to_string(report.reachingFarTriangles.size()) + " reaching far, " +
                std::to_string(report.bridgingTriangles.size()) + " bridging, " +
                std::to_string(report.contourLinePoints.size() / 2) + " contour lines\n";
    }
    return text;
}

}  // namespace ridgeforge::mesh
