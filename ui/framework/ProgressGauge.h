// A progress bar that runs either determinate (a position) or as a marquee
// (an indeterminate pulse every 30 ms while it is shown).
#pragma once

#include <wx/gauge.h>
#include <wx/timer.h>

namespace ridgeforge::ui {

class ProgressGauge : public wxGauge {
public:
    ProgressGauge(wxWindow* parent, int id, int range);
    ~ProgressGauge() override;

    void StartMarquee();
    void StopMarquee();
    bool IsMarquee() const { return marquee_; }
    // How many pulses the marquee has made (for checks of its motion).
    long PulseCount() const { return pulses_; }

private:
    wxTimer timer_;
    bool marquee_ = false;
    long pulses_ = 0;
};

}  // namespace ridgeforge::ui
