#include "ui/framework/WindowPlacement.h"

#include <wx/display.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <memory>

#include "ui/framework/Profile.h"

namespace ridgeforge::ui {
namespace {

const wxString kSection = "Workspace";

// The strip along the top of a window that a person grabs to move it: it
// must lie on a monitor, at least this far each way, for the window to count
// as visible.
constexpr int kTitleStripHeight = 32;
constexpr int kTitleStripMinimumWidth = 120;

// Smallest window size taken back from the profile.
constexpr int kMinimumSide = 200;

bool TitleVisibleOn(const wxRect& rect, const wxRect& area) {
    const wxRect strip(rect.x, rect.y, rect.width, std::min(rect.height, kTitleStripHeight));
    const wxRect shared = strip.Intersect(area);
    return !shared.IsEmpty() && shared.width >= std::min(kTitleStripMinimumWidth, rect.width) &&
           area.Contains(wxPoint(shared.x, strip.y));
}

}  // namespace

std::optional<WindowPlacement> ReadWindowPlacement(const Profile& profile) {
    constexpr int kMissing = -1000000;
    WindowPlacement placement;
    placement.rect.x = profile.GetInt(kSection, "MainWindowLeft", kMissing);
    placement.rect.y = profile.GetInt(kSection, "MainWindowTop", kMissing);
    placement.rect.width = profile.GetInt(kSection, "MainWindowWidth", 0);
    placement.rect.height = profile.GetInt(kSection, "MainWindowHeight", 0);
    placement.maximised = profile.GetInt(kSection, "MainWindowMaximized", 0) != 0;
    if (placement.rect.x == kMissing || placement.rect.y == kMissing) return std::nullopt;
    if (placement.rect.width < kMinimumSide || placement.rect.height < kMinimumSide) return std::nullopt;
    return placement;
}

void WriteWindowPlacement(Profile& profile, const WindowPlacement& placement) {
    profile.WriteInt(kSection, "MainWindowLeft", placement.rect.x);
    profile.WriteInt(kSection, "MainWindowTop", placement.rect.y);
    profile.WriteInt(kSection, "MainWindowWidth", placement.rect.width);
    profile.WriteInt(kSection, "MainWindowHeight", placement.rect.height);
    profile.WriteInt(kSection, "MainWindowMaximized", placement.maximised ? 1 : 0);
}

wxRect KeepOnMonitors(const wxRect& rect, const std::vector<wxRect>& workAreas) {
    if (workAreas.empty()) return rect;
    wxRect placed = rect;
    const wxRect* area = nullptr;
    for (const wxRect& each : workAreas)
        if (TitleVisibleOn(rect, each)) {
            area = &each;
            break;
        }
    if (area == nullptr) {
        area = &workAreas.front();
        placed.width = std::min(placed.width, area->width);
        placed.height = std::min(placed.height, area->height);
        placed.x = area->x + (area->width - placed.width) / 2;
        placed.y = area->y + (area->height - placed.height) / 2;
        return placed;
    }
    // On a monitor: never larger than it, and the top edge not above it, so
    // the title bar stays reachable.
    placed.width = std::min(placed.width, area->width);
    placed.height = std::min(placed.height, area->height);
    placed.y = std::clamp(placed.y, area->y, area->GetBottom() + 1 - placed.height);
    placed.x = std::clamp(placed.x, area->x - placed.width + kTitleStripMinimumWidth,
                          area->GetRight() + 1 - kTitleStripMinimumWidth);
    return placed;
}

std::vector<wxRect> MonitorWorkAreas() {
    std::vector<wxRect> areas;
    const unsigned count = wxDisplay::GetCount();
    for (unsigned index = 0; index < count; ++index) {
        const wxDisplay display(index);
        const wxRect area = display.GetClientArea();
        if (area.IsEmpty()) continue;
        if (display.IsPrimary())
            areas.insert(areas.begin(), area);
        else
            areas.push_back(area);
    }
    return areas;
}

void RememberWindowPlacement(wxTopLevelWindow& window, Profile& profile) {
    auto normal = std::make_shared<wxRect>(window.GetRect());
    auto follow = [&window, normal] {
        if (!window.IsMaximized() && !window.IsIconized() && !window.IsFullScreen()) *normal = window.GetRect();
    };
    window.Bind(wxEVT_SIZE, [follow](wxSizeEvent& event) {
        event.Skip();
        follow();
    });
    window.Bind(wxEVT_MOVE, [follow](wxMoveEvent& event) {
        event.Skip();
        follow();
    });
    window.Bind(wxEVT_CLOSE_WINDOW, [&window, &profile, normal](wxCloseEvent& event) {
        event.Skip();
        WriteWindowPlacement(profile, WindowPlacement{*normal, window.IsMaximized()});
    });
    const std::optional<WindowPlacement> stored = ReadWindowPlacement(profile);
    if (!stored) return;
    const wxRect rect = KeepOnMonitors(stored->rect, MonitorWorkAreas());
    window.SetSize(rect);
    *normal = rect;
    // A window manager places a window anew when it is first shown (and
    // the toolkit reports passing places meanwhile); the place is given
    // once more after that, then the maximised state.
    const bool maximised = stored->maximised;
    auto applied = std::make_shared<bool>(false);
    window.Bind(wxEVT_SHOW, [&window, normal, rect, maximised, applied](wxShowEvent& event) {
        event.Skip();
        if (!event.IsShown() || *applied) return;
        *applied = true;
        window.CallAfter([&window, normal, rect, maximised] {
            window.SetSize(rect);
            *normal = rect;
            if (maximised) window.Maximize();
        });
    });
}

}  // namespace ridgeforge::ui
