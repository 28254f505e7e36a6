// Placement edits (texture drags, mask volumes, the surface of every side)
// and the placement history behind Undo and Redo. A drag is one entry: the
// state before it goes on the undo stack when it begins, its moves only
// refresh the current snapshot, and a drag that changed nothing leaves no
// entry.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "document/RidgeforgeDoc.h"
#include "document/SettingRanges.h"
#include "document/internal/DocumentInternals.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {

namespace {

// The number after a name's prefix as atoi reads it, saturated instead of
// overflowing.
std::int64_t LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

bool SameTransform(const mesh::Transform& a, const mesh::Transform& b) {
    return a.rowX == b.rowX && a.rowY == b.rowY && a.rowZ == b.rowZ && a.translation == b.translation;
}

}  // namespace

void CRidgeforgeDoc::DragTextureLayers(std::uint32_t layer, const std::array<float, 4>& values) {
    if (!HasPart() || layer > 5) return;
    const mesh::ProjectionLayer& start = dragStartLayers[layer];
    const float dx = values[0] - start.originMillimetres[0];
    const float dy = values[1] - start.originMillimetres[1];
    const float turn = values[2] - start.rotationDegrees;
    float ratio = start.zoom > 0.0f ? values[3] / start.zoom : 1.0f;
    if (!std::isfinite(ratio)) ratio = 1.0f;
    std::vector<int> moved;
    if (projection.activeLayer < 0) {
        moved = document_internal::LayersInUse(projection);
    } else if (projection.activeLayer < mesh::kSideCount) {
        moved.push_back(projection.activeLayer);
    }
    for (int i : moved) {
        const mesh::ProjectionLayer& from = dragStartLayers[static_cast<std::size_t>(i)];
        mesh::ProjectionLayer& to = projection.layer[static_cast<std::size_t>(i)];
        to.originMillimetres[0] = from.originMillimetres[0] + dx;
        to.originMillimetres[1] = from.originMillimetres[1] + dy;
        to.rotationDegrees = from.rotationDegrees + turn;
        to.zoom = std::clamp(from.zoom * ratio, kSmallestZoom, kLargestZoom);
    }
    OnSettingsChanged();
}

std::int32_t CRidgeforgeDoc::AddMaskVolume(std::uint32_t shape) {
    if (!HasPart()) return -1;
    const auto maskShape = static_cast<mesh::MaskShape>(shape);
    const std::string prefix = std::string(mesh::MaskShapeName(maskShape)) + " ";
    std::int64_t number = 1;
    for (const mesh::MaskVolume& volume : maskVolumes) {
        if (volume.shape != maskShape || volume.name.rfind(prefix, 0) != 0) continue;
        number = std::max(number, LeadingNumber(std::string_view(volume.name).substr(prefix.size())) + 1);
    }
    DropUnchangedSnapshot();
    maskVolumes.push_back(mesh::MaskVolume::Create(maskShape, &workingPart, number));
    activeMask = static_cast<std::int32_t>(maskVolumes.size()) - 1;
    OnSettingsChanged();
    return activeMask;
}

void CRidgeforgeDoc::UpdateMaskVolume(std::int32_t index, const mesh::MaskVolume& volume) {
    if (index < 0 || static_cast<std::size_t>(index) >= maskVolumes.size()) return;
    mesh::MaskVolume& stored = maskVolumes[static_cast<std::size_t>(index)];
    if (stored == volume) return;
    stored = volume;
    OnSettingsChanged();
}

void CRidgeforgeDoc::DeleteMaskVolume(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= maskVolumes.size()) return;
    DropUnchangedSnapshot();
    maskVolumes.erase(maskVolumes.begin() + index);
    activeMask = std::min(activeMask, static_cast<std::int32_t>(maskVolumes.size()) - 1);
    OnSettingsChanged();
}

