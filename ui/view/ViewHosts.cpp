// The view's answers to the viewport's handle and Lay on Face questions, and
// the overlays they keep up to date: the cage, the handles, the mask
// volumes and the candidate resting faces.
#include <algorithm>
#include <cmath>

#include "gl/Picking.h"
#include "relief/mapping/CageFrame.h"
#include "relief/mapping/MaskOverlay.h"
#include "relief/mapping/ProjectorOverlay.h"
#include "relief/mapping/SideExtent.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/view/ViewComputations.h"

namespace ridgeforge {
namespace {

bool IsMaskTool(ViewTool tool) { return tool >= ViewTool::MoveMask && tool <= ViewTool::ScaleMask; }

std::vector<int> UsableSides(const mesh::Projection& p) {
    std::vector<int> sides;
    switch (p.type) {
        case mesh::ProjectionType::Box:
        case mesh::ProjectionType::Sphere:
            for (int s = 0; s < mesh::kSideCount; ++s) {
                if (p.box.sideEnabled[static_cast<std::size_t>(s)]) sides.push_back(s);
            }
            break;
        case mesh::ProjectionType::Plane:
            sides.push_back(4);
            break;
        case mesh::ProjectionType::Cylinder:
            if (p.cylinder.sideEnabled) sides.push_back(0);
            if (p.cylinder.topCapEnabled) sides.push_back(4);
            if (p.cylinder.bottomCapEnabled) sides.push_back(5);
            break;
    }
    return sides;
}

bool SideIsOn(const mesh::Projection& p, std::int32_t side) {
    switch (p.type) {
        case mesh::ProjectionType::Plane:
            return false;
        case mesh::ProjectionType::Cylinder:
            return p.cylinder.sideEnabled;
        default:
            return side >= 0 && side < mesh::kSideCount && p.box.sideEnabled[static_cast<std::size_t>(side)];
    }
}

mesh::Vec3f Lighten(const mesh::Vec3f& c) {
    return {std::min(1.0f, c.x + 0.35f), std::min(1.0f, c.y + 0.35f), std::min(1.0f, c.z + 0.35f)};
}

}  // namespace

const mesh::Projection& CRidgeforgeView::Projection() const {
    const CRidgeforgeDoc* doc = Document();
    return doc != nullptr ? doc->projection : defaultProjection_;
}

void CRidgeforgeView::SetHover(std::int32_t side, gl::HandleKind handle) {
    if (side == hoverCageSide && handle == hoverHandle) return;
    hoverCageSide = side;
    hoverHandle = handle;
    UpdateOverlays();
    UpdateGizmos();
    if (renderer_ != nullptr) renderer_->Repaint();
}

void CRidgeforgeView::ClickSide(std::int32_t side, bool ctrl) {
    CRidgeforgeDoc* doc = Document();
    if (!PartLoaded() || side < 0 || side > 5) return;
    mesh::Projection& p = doc->projection;
    if (p.type != mesh::ProjectionType::Box && p.type != mesh::ProjectionType::Sphere) return;
    auto& enabled = p.box.sideEnabled;
    const auto s = static_cast<std::size_t>(side);
    if (ctrl) {
        enabled[s] = !enabled[s];
    } else {
        const bool onlyThis = enabled[s] && std::count(enabled.begin(), enabled.end(), true) == 1;
        for (std::size_t i = 0; i < enabled.size(); ++i) enabled[i] = onlyThis || i == s;
    }
    doc->OnSettingsChanged();
    UpdateOverlays();
    UpdateGizmos();
    BuildRenderSettings();
    if (renderer_ != nullptr) renderer_->Repaint();
}

void CRidgeforgeView::SelectSide(std::int32_t side) {
    CRidgeforgeDoc* doc = Document();
    if (!PartLoaded() || renderer_ == nullptr || !editPerSide) return;
    std::int32_t next = side == doc->projection.activeLayer ? -1 : side;
    if (next < 0 || next > 5) next = -1;
    if (next == doc->projection.activeLayer) return;
    doc->projection.activeLayer = next;
    doc->UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
}

void CRidgeforgeView::SetHandlePlacement(const gl::Placement& placement) {
    CRidgeforgeDoc* doc = Document();
    if (!PartLoaded()) return;
    if (!IsMaskTool(tool)) {
        doc->projection.cage = placement;
        doc->OnSettingsChanged();
        UpdateOverlays();
        UpdateGizmos();
        BuildRenderSettings();
        if (renderer_ != nullptr) renderer_->Repaint();
        return;
    }
    const std::int32_t index = doc->activeMask;
    if (index < 0 || static_cast<std::size_t>(index) >= doc->maskVolumes.size()) return;
    mesh::MaskVolume volume = doc->maskVolumes[static_cast<std::size_t>(index)];
    volume.center = placement.center;
    volume.rotationDegrees = placement.rotationDegrees;
    volume.size = placement.size;
    doc->UpdateMaskVolume(index, volume);
}

const gl::Placement* CRidgeforgeView::HandlePlacement() const {
    const CRidgeforgeDoc* doc = Document();
    if (!PartLoaded()) return nullptr;
    if (!IsMaskTool(tool)) return &doc->projection.cage;
    const std::int32_t index = doc->activeMask;
    if (index < 0 || static_cast<std::size_t>(index) >= doc->maskVolumes.size()) return nullptr;
    handlePlacement_ = doc->maskVolumes[static_cast<std::size_t>(index)].Placement();
    return &handlePlacement_;
}

bool CRidgeforgeView::SelectedMaskIsCylinder() const {
    const CRidgeforgeDoc* doc = Document();
    if (doc == nullptr || !IsMaskTool(tool)) return false;
    const std::int32_t index = doc->activeMask;
    return index >= 0 && static_cast<std::size_t>(index) < doc->maskVolumes.size() &&
           doc->maskVolumes[static_cast<std::size_t>(index)].shape == mesh::MaskShape::Cylinder;
}

gl::TextureHandleFrame CRidgeforgeView::TextureHandleFrame() const {
    gl::TextureHandleFrame frame;
    if (!PartLoaded()) return frame;
    const mesh::Projection& p = Document()->projection;
    std::int32_t side = p.activeLayer;
    if (side < 0) {
        mesh::Vec3f d{0.0f, 0.0f, 0.0f};
        if (renderer_ != nullptr) {
            const mesh::Vec3f toEye = renderer_->EyePosition() - p.cage.center;
            const float length = std::sqrt(Dot(toEye, toEye));
            if (length > 1e-12f) d = toEye * (1.0f / length);
        }
        float best = -2.0f;
        for (int s : UsableSides(p)) {
            const float score = Dot(mesh::CageSideFrame(p, s, p.cage.center + d), d);
            if (score > best) {
                best = score;
                side = s;
            }
        }
    }
    const mesh::SideExtentResult extent = mesh::SideExtent(p, side, true);
    if (!extent.valid) return frame;
    frame.valid = true;
    frame.side = extent.side;
    frame.origin = extent.anchor;
    frame.textureU = extent.uDirection;
    frame.textureV = extent.vDirection;
    frame.normal = extent.normal;
    frame.sideU = extent.axisA;
    frame.sideV = extent.axisB;
    return frame;
}

void CRidgeforgeView::BeginTextureDrag() {
    CRidgeforgeDoc* doc = Document();
    if (doc == nullptr) return;
    doc->dragStartLayers = doc->projection.layer;
    doc->BeginPlacementEdit();
}

void CRidgeforgeView::DragTextureLayer(std::int32_t side, const mesh::ProjectionLayer& layer) {
    CRidgeforgeDoc* doc = Document();
    if (doc == nullptr || side < 0 || side > 5) return;
    doc->DragTextureLayers(static_cast<std::uint32_t>(side),
                           {layer.originMillimetres[0], layer.originMillimetres[1], layer.rotationDegrees, layer.zoom});
}

void CRidgeforgeView::RefreshHandles() {
    if (PartLoaded() && tool != ViewTool::None) UpdateGizmos();
}

bool CRidgeforgeView::PickPart(const mesh::Ray& ray, mesh::Vec3f& point) {
    if (!PartLoaded()) return false;
    const CRidgeforgeDoc* doc = Document();
    const mesh::TriangleMesh& shown = doc->ShownMesh();
    // Hover picks come with every mouse move; a tree over the shown mesh
    // answers them in logarithmic time, and the nearest hit's point is the
    // same as the plain search's.
    const PickTreeKey key{&shown,          shown.TriangleCount(), doc->meshSerial, doc->resultSerial,
                          shown.boundsMin, shown.boundsMax};
    if (!pickTree_ || !(key == pickTreeKey_)) {
        pickTree_ = std::make_shared<mesh::AabbTree>();
        pickTree_->Build(shown);
        pickTreeKey_ = key;
    }
    const mesh::RayHit hit =
        pickTree_->nodes.empty() ? gl::PickMeshTriangle(ray, shown) : pickTree_->Raycast(ray, shown);
    if (!hit.hit) return false;
    point = hit.point;
    return true;
}

void CRidgeforgeView::BeginHandleDrag() {
    if (CRidgeforgeDoc* doc = Document()) doc->BeginPlacementEdit();
}

std::int32_t CRidgeforgeView::PickFace(const mesh::Ray& ray) {
    const CRidgeforgeDoc* doc = Document();
    if (!PartLoaded() || doc->components.empty()) return -1;
    const mesh::TriangleMesh& part = doc->workingPart;
    std::int32_t best = -1;
    float nearest = 0.0f;
    for (std::size_t c = 0; c < doc->components.size(); ++c) {
        for (std::uint32_t t : doc->components[c].triangles) {
            const std::size_t i = 3 * static_cast<std::size_t>(t);
            if (i + 2 >= part.indices.size()) continue;
            const mesh::RayHit hit = mesh::IntersectRayTriangle(ray, part.vertices[part.indices[i]].position,
                                                                part.vertices[part.indices[i + 1]].position,
                                                                part.vertices[part.indices[i + 2]].position);
            if (hit.hit && (best < 0 || hit.distance < nearest)) {
                best = static_cast<std::int32_t>(c);
                nearest = hit.distance;
            }
        }
    }
    return best;
}

void CRidgeforgeView::SetHoverFace(std::int32_t face) {
    if (face == hoverRestingFace) return;
    hoverRestingFace = face;
    UpdateRestingFaceHighlight();
}

void CRidgeforgeView::ApplyFace(std::int32_t face) {
    CRidgeforgeDoc* doc = Document();
    if (doc == nullptr) return;
    hoverRestingFace = -1;
    doc->LayOnFace(face);
    UpdateRestingFaceHighlight();
}

void CRidgeforgeView::ToggleLayOnFace() {
    CRidgeforgeDoc* doc = Document();
    if (!layOnFaceActive && PartLoaded()) {
        layOnFaceActive = true;
        hoverRestingFace = -1;
        doc->BuildComponents();
        UpdateRestingFaceHighlight();
        return;
    }
    layOnFaceActive = false;
    hoverRestingFace = -1;
    if (renderer_ == nullptr) return;
    renderer_->SetRestingFaceHighlight({}, {});
    renderer_->SetHoverFace(-1);
    renderer_->Repaint();
}

void CRidgeforgeView::UpdateRestingFaceHighlight() {
    if (renderer_ == nullptr) return;
    if (!layOnFaceActive || !PartLoaded()) {
        renderer_->SetRestingFaceHighlight({}, {});
        renderer_->SetHoverFace(-1);
        renderer_->Repaint();
        return;
    }
    const CRidgeforgeDoc* doc = Document();
    const mesh::TriangleMesh& part = doc->workingPart;
    float lift = 0.0f;
    if (part.boundsValid) {
        const mesh::Vec3f extent = part.boundsMax - part.boundsMin;
        lift = 0.002f * std::max({extent.x, extent.y, extent.z});
    }
    std::vector<mesh::Vec3f> points;
    std::vector<mesh::Vec3f> colours;
    for (std::size_t c = 0; c < doc->components.size(); ++c) {
        const mesh::Surface& face = doc->components[c];
        const mesh::Vec3f colour =
            static_cast<std::int32_t>(c) == hoverRestingFace ? kHoveredRestingFaceColour : kRestingFaceColour;
        for (std::uint32_t t : face.triangles) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::size_t i = 3 * static_cast<std::size_t>(t) + k;
                if (i >= part.indices.size() || part.indices[i] >= part.vertices.size()) continue;
                points.push_back(part.vertices[part.indices[i]].position + face.normal * lift);
                colours.push_back(colour);
            }
        }
    }
    renderer_->SetRestingFaceHighlight(points, colours);
    renderer_->Repaint();
}

