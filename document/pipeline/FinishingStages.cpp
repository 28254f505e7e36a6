// The stages after the relief: simplify (flat areas, then the whole mesh)
// and the cleanup, each carrying the texture coverage along through its
// new-to-old vertex and face maps. A simplification pass that left the
// surface crossing or folding where its input did not is run again with
// those places held. A stop inside either simplification puts the displaced
// mesh back and ends the run as stopped.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

#include "relief/mapping/TextureWeights.h"
#include "relief/repair/SimplifyDamage.h"
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

// One simplification pass's result with its maps back to the pass's input.
struct PassResult {
    TriangleMesh mesh;
    std::vector<std::uint32_t> vertexMap;
    std::vector<std::uint32_t> faceMap;
    bool stopped = false;
};

// The held bytes and the caller's own (may be null), together.
std::vector<std::uint8_t> Held(const std::vector<std::uint8_t>& hold, const std::vector<std::uint8_t>* own) {
    std::vector<std::uint8_t> held = hold;
    if (own && own->size() == held.size()) {
        for (std::size_t t = 0; t < held.size(); ++t) held[t] = held[t] || (*own)[t] ? 1 : 0;
    }
    return held;
}

// For each further run, whether it holds the input around the damaged
// triangles' corners too, or only under the triangles themselves.
constexpr bool kHoldAroundCorners[] = {false, false, true, true};

// A simplification pass tests each collapse only against the surface near
// it, so it can still push a triangle through surface further away or tip
// the save check's fold test on a neighbour. Runs the pass, and while its
// result crosses or folds where `input` did not, runs it again from the
// input with those places held, a little wider each time; when that has not
// helped, a last run holds the whole input, so the pass changes nothing.
// `pass` (hold bytes per input triangle or null, result) runs the pass once.
// Returns false when the pass was stopped, or the callback said stop during
// or after the search for damage (seconds on a part of millions of triangles).
template <typename Pass>
bool RunWithoutDamage(const TriangleMesh& input, const Pass& pass, const ProgressCallback& progress, const char* stage,
                      PassResult& out) {
    std::vector<std::uint8_t> hold;
    for (std::size_t round = 0;; ++round) {
        pass(round == 0 ? nullptr : &hold, out);
        if (out.stopped) return false;
        if (round > std::size(kHoldAroundCorners)) return true;
        CancelContext cancel;
        cancel.callback = &progress;
        cancel.stageName = stage;
        cancel.fraction = 1.0f;
        std::vector<std::uint32_t> damaged;
        try {
            damaged = FindSimplifyDamage(input, out.mesh, out.vertexMap, out.faceMap, &cancel);
        } catch (const Stopped&) {
            out.stopped = true;
            return false;
        }
        if (!ReportProgress(progress, stage, 1.0f)) {
            out.stopped = true;
            return false;
        }
        if (damaged.empty()) return true;
        if (round == std::size(kHoldAroundCorners)) {
            hold.assign(input.TriangleCount(), 1);
            continue;
        }
        const std::vector<std::uint8_t> more = HoldAroundDamage(input, out.mesh, damaged, kHoldAroundCorners[round]);
        hold = Held(more, hold.empty() ? nullptr : &hold);
    }
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
    const bool protect = settings.simplify.protectTexturedFaces &&
                         cache.displacedCoverage.texturedFaces.size() == cache.displacedMesh.TriangleCount();
    std::vector<std::uint32_t> vertexMap;
    std::vector<std::uint32_t> faceMap;
    if (settings.simplify.flatAreas) {
        const std::vector<std::uint8_t>* textured = protect ? &cache.displacedCoverage.texturedFaces : nullptr;
        const std::uint64_t kept = textured
                                       ? static_cast<std::uint64_t>(std::count_if(
                                             textured->begin(), textured->end(), [](std::uint8_t b) { return b != 0; }))
                                       : 0;
        const auto flatAreas = [&](const std::vector<std::uint8_t>* hold, PassResult& out) {
            out.mesh = cache.displacedMesh;
            TextureCoverage keep;
            if (hold) keep.texturedFaces = Held(*hold, textured);
            state.flatAreaReport = SimplifyFlatAreas(out.mesh,
                                                     hold       ? &keep
                                                     : textured ? &cache.displacedCoverage
                                                                : nullptr,
                                                     settings.simplify, progress);
            // The faces held against damage are not the texture's.
            if (hold) state.flatAreaReport.facesKeptForTexture = kept;
            out.stopped = state.flatAreaReport.cancelled;
            out.vertexMap = state.flatAreaReport.vertexMap;
            out.faceMap = state.flatAreaReport.faceMap;
        };
        PassResult flat;
        state.flatAreasRan = true;
        if (!RunWithoutDamage(cache.displacedMesh, flatAreas, progress, "Simplifying flat areas", flat)) {
            KeepDisplaced(cache);
            return StageOutcome::Stopped;
        }
        cache.finalMesh = std::move(flat.mesh);
        vertexMap = std::move(flat.vertexMap);
        faceMap = std::move(flat.faceMap);
    } else {
        cache.finalMesh = cache.displacedMesh;
    }
    if (settings.simplify.wholeMesh) {
        // The textured faces, carried through the flat-area face map.
        std::vector<std::uint8_t> textured;
        if (protect) {
            const std::vector<std::uint8_t>& bytes = cache.displacedCoverage.texturedFaces;
            textured.resize(cache.finalMesh.TriangleCount());
            for (std::size_t t = 0; t < textured.size(); ++t) {
                const std::size_t from = faceMap.empty() ? t : faceMap[t];
                textured[t] = from < bytes.size() ? bytes[from] : 0;
            }
        }
        const DisplacementBase& base = settings.displacement.base;
        const TriangleMesh& input = cache.finalMesh;
        std::vector<std::uint8_t> held;
        const auto wholeMesh = [&](const std::vector<std::uint8_t>* hold, PassResult& out) {
            if (hold) held = Held(*hold, protect ? &textured : nullptr);
            const std::vector<std::uint8_t>* heldTriangles = hold ? &held : protect ? &textured : nullptr;
            MeshSimplifyOptions options{settings.simplify.meshDetailError,
                                        0,
                                        base.enabled ? std::clamp(base.axis, 0, 2) : 2,
                                        78.0f,
                                        true,
                                        heldTriangles,
                                        0.0f};
            out.mesh = input;
            state.simplifyReport = SimplifyMesh(out.mesh, options, progress);
            out.stopped = state.simplifyReport.stopped;
            out.vertexMap = state.simplifyReport.sourceVertex;
            out.faceMap = state.simplifyReport.sourceTriangle;
        };
        PassResult whole;
        state.simplifyRan = true;
        if (!RunWithoutDamage(input, wholeMesh, progress, "Simplifying the mesh", whole)) {
            KeepDisplaced(cache);
            return StageOutcome::Stopped;
        }
        cache.finalMesh = std::move(whole.mesh);
        vertexMap = Compose(vertexMap, whole.vertexMap);
        faceMap = Compose(faceMap, whole.faceMap);
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
