// The Information pane's message in the running program, against what the
// view shows: a run's amber words go when a change brings the preview back
// and come back with the result on Undo; a failed open's red words go once
// the part it kept is changed.
#include <gtest/gtest.h>
#include <wx/textctrl.h>

#include "document/RidgeforgeDoc.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/app/ShellFixture.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "ui/app/RightPane.h"
#include "ui/commands/CommandIds.h"
#include "ui/framework/Commands.h"

namespace ridgeforge::testing {
namespace {

class InformationMessagesTest : public ProgramShellTest {
protected:
    CRightPaneDialog* Pane() { return dynamic_cast<CRightPaneDialog*>(Frame().RightPane().Content()); }
    bool RunProcess() {
        if (!ui::SendCommand(&Frame(), ID_PROCESS)) return false;
        return PumpUntil([this] { return !Doc().pipeline.IsRunning() && !Doc().processRequested; }, 60000);
    }
    // The message box's background, read from the screen.
    wxColour Shade() {
        PumpEvents(150);
        const wxImage shot = GrabWindow(*Pane()->MessageControl());
        if (!shot.IsOk()) return wxColour();
        return wxColour(shot.GetRed(shot.GetWidth() - 3, 3), shot.GetGreen(shot.GetWidth() - 3, 3),
                        shot.GetBlue(shot.GetWidth() - 3, 3));
    }
    void SetStrength(float strength) {
        Doc().Edit([strength](DocumentEdit& edit) { edit.displacementSettings.strengthMillimetres = strength; });
        PumpEvents(50);
    }
};

TEST_F(InformationMessagesTest, AMessageGoesWhenWhatItSpeaksOfIsNoLongerShown) {
    ASSERT_TRUE(started_);
    ASSERT_NE(Pane(), nullptr);
    // 10 mm across is small for a relief: the run warns in amber.
    Doc().LoadTestShape(test::MakeBox({0, 0, 0}, {14, 10, 8}), L"Box", L"Box", L"Box");
    Doc().remeshSettings.targetEdgeMillimetres = 1.0f;
    Doc().simplifyEnabled = false;
    Doc().displacementSettings.strengthMillimetres = 0.6f;
    Doc().ApplyProceduralTexture(mesh::procedural::CreateTexture("Dots"), L"");
    Doc().OnSettingsChanged();
    ASSERT_TRUE(RunProcess());
    ASSERT_TRUE(Pane()->MessageControl()->IsShown());
    EXPECT_EQ(Shade(), wxColour(255, 244, 214));

    // Another strength brings the preview back: the run's words go with it.
    SetStrength(0.9f);
    EXPECT_TRUE(Pane()->Message().empty()) << Pane()->Message();
    EXPECT_FALSE(Pane()->MessageControl()->IsShown());
    // Undo shows the result again, and its words with it.
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_EDIT_UNDO));
    PumpEvents(50);
    if (Doc().ProcessStatusText() == L"Up to date") {
        ASSERT_TRUE(Pane()->MessageControl()->IsShown());
        EXPECT_EQ(Shade(), wxColour(255, 244, 214));
    }

    // An open that fails keeps the part, and says so in red until the part
    // it kept is changed.
    const auto broken = Scratch().Path() / "broken.stl";
    test::WriteTextFile(broken, "solid broken\n  facet normal 0 0 1\n");
    EXPECT_FALSE(Doc().ImportPart(broken.wstring()));
    ASSERT_TRUE(Doc().HasPart());
    ASSERT_TRUE(Pane()->MessageControl()->IsShown());
    EXPECT_EQ(Shade(), wxColour(253, 226, 226));
    SetStrength(0.7f);
    EXPECT_TRUE(Pane()->Message().empty()) << Pane()->Message();
    EXPECT_FALSE(Pane()->MessageControl()->IsShown());
}

}  // namespace
}  // namespace ridgeforge::testing
