#include "ui/framework/ProgressGauge.h"

namespace ridgeforge::ui {

ProgressGauge::ProgressGauge(wxWindow* parent, int id, int range)
    : wxGauge(parent, id, range, wxDefaultPosition, wxDefaultSize, wxGA_HORIZONTAL | wxGA_SMOOTH), timer_(this) {
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        if (!marquee_) return;
        Pulse();
        ++pulses_;
    });
}

ProgressGauge::~ProgressGauge() { timer_.Stop(); }

void ProgressGauge::StartMarquee() {
    if (marquee_) return;
    marquee_ = true;
    Pulse();
    ++pulses_;
    timer_.Start(30);
}

void ProgressGauge::StopMarquee() {
    if (!marquee_) return;
    marquee_ = false;
    timer_.Stop();
}

}  // namespace ridgeforge::ui
