#include "ui/dialogs/SeamlessDialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cmath>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/ParameterRows.h"
#include "ui/dialogs/PreviewPicture.h"
#include "ui/framework/DialogFloat.h"

namespace ridgeforge {
namespace {

using mesh::procedural::ParameterDefinition;
using mesh::procedural::ParameterKind;

bool IsNumber(const ParameterDefinition& definition) {
    return definition.kind == ParameterKind::Float || definition.kind == ParameterKind::Integer;
}

}  // namespace

CSeamlessDialog::CSeamlessDialog(const std::vector<float>& pixels, int width, int height, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Seamless"), preview_(ReducePreview(pixels, width, height)) {
    CreateControls();
}

CSeamlessDialog::~CSeamlessDialog() {
    // The controls go first, while what their handlers use still exists; a
    // field losing the focus on the way out changes nothing.
    closing_ = true;
    DestroyChildren();
}

void CSeamlessDialog::CreateControls() {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    auto text = [this](int id, const wxString& label, const wxRect& rect) {
        return new wxStaticText(this, id, label, rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
    };
    text(wxID_ANY, "Method", at(8, 10, 32, 10));
    wxRect rect = at(44, 8, 140, 14);
    new wxChoice(this, kMethodList, rect.GetPosition(), rect.GetSize());
    text(kDescription, wxString(), at(8, 28, 384, 40));
    text(wxID_ANY, "As loaded, laid 2 x 2", at(8, 74, 180, 10));
    text(wxID_ANY, "After the method, laid 2 x 2", at(204, 74, 180, 10));
    before_ = new CPreviewPicture(this, kBeforePreview, at(8, 86, 188, 166));
    after_ = new CPreviewPicture(this, kAfterPreview, at(204, 86, 188, 166));
    // One line; a report longer than the line wraps, and what lies below
    // moves down rather than the text being cut. The whole line is also its
    // tooltip.
    rect = at(8, 258, 384, 10);
    new wxStaticText(this, kReportLine, wxString(), rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
    for (int row = 0; row < kRows; ++row) {
        const int y = 268 + 18 * row;
        text(kFirstLabel + row, wxString(), at(8, y + 2, 100, 10));
        rect = at(112, y, 40, 13);
        auto* field = new wxTextCtrl(this, kFirstField + row, wxString(), rect.GetPosition(), rect.GetSize());
        field->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
            if (!closing_) {
                TakeControls();
            }
            event.Skip();
        });
        rect = at(158, y, 150, 13);
        new wxSlider(this, kFirstSlider + row, 0, 0, 1000, rect.GetPosition(), rect.GetSize(), wxSL_HORIZONTAL);
        Bind(
            wxEVT_SLIDER, [this, row](wxCommandEvent&) { OnSliderMoved(row); }, kFirstSlider + row);
        rect = at(112, y, 196, 14);
        new wxChoice(this, kFirstChoice + row, rect.GetPosition(), rect.GetSize());
        Bind(
            wxEVT_CHOICE, [this](wxCommandEvent&) { TakeControls(); }, kFirstChoice + row);
    }
    auto* note = text(wxID_ANY, wxString(), at(8, 320, 384, 20));
    SetWrappedText(*note,
                   "The join falls down the middle of each panel and round its edge. Whatever is done here is done to "
                   "the image, not to the model: a procedural texture repeats by construction and needs none of it.");
    rect = at(288, 344, 50, 14);
    auto* ok = new wxButton(this, wxID_OK, "OK", rect.GetPosition(), rect.GetSize());
    ok->SetDefault();
    rect = at(342, 344, 50, 14);
    new wxButton(this, wxID_CANCEL, "Cancel", rect.GetPosition(), rect.GetSize());
    SetClientSize(at(0, 0, 400, 364).GetSize());

    Bind(
        wxEVT_CHOICE, [this](wxCommandEvent&) { OnMethodChanged(); }, kMethodList);
    Bind(wxEVT_BUTTON, &CSeamlessDialog::OnOk, this, wxID_OK);
}

int CSeamlessDialog::ShowModal() {
    Open();
    return wxDialog::ShowModal();
}

void CSeamlessDialog::Open() {
    if (opened_) return;
    opened_ = true;
    auto* list = static_cast<wxChoice*>(FindWindow(kMethodList));
    const std::vector<std::string> names = mesh::seamless::MethodNames();
    int selected = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list->Append(FromUtf8(names[i]));
        if (names[i] == methodName) selected = static_cast<int>(i);
    }
    list->SetSelection(selected);
    SelectMethod(names[static_cast<std::size_t>(selected)]);
    BuildRows();
    ShowValues();
    UpdatePreview();
    helpPane_ = AddDialogHelpPane(*this, LoadHelpPage(L"seamless"));
    CentreOnParent();
}

void CSeamlessDialog::SelectMethod(const std::string& name) {
    method_ = mesh::seamless::CreateMethod(name);
    method_->ResetToDefaults();
    // Only the image's own method gets its stored values back; another one
    // starts at its defaults.
    if (name == methodName && !parameterText.empty()) method_->ParseValues(parameterText);
    SetWrappedText(*static_cast<wxStaticText*>(FindWindow(kDescription)), FromUtf8(method_->Description()));
}

