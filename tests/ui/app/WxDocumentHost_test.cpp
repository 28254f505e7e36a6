#include "ui/app/WxDocumentHost.h"

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/filehistory.h>
#include <wx/utils.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "ui/commands/CommandIds.h"
#include "ui/framework/Profile.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

TEST(WxDocumentHostText, PickerFilterAndDefaultExtension) {
    EXPECT_EQ(FileDialogWildcard(L"STL files (*.stl)|*.stl|All files (*.*)|*.*||"),
              "STL files (*.stl)|*.stl|All files (*.*)|*.*");
    EXPECT_EQ(FileDialogWildcard(L"Projects (*.rgproj)|*.rgproj"), "Projects (*.rgproj)|*.rgproj");
    EXPECT_EQ(WithDefaultExtension(L"/parts/cup", L"stl"), L"/parts/cup.stl");
    EXPECT_EQ(WithDefaultExtension(L"/parts/cup.STL", L"stl"), L"/parts/cup.STL");
    EXPECT_EQ(WithDefaultExtension(L"/parts.v2/cup", L"stl"), L"/parts.v2/cup.stl");  // a dot in a folder
    EXPECT_EQ(WithDefaultExtension(L"", L"stl"), L"");
}

class WxDocumentHostTest : public ShellTest {};

// The document's host writes to the main window's panes, answers for the
// application, and cancels the dialogs that are not built yet.
TEST_F(WxDocumentHostTest, PanesApplicationAndCancelledDialogs) {
    ASSERT_TRUE(Start());
    DocumentHost& host = *Document().Host();
    host.AddLogLine(L"Validate: 12 open edges", LogKind::Warning);
    EXPECT_EQ(LogLines().back(), L"Validate: 12 open edges");
    host.ShowInformation(L"Saved.", InfoKind::Good);
    EXPECT_EQ(Frame().Information().Message(), L"Saved.");
    EXPECT_EQ(Frame().Information().MessageKind(), InfoKind::Good);
    host.ClearLog();
    EXPECT_EQ(Frame().OutputLog().LineCount(), 0u);

    EXPECT_FALSE(host.DetailedLog());
    ui::SendCommand(&Frame(), ID_DETAILED_LOG);
    EXPECT_TRUE(host.DetailedLog());

    mesh::TriangleMesh part;
    mesh::RemeshSettings chosen;
    // The remesh input and export dialogs are built: the user cancels each.
    const auto cancelNextModal = [this] {
        Frame().CallAfter([] {
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog != nullptr && dialog->IsModal())
                    dialog->EndModal(wxID_CANCEL);
        });
    };
    cancelNextModal();
    EXPECT_FALSE(host.RunRemeshInputDialog(mesh::RemeshSettings{}, part, 0, chosen));
    ExportDialogResult result;
    cancelNextModal();
    EXPECT_FALSE(host.RunExportDialog(ExportDialogRequest{}, result));

    host.AddToRecentFiles(L"/parts/a.stl");
    EXPECT_EQ(App().Profile().RecentFiles().GetCount(), 1u);
    host.BeginWaitCursor();
    EXPECT_TRUE(wxIsBusy());
    host.EndWaitCursor();
    EXPECT_FALSE(wxIsBusy());

    const auto part2 = Scratch().Path() / "b.stl";
    std::ofstream(part2) << "solid b\nendsolid b\n";
    EXPECT_TRUE(host.OpenDocumentFile(part2.wstring()));
    EXPECT_EQ(Document().opened.back(), part2.wstring());
    EXPECT_EQ(Document().GetPathName(), part2.wstring());
}

// The host waits for a job with the windows painting: the document's tick
// runs meanwhile, the wait ends when the job does, and nobody pressed
// Escape, so the job is not asked to stop.
TEST_F(WxDocumentHostTest, WaitForJobTicksUntilTheJobEnds) {
    ASSERT_TRUE(Start());
    DocumentHost& host = *Document().Host();
    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};
    std::thread job([&done] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        done = true;
    });
    int ticks = 0;
    host.WaitForJob([&done] { return done.load(); }, [&ticks] { ++ticks; }, stop);
    EXPECT_TRUE(done);
    job.join();
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(stop);
}

}  // namespace
}  // namespace ridgeforge::testing
