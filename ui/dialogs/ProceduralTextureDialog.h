// "Procedural Texture": the parameters of one procedural texture in up to
// twelve rows (each row shows the control its parameter's kind needs), a
// tiled preview, and the texture's presets with thumbnails to load, save and
// delete. The dialog edits the caller's texture in place: OK keeps the
// values, and after Cancel the caller throws the texture away.
#pragma once

#include <wx/colour.h>
#include <wx/dialog.h>

#include <functional>
#include <optional>
#include <vector>

#include "ui/dialogs/ProceduralDialogRules.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/LibraryItems.h"

class wxDC;

namespace ridgeforge {

class CMarkdownTextCtrl;
class CPreviewPicture;
class CPresetComboBox;

class CProceduralTextureDialog : public wxDialog {
public:
    enum ControlId : int {
        kTitleLine = 1100,
        kPreview,
        kTileChoice,
        kNote,
        kPresetList,
        kSavePreset,
        kDeletePreset,
        kFirstLabel = 1140,
        kFirstField = 1152,
        kFirstCombo = 1164,
        kFirstCheck = 1176,
        kFirstSlider = 1188,
    };
    static constexpr int kRows = 12;
    // The height of the preset list's items and field, 96-DPI pixels.
    static constexpr int kPresetItemHeight = 44;

    CProceduralTextureDialog(wxWindow* parent, mesh::procedural::ProceduralTexture& texture, int tileCount,
                             std::vector<LibraryRoot> roots);
    ~CProceduralTextureDialog() override;

    int ShowModal() override;
    // Fills the dialog as ShowModal does first; tests call it to look at the
    // dialog shown modeless.
    void Open();

    // Asks a Yes or No question (title, text); Yes answers true. The message
    // box by default; tests answer it themselves.
    std::function<bool(const wxString& title, const wxString& text)> askYesNo;
    // Asks the preset's name, pre-filled; nothing when cancelled. The
    // "Save Preset" dialog by default.
    std::function<std::optional<wxString>(const wxString& initial)> askPresetName;

    int TileCount() const { return tileCount_; }
    const CPreviewPicture& Preview() const { return *preview_; }
    const std::vector<PresetItem>& PresetItems() const { return presets_; }
    std::size_t FirstUserOnly() const { return firstUserOnly_; }
    wxString Note() const;
    CMarkdownTextCtrl* HelpPane() const { return helpPane_; }

    // Rebuilds the preset list and selects the name (ignoring case), else
    // "Select Preset".
    void FillPresetList(const std::string& name);
    // The item behind the list's selection; null for "Select Preset".
    const PresetItem* SelectedPreset() const;

    // Draws item `item` of the preset list (0 is "Select Preset") with the
    // list's wxODCB_* flags: background, separator, thumbnail and name.
    void DrawPresetItem(wxDC& dc, const wxRect& rect, int item, int flags) const;
    // The background of a preset that exists only as the factory's.
    inline static const wxColour kFactoryPresetColour{255, 247, 228};

    // The handlers, callable as the controls call them.
    void UpdateControls();
    void ReadControls();
    void UpdatePreview();
    void OnSliderMoved(int row);
    void OnTileChoice();
    void OnPresetChosen();
    void OnSavePreset();
    void OnDeletePreset();

private:
    void CreateControls();
    void BuildRows();
    void FitLabelColumn();
    void EnableDelete();
    void SetNote(const wxString& text);
    int RowCount() const;
    void OnOk(wxCommandEvent& event);

    mesh::procedural::ProceduralTexture& texture_;
    int tileCount_;
    std::vector<LibraryRoot> roots_;
    std::vector<PresetItem> presets_;
    std::size_t firstUserOnly_ = 0;
    CPreviewPicture* preview_ = nullptr;
    CPresetComboBox* presetList_ = nullptr;
    CMarkdownTextCtrl* helpPane_ = nullptr;
    bool opened_ = false;
    bool closing_ = false;
};

}  // namespace ridgeforge
