#include "ui/dialogs/RemeshInputDialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/RemeshSettingsRules.h"
#include "ui/framework/DialogFloat.h"

namespace ridgeforge {

CRemeshInputDialog::CRemeshInputDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Remesh Input Mesh") {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    auto place = [](const wxRect& rect) { return std::make_pair(rect.GetPosition(), rect.GetSize()); };
    auto [lineAt, lineSize] = place(at(8, 8, 244, 20));
    auto* line = new wxStaticText(this, wxID_ANY, wxString(), lineAt, lineSize, wxST_NO_AUTORESIZE);
    SetWrappedText(*line, "Remeshes the part as loaded, with no relief, and keeps the result as the part.");
    auto [sizeLabelAt, sizeLabelSize] = place(at(8, 32, 80, 10));
    new wxStaticText(this, wxID_ANY, "Triangle size (mm)", sizeLabelAt, sizeLabelSize);
    auto [fieldAt, fieldSize] = place(at(92, 30, 50, 13));
    new wxTextCtrl(this, kSizeField, wxString(), fieldAt, fieldSize);
    auto [methodLabelAt, methodLabelSize] = place(at(8, 50, 80, 10));
    new wxStaticText(this, wxID_ANY, "Method", methodLabelAt, methodLabelSize);
    wxArrayString methods;
    methods.Add("Isotropic - keeps sharp edges exactly, slow");
    methods.Add("Dual contouring - fast");
    auto [listAt, listSize] = place(at(92, 48, 160, 14));
    new wxChoice(this, kMethodList, listAt, listSize, methods);
    auto [estimateAt, estimateSize] = place(at(8, 68, 244, 26));
    new wxStaticText(this, kEstimateText, wxString(), estimateAt, estimateSize, wxST_NO_AUTORESIZE);
    auto [okAt, okSize] = place(at(148, 100, 50, 14));
    (new wxButton(this, wxID_OK, "Remesh", okAt, okSize))->SetDefault();
    auto [cancelAt, cancelSize] = place(at(202, 100, 50, 14));
    new wxButton(this, wxID_CANCEL, "Cancel", cancelAt, cancelSize);
    SetClientSize(at(0, 0, 260, 122).GetSize());

    Bind(
        wxEVT_TEXT, [this](wxCommandEvent&) { UpdateEstimate(); }, kSizeField);
    Bind(
        wxEVT_CHOICE, [this](wxCommandEvent&) { UpdateEstimate(); }, kMethodList);
    Bind(wxEVT_BUTTON, &CRemeshInputDialog::OnRemesh, this, wxID_OK);
}

int CRemeshInputDialog::ShowModal() {
    Open();
    CentreOnParent();
    return wxDialog::ShowModal();
}

void CRemeshInputDialog::Open() {
    if (opened_) return;
    opened_ = true;
    static_cast<wxChoice*>(FindWindow(kMethodList))->SetSelection(settings.method != mesh::kRemeshIsotropic ? 1 : 0);
    ui::SetDlgItemFloat(this, kSizeField, settings.targetEdgeMillimetres);
    UpdateEstimate();
}

float CRemeshInputDialog::TypedSize() const {
    return ReadTriangleSize(ui::GetDlgItemFloat(this, kSizeField, settings.targetEdgeMillimetres),
                            settings.targetEdgeMillimetres);
}

void CRemeshInputDialog::UpdateEstimate() {
    if (!HasPart(part)) return;
    const int item = static_cast<wxChoice*>(FindWindow(kMethodList))->GetSelection();
    bool overLimit = false;
    SetWrappedText(*static_cast<wxStaticText*>(FindWindow(kEstimateText)),
                   FromUtf8(RemeshInputEstimateText(part, settings, RemeshMethodFromItem(item), TypedSize(),
                                                    triangleLimit, &overLimit)));
    FindWindow(wxID_OK)->Enable(!overLimit);
}

wxString CRemeshInputDialog::EstimateText() const { return UnwrappedLabel(*FindWindow(kEstimateText)); }

void CRemeshInputDialog::OnRemesh(wxCommandEvent&) {
    settings.method = RemeshMethodFromItem(static_cast<wxChoice*>(FindWindow(kMethodList))->GetSelection());
    settings.targetEdgeMillimetres = TypedSize();
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

}  // namespace ridgeforge
