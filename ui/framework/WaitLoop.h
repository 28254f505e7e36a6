// Waiting on the user-interface thread for a job on another thread: the
// windows keep painting, but no input is handled (no command can start
// while the job changes the document); Escape, pressed while the main window
// is in front, asks the job to stop.
#pragma once

#include <atomic>
#include <functional>

class wxWindow;

namespace ridgeforge::ui {

// Lets pending paints (and other non-input window events) happen, waiting at
// most `maximumWaitMilliseconds` for them.
void PumpPaintEvents(int maximumWaitMilliseconds);

// Whether Escape is held down now.
bool EscapeKeyDown();

// Whether `window` (or one of its children) is the active window.
bool IsInFront(const wxWindow* window);

// Runs until `finished` answers true, pumping paints every 100 ms at most;
// sets `stop` when Escape is down while `mainWindow` is in front; runs
// `tick` (when given) between pumps.
void WaitPaintingOnly(const std::function<bool()>& finished, std::atomic<bool>& stop, const wxWindow* mainWindow,
                      const std::function<void()>& tick = {});

// Drops the mouse and keyboard input queued while a job ran.
void DiscardQueuedInput();

}  // namespace ridgeforge::ui
