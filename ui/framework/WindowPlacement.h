// The main window's place between runs: its normal (not maximised) rectangle
// in screen coordinates and whether it was maximised, kept in the profile's
// "Workspace" section. A place is only taken back on a monitor that is
// there: a rectangle whose title bar lies on no monitor (one unplugged since
// the last run) moves to the middle of the first monitor, and one larger
// than the monitor it lands on is made to fit it.
#pragma once

#include <optional>
#include <vector>

#include <wx/gdicmn.h>

class wxTopLevelWindow;

namespace ridgeforge::ui {

class Profile;

struct WindowPlacement {
    wxRect rect;
    bool maximised = false;
};

// The stored place, or none when nothing (or nothing usable) was stored.
std::optional<WindowPlacement> ReadWindowPlacement(const Profile& profile);
void WriteWindowPlacement(Profile& profile, const WindowPlacement& placement);

// `rect` kept on the monitors' work areas (the first is the primary one), as
// described above; `rect` unchanged when there is no monitor.
wxRect KeepOnMonitors(const wxRect& rect, const std::vector<wxRect>& workAreas);

// The work areas of the monitors there are now, the primary one first.
std::vector<wxRect> MonitorWorkAreas();

// Keeps track of `window`'s normal rectangle while it moves and resizes,
// stores its place in `profile` when it closes, and puts it back now from
// what was stored (nothing when nothing was). Call before the window is
// shown; the profile must outlive the window.
void RememberWindowPlacement(wxTopLevelWindow& window, Profile& profile);

}  // namespace ridgeforge::ui
