#include "ui/framework/WaitLoop.h"

#include <gtest/gtest.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/panel.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "ui/framework/Commands.h"
#include "tests/support/ui/WxTest.h"

namespace {

// While a job runs, windows repaint and the caller's tick runs, but a
// command queued meanwhile waits for the end; Escape held while the window
// is in front asks the job to stop.
TEST(PaintOnlyWait, PaintsRunCommandsWaitEscapeStops) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "wait", wxPoint(50, 50), wxSize(300, 200));
    auto* panel = new wxPanel(frame);
    int paints = 0;
    panel->Bind(wxEVT_PAINT, [&](wxPaintEvent&) {
        wxPaintDC dc(panel);
        ++paints;
    });
    int commands = 0;
    frame->Bind(wxEVT_MENU, [&](wxCommandEvent&) { ++commands; });
    frame->Show();
    ridgeforge::testing::PumpEvents(200);

    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};
    std::thread job([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        done = true;
    });
    const int paintsBefore = paints;
    ridgeforge::ui::PostCommand(frame, 0x8000 + 5);
    panel->Refresh();
    int ticks = 0;
    ridgeforge::ui::WaitPaintingOnly([&] { return done.load(); }, stop, frame, [&ticks] { ++ticks; });
    job.join();
    EXPECT_GT(paints, paintsBefore);
    // About one tick per 10 ms pump over the 400 ms job.
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(commands, 0);
    EXPECT_FALSE(stop);
    ridgeforge::testing::PumpEvents(50);
    EXPECT_EQ(commands, 1);

    if (std::system("command -v xdotool >/dev/null 2>&1") == 0) {
        const wxPoint centre = frame->ClientToScreen(wxPoint(150, 100));
        const std::string click =
            "xdotool mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y) + " click 1";
        ASSERT_EQ(std::system(click.c_str()), 0);
        ridgeforge::testing::PumpEvents(200);
        ASSERT_TRUE(ridgeforge::ui::IsInFront(frame));
        {
            done = false;
            std::thread press(
                [] { std::system("sleep 0.2; xdotool keydown Escape; sleep 0.3; xdotool keyup Escape"); });
            std::thread stoppable([&] {
                for (int i = 0; i < 300 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                done = true;
            });
            ridgeforge::ui::WaitPaintingOnly([&] { return done.load(); }, stop, frame);
            press.join();
            stoppable.join();
            EXPECT_TRUE(stop);
        }
    }
    frame->Destroy();
    ridgeforge::testing::PumpEvents(50);
}

}  // namespace
