#include "tests/support/ui/WxTest.h"

#include <gtest/gtest.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/panel.h>

namespace {

// The harness itself: a window painted in a known colour must read back as
// that colour from the screen, and not as the colour around it.
TEST(WindowHarness, ScreenShowsWhatWasPainted) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "harness", wxPoint(40, 30), wxSize(200, 120));
    auto* panel = new wxPanel(frame);
    panel->Bind(wxEVT_PAINT, [panel](wxPaintEvent&) {
        wxPaintDC dc(panel);
        dc.SetBackground(wxBrush(wxColour(200, 40, 90)));
        dc.Clear();
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxColour(10, 180, 60)));
        dc.DrawRectangle(0, 0, 20, 20);
    });
    frame->Show();
    ridgeforge::testing::PumpEvents(300);
    const wxImage shot = ridgeforge::testing::GrabWindow(*panel);
    ASSERT_TRUE(shot.IsOk());
    EXPECT_EQ(shot.GetRed(5, 5), 10);
    EXPECT_EQ(shot.GetGreen(5, 5), 180);
    EXPECT_EQ(shot.GetRed(100, 60), 200);
    EXPECT_EQ(shot.GetBlue(100, 60), 90);
    frame->Destroy();
    ridgeforge::testing::PumpEvents(50);
}

}  // namespace
