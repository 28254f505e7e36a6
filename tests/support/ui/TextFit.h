// Whether the texts of a window tree fit the room they were given: for every
// shown label, button, check box, edit field, choice, list row and status
// field, the width (and for labels the height) its text needs in its own
// font against what the control got.
#pragma once

#include <string>
#include <vector>

class wxWindow;

namespace ridgeforge::testing {

struct TextShortfall {
    std::string control;  // the control's kind
    std::string text;     // the text that does not fit
    int needed = 0;       // pixels the text needs, across (or down for "height")
    int got = 0;          // pixels the control has
    bool height = false;  // the shortfall is in height
};

// Every shortfall in `root` and the windows inside it, but for the windows
// in `ellipsisAllowed`, whose design ends a long text with an ellipsis.
std::vector<TextShortfall> FindShortTexts(wxWindow& root, const std::vector<const wxWindow*>& ellipsisAllowed = {});

// One line per shortfall, for a test's failure message.
std::string Describe(const std::vector<TextShortfall>& shortfalls);

}  // namespace ridgeforge::testing
