#include "ui/dialogs/TextureSettingsDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/LevelsControl.h"
#include "ui/dialogs/SettingsDialogRules.h"
#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"

namespace ridgeforge {
namespace {

wxCheckBox* Check(const wxWindow& dialog, int id) { return static_cast<wxCheckBox*>(dialog.FindWindow(id)); }

}  // namespace

CTextureSettingsDialog::CTextureSettingsDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Texture Settings") {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    auto label = [this](int id, const wxString& text, const wxRect& r) {
        return new wxStaticText(this, id, text, r.GetPosition(), r.GetSize(), wxST_NO_AUTORESIZE);
    };
    auto field = [this](int id, const wxRect& r) {
        new wxTextCtrl(this, id, wxString(), r.GetPosition(), r.GetSize());
    };
    auto check = [this](int id, const wxString& text, const wxRect& r) {
        new wxCheckBox(this, id, text, r.GetPosition(), r.GetSize());
    };
    label(wxID_ANY, "Source", at(7, 9, 40, 10));
    label(kSourceText, wxString(), at(52, 9, 200, 10));
    label(wxID_ANY, "Width (mm)", at(7, 26, 44, 10));
    field(kWidthField, at(52, 24, 44, 13));
    label(wxID_ANY, "Height (mm)", at(104, 26, 44, 10));
    field(kHeightField, at(150, 24, 44, 13));
    check(kLockBox, "Lock aspect ratio", at(7, 42, 100, 10));
    check(kTilesBox, "Repeats (tiles)", at(112, 42, 100, 10));
    label(wxID_ANY, "Blur (mm)", at(7, 58, 44, 10));
    field(kBlurField, at(52, 56, 44, 13));
    label(kSeamlessText, wxString(), at(7, 74, 180, 18));
    wxRect r = at(196, 74, 60, 14);
    new wxButton(this, kSeamlessButton, "Seamless...", r.GetPosition(), r.GetSize());
    r = at(7, 96, 250, 26);
    new wxStaticBox(this, wxID_ANY, "Adjustments, kept when another texture is chosen", r.GetPosition(), r.GetSize());
    check(kAutoLevelsBox, "Auto levels", at(14, 108, 90, 10));
    check(kInvertBox, "Invert", at(112, 108, 90, 10));
    r = at(7, 126, 250, 114);
    new wxStaticBox(this, wxID_ANY, "Levels for this texture", r.GetPosition(), r.GetSize());
    r = at(14, 138, 236, 84);
    // The control needs its drawn height whatever the font's dialog units.
    r.height = std::max(r.height, ui::ScaleDip(166, this));
    new wxStaticText(this, kLevelsPlaceholder, wxString(), r.GetPosition(), r.GetSize());
    label(wxID_ANY, "Back to neutral when another texture or pattern is chosen.", at(14, 226, 236, 10));
    r = at(153, 246, 50, 14);
    auto* ok = new wxButton(this, wxID_OK, "OK", r.GetPosition(), r.GetSize());
    ok->SetDefault();
    r = at(207, 246, 50, 14);
    new wxButton(this, wxID_CANCEL, "Cancel", r.GetPosition(), r.GetSize());
    SetClientSize(at(0, 0, 264, 267).GetSize());

    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnAutoLevels(); }, kAutoLevelsBox);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnLockAspect(); }, kLockBox);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnSeamless(); }, kSeamlessButton);
    Bind(wxEVT_BUTTON, &CTextureSettingsDialog::OnOk, this, wxID_OK);
}

int CTextureSettingsDialog::ShowModal() {
    Open();
    return wxDialog::ShowModal();
}

void CTextureSettingsDialog::Open() {
    if (opened_) return;
    opened_ = true;
    FindWindow(kSourceText)->SetLabel(sourceName.empty() ? wxString("(none loaded)") : sourceName);
    if (imageAspect > 0.0f)
        lockAspect_ = imageAspect;
    else if (settings.heightMillimetres != 0.0f)
        lockAspect_ = settings.widthMillimetres / settings.heightMillimetres;
    wxWindow* placeholder = FindWindow(kLevelsPlaceholder);
    const wxRect rect = placeholder->GetRect();
    placeholder->Hide();
    levels_ = new CLevelsControl();
    levels_->Create(this, rect);
    levels_->Raise();
    // The tab order follows the template: the levels boxes come where the placeholder was.
    levels_->MoveAfterInTabOrder(placeholder);
    levels_->histogram = histogram;
    FillControls();
    helpPane_ = AddDialogHelpPane(*this, LoadHelpPage(L"texture"));
}