std::int32_t CRidgeforgeDoc::DuplicateMaskVolume(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= maskVolumes.size()) return -1;
    DropUnchangedSnapshot();
    mesh::MaskVolume copy = maskVolumes[static_cast<std::size_t>(index)];
    copy.center.x += 1.1f * copy.size.x;
    copy.name += " copy";
    maskVolumes.push_back(std::move(copy));
    activeMask = static_cast<std::int32_t>(maskVolumes.size()) - 1;
    OnSettingsChanged();
    return activeMask;
}

void CRidgeforgeDoc::SetSurfaceForAllSides(std::uint32_t surface) {
    const auto selection = static_cast<mesh::SurfaceSelection>(surface);
    const bool already = std::all_of(projection.box.sideSurface.begin(), projection.box.sideSurface.end(),
                                     [selection](mesh::SurfaceSelection s) { return s == selection; }) &&
                         projection.cylinder.surface == selection;
    if (already) return;
    projection.box.sideSurface.fill(selection);
    projection.cylinder.surface = selection;
    OnSettingsChanged();
}

void CRidgeforgeDoc::CaptureSnapshot(PlacementSnapshot& out) const {
    out = PlacementSnapshot{};
    out.orientation = orientation;
    out.projection = projection;
    out.projection.activeLayer = -1;
    out.maskVolumes = maskVolumes;
    out.remesh = remeshSettings;
    out.displacement = displacementSettings;
    out.simplify = simplifySettings;
    out.remeshEnabled = remeshEnabled;
    out.displacementEnabled = displacementEnabled;
    out.simplifyEnabled = simplifyEnabled;
    out.maximumTriangles = maximumTriangles;
    out.displayTriangles = displayTriangles;
    out.textureRevision = textureRevision;
    out.textureSettings = texture.settings;
    out.textureImagePath = textureImagePath;
    if (texture.width >= 1 && texture.height >= 1 && !texture.pixels.empty()) {
        if (currentSnapshot.texture != nullptr && currentSnapshot.textureRevision == textureRevision) {
            out.texture = currentSnapshot.texture;
        } else {
            out.texture = std::make_shared<const mesh::HeightMap>(texture);
        }
    }
    if (proceduralTexture != nullptr) {
        out.proceduralName = proceduralTexture->Name();
        out.proceduralParameters = proceduralTexture->FormatValues();
        out.proceduralPresetName = proceduralPresetName;
    }
}

void CRidgeforgeDoc::RestoreSnapshot(const PlacementSnapshot& snapshot) {
    restoring = true;
    snapshotPending = false;
    const bool orientationDiffers = !SameTransform(orientation, snapshot.orientation);
    const std::string currentName = proceduralTexture != nullptr ? proceduralTexture->Name() : std::string();
    const std::string currentValues = proceduralTexture != nullptr ? proceduralTexture->FormatValues() : std::string();
    const bool textureDiffers =
        textureRevision != snapshot.textureRevision || !(texture.settings == snapshot.textureSettings) ||
        currentName != snapshot.proceduralName || currentValues != snapshot.proceduralParameters ||
        textureImagePath != snapshot.textureImagePath;

    remeshSettings = snapshot.remesh;
    displacementSettings = snapshot.displacement;
    simplifySettings = snapshot.simplify;
    remeshEnabled = snapshot.remeshEnabled;
    displacementEnabled = snapshot.displacementEnabled;
    simplifyEnabled = snapshot.simplifyEnabled;
    maximumTriangles = snapshot.maximumTriangles;
    displayTriangles = snapshot.displayTriangles;
    proceduralTexture.reset();
    if (!snapshot.proceduralName.empty()) {
        proceduralTexture = mesh::procedural::CreateTexture(snapshot.proceduralName);
        if (proceduralTexture != nullptr) proceduralTexture->ParseValues(snapshot.proceduralParameters);
    }
    proceduralPresetName = snapshot.proceduralPresetName;
    textureImagePath = snapshot.textureImagePath;

    if (snapshot.texture != nullptr) {
        texture = *snapshot.texture;
    } else {
        texture.width = texture.height = texture.sourceWidth = texture.sourceHeight = 0;
        texture.sourcePixels.clear();
        texture.seamlessPixels.clear();
        texture.pixels.clear();
        texture.neutralHeight.reset();
    }
    texture.SetSettings(snapshot.textureSettings);
    textureRevision = snapshot.textureRevision;
    ++shownTextureRevision;

    orientation = snapshot.orientation;
    if (orientationDiffers) {
        ReplaceInputMesh();
        // The rebuild sets the base plane for the new orientation; the
        // snapshot already holds what the user had.
        displacementSettings = snapshot.displacement;
    }
    projection = snapshot.projection;
    maskVolumes = snapshot.maskVolumes;
    activeMask = std::min(activeMask, static_cast<std::int32_t>(maskVolumes.size()) - 1);

    if (textureDiffers) SyncTextureToPipeline();
    OnSettingsChanged();
    // A placement refresh keeps the texture the views already hold; the one
    // brought back must reach them, or the part is drawn with none.
    if (textureDiffers && HasPart()) UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    restoring = false;
    currentSnapshot = snapshot;
    SetModifiedFlag(true);
}

