#include "ui/dialogs/ProceduralTextureDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/msgdlg.h>
#include <wx/odcombo.h>
#include <wx/settings.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "platform/SafeWrite.h"
#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/ParameterRows.h"
#include "ui/dialogs/PresetNameDialog.h"
#include "ui/dialogs/PreviewPicture.h"
#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Paint.h"
#include "text/TextCase.h"
#include "text/Utf8.h"
#include "textures/Presets.h"

namespace ridgeforge {

using mesh::procedural::ParameterDefinition;
using mesh::procedural::ParameterKind;

// The preset list: "Select Preset" as item 0, then the dialog's items with
// their thumbnails, factory-only ones on cream, and a line above the first
// of the user's own presets.
class CPresetComboBox : public wxOwnerDrawnComboBox {
public:
    CPresetComboBox(CProceduralTextureDialog& dialog, const wxRect& rect)
        : wxOwnerDrawnComboBox(&dialog, CProceduralTextureDialog::kPresetList, wxString(), rect.GetPosition(),
                               rect.GetSize(), 0, nullptr, wxCB_READONLY),
          dialog_(dialog) {}

protected:
    wxCoord OnMeasureItem(size_t) const override {
        return ui::ScaleDip(CProceduralTextureDialog::kPresetItemHeight, this);
    }
    // The whole item is drawn with its text, so the background is part of it.
    void OnDrawBackground(wxDC&, const wxRect&, int, int) const override {}
    void OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const override {
        dialog_.DrawPresetItem(dc, rect, item, flags);
    }

private:
    CProceduralTextureDialog& dialog_;
};

namespace {

template <class Control>
Control* Child(const wxWindow* parent, int id) {
    return static_cast<Control*>(parent->FindWindow(id));
}

}  // namespace

CProceduralTextureDialog::CProceduralTextureDialog(wxWindow* parent, mesh::procedural::ProceduralTexture& texture,
                                                   int tileCount, std::vector<LibraryRoot> roots)
    : wxDialog(parent, wxID_ANY, "Procedural Texture"),
      texture_(texture),
      tileCount_(std::clamp(tileCount, 1, 3)),
      roots_(std::move(roots)) {
    askYesNo = [this](const wxString& title, const wxString& text) {
        return wxMessageBox(text, title, wxYES_NO | wxICON_QUESTION, this) == wxYES;
    };
    askPresetName = [this](const wxString& initial) -> std::optional<wxString> {
        CPresetNameDialog dialog(this);
        dialog.name = initial;
        if (dialog.ShowModal() != wxID_OK) return std::nullopt;
        return dialog.name;
    };
    CreateControls();
}

CProceduralTextureDialog::~CProceduralTextureDialog() {
    // The controls go first, while what their handlers use still exists; a
    // field losing the focus on the way out changes nothing.
    closing_ = true;
    DestroyChildren();
}

void CProceduralTextureDialog::CreateControls() {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    auto text = [this](int id, const wxString& label, const wxRect& rect) {
        return new wxStaticText(this, id, label, rect.GetPosition(), rect.GetSize(), wxST_NO_AUTORESIZE);
    };
    text(kTitleLine, wxString(), at(8, 6, 170, 10))->SetFont(GetFont().Bold());
    preview_ = new CPreviewPicture(this, kPreview, at(8, 18, 170, 170));
    text(wxID_ANY, "Show", at(186, 8, 24, 10));
    wxRect rect = at(216, 6, 80, 14);
    new wxChoice(this, kTileChoice, rect.GetPosition(), rect.GetSize());
    text(kNote, wxString(), at(186, 24, 186, 18));
    text(wxID_ANY, "Preset", at(186, 52, 28, 10));
    // The selection field is as tall as an item, so that it shows the thumbnail too.
    rect = at(216, 44, 156, 26);
    rect.height = ui::ScaleDip(kPresetItemHeight + 4, this);
    presetList_ = new CPresetComboBox(*this, rect);
    rect = at(216, 74, 76, 14);
    new wxButton(this, kSavePreset, "Save Preset...", rect.GetPosition(), rect.GetSize());
    rect = at(296, 74, 76, 14);
    new wxButton(this, kDeletePreset, "Delete Preset", rect.GetPosition(), rect.GetSize());
    for (int row = 0; row < kRows; ++row) {
        const int y = 96 + 18 * row;
        text(kFirstLabel + row, wxString(), at(186, y + 2, 70, 10));
        rect = at(258, y, 32, 13);
        auto* field = new wxTextCtrl(this, kFirstField + row, wxString(), rect.GetPosition(), rect.GetSize());
        field->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
            if (!closing_) {
                ReadControls();
                UpdatePreview();
            }
            event.Skip();
        });
        rect = at(258, y, 114, 14);
        new wxChoice(this, kFirstCombo + row, rect.GetPosition(), rect.GetSize());
        rect = at(186, y + 1, 186, 11);
        new wxCheckBox(this, kFirstCheck + row, wxString(), rect.GetPosition(), rect.GetSize());
        rect = at(292, y, 80, 13);
        new wxSlider(this, kFirstSlider + row, 0, 0, 1000, rect.GetPosition(), rect.GetSize(), wxSL_HORIZONTAL);
        Bind(
            wxEVT_SLIDER, [this, row](wxCommandEvent&) { OnSliderMoved(row); }, kFirstSlider + row);
    }
    rect = at(268, 318, 50, 14);
    auto* ok = new wxButton(this, wxID_OK, "OK", rect.GetPosition(), rect.GetSize());
    ok->SetDefault();
    rect = at(322, 318, 50, 14);
    new wxButton(this, wxID_CANCEL, "Cancel", rect.GetPosition(), rect.GetSize());
    SetClientSize(at(0, 0, 380, 340).GetSize());

    auto readAndRedraw = [this](wxCommandEvent&) {
        ReadControls();
        UpdatePreview();
    };
    Bind(wxEVT_CHOICE, readAndRedraw, kFirstCombo, kFirstCombo + kRows - 1);
    Bind(wxEVT_CHECKBOX, readAndRedraw, kFirstCheck, kFirstCheck + kRows - 1);
    Bind(
        wxEVT_CHOICE, [this](wxCommandEvent&) { OnTileChoice(); }, kTileChoice);
    Bind(
        wxEVT_COMBOBOX, [this](wxCommandEvent&) { OnPresetChosen(); }, kPresetList);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnSavePreset(); }, kSavePreset);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnDeletePreset(); }, kDeletePreset);
    Bind(wxEVT_BUTTON, &CProceduralTextureDialog::OnOk, this, wxID_OK);
}

