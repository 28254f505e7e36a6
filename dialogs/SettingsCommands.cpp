#include "dialogs/SettingsCommands.h"

#include "dialogs/RemeshSettingsDialog.h"
#include "dialogs/RemeshSettingsRules.h"
#include "dialogs/SeamlessDialog.h"
#include "document/RidgeforgeDoc.h"

namespace ridgeforge {

bool RunReliefSettingsCommand(CRidgeforgeDoc& doc, wxWindow* parent, int page) {
    CRemeshSettingsDialog dialog(parent);
    dialog.page = page == 2 ? 2 : 1;
    dialog.remesh = doc.remeshSettings;
    dialog.triangleLimit = doc.maximumTriangles;
    dialog.displayLimit = doc.displayTriangles;
    dialog.displacement = doc.displacementSettings;
    dialog.simplify = doc.simplifySettings;
    dialog.part = doc.HasPart() ? &doc.workingPart : nullptr;
    dialog.heightMap = HasHeightMapData(&doc.texture) ? &doc.texture : nullptr;
    if (dialog.ShowModal() != wxID_OK) return false;

    if (!(dialog.remesh == doc.remeshSettings)) {
        doc.remeshSettings = dialog.remesh;
        doc.OnSettingsChanged();
    }
    if (dialog.triangleLimit != doc.maximumTriangles) {
        doc.maximumTriangles = dialog.triangleLimit;
        doc.PushUndoSnapshot();
        doc.UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
    }
    if (dialog.displayLimit != doc.displayTriangles) {
        doc.displayTriangles = dialog.displayLimit;
        doc.PushUndoSnapshot();
        doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    }
    if (!(dialog.displacement == doc.displacementSettings)) {
        doc.displacementSettings = dialog.displacement;
        doc.OnSettingsChanged();
    }
    if (!(dialog.simplify == doc.simplifySettings)) {
        doc.simplifySettings = dialog.simplify;
        doc.OnSettingsChanged();
    }
    return true;
}

bool CanRunSeamlessCommand(const CRidgeforgeDoc& doc) {
    return doc.proceduralTexture == nullptr && !doc.texture.sourcePixels.empty() && doc.texture.sourceWidth >= 1 &&
           doc.texture.sourceHeight >= 1;
}

bool RunSeamlessCommand(CRidgeforgeDoc& doc, wxWindow* parent) {
    if (!CanRunSeamlessCommand(doc)) return false;
    CSeamlessDialog dialog(doc.texture.sourcePixels, doc.texture.sourceWidth, doc.texture.sourceHeight, parent);
    dialog.methodName = doc.texture.settings.seamlessMethod;
    dialog.parameterText = doc.texture.settings.seamlessParameters;
    if (dialog.ShowModal() != wxID_OK) return false;
    mesh::TextureSettings settings = doc.texture.settings;
    settings.seamlessMethod = dialog.methodName;
    settings.seamlessParameters = dialog.parameterText;
    doc.ApplyTextureSettings(settings);
    return true;
}

}  // namespace ridgeforge
