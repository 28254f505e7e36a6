// The basic repair pass: weld, drop degenerate and duplicate triangles, turn
// triangles so that the winding agrees and faces outwards (the validation's
// orientation finding), drop unused vertices.
#include <utility>

#include "text/Format.h"
#include "mesh/MeshHygiene.h"
#include "mesh/Weld.h"
#include "relief/repair/Repair.h"
#include "relief/validation/ValidateMesh.h"

namespace ridgeforge::mesh {

namespace {

std::uint64_t Reorient(TriangleMesh& mesh) {
    if (mesh.indices.empty() || !IsValidMesh(mesh)) return 0;
    const ValidationReport validation = ValidateMesh(mesh, ValidationOptions{0.001f, false, false, 40000000});
    if (!validation.orientable) return 0;
    for (const std::uint32_t t : validation.reversedTriangles) {
        std::swap(mesh.indices[3 * std::size_t{t} + 1], mesh.indices[3 * std::size_t{t} + 2]);
    }
    if (!validation.reversedTriangles.empty()) mesh.RecomputeNormals();
    return validation.reversedTriangles.size();
}

}  // namespace

RepairBasicsReport RepairBasics(TriangleMesh& mesh, const RepairBasicsOptions& options) {
    RepairBasicsReport report;
    if (!IsValidMesh(mesh)) return report;
    if (options.weld) {
        report.weldToleranceUsed = options.weldTolerance < 0.0f ? AutomaticWeldTolerance(mesh) : options.weldTolerance;
        report.verticesMerged = report.weldToleranceUsed > 0.0f
                                    ? WeldVerticesWithinTolerance(mesh, report.weldToleranceUsed)
                                    : WeldExactVertices(mesh);
    }
    if (options.removeDegenerate) report.degenerateRemoved = RemoveDegenerateTriangles(mesh, false);
    if (options.removeDuplicates) report.duplicatesRemoved = RemoveDuplicateTriangles(mesh);
    if (options.reorient) report.trianglesReoriented = Reorient(mesh);
    if (options.removeUnused) report.unusedVerticesRemoved = RemoveUnusedVertices(mesh);
    report.changed = report.verticesMerged > 0 || report.degenerateRemoved > 0 || report.duplicatesRemoved > 0 ||
                     report.trianglesReoriented > 0 || report.unusedVerticesRemoved > 0;
    if (report.changed) {
        mesh.RecomputeBounds();
        if (options.recomputeNormals) mesh.RecomputeNormals();
    }
    return report;
}

std::string FormatBasicRepairReport(const RepairBasicsReport& report) {
    if (!report.changed) return "Repair: nothing needed changing.\n";
    std::string text = "Repair:\n";
    const std::pair<const char*, std::uint64_t> lines[] = {
        {"  Vertices merged: ", report.verticesMerged},
        {"  Degenerate triangles removed: ", report.degenerateRemoved},
        {"  Duplicate triangles removed: ", report.duplicatesRemoved},
        {"  Triangles reoriented: ", report.trianglesReoriented},
        {"  Unused vertices removed: ", report.unusedVerticesRemoved},
    };
    for (const auto& [label, count] : lines) {
        if (count > 0) text += label + FormatCount(count) + "\n";
    }
    return text;
}

}  // namespace ridgeforge::mesh