void CRidgeforgeView::UpdateOverlays() {
    if (renderer_ == nullptr) return;
    if (!PartLoaded()) {
        renderer_->ClearCageOverlay();
        return;
    }
    const CRidgeforgeDoc* doc = Document();
    const mesh::Projection& p = doc->projection;
    const mesh::ProjectorOverlay shape = mesh::BuildProjectorOverlay(p);
    gl::CageOverlay overlay;
    overlay.trianglePoints = shape.triangles;
    overlay.triangleColours.reserve(shape.triangles.size());
    for (std::size_t t = 0; 3 * t + 2 < shape.triangles.size(); ++t) {
        const std::int32_t side = t < shape.triangleSides.size() ? shape.triangleSides[t] : -1;
        mesh::Vec3f colour = SideIsOn(p, side) ? ProjectorSideColour(side) : mesh::Vec3f{0.38f, 0.4f, 0.43f};
        if (side >= 0 && (side == hoverCageSide || side == p.activeLayer)) colour = Lighten(colour);
        overlay.triangleColours.insert(overlay.triangleColours.end(), 3, colour);
    }
    overlay.cageLines = shape.lines;
    overlay.accentLines = shape.accentLines;
    renderer_->SetCageOverlay(overlay);
    UpdateGizmos();
}

void CRidgeforgeView::UpdateGizmos() {
    UpdateMaskOverlay();
    if (renderer_ == nullptr) return;
    gl::ColouredGeometry geometry;
    if (PartLoaded() && tool != ViewTool::None) {
        if (tool >= ViewTool::MoveTexture && tool <= ViewTool::ZoomTexture) {
            const gl::TextureHandleFrame frame = TextureHandleFrame();
            const float size = frame.valid ? std::max(0.001f, renderer_->PixelsToWorldAt(frame.origin, 110.0f)) : 0.0f;
            geometry = gl::BuildTextureGizmo(frame, tool, hoverHandle, size);
        } else if (tool == ViewTool::ScaleMask) {
            if (const gl::Placement* placement = HandlePlacement()) {
                geometry = gl::BuildScaleGizmo(*placement, SelectedMaskIsCylinder(), hoverHandle,
                                               renderer_->PickWorldRadius());
            }
        } else if (const gl::Placement* placement = HandlePlacement()) {
            geometry = gl::BuildPlacementGizmo(*placement, tool, hoverHandle, renderer_->GizmoWorldSize());
        }
    }
    renderer_->SetGizmoOverlay(geometry);
    renderer_->Repaint();
}

void CRidgeforgeView::UpdateMaskOverlay() {
    if (renderer_ == nullptr) return;
    const CRidgeforgeDoc* doc = Document();
    gl::ColouredGeometry overlay;
    if (PartLoaded() && IsMaskTool(tool) && !doc->maskVolumes.empty()) {
        for (std::size_t i = 0; i < doc->maskVolumes.size(); ++i) {
            gl::BuildMaskOverlay(doc->maskVolumes[i], static_cast<std::int32_t>(i) == doc->activeMask, overlay);
        }
    }
    renderer_->SetMaskOverlay(overlay);
    renderer_->Repaint();
}

}  // namespace ridgeforge
