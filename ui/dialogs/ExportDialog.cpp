// The Save STL dialog. Its controls are placed in dialog units, converted
// with the dialog's own font, so the layout grows with a wider face. One
// check runs at a time; a change while it runs asks for one restart, which
// takes the options as they are when the running check ends. Each check has
// its own job number and shared state, so a message of an earlier check is
// recognised and ignored.
#include "ui/dialogs/ExportDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <new>
#include <system_error>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/ExportDialogText.h"
#include "ui/framework/BackgroundJobs.h"
#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/ProgressGauge.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

constexpr wchar_t kStageIdle[] = L"The file as it will be written:";
constexpr int kNoteDialogUnits = 20;

std::atomic<std::uint32_t>& JobCounter() {
    static std::atomic<std::uint32_t> counter{0};
    return counter;
}

// Shown with "\n" breaks: the text control keeps what it is given, and a
// "\r" would show as a character of its own.
wxString DisplayText(const std::wstring& text) {
    std::wstring shown;
    shown.reserve(text.size());
    for (const wchar_t c : text)
        if (c != L'\r') shown += c;
    return wxString(shown);
}

std::thread StartThread(std::function<void()> work) { return std::thread(std::move(work)); }

// Lowers the job count however the worker ends.
struct JobCountRelease {
    JobCountRelease() = default;
    JobCountRelease(const JobCountRelease&) = delete;
    JobCountRelease& operator=(const JobCountRelease&) = delete;
    ~JobCountRelease() { --ui::BackgroundJobCount(); }
};

}  // namespace

CExportDialog::CExportDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Save STL", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
    SetFont(ui::GetUiFont(ui::Normal, ui::WindowDpi(parent != nullptr ? parent : this)));
    CreateControls();
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, wxID_OK);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnOptionChanged(); }, kWeldId, kCrumbsId);
    for (const int id : {kHoleSizeId, kSlitWidthId}) {
        Control(id)->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
            event.Skip();
            OnOptionChanged();
        });
    }
}

CExportDialog::~CExportDialog() {
    StopWorker();
    if (worker_.joinable()) worker_.join();
}

wxWindow* CExportDialog::Control(int id) const { return FindWindow(id); }

void CExportDialog::CreateControls() {
    const auto at = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
    const auto size = [this](int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); };
    const auto checkBox = [&](int id, const char* label, int y) {
        new wxCheckBox(this, id, label, at(14, y), size(300, 12));
    };
    const auto text = [&](const char* label, int x, int y, int w) {
        new wxStaticText(this, wxID_ANY, label, at(x, y), size(w, 9));
    };

    new wxStaticBox(this, wxID_ANY, "Before saving", at(7, 4), size(316, 122));
    checkBox(kWeldId, "Weld collapsed triangles", 18);
    checkBox(kFillHolesId, "Close gaps in the mesh (missing triangles; designed holes are kept)", 32);
    text("up to", 26, 48, 24);
    new wxTextCtrl(this, kHoleSizeId, "", at(52, 46), size(34, 13));
    text("mm across, and slits up to", 90, 48, 112);
    new wxTextCtrl(this, kSlitWidthId, "", at(204, 46), size(34, 13));
    text("mm wide", 242, 48, 60);
    checkBox(kSplitId, "Fix non-manifold edges (split where two solids touch)", 66);
    checkBox(kUnfoldId, "Fix folded-over triangles (relax the relief where it turned over)", 80);
    checkBox(kCrossingsId, "Fix self-intersections (relax the relief where it passes through)", 94);
    checkBox(kCrumbsId, "Remove stray crumbs (bodies too small to print)", 108);

    new wxStaticText(this, kNoteId, "", at(7, 131), size(316, 18), wxST_NO_AUTORESIZE);
    new wxStaticText(this, kStageId, kStageIdle, at(7, 156), size(190, 9), wxST_NO_AUTORESIZE);
    progress_ = new ui::ProgressGauge(this, kProgressId, 100);
    progress_->SetPosition(at(203, 155));
    progress_->SetSize(size(120, 9));
    progress_->Hide();
    new wxStaticText(this, kSummaryId, "", at(7, 169), size(316, 10), wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    new wxTextCtrl(this, kReportId, "", at(7, 182), size(316, 100), wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL);

    auto* save = new wxButton(this, wxID_OK, "Save...", at(211, 288), size(54, 14));
    new wxButton(this, wxID_CANCEL, "Cancel", at(269, 288), size(54, 14));
    save->SetDefault();
    SetClientSize(size(330, 308));
}

