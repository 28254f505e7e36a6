// The Mesh Information text: a verdict, the part's size and counts, how the
// triangles carry the texture, how much of the surface is outside, the file's
// counts, bounds, volume and area, the texture and its placement, the masks,
// the topology and the import warnings. It only reads the document, except
// for the cache of the three slow measurements (edge counts, volume, area),
// which are taken once per shown mesh.
#include <cmath>
#include <cstdlib>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "relief/mapping/CageFrame.h"
#include "relief/mapping/WholeTiles.h"
#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge {

namespace {

CString FileNameOf(const CString& path) { return WideFromPath(PathFromWide(path).filename()); }

CString FileFormatName(mesh::StlFileFormat format) {
    switch (format) {
        case mesh::StlFileFormat::Binary:
            return L"Binary STL";
        case mesh::StlFileFormat::Ascii:
            return L"ASCII STL";
        default:
            return L"Unrecognised";
    }
}

CString SamplingVerdict(float pixelsPerEdge) {
    if (pixelsPerEdge <= 2.0f) return L"the mesh carries this map at full detail";
    if (pixelsPerEdge <= 4.0f) return L"the mesh carries most of this map";
    if (pixelsPerEdge <= 10.0f) return L"the finest grain of this map is being lost";
    return L"most of this map is too fine for these triangles";
}

CString TextureDetailText(const mesh::SamplingReport& sampling) {
    if (!sampling.measured) return CString();
    CString text = L"Texture detail\r\n";
    text += FormatText("  Triangles: %.3f mm, texture %.4f mm/pixel\r\n  Sampling: %.1f image pixels per edge\r\n",
                       static_cast<double>(sampling.triangleMillimetres),
                       static_cast<double>(sampling.texelMillimetres), static_cast<double>(sampling.pixelsPerEdge));
    text += L"  " + SamplingVerdict(sampling.pixelsPerEdge) + L"\r\n";
    text += FormatText("  Nothing finer than %.2f mm can appear on the surface.\r\n",
                       static_cast<double>(sampling.finestMillimetres));
    if (sampling.filterRaised) {
        text += FormatText(
            "  The map is softened to %.3f mm before it is read, so that\r\n  detail the triangles cannot carry "
            "becomes smooth rather than\r\n  random. Without it the surface picks up noise, not grain.\r\n",
            static_cast<double>(sampling.filterMillimetres));
    }
    const std::string advice = mesh::FormatSamplingAdvice(sampling);
    if (!advice.empty()) text += L"  " + Utf8ToCString(advice) + L"\r\n";
    return text + L"\r\n";
}

// The side whose circumference the whole-tile fit measures: the cylinder's
// wall, or the first sphere side that is not a pole.
int WholeTileSide(const mesh::Projection& projection) {
    if (projection.type != mesh::ProjectionType::Sphere) return 0;
    const int up = static_cast<int>(projection.sphere.axis);
    for (int side = 0; side <= 4; ++side) {
        if (mesh::BoxSideFrame(side, up).onAxis == 0) return side;
    }
    return 5;
}

// The fit line without a line end; empty when the fit does not apply.
CString WholeTileLine(const mesh::Projection& projection, const mesh::TextureSettings& settings) {
    const mesh::WholeTilesResult fit = mesh::WholeTilesFit(projection, settings, WholeTileSide(projection));
    if (!fit.applies) return CString();
    const char* round = projection.type == mesh::ProjectionType::Sphere ? "equator" : "wall";
    if (!fit.fitted) {
        return FormatText("  Round the %s: not fitted, the image is turned off its width and height", round);
    }
    const double change = std::fabs(static_cast<double>(fit.fittedZoom) / static_cast<double>(fit.zoom) - 1.0);
    return FormatText(
        "  Round the %s: %d whole tile%s, the image used %.1f%% %s (tile %.2f mm round, set %.2f)", round,
        fit.tileCount, fit.tileCount == 1 ? "" : "s", change * 100.0, fit.fittedZoom >= fit.zoom ? "larger" : "smaller",
        static_cast<double>(fit.fittedTileLengthMillimetres), static_cast<double>(fit.tileLengthMillimetres));
}

CString PlacementText(const mesh::Projection& projection, const mesh::TextureSettings& settings) {
    const std::int32_t active = projection.activeLayer;
    const CString label = active < 0 ? CString(L"All sides") : L"Side " + Utf8ToCString(mesh::BoxSideName(active));
    const std::int32_t shown = active < 0 ? 0 : active;
    const mesh::ProjectionLayer layer = shown < static_cast<std::int32_t>(mesh::kSideCount)
                                            ? projection.layer[static_cast<std::size_t>(shown)]
                                            : mesh::ProjectionLayer{};
    CString block = L"Texture placement\r\n  " + label + L"\r\n";
    block +=
        FormatText("  Origin: %.2f, %.2f mm\r\n  Rotation: %.1f deg\r\n  Zoom: %.2f\r\n\r\n",
                   static_cast<double>(layer.originMillimetres[0]), static_cast<double>(layer.originMillimetres[1]),
                   static_cast<double>(layer.rotationDegrees), static_cast<double>(layer.zoom));
    const CString fit = WholeTileLine(projection, settings);
    // The fit line becomes the block's last line, before its blank line.
    if (!fit.empty()) block.insert(block.size() - 2, fit + L"\r\n");
    return block;
}

CString MaskText(const std::vector<mesh::MaskVolume>& masks) {
    if (masks.empty()) return CString();
    std::size_t off = 0;
    for (const mesh::MaskVolume& mask : masks) off += mask.enabled ? 0 : 1;
    if (off == 0) {
        return FormatText("Mask volumes\r\n  %zu, keeping the texture off what they cover\r\n\r\n", masks.size());
    }
    return FormatText("Mask volumes\r\n  %zu (%zu off), keeping the texture off what they cover\r\n\r\n", masks.size(),
                      off);
}

}  // namespace

