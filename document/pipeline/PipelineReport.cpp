// The log text of a run: the stage times, each stage's own report text, the
// result and its checks. Numbers are written without the process locale.
#include <string>

#include "relief/mapping/TextureWeights.h"
#include "document/pipeline/PipelineRunState.h"
#include "text/Format.h"
#include "text/NumberText.h"

namespace ridgeforge::mesh {
namespace {


std::string Whole(double value) { return FormatFixed(value, 0); }

// The stage report texts end their last line differently; the run's log
// wants every one closed.
std::string Closed(std::string text) {
    if (text.empty() || text.back() != '\n') text += '\n';
    return text;
}

std::string Verdict(float pixelsPerEdge) {
    if (pixelsPerEdge <= 2.0f) return "the mesh carries this map at full detail";
    if (pixelsPerEdge <= 4.0f) return "the mesh carries most of this map";
    if (pixelsPerEdge <= 10.0f) return "the finest grain of this map is being lost";
    return "most of this map is too fine for these triangles";
}

std::string StageTimes(const PipelineRunState& state) {
    std::string text = "  stages:";
    for (int s = 0; s < kPipelineStageCount; ++s) {
        text += std::string(" ") + PipelineStageName(s) + " " + Whole(state.stageMilliseconds[s]) + " ms;";
    }
    text += " Cleanup " + Whole(state.cleanupMilliseconds) + " ms;";
    if (state.validated) text += " Check " + Whole(state.checkMilliseconds) + " ms;";
    if (state.printability.checked) text += " Print check " + Whole(state.printability.elapsedMilliseconds) + " ms;";
    if (state.walls.measured) text += " Walls " + Whole(state.walls.milliseconds) + " ms;";
    return text + "\n";
}

std::string RemeshLines(const PipelineRunState& state) {
    const RemeshReport& r = state.remeshReport;
    std::string text = "  remesh: " + std::to_string(state.sourceTriangles) + " -> " +
                       std::to_string(state.remeshedTriangles) + " triangles in " +
                       Whole(state.stageMilliseconds[static_cast<int>(PipelineStage::Remesh)]) + " ms\n";
    text += "    " + std::to_string(r.splits) + " splits, " + std::to_string(r.collapses) + " collapses, " +
            std::to_string(r.flips) + " flips, " + std::to_string(r.featureEdges) + " feature edges\n";
    for (const StageTime& stage : r.stages) text += "    " + stage.name + ": " + Whole(stage.milliseconds) + " ms\n";
    return text;
}

bool CleanupDidAnything(const ExportCleanupReport& r) {
    return r.verticesMerged > 0 || r.collapsedTrianglesDropped > 0 || r.holesFilled > 0 || r.collapsesRefused > 0 ||
           r.holesLeftOpen > 0 || r.zeroAreaTrianglesLeft > 0;
}

}  // namespace

std::string RefusedTriangleText(const PipelineRunState& state) {
    return FormatCount(state.solidRefused ? state.estimate : ReliefTriangleCount(state.estimate));
}

std::optional<float> ReliefMillimetres(const PipelineRunState& state) {
    if (state.solidRan) {
        if (state.solidRefused || state.nonZeroHeights == 0) return std::nullopt;
        return state.heightRange;
    }
    if (state.hasDisplacementReport && state.displacementReport.displacedVertices > 0)
        return state.displacementReport.relief;
    return std::nullopt;
}

std::string FormatBeforeDisplacementLine(const PrintabilityReport& before) {
    std::string text = "  before this displacement: " + std::to_string(before.featuresInAir.size()) +
                       " feature(s) in the air, " + std::to_string(before.farReaches.size()) +
                       " layer(s) past the warning distance";
    if (!HasPrintFindings(before)) text += " - the relief made the difference";
    return text;
}

bool HasPrintFindings(const PrintabilityReport& report) {
    return !report.featuresInAir.empty() || !report.laidInAir.empty() || !report.farReaches.empty() ||
           !report.shortBridges.empty();
}

std::string FormatSamplingAdvice(const SamplingReport& report) {
    if (!report.measured || !(report.pixelsPerEdge > 4.0f)) return {};
    return "To carry it fully: spread the texture to about " + FormatFixed(report.suggestedTextureMillimetres, 1) +
           " mm wide, or ask for triangles of about " + FormatFixed(report.suggestedTriangleMillimetres, 3) + " mm.";
}

std::string FormatSamplingReport(const SamplingReport& report) {
    if (!report.measured) return "sampling: not measured";
    std::string text = "triangles " + FormatFixed(report.triangleMillimetres, 3) + " mm, texture " +
                       FormatFixed(report.texelMillimetres, 3) + " mm/pixel (" + FormatFixed(report.pixelsPerEdge, 1) +
                       " pixels per edge) - " + Verdict(report.pixelsPerEdge) + "\n  nothing finer than " +
                       FormatFixed(report.finestMillimetres, 2) + " mm can appear";
    if (report.filterMillimetres > 0.0f) {
        text += "; map filtered to " + FormatFixed(report.filterMillimetres, 3) + " mm" +
                (report.filterRaised ? " to stop it aliasing into noise" : " as asked");
    }
    const std::string advice = FormatSamplingAdvice(report);
    if (!advice.empty()) text += "\n  " + advice;
    return text;
}

std::string FormatPipelineReport(const PipelineRunState& state) {
    std::string text = "Pipeline: " + std::to_string(state.sourceTriangles) + " source triangles\n";
    text += StageTimes(state);
    // The solid relief's refusal speaks for itself in its own report below.
    if (state.refused && !state.solidRefused) {
        text += "  remesh REFUSED: about " + RefusedTriangleText(state) +
                " triangles, over the limit. Nothing was changed; use a coarser target.\n";
    }
    if (state.remeshed) text += RemeshLines(state);
    if (!state.coverage.vertexWeights.empty() || !state.coverage.texturedFaces.empty()) {
        text += "  mask: " + Closed(FormatCoverageReport(state.coverage));
    }
    if (state.sampling.measured) text += "  sampling: " + Closed(FormatSamplingReport(state.sampling));
    if (state.solidRan || state.solidRefused) {
        text += "  " + Closed(FormatSolidDisplacementReport(state.solidReport));
    } else if (state.hasDisplacementReport) {
        text += "  displacement: " + Closed(FormatDisplacementReport(state.displacementReport));
    }
    if (state.flatAreasRan) text += "  simplify: " + Closed(FormatFlatAreaSimplifyReport(state.flatAreaReport));
    if (state.simplifyRan) text += "  " + Closed(FormatSimplifyReport(state.simplifyReport));
    if (CleanupDidAnything(state.cleanupReport)) {
        text += "  cleanup: " + Closed(FormatExportCleanupReport(state.cleanupReport));
    }
    text += "  result: " + std::to_string(state.resultTriangles) + " triangles";
    if (state.stopped) text += " (cancelled)";
    if (state.walls.measured) text += "\n" + FormatWallReport(state.walls);
    if (state.printability.checked) {
        text += "\n" + FormatPrintabilityReport(state.printability);
        if (state.beforeChecked) text += FormatBeforeDisplacementLine(state.printabilityBefore);
    }
    return text;
}

}  // namespace ridgeforge::mesh
