// What the view's Mapping > Settings... and Texture > Settings... commands
// give their dialogs from the document, and what they write back after OK.
#pragma once

#include <cstdint>
#include <vector>

class wxWindow;

namespace ridgeforge {

class CRidgeforgeDoc;
class CMappingSettingsDialog;
class CTextureSettingsDialog;

struct MappingSettingsValues {
    bool blendingApplies = true;
    bool blendSides = false;
    float sharpness = 4.0f;
    std::int32_t testGridCells = 256;
    bool wholeTiles = true;
};

// Blending applies to the box and sphere mappings; the whole-tiles flag is
// the sphere's in a sphere mapping, else the cylinder's.
MappingSettingsValues MappingSettingsOf(const CRidgeforgeDoc& document);
// Writes what changed: blending and sharpness; whole tiles to the cylinder
// in a cylinder mapping, the sphere in a sphere mapping, both otherwise;
// then the test grid; all of it in one edit of the document, so the OK is
// one undo step. Nothing when nothing changed.
void ApplyMappingSettings(CRidgeforgeDoc& document, const MappingSettingsValues& chosen);

// Settings, name, aspect, kind, histogram and auto levels of the texture.
void FillTextureSettingsDialog(CTextureSettingsDialog& dialog, const CRidgeforgeDoc& document);

// The two commands; each returns whether its dialog ended with OK. After
// Texture Settings left through "Seamless..." the seamless dialog follows.
bool RunMappingSettings(CRidgeforgeDoc& document, wxWindow* parent);
bool RunTextureSettings(CRidgeforgeDoc& document, wxWindow* parent);

}  // namespace ridgeforge
