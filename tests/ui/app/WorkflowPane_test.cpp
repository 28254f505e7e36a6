// The Workflow pane in the running program with the program's own
// document: the sections and the footer follow a loaded test cube, and the
// Relief switch and a typed strength reach the document.
#include <wx/textctrl.h>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/commands/CommandIds.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/TextureRegistry.h"
#include "ui/framework/Commands.h"
#include "ui/framework/StartupMarks.h"
#include "tests/document/RunHold.h"
#include "tests/ui/app/ShellFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/workflow/FlowFixture.h"
#include "ui/workflow/FlowWnd.h"
#include "ui/workflow/ReliefBodies.h"

namespace ridgeforge::testing {
namespace {

class WorkflowPaneTest : public ProgramShellTest {
protected:
    WorkflowPaneTest() : ProgramShellTest(0) {}

    CLeftPane& Pane() { return App().Frame()->LeftPane(); }
    CRidgeforgeDoc& Document() { return Doc(); }
};

TEST_F(WorkflowPaneTest, SectionsAndFooterFollowTheProgramsDocument) {
    ASSERT_TRUE(started_);
    EXPECT_EQ(Pane().Caption(), "Workflow");
    Pane().RefreshSteps();
    EXPECT_EQ(Pane().Footer().Values().status, L"No part loaded");
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Disabled);
    EXPECT_EQ(Pane().Flow().GetSection(FlowStep::Relief).header->Status(), SectionStatus::Inactive);

    Document().OnTestCube();
    Document().remeshSettings.targetEdgeMillimetres = 0.5f;
    Pane().RefreshSteps();
    // Displacement is on and there is no texture yet.
    EXPECT_EQ(Pane().Footer().Values().status, L"Needs a texture");
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Disabled);
    EXPECT_EQ(Pane().Flow().GetSection(FlowStep::Mapping).header->Status(), SectionStatus::OutOfDate);
    auto* relief = dynamic_cast<CReliefBody*>(Pane().Flow().GetSection(FlowStep::Relief).body);
    ASSERT_NE(relief, nullptr);
    // 2400 mm^2 at 0.5 mm contour cells: 2400 / (0.25 / 2.16) = 20736.
    const std::wstring estimate = relief->Remesh()->EstimateLine();
    EXPECT_TRUE(estimate == L"About 22,464 triangles." || estimate == L"About 22,462 triangles.") << estimate;

    relief->Displacement()->Edit()->ChangeValue("0.8");
    relief->Displacement()->CommitTypedStrength();
    EXPECT_FLOAT_EQ(Document().displacementSettings.strengthMillimetres, 0.8f);

    // Relief off: no texture needed, so Process becomes possible.
    CSectionHeader& header = *Pane().Flow().GetSection(FlowStep::Relief).header;
    // Scrolled into view: the texture browser pushes it below the pane.
    Pane().Flow().ScrollTo(Pane().Flow().ScrollPosition() + header.GetPosition().y);
    PumpEvents(30);
    ClickAt(header, {header.Rects().toggle.x + 4, 20});
    EXPECT_FALSE(Document().displacementEnabled);
    EXPECT_FALSE(Document().remeshEnabled);
    EXPECT_TRUE(Pane().Flow().IsSectionCollapsed(FlowStep::Relief));
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Idle);
    EXPECT_EQ(Pane().Flow().GetSection(FlowStep::Relief).header->Status(), SectionStatus::Inactive);
}

