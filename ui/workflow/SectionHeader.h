// The title bar of one workflow section: chevron, icon, an on/off switch for
// the steps that can be switched off, the title, the status dot and the
// settings icon. A press reports to the column by a direct call, after the
// header has changed its own state; a running status blinks the dot every
// 450 ms.
#pragma once

#include <functional>

#include <wx/window.h>

#include "ui/framework/PeriodicTimer.h"
#include "ui/workflow/FlowTypes.h"
#include "ui/workflow/SectionGeometry.h"

namespace ridgeforge {

class CSectionHeader : public wxWindow {
public:
    // What a press did: the switch flipped, the settings icon, the collapse
    // flag flipped; `controlDown` is whether Ctrl was held.
    enum class Code { Switch = 1, Settings = 2, Collapse = 3 };
    using ClickHandler = std::function<void(CSectionHeader& header, Code code, bool controlDown)>;

    CSectionHeader(wxWindow* parent, int id, FlowStep step, unsigned dpi);
    ~CSectionHeader() override;

    FlowStep Step() const { return step_; }
    const FlowStepInfo& Info() const { return StepInfo(step_); }

    unsigned Dpi() const { return dpi_; }
    void SetDpi(unsigned dpi) { dpi_ = dpi == 0 ? 96 : dpi; }
    void UpdateLayout();
    const HeaderRects& Rects() const { return rects_; }

    bool SwitchedOn() const { return switchedOn_; }
    // Stores the switch and repaints.
    void SetSwitchedOn(bool on);
    SectionStatus Status() const { return status_; }
    // Stores a changed status; starts the blink for Running, stops it
    // otherwise; repaints.
    void SetStatus(SectionStatus status);
    bool Collapsed() const { return collapsed_; }
    void SetCollapsed(bool collapsed);
    bool BlinkPhase() const { return blinkPhase_; }
    bool Blinking() const { return blink_.IsRunning(); }
    bool Hover() const { return hover_; }

    void SetClickHandler(ClickHandler handler) { onClick_ = std::move(handler); }

    // The press as a click at `point` would make it.
    void Press(const wxPoint& point, bool controlDown);

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnBlink();

    FlowStep step_;
    unsigned dpi_ = 96;
    bool switchedOn_ = true;
    SectionStatus status_ = SectionStatus::OutOfDate;
    bool hover_ = false;
    bool blinkPhase_ = false;
    bool collapsed_ = false;
    HeaderRects rects_;
    ui::PeriodicTimer blink_;
    ClickHandler onClick_;
};

}  // namespace ridgeforge
