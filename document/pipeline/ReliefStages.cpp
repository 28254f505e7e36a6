// The stages up to the relief: remesh the source (or take it as it is), work
// out which faces receive texture, and displace. A failure that is not a stop
// (a contour remesh that yields nothing usable, a solid relief that fails)
// is reported as a failure with the stage's own words, never as a stop.
#include <algorithm>
#include <limits>
#include <utility>

#include "mesh/AabbTree.h"
#include "mesh/CancellableLoop.h"
#include "relief/mapping/OutwardFaces.h"
#include "relief/mapping/TextureWeights.h"
#include "relief/mapping/WholeTiles.h"
#include "relief/displacement/DisplacementSampling.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/displacement/SolidDisplacement.h"
#include "relief/displacement/TransferTextureCoverage.h"
#include "mesh/remesh/Remesh.h"
#include "document/pipeline/PipelineStages.h"

namespace ridgeforge::mesh {

StageOutcome RunRemeshStage(PipelineStageCache& cache, const ProgressCallback& progress) {
    PipelineRunState& state = cache.runState;
    state.remeshed = false;
    state.estimate = 0;
    state.refused = false;
    state.remeshReport = {};
    if (!cache.settings.remeshEnabled) {
        cache.remeshedMesh = cache.sourceMesh;
        cache.reliefInputMesh = cache.sourceMesh;
        cache.printBeforeDone = false;
        state.remeshedTriangles = cache.sourceMesh.TriangleCount();
        return StageOutcome::Done;
    }
    const RemeshSettings settings = EffectiveRemeshSettings(cache.settings);
    if (cache.settings.maximumTriangles != 0) {
        const std::uint64_t total = EstimateRemesh(cache.sourceMesh, settings).expectedTotal;
        if (total > cache.settings.maximumTriangles) {
            state.estimate = total;
            state.refused = true;
            return StageOutcome::Failed;
        }
    }
    cache.remeshedMesh = cache.sourceMesh;
    state.remeshReport = Remesh(cache.remeshedMesh, settings, progress);
    state.remeshed = true;
    state.remeshedTriangles = cache.remeshedMesh.TriangleCount();
    cache.reliefInputMesh = cache.remeshedMesh;
    cache.printBeforeDone = false;
    if (state.remeshReport.cancelled) return StageOutcome::Stopped;
    if (!state.remeshReport.failure.empty()) {
        state.message = state.remeshReport.failure;
        return StageOutcome::Failed;
    }
    return StageOutcome::Done;
}

StageOutcome RunMaskStage(PipelineStageCache& cache, const ProgressCallback& progress) {
    PipelineRunState& state = cache.runState;
    const PipelineSettings& settings = cache.settings;
    cache.reliefCoverage = {};
    state.coverage = {};
    state.coverageStatistics = {};
    state.coverageTaken = false;
    state.texturedVertices = 0;
    const TriangleMesh& relief = cache.reliefInputMesh;
    if (!HoldsTriangles(relief)) return StageOutcome::Done;
    const OccupancyGrid* grid = nullptr;
    if (settings.faceMaskMode != 1) {
        const std::int32_t cells = std::clamp(settings.occupancyCells, 16, 1024);
        if (!cache.gridBuilt || cache.occupancyGrid.resolution != cells) {
            const bool built = cache.occupancyGrid.Build(cache.sourceMesh, cells, progress);
            cache.gridBuilt = cache.occupancyGrid.surfaceCells > 0;
            if (!built) return StageOutcome::Stopped;
        }
        if (cache.gridBuilt) grid = &cache.occupancyGrid;
    }
    // Each step below takes about half a second on a part of millions of
    // triangles, so the callback is asked between them.
    const auto goOn = [&progress] { return ReportProgress(progress, kOccupancyStage, -1.0f); };
    // The weights ask as they go: on two CPUs they take about a second.
    CancelContext weighing;
    weighing.callback = &progress;
    weighing.stageName = kOccupancyStage;
    try {
        if (grid != nullptr && IsValidMesh(relief)) {
            if (!goOn()) return StageOutcome::Stopped;
            const std::vector<std::uint8_t> mask = FlagsToMask(ClassifyOutwardFaces(*grid, relief));
            if (!goOn()) return StageOutcome::Stopped;
            cache.reliefCoverage = ComputeTextureWeights(relief, settings.projection, &mask, settings.displacement,
                                                         settings.tileFrame, &settings.masks, &weighing);
        } else {
            cache.reliefCoverage = ComputeTextureWeights(relief, settings.projection, nullptr, settings.displacement,
                                                         settings.tileFrame, &settings.masks, &weighing);
        }
    } catch (const Stopped&) {
        cache.reliefCoverage = {};
        return StageOutcome::Stopped;
    }
    if (!goOn()) {
        cache.reliefCoverage = {};
        return StageOutcome::Stopped;
    }
    if (cache.reliefCoverage.MatchesMesh(relief)) {
        const std::vector<float>& weights = cache.reliefCoverage.vertexWeights;
        state.coverageTaken = true;
        state.texturedVertices =
            static_cast<std::uint64_t>(std::count_if(weights.begin(), weights.end(), [](float w) { return w > 0.0f; }));
    }
    if (settings.faceMaskMode == 0 && cache.reliefCoverage.texturedFaces.size() == relief.TriangleCount()) {
        state.coverageStatistics = CoverageStatistics(relief, cache.reliefCoverage.texturedFaces);
    }
    return StageOutcome::Done;
}

namespace {

// How finely the relief input can carry the texture, and the texture's
// second blur, which keeps detail finer than the triangles from aliasing.
void MeasureSampling(PipelineStageCache& cache) {
    SamplingReport& sampling = cache.runState.sampling;
    HeightMap& texture = cache.texture;
    const Projection fitted = ProjectionWithWholeTiles(cache.settings.projection, texture.settings);
    float zoom = SmallestLayerZoom(fitted);
    if (!(zoom > 0.0f)) zoom = 1.0f;
    const float width = texture.settings.widthMillimetres;
    if (HoldsTriangles(cache.reliefInputMesh) && width > 0.0f && texture.width > 0) {
        const float triangle = MedianEdgeLength(cache.reliefInputMesh);
        const float texel = zoom * width / static_cast<float>(texture.width);
        sampling.triangleMillimetres = triangle;
        sampling.texelMillimetres = texel;
        if (triangle > 0.0f && texel > 0.0f) {
            sampling.measured = true;
            sampling.pixelsPerEdge = triangle / texel;
            sampling.finestMillimetres = 2.0f * triangle;
            sampling.suggestedTextureMillimetres = width * sampling.pixelsPerEdge * 0.5f;
            sampling.suggestedTriangleMillimetres = 2.0f * texel;
        }
    }
    const float secondBlur = std::max(0.0f, sampling.triangleMillimetres / zoom);
    if (texture.minimumBlurMillimetres != secondBlur) {
        texture.minimumBlurMillimetres = secondBlur;
        texture.ApplyBlur();
    }
    const float own = texture.settings.blurMillimetres;
    sampling.filterMillimetres = std::max({secondBlur, own, 0.0f});
    sampling.filterRaised = sampling.filterMillimetres > own;
}

// One signed height per vertex of the relief input, weighted by the coverage
// when it fits; the run state keeps their figures.
std::vector<float> SolidHeights(PipelineStageCache& cache) {
    const PipelineSettings& settings = cache.settings;
    const TriangleMesh& relief = cache.reliefInputMesh;
    const bool matches = cache.reliefCoverage.MatchesMesh(relief);
    std::vector<float> heights =
        SampleDisplacementHeights(relief, settings.projection, cache.texture, settings.displacement,
                                  matches ? &cache.reliefCoverage.faceMask : nullptr, settings.tileFrame);
    if (matches) {
        for (std::size_t v = 0; v < heights.size(); ++v) heights[v] *= cache.reliefCoverage.vertexWeights[v];
    }
    PipelineRunState& state = cache.runState;
    state.heightCount = heights.size();
    state.midLevel = ResolveMidLevel(cache.texture, settings.displacement);
    if (!heights.empty()) {
        const auto [low, high] = std::minmax_element(heights.begin(), heights.end());
        state.smallestHeight = *low;
        state.largestHeight = *high;
        state.heightRange = *high - *low;
    }
    state.nonZeroHeights =
        static_cast<std::uint64_t>(std::count_if(heights.begin(), heights.end(), [](float h) { return h != 0.0f; }));
    return heights;
}

SolidDisplacementOptions SolidOptions(const PipelineStageCache& cache) {
    const PipelineSettings& settings = cache.settings;
    const TriangleMesh& relief = cache.reliefInputMesh;
    SolidDisplacementOptions options;
    // With the remesh off the relief input's own triangle size sets the cell;
    // the solid relief's memory gates refuse a grid that would not fit.
    options.cellSize = settings.remeshEnabled ? ContourCellSize(MeshBounds(relief), EffectiveRemeshSettings(settings))
                                              : std::max(0.05f, MedianEdgeLength(relief));
    options.holdCells = 2.0f;
    options.cutEnabled = settings.displacement.base.enabled;
    options.cutZ = relief.boundsMin.z;
    options.maximumTriangles =
        settings.maximumTriangles != 0 ? settings.maximumTriangles : std::numeric_limits<std::uint64_t>::max();
    options.lineWidth = settings.printability.lineWidthMillimetres;
    options.exactDistances = false;
    options.rayCount = 3;
    options.keepSlotsAndWallsOpen = true;
    options.sharpRelief = true;
    options.checkField = false;
    return options;
}

StageOutcome DisplaceAsSolid(PipelineStageCache& cache, const ProgressCallback& progress) {
    PipelineRunState& state = cache.runState;
    const TriangleMesh& relief = cache.reliefInputMesh;
    // The heights and the tree take about a second each on a part of
    // millions of triangles, so the callback is asked after each, and the
    // tree's build asks it as it goes.
    std::vector<float> heights = SolidHeights(cache);
    if (!ReportProgress(progress, "Displacing", -1.0f)) return StageOutcome::Stopped;
    AabbTree tree;
    CancelContext building;
    building.callback = &progress;
    building.stageName = "Displacing";
    try {
        tree.Build(relief, TreeBoxes::kWhole, &building);
    } catch (const Stopped&) {
        return StageOutcome::Stopped;
    }
    if (!ReportProgress(progress, "Displacing", -1.0f)) return StageOutcome::Stopped;
    TriangleMesh output;
    const bool ok =
        DisplaceSolid(relief, std::move(heights), SolidOptions(cache), progress, output, state.solidReport, &tree);
    state.solidRan = true;
    const SolidDisplacementReport& report = state.solidReport;
    if (!ok) {
        if (report.stopped) return StageOutcome::Stopped;
        if (report.refused) {
            state.solidRefused = true;
            state.refused = true;
            state.estimate = report.triangleEstimate;
        } else if (report.fieldTooLarge) {
            state.message = kReliefMemoryMessage;
        } else {
            state.message =
                report.failure.empty() ? "The relief could not be made. Nothing was changed." : report.failure;
        }
        return StageOutcome::Failed;
    }
    // Every piece went as too small or too thin to print: a run that leaves
    // nothing is no result, and the part must stay as it was.
    if (!HoldsTriangles(output)) {
        state.message = kReliefLeftNothingMessage;
        return StageOutcome::Failed;
    }
    cache.displacedMesh = std::move(output);
    // The coverage transfer polls a cancellation context of its own.
    CancelContext context;
    context.callback = &progress;
    context.stageName = "Displacing";
    try {
        ScopedCancelContext scope(context);
        cache.displacedCoverage = TransferTextureCoverage(relief, cache.reliefCoverage, cache.displacedMesh, &tree);
    } catch (const Stopped&) {
        return StageOutcome::Stopped;
    }
    return StageOutcome::Done;
}

}  // namespace

StageOutcome RunDisplacementStage(PipelineStageCache& cache, const ProgressCallback& progress) {
    PipelineRunState& state = cache.runState;
    state.displacementReport = {};
    state.hasDisplacementReport = false;
    state.solidReport = {};
    state.solidRan = false;
    state.solidRefused = false;
    state.sampling = {};
    state.heightCount = state.nonZeroHeights = 0;
    state.midLevel = state.smallestHeight = state.largestHeight = state.heightRange = 0.0f;
    const PipelineSettings& settings = cache.settings;
    if (!settings.displacementEnabled || !HasHeights(cache.texture)) {
        cache.displacedMesh = cache.reliefInputMesh;
        cache.displacedCoverage = cache.reliefCoverage;
        return StageOutcome::Done;
    }
    MeasureSampling(cache);
    if (settings.displacement.method == DisplacementMethod::Mesh) {
        cache.displacedMesh = cache.reliefInputMesh;
        state.displacementReport = ApplyDisplacement(cache.displacedMesh, settings.projection, cache.texture,
                                                     cache.reliefCoverage.vertexWeights, settings.displacement,
                                                     &cache.reliefCoverage.faceMask, settings.tileFrame, progress);
        if (state.displacementReport.stopped) return StageOutcome::Stopped;
        state.hasDisplacementReport = true;
        cache.displacedCoverage = cache.reliefCoverage;
        return StageOutcome::Done;
    }
    return DisplaceAsSolid(cache, progress);
}

}  // namespace ridgeforge::mesh
