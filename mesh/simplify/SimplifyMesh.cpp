// Entry point of the edge-collapse simplification: guards, the stop that
// restores the input, the movement measurement and the log text.
#include "mesh/simplify/SimplifyMesh.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>

#include "mesh/AabbTree.h"
#include "mesh/CancellableLoop.h"
#include "mesh/simplify/internal/MeshSimplifier.h"

namespace ridgeforge::mesh {
namespace {

constexpr char kMeasuring[] = "Measuring how far the surface moved";

// Distance from every input position to the simplified surface; false when
// the callback, asked now and then, said stop (millions of queries take
// seconds).
bool MeasureMovement(const std::vector<Vertex>& input, const TriangleMesh& result, SimplifyReport& report,
                     const ProgressCallback& progress) {
    AabbTree tree;
    tree.Build(result);
    CancelContext cancel;
    cancel.callback = &progress;
    cancel.stageName = kMeasuring;
    cancel.fraction = 1.0f;
    std::vector<float> distances(input.size(), 0.0f);
    ForEachChunk(input.size(), 4096, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(&cancel);
        for (std::size_t i = begin; i < end && !poll.Add(16); ++i) {
            const ClosestHit hit = tree.ClosestPoint(result, input[i].position, nullptr, 0, {}, 3e38f);
            distances[i] = hit.found ? hit.distance : 0.0f;
        }
    });
    if (StopSeen(&cancel)) return false;
    double sum = 0.0;
    float largest = 0.0f;
    for (const float d : distances) {
        sum += d;
        largest = std::max(largest, d);
    }
    report.maxMovedMillimetres = largest;
    report.meanMovedMillimetres =
        distances.empty() ? 0.0f : static_cast<float>(sum / static_cast<double>(distances.size()));
    report.measured = true;
    return true;
}

}  // namespace

SimplifyReport SimplifyMesh(TriangleMesh& mesh, const MeshSimplifyOptions& options, const ProgressCallback& progress) {
    const auto start = std::chrono::steady_clock::now();
    SimplifyReport report;
    report.detailLevel = options.detailLevel;
    report.trianglesBefore = mesh.indices.size() / 3;
    report.verticesBefore = mesh.vertices.size();
    report.trianglesAfter = report.trianglesBefore;
    report.verticesAfter = report.verticesBefore;
    // A mesh with a stray index would send the simplifier reading positions
    // out of range, so it is left as it is like an empty one.
    if (mesh.vertices.empty() || mesh.indices.empty() || !(options.detailLevel > 0.0f) || !IsValidMesh(mesh)) {
        return report;
    }

    // The simplifier only reads the input and builds a new mesh, so a stop
    // needs no copy to restore from: the input is simply never replaced.
    const auto stopped = [&report] {
        report.stopped = true;
        report.sourceVertex.clear();
        report.sourceTriangle.clear();
        report.trianglesAfter = report.trianglesBefore;
        report.verticesAfter = report.verticesBefore;
        report.measured = false;
        return report;
    };
    TriangleMesh result;
    MeshSimplifier simplifier(mesh, options, report);
    if (!simplifier.Run(progress, result)) return stopped();
    report.trianglesAfter = result.indices.size() / 3;
    report.verticesAfter = result.vertices.size();

    if (options.measureMovement && !result.indices.empty()) {
        if (!ReportProgress(progress, kMeasuring, 1.0f) || !MeasureMovement(mesh.vertices, result, report, progress)) {
            return stopped();
        }
    }
    mesh.vertices = std::move(result.vertices);
    mesh.indices = std::move(result.indices);
    mesh.boundsMin = result.boundsMin;
    mesh.boundsMax = result.boundsMax;
    mesh.boundsValid = result.boundsValid;
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

std::string DetailLevelName(float detailLevel) {
    struct Named {
        double value;
        double tolerance;
        const char* name;
    };
    static constexpr Named kLevels[] = {{0.001, 1e-6, "Extra high"},
                                        {0.01, 1e-5, "High"},
                                        {0.1, 1e-4, "Medium"},
                                        {0.5, 5e-4, "Low"},
                                        {1.0, 1e-3, "Extra low"}};
    // Levels arrive as floats: a value typed right at the edge of a tolerance
    // (0.0999 for 0.1) must not fall out by the float's own rounding error.
    for (const Named& level : kLevels) {
        if (std::fabs(static_cast<double>(detailLevel) - level.value) <= level.tolerance * 1.001) return level.name;
    }
    return {};
}

std::string FormatSimplifyReport(const SimplifyReport& report) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << "Mesh simplify";
    const std::string name = DetailLevelName(report.detailLevel);
    if (!name.empty()) out << " (" << name << ")";
    out << ": " << report.trianglesBefore << " to " << report.trianglesAfter << " triangles";
    if (report.trianglesBefore != 0) {
        out << " (" << std::setprecision(1)
            << static_cast<double>(report.trianglesAfter) * 100.0 / static_cast<double>(report.trianglesBefore)
            << "% kept)";
    }
    if (report.measured) {
        out << ", surface moved at most " << std::setprecision(3) << report.maxMovedMillimetres << " mm, "
            << report.meanMovedMillimetres << " mm on average";
    }
    out << ", " << std::setprecision(1) << report.seconds << " s";
    if (report.verticesHeldOnBed != 0) out << "; " << report.verticesHeldOnBed << " vertices held on the bed";
    if (report.refusedTip != 0 || report.refusedPinch != 0) {
        out << "; refused " << report.refusedTip << " merges that would tip a triangle, " << report.refusedPinch
            << " that would pinch the surface";
    }
    if (report.stopped) out << " - stopped, the mesh is as it was";
    return out.str();
}

}  // namespace ridgeforge::mesh
