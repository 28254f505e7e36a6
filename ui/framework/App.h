// The application object as the desktop designs describe it: start-up in
// InitInstance, work on idle passes (OnIdle with a pass count, asking for
// more passes by returning true) and clean-up in ExitInstance, hosted by the
// window library's application (AppHost) in the program and driven by an
// IdleDriver in tests, where the test harness owns the window library's
// application.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

#include "ui/framework/Commands.h"

class wxFrame;

namespace ridgeforge::ui {

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up; false ends the program.
    virtual bool InitInstance() = 0;
    // One idle pass; `count` is 0 on the first pass after other events and
    // grows while the previous pass asked for more. True asks for another.
    virtual bool OnIdle(long count);
    // Clean-up after the main window is gone; the program's exit code.
    virtual int ExitInstance();
    // Memory ran out inside an event handler and no command caught it: the
    // program goes on, and this tells the user.
    virtual void OnOutOfMemory();

    // The application's commands, last on the route.
    const CommandTable& Commands() const { return commands_; }

    wxFrame* MainWindow() const { return mainWindow_; }
    void SetMainWindow(wxFrame* frame) { mainWindow_ = frame; }

    // The one application object of the process, or null.
    static Application* Current();

protected:
    CommandTable commands_;

private:
    wxFrame* mainWindow_ = nullptr;
};

// Calls the application's OnIdle on the window library's idle events for
// its life, counting passes and asking for more while OnIdle wants them.
class IdleDriver {
public:
    explicit IdleDriver(Application& application);
    ~IdleDriver();
    IdleDriver(const IdleDriver&) = delete;
    IdleDriver& operator=(const IdleDriver&) = delete;

private:
    void OnIdleEvent(wxIdleEvent& event);

    Application& application_;
    long count_ = 0;
    bool wantedMore_ = false;
};

// The window library's application for the program: makes the application
// object, runs its InitInstance from OnInit, its OnIdle on idle events and
// its ExitInstance from OnExit.
class AppHost : public wxApp {
public:
    explicit AppHost(std::function<std::unique_ptr<Application>()> factory);
    ~AppHost() override;
    bool OnInit() override;
    int OnExit() override;
    // The last resort for an exception that left an event handler: running
    // out of memory there ends that handler's work, not the program (each
    // command catches it itself; this is for one that was missed). Any
    // other exception ends the program as the window library does.
    bool OnExceptionInMainLoop() override;

private:
    std::function<std::unique_ptr<Application>()> factory_;
    std::unique_ptr<Application> application_;
    std::unique_ptr<IdleDriver> idle_;
};

// The program's own arguments, its name first, as the wide strings the
// windows use (every byte kept, text/PathText.h). `raw` is the command line
// as the process got it; `kept` what the window library left of it after
// taking the toolkit's own options (--display and the like) out and dropping
// what it could not convert under the locale (a name that is not UTF-8) or
// converting it through the locale (every letter outside ASCII under the C
// locale). The toolkit's options stay out; everything else comes from the
// raw bytes.
std::vector<std::wstring> ProgramArguments(const std::vector<std::string>& raw, const std::vector<wxString>& kept);

// The running program's own file (/proc/self/exe), or empty.
std::filesystem::path ExecutablePath();

// The desktop's opener of files (xdg-open) in the first folder of
// `searchPath` (a PATH value: folders split by ':') that holds it as an
// executable file; empty when none does.
std::filesystem::path FindDesktopOpener(const std::string& searchPath);

// How handing a file to the desktop's opener went.
enum class OpenOutcome {
    Opened,            // started, and when it has ended, it ended well
    NoOpener,          // no opener is installed
    NoProgramForType,  // the opener knows no program for the file's type
    Failed,            // the opener could not start, or it failed
};

// What the opener's exit code tells: 0 opened; 3, a tool it needs is
// missing (on a desktop, the program for the file's type); else failed.
OpenOutcome OpenerOutcome(int exitCode);

// Hands `path` to the desktop's opener found along $PATH, without waiting
// for it: NoOpener or Failed when it could not be started; else Opened,
// and `ended` is called with what the opener's exit tells once it ends
// (it keeps running while the viewer it started stays open).
OpenOutcome OpenWithDefaultApplication(const std::filesystem::path& path, std::function<void(OpenOutcome)> ended);

}  // namespace ridgeforge::ui
