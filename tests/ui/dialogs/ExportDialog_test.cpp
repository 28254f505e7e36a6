// The Save STL dialog as a person meets it, under a real X server: the
// verdict's colour read from the screen, Save and Enter, closing while a
// check runs, option changes during a check, and a worker that cannot start.
// The worker itself (RunCheck) is also run alone with made-up steps.
#include "ui/dialogs/ExportDialog.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <chrono>
#include <condition_variable>
#include <system_error>

#include "ui/app/DialogHelpPane.h"
#include "document/ExportCheck.h"
#include "document/RidgeforgeDoc.h"
#include "mesh/StlImport.h"
#include "ui/framework/BackgroundJobs.h"
#include "ui/framework/ProgressGauge.h"
#include "testing/Shapes.h"
#include "tests/document/FakeHost.h"
#include "tests/document/ExportCheckFakes.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

using ridgeforge::testing::GrabWindow;
using ridgeforge::testing::PumpEvents;
using ridgeforge::testing::PumpUntil;
using Clock = std::chrono::steady_clock;

const wxColour kGreen(0, 122, 61);
const wxColour kAmber(190, 78, 0);

// ---- made-up steps for the worker ---------------------------------------

// Holds the first cleanup until the test lets it go (or 10 s pass).
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    void Wait() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return open; });
    }
    void Open() {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
};

// What the steps were called with; shared with workers that may outlive
// the test's dialog.
struct Calls {
    std::mutex mutex;
    std::vector<mesh::ExportCleanupOptions> cleanups;
    std::vector<mesh::ExportFixOptions> fixes;
    std::size_t Cleanups() {
        const std::lock_guard lock(mutex);
        return cleanups.size();
    }
};

// Clean steps: nothing to clean, fixes that find nothing, a read-back that
// finds nothing. The cleanup waits at the gate when there is one.
ExportCheckSteps FakeSteps(const std::shared_ptr<Calls>& calls, const std::shared_ptr<Gate>& gate = nullptr,
                           std::vector<std::uint64_t> crossingLeft = {}) {
    ExportCheckSteps steps;
    steps.cleanup = [calls, gate](mesh::TriangleMesh&, float, const mesh::ExportCleanupOptions& options) {
        {
            const std::lock_guard lock(calls->mutex);
            calls->cleanups.push_back(options);
        }
        if (gate) gate->Wait();
        return mesh::ExportCleanupReport{};
    };
    steps.fixes = [calls, crossingLeft](mesh::TriangleMesh&, const mesh::ExportFixOptions& options,
                                        const mesh::FixStageCallback& stage, std::uint64_t) {
        std::size_t round = 0;
        {
            const std::lock_guard lock(calls->mutex);
            round = calls->fixes.size();
            calls->fixes.push_back(options);
        }
        if (stage) stage("Splitting non-manifold edges");
        mesh::ExportFixReport report{};
        if (round < crossingLeft.size()) {
            report.selfIntersectionsRan = true;
            report.selfIntersectingLeft = crossingLeft[round];
        }
        return report;
    };
    steps.readBack = test::CleanReadBack;
    return steps;
}

