#include "ui/framework/Dpi.h"

#include <wx/app.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

namespace ridgeforge::ui {
namespace {

// GDK and GObject are loaded with the window library; their entry points are
// looked up by name, so that no toolkit headers are needed here.
using GetDefaultFunction = void* (*)();
using GetResolutionFunction = double (*)(void*);
using NotifyCallback = void (*)(void*, void*, void*);
using ConnectFunction = unsigned long (*)(void*, const char*, NotifyCallback, void*, void*, int);

template <class Function>
Function Lookup(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

double ToolkitResolution() {
    static const auto screen = Lookup<GetDefaultFunction>("gdk_screen_get_default");
    static const auto resolution = Lookup<GetResolutionFunction>("gdk_screen_get_resolution");
    if (screen == nullptr || resolution == nullptr) return -1;
    void* defaultScreen = screen();
    return defaultScreen != nullptr ? resolution(defaultScreen) : -1;
}

std::map<int, std::function<void()>>& Watchers() {
    static auto* watchers = new std::map<int, std::function<void()>>;
    return *watchers;
}

void TellWatchers() {
    // A watcher may add or remove watchers; each one still present is told.
    std::map<int, std::function<void()>> copy = Watchers();
    for (auto& [id, changed] : copy)
        if (Watchers().count(id) != 0 && changed) changed();
}

void OnResolutionNotified(void*, void*, void*) {
    // GTK applies the new resolution in its own handler of this change; the
    // windows follow after the events already queued.
    if (wxTheApp != nullptr) wxTheApp->CallAfter([] { TellWatchers(); });
}

void ConnectOnce() {
    static bool connected = false;
    if (connected) return;
    connected = true;
    const auto settings = Lookup<GetDefaultFunction>("gtk_settings_get_default");
    const auto connect = Lookup<ConnectFunction>("g_signal_connect_data");
    void* object = settings != nullptr ? settings() : nullptr;
    if (object == nullptr || connect == nullptr) return;
    connect(object, "notify::gtk-xft-dpi", OnResolutionNotified, nullptr, nullptr, 0);
    const auto screen = Lookup<GetDefaultFunction>("gdk_screen_get_default");
    void* defaultScreen = screen != nullptr ? screen() : nullptr;
    if (defaultScreen != nullptr) connect(defaultScreen, "notify::resolution", OnResolutionNotified, nullptr, nullptr, 0);
}

}  // namespace

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>(negative ? -rounded : rounded);
}

unsigned DesktopTextDpi() {
    const double resolution = ToolkitResolution();
    if (resolution > 0) return static_cast<unsigned>(std::lround(resolution));
    const int ppi = wxGetDisplayPPI().y;
    return ppi > 0 ? static_cast<unsigned>(ppi) : 96u;
}

double WindowScale(const wxWindow* window) {
    const double scale = window != nullptr ? window->GetContentScaleFactor() : 1.0;
    return scale > 0 ? scale : 1.0;
}

unsigned EffectiveDpi(const wxWindow* window) {
    return static_cast<unsigned>(std::lround(DesktopTextDpi() * WindowScale(window)));
}

unsigned WindowDpi(const wxWindow* window) {
    return static_cast<unsigned>(std::lround(EffectiveDpi(window) / WindowScale(window)));
}

int WatchDesktopDpi(std::function<void()> changed) {
    ConnectOnce();
    static int next = 0;
    Watchers().emplace(++next, std::move(changed));
    return next;
}

void StopWatchingDesktopDpi(int watch) { Watchers().erase(watch); }

}  // namespace ridgeforge::ui
