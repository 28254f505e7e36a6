// Header parts, what a press in a header means, the stacked sections, the
// scroll arithmetic and the collapsed mask, worked out by hand from the
// 96-DPI sizes.
#include <gtest/gtest.h>

#include "ui/workflow/SectionGeometry.h"

namespace ridgeforge {
namespace {

TEST(SectionGeometry, HeaderPartsAt96And144Dpi) {
    const HeaderRects relief = LayoutHeader(wxRect(0, 0, 340, 40), 96, true);
    EXPECT_EQ(relief.chevron, wxRect(8, 14, 12, 12));
    EXPECT_EQ(relief.icon, wxRect(26, 8, 24, 24));
    EXPECT_EQ(relief.toggle, wxRect(56, 13, 14, 14));
    EXPECT_EQ(relief.title, wxRect(76, 0, 216, 40));
    EXPECT_EQ(relief.dot, wxRect(298, 15, 10, 10));
    EXPECT_EQ(relief.settings, wxRect(314, 11, 18, 18));

    // Without a switch the title starts 6 dip after the icon.
    const HeaderRects mapping = LayoutHeader(wxRect(0, 0, 340, 40), 96, false);
    EXPECT_TRUE(mapping.toggle.IsEmpty());
    EXPECT_EQ(mapping.title, wxRect(56, 0, 236, 40));

    // 144 DPI: everything one and a half times, odd heights centred with
    // integer division.
    const HeaderRects big = LayoutHeader(wxRect(0, 0, 510, 60), 144, true);
    EXPECT_EQ(big.chevron, wxRect(12, 21, 18, 18));
    EXPECT_EQ(big.icon, wxRect(39, 12, 36, 36));
    EXPECT_EQ(big.toggle, wxRect(84, 19, 21, 21));
    EXPECT_EQ(big.settings, wxRect(510 - 12 - 27, 16, 27, 27));
    EXPECT_EQ(big.dot, wxRect(471 - 9 - 15, 22, 15, 15));
}

TEST(SectionGeometry, PressesHitTheSwitchSettingsAndCollapseOnly) {
    const HeaderRects relief = LayoutHeader(wxRect(0, 0, 340, 40), 96, true);
    const HeaderRects mapping = LayoutHeader(wxRect(0, 0, 340, 40), 96, false);
    EXPECT_EQ(HitTestHeader(relief, {60, 20}), HeaderHit::Switch);
    // Where a switch would be, a header without one has its title.
    EXPECT_EQ(HitTestHeader(mapping, {60, 20}), HeaderHit::Collapse);
    EXPECT_EQ(HitTestHeader(relief, {10, 20}), HeaderHit::Collapse);
    EXPECT_EQ(HitTestHeader(relief, {30, 20}), HeaderHit::Collapse);
    EXPECT_EQ(HitTestHeader(relief, {150, 2}), HeaderHit::Collapse);
    EXPECT_EQ(HitTestHeader(relief, {320, 20}), HeaderHit::Settings);
    // The dot, the gap before it and the space round the chevron do nothing.
    EXPECT_EQ(HitTestHeader(relief, {303, 20}), HeaderHit::Nothing);
    EXPECT_EQ(HitTestHeader(relief, {295, 20}), HeaderHit::Nothing);
    EXPECT_EQ(HitTestHeader(relief, {10, 2}), HeaderHit::Nothing);
    EXPECT_EQ(HitTestHeader(relief, {336, 20}), HeaderHit::Nothing);
}

TEST(SectionGeometry, ChevronAndCheckMark) {
    const wxRect chevron(8, 14, 12, 12);
    const auto right = ChevronPoints(chevron, true);
    EXPECT_EQ(right[0], wxPoint(10, 14));
    EXPECT_EQ(right[1], wxPoint(18, 20));
    EXPECT_EQ(right[2], wxPoint(10, 26));
    const auto down = ChevronPoints(chevron, false);
    EXPECT_EQ(down[0], wxPoint(8, 16));
    EXPECT_EQ(down[1], wxPoint(20, 16));
    EXPECT_EQ(down[2], wxPoint(14, 24));

    const auto mark = CheckMarkPoints(wxRect(56, 13, 14, 14));
    EXPECT_EQ(mark[0], wxPoint(59, 20));
    EXPECT_EQ(mark[1], wxPoint(61, 23));
    EXPECT_EQ(mark[2], wxPoint(66, 17));
}

TEST(SectionGeometry, StatusDotLooks) {
    const wxColour grey(170, 176, 186);
    const wxColour blue(58, 123, 213);
    EXPECT_EQ(StatusDotLook(true, SectionStatus::UpToDate, false).colour, wxColour(46, 178, 90));
    EXPECT_FALSE(StatusDotLook(true, SectionStatus::UpToDate, false).ring);
    EXPECT_EQ(StatusDotLook(true, SectionStatus::OutOfDate, true).colour, wxColour(243, 156, 51));
    EXPECT_FALSE(StatusDotLook(true, SectionStatus::OutOfDate, true).ring);
    EXPECT_EQ(StatusDotLook(true, SectionStatus::Inactive, false).colour, grey);
    EXPECT_TRUE(StatusDotLook(true, SectionStatus::Inactive, false).ring);
    EXPECT_EQ(StatusDotLook(true, SectionStatus::Running, true).colour, blue);
    EXPECT_TRUE(StatusDotLook(true, SectionStatus::Running, true).ring);
    EXPECT_FALSE(StatusDotLook(true, SectionStatus::Running, false).ring);
    // Switched off wins over any status.
    EXPECT_EQ(StatusDotLook(false, SectionStatus::UpToDate, false).colour, grey);
    EXPECT_TRUE(StatusDotLook(false, SectionStatus::Running, false).ring);
}

TEST(SectionGeometry, StackingAndScrollLimits) {
    const std::vector<SectionSlot> slots{{40, 36}, {40, 0}, {40, 176}, {40, 64}};
    EXPECT_EQ(ContentHeight(slots), 436);
    const auto placed = StackSections(slots, 300, 30);
    EXPECT_EQ(placed[0].header, wxRect(0, -30, 300, 40));
    EXPECT_EQ(placed[0].body, wxRect(0, 10, 300, 36));
    EXPECT_EQ(placed[1].header, wxRect(0, 46, 300, 40));
    EXPECT_EQ(placed[1].body, wxRect(0, 86, 300, 0));
    EXPECT_EQ(placed[2].header, wxRect(0, 86, 300, 40));
    EXPECT_EQ(placed[3].body, wxRect(0, 342, 300, 64));

    EXPECT_EQ(ClampScroll(500, 436, 300), 136);
    EXPECT_EQ(ClampScroll(135, 436, 300), 135);
    EXPECT_EQ(ClampScroll(-5, 436, 300), 0);
    // Content shorter than the column: nothing to scroll.
    EXPECT_EQ(ClampScroll(50, 200, 300), 0);
}

TEST(SectionGeometry, WheelNotchesScrollThreeLines) {
    EXPECT_EQ(WheelScrollDelta(120, 24), -72);
    EXPECT_EQ(WheelScrollDelta(60, 24), -36);
    EXPECT_EQ(WheelScrollDelta(-120, 24), 72);
    EXPECT_EQ(WheelScrollDelta(120, 36), -108);
    // Small turns truncate toward zero in both directions.
    EXPECT_EQ(WheelScrollDelta(1, 24), 0);
    EXPECT_EQ(WheelScrollDelta(-1, 24), 0);
    EXPECT_EQ(WheelScrollDelta(-3, 24), 1);
}

TEST(SectionGeometry, CollapsedMaskBits) {
    EXPECT_EQ(CollapsedMask({false, true, false, true}), 10u);
    EXPECT_EQ(CollapsedMask({true, false, false, false}), 1u);
    EXPECT_EQ(CollapsedMask({false, false, false, false}), 0u);
    EXPECT_EQ(SoloMask(FlowStep::Relief), 11u);
    EXPECT_EQ(SoloMask(FlowStep::Mapping), 14u);
    EXPECT_EQ(SoloMask(FlowStep::Simplify), 7u);
}

}  // namespace
}  // namespace ridgeforge
