#include "ui/workflow/SectionGeometry.h"

#include <algorithm>

#include "ui/framework/Dpi.h"

namespace ridgeforge {
namespace {

// A box `w` x `h` whose left edge is at `left`, centred in the client's height.
wxRect Centred(const wxRect& client, int left, int w, int h) {
    const int top = client.GetTop();
    const int bottom = client.GetTop() + client.GetHeight();
    const int y0 = (top + bottom - h) / 2;
    const int y1 = (top + bottom + h) / 2;
    return wxRect(left, y0, w, y1 - y0);
}

}  // namespace

HeaderRects LayoutHeader(const wxRect& client, unsigned dpi, bool canSwitchOff) {
    auto dip = [dpi](int size) { return ui::ScaleDip(size, dpi); };
    const int left = client.GetLeft();
    const int right = client.GetLeft() + client.GetWidth();
    HeaderRects rects;
    rects.chevron = Centred(client, left + dip(8), dip(12), dip(12));
    rects.icon = Centred(client, rects.chevron.GetRight() + 1 + dip(6), dip(24), dip(24));
    int x = rects.icon.GetRight() + 1 + dip(6);
    if (canSwitchOff) {
        rects.toggle = Centred(client, x, dip(14), dip(14));
        x = rects.toggle.GetRight() + 1 + dip(6);
    }
    rects.settings = Centred(client, right - dip(8) - dip(18), dip(18), dip(18));
    rects.dot = Centred(client, rects.settings.GetLeft() - dip(6) - dip(10), dip(10), dip(10));
    rects.title = wxRect(x, client.GetTop(), std::max(0, rects.dot.GetLeft() - dip(6) - x), client.GetHeight());
    return rects;
}

HeaderHit HitTestHeader(const HeaderRects& rects, const wxPoint& point) {
    if (!rects.toggle.IsEmpty() && rects.toggle.Contains(point)) return HeaderHit::Switch;
    if (rects.settings.Contains(point)) return HeaderHit::Settings;
    if (rects.chevron.Contains(point) || rects.icon.Contains(point) || rects.title.Contains(point))
        return HeaderHit::Collapse;
    return HeaderHit::Nothing;
}

std::array<wxPoint, 3> ChevronPoints(const wxRect& chevron, bool collapsed) {
    // Edges as the rectangle's left/top and right/bottom coordinates.
    const int left = chevron.GetLeft();
    const int top = chevron.GetTop();
    const int right = left + chevron.GetWidth();
    const int bottom = top + chevron.GetHeight();
    const int m = std::max(1, chevron.GetWidth() / 5);
    if (collapsed) return {wxPoint(left + m, top), wxPoint(right - m, (top + bottom) / 2), wxPoint(left + m, bottom)};
    return {wxPoint(left, top + m), wxPoint(right, top + m), wxPoint((left + right) / 2, bottom - m)};
}

std::array<wxPoint, 3> CheckMarkPoints(const wxRect& toggle) {
    const int w = toggle.GetWidth();
    const int x = toggle.GetLeft();
    const int y = toggle.GetTop();
    return {wxPoint(x + 22 * w / 100, y + 52 * w / 100), wxPoint(x + 42 * w / 100, y + 72 * w / 100),
            wxPoint(x + 78 * w / 100, y + 30 * w / 100)};
}

DotLook StatusDotLook(bool switchedOn, SectionStatus status, bool blinkPhase) {
    if (!switchedOn) return {flow_colours::kRing, true};
    switch (status) {
        case SectionStatus::UpToDate:
            return {flow_colours::kGreen, false};
        case SectionStatus::OutOfDate:
            return {flow_colours::kAmber, false};
        case SectionStatus::Running:
            return {flow_colours::kAccent, blinkPhase};
        case SectionStatus::Inactive:
            break;
    }
    return {flow_colours::kRing, true};
}

int ContentHeight(const std::vector<SectionSlot>& slots) {
    int height = 0;
    for (const SectionSlot& slot : slots) height += slot.headerHeight + slot.bodyHeight;
    return height;
}

int ClampScroll(int position, int contentHeight, int clientHeight) {
    return std::clamp(position, 0, std::max(0, contentHeight - clientHeight));
}

std::vector<StackedSection> StackSections(const std::vector<SectionSlot>& slots, int width, int scroll) {
    std::vector<StackedSection> placed;
    placed.reserve(slots.size());
    int y = -scroll;
    for (const SectionSlot& slot : slots) {
        placed.push_back(
            {wxRect(0, y, width, slot.headerHeight), wxRect(0, y + slot.headerHeight, width, slot.bodyHeight)});
        y += slot.headerHeight + slot.bodyHeight;
    }
    return placed;
}

int WheelScrollDelta(int wheelDelta, int line) { return -(wheelDelta * line * 3) / 120; }

unsigned CollapsedMask(const std::array<bool, kFlowStepCount>& collapsed) {
    unsigned mask = 0;
    for (int step = 0; step < kFlowStepCount; ++step)
        if (collapsed[static_cast<std::size_t>(step)]) mask |= StepBit(StepAt(step));
    return mask;
}

unsigned SoloMask(FlowStep step) { return ((1u << kFlowStepCount) - 1u) & ~StepBit(step); }

}  // namespace ridgeforge
