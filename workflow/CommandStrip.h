// A strip of toggle buttons that send command ids to the main window and
// take their ticked and enabled states from the commands' update handlers,
// standing in for the program's toolbar strip inside the workflow sections
// until that strip, with its icons, exists. The buttons carry the label as
// their name and the tooltip; narrow strips show a short text.
#pragma once

#include <vector>

#include <wx/string.h>
#include <wx/window.h>

#include "document/CommandTable.h"

class wxToggleButton;

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
    // Asks the main window for each command's state.
    void UpdateButtonStates();
    wxToggleButton* Button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
    const std::vector<StripButton>& Definitions() const { return definitions_; }

private:
    void PlaceButtons();

    std::vector<StripButton> definitions_;
    std::vector<wxToggleButton*> buttons_;
    bool vertical_ = false;
};

}  // namespace ridgeforge
