// The program's main window: the menu bar, the toolbar, the status bar with
// the job's progress, and three fixed panes round the view: "Workflow" on the left
// (340 dip wide), "Output" at the bottom (130 dip high) and "Information" on
// the right (240 dip wide). It shows the pipeline's progress while a run
// goes, opens files dropped on it, keeps the panes at their design sizes
// when the DPI changes, and routes commands view, document, frame,
// application.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ui/app/LeftPane.h"
#include "ui/app/OutputSinks.h"
#include "ui/app/PaneContents.h"
#include "document/pipeline/AsyncPipeline.h"
#include "ui/framework/Commands.h"

class wxStatusBar;
class wxTimer;

namespace ridgeforge {

namespace ui {
class ProgressGauge;
class View;
}  // namespace ui

class CRidgeforgeApp;
class CAppToolbarPane;
class IViewShell;

// Status bar fields, in order.
enum StatusField : int {
    kStatusMessage = 0,
    kStatusProgress = 1,
    kStatusTool = 2,
    kStatusFrame = 3,
    kStatusCaps = 4,
    kStatusNum = 5,
    kStatusScroll = 6,
    kStatusFieldCount = 7
};

class CMainFrame : public ui::CommandFrame {
public:
    // Makes the window with its menus, status bar and panes (hidden; the
    // application shows it). `view` is shown in the middle.
    CMainFrame(CRidgeforgeApp& app, ui::View& view);
    ~CMainFrame() override;

    // The job's stage, percentage and draft mark in the status bar, and the
    // progress bar (a position, or a marquee without a fraction). Only what
    // changed is set.
    void ShowJobProgress(const mesh::PipelineStatus& status);
    void HideJobProgress();

    // A drop: the first part or project opens, then the first image becomes
    // its texture; other files are named in a warning.
    void OpenDroppedFiles(const std::vector<std::filesystem::path>& paths);

    // Panes and status bar at a new DPI (a move to another monitor).
    void SetDpi(unsigned dpi);
    unsigned Dpi() const { return dpi_; }
    void LayoutStatusBar();

    // The log and the Information pane.
    IOutputLog& OutputLog() { return *log_; }
    IInformationPane& Information() { return *information_; }
    void Log(const CString& text, LogKind kind = LogKind::Auto);
    // Warning in the log and amber in the Information pane.
    void Warn(const CString& text);

    // The view's status texts (tool, frame time); set only when changed.
    void SetToolText(const wxString& text);
    void SetFrameText(const wxString& text);

    CLeftPane& LeftPane() { return *left_; }
    CStaticPane& OutputPane() { return *output_; }
    CStaticPane& RightPane() { return *right_; }
    wxWindow& ViewArea() { return *viewArea_; }
    CAppToolbarPane& ToolbarPane() { return *toolbar_; }
    ui::ProgressGauge* Gauge() { return gauge_; }
    const wxString& JobText() const { return lastJobText_; }
    // How many times the status bar's job text or the progress position was
    // set (a steady state adds none).
    long StatusUpdates() const { return statusUpdates_; }

    std::vector<const CommandTable*> CommandRoute() const override;
    CommandId KeyCommand(int keyCode, int modifiers) const override;
    // Reload Textures: the texture section reads the library's folders again.
    void OnReloadTextures();
    const CommandTable& Commands() const { return commands_; }

protected:
    bool TryBefore(wxEvent& event) override;

private:
    bool CreateDockingWindows();
    void UpdateLockIndicators();
    void OnDpiChangedEvent(wxDPIChangedEvent& event);

    CRidgeforgeApp& app_;
    ui::View& view_;
    // What the view asks of the frame; made before the view's window.
    std::unique_ptr<IViewShell> viewShell_;
    CommandTable commands_;
    wxStatusBar* statusBar_ = nullptr;
    CAppToolbarPane* toolbar_ = nullptr;
    ui::ProgressGauge* gauge_ = nullptr;
    wxString lastJobText_;
    wxString lastFrameText_;
    wxString lastToolText_;
    std::array<int, 3> statusWidths_{-1, -1, -1};
    int lastProgressPosition_ = -1;
    bool progressShown_ = false;
    bool progressDeterminate_ = true;
    long statusUpdates_ = 0;
    unsigned dpi_ = 96;
    int dpiWatch_ = 0;
    CLeftPane* left_ = nullptr;
    CStaticPane* output_ = nullptr;
    CStaticPane* right_ = nullptr;
    wxWindow* viewArea_ = nullptr;
    IOutputLog* log_ = nullptr;
    IInformationPane* information_ = nullptr;
    wxTimer* lockTimer_ = nullptr;
    std::array<bool, 3> lockStates_{false, false, false};
    bool escapeInTextField_ = false;
};

// The menu bar; `recentFiles` is the File menu's place for the recent files.
wxMenuBar* BuildMainMenu(wxMenu*& recentFiles);

}  // namespace ridgeforge