int CProceduralTextureDialog::ShowModal() {
    Open();
    return wxDialog::ShowModal();
}

void CProceduralTextureDialog::Open() {
    if (opened_) return;
    opened_ = true;
    const wxString name = FromUtf8(texture_.Name());
    SetTitle(name + " - Procedural Texture");
    Child<wxStaticText>(this, kTitleLine)->SetLabel(name);
    BuildRows();
    FitLabelColumn();
    auto* tiles = Child<wxChoice>(this, kTileChoice);
    tiles->Append("One tile");
    tiles->Append("2 x 2 tiles");
    tiles->Append("3 x 3 tiles");
    if (!texture_.tileable) tileCount_ = 1;
    tiles->SetSelection(tileCount_ - 1);
    tiles->Enable(texture_.tileable);
    UpdateControls();
    UpdatePreview();
    FillPresetList(std::string());
    const std::wstring help = LoadHelpPage(L"procedural", roots_) + WideFromUtf8(ParameterHelpTable(texture_));
    helpPane_ = AddDialogHelpPane(*this, help);
    CentreOnParent();
}

void CProceduralTextureDialog::FitLabelColumn() {
    // The label column is 70 dialog units wide; a label that needs more in
    // the dialog's font (a long label, a larger text scale) widens the
    // column, and the rows' controls, the buttons and the dialog move right
    // with it rather than the label being cut.
    int need = 0;
    int width = 0;
    for (int row = 0; row < RowCount(); ++row) {
        auto* label = Child<wxStaticText>(this, kFirstLabel + row);
        width = label->GetSize().x;
        if (label->IsShown()) need = std::max(need, label->GetTextExtent(label->GetLabel()).x);
    }
    const int extra = need - width;
    if (extra <= 0) return;
    auto shift = [extra](wxWindow* window) {
        if (window != nullptr) window->Move(window->GetPosition().x + extra, window->GetPosition().y);
    };
    for (int row = 0; row < kRows; ++row) {
        wxWindow* label = FindWindow(kFirstLabel + row);
        label->SetSize(label->GetSize().x + extra, label->GetSize().y);
        for (const int id : {kFirstField + row, kFirstSlider + row, kFirstCombo + row}) shift(FindWindow(id));
    }
    shift(FindWindow(wxID_OK));
    shift(FindWindow(wxID_CANCEL));
    SetClientSize(GetClientSize().x + extra, GetClientSize().y);
}

int CProceduralTextureDialog::RowCount() const {
    return std::min(kRows, static_cast<int>(texture_.Parameters().size()));
}

