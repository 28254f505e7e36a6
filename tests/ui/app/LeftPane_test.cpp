// The Workflow pane over a test document: what each header and the footer
// show for the document, the 150 ms refresh on a test clock, the Relief and
// Simplify switches, settings requests, and the footer's colours, strip and
// commands on screen.
#include "ui/app/LeftPane.h"
#include "ui/commands/CommandIds.h"
#include "ui/framework/PeriodicTimer.h"
#include "tests/support/ui/WxTest.h"
#include "tests/ui/workflow/FlowFixture.h"
#include "ui/workflow/FlowWnd.h"

namespace ridgeforge::testing {
namespace {

TEST(LeftPaneRules, StepViews) {
    EXPECT_FALSE(ComputeStepView(nullptr, FlowStep::Mapping).switchedOn);
    EXPECT_EQ(ComputeStepView(nullptr, FlowStep::Relief).status, SectionStatus::Inactive);

    FakeFlowDocument document;
    // No part: switched on as the document says, but inactive.
    EXPECT_TRUE(ComputeStepView(&document, FlowStep::Texture).switchedOn);
    EXPECT_EQ(ComputeStepView(&document, FlowStep::Texture).status, SectionStatus::Inactive);
    document.LoadBox();
    document.outOfDate = {true, false, false, true};
    document.running[2] = true;
    document.simplifyOn = false;
    EXPECT_EQ(ComputeStepView(&document, FlowStep::Mapping).status, SectionStatus::OutOfDate);
    EXPECT_EQ(ComputeStepView(&document, FlowStep::Texture).status, SectionStatus::UpToDate);
    EXPECT_EQ(ComputeStepView(&document, FlowStep::Relief).status, SectionStatus::Running);
    const StepView simplify = ComputeStepView(&document, FlowStep::Simplify);
    EXPECT_FALSE(simplify.switchedOn);
    EXPECT_EQ(simplify.status, SectionStatus::Inactive);
    document.displacementOn = false;
    EXPECT_EQ(ComputeStepView(&document, FlowStep::Relief).status, SectionStatus::Inactive);

    EXPECT_EQ(StepSettingsCommand(FlowStep::Mapping), 32900u);
    EXPECT_EQ(StepSettingsCommand(FlowStep::Texture), 32821u);
    EXPECT_EQ(StepSettingsCommand(FlowStep::Relief), 32889u);
    EXPECT_EQ(StepSettingsCommand(FlowStep::Simplify), 32890u);
}

TEST(LeftPaneRules, FooterValuesLineAndLayout) {
    const FooterValues none = ComputeFooterValues(nullptr);
    EXPECT_EQ(none.status, L"No part loaded");
    EXPECT_EQ(none.state, FooterState::Disabled);

    FakeFlowDocument document;
    document.statusText = L"Needs: relief";
    EXPECT_EQ(ComputeFooterValues(&document).state, FooterState::Idle);
    EXPECT_EQ(ComputeFooterValues(&document).status, L"Needs: relief");
    document.canProcess = false;
    EXPECT_EQ(ComputeFooterValues(&document).state, FooterState::Disabled);
    document.pipelineRunning = true;
    document.status.progressText = "Displacement";
    document.status.fraction = 0.455f;
    document.status.hasFraction = true;
    const FooterValues running = ComputeFooterValues(&document);
    EXPECT_EQ(running.state, FooterState::Running);
    EXPECT_EQ(running.stage, L"Displacement");
    EXPECT_EQ(FooterStatusLine(running), L"Displacement  46%");
    FooterValues noFraction = running;
    noFraction.hasFraction = false;
    EXPECT_EQ(FooterStatusLine(noFraction), L"Displacement");
    noFraction.stage.clear();
    EXPECT_EQ(FooterStatusLine(noFraction), L"Processing");
    EXPECT_EQ(FooterStatusLine(none), L"No part loaded");

    const FooterRects at96 = LayoutFooter(wxSize(340, 64), 96);
    EXPECT_EQ(at96.text, wxRect(8, 7, 324, 16));
    EXPECT_EQ(at96.button, wxRect(8, 27, 324, 30));
    // Lower than the parts: they start at the top.
    EXPECT_EQ(LayoutFooter(wxSize(340, 20), 96).text.y, 0);
    EXPECT_EQ(ProgressStripWidth(324, 0.46f), 149);
    EXPECT_EQ(ProgressStripWidth(324, 1.5f), 324);
    EXPECT_EQ(ProgressStripWidth(324, -1.0f), 0);
}

class LeftPaneTest : public FlowTest {
protected:
    void Open() {
        frame_ = new RecordingFrame();
        frame_->SetClientSize(340, 700);
        profile_ = MakeProfile();
        pane_ = new CLeftPane(frame_, 1, profile_.get());
        pane_->SetSize(frame_->GetClientSize());
        frame_->Show();
        frame_->Raise();
        PumpUntil([this] { return pane_->IsShownOnScreen(); });
        PumpEvents(100);
    }
    ~LeftPaneTest() override {
        if (frame_ != nullptr) frame_->Destroy();
        PumpEvents(30);
    }
    CSectionHeader& Header(FlowStep step) { return *pane_->Flow().GetSection(step).header; }
    // The header scrolled to the top of the column (the texture browser
    // pushes the lower ones below the pane).
    CSectionHeader& Shown(FlowStep step) {
        CFlowWnd& flow = pane_->Flow();
        flow.ScrollTo(flow.ScrollPosition() + Header(step).GetPosition().y);
        PumpEvents(30);
        return Header(step);
    }
    wxImage GrabFooter() {
        pane_->Footer().Refresh();
        pane_->Footer().Update();
        PumpEvents(30);
        return GrabWindow(pane_->Footer());
    }
    wxPoint ButtonPoint(int x = 40) {
        const wxRect button = pane_->Footer().Rects().button;
        return {button.x + x, button.y + button.height / 2};
    }