int CExportDialog::ShowModal() {
    closing_ = false;
    target_ = ui::MakeUiTarget([this](int message, std::uint32_t job) { OnMessage(message, job); });
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    return wxDialog::ShowModal();
}

void CExportDialog::EndModal(int returnCode) {
    closing_ = true;
    StopWorker();
    wxDialog::EndModal(returnCode);
}

void CExportDialog::StopWorker() {
    // Retired first: whatever the worker already queued is dropped.
    if (target_) target_->Retire();
    if (worker_.joinable()) {
        if (shared_) shared_->cancel.store(true);
        worker_.detach();
    }
    if (progress_ != nullptr) progress_->StopMarquee();
}

void CExportDialog::OnInitDialog() {
    auto* noteText = static_cast<wxStaticText*>(Control(kNoteId));
    if (note.empty()) {
        noteText->Hide();
        const int up = ConvertDialogToPixels(wxSize(0, kNoteDialogUnits)).y;
        for (const int id : {kStageId, kProgressId, kSummaryId})
            Control(id)->Move(Control(id)->GetPosition() - wxPoint(0, up));
        wxWindow* report = Control(kReportId);
        const wxRect box = report->GetRect();
        report->SetSize(box.x, box.y - up, box.width, box.height + up);
    } else {
        noteText->SetLabelText(wxString(note));  // an "&" is text, not a mnemonic
        noteText->Wrap(noteText->GetSize().x);
    }

    wxFont semibold = GetFont();
    semibold.SetNumericWeight(600);
    Control(kSummaryId)->SetFont(semibold);

    UpdateOptions();
    help_ = AddDialogHelpPane(*this, LoadHelpPage(L"export"));
    StartCheck();
}

void CExportDialog::UpdateOptions() {
    updating_ = true;
    const auto set = [this](int id, bool on) { static_cast<wxCheckBox*>(Control(id))->SetValue(on); };
    set(kWeldId, cleanupOptions.weldCollapsedTriangles);
    set(kFillHolesId, cleanupOptions.fillHoles);
    set(kSplitId, fixOptions.splitNonManifoldEdges);
    set(kUnfoldId, fixOptions.unfoldTriangles);
    set(kCrossingsId, fixOptions.resolveSelfIntersections);
    set(kCrumbsId, fixOptions.removeCrumbs);
    ui::SetDlgItemFloat(this, kHoleSizeId, cleanupOptions.maximumHoleMillimetres);
    ui::SetDlgItemFloat(this, kSlitWidthId, cleanupOptions.maximumSlitWidthMillimetres);
    Control(kHoleSizeId)->Enable(cleanupOptions.fillHoles);
    Control(kSlitWidthId)->Enable(cleanupOptions.fillHoles);
    updating_ = false;
}

void CExportDialog::ReadOptions() {
    const auto on = [this](int id) { return static_cast<wxCheckBox*>(Control(id))->GetValue(); };
    const auto millimetres = [this](int id, float current) {
        return std::max(0.0f, ui::GetDlgItemFloat(this, id, current));
    };
    cleanupOptions.weldCollapsedTriangles = on(kWeldId);
    cleanupOptions.fillHoles = on(kFillHolesId);
    cleanupOptions.maximumHoleMillimetres = millimetres(kHoleSizeId, cleanupOptions.maximumHoleMillimetres);
    cleanupOptions.maximumSlitWidthMillimetres = millimetres(kSlitWidthId, cleanupOptions.maximumSlitWidthMillimetres);
    fixOptions.splitNonManifoldEdges = on(kSplitId);
    fixOptions.unfoldTriangles = on(kUnfoldId);
    fixOptions.resolveSelfIntersections = on(kCrossingsId);
    fixOptions.removeCrumbs = on(kCrumbsId);
}

