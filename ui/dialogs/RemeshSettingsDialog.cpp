#include "ui/dialogs/RemeshSettingsDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/RemeshSettingsRules.h"
#include "ui/framework/DialogFloat.h"
#include "text/NumberText.h"

namespace ridgeforge {
namespace {

// The template, in dialog units: the relief band from 0 to 180, the simplify
// band from 180 to 304, 340 wide.
constexpr int kWidth = 340;
constexpr int kReliefBand[2] = {0, 180};
constexpr int kSimplifyBand[2] = {180, 304};

wxStaticText* Text(wxWindow* parent, int id, const wxString& label, const wxRect& rect) {
    return new wxStaticText(parent, id, label, rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
}

wxTextCtrl* Field(wxWindow* parent, int id, const wxRect& rect) {
    return new wxTextCtrl(parent, id, wxString(), rect.GetPosition(), rect.GetSize());
}

}  // namespace

CRemeshSettingsDialog::CRemeshSettingsDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Relief and Simplify Settings") {
    CreateControls();
}

void CRemeshSettingsDialog::CreateControls() {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    Text(this, wxID_ANY, "Relief", at(8, 6, 200, 10))->SetFont(GetFont().Bold());
    Text(this, wxID_ANY, "Triangle size (mm)", at(8, 22, 110, 10));
    Field(this, kSizeField, at(124, 20, 50, 13));
    Text(this, wxID_ANY, "Strength (mm)", at(8, 40, 110, 10));
    Field(this, kStrengthField, at(124, 38, 50, 13));
    Text(this, wxID_ANY, "Direction", at(8, 58, 110, 10));
    wxArrayString directions;
    directions.Add("Centred");
    directions.Add("Outward only");
    directions.Add("Inward only");
    new wxChoice(this, kDirectionList, at(124, 56, 100, 14).GetPosition(), at(124, 56, 100, 14).GetSize(), directions);
    Text(this, wxID_ANY, "Midlevel", at(8, 76, 110, 10));
    Field(this, kMidLevelField, at(124, 74, 50, 13));
    new wxCheckBox(this, kAutomaticMidLevel, "Automatic midlevel, from the texture and the direction",
                   at(8, 92, 320, 10).GetPosition(), at(8, 92, 320, 10).GetSize());
    new wxCheckBox(this, kKeepBedFlat, "Keep the bed face flat", at(8, 106, 320, 10).GetPosition(),
                   at(8, 106, 320, 10).GetSize());
    Text(this, kMidLevelText, wxString(), at(8, 120, 324, 26));
    Text(this, wxID_ANY, "Triangle limit (millions)", at(8, 150, 100, 10));
    Field(this, kTriangleLimitField, at(110, 148, 44, 13));
    Text(this, wxID_ANY, "Display limit (millions)", at(170, 150, 100, 10));
    Field(this, kDisplayLimitField, at(272, 148, 44, 13));
    Text(this, kEstimateText, wxString(), at(8, 164, 324, 16));

    Text(this, wxID_ANY, "Simplify flat areas", at(8, 184, 200, 10))->SetFont(GetFont().Bold());
    Text(this, wxID_ANY, "Planar tolerance (mm)", at(8, 200, 110, 10));
    Field(this, kPlanarToleranceField, at(124, 198, 50, 13));
    auto* planar = Text(this, wxID_ANY, wxString(), at(8, 214, 324, 26));
    SetWrappedText(*planar,
                   "How far a vertex may sit off a surface and still count as on it. No vertex is ever moved, so "
                   "the part keeps its dimensions; only flat surfaces that the texture left flat give up triangles.");
    Text(this, wxID_ANY, "Mesh simplify", at(8, 244, 200, 10))->SetFont(GetFont().Bold());
    Text(this, wxID_ANY, "Detail level", at(8, 260, 60, 10));
    Field(this, kDetailField, at(70, 258, 44, 13));
    const char* const labels[] = {"Extra high", "High", "Medium", "Low"};
    for (int i = 0; i < 4; ++i) {
        const wxRect rect = at(120 + i * 52, 257, 50, 15);
        new wxButton(this, kExtraHighButton + i, labels[i], rect.GetPosition(), rect.GetSize());
    }
    auto* detail = Text(this, wxID_ANY, wxString(), at(8, 276, 324, 24));
    SetWrappedText(*detail,
                   "The most each merge of two vertices may cost the shape: smaller keeps more detail. The bed face "
                   "stays as it is.");

    const wxRect ok = at(kWidth - 112, 308, 50, 14);
    const wxRect cancel = at(kWidth - 58, 308, 50, 14);
    (new wxButton(this, wxID_OK, "OK", ok.GetPosition(), ok.GetSize()))->SetDefault();
    new wxButton(this, wxID_CANCEL, "Cancel", cancel.GetPosition(), cancel.GetSize());
    SetClientSize(at(0, 0, kWidth, 330).GetSize());

    Bind(
        wxEVT_TEXT, [this](wxCommandEvent&) { UpdateEstimate(); }, kSizeField);
    Bind(
        wxEVT_TEXT, [this](wxCommandEvent&) { UpdateEstimate(); }, kTriangleLimitField);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { UpdateZeroLevelText(); }, kAutomaticMidLevel);
    Bind(
        wxEVT_CHOICE, [this](wxCommandEvent&) { UpdateZeroLevelText(); }, kDirectionList);
    const float levels[] = {0.001f, 0.01f, 0.1f, 0.5f};
    for (int i = 0; i < 4; ++i) {
        const float level = levels[i];
        Bind(
            wxEVT_BUTTON, [this, level](wxCommandEvent&) { ui::SetDlgItemFloat(this, kDetailField, level); },
            kExtraHighButton + i);
    }
    Bind(wxEVT_BUTTON, &CRemeshSettingsDialog::OnOk, this, wxID_OK);
}

