#include "ui/commands/SettingsCommands.h"

#include "ui/dialogs/RemeshSettingsDialog.h"
#include "ui/dialogs/RemeshSettingsRules.h"
#include "ui/dialogs/SeamlessDialog.h"
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
    const CRidgeforgeDoc& shown = doc;
    dialog.part = shown.HasPart() ? &shown.workingPart : nullptr;
    dialog.heightMap = HasHeightMapData(&shown.texture) ? &shown.texture : nullptr;
    if (dialog.ShowModal() != wxID_OK) return false;

    const bool displayChanged = dialog.displayLimit != doc.displayTriangles;
    const bool changed = !(dialog.remesh == doc.remeshSettings) || dialog.triangleLimit != doc.maximumTriangles ||
                         displayChanged || !(dialog.displacement == doc.displacementSettings) ||
                         !(dialog.simplify == doc.simplifySettings);
    if (!changed) return true;
    // Everything the OK changed is one settings change and so one Undo step:
    // a step per record would bring back mixes the user never chose.
    doc.Edit([&](DocumentEdit& edit) {
        edit.remeshSettings = dialog.remesh;
        edit.maximumTriangles = dialog.triangleLimit;
        edit.displayTriangles = dialog.displayLimit;
        edit.displacementSettings = dialog.displacement;
        edit.simplifySettings = dialog.simplify;
        // A new display limit may need another copy of the mesh on screen.
        if (displayChanged) doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    });
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
    doc.Edit([&](DocumentEdit&) { doc.ApplyTextureSettings(settings); });
    return true;
}

}  // namespace ridgeforge
