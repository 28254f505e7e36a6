// What the view's commands do. Every change that moves the placement ends
// with the mapping refresh (the document re-derives its state, then the
// overlays, handles and render settings follow), so a command never leaves
// the cage or the shader behind the document.
#include "ui/commands/ViewCommands.h"

#include <wx/toplevel.h>
#include <wx/window.h>

#include "ui/commands/CommandIds.h"
#include "ui/dialogs/MaskPanel.h"
#include "document/DocumentText.h"
#include "ui/view/OpenGLViewport.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/view/RidgeforgeViewWindow.h"

namespace ridgeforge {
namespace {

// The axis of the mapping in use; null for the box, which has none.
template <class P>
auto* MappingAxis(P& p) {
    return p.type == mesh::ProjectionType::Plane      ? &p.plane.axis
           : p.type == mesh::ProjectionType::Cylinder ? &p.cylinder.axis
           : p.type == mesh::ProjectionType::Sphere   ? &p.sphere.axis
                                                      : nullptr;
}

bool HasChosenMask(const CRidgeforgeDoc& doc) {
    return doc.activeMask >= 0 && static_cast<std::size_t>(doc.activeMask) < doc.maskVolumes.size();
}

}  // namespace

bool IsMaskTool(ViewTool tool) { return tool >= ViewTool::MoveMask && tool <= ViewTool::ScaleMask; }

ViewCommands::ViewCommands(CRidgeforgeView& view) : view_(view) {}

CRidgeforgeDoc* ViewCommands::Doc() const { return view_.Document(); }

bool ViewCommands::PartLoaded() const { return view_.HasPart(); }

bool ViewCommands::RendererReady() const { return view_.renderer_ != nullptr && view_.renderer_->Ready(); }

COpenGLViewport* ViewCommands::Viewport() const { return view_.window_ != nullptr ? view_.window_->viewport : nullptr; }

gl::Renderer* ViewCommands::Renderer() const {
    COpenGLViewport* viewport = Viewport();
    return viewport != nullptr ? &viewport->renderer : nullptr;
}

wxWindow* ViewCommands::Owner() const {
    wxWindow* window = view_.Window();
    return window != nullptr ? wxGetTopLevelParent(window) : nullptr;
}

void ViewCommands::Repaint() const {
    if (view_.renderer_ != nullptr) view_.renderer_->Repaint();
}

void ViewCommands::OverlaysAndRepaint() {
    view_.UpdateOverlays();
    view_.UpdateGizmos();
    view_.BuildRenderSettings();
    Repaint();
}

void ViewCommands::MappingRefresh(const std::function<void(DocumentEdit&)>& change) {
    if (CRidgeforgeDoc* doc = Doc()) doc->Edit(change);
    OverlaysAndRepaint();
}

// Camera.

void ViewCommands::CameraPreset(CommandId id) {
    COpenGLViewport* viewport = Viewport();
    if (viewport == nullptr) return;
    gl::Renderer& r = viewport->renderer;
    ViewportInteraction& interaction = viewport->interaction;
    if (id == ID_VIEW_RESET) {
        r.orthographic = false;
        interaction.autoOrthographic = false;
        viewport->FrameScene();
    } else {
        // Framing first stops a running turn, so its next tick cannot
        // overwrite the preset's angles.
        viewport->FrameScene();
        float yaw = -90.0f;
        float pitch = 0.0f;
        switch (id) {
            case ID_VIEW_ISOMETRIC:
                yaw = -135.0f;
                pitch = 45.0f;
                break;
            case ID_VIEW_BACK:
                yaw = 90.0f;
                break;
            case ID_VIEW_LEFT:
                yaw = 180.0f;
                break;
            case ID_VIEW_RIGHT:
                yaw = 0.0f;
                break;
            case ID_VIEW_TOP:
                pitch = 89.5f;
                break;
            case ID_VIEW_BOTTOM:
                pitch = -89.5f;
                break;
            default:
                break;
        }
        if (id == ID_VIEW_ISOMETRIC) {
            r.orthographic = false;
            interaction.autoOrthographic = false;
        } else if (!r.orthographic) {
            r.orthographic = true;
            interaction.autoOrthographic = true;
        }
        r.SetViewAngles(yaw, pitch);
        viewport->FrameScene();
    }
    view_.RefreshHandles();
    viewport->Refresh(false);
}

void ViewCommands::ToggleOrthographic() {
    COpenGLViewport* viewport = Viewport();
    if (viewport == nullptr || !RendererReady()) return;
    viewport->interaction.autoOrthographic = false;
    viewport->renderer.orthographic = !viewport->renderer.orthographic;
    view_.RefreshHandles();
    viewport->Refresh(false);
}

// Display.

void ViewCommands::SelectShading(CommandId id) {
    view_.shading = static_cast<gl::ShadingMode>(id - ID_SHADING_SMOOTH);
    view_.ApplyShading();
}

void ViewCommands::SelectSurface(CommandId id) {
    if (view_.renderer_ == nullptr) return;
    const gl::SurfaceMode mode = id == ID_SURFACE_HEIGHT_MAP    ? gl::SurfaceMode::HeightMap
                                 : id == ID_SURFACE_OUTER_INNER ? gl::SurfaceMode::OuterInner
                                                                : static_cast<gl::SurfaceMode>(id - ID_SURFACE_PLAIN);
    view_.renderer_->SetSurfaceMode(mode);
    CRidgeforgeDoc* doc = Doc();
    if (PartLoaded()) {
        const bool outerInner = mode == gl::SurfaceMode::OuterInner;
        if (!outerInner && !doc->placementToolActive && doc->IsResultCurrent())
            view_.resultSurfaceChoice = {mode, true};
        else
            view_.inputSurfaceChoice = {mode, true};
        if (doc->printCheckShown != outerInner)
            doc->Edit([outerInner](DocumentEdit& edit) { edit.printCheckShown = outerInner; });
    }
    view_.UploadMesh(false);
    Repaint();
}

void ViewCommands::ToggleShowFlag(CommandId id) {
    gl::Renderer* r = Renderer();
    if (r == nullptr) return;
    switch (id) {
        case ID_SHOW_NORMALS:
            r->showNormals = !r->showNormals;
            if (r->showNormals && r->normalLines.count == 0) r->RebuildNormalLines();
            break;
        case ID_SHOW_BOUNDING_BOX:
            r->showBoundingBox = !r->showBoundingBox;
            break;
        case ID_SHOW_OPEN_EDGES:
            r->showOpenEdges = !r->showOpenEdges;
            break;
        case ID_SHOW_NON_MANIFOLD:
            r->showNonManifoldEdges = !r->showNonManifoldEdges;
            break;
        case ID_SHOW_PROBLEM_FACES:
            r->showProblemFaces = !r->showProblemFaces;
            break;
        default:
            return;
    }
    Repaint();
}

void ViewCommands::ShowMeshInformation() {
    CRidgeforgeDoc* doc = Doc();
    if (!PartLoaded()) return;
    view_.SetInformationText(doc->MeshInformationReport());
    if (view_.shell_ != nullptr) view_.shell_->ShowInformationPane();
}

void ViewCommands::ToggleSliced() {
    const bool leaving = view_.displayMode == DisplayMode::Sliced;
    view_.displayMode = leaving ? DisplayMode::Normal : DisplayMode::Sliced;
    view_.ApplyShading();
    if (leaving && view_.showPrintCheck) view_.UpdatePrintCheckOverlay(false);
    view_.UploadMesh(false);
    Repaint();
    if (!leaving && !view_.slicedPreviewReport.empty() && view_.shell_ != nullptr)
        view_.shell_->Log(Utf8ToCString(view_.slicedPreviewReport),
                          view_.slicedPreviewRefused ? LogKind::Warning : LogKind::Plain);
}

// Mapping.

void ViewCommands::SelectMappingType(CommandId id) {
    CRidgeforgeDoc* doc = Doc();
    if (!PartLoaded()) return;
    const mesh::ProjectionType type =
        id == ID_MAPPING_SPHERE ? mesh::ProjectionType::Sphere : static_cast<mesh::ProjectionType>(id - ID_MAPPING_BOX);
    MappingRefresh([doc, type](DocumentEdit& edit) {
        edit.projection.type = type;
        doc->FitPlacementToPart();
    });
}

void ViewCommands::SelectAxis(CommandId id) {
    CRidgeforgeDoc* doc = Doc();
    if (!PartLoaded()) return;
    const auto chosen = static_cast<mesh::Axis>(id - ID_AXIS_X);
    const mesh::Axis* current = MappingAxis(doc->projection);
    if (current != nullptr && *current != chosen) {
        doc->Edit([doc, chosen](DocumentEdit& edit) {
            *MappingAxis(edit.projection) = chosen;
            doc->FitPlacementToPart();
            doc->UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
        });
    }
    OverlaysAndRepaint();
}

void ViewCommands::SelectSurfaces(CommandId id) {
    CRidgeforgeDoc* doc = Doc();
    if (!PartLoaded()) return;
    static constexpr mesh::SurfaceSelection kChoices[] = {mesh::SurfaceSelection::Both, mesh::SurfaceSelection::Outside,
                                                          mesh::SurfaceSelection::Inside};
    const mesh::SurfaceSelection chosen = kChoices[id - ID_SURFACES_ALL];
    if (doc->projection.box.sideSurface[0] == chosen) return;
    doc->SetSurfaceForAllSides(static_cast<std::uint32_t>(chosen));
    OverlaysAndRepaint();
}

void ViewCommands::ToggleEditPerSide() {
    view_.editPerSide = !view_.editPerSide;
    if (gl::Renderer* r = Renderer()) r->showCage = view_.editPerSide;
    CRidgeforgeDoc* doc = Doc();
    if (!view_.editPerSide && doc != nullptr) doc->SelectLayer(-1);
    view_.UpdateGizmos();
    Repaint();
}

void ViewCommands::PlaceOnAllSides() {
    CRidgeforgeDoc* doc = Doc();
    if (doc != nullptr) doc->SelectLayer(-1);
}

void ViewCommands::ResetPlacement() {
    CRidgeforgeDoc* doc = Doc();
    if (!PartLoaded()) return;
    doc->DropUnchangedSnapshot();
    doc->Edit([](DocumentEdit& edit) {
        for (mesh::ProjectionLayer& layer : edit.projection.layer) {
            layer.originMillimetres[0] = layer.originMillimetres[1] = 0.0f;
            layer.rotationDegrees = 0.0f;
            layer.zoom = 1.0f;
        }
        edit.projection.activeLayer = -1;
    });
}

// Tools and masks.

void ViewCommands::SelectTool(ViewTool tool) {
    CRidgeforgeDoc* doc = Doc();
    if (IsMaskTool(tool) && (doc == nullptr || doc->maskVolumes.empty())) return;
    view_.tool = tool;
    view_.hoverHandle = gl::HandleKind::None;
    if (IsMaskTool(tool)) {
        if (maskPanel_ == nullptr && Owner() != nullptr) {
            maskPanel_ = new CMaskPanel(Owner(), view_.shell_ != nullptr ? view_.shell_->Profile() : nullptr);
        }
        if (maskPanel_ != nullptr) maskPanel_->ShowNear(view_.Window()->GetScreenRect().GetTopLeft(), doc);
    } else if (maskPanel_ != nullptr && maskPanel_->IsShown()) {
        maskPanel_->Hide();
    }
    const bool active = tool != ViewTool::None;
    if (doc != nullptr && doc->placementToolActive != active) {
        const mesh::TriangleMesh* shown = &doc->ShownMesh();
        doc->Edit([active](DocumentEdit& edit) { edit.placementToolActive = active; });
        view_.ChooseSurfaceMode();
        if (&doc->ShownMesh() == shown) view_.UploadMesh(false);
    }
    view_.ToolStatusText();
    view_.UpdateGizmos();
    if (maskPanel_ != nullptr) maskPanel_->UpdateStrip();
    Repaint();
}

void ViewCommands::AfterMaskChange() {
    if (!IsMaskTool(view_.tool))
        SelectTool(ViewTool::MoveMask);
    else
        view_.UpdateGizmos();
    SyncMaskPanel();
}

void ViewCommands::SyncMaskPanel() {
    if (maskPanel_ != nullptr && maskPanel_->IsShown()) maskPanel_->SyncFromDocument(Doc());
}

void ViewCommands::AddMask(CommandId id) {
    CRidgeforgeDoc* doc = Doc();
    if (PartLoaded() && doc->AddMaskVolume(id - ID_MASK_ADD_BOX) >= 0) AfterMaskChange();
}

void ViewCommands::EditMasks() {
    CRidgeforgeDoc* doc = Doc();
    if (doc == nullptr || doc->maskVolumes.empty()) return;
    if (!HasChosenMask(*doc)) doc->SelectMask(0);
    AfterMaskChange();
}

void ViewCommands::DuplicateMask() {
    CRidgeforgeDoc* doc = Doc();
    if (doc != nullptr && HasChosenMask(*doc) && doc->DuplicateMaskVolume(doc->activeMask) >= 0) AfterMaskChange();
}

void ViewCommands::DeleteMask() {
    CRidgeforgeDoc* doc = Doc();
    if (doc == nullptr || !HasChosenMask(*doc)) return;
    doc->DeleteMaskVolume(doc->activeMask);
    if (doc->maskVolumes.empty())
        SelectTool(ViewTool::None);
    else
        AfterMaskChange();
}

void ViewCommands::ToggleTextureField(CommandId id) {
    CRidgeforgeDoc* doc = Doc();
    if (doc == nullptr) return;
    mesh::TextureSettings settings = doc->texture.settings;
    if (id == ID_TEXTURE_INVERT)
        settings.invert = !settings.invert;
    else if (!doc->HasTexture())
        return;
    else if (id == ID_TEXTURE_TILES)
        settings.tiles = !settings.tiles;
    else
        settings.autoLevels = !settings.autoLevels;
    doc->ApplyTextureSettings(settings);
}

}  // namespace ridgeforge
