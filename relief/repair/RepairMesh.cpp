// The repair command's work: tidy, then up to three rounds of weld-and-fill,
// export fixes and read-back. The whole part is kept until the end so that a
// repair that finds nothing to do gives the part back bit for bit.
#include <sstream>

#include "mesh/Weld.h"
#include "relief/repair/ExportCleanup.h"
#include "relief/repair/ExportFixes.h"
#include "relief/repair/NonManifoldEdges.h"
#include "relief/repair/Repair.h"

namespace ridgeforge::mesh {

namespace {

constexpr int kMaximumRounds = 3;

void Say(const std::function<void(const char*)>& stage, const char* text) {
    if (stage) stage(text);
}

bool Tidy(TriangleMesh& mesh, const std::function<void(const char*)>& stage, RepairReport& report,
          std::string& detail) {
    Say(stage, "Tidying the part");
    report.doubleSkinnedPairsRemoved = RemoveDoubleSkinnedPairs(mesh);
    if (report.doubleSkinnedPairsRemoved > 0) {
        detail += "  Double-skinned triangle pairs removed: " + std::to_string(report.doubleSkinnedPairsRemoved) + "\n";
    }
    const RepairBasicsReport basics = RepairBasics(mesh, RepairBasicsOptions{});
    if (basics.changed) {
        const std::string text = FormatBasicRepairReport(basics);
        detail += text.substr(text.find('\n') + 1);
    }
    return report.doubleSkinnedPairsRemoved > 0 || basics.changed;
}

bool CleanupSaysAnything(const ExportCleanupReport& c) {
    return c.verticesMerged > 0 || c.collapsedTrianglesDropped > 0 || c.fillTriangles > 0 || c.collapsesRefused > 0 ||
           c.zeroAreaTrianglesLeft > 0 || c.holesLeftOpen > 0;
}

}  // namespace

RepairReport RepairMesh(TriangleMesh& mesh, const std::function<void(const char*)>& stage) {
    RepairReport report;
    if (mesh.indices.size() < 3 || !IsValidMesh(mesh)) return report;
    if (!mesh.boundsValid) mesh.RecomputeBounds();
    EdgeCounts edges = EdgeStatistics(mesh);
    report.trianglesBefore = report.trianglesAfter = mesh.TriangleCount();
    report.openBefore = report.openAfter = edges.openBoundaryEdges;
    report.nonManifoldBefore = report.nonManifoldAfter = edges.nonManifoldEdges;
    report.bodiesBefore = report.bodiesAfter = CountBodies(mesh);
    const TriangleMesh original = mesh;

    std::string detail;
    bool changed = Tidy(mesh, stage, report, detail);
    for (int round = 1; round <= kMaximumRounds; ++round) {
        mesh.RecomputeBounds();
        Say(stage, "Welding and filling small holes");
        const float tolerance = mesh.boundsValid ? AutomaticWeldTolerance(mesh.boundsMin, mesh.boundsMax) : 0.0f;
        const ExportCleanupReport cleanup =
            CleanupForExport(mesh, tolerance, ExportCleanupOptions{true, true, 5.0f, 0.5f});
        mesh.RecomputeBounds();
        const ExportFixReport fixes =
            FixMeshForExport(mesh, ExportFixOptions{true, false, false, true, 40, 1.0f}, stage, report.bodiesBefore);
        report.holesFilled += cleanup.holesFilled;
        report.holesLeftOpen = cleanup.holesLeftOpen;
        report.largestOpenHoleMillimetres = cleanup.largestOpenHoleMillimetres;
        report.doubleSkinnedPairsRemoved += fixes.doubleSkinnedPairsRemoved;
        report.verticesSplit += fixes.verticesSplit;
        report.bodiesRemoved += fixes.bodiesRemoved;
        if (CleanupSaysAnything(cleanup)) detail += "  " + FormatExportCleanupReport(cleanup) + "\n";
        if (fixes.nonManifoldFound > 0 || fixes.bodiesRemoved > 0) detail += FormatExportFixReport(fixes);

        const bool roundChanged = cleanup.verticesMerged > 0 || cleanup.collapsedTrianglesDropped > 0 ||
                                  cleanup.fillTriangles > 0 || fixes.doubleSkinnedPairsRemoved > 0 ||
                                  fixes.verticesSplit > 0 || fixes.bodiesRemoved > 0;
        if (!roundChanged) {
            if (changed) break;
            mesh = original;
            return report;
        }
        report.rounds = static_cast<std::uint32_t>(round);
        changed = true;
        Say(stage, "Reading the part back as a slicer will");
        const SlicerReadBackReport readBack = CheckSlicerReadBack(mesh);
        std::ostringstream line;
        line << "  read back as a slicer reads it: " << readBack.overSharedEdges << " over-shared edges, "
             << readBack.openEdges << " open, " << readBack.facetsWithNoArea << " facets with no area\n";
        detail += line.str();
        if (readBack.overSharedEdges == 0 && readBack.openEdges == 0 && readBack.facetsWithNoArea == 0) break;
    }

    // Welding every corner into one (a stray vertex far away makes the
    // tolerance that large) or removing every body leaves nothing to print.
    if (mesh.indices.empty()) {
        mesh = original;
        report.refusedAsEmpty = true;
        return report;
    }
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();
    report.changed = true;
    edges = EdgeStatistics(mesh);
    report.trianglesAfter = mesh.TriangleCount();
    report.openAfter = edges.openBoundaryEdges;
    report.nonManifoldAfter = edges.nonManifoldEdges;
    report.bodiesAfter = CountBodies(mesh);
    if (report.openAfter == 0) {
        report.holesLeftOpen = 0;
        report.largestOpenHoleMillimetres = 0.0f;
    }
    report.detail = std::move(detail);
    return report;
}

std::string FormatRepairSummary(const RepairReport& r) {
    std::ostringstream out;
    if (r.refusedAsEmpty) {
        out << "Repair: refused; it would have removed all " << r.trianglesBefore
            << " triangles, so the part is as it was.\n";
        return out.str();
    }
    if (!r.changed) {
        // A part the repair could not mend is not one that needed nothing.
        if (r.openAfter == 0 && r.nonManifoldAfter == 0) return "Repair: nothing needed changing.\n";
        out << "Repair: nothing was changed; the part still has " << r.openAfter << " open edges and "
            << r.nonManifoldAfter << " non-manifold edges.\n";
        return out.str();
    }
    out << "Repair:\n"
        << r.detail << "  triangles " << r.trianglesBefore << " to " << r.trianglesAfter << "; open edges "
        << r.openBefore << " to " << r.openAfter << "; non-manifold edges " << r.nonManifoldBefore << " to "
        << r.nonManifoldAfter << "; bodies " << r.bodiesBefore << " to " << r.bodiesAfter << "\n";
    return out.str();
}

}  // namespace ridgeforge::mesh
