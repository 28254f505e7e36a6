// The workflow column on screen: header colours, switches and dots, the
// running dot's blink on a test clock, collapsed sections kept in the
// profile, Ctrl+click, clicks that do nothing, and wheel scrolling.
#include <wx/frame.h>

#include <memory>

#include "ui/framework/PeriodicTimer.h"
#include "tests/ui/workflow/FlowFixture.h"
#include "ui/workflow/FlowWnd.h"

namespace ridgeforge::testing {
namespace {

const wxColour kHeaderFill(230, 234, 240);
const wxColour kHeaderLine(210, 215, 222);
const wxColour kAccent(58, 123, 213);

class FlowColumnTest : public FlowTest {
protected:
    void Open(int height = 760) {
        frame_ = new RecordingFrame();
        frame_->SetClientSize(360, height);
        profile_ = MakeProfile();
        flow_ = new CFlowWnd();
        ASSERT_TRUE(flow_->Create(frame_, 1, profile_.get()));
        flow_->SetEventCallback([this](FlowStep step, FlowEvent event) { events.push_back({step, event}); });
        flow_->SetSize(frame_->GetClientSize());
        frame_->Show();
        frame_->Raise();
        PumpUntil([this] { return flow_->IsShownOnScreen(); });
        PumpEvents(150);
    }
    void Close() {
        if (frame_ != nullptr) frame_->Destroy();
        frame_ = nullptr;
        flow_ = nullptr;
        PumpEvents(30);
        profile_.reset();
    }
    ~FlowColumnTest() override { Close(); }

    CSectionHeader& Header(FlowStep step) { return *flow_->GetSection(step).header; }
    wxImage Grab(FlowStep step) {
        Header(step).Refresh();
        Header(step).Update();
        PumpEvents(30);
        return GrabWindow(Header(step));
    }