int CountOf(const std::wstring& text, const std::wstring& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// ---- the worker alone ------------------------------------------------------

struct Posted {
    std::vector<std::pair<int, std::uint32_t>> messages;
};

TEST(ExportCheckRunCheck, PostsStagesThenDoneAndPublishesTheRounds) {
    Posted posted;
    const ui::UiTargetToken target =
        ui::MakeUiTarget([&](int message, std::uint32_t job) { posted.messages.emplace_back(message, job); });
    const auto calls = std::make_shared<Calls>();
    const auto cube = std::make_shared<mesh::TriangleMesh>(test::MakeBox({0, 0, 0}, {20, 20, 20}));

    // Fixes off: one round, one read-back line.
    ExportCheckInputs inputs;
    inputs.fixes = {false, false, false, false, 40, 1.0f};
    auto shared = std::make_shared<CExportDialog::Shared>();
    ++ui::BackgroundJobCount();
    CExportDialog::RunCheck(
        shared, target, 7, cube, inputs,
        [](const mesh::TriangleMesh& m, std::wstring& text) {
            text += L"  ok      " + std::to_wstring(m.TriangleCount()) + L" triangles\n";
            return true;
        },
        FakeSteps(calls));
    EXPECT_EQ(ui::BackgroundJobCount().load(), 0);
    EXPECT_EQ(calls->Cleanups(), 1u);
    EXPECT_TRUE(calls->fixes.empty());
    EXPECT_EQ(shared->report,
              L"Cleanup: nothing to do.\r\n\r\n"
              L"Read back as a slicer reads it: 12 triangles, nothing a slicer would refuse.\r\n\r\n"
              L"  ok      12 triangles\r\n");
    EXPECT_TRUE(shared->checksPassed);
    EXPECT_EQ(shared->mesh.TriangleCount(), 12u);
    EXPECT_EQ(shared->progress, L"Checking the file: edges, crossings, how it prints...");
    ASSERT_TRUE(
        PumpUntil([&] { return !posted.messages.empty() && posted.messages.back().first == kExportDoneMessage; }));
    EXPECT_EQ(posted.messages.size(), 4u);  // cleaning, reading back, checking, done
    for (const auto& [message, job] : posted.messages) EXPECT_EQ(job, 7u);

    // Fixes on, crossings left 5, 3, 3: a third round, and no fourth.
    posted.messages.clear();
    inputs.fixes = {false, false, true, false, 40, 1.0f};
    shared = std::make_shared<CExportDialog::Shared>();
    ++ui::BackgroundJobCount();
    CExportDialog::RunCheck(shared, target, 8, cube, inputs, nullptr,
                            FakeSteps(std::make_shared<Calls>(), nullptr, {5, 3, 3}));
    EXPECT_EQ(CountOf(shared->report, L"Read back as a slicer reads it:"), 3);
    EXPECT_EQ(CountOf(shared->report, L"5 triangles still pass through others - fixed again.\r\n"), 1);
    EXPECT_EQ(CountOf(shared->report, L"3 triangles still pass through others - fixed again.\r\n"), 1);
    EXPECT_FALSE(shared->checksPassed);  // no check function
    EXPECT_EQ(ui::BackgroundJobCount().load(), 0);
    target->Retire();  // what is still queued must not reach this test's gone recorder
}

TEST(ExportCheckRunCheck, ACancelledOrFailedCheckEndsCleanly) {
    Posted posted;
    const ui::UiTargetToken target =
        ui::MakeUiTarget([&](int message, std::uint32_t job) { posted.messages.emplace_back(message, job); });
    const auto cube = std::make_shared<mesh::TriangleMesh>(test::MakeBox({0, 0, 0}, {20, 20, 20}));

    auto shared = std::make_shared<CExportDialog::Shared>();
    shared->cancel = true;
    ++ui::BackgroundJobCount();
    CExportDialog::RunCheck(shared, target, 1, cube, {}, nullptr, FakeSteps(std::make_shared<Calls>()));
    EXPECT_EQ(ui::BackgroundJobCount().load(), 0);
    EXPECT_TRUE(shared->report.empty());

    // A step that throws would end the program from a worker; it ends the
    // check with the reason instead, and no mesh to save.
    shared = std::make_shared<CExportDialog::Shared>();
    ExportCheckSteps throwing = FakeSteps(std::make_shared<Calls>());
    throwing.readBack = [](mesh::TriangleMesh&) -> mesh::SlicerReadBackReport {
        throw std::runtime_error("no memory");
    };
    ++ui::BackgroundJobCount();
    CExportDialog::RunCheck(shared, target, 2, cube, {}, nullptr, throwing);
    EXPECT_EQ(ui::BackgroundJobCount().load(), 0);
    EXPECT_EQ(shared->report, L"The check failed: no memory\r\n");
    EXPECT_TRUE(shared->mesh.indices.empty());
    ASSERT_TRUE(PumpUntil([&] { return !posted.messages.empty(); }));
    PumpEvents(30);
    EXPECT_EQ(posted.messages.back(), std::make_pair(kExportDoneMessage, 2u));
    for (const auto& [message, job] : posted.messages) EXPECT_NE(job, 1u);  // the cancelled one said nothing
    target->Retire();
}

// ---- the dialog on screen --------------------------------------------------

// Runs `script` inside the modal loop of the next Save STL dialog; a dialog
// the script left open is cancelled.
void DuringDialog(std::function<void(CExportDialog&)> script) {
    wxTheApp->CallAfter([script = std::move(script)]() mutable {
        CExportDialog* open = nullptr;
        const bool found = PumpUntil([&] {
            for (wxWindow* window : wxTopLevelWindows) {
                auto* dialog = dynamic_cast<CExportDialog*>(window);
                if (dialog != nullptr && dialog->IsModal() && dialog->IsShownOnScreen()) open = dialog;
            }
            return open != nullptr;
        });
        ASSERT_TRUE(found);
        PumpEvents(50);
        script(*open);
        if (open->IsModal()) open->EndModal(wxID_CANCEL);
    });
}

int RunWith(CExportDialog& dialog, std::function<void(CExportDialog&)> script) {
    DuringDialog(std::move(script));
    return dialog.ShowModal();
}

template <class T>
T& Get(wxWindow& dialog, int id) {
    return *static_cast<T*>(dialog.FindWindow(id));
}

void Click(wxWindow& dialog, int id) {
    wxWindow* button = dialog.FindWindow(id);
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

void Toggle(wxWindow& dialog, int id) {
    auto& box = Get<wxCheckBox>(dialog, id);
    box.SetValue(!box.GetValue());
    wxCommandEvent event(wxEVT_CHECKBOX, id);
    event.SetEventObject(&box);
    event.SetInt(box.GetValue() ? 1 : 0);
    box.ProcessWindowEvent(event);
}

std::wstring ReportBox(wxWindow& dialog) {
    return Get<wxTextCtrl>(dialog, CExportDialog::kReportId).GetValue().ToStdWstring();
}
std::wstring StageLabel(wxWindow& dialog) {
    return Get<wxStaticText>(dialog, CExportDialog::kStageId).GetLabel().ToStdWstring();
}

bool Idle(CExportDialog& dialog) {
    return PumpUntil([&] { return !dialog.Busy(); }, 20000);
}

// Pixels of exactly the colour in the summary line as the screen shows it.
int SummaryPixels(CExportDialog& dialog, const wxColour& colour) {
    PumpEvents(100);
    const wxImage shot = GrabWindow(Get<wxWindow>(dialog, CExportDialog::kSummaryId));
    int count = 0;
    for (int y = 0; y < shot.GetHeight(); ++y)
        for (int x = 0; x < shot.GetWidth(); ++x)
            count += shot.GetRed(x, y) == colour.Red() && shot.GetGreen(x, y) == colour.Green() &&
                     shot.GetBlue(x, y) == colour.Blue();
    return count;
}

bool ChecksOfCube(const mesh::TriangleMesh& m, std::wstring& text) {
    return ExportCheckReport(m, mesh::DisplacementBase{}, text);
}

class ExportDialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        // A worker left running by a closed dialog must not reach the next test.
        EXPECT_LT(ui::WaitForBackgroundJobs(5000), 5000.0);
        EXPECT_EQ(ui::BackgroundJobCount().load(), 0);
    }
    mesh::TriangleMesh cube_ = test::MakeBox({0, 0, 0}, {20, 20, 20});
};

