// The stage plan's comparison of two settings records. Floats compare
// exactly throughout: any change of a number is a change, and a NaN is never
// equal, so a result made with one is never taken as current.
#include "document/pipeline/PipelineSettings.h"

namespace ridgeforge::mesh {

const char* PipelineStageName(std::int32_t stage) {
    switch (stage) {
        case 0:
            return "Remesh";
        case 1:
            return "Mask";
        case 2:
            return "Displacement";
        case 3:
            return "Simplify";
        default:
            return "Unknown";
    }
}

RemeshSettings EffectiveRemeshSettings(const PipelineSettings& settings) {
    RemeshSettings remesh = settings.remesh;
    if (settings.displacementEnabled && settings.displacement.method == DisplacementMethod::Solid) {
        remesh.method = kRemeshContour;
    }
    return remesh;
}

bool RemeshInputsDiffer(const PipelineSettings& a, const PipelineSettings& b) {
    if (a.remeshEnabled != b.remeshEnabled) return true;
    return a.remeshEnabled && !(EffectiveRemeshSettings(a) == EffectiveRemeshSettings(b));
}

bool FinishingSettingsEqual(const PipelineSettings& a, const PipelineSettings& b) {
    return a.cleanup.weldCollapsedTriangles == b.cleanup.weldCollapsedTriangles &&
           a.cleanup.fillHoles == b.cleanup.fillHoles &&
           a.cleanup.maximumHoleMillimetres == b.cleanup.maximumHoleMillimetres &&
           a.cleanup.maximumSlitWidthMillimetres == b.cleanup.maximumSlitWidthMillimetres &&
           a.printCheckEnabled == b.printCheckEnabled && a.printability == b.printability &&
           a.wallLineWidthMillimetres == b.wallLineWidthMillimetres &&
           a.wallThresholdMillimetres == b.wallThresholdMillimetres &&
           a.wallMinimumMoveMillimetres == b.wallMinimumMoveMillimetres;
}

namespace {

bool MaskInputsDiffer(const PipelineSettings& a, const PipelineSettings& b) {
    // The side picked for editing changes nothing the Mask stage reads.
    Projection pa = a.projection;
    Projection pb = b.projection;
    pa.activeLayer = -1;
    pb.activeLayer = -1;
    return !(pa == pb) || a.faceMaskMode != b.faceMaskMode || a.occupancyCells != b.occupancyCells ||
           !(a.tileFrame == b.tileFrame) || !(a.masks == b.masks) ||
           a.displacement.outsideRule != b.displacement.outsideRule;
}

}  // namespace

PipelinePlan CompareSettings(const PipelineSettings& cached, const PipelineSettings& next) {
    const auto plan = [](PipelineStage stage) { return PipelinePlan{static_cast<std::int32_t>(stage), true}; };
    if (RemeshInputsDiffer(cached, next) || cached.maximumTriangles != next.maximumTriangles) {
        return plan(PipelineStage::Remesh);
    }
    if (MaskInputsDiffer(cached, next)) return plan(PipelineStage::Mask);
    if (cached.displacementEnabled != next.displacementEnabled ||
        (next.displacementEnabled && !(cached.displacement == next.displacement))) {
        return plan(PipelineStage::Displacement);
    }
    if (cached.simplifyEnabled != next.simplifyEnabled ||
        (next.simplifyEnabled && !(cached.simplify == next.simplify))) {
        return plan(PipelineStage::Simplify);
    }
    return {};
}

}  // namespace ridgeforge::mesh
