// How a document change reaches the screen. A placement edit keeps the same
// shown mesh, so only the projection stream is replaced; anything that
// colours the triangles by the placement or shows other geometry (sliced,
// clipped, reduced, projector colours, outer/inner) needs the full path.
#include "ui/view/RidgeforgeView.h"

#include <algorithm>

#include "document/DocumentText.h"
#include "relief/mapping/WholeTiles.h"
#include "relief/validation/SlicedPreview.h"
#include "ui/view/RidgeforgeViewWindow.h"
#include "ui/commands/ViewCommands.h"
#include "ui/view/ViewComputations.h"

namespace ridgeforge {

// The mask shader takes at most this many volumes.
constexpr std::size_t kMaxShownMasks = 16;

CString ToolStatus(ViewTool tool) {
    switch (tool) {
        case ViewTool::MoveTexture:
            return L"Tool: Move Texture";
        case ViewTool::RotateTexture:
            return L"Tool: Rotate Texture";
        case ViewTool::ZoomTexture:
            return L"Tool: Zoom Texture";
        case ViewTool::MoveCage:
            return L"Tool: Move Cage";
        case ViewTool::RotateCage:
            return L"Tool: Rotate Cage";
        case ViewTool::MoveMask:
            return L"Tool: Move Mask";
        case ViewTool::RotateMask:
            return L"Tool: Rotate Mask";
        case ViewTool::ScaleMask:
            return L"Tool: Scale Mask";
        case ViewTool::None:
            break;
    }
    return L"Tool: none (orbit)";
}

CRidgeforgeView::~CRidgeforgeView() = default;

void CRidgeforgeView::AttachSinks(IViewRenderSink* renderer, IViewShell* shell) {
    renderer_ = renderer;
    shell_ = shell;
}

CRidgeforgeDoc* CRidgeforgeView::Document() const { return dynamic_cast<CRidgeforgeDoc*>(GetDocument()); }

bool CRidgeforgeView::PartLoaded() const {
    const CRidgeforgeDoc* doc = Document();
    return doc != nullptr && !doc->workingPart.vertices.empty() && !doc->workingPart.indices.empty();
}

bool CRidgeforgeView::HasPart() const { return PartLoaded(); }

mesh::Projection CRidgeforgeView::WholeTileProjection() const {
    const CRidgeforgeDoc* doc = Document();
    return mesh::ProjectionWithWholeTiles(doc->projection, doc->texture.settings);
}

void CRidgeforgeView::SetInformationText(const CString& text) {
    if (shell_ != nullptr) shell_->SetInformationText(text);
}

void CRidgeforgeView::ApplyShading() {
    if (renderer_ == nullptr) return;
    const gl::ShadingMode effective = EffectiveShading();
    if (renderer_->ShadingMode() != effective) {
        renderer_->SetShadingMode(effective);
        renderer_->Repaint();
    }
}

void CRidgeforgeView::SelectNoTool() { commands->SelectTool(ViewTool::None); }

void CRidgeforgeView::OnUpdate(DocumentView*, ViewUpdateHint hint) {
    LayoutChildren();
    SyncMaskList();
    BuildRenderSettings();
    const bool maskTool = tool >= ViewTool::MoveMask && tool <= ViewTool::ScaleMask;
    CRidgeforgeDoc* doc = Document();
    if (maskTool && !inToolFallback && (!PartLoaded() || doc == nullptr || doc->maskVolumes.empty())) {
        inToolFallback = true;
        SelectNoTool();
        inToolFallback = false;
    }
    // A new part (Open, Test Shapes, New) clears the document's tool flag;
    // the view drops its tool then, as Process does, so that both agree.
    if (tool != ViewTool::None && !inToolFallback && (doc == nullptr || !doc->placementToolActive)) {
        inToolFallback = true;
        SelectNoTool();
        inToolFallback = false;
    }
    commands->SyncMaskPanel();
    switch (hint) {
        case ViewUpdateHint::PlacementChanged:
            RefreshProjectionOnly();
            UpdateOverlays();
            ChooseSurfaceMode();
            if (PartLoaded()) SetInformationText(doc->MeshInformationReport());
            break;
        case ViewUpdateHint::PrintCheckFinished:
            displayMode = DisplayMode::Sliced;
            ApplyShading();
            UpdatePrintCheckOverlay(true);
            break;
        case ViewUpdateHint::ProcessingStarted:
            if (tool != ViewTool::None) SelectNoTool();
            if (inputSurfaceChoice.set && inputSurfaceChoice.mode == gl::SurfaceMode::OuterInner)
                inputSurfaceChoice = {};
            if (renderer_ != nullptr && renderer_->SurfaceMode() == gl::SurfaceMode::OuterInner) {
                renderer_->SetSurfaceMode(gl::SurfaceMode::Plain);
                renderer_->Repaint();
                appliedSurface = {gl::SurfaceMode::Plain, true};
                if (doc != nullptr && doc->printCheckShown) {
                    // The document sends this hint just before its run starts, so
                    // the refresh this causes must not choose a mode as if no run
                    // were going.
                    startingRun_ = true;
                    doc->Edit([](DocumentEdit& edit) { edit.printCheckShown = false; });
                    startingRun_ = false;
                }
            }
            break;
        default:
            RefreshAll();
            break;
    }
}

void CRidgeforgeView::RefreshAll() {
    if (renderer_ == nullptr || !renderer_->Ready()) return;
    CRidgeforgeDoc* doc = Document();
    if (!PartLoaded()) {
        renderer_->ClearMesh();
        renderer_->Repaint();
        SetInformationText(kNoMeshText);
        return;
    }
    ChooseSurfaceMode();
    const bool newPart = doc->meshSerial != shownPartRevision;
    if (newPart) {
        resultSurfaceChoice = {};
        inputSurfaceChoice = {};
        resultChoiceMesh = nullptr;
    }
    UploadMesh(newPart);
    shownPartRevision = doc->meshSerial;
    const mesh::ValidationReport& validation = doc->ShownValidationReport();
    gl::EdgeOverlay edges;
    edges.openEdges = validation.openEdgePoints;
    edges.nonManifoldEdges = validation.nonManifoldEdgePoints;
    edges.problemFaces = validation.reversedTrianglePoints;
    edges.otherProblemFaces = validation.degenerateTrianglePoints;
    renderer_->SetEdgeOverlays(edges);
    renderer_->Repaint();
    UpdatePrintCheckOverlay(showPrintCheck);
    if (doc->HasTexture()) {
        if (!renderer_->UploadHeightMap(doc->texture) && shell_ != nullptr) {
            shell_->ShowMessage(
                L"The texture could not be uploaded to the graphics card, so the Height Map view is "
                L"blank. A smaller image or a smaller tile size may help.",
                InfoKind::Problem);
        }
    } else {
        renderer_->DeleteHeightMap();
    }
    UpdateOverlays();
    UpdateGizmos();
    BuildRenderSettings();
    renderer_->Repaint();
    SetInformationText(doc->MeshInformationReport());
}

void CRidgeforgeView::RefreshProjectionOnly() {
    if (renderer_ == nullptr || !renderer_->Ready() || !PartLoaded()) return;
    const gl::SurfaceMode surface = renderer_->SurfaceMode();
    if (reducedTriangles != 0 || displayMode != DisplayMode::Normal || clippingPlane ||
        surface == gl::SurfaceMode::ProjectorColours || surface == gl::SurfaceMode::OuterInner) {
        RefreshAll();
        return;
    }
    CRidgeforgeDoc* doc = Document();
    const mesh::TriangleMesh& shown = doc->ShownMesh();
    cornerTextureCoordinates = ComputeTextureCoordinates(shown, WholeTileProjection());
    gl::ProjectedCoordinates record;
    record.cornerUv = cornerTextureCoordinates;
    const mesh::TextureCoverage& coverage = doc->ShownTextureCoverage();
    if (coverage.cornerWeights.size() == shown.indices.size()) record.cornerMask = coverage.cornerWeights;
    const bool updated = renderer_->UpdateVertexProjection(shown, record);
    renderer_->Repaint();
    if (!updated) {
        RefreshAll();
        return;
    }
    UpdateOverlays();
    UpdateGizmos();
    BuildRenderSettings();
    renderer_->Repaint();
}

void CRidgeforgeView::UploadMesh(bool newPart) {
    if (!PartLoaded() || renderer_ == nullptr) return;
    CRidgeforgeDoc* doc = Document();
    const mesh::TriangleMesh& shown = doc->ShownMesh();
    mesh::TriangleMesh preview;
    const mesh::TriangleMesh* chosen = &shown;
    if (displayMode == DisplayMode::Sliced) {
        mesh::SlicedPreviewSettings settings;
        settings.layerHeightMillimetres = 0.2f;
        settings.beadWidthMillimetres = 0.42f;
        settings.buildAxis = doc->printability.buildAxis;
        settings.chainToleranceMillimetres = 0.03f;
        settings.drawBudget = 800000;
        settings.drawSkins = true;
        mesh::SlicedPreview sliced = mesh::BuildSlicedPreview(shown, settings);
        slicedPreviewReport = mesh::FormatSlicedPreviewReport(sliced);
        slicedPreviewRefused = !sliced.refusal.empty();
        sliceLayerOfTriangle = std::move(sliced.triangleLayer);
        layersPerPreviewLayer = std::max<std::uint64_t>(1, sliced.drawStep);
        preview = std::move(sliced.mesh);
        chosen = &preview;
    }
    if (clippingPlane) {
        preview = mesh::ClipMeshByPlane(*chosen, doc->projection.cage.center, {1.0f, 0.0f, 0.0f});
        chosen = &preview;
    }
    const mesh::TriangleMesh& m = *chosen;
    if (m.vertices.empty() || m.indices.empty()) {
        renderer_->ClearMesh();
        renderer_->Repaint();
        return;
    }
    const std::size_t triangles = m.TriangleCount();
    const bool plain = displayMode == DisplayMode::Normal && !clippingPlane;
    gl::ProjectedCoordinates record;
    if (colourByComponent && plain) {
        record.triangleColours = BodyColours(doc->ShownValidationReport().componentOfTriangle, triangles);
    }
    if (showPrintCheck && plain) {
        std::vector<mesh::Vec3f> colours = PrintCheckColours(doc->printability, triangles);
        if (!colours.empty()) record.triangleColours = std::move(colours);
    }
    if (showPrintCheck && displayMode == DisplayMode::Sliced && !clippingPlane) {
        std::vector<mesh::Vec3f> colours =
            SlicedPrintCheckColours(m, doc->printability, sliceLayerOfTriangle, layersPerPreviewLayer);
        if (!colours.empty()) record.triangleColours = std::move(colours);
    }
    const gl::SurfaceMode surface = renderer_->SurfaceMode();
    if (surface == gl::SurfaceMode::ProjectorColours) {
        const mesh::TextureCoverage& coverage = doc->ShownTextureCoverage();
        const bool faceBytesFit = &m == &shown && coverage.faceMask.size() == triangles;
        record.triangleColours =
            ProjectorColours(m, WholeTileProjection(), faceBytesFit ? coverage.faceMask : std::vector<std::uint8_t>{});
    } else if (surface == gl::SurfaceMode::OuterInner && plain) {
        record.triangleColours = OuterInnerColours(doc->OutwardFaceFlags(), triangles);
    }
    cornerTextureCoordinates = ComputeTextureCoordinates(m, WholeTileProjection());
    record.cornerUv = cornerTextureCoordinates;
    const mesh::TextureCoverage& coverage = doc->ShownTextureCoverage();
    if (coverage.cornerWeights.size() == m.indices.size()) record.cornerMask = coverage.cornerWeights;

    const bool reducedBefore = reducedTriangles != 0;
    reducedSourceTriangles = 0;
    reducedTriangles = 0;
    if (doc->displayTriangles != 0 && triangles > doc->displayTriangles) {
        if (ShowReducedCopy(m, record, doc->displayTriangles, newPart)) {
            ShowNotice(ReducedCopyNotice(reducedSourceTriangles, reducedTriangles, false));
        }
        return;
    }
    if (renderer_->Ready() && renderer_->UploadMesh(m, record, newPart)) {
        renderer_->Repaint();
        if (reducedBefore && shell_ != nullptr && shell_->Message().find(L"reduced copy") != CString::npos) {
            shell_->ShowMessage(L"", InfoKind::Good);
        }
        return;
    }
    if (shell_ != nullptr) {
        shell_->Log(L"The mesh could not be uploaded: " + Utf8ToCString(renderer_->LastError()), LogKind::Error);
    }
    for (std::uint64_t budget = triangles / 2; budget >= 100000; budget /= 2) {
        if (ShowReducedCopy(m, record, budget, newPart)) {
            ShowNotice(ReducedCopyNotice(reducedSourceTriangles, reducedTriangles, true));
            return;
        }
    }
}

bool CRidgeforgeView::ShowReducedCopy(const mesh::TriangleMesh& mesh, const gl::ProjectedCoordinates& record,
                                      std::uint64_t budget, bool newPart) {
    if (renderer_ == nullptr || !renderer_->Ready()) return false;
    if (shell_ != nullptr) shell_->BeginWaitCursor();
    const mesh::ReducedMesh copy = mesh::MakeReducedCopy(mesh, budget);
    gl::ProjectedCoordinates reduced;
    reduced.triangleColours.assign(copy.mesh.TriangleCount(), kReducedCopyTint);
    reduced.cornerMask = CarryCornerMask(copy, record.cornerMask, mesh.indices.size());
    cornerTextureCoordinates = ComputeTextureCoordinates(copy.mesh, WholeTileProjection());
    reduced.cornerUv = cornerTextureCoordinates;
    const bool uploaded = renderer_->UploadMesh(copy.mesh, reduced, newPart);
    if (uploaded) {
        reducedSourceTriangles = mesh.TriangleCount();
        reducedTriangles = copy.mesh.TriangleCount();
        renderer_->Repaint();
    }
    if (shell_ != nullptr) shell_->EndWaitCursor();
    return uploaded;
}

void CRidgeforgeView::ShowNotice(const CString& notice) {
    if (shell_ == nullptr) return;
    shell_->ShowMessage(notice, InfoKind::Good);
    if (notice != lastDisplayNotice) shell_->Log(notice, LogKind::Plain);
    lastDisplayNotice = notice;
}

void CRidgeforgeView::BuildRenderSettings() {
    if (renderer_ == nullptr) return;
    renderer_->SetMappingState(PartLoaded() ? BuildMappingState(WholeTileProjection()) : gl::MappingState{});
}

void CRidgeforgeView::SyncMaskList() {
    if (renderer_ == nullptr) return;
    std::vector<mesh::MaskVolume> masks;
    const CRidgeforgeDoc* doc = Document();
    if (PartLoaded()) {
        const bool inputShown = doc->placementToolActive || doc->printCheckShown;
        if (inputShown || !doc->IsResultCurrent()) {
            for (const mesh::MaskVolume& volume : doc->maskVolumes) {
                if (volume.enabled && masks.size() < kMaxShownMasks) masks.push_back(volume);
            }
        }
    }
    renderer_->SetMasks(masks);
    renderer_->Repaint();
}

void CRidgeforgeView::ChooseSurfaceMode() {
    CRidgeforgeDoc* doc = Document();
    if (!PartLoaded() || renderer_ == nullptr || doc->pipeline.IsRunning() || startingRun_) return;
    gl::SurfaceMode mode = gl::SurfaceMode::Plain;
    if (tool == ViewTool::None && !doc->printCheckShown && doc->IsResultCurrent()) {
        const mesh::TriangleMesh* shown = &doc->ShownMesh();
        if (shown != resultChoiceMesh) {
            resultChoiceMesh = shown;
            resultSurfaceChoice = {};
        }
        mode = resultSurfaceChoice.set ? resultSurfaceChoice.mode : gl::SurfaceMode::Plain;
    } else {
        mode = doc->HasTexture() ? gl::SurfaceMode::HeightMap : gl::SurfaceMode::Checkerboard;
        if (inputSurfaceChoice.set) mode = inputSurfaceChoice.mode;
    }
    if (appliedSurface.set && appliedSurface.mode == mode) return;
    appliedSurface = {mode, true};
    if (renderer_->SurfaceMode() != mode) {
        renderer_->SetSurfaceMode(mode);
        renderer_->Repaint();
    }
    const bool outerInner = mode == gl::SurfaceMode::OuterInner;
    if (doc->printCheckShown != outerInner)
        doc->Edit([outerInner](DocumentEdit& edit) { edit.printCheckShown = outerInner; });
}

void CRidgeforgeView::UpdatePrintCheckOverlay(bool wanted) {
    if (renderer_ == nullptr) return;
    const CRidgeforgeDoc* doc = Document();
    const bool valid = doc != nullptr && doc->printability.checked;
    gl::PrintCheckOverlay overlay;
    if (valid) {
        const mesh::PrintabilityReport& r = doc->printability;
        if (displayMode != DisplayMode::Sliced)
            overlay.lines.assign(r.contourLinePoints.begin(), r.contourLinePoints.end());
        overlay.needingSupport = r.needsSupportQuads;
        overlay.reachingFar = r.reachingFarQuads;
        overlay.bridging = r.bridgingQuads;
    }
    renderer_->SetPrintCheckOverlay(overlay);
    const bool now = wanted && valid;
    const bool changed = now != showPrintCheck;
    showPrintCheck = now;
    renderer_->SetShowPrintCheck(now);
    if (changed || now) UploadMesh(false);
    renderer_->Repaint();
}

void CRidgeforgeView::ToolStatusText() {
    if (shell_ != nullptr) shell_->SetToolText(ToolStatus(tool));
}

void CRidgeforgeView::OnFrameStatistics(const gl::FrameStatistics& statistics, std::uint64_t now) {
    if (frameStatusShown && now - lastFrameStatusTick < 250) return;
    frameStatusShown = true;
    lastFrameStatusTick = now;
    if (shell_ == nullptr || renderer_ == nullptr) return;
    CString text;
    if (renderer_->HasUploadedMesh()) {
        text = statistics.gpuValid
                   ? FormatText("GPU %.1f ms  |  %.0f fps", statistics.gpuMilliseconds, statistics.framesPerSecond)
                   : FormatText("%.1f ms  |  %.0f fps", statistics.frameMilliseconds, statistics.framesPerSecond);
    }
    shell_->SetFrameText(text);
}

}  // namespace ridgeforge
