#include "workflow/CommandStrip.h"

#include <wx/tglbtn.h>
#include <wx/toplevel.h>

#include "platform/ui/Commands.h"
#include "platform/ui/Dpi.h"
#include "workflow/FlowTypes.h"

namespace ridgeforge {

bool CCommandStrip::Create(wxWindow* parent, int id, std::vector<StripButton> buttons, bool vertical) {
    if (!wxWindow::Create(parent, id, wxDefaultPosition, wxSize(0, 0), wxCLIP_SIBLINGS | wxBORDER_NONE)) return false;
    SetBackgroundColour(flow_colours::kBackground);
    definitions_ = std::move(buttons);
    vertical_ = vertical;
    for (const StripButton& definition : definitions_) {
        auto* button =
            new wxToggleButton(this, wxID_ANY, definition.shortText.empty() ? definition.label : definition.shortText);
        button->SetName(definition.label);
        button->SetToolTip(definition.tooltip);
        const CommandId command = definition.command;
        button->Bind(wxEVT_TOGGLEBUTTON, [this, command](wxCommandEvent&) {
            if (auto* frame = wxGetTopLevelParent(this)) ui::SendCommand(frame, command);
            UpdateButtonStates();
        });
        buttons_.push_back(button);
    }
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        PlaceButtons();
    });
    return true;
}

void CCommandStrip::PlaceButtons() {
    const wxSize client = GetClientSize();
    const int count = static_cast<int>(buttons_.size());
    if (count == 0) return;
    const int edge = ui::ScaleDip(2, this);
    const int gap = ui::ScaleDip(1, this);
    for (int i = 0; i < count; ++i) {
        if (vertical_) {
            const int each = (client.y - 2 * edge - (count - 1) * gap) / count;
            buttons_[static_cast<std::size_t>(i)]->SetSize(edge, edge + i * (each + gap), client.x - 2 * edge, each);
        } else {
            const int each = (client.x - 2 * edge - (count - 1) * gap) / count;
            buttons_[static_cast<std::size_t>(i)]->SetSize(edge + i * (each + gap), edge, each, client.y - 2 * edge);
        }
    }
}

void CCommandStrip::UpdateButtonStates() {
    const auto* frame = dynamic_cast<const ui::CommandFrame*>(wxGetTopLevelParent(this));
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        CommandState state;
        if (frame != nullptr) state = ui::QueryCommand(*frame, definitions_[i].command);
        buttons_[i]->Enable(state.enabled);
        buttons_[i]->SetValue(state.checked);
    }
}

}  // namespace ridgeforge