void CRidgeforgeDoc::PushUndoSnapshot() {
    // Inside an edit the edit's end records the one step.
    if (restoring || editDepth_ > 0 || !HasPart()) return;
    PlacementSnapshot snapshot;
    CaptureSnapshot(snapshot);
    if (SnapshotUnchanged(snapshot, currentSnapshot)) return;
    if (snapshotPending && SnapshotsDifferOnlyInCageOrLayers(snapshot, currentSnapshot)) {
        currentSnapshot = std::move(snapshot);
        return;
    }
    snapshotPending = false;
    undoStack.push_back(std::move(currentSnapshot));
    redoStack.clear();
    currentSnapshot = std::move(snapshot);
    SetModifiedFlag(true);
}

void CRidgeforgeDoc::BeginPlacementEdit() {
    if (restoring || !HasPart()) return;
    PushUndoSnapshot();
    DropUnchangedSnapshot();
    undoStack.push_back(currentSnapshot);
    redoStack.clear();
    snapshotPending = true;
    SetModifiedFlag(true);
}

void CRidgeforgeDoc::DropUnchangedSnapshot() {
    if (!snapshotPending) return;
    snapshotPending = false;
    if (!undoStack.empty() && SnapshotUnchanged(undoStack.back(), currentSnapshot)) undoStack.pop_back();
}

void CRidgeforgeDoc::StartPlacementHistory() {
    undoStack.clear();
    redoStack.clear();
    snapshotPending = false;
    if (HasPart()) {
        CaptureSnapshot(currentSnapshot);
    } else {
        currentSnapshot = PlacementSnapshot{};
    }
}

void CRidgeforgeDoc::OnEditUndo() {
    DropUnchangedSnapshot();
    if (undoStack.empty()) return;
    PlacementSnapshot target = std::move(undoStack.back());
    undoStack.pop_back();
    redoStack.push_back(currentSnapshot);
    RestoreSnapshot(target);
}

void CRidgeforgeDoc::OnEditRedo() {
    DropUnchangedSnapshot();
    if (redoStack.empty()) return;
    PlacementSnapshot target = std::move(redoStack.back());
    redoStack.pop_back();
    undoStack.push_back(currentSnapshot);
    RestoreSnapshot(target);
}

void CRidgeforgeDoc::OnUpdateEditUndo(CommandState& state) const { state.enabled = !undoStack.empty(); }

void CRidgeforgeDoc::OnUpdateEditRedo(CommandState& state) const { state.enabled = !redoStack.empty(); }

const mesh::ValidationReport& CRidgeforgeDoc::ShownValidationReport() const {
    if (resultValidationMesh == nullptr || !HasPart() || resultValidationSerial != resultSerial) {
        return partValidation;
    }
    return resultValidationMesh == &ShownMesh() ? resultValidation : partValidation;
}

}  // namespace ridgeforge