int CRemeshSettingsDialog::ShowModal() {
    Open();
    return wxDialog::ShowModal();
}

void CRemeshSettingsDialog::Open() {
    if (opened_) return;
    opened_ = true;
    FillControls();
    UpdateEstimate();
    UpdateZeroLevelText();
    ShowPage();
    helpPane_ = AddDialogHelpPane(*this, LoadHelpPage(page == 2 ? L"simplify" : L"relief"));
}

void CRemeshSettingsDialog::FillControls() {
    ui::SetDlgItemFloat(this, kSizeField, remesh.targetEdgeMillimetres);
    ui::SetDlgItemFloat(this, kStrengthField, displacement.strengthMillimetres);
    ui::SetDlgItemFloat(this, kMidLevelField, displacement.midLevel);
    manualMidLevel_ = displacement.midLevel;
    ui::SetDlgItemFloat(this, kTriangleLimitField, LimitInMillions(triangleLimit));
    ui::SetDlgItemFloat(this, kDisplayLimitField, LimitInMillions(displayLimit));
    ui::SetDlgItemFloat(this, kPlanarToleranceField, simplify.planarToleranceMillimetres);
    ui::SetDlgItemFloat(this, kDetailField, simplify.meshDetailError);
    static_cast<wxChoice*>(FindWindow(kDirectionList))->SetSelection(static_cast<int>(displacement.direction));
    static_cast<wxCheckBox*>(FindWindow(kAutomaticMidLevel))
        ->SetValue(displacement.midLevelMode == mesh::MidLevelMode::Automatic);
    static_cast<wxCheckBox*>(FindWindow(kKeepBedFlat))->SetValue(displacement.base.enabled);
}

void CRemeshSettingsDialog::ShowPage() {
    const int* band = page == 2 ? kSimplifyBand : kReliefBand;
    const int top = ConvertDialogToPixels(wxPoint(0, band[0])).y;
    const int bottom = ConvertDialogToPixels(wxPoint(0, band[1])).y;
    for (wxWindow* child : GetChildren()) {
        const int id = child->GetId();
        if (id == wxID_OK || id == wxID_CANCEL) continue;
        const wxPoint where = child->GetPosition();
        if (where.y >= top && where.y < bottom)
            child->Move(where.x, where.y - top);
        else
            child->Hide();
    }
    const int buttonsTop = ConvertDialogToPixels(wxPoint(0, band[1] - band[0] + 4)).y;
    int buttonsBottom = buttonsTop;
    for (int id : {wxID_OK, wxID_CANCEL}) {
        wxWindow* button = FindWindow(id);
        button->Move(button->GetPosition().x, buttonsTop);
        buttonsBottom = std::max(buttonsBottom, buttonsTop + button->GetSize().y);
    }
    SetClientSize(GetClientSize().x, buttonsBottom + ConvertDialogToPixels(wxSize(0, 8)).y);
    SetTitle(page == 2 ? "Simplify Settings" : "Relief Settings");
    CentreOnParent();
}