    RecordingFrame* frame_ = nullptr;
    CFlowWnd* flow_ = nullptr;
    std::unique_ptr<ui::Profile> profile_;
    std::vector<std::pair<FlowStep, FlowEvent>> events;
};

TEST_F(FlowColumnTest, HeadersShowFillLineSwitchesAndDots) {
    Open();
    // With the texture browser open the lower headers would be off screen.
    flow_->SetCollapsedMask(StepBit(FlowStep::Texture));
    PumpEvents(50);
    Header(FlowStep::Mapping).SetStatus(SectionStatus::Inactive);
    Header(FlowStep::Texture).SetStatus(SectionStatus::OutOfDate);
    Header(FlowStep::Relief).SetStatus(SectionStatus::UpToDate);
    Header(FlowStep::Simplify).SetSwitchedOn(false);
    Header(FlowStep::Simplify).SetStatus(SectionStatus::UpToDate);

    for (int index = 0; index < 4; ++index) {
        const FlowStep step = StepAt(index);
        EXPECT_EQ(Header(step).GetSize().y, 40);
        const wxImage shot = Grab(step);
        EXPECT_EQ(PixelAt(shot, 150, 3), kHeaderFill) << index;
        EXPECT_EQ(PixelAt(shot, 150, 39), kHeaderLine) << index;
        // The switch's corner: accent on a switched-on Relief, white off;
        // Mapping and Texture have none.
        const wxColour corner = PixelAt(shot, 57, 14);
        if (step == FlowStep::Relief)
            EXPECT_EQ(corner, kAccent);
        else if (step == FlowStep::Simplify)
            EXPECT_EQ(corner, *wxWHITE);
        else
            EXPECT_EQ(corner, kHeaderFill) << index;
    }
    const wxRect dot = Header(FlowStep::Relief).Rects().dot;
    const wxPoint centre(dot.x + dot.width / 2, dot.y + dot.height / 2);
    EXPECT_EQ(PixelAt(Grab(FlowStep::Relief), centre.x, centre.y), wxColour(46, 178, 90));
    EXPECT_EQ(PixelAt(Grab(FlowStep::Texture), centre.x, centre.y), wxColour(243, 156, 51));
    // Rings: the grey in the outline, the header's fill in the middle.
    for (FlowStep step : {FlowStep::Mapping, FlowStep::Simplify}) {
        const wxImage shot = Grab(step);
        EXPECT_EQ(PixelAt(shot, centre.x, centre.y), kHeaderFill);
        EXPECT_LE(ClosestColourDistance(shot, dot, wxColour(170, 176, 186)), 12);
    }
}

TEST_F(FlowColumnTest, RunningDotBlinksEvery450Milliseconds) {
    ui::ManualTimerClock clock;
    Open();
    CSectionHeader& relief = Header(FlowStep::Relief);
    const wxRect dot = relief.Rects().dot;
    const wxPoint centre(dot.x + dot.width / 2, dot.y + dot.height / 2);
    const int timersBefore = clock.RunningCount();
    relief.SetStatus(SectionStatus::Running);
    EXPECT_TRUE(relief.Blinking());
    EXPECT_EQ(clock.RunningCount(), timersBefore + 1);
    EXPECT_EQ(PixelAt(Grab(FlowStep::Relief), centre.x, centre.y), kAccent);

    clock.Advance(449);
    EXPECT_FALSE(relief.BlinkPhase());
    clock.Advance(1);
    EXPECT_TRUE(relief.BlinkPhase());
    wxImage shot = Grab(FlowStep::Relief);
    EXPECT_EQ(PixelAt(shot, centre.x, centre.y), kHeaderFill);
    EXPECT_LE(ClosestColourDistance(shot, dot, kAccent), 12);
    clock.Advance(450);
    EXPECT_FALSE(relief.BlinkPhase());
    EXPECT_EQ(PixelAt(Grab(FlowStep::Relief), centre.x, centre.y), kAccent);

    relief.SetStatus(SectionStatus::UpToDate);
    EXPECT_FALSE(relief.Blinking());
    EXPECT_EQ(clock.RunningCount(), timersBefore);
    clock.Advance(2000);
    EXPECT_FALSE(relief.BlinkPhase());
    EXPECT_EQ(PixelAt(Grab(FlowStep::Relief), centre.x, centre.y), wxColour(46, 178, 90));
}

TEST_F(FlowColumnTest, SettingsIconHighlightsUnderThePointer) {
    Open();
    CSectionHeader& texture = Header(FlowStep::Texture);
    const wxRect settings = texture.Rects().settings;
    MoveMouseTo(texture, {settings.x + 9, settings.y + 9});
    EXPECT_TRUE(texture.Hover());
    // The highlight reaches 3 dip round the icon.
    EXPECT_EQ(PixelAt(Grab(FlowStep::Texture), settings.x - 2, settings.y - 2), wxColour(214, 224, 238));
    MoveMouseTo(texture, {150, 20});
    EXPECT_FALSE(texture.Hover());
    EXPECT_EQ(PixelAt(Grab(FlowStep::Texture), settings.x - 2, settings.y - 2), kHeaderFill);
    MoveMouseTo(texture, {settings.x + 9, settings.y + 9});
    MoveMouseTo(*frame_, {5, 700});
    EXPECT_FALSE(texture.Hover());
}

TEST_F(FlowColumnTest, CollapsedSectionsAreStoredAndComeBack) {
    Open();
    for (int index = 0; index < 4; ++index) {
        EXPECT_FALSE(flow_->IsSectionCollapsed(StepAt(index)));
        EXPECT_TRUE(flow_->GetSection(StepAt(index)).body->IsShown());
    }
    ClickAt(Header(FlowStep::Texture), {150, 20});
    ClickAt(Header(FlowStep::Simplify), {150, 20});
    EXPECT_TRUE(flow_->IsSectionCollapsed(FlowStep::Texture));
    EXPECT_FALSE(flow_->GetSection(FlowStep::Texture).body->IsShown());
    EXPECT_EQ(profile_->GetInt("Workflow", "Collapsed2", -1), 10);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], std::make_pair(FlowStep::Simplify, FlowEvent::Collapsed));
    // The Relief section now sits right under the collapsed Texture header.
    EXPECT_EQ(Header(FlowStep::Relief).GetPosition().y,
              40 + flow_->GetSection(FlowStep::Mapping).body->GetPreferredHeight() + 40);

    Close();
    Open();
    EXPECT_EQ(flow_->CollapsedMask(), 10u);
    EXPECT_TRUE(flow_->IsSectionCollapsed(FlowStep::Simplify));
    EXPECT_FALSE(flow_->GetSection(FlowStep::Simplify).body->IsShown());
    EXPECT_FALSE(flow_->IsSectionCollapsed(FlowStep::Relief));
}