void CSeamlessDialog::OnMethodChanged() {
    auto* list = static_cast<wxChoice*>(FindWindow(kMethodList));
    if (list->GetSelection() == wxNOT_FOUND) return;
    SelectMethod(list->GetStringSelection().ToStdString(wxConvUTF8));
    BuildRows();
    ShowValues();
    UpdatePreview();
}

void CSeamlessDialog::BuildRows() {
    const auto& parameters = method_->Parameters();
    for (int row = 0; row < kRows; ++row) {
        const bool used = row < static_cast<int>(parameters.size());
        auto* label = static_cast<wxStaticText*>(FindWindow(kFirstLabel + row));
        auto* field = FindWindow(kFirstField + row);
        auto* slider = static_cast<wxSlider*>(FindWindow(kFirstSlider + row));
        auto* choice = static_cast<wxChoice*>(FindWindow(kFirstChoice + row));
        if (!used) {
            label->Hide();
            field->Hide();
            slider->Hide();
            choice->Hide();
            continue;
        }
        const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
        label->SetLabel(FromUtf8(definition.label));
        label->Show();
        const bool number = IsNumber(definition);
        field->Show(number);
        slider->Show(number);
        if (number) {
            const int steps = SliderSteps(definition);
            slider->SetRange(0, steps);
            slider->SetPageSize(SliderPage(steps));
            slider->SetLineSize(1);
        }
        const bool isChoice = definition.kind == ParameterKind::Choice;
        choice->Show(isChoice);
        choice->Clear();
        if (isChoice)
            for (const std::string& entry : definition.choices) choice->Append(FromUtf8(entry));
    }
}

void CSeamlessDialog::ShowValues() {
    const auto& parameters = method_->Parameters();
    const int rows = std::min(kRows, static_cast<int>(parameters.size()));
    for (int row = 0; row < rows; ++row) {
        const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
        const float value = method_->GetValue(definition.key);
        if (definition.kind == ParameterKind::Choice) {
            static_cast<wxChoice*>(FindWindow(kFirstChoice + row))
                ->SetSelection(static_cast<int>(mesh::procedural::RoundHalfAwayFromZero(value)));
            continue;
        }
        ui::SetDlgItemFloat(this, kFirstField + row, value);
        static_cast<wxSlider*>(FindWindow(kFirstSlider + row))
            ->SetValue(SliderPosition(definition, value, SliderSteps(definition)));
    }
}

void CSeamlessDialog::TakeControls() {
    if (method_ == nullptr) return;
    const auto& parameters = method_->Parameters();
    const int rows = std::min(kRows, static_cast<int>(parameters.size()));
    for (int row = 0; row < rows; ++row) {
        const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
        if (definition.kind == ParameterKind::Choice) {
            const int item = static_cast<wxChoice*>(FindWindow(kFirstChoice + row))->GetSelection();
            if (item != wxNOT_FOUND) method_->SetValue(definition.key, static_cast<float>(item));
            continue;
        }
        const float current = method_->GetValue(definition.key);
        method_->SetValue(definition.key, ui::GetDlgItemFloat(this, kFirstField + row, current));
    }
    ShowValues();
    UpdatePreview();
}

void CSeamlessDialog::OnSliderMoved(int row) {
    const auto& parameters = method_->Parameters();
    if (row < 0 || row >= static_cast<int>(parameters.size())) return;
    const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
    const int position = static_cast<wxSlider*>(FindWindow(kFirstSlider + row))->GetValue();
    method_->SetValue(definition.key, SliderValue(definition, position, SliderSteps(definition)));
    ui::SetDlgItemFloat(this, kFirstField + row, method_->GetValue(definition.key));
    UpdatePreview();
}

void CSeamlessDialog::UpdatePreview() {
    auto* report = static_cast<wxStaticText*>(FindWindow(kReportLine));
    if (preview_.pixels.empty()) {
        SetGrowingWrappedText(*report, "No image loaded.");
        return;
    }
    int side = 0;
    std::vector<std::uint32_t> beforeTiles =
        BuildTilePreview(preview_.pixels, preview_.width, preview_.height, false, side);
    before_->SetPixels(std::move(beforeTiles), side);
    mesh::seamless::SeamlessReport result;
    std::int32_t outputWidth = 0;
    std::int32_t outputHeight = 0;
    const std::vector<float> output =
        method_->Apply(preview_.pixels, preview_.width, preview_.height, outputWidth, outputHeight, &result);
    std::vector<std::uint32_t> afterTiles =
        BuildTilePreview(output, outputWidth, outputHeight, method_->TilesMirrored(), side);
    after_->SetPixels(std::move(afterTiles), side);
    const wxString line = FromUtf8(SeamlessReportLine(result, preview_.width, preview_.height));
    SetGrowingWrappedText(*report, line);
    report->SetToolTip(line);
}

wxString CSeamlessDialog::ReportLine() const { return UnwrappedLabel(*FindWindow(kReportLine)); }

void CSeamlessDialog::OnOk(wxCommandEvent&) {
    TakeControls();
    methodName = method_->Name();
    parameterText = method_->FormatValues();
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

}  // namespace ridgeforge
