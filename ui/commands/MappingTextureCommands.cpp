#include "ui/commands/MappingTextureCommands.h"

#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/LevelsControl.h"
#include "ui/dialogs/MappingSettingsDialog.h"
#include "ui/commands/SettingsCommands.h"
#include "ui/dialogs/SettingsDialogRules.h"
#include "ui/dialogs/TextureSettingsDialog.h"
#include "document/RidgeforgeDoc.h"

namespace ridgeforge {
namespace {

using mesh::ProjectionType;

bool HasPixels(const mesh::HeightMap& map) { return map.width >= 1 && map.height >= 1 && !map.pixels.empty(); }

}  // namespace

MappingSettingsValues MappingSettingsOf(const CRidgeforgeDoc& document) {
    const mesh::Projection& p = document.projection;
    MappingSettingsValues values;
    values.blendingApplies = p.type == ProjectionType::Box || p.type == ProjectionType::Sphere;
    values.blendSides = p.box.blended;
    values.sharpness = p.box.blendSharpness;
    values.testGridCells = document.occupancyCells;
    values.wholeTiles = p.type == ProjectionType::Sphere ? p.sphere.wholeTiles : p.cylinder.wholeTiles;
    return values;
}

void ApplyMappingSettings(CRidgeforgeDoc& document, const MappingSettingsValues& chosen) {
    const MappingSettingsValues now = MappingSettingsOf(document);
    if (chosen.blendSides == now.blendSides && chosen.sharpness == now.sharpness &&
        chosen.wholeTiles == now.wholeTiles && chosen.testGridCells == now.testGridCells)
        return;
    // One OK is one undo step, whatever of it changed.
    document.Edit([&](DocumentEdit& edit) {
        mesh::Projection& p = edit.projection;
        p.box.blended = chosen.blendSides;
        p.box.blendSharpness = chosen.sharpness;
        if (chosen.wholeTiles != now.wholeTiles) {
            if (p.type != ProjectionType::Sphere) p.cylinder.wholeTiles = chosen.wholeTiles;
            if (p.type != ProjectionType::Cylinder) p.sphere.wholeTiles = chosen.wholeTiles;
        }
        document.SetOccupancyCells(chosen.testGridCells);
    });
}

void FillTextureSettingsDialog(CTextureSettingsDialog& dialog, const CRidgeforgeDoc& document) {
    const mesh::HeightMap& map = document.texture;
    dialog.settings = map.settings;
    dialog.sourceName = FromUtf8(map.name);
    dialog.imageAspect =
        map.width > 0 && map.height > 0 ? static_cast<float>(map.width) / static_cast<float>(map.height) : 0.0f;
    dialog.procedural = document.proceduralTexture != nullptr;
    dialog.seamlessAvailable = HasPixels(map) && document.proceduralTexture == nullptr;
    if (HasPixels(map)) {
        dialog.histogram = TextureHistogram(map.pixels);
        dialog.autoBlack = mesh::Percentile(map.pixels, 0.01f);
        dialog.autoWhite = mesh::Percentile(map.pixels, 0.99f);
    }
}

bool RunMappingSettings(CRidgeforgeDoc& document, wxWindow* parent) {
    CMappingSettingsDialog dialog(parent);
    const MappingSettingsValues start = MappingSettingsOf(document);
    dialog.blendingApplies = start.blendingApplies;
    dialog.blendSides = start.blendSides;
    dialog.sharpness = start.sharpness;
    dialog.testGridCells = start.testGridCells;
    dialog.wholeTiles = start.wholeTiles;
    if (dialog.ShowModal() != wxID_OK) return false;
    ApplyMappingSettings(document, {dialog.blendingApplies, dialog.blendSides, dialog.sharpness, dialog.testGridCells,
                                    dialog.wholeTiles});
    return true;
}

bool RunTextureSettings(CRidgeforgeDoc& document, wxWindow* parent) {
    CTextureSettingsDialog dialog(parent);
    FillTextureSettingsDialog(dialog, document);
    if (dialog.ShowModal() != wxID_OK) return false;
    document.Edit([&](DocumentEdit&) { document.ApplyTextureSettings(dialog.settings); });
    if (dialog.seamlessAsked) RunSeamlessCommand(document, parent);
    return true;
}

}  // namespace ridgeforge
