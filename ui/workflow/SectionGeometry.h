// The geometry of the workflow column, apart from any window so that it can
// be worked out and checked alone: the six parts of a section header, what a
// click in it means, the chevron and check-mark shapes, the status dot's
// look, the stacking of sections and the scroll arithmetic.
//
// Sizes are in 96-DPI units scaled with ScaleDip; every header element is
// centred vertically with integer division.
#pragma once

#include <array>
#include <vector>

#include <wx/colour.h>
#include <wx/gdicmn.h>

#include "ui/workflow/FlowTypes.h"

namespace ridgeforge {

inline constexpr int kHeaderHeightDip = 40;
inline constexpr int kScrollLineDip = 24;

struct HeaderRects {
    wxRect chevron;
    wxRect toggle;  // empty for a step that cannot be switched off
    wxRect icon;
    wxRect title;
    wxRect dot;
    wxRect settings;
};

// The header's parts inside `client` at `dpi`.
HeaderRects LayoutHeader(const wxRect& client, unsigned dpi, bool canSwitchOff);

enum class HeaderHit { Nothing, Switch, Settings, Collapse };
// What a press at `point` does: the switch first (only where there is one),
// then the settings icon, then the chevron, icon or title; elsewhere (the
// dot, the gaps) nothing.
HeaderHit HitTestHeader(const HeaderRects& rects, const wxPoint& point);

// The chevron's three corners: pointing right when collapsed, down when not.
std::array<wxPoint, 3> ChevronPoints(const wxRect& chevron, bool collapsed);
// The check mark's three points inside a switch rectangle.
std::array<wxPoint, 3> CheckMarkPoints(const wxRect& toggle);

struct DotLook {
    wxColour colour;
    bool ring = false;
};
// A switched-off step shows the grey ring whatever its status; a running
// step blinks between a blue ring (blink phase set) and a blue disc.
DotLook StatusDotLook(bool switchedOn, SectionStatus status, bool blinkPhase);

// Stacking of the four sections: header and body rectangles for a column
// `width` wide scrolled by `scroll`.
struct SectionSlot {
    int headerHeight = 0;
    int bodyHeight = 0;  // 0 when collapsed
};
struct StackedSection {
    wxRect header;
    wxRect body;
};
int ContentHeight(const std::vector<SectionSlot>& slots);
int ClampScroll(int position, int contentHeight, int clientHeight);
std::vector<StackedSection> StackSections(const std::vector<SectionSlot>& slots, int width, int scroll);

// The scroll change of a wheel turn: -(delta * line * 3) / 120, truncated
// toward zero, so that one notch moves three lines.
int WheelScrollDelta(int wheelDelta, int line);

// The collapsed mask: bit 1 << step per collapsed section.
unsigned CollapsedMask(const std::array<bool, kFlowStepCount>& collapsed);
// The mask that leaves only `step` open.
unsigned SoloMask(FlowStep step);

}  // namespace ridgeforge
