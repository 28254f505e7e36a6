// The stages after the relief: simplify (flat areas, then the whole mesh)
// and the cleanup, each carrying the texture coverage along through its
// new-to-old vertex and face maps. A stop inside either simplification puts
// the displaced mesh back and ends the run as stopped.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "relief/mapping/TextureWeights.h"
#include "mesh/simplify/SimplifyFlatAreas.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "document/pipeline/PipelineStages.h"

namespace ridgeforge::mesh {
namespace {

std::vector<std::uint32_t> Identity(std::size_t count) {
    std::vector<std::uint32_t> map(count);
    std::iota(map.begin(), map.end(), 0u);
    return map;
}

// The map of `later` (result to middle) followed by `earlier` (middle to
// input); an empty map stands for the identity.
std::vector<std::uint32_t> Compose(const std::vector<std::uint32_t>& earlier, const std::vector<std::uint32_t>& later) {
    if (later.empty()) return earlier;
    if (earlier.empty()) return later;
    std::vector<std::uint32_t> out(later.size());
    for (std::size_t i = 0; i < later.size(); ++i) {
        out[i] = later[i] < earlier.size() ? earlier[later[i]] : later[i];
    }
    return out;
}

void KeepDisplaced(PipelineStageCache& cache) {
    cache.finalMesh = cache.displacedMesh;
    cache.runState.coverage = cache.displacedCoverage;
    cache.runState.resultTriangles = cache.finalMesh.TriangleCount();
}

}  // namespace

StageOutcome RunSimplifyStage(PipelineStageCache& cache, const ProgressCallback& progress) {
    PipelineRunState& state = cache.runState;
    const PipelineSettings& settings = cache.settings;
    state.flatAreaReport = {};
    state.simplifyReport = {};
    state.flatAreasRan = false;
    state.simplifyRan = false;
    if (!settings.simplifyEnabled || !HoldsTriangles(cache.displacedMesh)) {
        KeepDisplaced(cache);
        return StageOutcome::Done;
    }
    cache.finalMesh = cache.displacedMesh;
    const bool protect = settings.simplify.protectTexturedFaces &&
                         cache.displacedCoverage.texturedFaces.size() == cache.displacedMesh.TriangleCount();
    std::vector<std::uint32_t> vertexMap;
    std::vector<std::uint32_t> faceMap;
    if (settings.simplify.flatAreas) {
        state.flatAreaReport = SimplifyFlatAreas(cache.finalMesh, protect ? &cache.displacedCoverage : nullptr,
                                                 settings.simplify, progress);
        state.flatAreasRan = true;
        if (state.flatAreaReport.cancelled) {
            KeepDisplaced(cache);
            return StageOutcome::Stopped;
        }
        vertexMap = state.flatAreaReport.vertexMap;
        faceMap = state.flatAreaReport.faceMap;
    }
    if (settings.simplify.wholeMesh) {
        // The textured faces, carried through the flat-area face map.
        std::vector<std::uint8_t> held;
        if (protect) {
            const std::vector<std::uint8_t>& bytes = cache.displacedCoverage.texturedFaces;
            held.resize(cache.finalMesh.TriangleCount());
            for (std::size_t t = 0; t < held.size(); ++t) {
                const std::size_t from = faceMap.empty() ? t : faceMap[t];
                held[t] = from < bytes.size() ? bytes[from] : 0;
            }
        }
        const DisplacementBase& base = settings.displacement.base;
        MeshSimplifyOptions options{
            settings.simplify.meshDetailError, 0,   base.enabled ? std::clamp(base.axis, 0, 2) : 2, 78.0f, true,
            protect ? &held : nullptr,         0.0f};
        state.simplifyReport = SimplifyMesh(cache.finalMesh, options, progress);
        state.simplifyRan = true;
        if (state.simplifyReport.stopped) {
            KeepDisplaced(cache);
            return StageOutcome::Stopped;
        }
        vertexMap = Compose(vertexMap, state.simplifyReport.sourceVertex);
        faceMap = Compose(faceMap, state.simplifyReport.sourceTriangle);
    }
    if (vertexMap.empty()) vertexMap = Identity(cache.finalMesh.vertices.size());
    if (faceMap.empty()) faceMap = Identity(cache.finalMesh.TriangleCount());
    state.coverage =
        RemapTextureCoverage(cache.displacedCoverage, cache.displacedMesh, cache.finalMesh, vertexMap, faceMap);
    state.resultTriangles = cache.finalMesh.TriangleCount();
    return StageOutcome::Done;
}

bool CleanupChangedMesh(const ExportCleanupReport& report) {
    return report.verticesMerged > 0 || report.collapsedTrianglesDropped > 0 || report.holesFilled > 0;
}

void RunCleanupStage(PipelineStageCache& cache) {
    PipelineRunState& state = cache.runState;
    state.cleanupReport = {};
    TriangleMesh& mesh = cache.finalMesh;
    if (!HoldsTriangles(mesh)) return;
    mesh.RecomputeBounds();
    float tolerance = 0.0f;
    if (mesh.boundsValid) {
        float largest = 0.0f;
        for (int axis = 0; axis < 3; ++axis) {
            largest = std::max({largest, std::fabs(mesh.boundsMin[axis]), std::fabs(mesh.boundsMax[axis])});
        }
        tolerance = std::max(1e-6f, largest * 1e-6f);
    }
    // The coverage maps need the mesh as it was; keep it only when there is a coverage to carry.
    TriangleMesh before;
    if (!state.coverage.vertexWeights.empty()) before = mesh;
    state.cleanupReport = CleanupForExport(mesh, tolerance, cache.settings.cleanup);
    const ExportCleanupReport& report = state.cleanupReport;
    if (!CleanupChangedMesh(report) && report.collapsesRefused == 0 && report.holesLeftOpen == 0 &&
        report.zeroAreaTrianglesLeft == 0) {
        return;
    }
    if (!state.coverage.vertexWeights.empty()) {
        const std::vector<std::uint32_t> vertexMap =
            report.vertexOrigins.empty() ? Identity(mesh.vertices.size()) : report.vertexOrigins;
        const std::vector<std::uint32_t> faceMap =
            report.triangleOrigins.empty() ? Identity(mesh.TriangleCount()) : report.triangleOrigins;
        state.coverage = RemapTextureCoverage(state.coverage, before, mesh, vertexMap, faceMap);
    }
    state.resultTriangles = mesh.TriangleCount();
}

}  // namespace ridgeforge::mesh
