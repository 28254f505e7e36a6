// The desktop's side of the main window: a change of the desktop's text
// resolution reaching the panes, the window's place kept between runs (and
// brought back onto a monitor when it was left on one that is gone), and the
// toolbar's tooltip giving way to a modal dialog.
#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/uiaction.h>

#include <dlfcn.h>

#include "ui/app/AppToolbar.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Profile.h"
#include "ui/framework/WindowPlacement.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

// Sets GTK's "gtk-xft-dpi" (1024ths of a DPI) as a settings daemon does.
void SetToolkitXftDpi(int dpi) {
    using GetDefault = void* (*)();
    using SetProperty = void (*)(void*, const char*, ...);
    const auto settings = reinterpret_cast<GetDefault>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
    const auto set = reinterpret_cast<SetProperty>(dlsym(RTLD_DEFAULT, "g_object_set"));
    ASSERT_NE(settings, nullptr);
    ASSERT_NE(set, nullptr);
    set(settings(), "gtk-xft-dpi", dpi * 1024, nullptr);
}

class DesktopScaleTest : public ShellTest {
protected:
    DesktopScaleTest() { keepStartPlace_ = true; }
};

// A settings change of the text resolution from 96 to 144 DPI takes the
// road of a DPI change: the panes and the footer take their 144-DPI sizes,
// and back at 96 their 96-DPI ones.
TEST_F(DesktopScaleTest, ATextResolutionChangeResizesThePanes) {
    ASSERT_TRUE(Start());
    const unsigned before = ui::DesktopTextDpi();
    ASSERT_EQ(before, 96u) << "the test display must start at 96 DPI";
    Frame().SetSize(wxRect(0, 0, 1280, 800));
    SetToolkitXftDpi(144);
    EXPECT_TRUE(PumpUntil([&] { return Frame().Dpi() == 144; }, 3000));
    PumpEvents(200);
    EXPECT_EQ(ui::DesktopTextDpi(), 144u);
    EXPECT_EQ(Frame().LeftPane().GetSize().x, 510);
    EXPECT_EQ(Frame().OutputPane().GetSize().y, 195);
    EXPECT_EQ(Frame().RightPane().GetSize().x, 360);
    // A font asked for at the desktop's resolution is its design size in
    // points, whatever the resolution was when the first one was made.
    EXPECT_NEAR(ui::GetUiFont(ui::Normal, 144).GetFractionalPointSize(), 9.0, 0.01);

    SetToolkitXftDpi(96);
    EXPECT_TRUE(PumpUntil([&] { return Frame().Dpi() == 96; }, 3000));
    PumpEvents(200);
    EXPECT_EQ(Frame().LeftPane().GetSize().x, 340);
    EXPECT_EQ(Frame().OutputPane().GetSize().y, 130);
    EXPECT_EQ(Frame().RightPane().GetSize().x, 240);
    EXPECT_NEAR(ui::GetUiFont(ui::Normal, 96).GetFractionalPointSize(), 9.0, 0.01);
}

// The size and place at exit come back at the next start; a place on a
// monitor that is gone comes back on the one there is.
TEST_F(DesktopScaleTest, TheWindowComesBackWhereItWasLeft) {
    ASSERT_TRUE(Start());
    // Without a stored place the design size, held to the monitor.
    const wxSize design = Frame().GetSize();
    EXPECT_EQ(design, wxSize(1200, 760));
    Frame().SetSize(wxRect(37, 21, 913, 611));
    PumpEvents(300);
    ASSERT_TRUE(Frame().Close());
    PumpEvents(100);
    Stop();

    ASSERT_TRUE(Start());
    PumpEvents(200);
    EXPECT_EQ(Frame().GetRect(), wxRect(37, 21, 913, 611));
    EXPECT_FALSE(Frame().IsMaximized());

    // Left on a monitor to the right of this one, since unplugged.
    ui::WriteWindowPlacement(App().Profile(), ui::WindowPlacement{wxRect(3000, 140, 700, 500), false});
    Stop();
    ASSERT_TRUE(Start());
    PumpEvents(200);
    const wxRect screen = ui::MonitorWorkAreas().front();
    const wxRect back = Frame().GetRect();
    EXPECT_EQ(back.GetSize(), wxSize(700, 500));
    EXPECT_TRUE(screen.Contains(back)) << back.x << "," << back.y;
    EXPECT_EQ(back.x, screen.x + (screen.width - 700) / 2);
}

// Where a stored rectangle lands: kept while its title strip is on a
// monitor, moved to the primary monitor's middle when it is on none, never
// larger than the monitor it lands on.
TEST(WindowPlacement, KeepOnMonitorsHoldsTheTitleBarOnAMonitor) {
    const std::vector<wxRect> areas{wxRect(0, 0, 1920, 1040), wxRect(1920, -200, 1280, 1024)};
    // On the second monitor, untouched.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(2000, 0, 800, 600), areas), wxRect(2000, 0, 800, 600));
    // Partly off the left edge with enough of the title bar on the screen.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(-300, 100, 800, 600), areas), wxRect(-300, 100, 800, 600));
    // Only 60 px of its title bar on a monitor: too little to grab, so it
    // goes to the primary monitor's middle.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(-740, 100, 800, 600), areas), wxRect(560, 220, 800, 600));
    // Title bar above the monitor: on none, so centred on the primary one.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(100, -900, 800, 600), areas), wxRect(560, 220, 800, 600));
    // Far off every monitor and larger than the primary: fitted into it.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(9000, 9000, 2500, 1200), areas), wxRect(0, 0, 1920, 1040));
    // On a monitor but taller than it: made to fit, the top kept on it.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(1950, -100, 800, 1500), areas), wxRect(1950, -200, 800, 1024));
    // No monitors at all: as stored.
    EXPECT_EQ(ui::KeepOnMonitors(wxRect(5, 6, 7, 8), {}), wxRect(5, 6, 7, 8));
}

// A tooltip shown for a toolbar button does not stay over a modal dialog.
TEST_F(DesktopScaleTest, AModalDialogEndsTheToolbarsHover) {
    ASSERT_TRUE(Start());
    Frame().SetSize(wxRect(0, 0, 1280, 800));
    PumpEvents(200);
    CToolbarHostWnd& strip = *Frame().ToolbarPane().Strip();
    const wxRect first = strip.Entries().front().rect;
    wxUIActionSimulator mouse;
    mouse.MouseMove(strip.ClientToScreen(first.GetPosition() + wxPoint(first.width / 2, first.height / 2)));
    ASSERT_TRUE(PumpUntil([&] { return strip.HoverIndex() == 0; }, 2000));
    ASSERT_FALSE(strip.GetToolTipText().empty());

    int hoverInside = 0;
    wxString tipInside = "not seen";
    wxDialog dialog(&Frame(), wxID_ANY, "Modal");
    Frame().CallAfter([&] {
        PumpEvents(100);
        hoverInside = strip.HoverIndex();
        tipInside = strip.GetToolTipText();
        dialog.EndModal(wxID_CANCEL);
    });
    dialog.ShowModal();
    EXPECT_EQ(hoverInside, -1);
    EXPECT_EQ(tipInside, "");
}

}  // namespace
}  // namespace ridgeforge::testing
