// The remesh entry point and the round structure of the isotropic remesher:
// per round, split until no edge is too long, collapse short edges, flip
// towards valence 6 and relax; a stop rebuilds what has been done so far.
#include "mesh/remesh/Remesh.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>

#include "mesh/AabbTree.h"
#include "mesh/EditableMesh.h"
#include "mesh/remesh/internal/IsotropicRemesh.h"
#include "mesh/remesh/RemeshByContour.h"

namespace ridgeforge::mesh {
namespace {

constexpr int kMaxSplitPasses = 40;

void StoreSize(const TriangleMesh& mesh, float size[3]) {
    for (int i = 0; i < 3; ++i) size[i] = mesh.boundsValid ? mesh.boundsMax[i] - mesh.boundsMin[i] : 0.0f;
}

float LargestDistance(const TriangleMesh& from, const TriangleMesh& surface, const AabbTree& tree) {
    std::vector<float> distances(from.vertices.size(), 0.0f);
    std::vector<std::size_t> order(from.vertices.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::size_t i) {
        const ClosestHit hit = tree.ClosestPoint(surface, from.vertices[i].position, nullptr, 0, {}, 3e38f);
        distances[i] = hit.found ? hit.distance : 0.0f;
    });
    float largest = 0.0f;
    for (const float d : distances) largest = std::max(largest, d);
    return largest;
}

// The rounds; returns false when the callback asked to stop.
bool RunRounds(EditableMesh& editable, const RemeshSettings& settings, const TriangleMesh& original,
               const AabbTree& tree, RemeshStageTimer& timer, RemeshReport& report, const ProgressCallback& progress) {
    // Written so that a NaN target is taken as the minimum, as the contour remesher takes it.
    const float target = settings.targetEdgeMillimetres;
    const float length = target >= 0.0001f ? target : 0.0001f;
    const IsotropicLimits limits = MakeIsotropicLimits(length);
    const float angle = std::clamp(settings.featureAngleDegrees, 0.0f, 180.0f);
    const float featureCosine = std::cos(angle * 3.1415927f / 180.0f);
    const int rounds = std::max(1, settings.rounds);
    const bool relax = settings.relaxation > 0.0f;
    const float factor = std::clamp(settings.relaxation, 0.0f, 1.0f);
    auto ask = [&](const char* stage, float fraction) { return ReportProgress(progress, stage, fraction); };

    std::vector<std::uint8_t> flags;
    for (int r = 0; r < rounds; ++r) {
        const float base = static_cast<float>(r) / static_cast<float>(rounds),
                    share = 1.0f / static_cast<float>(rounds);
        timer.Begin("Splitting long edges");
        if (!ask("Splitting long edges", base)) return false;
        for (int pass = 0; pass < kMaxSplitPasses; ++pass) {
            const std::uint64_t splits = SplitLongEdges(editable, limits.split);
            report.splits += splits;
            if (splits == 0) break;
            timer.Begin("Splitting long edges");
            if (!ask("Splitting long edges", share * 0.25f + base)) return false;
        }

        editable.RebuildVertexFaces();
        std::vector<EditableEdge> edges = editable.CollectEdges();
        report.featureEdges = FlagSpecialVertices(editable, edges, featureCosine, flags);

        timer.Begin("Collapsing short edges");
        if (!ask("Collapsing short edges", share * 0.35f + base)) return false;
        report.collapses += CollapseShortEdges(editable, edges, limits, flags, featureCosine);

        timer.Begin("Improving triangle shape");
        if (!ask("Improving triangle shape", share * 0.6f + base)) return false;
        editable.RebuildVertexFaces();
        edges = editable.CollectEdges();
        report.flips += FlipEdgesForShape(editable, edges, flags, featureCosine, limits.split);

        if (relax) {
            timer.Begin("Relaxing");
            if (!ask("Relaxing", share * 0.8f + base)) return false;
            editable.RebuildVertexFaces();
            edges = editable.CollectEdges();
            FlagSpecialVertices(editable, edges, featureCosine, flags);
            RelaxVertices(editable, flags, factor, original, tree, settings.projectToOriginal, length);
        }
    }
    return true;
}

}  // namespace

RemeshReport Remesh(TriangleMesh& mesh, const RemeshSettings& settings, const ProgressCallback& progress) {
    if (settings.method != kRemeshIsotropic) return RemeshByContour(mesh, settings, progress);

    RemeshReport report;
    report.trianglesBefore = mesh.indices.size() / 3;
    report.verticesBefore = mesh.vertices.size();
    StoreSize(mesh, report.sizeBefore);
    report.qualityBefore = MeasureMeshQuality(mesh);
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return report;

    RemeshStageTimer timer(report);
    timer.Begin("Building the search tree");
    const TriangleMesh original = mesh;
    AabbTree tree;
    tree.Build(original);
    EditableMesh editable(mesh);

    report.cancelled = !RunRounds(editable, settings, original, tree, timer, report, progress);

    timer.Begin("Rebuilding");
    ReportProgress(progress, "Rebuilding", 1.0f);
    TriangleMesh result = editable.ToTriangleMesh();
    mesh.vertices = std::move(result.vertices);
    mesh.indices = std::move(result.indices);
    mesh.boundsMin = result.boundsMin;
    mesh.boundsMax = result.boundsMax;
    mesh.boundsValid = result.boundsValid;

    report.trianglesAfter = mesh.indices.size() / 3;
    report.verticesAfter = mesh.vertices.size();
    StoreSize(mesh, report.sizeAfter);
    report.qualityAfter = MeasureMeshQuality(mesh);

    timer.Begin("Measuring deviation");
    report.deviationMillimetres = LargestDistance(mesh, original, tree);
    timer.Begin("");
    return report;
}

}  // namespace ridgeforge::mesh
