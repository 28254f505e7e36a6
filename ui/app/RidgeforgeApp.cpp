#include "ui/app/RidgeforgeApp.h"
#include "ui/commands/AppCommands.h"

#include <wx/filedlg.h>
#include <wx/filehistory.h>
#include <wx/frame.h>
#include <wx/weakref.h>

#include <system_error>

#include "ui/app/AboutDialog.h"
#include "ui/app/MainFrame.h"
#include "ui/commands/CommandIds.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/app/WxDocumentHost.h"
#include "platform/KnownFolders.h"
#include "ui/framework/BackgroundJobs.h"
#include "ui/framework/DocView.h"
#include "ui/framework/FirstShow.h"
#include "ui/framework/Profile.h"
#include "ui/framework/Splash.h"
#include "ui/framework/StartupMarks.h"
#include "ui/framework/WindowPlacement.h"
#include "textures/UserFolderMigration.h"
#include "text/PathText.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

constexpr const char* kVendor = "Fernwhistle";
constexpr const char* kProfileName = "Ruvolta";
constexpr const wchar_t* kOpenFilter = L"STL Files (*.stl)|*.stl|All Files (*.*)|*.*||";

CString Widen(const std::string& utf8) { return WideFromUtf8(utf8); }

}  // namespace

CString ManualNotOpenedMessage(ui::OpenOutcome outcome, const std::filesystem::path& path) {
    switch (outcome) {
        case ui::OpenOutcome::NoOpener:
            return L"The manual could not be opened, as there is no program here to open files with (xdg-open is "
                   L"not installed): " +
                   WideFromPath(path);
        case ui::OpenOutcome::NoProgramForType:
            return L"The manual could not be opened, as no program for PDF files is installed: " + WideFromPath(path);
        default:
            return L"The manual could not be opened: " + WideFromPath(path);
    }
}

CRidgeforgeApp::CRidgeforgeApp(Options options) : options_(std::move(options)) {
    programFolder_ = options_.programFolder.empty() ? platform::ExecutableFolder() : options_.programFolder;
    AddAppCommands(commands_, *this);
}

CRidgeforgeApp::~CRidgeforgeApp() {
    if (frame_ != nullptr) {
        CMainFrame* frame = frame_;
        frame_ = nullptr;
        SetMainWindow(nullptr);
        delete frame;
    }
    ui::CloseSplashWindow();
    docManager_.reset();
    view_.reset();
    document_.reset();
}

CRidgeforgeApp* CRidgeforgeApp::Get() { return dynamic_cast<CRidgeforgeApp*>(ui::Application::Current()); }

CString CRidgeforgeApp::VersionLine() { return CString(kAppName) + L", Version 1.0"; }

bool CRidgeforgeApp::InitInstance() {
    ui::MarkStartupPhase("InitInstance entered (the shared libraries loaded)");
    if (ui::ShowSplashWindow(programFolder_ / "resources" / "splash.png")) ui::MarkStartupPhase("the splash shown");
    ui::MarkStartupPhase("the toolkit, common controls, the application");

    profile_ = std::make_unique<ui::Profile>(kVendor, kProfileName, 4, ui::WxIdOf(ID_FILE_MRU_FIRST));
    host_ = std::make_unique<WxDocumentHost>(*this);
    if (options_.makeDocument) document_ = options_.makeDocument(*host_);
    if (options_.makeView) {
        view_ = options_.makeView();
    } else {
        view_ = std::make_unique<CRidgeforgeView>();
    }
    if (!document_ || !view_) return false;
    docManager_ = std::make_unique<ui::SingleDocManager>(document_->Base(), *view_, [this](const CString& title) {
        if (frame_ != nullptr) frame_->SetTitle(wxString(ShownName(title)) + " - " + kAppName);
    });
    ui::MarkStartupPhase("profile, menus, tooltips, the document template");

    detailedLog_ = profile_->GetInt("Log", "Detailed", 0) != 0;
    const std::string migration = MigrateUserFolder(platform::DocumentsFolder());

    frame_ = new CMainFrame(*this, *view_);
    SetMainWindow(frame_);
    frame_->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
        if (event.CanVeto() && document_ && !document_->Base().SaveModified()) {
            event.Veto();
            return;
        }
        event.Skip();
    });
    // Where the window was at the last exit, on a monitor that is there now.
    ui::RememberWindowPlacement(*frame_, *profile_);
    frame_->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == frame_) {
            frame_ = nullptr;
            SetMainWindow(nullptr);
        }
        event.Skip();
    });

    // The file named on the command line opens before the window is shown;
    // one that cannot be opened leaves an empty document (the document has
    // logged why) instead of ending the program.
    const std::optional<CString> file = ui::CommandLineFile(options_.arguments);
    if (!file || !docManager_->OpenDocumentFile(*file)) docManager_->OnFileNew();
    ui::MarkStartupPhase("the main window, its panes and the view made (ProcessShellCommand)");

    ui::AllocateBeforeFirstShow(*frame_);
    frame_->Show();
    frame_->Update();
    if (!migration.empty()) frame_->Log(Widen(migration), LogKind::Auto);
    ui::MarkStartupPhase("shown and painted once");
    return true;
}