TEST_F(FlowColumnTest, ControlClickLeavesOnlyThatSectionOpen) {
    Open();
    // On a collapsed section and on an open one alike.
    ClickAt(Header(FlowStep::Relief), {150, 20});
    EXPECT_EQ(flow_->CollapsedMask(), 4u);
    ClickAt(Header(FlowStep::Relief), {14, 20}, true);
    EXPECT_EQ(flow_->CollapsedMask(), 11u);
    EXPECT_TRUE(flow_->GetSection(FlowStep::Relief).body->IsShown());
    EXPECT_EQ(profile_->GetInt("Workflow", "Collapsed2", -1), 11);
    ClickAt(Header(FlowStep::Texture), {14, 20}, true);
    EXPECT_EQ(flow_->CollapsedMask(), 13u);
    EXPECT_EQ(profile_->GetInt("Workflow", "Collapsed2", -1), 13);
    // A plain click flips only the clicked one.
    ClickAt(Header(FlowStep::Mapping), {150, 20});
    EXPECT_EQ(flow_->CollapsedMask(), 12u);
}

TEST_F(FlowColumnTest, DotAndGapsDoNothingSwitchAndSettingsReport) {
    Open();
    flow_->SetCollapsedMask(StepBit(FlowStep::Texture));
    PumpEvents(50);
    const wxRect dot = Header(FlowStep::Relief).Rects().dot;
    ClickAt(Header(FlowStep::Relief), {dot.x + 5, dot.y + 5});
    ClickAt(Header(FlowStep::Relief), {dot.x - 3, 20});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(flow_->CollapsedMask(), StepBit(FlowStep::Texture));
    EXPECT_TRUE(Header(FlowStep::Relief).SwitchedOn());

    ClickAt(Header(FlowStep::Relief), {62, 20});
    EXPECT_FALSE(Header(FlowStep::Relief).SwitchedOn());
    const wxRect settings = Header(FlowStep::Simplify).Rects().settings;
    ClickAt(Header(FlowStep::Simplify), {settings.x + 9, settings.y + 9});
    // Mapping has no switch: the same spot collapses it.
    ClickAt(Header(FlowStep::Mapping), {62, 20});
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], std::make_pair(FlowStep::Relief, FlowEvent::Switched));
    EXPECT_EQ(events[1], std::make_pair(FlowStep::Simplify, FlowEvent::SettingsAsked));
    EXPECT_EQ(events[2], std::make_pair(FlowStep::Mapping, FlowEvent::Collapsed));
    // The switch alone does not collapse; the owner decides.
    EXPECT_FALSE(flow_->IsSectionCollapsed(FlowStep::Relief));
}

TEST_F(FlowColumnTest, WheelScrollsThreeLinesAndShrinkingPullsBack) {
    Open(300);
    const int content = flow_->ContentHeight();
    ASSERT_GT(content, 300 + 72);
    auto wheel = [this](int rotation) {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.m_wheelRotation = rotation;
        event.m_wheelDelta = 120;
        event.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
        Header(FlowStep::Texture).GetEventHandler()->ProcessEvent(event);
    };
    const int before = Header(FlowStep::Texture).GetPosition().y;
    wheel(-120);
    EXPECT_EQ(flow_->ScrollPosition(), 72);
    EXPECT_EQ(Header(FlowStep::Texture).GetPosition().y, before - 72);
    wheel(60);
    EXPECT_EQ(flow_->ScrollPosition(), 36);
    wheel(-12000);
    EXPECT_EQ(flow_->ScrollPosition(), content - flow_->GetClientSize().y);
    EXPECT_TRUE(flow_->ScrollBar().IsShown());
    EXPECT_EQ(flow_->ScrollBar().GetRange(), content);
    EXPECT_EQ(flow_->ScrollBar().GetThumbPosition(), flow_->ScrollPosition());
    // Collapsing everything while at the bottom brings the position back.
    flow_->SetCollapsedMask(15);
    EXPECT_EQ(flow_->ScrollPosition(), 0);
    EXPECT_EQ(Header(FlowStep::Mapping).GetPosition().y, 0);
    EXPECT_EQ(Header(FlowStep::Simplify).GetPosition().y, 120);
    EXPECT_FALSE(flow_->ScrollBar().IsShown());
    EXPECT_EQ(Header(FlowStep::Simplify).GetSize().x, flow_->GetClientSize().x);
}

}  // namespace
}  // namespace ridgeforge::testing