void CProceduralTextureDialog::BuildRows() {
    const auto& parameters = texture_.Parameters();
    for (int row = 0; row < kRows; ++row) {
        const bool used = row < RowCount();
        const ParameterKind kind = used ? parameters[static_cast<std::size_t>(row)].kind : ParameterKind::Float;
        auto* label = Child<wxStaticText>(this, kFirstLabel + row);
        auto* check = Child<wxCheckBox>(this, kFirstCheck + row);
        auto* combo = Child<wxChoice>(this, kFirstCombo + row);
        auto* slider = Child<wxSlider>(this, kFirstSlider + row);
        label->Show(used && kind != ParameterKind::Toggle);
        const bool number = kind == ParameterKind::Float || kind == ParameterKind::Integer;
        FindWindow(kFirstField + row)->Show(used && number);
        slider->Show(used && number);
        combo->Show(used && kind == ParameterKind::Choice);
        check->Show(used && kind == ParameterKind::Toggle);
        if (!used) continue;
        const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
        label->SetLabel(FromUtf8(definition.label));
        check->SetLabel(FromUtf8(definition.label));
        const int steps = SliderSteps(definition);
        slider->SetRange(0, steps);
        slider->SetPageSize(SliderPage(steps));
        slider->SetLineSize(1);
        combo->Clear();
        for (const std::string& choice : definition.choices) combo->Append(FromUtf8(choice));
    }
}

void CProceduralTextureDialog::UpdateControls() {
    const auto& parameters = texture_.Parameters();
    for (int row = 0; row < RowCount(); ++row) {
        const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
        const float value = texture_.GetValue(definition.key);
        switch (definition.kind) {
            case ParameterKind::Choice:
                Child<wxChoice>(this, kFirstCombo + row)
                    ->SetSelection(static_cast<int>(mesh::procedural::RoundHalfAwayFromZero(value)));
                break;
            case ParameterKind::Toggle:
                Child<wxCheckBox>(this, kFirstCheck + row)->SetValue(value >= 0.5f);
                break;
            default:
                ui::SetDlgItemFloat(this, kFirstField + row, value);
                Child<wxSlider>(this, kFirstSlider + row)
                    ->SetValue(SliderPosition(definition, value, SliderSteps(definition)));
                break;
        }
    }
}

void CProceduralTextureDialog::ReadControls() {
    const auto& parameters = texture_.Parameters();
    for (int row = 0; row < RowCount(); ++row) {
        const ParameterDefinition& definition = parameters[static_cast<std::size_t>(row)];
        switch (definition.kind) {
            case ParameterKind::Choice: {
                const int item = Child<wxChoice>(this, kFirstCombo + row)->GetSelection();
                if (item != wxNOT_FOUND) texture_.SetValue(definition.key, static_cast<float>(item));
                break;
            }
            case ParameterKind::Toggle:
                texture_.SetValue(definition.key, Child<wxCheckBox>(this, kFirstCheck + row)->GetValue() ? 1.0f : 0.0f);
                break;
            default:
                texture_.SetValue(definition.key,
                                  ui::GetDlgItemFloat(this, kFirstField + row, texture_.GetValue(definition.key)));
                break;
        }
    }
    UpdateControls();
}

void CProceduralTextureDialog::OnSliderMoved(int row) {
    if (row < 0 || row >= RowCount()) return;
    const ParameterDefinition& definition = texture_.Parameters()[static_cast<std::size_t>(row)];
    const int position = Child<wxSlider>(this, kFirstSlider + row)->GetValue();
    texture_.SetValue(definition.key, SliderValue(definition, position, SliderSteps(definition)));
    ui::SetDlgItemFloat(this, kFirstField + row, texture_.GetValue(definition.key));
    UpdatePreview();
}

void CProceduralTextureDialog::OnTileChoice() {
    const int item = Child<wxChoice>(this, kTileChoice)->GetSelection();
    if (item == wxNOT_FOUND) return;
    tileCount_ = std::clamp(item + 1, 1, 3);
    UpdatePreview();
}

void CProceduralTextureDialog::UpdatePreview() {
    int size = 0;
    std::vector<std::uint32_t> pixels = RenderProceduralPreview(texture_, tileCount_, size);
    preview_->SetPixels(std::move(pixels), size);
    SetNote(FromUtf8(TileableNote(texture_.tileable)));
}

void CProceduralTextureDialog::SetNote(const wxString& text) {
    SetWrappedText(*Child<wxStaticText>(this, kNote), text);
}

wxString CProceduralTextureDialog::Note() const { return UnwrappedLabel(*FindWindow(kNote)); }

