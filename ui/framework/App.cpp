#include "ui/framework/App.h"

#include <unistd.h>
#include <wx/frame.h>
#include <wx/process.h>
#include <wx/strconv.h>
#include <wx/utils.h>

#include <cstdlib>
#include <new>
#include <system_error>
#include <utility>

#include "text/Utf8.h"

namespace ridgeforge::ui {
namespace {

Application*& CurrentSlot() {
    static Application* current = nullptr;
    return current;
}

// Tells its caller how the opener ended, then goes.
class OpenerProcess : public wxProcess {
public:
    explicit OpenerProcess(std::function<void(OpenOutcome)> ended) : ended_(std::move(ended)) {}
    void OnTerminate(int, int status) override {
        const std::function<void(OpenOutcome)> ended = std::move(ended_);
        delete this;
        if (ended) ended(OpenerOutcome(status));
    }

private:
    std::function<void(OpenOutcome)> ended_;
};

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

std::vector<std::wstring> ProgramArguments(const std::vector<std::string>& raw, const std::vector<wxString>& kept) {
    std::vector<std::wstring> arguments;
    if (raw.empty()) return arguments;
    arguments.push_back(WideFromBytesKeepingInvalid(raw[0]));
    // The library converted each argument with the locale's conversion and
    // the toolkit then took its own out, so what is kept is, in order, part
    // of the raw arguments that converted; one that did not convert never
    // reached the toolkit.
    std::size_t next = 1;
    std::vector<std::wstring> own;
    for (std::size_t index = 1; index < raw.size(); ++index) {
        const wxWCharBuffer converted = wxConvLocal.cMB2WC(raw[index].c_str());
        const bool dropped = converted.data() == nullptr;
        if (!dropped && (next >= kept.size() || kept[next] != wxString(converted))) continue;  // the toolkit's
        if (!dropped) ++next;
        own.push_back(WideFromBytesKeepingInvalid(raw[index]));
    }
    // Kept arguments that match nothing: the library did something else,
    // and every raw argument is the program's.
    if (next < kept.size()) {
        own.clear();
        for (std::size_t index = 1; index < raw.size(); ++index) own.push_back(WideFromBytesKeepingInvalid(raw[index]));
    }
    arguments.insert(arguments.end(), own.begin(), own.end());
    return arguments;
}

std::filesystem::path ExecutablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::filesystem::path FindDesktopOpener(const std::string& searchPath) {
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) end = searchPath.size();
        // An empty entry is the current folder, which is never searched here.
        if (end > start) {
            const std::filesystem::path candidate =
                std::filesystem::path(searchPath.substr(start, end - start)) / "xdg-open";
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

OpenOutcome OpenerOutcome(int exitCode) {
    if (exitCode == 0) return OpenOutcome::Opened;
    return exitCode == 3 ? OpenOutcome::NoProgramForType : OpenOutcome::Failed;
}

OpenOutcome OpenWithDefaultApplication(const std::filesystem::path& path, std::function<void(OpenOutcome)> ended) {
    const char* const searchPath = std::getenv("PATH");
    const std::filesystem::path opener = FindDesktopOpener(searchPath != nullptr ? searchPath : "");
    if (opener.empty()) return OpenOutcome::NoOpener;
    const char* const arguments[] = {opener.c_str(), path.c_str(), nullptr};
    auto* process = new OpenerProcess(std::move(ended));
    if (wxExecute(arguments, wxEXEC_ASYNC, process) == 0) {
        delete process;
        return OpenOutcome::Failed;
    }
    return OpenOutcome::Opened;
}

}  // namespace ridgeforge::ui
