// The export fixes' report text and their options in project files.
#include <iomanip>
#include <sstream>

#include "relief/repair/ExportFixes.h"

namespace ridgeforge::mesh {

namespace {

void NonManifoldLine(std::ostringstream& out, const ExportFixReport& r) {
    if (r.nonManifoldFound == 0) {
        out << "  non-manifold edges: none\n";
        return;
    }
    out << "  non-manifold edges: " << r.nonManifoldFound;
    if (!r.crumbsRan && r.bodiesRemoved > 0) {
        out << ", " << r.bodiesRemoved << " stray bodies it freed removed (" << r.bodyTrianglesRemoved << " triangles)";
    }
    if (r.doubleSkinnedPairsRemoved > 0) {
        out << ", " << r.doubleSkinnedPairsRemoved << " double-skinned triangle pair(s) removed";
    }
    out << ", " << r.verticesSplit << " vertices split, " << r.nonManifoldLeft << " left\n";
}

void FoldLine(std::ostringstream& out, const ExportFixReport& r) {
    if (r.foldedFound > 0 && r.foldsLeftAsTheyAre) {
        out << "  folded triangles: " << r.foldedFound
            << " left as they are (relaxing them put more of the surface through itself)\n";
    } else if (r.foldedFound > 0) {
        out << "  folded triangles: " << r.foldedFound << " relaxed in " << r.foldRounds << " round(s), "
            << r.foldedLeft << " left\n";
    } else if (r.sharpPlacesKept > 0) {
        out << "  folded triangles: none that cross anything (" << r.sharpPlacesKept
            << " sharp places left exactly as they are)\n";
    } else {
        out << "  folded triangles: none\n";
    }
}

void SelfIntersectionLine(std::ostringstream& out, const ExportFixReport& r) {
    if (r.selfIntersectingFound == 0) {
        out << "  self-intersections: none\n";
        return;
    }
    out << "  self-intersecting triangles: " << r.selfIntersectingFound << " relaxed in " << r.resolveRounds
        << " round(s)";
    if (r.collapseAttempts > 0) {
        out << ", then " << r.trianglesCollapsed << " tiny triangles collapsed where relaxing could not part them";
    }
    out << ", " << r.selfIntersectingLeft << " left\n";
}

void NoAreaLine(std::ostringstream& out, const ExportFixReport& r) {
    out << "  triangles with no area: " << r.noAreaFound;
    if (r.noAreaTurned > 0) out << ", " << r.noAreaTurned << " removed by turning an edge";
    const std::uint64_t gone = r.noAreaFound > r.noAreaLeft ? r.noAreaFound - r.noAreaLeft : 0;
    if (gone > r.noAreaTurned) out << ", " << gone - r.noAreaTurned << " collapsed away";
    out << ", " << r.noAreaLeft << " left\n";
}

}  // namespace

std::string FormatExportFixReport(const ExportFixReport& r) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(3);
    if (r.nonManifoldRan) NonManifoldLine(out, r);
    if (r.crumbsRan) {
        if (r.bodiesRemoved > 0) {
            out << "  stray crumbs: " << r.bodiesRemoved << " small bodies removed (" << r.bodyTrianglesRemoved
                << " triangles)\n";
        } else {
            out << "  stray crumbs: none\n";
        }
    }
    if (r.foldsRan) FoldLine(out, r);
    if (r.selfIntersectionsRan) SelfIntersectionLine(out, r);
    if (r.noAreaFound > 0) NoAreaLine(out, r);
    if (r.verticesMoved > 0) {
        out << "  " << r.verticesMoved << " vertices moved, the furthest by " << r.furthestMoveMillimetres << " mm\n";
    }
    out << std::setprecision(0) << "  in " << r.milliseconds << " ms\n";
    return out.str();
}

void WriteExportFixOptions(const JsonWriter& writer, const ExportFixOptions& options) {
    writer.SetBool("splitNonManifoldEdges", options.splitNonManifoldEdges);
    writer.SetBool("unfoldTriangles", options.unfoldTriangles);
    writer.SetBool("resolveSelfIntersections", options.resolveSelfIntersections);
    writer.SetBool("removeCrumbs", options.removeCrumbs);
    writer.SetInt("maximumRounds", options.maximumRounds);
    writer.SetFloat("maximumMoveMillimetres", options.maximumMoveMillimetres);
}

void ReadExportFixOptions(const JsonReader& reader, ExportFixOptions& options) {
    JsonGetBool(reader, "splitNonManifoldEdges", options.splitNonManifoldEdges);
    JsonGetBool(reader, "unfoldTriangles", options.unfoldTriangles);
    JsonGetBool(reader, "resolveSelfIntersections", options.resolveSelfIntersections);
    JsonGetBool(reader, "removeCrumbs", options.removeCrumbs);
    JsonGetInt32(reader, "maximumRounds", options.maximumRounds);
    JsonGetFloat(reader, "maximumMoveMillimetres", options.maximumMoveMillimetres);
}

}  // namespace ridgeforge::mesh
