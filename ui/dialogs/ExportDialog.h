// The modal "Save STL" dialog between the Save STL commands and the STL
// writer. As soon as it opens, and after every change of an option, it copies
// the mesh and checks the copy on a worker thread (RunExportCheck: cleanup,
// fixes and read-back in up to three rounds, then the caller's check
// function); meanwhile it shows the stage and a marquee, afterwards a
// one-line verdict in green or amber and the report. "Save..." ends it with
// wxID_OK only once a finished check of the options as shown has supplied
// the mesh to write.
//
// The worker reaches the dialog only through a UiPost liveness token, which
// the dialog retires when it ends; a dialog closed mid-check sets the
// worker's cancel flag and lets it finish alone (the application waits for it
// at exit through BackgroundJobCount).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <wx/dialog.h>

#include "document/DocumentHost.h"
#include "document/ExportCheckWorker.h"
#include "ui/framework/UiPost.h"

class wxButton;
class wxCheckBox;
class wxStaticText;
class wxTextCtrl;

namespace ridgeforge {

namespace ui {
class ProgressGauge;
}
class CMarkdownTextCtrl;

// The worker's messages to the dialog, each with the job number.
inline constexpr int kExportProgressMessage = 0x8029;
inline constexpr int kExportDoneMessage = 0x802a;

class CExportDialog : public wxDialog {
public:
    // Control ids; "Save..." is wxID_OK and "Cancel" wxID_CANCEL.
    enum : int {
        kWeldId = 1001,
        kFillHolesId,
        kHoleSizeId,
        kSlitWidthId,
        kSplitId,
        kUnfoldId,
        kCrossingsId,
        kCrumbsId,
        kNoteId,
        kStageId,
        kProgressId,
        kSummaryId,
        kReportId,
    };

    // What the dialog and its worker both hold; it outlives whichever lets go
    // last. The mutex guards everything but the cancel flag.
    struct Shared {
        std::mutex mutex;
        std::wstring progress;
        mesh::TriangleMesh mesh;
        mesh::ExportCleanupReport cleanup;
        mesh::ExportFixReport fixes;
        std::wstring report;
        bool checksPassed = false;
        double seconds = 0.0;
        std::atomic<bool> cancel{false};
    };

    // Starts a thread running the given work; throws std::system_error when
    // the thread cannot be made.
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    explicit CExportDialog(wxWindow* parent);
    ~CExportDialog() override;

    // Inputs, set before ShowModal. The mesh is not owned and must outlive
    // the dialog's ShowModal.
    const mesh::TriangleMesh* meshToWrite = nullptr;
    float weldTolerance = 0.0f;
    mesh::ExportCleanupOptions cleanupOptions{true, true, 5.0f, 0.5f};
    mesh::ExportFixOptions fixOptions{true, true, true, true, 40, 1.0f};
    std::uint64_t bodyCount = 0;
    std::wstring note;  // empty when the part is up to date
    ExportCheckFunction check;
    bool detailedLog = false;
    // Replaceable for tests: the rounds' steps and how the worker starts.
    ExportCheckSteps steps;
    ThreadStarter threadStarter;

    // Opens the dialog (the first time it also lays out the note, the
    // options and the help column and starts the first check).
    int ShowModal() override;
    void EndModal(int returnCode) override;

    // The results of the last finished check (after wxID_OK: of the options
    // as they are now).
    const mesh::TriangleMesh& CheckedMesh() const { return checkedMesh_; }
    mesh::TriangleMesh TakeCheckedMesh() { return std::move(checkedMesh_); }
    const std::wstring& ReportText() const { return reportText_; }
    bool ChecksPassed() const { return checksPassed_; }
    bool Busy() const { return busy_; }
    const std::wstring& SummaryText() const { return summaryText_; }
    bool SummaryGood() const { return summaryGood_; }

    // The worker: checks the copy and publishes into `shared`, posting
    // progress and done to `target` unless cancelled; lowers
    // BackgroundJobCount on every way out.
    static void RunCheck(std::shared_ptr<Shared> shared, ui::UiTargetToken target, std::uint32_t job,
                         std::shared_ptr<mesh::TriangleMesh> mesh, ExportCheckInputs inputs, ExportCheckFunction check,
                         ExportCheckSteps steps);

    void StartCheck();

private:
    void CreateControls();
    void OnInitDialog();
    void UpdateOptions();
    void ReadOptions();
    void OnOptionChanged();
    bool OptionsAsChecked() const;
    void OnOK();
    void OnMessage(int message, std::uint32_t job);
    void OnProgress(std::uint32_t job);
    void OnCheckDone(std::uint32_t job);
    void ShowSummary();
    void ShowReport(const std::wstring& text);
    void ShowBusy(bool busy);
    void StopWorker();
    wxWindow* Control(int id) const;

    std::wstring summaryText_;
    bool summaryGood_ = true;
    std::shared_ptr<Shared> shared_;
    ui::UiTargetToken target_;
    std::thread worker_;
    std::uint32_t job_ = 0;
    bool busy_ = false;
    bool restartRequested_ = false;
    bool saveAfterCheck_ = false;
    double checkSeconds_ = 0.0;
    mesh::ExportCleanupOptions checkedCleanup_{};
    mesh::ExportFixOptions checkedFixes_{};
    bool haveCheckedOptions_ = false;
    ui::ProgressGauge* progress_ = nullptr;
    mesh::TriangleMesh checkedMesh_;
    mesh::ExportCleanupReport checkedCleanupReport_;
    mesh::ExportFixReport checkedFixReport_;
    std::wstring reportText_;
    bool checksPassed_ = false;
    bool checkFinished_ = false;  // the results above come from a finished check
    bool updating_ = false;
    bool initialised_ = false;
    bool closing_ = false;               // ending: focus changes start nothing
    CMarkdownTextCtrl* help_ = nullptr;  // a child: the window destroys it
};

// The document host's export dialog: shows CExportDialog over `parent` with
// the request and, on wxID_OK, fills the result. True on wxID_OK.
bool ShowExportDialog(wxWindow* parent, const ExportDialogRequest& request, ExportDialogResult& result,
                      bool detailedLog);

}  // namespace ridgeforge
