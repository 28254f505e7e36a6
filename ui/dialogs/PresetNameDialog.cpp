#include "ui/dialogs/PresetNameDialog.h"

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/dialogs/DialogUnits.h"

namespace ridgeforge {

CPresetNameDialog::CPresetNameDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Save Preset") {
    wxRect rect = DialogRect(*this, 8, 10, 60, 10);
    new wxStaticText(this, wxID_ANY, "Preset name", rect.GetPosition(), rect.GetSize());
    rect = DialogRect(*this, 70, 8, 140, 13);
    new wxTextCtrl(this, kNameField, wxString(), rect.GetPosition(), rect.GetSize());
    rect = DialogRect(*this, 106, 30, 50, 14);
    auto* ok = new wxButton(this, wxID_OK, "OK", rect.GetPosition(), rect.GetSize());
    ok->SetDefault();
    rect = DialogRect(*this, 160, 30, 50, 14);
    new wxButton(this, wxID_CANCEL, "Cancel", rect.GetPosition(), rect.GetSize());
    SetClientSize(DialogRect(*this, 0, 0, 218, 52).GetSize());
    Bind(wxEVT_BUTTON, &CPresetNameDialog::OnOk, this, wxID_OK);
}

int CPresetNameDialog::ShowModal() {
    Open();
    CentreOnParent();
    return wxDialog::ShowModal();
}

void CPresetNameDialog::Open() {
    auto* field = static_cast<wxTextCtrl*>(FindWindow(kNameField));
    field->ChangeValue(name);
    field->SetFocus();
    // Selecting all also scrolls the text into view.
    field->SelectAll();
}

void CPresetNameDialog::OnOk(wxCommandEvent&) {
    auto* field = static_cast<wxTextCtrl*>(FindWindow(kNameField));
    wxString typed = field->GetValue();
    typed.Trim(true).Trim(false);
    if (typed.empty()) {
        field->SetFocus();
        return;
    }
    name = typed;
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

}  // namespace ridgeforge