bool CExportDialog::OptionsAsChecked() const {
    return haveCheckedOptions_ && cleanupOptions == checkedCleanup_ && fixOptions == checkedFixes_;
}

void CExportDialog::OnOptionChanged() {
    if (updating_ || closing_ || !initialised_) return;
    ReadOptions();
    UpdateOptions();
    // Leaving a field without changing it checks nothing again: the running
    // or finished check is already of these options.
    if (OptionsAsChecked() && (busy_ || checkFinished_)) {
        if (busy_) restartRequested_ = false;
        return;
    }
    StartCheck();
}

void CExportDialog::StartCheck() {
    if (busy_) {
        restartRequested_ = true;
        return;
    }
    checkedMesh_ = {};
    checkedCleanupReport_ = {};
    checkedFixReport_ = {};
    reportText_.clear();
    checksPassed_ = false;
    checkFinished_ = false;
    summaryText_.clear();
    summaryGood_ = true;
    Control(kSummaryId)->SetLabel("");
    Control(wxID_OK)->Enable(false);

    if (meshToWrite == nullptr || meshToWrite->vertices.empty()) {
        reportText_ = L"There is no mesh to save.";
        ShowReport(reportText_);
        saveAfterCheck_ = false;
        return;
    }
    if (worker_.joinable()) worker_.join();
    checkedCleanup_ = cleanupOptions;
    checkedFixes_ = fixOptions;
    haveCheckedOptions_ = true;
    job_ = ++JobCounter();
    shared_ = std::make_shared<Shared>();

    ShowBusy(true);
    Control(kStageId)->SetLabel("Copying the part...");
    ShowReport(L"Checking the part before it is saved. On a large part this takes a little while.");
    auto copy = std::make_shared<mesh::TriangleMesh>(*meshToWrite);
    ExportCheckInputs inputs;
    inputs.weldToleranceMillimetres = weldTolerance;
    inputs.cleanup = cleanupOptions;
    inputs.fixes = fixOptions;
    inputs.bodyCount = bodyCount;

    // Raised before the thread can run, so that the worker's lowering never
    // comes first; taken back when no thread came to lower it.
    ++ui::BackgroundJobCount();
    try {
        const ThreadStarter& start = threadStarter ? threadStarter : ThreadStarter(StartThread);
        worker_ = start([shared = shared_, target = target_, job = job_, copy = std::move(copy), inputs,
                         checkFunction = check, stepsCopy = steps]() mutable {
            RunCheck(std::move(shared), std::move(target), job, std::move(copy), inputs, std::move(checkFunction),
                     std::move(stepsCopy));
        });
    } catch (const std::exception& error) {
        --ui::BackgroundJobCount();
        ShowBusy(false);
        Control(wxID_OK)->Enable(false);
        restartRequested_ = false;
        saveAfterCheck_ = false;
        reportText_ = L"The check could not start: " + WideFromUtf8(error.what());
        ShowReport(reportText_);
    }
}

void CExportDialog::RunCheck(std::shared_ptr<Shared> shared, ui::UiTargetToken target, std::uint32_t job,
                             std::shared_ptr<mesh::TriangleMesh> mesh, ExportCheckInputs inputs,
                             ExportCheckFunction check, ExportCheckSteps steps) {
    const JobCountRelease release;
    const auto stage = [&](const std::wstring& text) {
        {
            const std::lock_guard lock(shared->mutex);
            shared->progress = text;
        }
        if (!shared->cancel.load()) ui::UiPost(target, kExportProgressMessage, job);
    };
    ExportCheckResult result;
    try {
        result = RunExportCheck(std::move(*mesh), inputs, stage, check, shared->cancel, steps);
    } catch (const std::bad_alloc&) {
        result = {};
        result.report = L"The check failed: there was not enough memory for it.\r\n";
    } catch (const std::exception& error) {
        // A throw would end the program from this thread; the user reads it
        // in the report instead, and nothing can be saved.
        result = {};
        result.report = L"The check failed: " + WideFromUtf8(error.what()) + L"\r\n";
    }
    mesh.reset();
    if (result.stopped || shared->cancel.load()) return;
    {
        const std::lock_guard lock(shared->mutex);
        shared->mesh = std::move(result.mesh);
        shared->cleanup = result.cleanup;
        shared->fixes = std::move(result.fixes);
        shared->report = std::move(result.report);
        shared->checksPassed = result.checksPassed;
        shared->seconds = result.seconds;
    }
    if (!shared->cancel.load()) ui::UiPost(target, kExportDoneMessage, job);
}