CString CRidgeforgeDoc::MeshInformationReport() {
    if (!HasPart()) return L"No mesh loaded.\r\n\r\nUse File > Open to load an STL.";

    const mesh::TriangleMesh& shown = ShownMesh();
    mesh::Vec3f size{0.0f, 0.0f, 0.0f};
    mesh::Vec3f centre{0.0f, 0.0f, 0.0f};
    if (shown.boundsValid) {
        size = {shown.boundsMax.x - shown.boundsMin.x, shown.boundsMax.y - shown.boundsMin.y,
                shown.boundsMax.z - shown.boundsMin.z};
        centre = {(shown.boundsMin.x + shown.boundsMax.x) / 2.0f, (shown.boundsMin.y + shown.boundsMax.y) / 2.0f,
                  (shown.boundsMin.z + shown.boundsMax.z) / 2.0f};
    }
    MeshInfoCache& cache = meshInfoCache;
    if (!cache.valid || cache.mesh != &shown || cache.indexCount != shown.indices.size() ||
        cache.meshSerial != meshSerial || cache.resultSerial != resultSerial) {
        cache.mesh = &shown;
        cache.indexCount = shown.indices.size();
        cache.meshSerial = meshSerial;
        cache.resultSerial = resultSerial;
        cache.edges = mesh::EdgeStatistics(shown);
        cache.absoluteVolume = std::fabs(static_cast<double>(shown.SignedVolume()));
        cache.surfaceArea = static_cast<double>(shown.SurfaceArea());
        // Counted on the mesh shown: the file's own count goes stale with a
        // Repair or a result that joins or drops bodies.
        cache.bodies = mesh::CountBodies(shown);
        cache.valid = true;
    }

    // The relief's own warnings about the result shown count in its verdict.
    const bool showsRun = ShowsReliefResult();
    mesh::ValidationReport verdict;
    verdict.verdict = ShownValidationReport().verdict;
    verdict.problems = ShownValidationReport().problems;
    AddReliefCautions(verdict);
    CString text = L"Verdict\r\n  " + Utf8ToCString(mesh::ValidationVerdictText(verdict)) + L"\r\n";
    for (const std::string& sentence : verdict.problems) text += L"  - " + Utf8ToCString(sentence) + L"\r\n";
    text += L"\r\n";

    text += L"Part\r\n  " + FileNameOf(partName) + L"\r\n";
    text += FormatText("  %.2f x %.2f x %.2f mm\r\n", static_cast<double>(size.x), static_cast<double>(size.y),
                       static_cast<double>(size.z));
    text += L"  " + FormatWithThousands(shown.TriangleCount()) + L" triangles\r\n\r\n";
    const std::size_t detailsAt = text.size();

    if (!occupancyGrid.IsEmpty() && !OutwardFaceFlags().empty()) {
        const mesh::OutwardFaceCounts& counts = printCheckCache.counts;
        const double total = counts.outwardArea + counts.inwardArea;
        const double outer = total > 0.0 ? counts.outwardArea * 100.0 / total : 0.0;
        const double inner = total > 0.0 ? counts.inwardArea * 100.0 / total : 0.0;
        text += FormatText("Surfaces (part as loaded)\r\n  outer %.1f%%, inner %.1f%% of the area\r\n", outer, inner);
        if (DetailedLog()) {
            text += FormatText("  grid %d cells of %.2f mm, built in %.0f ms\r\n  %zu marches in %.0f ms\r\n",
                               occupancyCells, static_cast<double>(occupancyGrid.cellSizeMillimetres),
                               occupancyGrid.buildMilliseconds, static_cast<std::size_t>(counts.faces),
                               counts.milliseconds);
        }
        text += L"\r\n";
    }

    text += L"File and counts\r\n  Format: " + FileFormatName(importReport.format) + L"\r\n";
    text += L"  Vertices: " + FormatWithThousands(shown.vertices.size()) + L"\r\n";
    text += L"  Bodies: " + FormatWithThousands(cache.bodies) + L"\r\n\r\n";

    text += L"Bounding box (mm)\r\n";
    text += L"  Min: " + FormatVec3(shown.boundsMin.x, shown.boundsMin.y, shown.boundsMin.z) + L"\r\n";
    text += L"  Max: " + FormatVec3(shown.boundsMax.x, shown.boundsMax.y, shown.boundsMax.z) + L"\r\n";
    text += L"  Centre: " + FormatVec3(centre.x, centre.y, centre.z) + L"\r\n\r\n";

    text += FormatText("Measurements\r\n  Volume: %.3f mm³\r\n  Surface area: %.3f mm²\r\n\r\n", cache.absoluteVolume,
                       cache.surfaceArea);

    if (proceduralTexture != nullptr) {
        text += L"Procedural texture\r\n  " + Utf8ToCString(proceduralTexture->Describe()) + L"\r\n";
        text +=
            FormatText("  Rendered %d x %d pixels, seamless by construction\r\n\r\n", texture.width, texture.height);
    }
    text += PlacementText(projection, texture.settings);
    text += MaskText(maskVolumes);

    // The run's sampling describes the result it made, and only while that
    // result is the mesh shown (an Undo or a changed setting shows the part).
    text.insert(detailsAt, (showsRun ? TextureDetailText(runState.sampling) : CString()) + L"Details\r\n-------\r\n");

    text += L"Topology\r\n";
    text += L"  Open boundary edges: " + FormatWithThousands(cache.edges.openBoundaryEdges) + L"\r\n";
    text += L"  Non-manifold edges: " + FormatWithThousands(cache.edges.nonManifoldEdges) + L"\r\n";
    text += L"  Edges shared twice: " + FormatWithThousands(cache.edges.manifoldEdges) + L"\r\n";
    if (cache.edges.openBoundaryEdges == 0 && cache.edges.nonManifoldEdges == 0) text += L"  The mesh is closed.\r\n";

    if (!importReport.warnings.empty()) {
        text += L"\r\nImport warnings\r\n";
        for (const std::string& warning : importReport.warnings) text += L"  " + Utf8ToCString(warning) + L"\r\n";
    }
    return text;
}

}  // namespace ridgeforge
