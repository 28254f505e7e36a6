// The first show of a top-level window under a window manager.
//
// wxWidgets shows the first top-level window only once the window manager
// has told the size of its frame. Until then the window is realised with a
// placeholder allocation, so its X window is made 2 x 1 pixels; at the show
// GTK lays the contents out in that X window's size while the server has yet
// to confirm the real one (a menu bar 2 pixels wide, reported as criticals
// about negative space). Giving the window the allocation of the size it
// will be shown at before it is realised makes the X window, and so the first
// layout, that size.
#pragma once

class wxTopLevelWindow;

namespace ridgeforge::ui {

// Gives `window` the allocation of the size GTK will show it at, when it has
// none yet. Call after the window's size is set and just before its first
// Show(); does nothing once the window is realised.
void AllocateBeforeFirstShow(wxTopLevelWindow& window);

}  // namespace ridgeforge::ui