void CExportDialog::OnMessage(int message, std::uint32_t job) {
    if (message == kExportProgressMessage) OnProgress(job);
    if (message == kExportDoneMessage) OnCheckDone(job);
}

void CExportDialog::OnProgress(std::uint32_t job) {
    if (job != job_ || !busy_ || !shared_) return;
    std::wstring text;
    {
        const std::lock_guard lock(shared_->mutex);
        text = shared_->progress;
    }
    static_cast<wxStaticText*>(Control(kStageId))->SetLabelText(wxString(text));
}

void CExportDialog::OnCheckDone(std::uint32_t job) {
    if (job != job_ || !shared_) return;
    if (worker_.joinable()) worker_.join();
    {
        const std::lock_guard lock(shared_->mutex);
        checkedMesh_ = std::move(shared_->mesh);
        checkedCleanupReport_ = shared_->cleanup;
        checkedFixReport_ = std::move(shared_->fixes);
        reportText_ = std::move(shared_->report);
        checksPassed_ = shared_->checksPassed;
        checkSeconds_ = shared_->seconds;
    }
    checkFinished_ = !checkedMesh_.indices.empty();
    ShowReport(ShownExportReport(reportText_, checkSeconds_, detailedLog));
    ShowSummary();
    ShowBusy(false);
    Control(wxID_OK)->Enable(checkFinished_);
    if (restartRequested_) {
        restartRequested_ = false;
        StartCheck();
    } else if (saveAfterCheck_) {
        saveAfterCheck_ = false;
        if (checkFinished_) EndModal(wxID_OK);
    }
}

void CExportDialog::ShowSummary() {
    const ExportSummary summary = SummarizeExportReport(reportText_, checksPassed_);
    summaryText_ = summary.text;
    summaryGood_ = summary.good;
    auto* line = static_cast<wxStaticText*>(Control(kSummaryId));
    line->SetForegroundColour(summaryGood_ ? wxColour(0, 122, 61) : wxColour(190, 78, 0));
    line->SetLabelText(wxString(summaryText_));
    line->Refresh();
}

void CExportDialog::ShowReport(const std::wstring& text) {
    static_cast<wxTextCtrl*>(Control(kReportId))->ChangeValue(DisplayText(text));
}

void CExportDialog::ShowBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        progress_->Show();
        progress_->StartMarquee();
        return;
    }
    progress_->StopMarquee();
    progress_->Hide();
    Control(kStageId)->SetLabel(kStageIdle);
}

void CExportDialog::OnOK() {
    if (busy_ || closing_) return;
    ReadOptions();
    if (!OptionsAsChecked()) {
        UpdateOptions();
        saveAfterCheck_ = true;
        StartCheck();
        return;
    }
    // Only a finished check hands over a mesh; without one there is nothing
    // to save.
    if (checkFinished_) EndModal(wxID_OK);
}

bool ShowExportDialog(wxWindow* parent, const ExportDialogRequest& request, ExportDialogResult& result,
                      bool detailedLog) {
    CExportDialog dialog(parent);
    dialog.meshToWrite = request.mesh;
    dialog.weldTolerance = request.weldTolerance;
    dialog.cleanupOptions = request.cleanup;
    dialog.fixOptions = request.fixes;
    dialog.bodyCount = request.bodyCount;
    dialog.note = request.warning;
    dialog.check = request.check;
    dialog.detailedLog = detailedLog;
    if (dialog.ShowModal() != wxID_OK) return false;
    result.mesh = dialog.TakeCheckedMesh();
    result.cleanup = dialog.cleanupOptions;
    result.fixes = dialog.fixOptions;
    result.report = dialog.ReportText();
    result.checksPassed = dialog.ChecksPassed();
    return true;
}

}  // namespace ridgeforge
