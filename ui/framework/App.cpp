#include "ui/framework/App.h"

#include <wx/frame.h>
#include <wx/utils.h>

#include <new>
#include <system_error>

namespace ridgeforge::ui {
namespace {

Application*& CurrentSlot() {
    static Application* current = nullptr;
    return current;
}

}  // namespace

Application::Application() { CurrentSlot() = this; }

Application::~Application() {
    if (CurrentSlot() == this) CurrentSlot() = nullptr;
}

bool Application::OnIdle(long) { return false; }

int Application::ExitInstance() { return 0; }

void Application::OnOutOfMemory() {}

Application* Application::Current() { return CurrentSlot(); }

IdleDriver::IdleDriver(Application& application) : application_(application) {
    wxTheApp->Bind(wxEVT_IDLE, &IdleDriver::OnIdleEvent, this);
}

IdleDriver::~IdleDriver() {
    if (wxTheApp != nullptr) wxTheApp->Unbind(wxEVT_IDLE, &IdleDriver::OnIdleEvent, this);
}

void IdleDriver::OnIdleEvent(wxIdleEvent& event) {
    event.Skip();
    count_ = wantedMore_ ? count_ + 1 : 0;
    wantedMore_ = application_.OnIdle(count_);
    if (wantedMore_) event.RequestMore();
}

AppHost::AppHost(std::function<std::unique_ptr<Application>()> factory) : factory_(std::move(factory)) {}

AppHost::~AppHost() = default;

bool AppHost::OnInit() {
    application_ = factory_();
    if (!application_) return false;
    idle_ = std::make_unique<IdleDriver>(*application_);
    if (!application_->InitInstance()) {
        idle_.reset();
        return false;
    }
    return true;
}

int AppHost::OnExit() {
    int code = 0;
    idle_.reset();
    if (application_) code = application_->ExitInstance();
    application_.reset();
    wxApp::OnExit();
    return code;
}

bool AppHost::OnExceptionInMainLoop() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        if (application_) application_->OnOutOfMemory();
        return true;
    } catch (...) {
        return wxApp::OnExceptionInMainLoop();
    }
}

std::filesystem::path ExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

bool OpenWithDefaultApplication(const std::filesystem::path& path) {
    return wxLaunchDefaultApplication(wxString::FromUTF8(path.string().c_str()));
}

}  // namespace ridgeforge::ui
