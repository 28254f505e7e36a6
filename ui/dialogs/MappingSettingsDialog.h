// "Mapping Settings": the four mapping values that do not fit the Mapping
// section: whether a box or sphere mapping blends its sides at the corners
// and how sharply, the test grid that tells outer from inner surfaces, and
// whether cylinder and sphere mappings fit whole tiles around. The caller
// sets the values, runs it and reads them back after OK.
#pragma once

#include <wx/dialog.h>

#include <cstdint>

namespace ridgeforge {

class CMarkdownTextCtrl;

class CMappingSettingsDialog : public wxDialog {
public:
    enum ControlId : int {
        kBlendBox = 1401,
        kSharpnessField = 1402,
        kNote = 1403,
        kGridList = 1404,
        kWholeTilesBox = 1405,
    };

    explicit CMappingSettingsDialog(wxWindow* parent);

    // In and out.
    bool blendingApplies = true;
    bool blendSides = false;
    float sharpness = 4.0f;
    std::int32_t testGridCells = 256;
    bool wholeTiles = true;

    int ShowModal() override;
    // Fills the controls as ShowModal does first; tests show it modeless.
    void Open();
    // The enabled states and the note after the blend box changed.
    void UpdateEnables();
    // OK: takes the controls and ends the dialog.
    void TakeControls();
    wxString NoteText() const;

private:
    void OnOk(wxCommandEvent& event);

    CMarkdownTextCtrl* helpPane_ = nullptr;
    bool opened_ = false;
};

}  // namespace ridgeforge
