#include "ui/framework/WaitLoop.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace ridgeforge::ui {

void PumpPaintEvents(int maximumWaitMilliseconds) {
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
    // The toolkit paints in its own drawing cycle, which a yield limited to
    // window events does not always reach: windows waiting for paint are
    // painted here.
    for (wxWindow* window : wxTopLevelWindows)
        if (window != nullptr && window->IsShown()) window->Update();
    if (maximumWaitMilliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(maximumWaitMilliseconds, 10)));
}

bool EscapeKeyDown() { return wxGetKeyState(WXK_ESCAPE); }

bool IsInFront(const wxWindow* window) {
    if (window == nullptr) return false;
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(const_cast<wxWindow*>(window)));
    return top != nullptr && top->IsActive();
}

void WaitPaintingOnly(const std::function<bool()>& finished, std::atomic<bool>& stop, const wxWindow* mainWindow,
                      const std::function<void()>& tick) {
    while (!finished()) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        while (!finished() && std::chrono::steady_clock::now() < until) {
            if (EscapeKeyDown() && IsInFront(mainWindow)) stop = true;
            if (tick) tick();
            PumpPaintEvents(10);
        }
    }
}

void DiscardQueuedInput() {
    // With every window disabled, the queued input is delivered to windows
    // that ignore it, so a click made during the job does not run later.
    if (wxTheApp == nullptr) return;
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop == nullptr) return;
    wxWindowDisabler disableAll;
    loop->YieldFor(wxEVT_CATEGORY_USER_INPUT);
}

}  // namespace ridgeforge::ui