// A host that shows the real dialog and saves where the test says.
class DialogHost : public test::FakeHost {
public:
    bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) override {
        return ShowExportDialog(nullptr, request, result, DetailedLog());
    }
};

TEST_F(ExportDialogTest, ACleanCubeIsGreenAndSaveWritesTheCheckedMesh) {
    DialogHost host;
    CRidgeforgeDoc doc(&host);
    doc.OnTestCube();
    doc.remeshEnabled = doc.displacementEnabled = doc.simplifyEnabled = false;
    doc.OnSettingsChanged();
    test::TempDir dir("export-dialog");
    const std::filesystem::path file = dir / "cube.stl";
    host.saveChoices.push_back(file.wstring());

    std::wstring summary;
    int green = 0;
    int amber = 0;
    bool helpShown = false;
    DuringDialog([&](CExportDialog& dialog) {
        ASSERT_TRUE(Idle(dialog));
        summary = dialog.SummaryText();
        green = SummaryPixels(dialog, kGreen);
        amber = SummaryPixels(dialog, kAmber);
        helpShown = dialog.FindWindow(kHelpPaneId) != nullptr;
        EXPECT_EQ(Get<wxWindow>(dialog, CExportDialog::kSummaryId).GetFont().GetNumericWeight(), 600);
        EXPECT_EQ(StageLabel(dialog), L"The file as it will be written:");
        EXPECT_TRUE(Get<wxButton>(dialog, wxID_OK).IsEnabled());
        Click(dialog, wxID_OK);
    });
    ASSERT_TRUE(doc.OnFileSaveStl());
    EXPECT_EQ(summary, L"Ready to save: no problems found.");
    EXPECT_GT(green, 20);
    EXPECT_EQ(amber, 0);
    EXPECT_TRUE(helpShown);

    const mesh::StlImportResult read = mesh::LoadStlFile(file, {});
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.mesh.TriangleCount(), 12u);
    EXPECT_TRUE(test::IsClosedOrientedManifold(read.mesh));
    EXPECT_EQ(host.CountLogged(L"Read back as a slicer reads it: 12 triangles, nothing a slicer would refuse."), 1);
}

