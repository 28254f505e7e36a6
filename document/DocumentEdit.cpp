// The document's one edit operation. A change from the windows may touch
// several records and call texture or mask operations that each end in the
// settings-changed tail; inside an edit those tails, the undo snapshots and
// the view updates wait, and the edit's end runs the tail once: one undo
// step, one derivation of the pipeline's settings, one refresh per hint.
#include <algorithm>

#include "document/RidgeforgeDoc.h"

namespace ridgeforge {

namespace {

// Leaves the edit even when the change throws, so the document does not
// stay in an edit for good.
class EditDepth {
public:
    explicit EditDepth(int& depth) : depth_(depth) { ++depth_; }
    ~EditDepth() { --depth_; }
    EditDepth(const EditDepth&) = delete;
    EditDepth& operator=(const EditDepth&) = delete;

private:
    int& depth_;
};

}  // namespace

void CRidgeforgeDoc::Edit(const std::function<void(DocumentEdit&)>& change) {
    const bool outermost = editDepth_ == 0;
    if (outermost) HoldViewUpdates();
    {
        EditDepth depth(editDepth_);
        DocumentEdit edit{projection,         maskVolumes,          activeMask,      remeshSettings,
                          displacementSettings, simplifySettings,   remeshEnabled,   displacementEnabled,
                          simplifyEnabled,    maximumTriangles,     displayTriangles, printCheckShown,
                          placementToolActive};
        if (change) change(edit);
    }
    if (!outermost) return;
    SettingsChangedTail();
    ReleaseViewUpdates();
}

void CRidgeforgeDoc::OnSettingsChanged() {
    if (editDepth_ > 0) return;
    Edit({});
}

void CRidgeforgeDoc::SelectLayer(std::int32_t layer) {
    const std::int32_t chosen = layer < 0 || layer >= mesh::kSideCount ? -1 : layer;
    if (chosen == projection.activeLayer) return;
    projection.activeLayer = chosen;
    UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
}

void CRidgeforgeDoc::SelectMask(std::int32_t index) {
    const std::int32_t last = static_cast<std::int32_t>(maskVolumes.size()) - 1;
    const std::int32_t chosen = std::clamp(index, std::int32_t{-1}, last);
    if (chosen == activeMask) return;
    activeMask = chosen;
    UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
}

void CRidgeforgeDoc::BeginLayerDrag() {
    dragStartLayers = projection.layer;
    BeginPlacementEdit();
}

void CRidgeforgeDoc::StopProcessing() { pipeline.RequestStop(); }

}  // namespace ridgeforge