void CRidgeforgeApp::FirstIdle() {
    firstIdleDone_ = true;
    if (ui::IsSplashShown()) {
        ui::CloseSplashWindow();
        if (frame_ != nullptr) frame_->Raise();
    }
    ui::MarkStartupPhase("first idle: ready");
    const std::string table = ui::FormatStartupTable(ui::StartupPhases());
    if (detailedLog_ && frame_ != nullptr) frame_->Log(Widen(table), LogKind::Auto);
}

bool CRidgeforgeApp::OnIdle(long) {
    if (!firstIdleDone_) FirstIdle();
    if (frame_ == nullptr || !document_) return false;
    // The document retitles itself without an Open (a test shape, Save As);
    // the frame follows on the next idle pass.
    const CString& title = document_->Base().GetTitle();
    if (!title.empty()) {
        const wxString wanted = wxString(ShownName(title)) + " - " + kAppName;
        if (frame_->GetTitle() != wanted) frame_->SetTitle(wanted);
    }
    if (document_->PollPipeline()) return true;
    if (!document_->PipelineRunning()) {
        frame_->HideJobProgress();
        return false;
    }
    // While a run goes, more idle passes keep the poll going until it ends.
    frame_->ShowJobProgress(document_->PipelineStatus());
    return true;
}

void CRidgeforgeApp::OnOutOfMemory() {
    if (!host_) return;
    const CString text = L"There was not enough memory for that step. It was not finished.";
    host_->AddLogLine(text, LogKind::Error);
    host_->ShowInformation(text, InfoKind::Problem);
}

int CRidgeforgeApp::ExitInstance() {
    exitWaitMilliseconds_ = ui::WaitForBackgroundJobs(5000, 10);
    return 0;
}

bool CRidgeforgeApp::OpenDocumentFile(const CString& path) {
    return docManager_ != nullptr && docManager_->OpenDocumentFile(path);
}

void CRidgeforgeApp::OnFileNew() {
    if (docManager_) docManager_->OnFileNew();
}

void CRidgeforgeApp::OnFileOpen() {
    wxFileDialog dialog(frame_, "Open", wxString(), wxString(), FileDialogWildcard(kOpenFilter),
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    OpenDocumentFile(dialog.GetPath().ToStdWstring());
}

void CRidgeforgeApp::OnDetailedLog() {
    detailedLog_ = !detailedLog_;
    profile_->WriteInt("Log", "Detailed", detailedLog_ ? 1 : 0);
    if (frame_ != nullptr)
        frame_->Log(detailedLog_ ? L"Detailed log on: every step reports its timings and counts from now on."
                                 : L"Detailed log off.",
                    LogKind::Auto);
}

void CRidgeforgeApp::OnUserManual() {
    const std::filesystem::path path = programFolder_ / "Ruvolta_Manual.pdf";
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        if (frame_ != nullptr) frame_->Warn(L"The manual is not beside the program: " + WideFromPath(path));
        return;
    }
    // The opener may only find out later that nothing opens a PDF; the
    // window may be gone by then.
    const wxWeakRef<CMainFrame> frame(frame_);
    const auto warn = [frame, path](ui::OpenOutcome outcome) {
        if (outcome != ui::OpenOutcome::Opened && frame) frame->Warn(ManualNotOpenedMessage(outcome, path));
    };
    warn(ui::OpenWithDefaultApplication(path, warn));
}

void CRidgeforgeApp::OnAppAbout() {
    CAboutDlg dialog(frame_);
    dialog.ShowModal();
}

void CRidgeforgeApp::OnOpenRecentFile(int index) {
    wxFileHistory& history = profile_->RecentFiles();
    if (index < 0 || static_cast<size_t>(index) >= history.GetCount()) return;
    // As the class library does: a recent file that no longer opens leaves
    // the list.
    if (!OpenDocumentFile(history.GetHistoryFile(static_cast<size_t>(index)).ToStdWstring()))
        profile_->RemoveRecentFile(index);
}

}  // namespace ridgeforge
