#include "workflow/CommandStrip.h"

#include <wx/toplevel.h>

#include "platform/ui/Commands.h"
#include "platform/ui/Dpi.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Paint.h"
#include "workflow/FlowTypes.h"

namespace ridgeforge {

bool CCommandStrip::Create(wxWindow* parent, int id, std::vector<StripButton> buttons, bool vertical) {
    if (!wxWindow::Create(parent, id, wxDefaultPosition, wxSize(0, 0),
                          wxCLIP_SIBLINGS | wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE))
        return false;
    ui::PrepareBufferedPainting(*this);
    definitions_ = std::move(buttons);
    states_.assign(definitions_.size(), CommandState{});
    vertical_ = vertical;
    Bind(wxEVT_PAINT, &CCommandStrip::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
        const int index = HitTest(event.GetPosition());
        if (index == hover_) return;
        hover_ = index;
        SetToolTip(index < 0 ? wxString() : definitions_[static_cast<std::size_t>(index)].tooltip);
        Refresh();
    });
    Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent&) {
        if (hover_ < 0) return;
        hover_ = -1;
        Refresh();
    });
    return true;
}

wxRect CCommandStrip::ButtonRect(int index) const {
    const wxSize client = GetClientSize();
    const int count = std::max(1, static_cast<int>(definitions_.size()));
    const int edge = ui::ScaleDip(2, this);
    const int gap = ui::ScaleDip(1, this);
    if (vertical_) {
        const int each = (client.y - 2 * edge - (count - 1) * gap) / count;
        return {edge, edge + index * (each + gap), client.x - 2 * edge, each};
    }
    const int each = (client.x - 2 * edge - (count - 1) * gap) / count;
    return {edge + index * (each + gap), edge, each, client.y - 2 * edge};
}

int CCommandStrip::HitTest(const wxPoint& point) const {
    for (int i = 0; i < static_cast<int>(definitions_.size()); ++i)
        if (ButtonRect(i).Contains(point)) return i;
    return -1;
}

void CCommandStrip::Press(const wxPoint& point) {
    const int index = HitTest(point);
    if (index < 0 || !states_[static_cast<std::size_t>(index)].enabled) return;
    if (auto* frame = wxGetTopLevelParent(this))
        ui::SendCommand(frame, definitions_[static_cast<std::size_t>(index)].command);
    UpdateButtonStates();
}

void CCommandStrip::UpdateButtonStates() {
    const auto* frame = dynamic_cast<const ui::CommandFrame*>(wxGetTopLevelParent(this));
    bool changed = false;
    for (std::size_t i = 0; i < definitions_.size(); ++i) {
        CommandState state;
        if (frame != nullptr) state = ui::QueryCommand(*frame, definitions_[i].command);
        changed |= state.enabled != states_[i].enabled || state.checked != states_[i].checked;
        states_[i] = state;
    }
    if (changed) Refresh();
}

void CCommandStrip::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    ui::FillRectExact(dc, wxRect(GetClientSize()), flow_colours::kBackground);
    const unsigned dpi = ui::WindowDpi(this);
    dc.SetFont(ui::GetUiFont(ui::Small, dpi));
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    for (int i = 0; i < static_cast<int>(definitions_.size()); ++i) {
        const StripButton& button = definitions_[static_cast<std::size_t>(i)];
        const CommandState& state = states_[static_cast<std::size_t>(i)];
        const wxRect rect = ButtonRect(i);
        const wxColour fill = state.checked
                                  ? (state.enabled ? flow_colours::kAccent : flow_colours::kSelection)
                                  : (i == hover_ && state.enabled ? flow_colours::kSelection : wxColour(255, 255, 255));
        ui::FillRectExact(dc, rect, fill);
        dc.SetPen(wxPen(flow_colours::kFrame));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(rect);
        dc.SetTextForeground(!state.enabled ? flow_colours::kSecondary
                                            : (state.checked ? wxColour(255, 255, 255) : flow_colours::kText));
        const wxString& text = button.shortText.empty() || dc.GetTextExtent(button.label).x < rect.width - 4
                                   ? button.label
                                   : button.shortText;
        ui::DrawEllipsisText(dc, text, wxRect(rect).Deflate(2, 0), wxALIGN_CENTER_HORIZONTAL | wxALIGN_CENTER_VERTICAL);
    }
}

}  // namespace ridgeforge
