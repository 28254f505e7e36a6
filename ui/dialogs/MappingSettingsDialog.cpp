#include "ui/dialogs/MappingSettingsDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/SettingsDialogRules.h"
#include "ui/framework/DialogFloat.h"

namespace ridgeforge {

CMappingSettingsDialog::CMappingSettingsDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Mapping Settings") {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    auto group = [this](const wxString& label, const wxRect& r) {
        new wxStaticBox(this, wxID_ANY, label, r.GetPosition(), r.GetSize());
    };
    group("Box and sphere mapping", at(7, 7, 230, 70));
    wxRect r = at(14, 20, 200, 10);
    new wxCheckBox(this, kBlendBox, "Blend the sides at the corners", r.GetPosition(), r.GetSize());
    r = at(14, 36, 50, 10);
    new wxStaticText(this, wxID_ANY, "Sharpness", r.GetPosition(), r.GetSize());
    r = at(70, 34, 40, 13);
    new wxTextCtrl(this, kSharpnessField, wxString(), r.GetPosition(), r.GetSize());
    r = at(14, 52, 216, 20);
    new wxStaticText(this, kNote, wxString(), r.GetPosition(), r.GetSize(), wxST_NO_AUTORESIZE);
    group("Outer and inner surfaces", at(7, 82, 230, 30));
    r = at(14, 96, 50, 10);
    new wxStaticText(this, wxID_ANY, "Test grid", r.GetPosition(), r.GetSize());
    r = at(70, 94, 110, 14);
    new wxChoice(this, kGridList, r.GetPosition(), r.GetSize());
    group("Cylinder and sphere mapping", at(7, 117, 230, 28));
    r = at(14, 130, 216, 10);
    new wxCheckBox(this, kWholeTilesBox, "Whole tiles around: fit the texture so it meets itself", r.GetPosition(),
                   r.GetSize());
    r = at(133, 152, 50, 14);
    auto* ok = new wxButton(this, wxID_OK, "OK", r.GetPosition(), r.GetSize());
    ok->SetDefault();
    r = at(187, 152, 50, 14);
    new wxButton(this, wxID_CANCEL, "Cancel", r.GetPosition(), r.GetSize());
    SetClientSize(at(0, 0, 244, 173).GetSize());

    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { UpdateEnables(); }, kBlendBox);
    Bind(wxEVT_BUTTON, &CMappingSettingsDialog::OnOk, this, wxID_OK);
}

int CMappingSettingsDialog::ShowModal() {
    Open();
    return wxDialog::ShowModal();
}

void CMappingSettingsDialog::Open() {
    if (opened_) return;
    opened_ = true;
    static_cast<wxCheckBox*>(FindWindow(kBlendBox))->SetValue(blendSides);
    static_cast<wxCheckBox*>(FindWindow(kWholeTilesBox))->SetValue(wholeTiles);
    ui::SetDlgItemFloat(this, kSharpnessField, sharpness);
    auto* list = static_cast<wxChoice*>(FindWindow(kGridList));
    for (std::int32_t cells : kTestGridCells) list->Append(wxString::Format("%d cells across", cells));
    list->SetSelection(TestGridEntry(testGridCells));
    UpdateEnables();
    helpPane_ = AddDialogHelpPane(*this, LoadHelpPage(L"mapping"));
}

void CMappingSettingsDialog::UpdateEnables() {
    const bool checked = static_cast<wxCheckBox*>(FindWindow(kBlendBox))->GetValue();
    FindWindow(kBlendBox)->Enable(blendingApplies);
    FindWindow(kSharpnessField)->Enable(blendingApplies && checked);
    SetWrappedText(*static_cast<wxStaticText*>(FindWindow(kNote)), MappingNote(blendingApplies, checked));
}

wxString CMappingSettingsDialog::NoteText() const { return UnwrappedLabel(*FindWindow(kNote)); }

void CMappingSettingsDialog::TakeControls() {
    if (blendingApplies) blendSides = static_cast<wxCheckBox*>(FindWindow(kBlendBox))->GetValue();
    wholeTiles = static_cast<wxCheckBox*>(FindWindow(kWholeTilesBox))->GetValue();
    sharpness = ClampSharpness(ui::GetDlgItemFloat(this, kSharpnessField, sharpness));
    const int entry = static_cast<wxChoice*>(FindWindow(kGridList))->GetSelection();
    if (entry >= 0 && entry < static_cast<int>(kTestGridCells.size()))
        testGridCells = kTestGridCells[static_cast<std::size_t>(entry)];
}

void CMappingSettingsDialog::OnOk(wxCommandEvent&) {
    TakeControls();
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

}  // namespace ridgeforge
