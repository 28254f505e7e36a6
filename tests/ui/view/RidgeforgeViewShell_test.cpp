// The view inside the running program: the main window's Information pane
// and status-bar panes 2 and 3 show what the view puts there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/app/RightPane.h"
#include "ui/app/ShellDocument.h"
#include "document/RidgeforgeDoc.h"
#include "ui/commands/CommandIds.h"
#include "ui/commands/ViewCommands.h"
#include "ui/framework/App.h"
#include "ui/framework/Commands.h"
#include "ui/framework/StartupMarks.h"
#include "tests/ui/app/ShellFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "ui/view/RidgeforgeView.h"

namespace ridgeforge::testing {
namespace {

class ProgramTest : public ProgramShellTest {
protected:
    ProgramTest() : ProgramShellTest(200) {}
    wxString Pane(int field) {
        auto* bar = Frame().GetStatusBar();
        return bar != nullptr ? bar->GetStatusText(field) : wxString();
    }
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
    auto* view = dynamic_cast<CRidgeforgeView*>(&App().DocManager()->GetView());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->hintVisible);

    // The viewport outlives New: the same window, empty again.
    wxWindow* area = view->Window();
    ASSERT_TRUE(App().DocManager()->OnFileNew());
    PumpEvents(200);
    EXPECT_EQ(view->Window(), area);
    EXPECT_TRUE(view->hintVisible);
    EXPECT_EQ(Frame().Information().InformationText(), L"No mesh loaded.\r\n\r\nUse File > Open STL to load one.");
}

// The view reaches the frame's panes through what the frame handed it: Mesh
// Information brings a hidden Information pane back and puts the keyboard
// in its text; the mask panel is owned by the main window.
TEST_F(ProgramTest, MeshInformationAndTheMaskPanelReachTheFrame) {
    ASSERT_TRUE(started_);
    Doc().OnTestCube();
    PumpEvents(100);
    Frame().RightPane().Hide();
    Frame().Layout();
    Frame().Information().SetInformationText(L"");
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MESH_INFORMATION));
    PumpEvents(100);
    EXPECT_TRUE(Frame().RightPane().IsShown());
    EXPECT_EQ(Frame().Information().InformationText(), Doc().MeshInformationReport());
    auto* pane = dynamic_cast<CRightPaneDialog*>(&Frame().Information());
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(wxWindow::FindFocus(), pane->InformationControl());

    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MASK_ADD_SPHERE));
    PumpEvents(100);
    auto* view = dynamic_cast<CRidgeforgeView*>(&App().DocManager()->GetView());
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->CommandHandlers().MaskPanel(), nullptr);
    EXPECT_EQ(view->CommandHandlers().MaskPanel()->GetParent(), &Frame());
}

}  // namespace
}  // namespace ridgeforge::testing