void CTextureSettingsDialog::FillControls() {
    ui::SetDlgItemFloat(this, kWidthField, settings.widthMillimetres);
    ui::SetDlgItemFloat(this, kHeightField, settings.heightMillimetres);
    ui::SetDlgItemFloat(this, kBlurField, settings.blurMillimetres);
    Check(*this, kTilesBox)->SetValue(settings.tiles);
    SetWrappedText(*static_cast<wxStaticText*>(FindWindow(kSeamlessText)),
                   SeamlessStatus(procedural, settings.seamlessMethod));
    FindWindow(kSeamlessButton)->Enable(seamlessAvailable && !procedural);
    Check(*this, kLockBox)->SetValue(settings.lockAspect);
    Check(*this, kAutoLevelsBox)->SetValue(settings.autoLevels);
    Check(*this, kInvertBox)->SetValue(settings.invert);
    FindWindow(kHeightField)->Enable(!settings.lockAspect);
    FillLevels();
}

void CTextureSettingsDialog::FillLevels() {
    const bool autoLevels = Check(*this, kAutoLevelsBox)->GetValue();
    LevelValues& v = levels_->values;
    v.inputBlack = std::clamp(autoLevels ? autoBlack : settings.blackLevel, 0.0f, 1.0f);
    v.inputWhite = std::clamp(autoLevels ? autoWhite : settings.whiteLevel, 0.0f, 1.0f);
    v.gamma = settings.gamma > 0.0f ? settings.gamma : 1.0f;
    v.outputLow = std::clamp(settings.outputBlackLevel, 0.0f, 1.0f);
    v.outputHigh = std::clamp(settings.outputWhiteLevel, 0.0f, 1.0f);
    levels_->UpdateEdits();
    levels_->Enable(!autoLevels);
    levels_->Refresh();
}

void CTextureSettingsDialog::OnAutoLevels() {
    if (!Check(*this, kAutoLevelsBox)->GetValue()) {
        settings.blackLevel = 0.0f;
        settings.whiteLevel = 1.0f;
    }
    // Gamma and the output levels typed meanwhile stay as the control shows them.
    settings.gamma = levels_->values.gamma;
    settings.outputBlackLevel = levels_->values.outputLow;
    settings.outputWhiteLevel = levels_->values.outputHigh;
    FillLevels();
}

void CTextureSettingsDialog::OnLockAspect() {
    const bool locked = Check(*this, kLockBox)->GetValue();
    FindWindow(kHeightField)->Enable(!locked);
    if (locked && lockAspect_ > 0.0f) {
        const float width = ui::GetDlgItemFloat(this, kWidthField, settings.widthMillimetres);
        ui::SetDlgItemFloat(this, kHeightField, width / lockAspect_);
    }
}

void CTextureSettingsDialog::OnSeamless() {
    seamlessAsked = true;
    if (TryOk()) {
        if (IsModal())
            EndModal(wxID_OK);
        else
            SetReturnCode(wxID_OK);
    }
}

bool CTextureSettingsDialog::TryOk() {
    mesh::TextureSettings edited = settings;
    edited.widthMillimetres = ui::GetDlgItemFloat(this, kWidthField, settings.widthMillimetres);
    edited.heightMillimetres = ui::GetDlgItemFloat(this, kHeightField, settings.heightMillimetres);
    edited.blurMillimetres = ui::GetDlgItemFloat(this, kBlurField, settings.blurMillimetres);
    edited.tiles = Check(*this, kTilesBox)->GetValue();
    const LevelValues& v = levels_->values;
    edited.blackLevel = v.inputBlack;
    edited.whiteLevel = v.inputWhite;
    edited.gamma = v.gamma;
    edited.outputBlackLevel = v.outputLow;
    edited.outputWhiteLevel = v.outputHigh;
    edited.lockAspect = Check(*this, kLockBox)->GetValue();
    edited.autoLevels = Check(*this, kAutoLevelsBox)->GetValue();
    edited.invert = Check(*this, kInvertBox)->GetValue();
    if (const auto refusal = TextureSettingsRefusal(edited.widthMillimetres, edited.heightMillimetres, edited.gamma)) {
        seamlessAsked = false;
        if (showRefusal)
            showRefusal(*refusal);
        else
            wxMessageBox(*refusal, GetTitle(), wxOK | wxICON_EXCLAMATION, this);
        return false;
    }
    edited.blurMillimetres = std::max(0.0f, edited.blurMillimetres);
    if (edited.lockAspect)
        edited.heightMillimetres = LockedHeight(edited.widthMillimetres, edited.heightMillimetres, lockAspect_);
    settings = edited;
    return true;
}

void CTextureSettingsDialog::OnOk(wxCommandEvent&) {
    if (!TryOk()) return;
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

}  // namespace ridgeforge
