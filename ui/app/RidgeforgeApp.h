// The application object: starts the program (splash, profile, document,
// main window, command line), polls the processing pipeline on idle passes,
// waits a bounded time for background jobs at exit, and owns the commands
// New, Open STL, the recent files, Detailed Log, User Manual and About.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/app/ShellDocument.h"
#include "ui/framework/App.h"

namespace ridgeforge {

namespace ui {
class Profile;
class SingleDocManager;
class View;
}  // namespace ui

class CMainFrame;
class WxDocumentHost;

class CRidgeforgeApp : public ui::Application {
public:
    using DocumentFactory = std::function<std::unique_ptr<ShellDocument>(DocumentHost& host)>;
    using ViewFactory = std::function<std::unique_ptr<ui::View>()>;

    struct Options {
        // The document (MakeRidgeforgeDocument in the program).
        DocumentFactory makeDocument;
        // The view in the middle of the window; a plain area when empty.
        ViewFactory makeView;
        // The command line, the program's name first.
        std::vector<std::wstring> arguments;
        // Where the splash image, the manual and the help pages are looked
        // for; the program's folder when empty.
        std::filesystem::path programFolder;
    };

    explicit CRidgeforgeApp(Options options);
    ~CRidgeforgeApp() override;

    bool InitInstance() override;
    bool OnIdle(long count) override;
    int ExitInstance() override;
    void OnOutOfMemory() override;

    // The running application object, or null.
    static CRidgeforgeApp* Get();

    CMainFrame* Frame() const { return frame_; }
    ShellDocument* Document() const { return document_.get(); }
    ui::Profile& Profile() const { return *profile_; }
    ui::SingleDocManager* DocManager() const { return docManager_.get(); }
    const std::filesystem::path& ProgramFolder() const { return programFolder_; }

    bool DetailedLog() const { return detailedLog_; }
    bool FirstIdleDone() const { return firstIdleDone_; }
    // Milliseconds ExitInstance waited for background jobs.
    double ExitWaitMilliseconds() const { return exitWaitMilliseconds_; }

    // Opens a part or project as the document (asking to save first).
    bool OpenDocumentFile(const CString& path);

    // Commands.
    void OnFileNew();
    void OnFileOpen();
    // index: the place in the recent-files list, 0 first.
    void OnOpenRecentFile(int index);
    void OnDetailedLog();
    void OnUserManual();
    void OnAppAbout();

    // The text of the About box's version line.
    static CString VersionLine();
    // The application's name everywhere it is shown.
    static constexpr const wchar_t* kAppName = L"Ruvolta";

private:
    void FirstIdle();

    Options options_;
    std::filesystem::path programFolder_;
    std::unique_ptr<ui::Profile> profile_;
    std::unique_ptr<WxDocumentHost> host_;
    std::unique_ptr<ShellDocument> document_;
    std::unique_ptr<ui::View> view_;
    std::unique_ptr<ui::SingleDocManager> docManager_;
    CMainFrame* frame_ = nullptr;
    bool firstIdleDone_ = false;
    bool detailedLog_ = false;
    double exitWaitMilliseconds_ = 0;
};

// What the log and the Information pane say when the manual beside the
// program did not open, naming the cause where the opener told it.
CString ManualNotOpenedMessage(ui::OpenOutcome outcome, const std::filesystem::path& path);

}  // namespace ridgeforge