TEST_F(ExportDialogTest, ProblemsAreAmberAndWithoutAChecksTheCheckIsNotPassed) {
    CExportDialog dialog(nullptr);
    dialog.meshToWrite = &cube_;
    dialog.note =
        L"The part has not been processed with the current settings (Needs: relief). The part as "
        L"shown is what will be saved.";
    dialog.check = [](const mesh::TriangleMesh&, std::wstring& text) {
        text += L"  ok      Edges\r\n  PROBLEM  Open edges: 4 \r\n  note    Support\r\n";
        return false;
    };
    RunWith(dialog, [&](CExportDialog& d) {
        ASSERT_TRUE(Idle(d));
        EXPECT_EQ(d.SummaryText(), L"1 problem found: Open edges: 4.");
        EXPECT_GT(SummaryPixels(d, kAmber), 20);
        EXPECT_EQ(SummaryPixels(d, kGreen), 0);
        EXPECT_TRUE(Get<wxWindow>(d, CExportDialog::kNoteId).IsShown());

        // With every fix off a check is one round: one read-back line.
        for (const int id :
             {CExportDialog::kSplitId, CExportDialog::kUnfoldId, CExportDialog::kCrossingsId, CExportDialog::kCrumbsId})
            Toggle(d, id);
        // The check function goes: nothing passed, nothing named.
        d.check = nullptr;
        Toggle(d, CExportDialog::kWeldId);
        ASSERT_TRUE(Idle(d));
        EXPECT_EQ(CountOf(d.ReportText(), L"Read back as a slicer reads it:"), 1);
        EXPECT_EQ(CountOf(d.ReportText(), L"Fixes:"), 0);
        EXPECT_EQ(d.SummaryText(), L"Not checked: see below.");
        EXPECT_GT(SummaryPixels(d, kAmber), 20);
    });
}

