// A strip of buttons that send command ids to the main window and take
// their ticked and enabled states from the commands' update handlers,
// standing in for the program's toolbar strip inside the workflow sections
// until that strip, with its icons, exists. Each button is painted in the
// column's palette with its text (a short text where the label would not
// fit) and shows its tooltip under the mouse.
#pragma once

#include <vector>

#include <wx/string.h>
#include <wx/window.h>

#include "document/CommandTable.h"

namespace ridgeforge {

struct StripButton {
    CommandId command = 0;
    wxString label;
    wxString tooltip;
    // What the button shows where the label would not fit; the label when empty.
    wxString shortText;
};

class CCommandStrip : public wxWindow {
public:
    bool Create(wxWindow* parent, int id, std::vector<StripButton> buttons, bool vertical);
    // Asks the main window for each command's state and repaints on a change.
    void UpdateButtonStates();
    const std::vector<StripButton>& Definitions() const { return definitions_; }
    const CommandState& State(int index) const { return states_[static_cast<std::size_t>(index)]; }
    // Button `index`'s rectangle, and the button under a point (-1 for none).
    wxRect ButtonRect(int index) const;
    int HitTest(const wxPoint& point) const;
    // A press: the button's command goes to the main window when it is enabled.
    void Press(const wxPoint& point);

private:
    void OnPaint(wxPaintEvent& event);

    std::vector<StripButton> definitions_;
    std::vector<CommandState> states_;
    bool vertical_ = false;
    int hover_ = -1;
};

}  // namespace ridgeforge
