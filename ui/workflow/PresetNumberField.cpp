// The field and its buttons are children of the body, so that the body's
// layout places them; the key hook sits on the body, where a key typed in
// the field arrives before the field handles it.
#include "ui/workflow/PresetNumberField.h"

#include <wx/button.h>
#include <wx/textctrl.h>

#include "ui/framework/DialogFloat.h"
#include "ui/workflow/FlowDocument.h"

namespace ridgeforge {

void PresetNumberField::Create(wxWindow* body, int editId, int firstPresetId, const std::array<float, 3>& presets,
                               const bool& refreshing, Actions actions) {
    refreshing_ = &refreshing;
    actions_ = std::move(actions);
    edit_ = new wxTextCtrl(body, editId, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                           wxTE_RIGHT | wxTE_PROCESS_ENTER | wxBORDER_SIMPLE);
    // Only typing sends this: the body's refreshes use ChangeValue.
    edit_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { typed_ = true; });
    edit_->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        event.Skip();
        if (!*refreshing_ && !restoring_) Commit();
    });
    edit_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
        if (!*refreshing_ && !restoring_) Commit();
    });
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const float value = presets[i];
        auto* button = new wxButton(body, firstPresetId + static_cast<int>(i), ui::FormatFloatField(value),
                                    wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
        button->Bind(wxEVT_BUTTON, [this, value](wxCommandEvent&) {
            if (!*refreshing_) actions_.apply(value);
        });
        presets_[i] = button;
    }
    body->Bind(wxEVT_CHAR_HOOK, &PresetNumberField::OnCharHook, this);
}

void PresetNumberField::OnCharHook(wxKeyEvent& event) {
    if (wxWindow::FindFocus() != edit_) {
        event.Skip();
        return;
    }
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) {
        Commit();
    } else if (event.GetKeyCode() == WXK_ESCAPE) {
        // The document's value goes back into the field even though it
        // keeps the focus.
        if (const FlowDocument* document = GetActiveFlowDocument()) {
            restoring_ = true;
            edit_->ChangeValue(ui::FormatFloatField(actions_.documentValue(*document)));
            restoring_ = false;
        }
        typed_ = false;
        actions_.escaped();
    } else {
        event.Skip();
    }
}

void PresetNumberField::Commit() {
    typed_ = false;
    actions_.commit();
}

bool PresetNumberField::BeingTyped() const { return typed_ && wxWindow::FindFocus() == edit_; }

void PresetNumberField::SetFont(const wxFont& font) {
    if (edit_ != nullptr) edit_->SetFont(font);
    for (wxButton* button : presets_)
        if (button != nullptr) button->SetFont(font);
}

void PresetNumberField::Enable(bool enabled) {
    edit_->Enable(enabled);
    for (wxButton* button : presets_) button->Enable(enabled);
}

void PresetNumberField::Place(int x, int y, int width, int presetX, int presetWidth, int presetStep, int height) {
    edit_->SetSize(x, y, width, height);
    for (std::size_t i = 0; i < presets_.size(); ++i)
        presets_[i]->SetSize(presetX + static_cast<int>(i) * presetStep, y, presetWidth, height);
}

}  // namespace ridgeforge
