// What the document derives from the working part: the print-check
// occupancy grid with its cached outward-face flags, the part's surfaces for
// the view, and rebuilding all of it when the part as loaded or its
// orientation changed.
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "relief/validation/ValidateMesh.h"

namespace ridgeforge {

void CRidgeforgeDoc::RecomputePrintCheck() {
    occupancyGrid.Build(workingPart, occupancyCells);
    printCheckCache.valid = false;
    if (!occupancyGrid.IsEmpty() && DetailedLog()) LogText(mesh::FormatOccupancyGridReport(occupancyGrid));
}

const std::vector<std::uint8_t>& CRidgeforgeDoc::OutwardFaceFlags() {
    PrintCheckCache& cache = printCheckCache;
    if (HasPart() && !occupancyGrid.IsEmpty()) {
        if (cache.valid && cache.occupancyCells == occupancyCells) return cache.outwardFlags;
        cache.outwardFlags = mesh::ClassifyOutwardFaces(occupancyGrid, workingPart, &cache.counts);
        cache.occupancyCells = occupancyCells;
        cache.valid = true;
        return cache.outwardFlags;
    }
    cache.outwardFlags.clear();
    cache.valid = false;
    return cache.outwardFlags;
}

void CRidgeforgeDoc::SetOccupancyCells(std::int32_t cells) {
    if (cells == occupancyCells) return;
    occupancyCells = cells;
    if (!HasPart()) return;
    document_internal::WaitCursor wait(Host());
    RecomputePrintCheck();
    OnSettingsChanged();
}

void CRidgeforgeDoc::OnOccupancyCells(std::int32_t cells) { SetOccupancyCells(cells); }

void CRidgeforgeDoc::OnUpdateOccupancyCells(std::int32_t cells, CommandState& state) const {
    state.radio = true;
    state.checked = cells == occupancyCells;
    state.enabled = HasPart();
}

void CRidgeforgeDoc::BuildComponents() {
    components.clear();
    if (HasPart()) components = mesh::SegmentSurfaces(workingPart, mesh::SurfaceSearchSettings{1.0f, 1.0f, 0.05f});
}

void CRidgeforgeDoc::ReplaceInputMesh() {
    workingPart = partAsLoaded;
    mesh::ApplyTransform(workingPart, orientation);
    const bool dropsRun = processRequested && pipeline.IsRunning();
    pipeline.SetSourceMesh(workingPart);
    if (dropsRun) ReportDroppedRun(L"Stopped: the part changed during the run; Process runs it again when asked.");
    printability = mesh::PrintabilityReport{};
    // The shown coverage described the old working part.
    shownCoverage = ShownCoverageCache{};
    RecomputePrintCheck();
    FitPlacementToPart();
    if (HasPart()) document_internal::ProtectBaseAt(displacementSettings.base, workingPart.boundsMin.z);
    BuildComponents();
    partValidation = mesh::ValidateMesh(workingPart, mesh::ValidationOptions{0.001f, false, false, 40'000'000});
    OnSettingsChanged();
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
}

}  // namespace ridgeforge
