// The view inside the running program: the main window's Information pane
// and status-bar panes 2 and 3 show what the view puts there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/statusbr.h>

#include "app/MainFrame.h"
#include "app/RidgeforgeApp.h"
#include "app/ShellDocument.h"
#include "document/RidgeforgeDoc.h"
#include "platform/ui/App.h"
#include "platform/ui/StartupMarks.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "view/RidgeforgeView.h"

namespace ridgeforge::testing {
namespace {

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : scratch_("view-shell") {
        environment_.Set("XDG_CONFIG_HOME", (scratch_.Path() / "config").string());
        environment_.Set("HOME", (scratch_.Path() / "home").string());
        environment_.Unset("XDG_DOCUMENTS_DIR");
        std::filesystem::create_directories(scratch_.Path() / "home");
        std::filesystem::create_directories(scratch_.Path() / "program");
        CRidgeforgeApp::Options options;
        options.arguments.push_back(L"ridgeforge");
        options.programFolder = scratch_.Path() / "program";
        options.makeDocument = [](DocumentHost& host) { return MakeRidgeforgeDocument(host); };
        ui::ClearStartupPhases();
        app_ = std::make_unique<CRidgeforgeApp>(std::move(options));
        idle_ = std::make_unique<ui::IdleDriver>(*app_);
        started_ = app_->InitInstance();
        if (started_ && app_->Frame() != nullptr) {
            app_->Frame()->SetSize(wxRect(0, 0, 1280, 800));
            PumpEvents(500);
        }
    }
    ~ProgramTest() override {
        if (app_->Frame() != nullptr) {
            app_->Frame()->Destroy();
            PumpEvents(50);
        }
        app_->ExitInstance();
        idle_.reset();
        app_.reset();
        PumpEvents(20);
    }
    CMainFrame& Frame() { return *app_->Frame(); }
    CRidgeforgeDoc& Doc() { return *app_->Document()->RidgeforgeDoc(); }
    wxString Pane(int field) {
        auto* bar = Frame().GetStatusBar();
        return bar != nullptr ? bar->GetStatusText(field) : wxString();
    }

    test::ScopedEnvironment environment_;
    test::TempDir scratch_;
    std::unique_ptr<CRidgeforgeApp> app_;
    std::unique_ptr<ui::IdleDriver> idle_;
    bool started_ = false;
};

TEST_F(ProgramTest, EmptyThenACubeWithTheToolAndFrameTimesInTheStatusBar) {
    ASSERT_TRUE(started_);
    EXPECT_EQ(Frame().Information().InformationText(), L"No mesh loaded.\r\n\r\nUse File > Open STL to load one.");
    EXPECT_EQ(Pane(kStatusTool), "Tool: none (orbit)");
    // Nothing uploaded: no frame time.
    EXPECT_EQ(Pane(kStatusFrame), "");

    Doc().OnTestCube();
    EXPECT_TRUE(PumpUntil(
        [&] {
            Frame().Refresh();
            return !Pane(kStatusFrame).empty();
        },
        5000));
    EXPECT_THAT(Pane(kStatusFrame).ToStdString(), ::testing::MatchesRegex("(GPU )?[0-9]+[.][0-9] ms  [|]  [0-9]+ fps"));
    EXPECT_EQ(Frame().Information().InformationText(), Doc().MeshInformationReport());
    auto* view = dynamic_cast<CRidgeforgeView*>(&app_->DocManager()->GetView());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->hintVisible);

    // The viewport outlives New: the same window, empty again.
    wxWindow* area = view->Window();
    ASSERT_TRUE(app_->DocManager()->OnFileNew());
    PumpEvents(200);
    EXPECT_EQ(view->Window(), area);
    EXPECT_TRUE(view->hintVisible);
    EXPECT_EQ(Frame().Information().InformationText(), L"No mesh loaded.\r\n\r\nUse File > Open STL to load one.");
}

}  // namespace
}  // namespace ridgeforge::testing