    RecordingFrame* frame_ = nullptr;
    CLeftPane* pane_ = nullptr;
    std::unique_ptr<ui::Profile> profile_;
};

TEST_F(LeftPaneTest, RefreshEvery150MillisecondsOnlyChangesWhatChanged) {
    ui::ManualTimerClock clock;
    Open();
    document.LoadBox();
    clock.Advance(149);
    EXPECT_EQ(document.outOfDateChecks, 0);
    clock.Advance(1);
    EXPECT_EQ(document.outOfDateChecks, 1);
    EXPECT_EQ(Header(FlowStep::Mapping).Status(), SectionStatus::OutOfDate);
    EXPECT_EQ(pane_->Footer().Values().state, FooterState::Idle);

    // Simplify switched off in the document: the header follows and the
    // section collapses; on again, it opens.
    document.simplifyOn = false;
    document.running[2] = true;
    clock.Advance(150);
    EXPECT_FALSE(Header(FlowStep::Simplify).SwitchedOn());
    EXPECT_TRUE(pane_->Flow().IsSectionCollapsed(FlowStep::Simplify));
    EXPECT_EQ(Header(FlowStep::Simplify).Status(), SectionStatus::Inactive);
    EXPECT_TRUE(Header(FlowStep::Relief).Blinking());
    document.simplifyOn = true;
    clock.Advance(150);
    EXPECT_FALSE(pane_->Flow().IsSectionCollapsed(FlowStep::Simplify));
    EXPECT_EQ(document.outOfDateChecks, 3);

    // Without a document: Relief and Simplify off, the footer disabled.
    documentActive = false;
    clock.Advance(150);
    EXPECT_FALSE(Header(FlowStep::Relief).SwitchedOn());
    EXPECT_FALSE(Header(FlowStep::Relief).Blinking());
    EXPECT_EQ(pane_->Footer().Values().status, L"No part loaded");
    EXPECT_EQ(pane_->Footer().Values().state, FooterState::Disabled);
}

TEST_F(LeftPaneTest, ReliefSwitchTurnsDisplacementAndRemeshOffAndOn) {
    Open();
    document.LoadBox();
    pane_->RefreshSteps();
    ClickAt(Shown(FlowStep::Relief), {62, 20});
    EXPECT_FALSE(document.displacementOn);
    EXPECT_FALSE(document.remeshOn);
    // One click is one change of the document's settings, however many
    // switches it flips.
    EXPECT_EQ(document.settingsChanges, 1);
    EXPECT_TRUE(pane_->Flow().IsSectionCollapsed(FlowStep::Relief));
    EXPECT_EQ(Header(FlowStep::Relief).Status(), SectionStatus::Inactive);

    // Remesh on alone (an older project): switching on sets only displacement.
    document.remeshOn = true;
    ClickAt(Shown(FlowStep::Relief), {62, 20});
    EXPECT_TRUE(document.displacementOn);
    EXPECT_TRUE(document.remeshOn);
    EXPECT_EQ(document.settingsChanges, 2);
    EXPECT_FALSE(pane_->Flow().IsSectionCollapsed(FlowStep::Relief));

    ClickAt(Shown(FlowStep::Simplify), {62, 20});
    EXPECT_FALSE(document.simplifyOn);
    EXPECT_TRUE(pane_->Flow().IsSectionCollapsed(FlowStep::Simplify));
    EXPECT_EQ(profile_->GetInt("Workflow", "Collapsed2", -1), 8);
}

TEST_F(LeftPaneTest, SettingsIconsSendTheirCommands) {
    Open();
    for (FlowStep step : {FlowStep::Relief, FlowStep::Mapping}) {
        const wxRect settings = Header(step).Rects().settings;
        ClickAt(Shown(step), {settings.x + 9, settings.y + 9});
    }
    EXPECT_EQ(frame_->commands, (std::vector<CommandId>{32889, 32900}));
}

TEST_F(LeftPaneTest, FooterColoursStripAndCommands) {
    documentActive = false;
    Open();
    pane_->RefreshSteps();
    EXPECT_EQ(pane_->Footer().GetSize().y, 64);
    wxImage shot = GrabFooter();
    EXPECT_EQ(PixelAt(shot, 3, 20), wxColour(230, 234, 240));
    EXPECT_EQ(PixelAt(shot, 100, 0), wxColour(210, 215, 222));
    EXPECT_EQ(PixelAt(shot, ButtonPoint().x, ButtonPoint().y), wxColour(214, 218, 224));
    const wxRect button = pane_->Footer().Rects().button;
    EXPECT_LE(ClosestColourDistance(shot, button, wxColour(122, 128, 138)), 30);
    ClickAt(pane_->Footer(), ButtonPoint());
    EXPECT_TRUE(frame_->commands.empty());

    documentActive = true;
    document.LoadBox();
    pane_->RefreshSteps();
    MoveMouseTo(pane_->Footer(), {3, 3});
    EXPECT_EQ(PixelAt(GrabFooter(), ButtonPoint().x, ButtonPoint().y), wxColour(58, 123, 213));
    MoveMouseTo(pane_->Footer(), ButtonPoint());
    EXPECT_TRUE(pane_->Footer().Hover());
    EXPECT_EQ(PixelAt(GrabFooter(), ButtonPoint().x, ButtonPoint().y), wxColour(46, 104, 188));
    ClickAt(pane_->Footer(), ButtonPoint());
    ClickAt(pane_->Footer(), {3, 3});
    EXPECT_EQ(frame_->commands, (std::vector<CommandId>{32888}));

    document.pipelineRunning = true;
    document.status.progressText = "Displacement";
    document.status.fraction = 0.46f;
    document.status.hasFraction = true;
    pane_->RefreshSteps();
    MoveMouseTo(pane_->Footer(), {3, 3});
    shot = GrabFooter();
    const int strip = button.width * 46 / 100;
    EXPECT_EQ(PixelAt(shot, button.x + 3, button.y + 3), wxColour(240, 120, 108));
    EXPECT_EQ(PixelAt(shot, button.x + strip - 2, button.y + 3), wxColour(240, 120, 108));
    EXPECT_EQ(PixelAt(shot, button.x + strip + 2, button.y + 3), wxColour(224, 72, 60));
    EXPECT_EQ(FooterStatusLine(pane_->Footer().Values()), L"Displacement  46%");
    ClickAt(pane_->Footer(), ButtonPoint());
    EXPECT_EQ(frame_->commands, (std::vector<CommandId>{32888, 32836}));
}

TEST_F(LeftPaneTest, FooterIs96PixelsHighAt144Dpi) {
    Open();
    // The larger font makes the check boxes' labels wider than the column;
    // given less than they need, the toolkit warns on the terminal.
    StderrCapture capture(::testing::TempDir() + "left_pane_144.txt");
    pane_->SetDpi(144);
    frame_->SetClientSize(pane_->GetSize().x, 700);
    pane_->SetSize(frame_->GetClientSize());
    PumpEvents(50);
    const std::string warnings = capture.Text();
    EXPECT_EQ(warnings.find("Gtk-CRITICAL"), std::string::npos) << warnings;
    EXPECT_EQ(pane_->Footer().GetSize().y, 96);
    EXPECT_EQ(Header(FlowStep::Relief).GetSize().y, 60);
    EXPECT_EQ(pane_->Flow().GetSection(FlowStep::Simplify).body->GetPreferredHeight(), 96);
    pane_->SetDpi(96);
}

}  // namespace
}  // namespace ridgeforge::testing
