// "Save Preset": asks the name a preset is saved under. OK with a name that
// is empty once trimmed puts the focus back into the field and stays open.
#pragma once

#include <wx/dialog.h>

namespace ridgeforge {

class CPresetNameDialog : public wxDialog {
public:
    enum ControlId : int { kNameField = 1360 };

    explicit CPresetNameDialog(wxWindow* parent);

    // Set before ShowModal (the field shows it, all selected); after OK the
    // trimmed name.
    wxString name;

    int ShowModal() override;
    void Open();

private:
    void OnOk(wxCommandEvent& event);
};

}  // namespace ridgeforge