// One click on the Relief switch is one step of Undo: the footer and the
// header show the state before the click again, and Redo brings the click
// back.
TEST_F(WorkflowPaneTest, UndoAndRedoOfTheReliefSwitchShowTheStateTheyBringBack) {
    ASSERT_TRUE(started_);
    Document().OnTestCube();
    Document().remeshSettings.targetEdgeMillimetres = 2.0f;
    Document().ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    CSectionHeader& header = *Pane().Flow().GetSection(FlowStep::Relief).header;
    Pane().Flow().ScrollTo(Pane().Flow().ScrollPosition() + header.GetPosition().y);
    PumpEvents(30);
    const wxPoint toggle{header.Rects().toggle.x + 4, 20};
    ClickAt(header, toggle);
    ASSERT_FALSE(Document().displacementEnabled);
    ASSERT_FALSE(Document().remeshEnabled);

    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_PROCESS));
    ASSERT_TRUE(PumpUntil([this] { return !Document().pipeline.IsRunning() && !Document().processRequested; }, 60000));
    Pane().RefreshSteps();
    ASSERT_EQ(Pane().Footer().Values().status, L"Up to date");
    ASSERT_EQ(Pane().Footer().Values().state, FooterState::Disabled);

    Pane().Flow().ScrollTo(Pane().Flow().ScrollPosition() + header.GetPosition().y);
    PumpEvents(30);
    ClickAt(header, toggle);
    Pane().RefreshSteps();
    EXPECT_TRUE(header.SwitchedOn());
    EXPECT_EQ(Pane().Footer().Values().status, L"Needs: relief, simplify");
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Idle);

    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_EDIT_UNDO));
    Pane().RefreshSteps();
    EXPECT_FALSE(Document().displacementEnabled);
    EXPECT_FALSE(Document().remeshEnabled);
    EXPECT_FALSE(header.SwitchedOn());
    EXPECT_EQ(Pane().Footer().Values().status, L"Up to date");
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Disabled);
    EXPECT_EQ(header.Status(), SectionStatus::Inactive);

    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_EDIT_REDO));
    Pane().RefreshSteps();
    EXPECT_TRUE(Document().displacementEnabled);
    EXPECT_TRUE(Document().remeshEnabled);
    EXPECT_TRUE(header.SwitchedOn());
    EXPECT_EQ(Pane().Footer().Values().status, L"Needs: relief, simplify");
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Idle);
    EXPECT_EQ(header.Status(), SectionStatus::OutOfDate);
    // Nothing else is left to redo.
    EXPECT_FALSE(ui::QueryCommand(*App().Frame(), ID_EDIT_REDO).enabled);
}

// Stop given while the run is held in its finishing checks: the log says the
// part is as it was, and the footer and the Relief step agree with it (out of
// date, Process enabled) instead of calling the unchecked relief up to date.
// Process then runs to the end and the footer is up to date again.
TEST_F(WorkflowPaneTest, AStopDuringTheChecksLeavesTheFooterOutOfDate) {
    ASSERT_TRUE(started_);
    CRidgeforgeDoc& doc = Document();
    doc.OnTestCube();
    doc.remeshSettings.targetEdgeMillimetres = 2.0f;
    doc.simplifyEnabled = false;
    doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    const auto runEnded = [&doc] { return !doc.pipeline.IsRunning() && !doc.processRequested; };
    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_PROCESS));
    ASSERT_TRUE(PumpUntil(runEnded, 60000));
    Pane().RefreshSteps();
    ASSERT_EQ(Pane().Footer().Values().status, L"Up to date");

    doc.Edit([](DocumentEdit& edit) { edit.displacementSettings.strengthMillimetres = 1.4f; });
    test::RunHold hold;
    hold.Install(doc.pipeline, "Checking the mesh");
    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_PROCESS));
    ASSERT_TRUE(hold.WaitReached());
    EXPECT_TRUE(ui::QueryCommand(*App().Frame(), ID_STOP_PROCESSING).enabled);
    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_STOP_PROCESSING));
    hold.Release();
    ASSERT_TRUE(PumpUntil(runEnded, 60000));
    doc.pipeline.SetProgressWatcher({});
    Pane().RefreshSteps();
    EXPECT_TRUE(Logged(L"Stopped. The part is as it was; Process runs the rest when asked."));
    EXPECT_EQ(Pane().Footer().Values().status, L"Needs: relief");
    EXPECT_EQ(Pane().Footer().Values().state, FooterState::Idle);
    EXPECT_EQ(Pane().Flow().GetSection(FlowStep::Relief).header->Status(), SectionStatus::OutOfDate);
    EXPECT_EQ(&doc.ShownMesh(), &doc.workingPart);
    EXPECT_TRUE(ui::QueryCommand(*App().Frame(), ID_PROCESS).enabled);

    ASSERT_TRUE(ui::SendCommand(App().Frame(), ID_PROCESS));
    ASSERT_TRUE(PumpUntil(runEnded, 60000));
    Pane().RefreshSteps();
    EXPECT_FALSE(Logged(L"Stopped. The part is as it was; Process runs the rest when asked."));
    EXPECT_EQ(Pane().Footer().Values().status, L"Up to date");
    EXPECT_EQ(&doc.ShownMesh(), &doc.pipeline.Cache().finalMesh);
}

}  // namespace
}  // namespace ridgeforge::testing