TEST_F(ExportDialogTest, AnEmptyMeshStartsNoWorkerAndCannotBeSaved) {
    const mesh::TriangleMesh empty;
    CExportDialog dialog(nullptr);
    dialog.meshToWrite = &empty;
    int starts = 0;
    dialog.threadStarter = [&](std::function<void()> work) {
        ++starts;
        return std::thread(std::move(work));
    };
    const int result = RunWith(dialog, [&](CExportDialog& d) {
        EXPECT_FALSE(d.Busy());
        EXPECT_EQ(ReportBox(d), L"There is no mesh to save.");
        EXPECT_EQ(d.SummaryText(), L"");
        EXPECT_FALSE(Get<wxButton>(d, wxID_OK).IsEnabled());
        // No note: the report box reaches 20 dialog units higher, its bottom stays.
        EXPECT_FALSE(Get<wxWindow>(d, CExportDialog::kNoteId).IsShown());
        const wxRect report = Get<wxWindow>(d, CExportDialog::kReportId).GetRect();
        EXPECT_NEAR(report.GetTop(), d.ConvertDialogToPixels(wxPoint(0, 162)).y, 1);
        EXPECT_NEAR(report.GetBottom() + 1, d.ConvertDialogToPixels(wxPoint(0, 282)).y, 1);
        Click(d, wxID_OK);  // Enter reaches OK even so: still nothing to save
        PumpEvents(50);
        EXPECT_TRUE(d.IsModal());
        Click(d, wxID_CANCEL);
    });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(starts, 0);
}

TEST_F(ExportDialogTest, ClosingMidCheckReturnsAtOnceAndHearsNothingMore) {
    const auto calls = std::make_shared<Calls>();
    const auto gate = std::make_shared<Gate>();
    Clock::time_point closed;
    {
        CExportDialog dialog(nullptr);
        dialog.meshToWrite = &cube_;
        dialog.steps = FakeSteps(calls, gate);
        const int result = RunWith(dialog, [&](CExportDialog& d) {
            ASSERT_TRUE(PumpUntil([&] { return StageLabel(d) == L"Cleaning up the mesh..."; }));
            auto& bar = Get<ui::ProgressGauge>(d, CExportDialog::kProgressId);
            EXPECT_TRUE(bar.IsShown());
            const long pulses = bar.PulseCount();
            PumpEvents(200);
            EXPECT_GE(bar.PulseCount() - pulses, 2);  // the marquee moves while the worker waits
            EXPECT_FALSE(Get<wxButton>(d, wxID_OK).IsEnabled());
            EXPECT_EQ(ui::BackgroundJobCount().load(), 1);
            closed = Clock::now();
            Click(d, wxID_CANCEL);
        });
        EXPECT_LT(Clock::now() - closed, std::chrono::milliseconds(500));
        EXPECT_EQ(result, wxID_CANCEL);
        EXPECT_EQ(ui::BackgroundJobCount().load(), 1);  // the worker still runs: exit would wait for it

        gate->Open();
        EXPECT_LT(ui::WaitForBackgroundJobs(5000), 5000.0);
        PumpEvents(200);
        EXPECT_EQ(StageLabel(dialog), L"Cleaning up the mesh...");
        EXPECT_EQ(ReportBox(dialog),
                  L"Checking the part before it is saved. On a large part this takes a little while.");
        EXPECT_TRUE(dialog.ReportText().empty());
    }
    PumpEvents(50);
}