void CProceduralTextureDialog::DrawPresetItem(wxDC& dc, const wxRect& rect, int item, int flags) const {
    const PresetItem* preset = item > 0 && static_cast<std::size_t>(item) <= presets_.size()
                                   ? &presets_[static_cast<std::size_t>(item - 1)]
                                   : nullptr;
    const bool control = (flags & wxODCB_PAINTING_CONTROL) != 0;
    const bool selected = (flags & wxODCB_PAINTING_SELECTED) != 0 && !control;
    wxColour background = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    if (selected)
        background = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
    else if (preset != nullptr && preset->origin == ItemOrigin::Factory)
        background = kFactoryPresetColour;
    ui::FillRectExact(dc, rect, background);
    // A line between the factory presets and the user's own.
    const std::size_t index = static_cast<std::size_t>(item - 1);
    if (preset != nullptr && !control && index == firstUserOnly_ && index > 0)
        ui::FillRectExact(dc, wxRect(rect.x, rect.y, rect.width, 1),
                          wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW));
    int textLeft = rect.x + 6;
    if (preset != nullptr && preset->thumbnailSide > 0) {
        const int side = std::min(40, rect.height - 4);
        const wxRect square(rect.x + 2, rect.y + (rect.height - side) / 2, side, side);
        DrawGreySquare(dc, preset->thumbnail, preset->thumbnailSide, square);
        textLeft = square.GetRight() + 1 + 8;
    }
    wxColour colour = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    if (selected)
        colour = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT);
    else if (preset == nullptr)
        colour = wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    dc.SetTextForeground(colour);
    dc.SetFont(presetList_->GetFont());
    const wxString text = preset != nullptr ? FromUtf8(preset->name) : wxString("Select Preset");
    ui::DrawEllipsisText(dc, text, wxRect(textLeft, rect.y, std::max(0, rect.GetRight() - textLeft), rect.height));
}

void CProceduralTextureDialog::FillPresetList(const std::string& name) {
    presets_ = LoadPresetItems(roots_, texture_);
    firstUserOnly_ = FirstUserOnlyIndex(presets_);
    presetList_->Clear();
    presetList_->Append("Select Preset");
    int selected = 0;
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        presetList_->Append(FromUtf8(presets_[i].name));
        if (selected == 0 && !name.empty() && EqualsIgnoringCase(presets_[i].name, name))
            selected = static_cast<int>(i) + 1;
    }
    presetList_->SetSelection(selected);
    EnableDelete();
}

const PresetItem* CProceduralTextureDialog::SelectedPreset() const {
    const int item = presetList_->GetSelection();
    if (item <= 0 || static_cast<std::size_t>(item) > presets_.size()) return nullptr;
    return &presets_[static_cast<std::size_t>(item - 1)];
}

void CProceduralTextureDialog::EnableDelete() {
    const PresetItem* preset = SelectedPreset();
    FindWindow(kDeletePreset)->Enable(preset != nullptr && preset->userCopy);
}

void CProceduralTextureDialog::OnPresetChosen() {
    EnableDelete();
    const PresetItem* preset = SelectedPreset();
    if (preset == nullptr) return;
    std::string error;
    if (!LoadPreset(preset->presetPath, texture_, &error)) {
        SetNote(FromUtf8("Could not load that preset: " + error + "."));
        return;
    }
    UpdateControls();
    UpdatePreview();
    SetNote(FromUtf8("Loaded \"" + preset->name + "\"."));
}

void CProceduralTextureDialog::OnSavePreset() {
    const PresetItem* selected = SelectedPreset();
    const wxString initial = selected != nullptr && selected->userCopy ? FromUtf8(selected->name) : wxString();
    const std::optional<wxString> entered = askPresetName(initial);
    if (!entered) return;
    const std::string name = entered->ToStdString(wxConvUTF8);
    if (const auto question = SavePresetQuestion(roots_, texture_, presets_, name);
        question && !askYesNo("Save Preset", FromUtf8(*question)))
        return;
    std::filesystem::path saved;
    std::string error;
    if (!SavePreset(roots_, texture_, name, &saved, &error)) {
        SetNote(FromUtf8("Could not save the preset: " + error + "."));
        return;
    }
    const std::string savedName = saved.stem().string();
    FillPresetList(savedName);
    SetNote(FromUtf8("Saved \"" + savedName + "\"."));
}

void CProceduralTextureDialog::OnDeletePreset() {
    const PresetItem* selected = SelectedPreset();
    if (selected == nullptr || !selected->userCopy) return;
    const PresetItem preset = *selected;
    if (!askYesNo("Delete Preset", FromUtf8(DeletePresetQuestion(preset)))) return;
    std::string reason;
    if (!DeletePresetFiles(roots_, texture_, preset, &reason)) {
        SetNote(FromUtf8(platform::WithReason("Could not delete that preset.", reason)));
        return;
    }
    const bool factoryBack = preset.origin == ItemOrigin::Both;
    FillPresetList(factoryBack ? preset.name : std::string());
    SetNote(factoryBack ? "Deleted yours; the factory preset is back." : "Deleted.");
}

void CProceduralTextureDialog::OnOk(wxCommandEvent&) {
    ReadControls();
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}

}  // namespace ridgeforge