mesh::DisplacementDirection CRemeshSettingsDialog::ShownDirection() const {
    return DirectionFromItem(static_cast<wxChoice*>(FindWindow(kDirectionList))->GetSelection());
}

void CRemeshSettingsDialog::UpdateEstimate() {
    const float size = ReadTriangleSize(ui::GetDlgItemFloat(this, kSizeField, remesh.targetEdgeMillimetres),
                                        remesh.targetEdgeMillimetres);
    const float limit = LimitInMillions(
        ReadTriangleLimit(ui::GetDlgItemFloat(this, kTriangleLimitField, LimitInMillions(triangleLimit))));
    SetWrappedText(*static_cast<wxStaticText*>(FindWindow(kEstimateText)),
                   FromUtf8(ReliefEstimateText(part, remesh, size, limit)));
}

void CRemeshSettingsDialog::UpdateZeroLevelText() {
    auto* field = static_cast<wxTextCtrl*>(FindWindow(kMidLevelField));
    const bool automatic = static_cast<wxCheckBox*>(FindWindow(kAutomaticMidLevel))->GetValue();
    const mesh::DisplacementDirection direction = ShownDirection();
    if (!automatic) {
        if (!field->IsEnabled()) ui::SetDlgItemFloat(this, kMidLevelField, manualMidLevel_);
        field->Enable();
    } else {
        if (field->IsEnabled())
            manualMidLevel_ = ReadMidLevel(ui::GetDlgItemFloat(this, kMidLevelField, manualMidLevel_));
        const std::optional<float> level = AutomaticMidLevel(heightMap, direction);
        field->ChangeValue(level ? FromUtf8(FormatGeneral(*level, 3)) : wxString());
        field->Disable();
    }
    SetWrappedText(*static_cast<wxStaticText*>(FindWindow(kMidLevelText)),
                   FromUtf8(MidLevelExplanation(automatic, heightMap, direction)));
}

void CRemeshSettingsDialog::ReadControls() {
    remesh.targetEdgeMillimetres = ReadTriangleSize(ui::GetDlgItemFloat(this, kSizeField, remesh.targetEdgeMillimetres),
                                                    remesh.targetEdgeMillimetres);
    displacement.strengthMillimetres = ReadStrength(
        ui::GetDlgItemFloat(this, kStrengthField, displacement.strengthMillimetres), displacement.strengthMillimetres);
    displacement.direction = ShownDirection();
    const bool automatic = static_cast<wxCheckBox*>(FindWindow(kAutomaticMidLevel))->GetValue();
    displacement.midLevelMode = automatic ? mesh::MidLevelMode::Automatic : mesh::MidLevelMode::Manual;
    if (FindWindow(kMidLevelField)->IsEnabled())
        displacement.midLevel = ReadMidLevel(ui::GetDlgItemFloat(this, kMidLevelField, displacement.midLevel));
    else
        displacement.midLevel = manualMidLevel_;
    displacement.base.enabled = static_cast<wxCheckBox*>(FindWindow(kKeepBedFlat))->GetValue();
    triangleLimit = ReadTriangleLimit(ui::GetDlgItemFloat(this, kTriangleLimitField, LimitInMillions(triangleLimit)));
    displayLimit = ReadDisplayLimit(ui::GetDlgItemFloat(this, kDisplayLimitField, LimitInMillions(displayLimit)));
    simplify.planarToleranceMillimetres =
        ReadPlanarTolerance(ui::GetDlgItemFloat(this, kPlanarToleranceField, simplify.planarToleranceMillimetres));
    simplify.meshDetailError = ReadDetailLevel(ui::GetDlgItemFloat(this, kDetailField, simplify.meshDetailError));
}

void CRemeshSettingsDialog::OnOk(wxCommandEvent&) {
    ReadControls();
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

wxString CRemeshSettingsDialog::EstimateText() const { return UnwrappedLabel(*FindWindow(kEstimateText)); }

wxString CRemeshSettingsDialog::MidLevelText() const { return UnwrappedLabel(*FindWindow(kMidLevelText)); }

}  // namespace ridgeforge
