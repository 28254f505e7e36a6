// Entry point of the edge-collapse simplification: guards, the stop that
// restores the input, the movement measurement and the log text.
#include "mesh/simplify/SimplifyMesh.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <execution>
#include <iomanip>
#include <numeric>
#include <locale>
#include <sstream>

#include "mesh/AabbTree.h"
#include "mesh/simplify/internal/MeshSimplifier.h"

namespace ridgeforge::mesh {
namespace {

// Distance from every input position to the simplified surface.
void MeasureMovement(const std::vector<Vertex>& input, const TriangleMesh& result, SimplifyReport& report) {
    AabbTree tree;
    tree.Build(result);
    std::vector<float> distances(input.size(), 0.0f);
    std::vector<std::size_t> order(input.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::size_t i) {
        const ClosestHit hit = tree.ClosestPoint(result, input[i].position, nullptr, 0, {}, 3e38f);
        distances[i] = hit.found ? hit.distance : 0.0f;
    });
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
    TriangleMesh result;
    MeshSimplifier simplifier(mesh, options, report);
    if (!simplifier.Run(progress, result)) {
        report.stopped = true;
        report.sourceVertex.clear();
        report.sourceTriangle.clear();
        return report;
    }
    report.trianglesAfter = result.indices.size() / 3;
    report.verticesAfter = result.vertices.size();

    if (options.measureMovement && !result.indices.empty()) {
        if (progress) progress("Measuring how far the surface moved", 1.0f);
        MeasureMovement(mesh.vertices, result, report);
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