TEST_F(ExportDialogTest, TwoChangesDuringACheckRestartItOnceWithTheLatestOptions) {
    const auto calls = std::make_shared<Calls>();
    const auto gate = std::make_shared<Gate>();
    CExportDialog dialog(nullptr);
    dialog.meshToWrite = &cube_;
    dialog.steps = FakeSteps(calls, gate);
    RunWith(dialog, [&](CExportDialog& d) {
        ASSERT_TRUE(PumpUntil([&] { return calls->Cleanups() == 1; }));
        Toggle(d, CExportDialog::kWeldId);
        Toggle(d, CExportDialog::kSplitId);
        EXPECT_EQ(calls->Cleanups(), 1u);
        gate->Open();
        ASSERT_TRUE(PumpUntil([&] { return calls->Cleanups() == 2 && !d.Busy(); }));
        PumpEvents(300);
        EXPECT_FALSE(d.Busy());

        // Leaving a field that still holds the checked value checks nothing again.
        wxFocusEvent leave(wxEVT_KILL_FOCUS, CExportDialog::kHoleSizeId);
        Get<wxTextCtrl>(d, CExportDialog::kHoleSizeId).ProcessWindowEvent(leave);
        PumpEvents(100);
        EXPECT_FALSE(d.Busy());
        EXPECT_EQ(calls->Cleanups(), 2u);
    });
    const std::lock_guard lock(calls->mutex);
    ASSERT_EQ(calls->cleanups.size(), 2u);
    EXPECT_TRUE(calls->cleanups[0].weldCollapsedTriangles);
    EXPECT_FALSE(calls->cleanups[1].weldCollapsedTriangles);
    ASSERT_EQ(calls->fixes.size(), 2u);
    EXPECT_TRUE(calls->fixes[0].splitNonManifoldEdges);
    EXPECT_FALSE(calls->fixes[1].splitNonManifoldEdges);
}

TEST_F(ExportDialogTest, ATypedHoleSizeAndEnterCheckAgainAndSave) {
    const auto calls = std::make_shared<Calls>();
    CExportDialog dialog(nullptr);
    dialog.meshToWrite = &cube_;
    dialog.check = ChecksOfCube;
    dialog.steps = FakeSteps(calls);
    const int result = RunWith(dialog, [&](CExportDialog& d) {
        ASSERT_TRUE(Idle(d));
        d.Raise();
        PumpEvents(100);
        // Real input from the X server: click into the field, replace its
        // text and press Enter.
        wxTextCtrl& field = Get<wxTextCtrl>(d, CExportDialog::kHoleSizeId);
        wxUIActionSimulator input;
        input.MouseMove(field.ClientToScreen(wxPoint(field.GetClientSize().x / 2, field.GetClientSize().y / 2)));
        PumpEvents(60);
        input.MouseClick();
        PumpEvents(100);
        input.Char('a', wxMOD_CONTROL);
        input.Text("2.5");
        PumpEvents(60);
        ASSERT_EQ(field.GetValue(), "2.5");
        input.Char(WXK_RETURN);
        PumpUntil([&] { return !d.IsModal(); }, 10000);
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(dialog.cleanupOptions.maximumHoleMillimetres, 2.5f);
    const std::lock_guard lock(calls->mutex);
    ASSERT_EQ(calls->cleanups.size(), 2u);
    EXPECT_EQ(calls->cleanups[1].maximumHoleMillimetres, 2.5f);
    EXPECT_EQ(dialog.CheckedMesh().TriangleCount(), 12u);
}

TEST_F(ExportDialogTest, AWorkerThatCannotStartLeavesNothingRunning) {
    CExportDialog dialog(nullptr);
    dialog.meshToWrite = &cube_;
    dialog.threadStarter = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "no thread");
    };
    const int result = RunWith(dialog, [&](CExportDialog& d) {
        EXPECT_EQ(ui::BackgroundJobCount().load(), 0);
        EXPECT_FALSE(d.Busy());
        EXPECT_FALSE(Get<wxButton>(d, wxID_OK).IsEnabled());
        EXPECT_FALSE(Get<wxWindow>(d, CExportDialog::kProgressId).IsShown());
        const std::wstring report = ReportBox(d);
        EXPECT_EQ(report.rfind(L"The check could not start: no thread", 0), 0u) << wxString(report);
        Click(d, wxID_OK);
        PumpEvents(50);
        EXPECT_TRUE(d.IsModal());
        Click(d, wxID_CANCEL);
    });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_TRUE(dialog.CheckedMesh().indices.empty());
}

}  // namespace
}  // namespace ridgeforge
