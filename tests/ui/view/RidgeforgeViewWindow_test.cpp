// The view on screen: the empty-state hint over the viewport and its click,
// the part replacing it, and the Lay on Face highlight as a person sees them.
#include <gtest/gtest.h>
#include <wx/frame.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "ui/commands/CommandIds.h"
#include "ui/framework/Commands.h"
#include "tests/document/FakeHost.h"
#include "tests/support/ui/WxTest.h"
#include "ui/view/OpenGLViewport.h"
#include "ui/view/RidgeforgeView.h"

namespace ridgeforge::testing {
namespace {

bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

// How many pixels of the image lie within `tolerance` of the colour per channel.
int CountNear(const wxImage& image, int r, int g, int b, int tolerance) {
    int count = 0;
    const unsigned char* p = image.GetData();
    for (int i = 0; i < image.GetWidth() * image.GetHeight(); ++i, p += 3) {
        if (std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance)
            ++count;
    }
    return count;
}

// Pixels where `after` is `before` with the colour laid over it at the
// highlight's opacity of 0.45 (the colour worked back from both images).
int CountOverlaid(const wxImage& before, const wxImage& after, int r, int g, int b) {
    int count = 0;
    const unsigned char* p = before.GetData();
    const unsigned char* q = after.GetData();
    const int want[3] = {r, g, b};
    for (int i = 0; i < before.GetWidth() * before.GetHeight(); ++i, p += 3, q += 3) {
        if (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) continue;
        bool near = true;
        for (int c = 0; c < 3; ++c) {
            const double laid = (q[c] - 0.55 * p[c]) / 0.45;
            near = near && std::abs(laid - want[c]) <= 16.0;
        }
        count += near ? 1 : 0;
    }
    return count;
}

class ViewWindow {
public:
    ViewWindow() {
        frame = new wxFrame(nullptr, wxID_ANY, "view", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
        frame->SetClientSize(800, 600);
        frame->Bind(wxEVT_MENU, [this](wxCommandEvent& e) { posted.push_back(ui::CommandOf(e.GetId())); });
        view.SetDocument(&hosted.doc);
        hosted.doc.AddView(&view);
        view.CreateViewWindow(frame);
        view.Window()->SetSize(frame->GetClientSize());
        frame->Show();
        frame->Raise();
        PumpUntil([&] { return view.Window()->IsShownOnScreen(); });
        view.OnInitialUpdate();
        PumpEvents(300);
    }
    ~ViewWindow() {
        hosted.doc.RemoveView(&view);
        frame->Destroy();
        PumpEvents(50);
    }
    COpenGLViewport* Viewport() const {
        return dynamic_cast<COpenGLViewport*>(view.Window()->FindWindow(COpenGLViewport::kControlId));
    }
    wxImage Screen() const { return GrabWindow(*view.Window()); }

    test::HostedDocument hosted;
    CRidgeforgeView view;
    wxFrame* frame = nullptr;
    std::vector<CommandId> posted;
};

TEST(RidgeforgeViewWindow, TheHintShowsOverTheEmptyViewportAndAClickAsksToOpenAnStl) {
    ViewWindow w;
    ASSERT_NE(w.Viewport(), nullptr);
    ASSERT_TRUE(w.Viewport()->renderer.ready) << w.Viewport()->renderer.lastError;
    ASSERT_TRUE(w.view.hintVisible);
    // The popup's background and its light text sit in the middle of the view.
    const wxSize size = w.view.Window()->GetClientSize();
    const wxPoint centre = w.view.Window()->ClientToScreen(wxPoint(size.x / 2, size.y / 2));
    const wxImage band = GrabScreen(wxRect(centre.x - 250, centre.y - 18, 500, 36));
    EXPECT_GT(CountNear(band, 38, 44, 56, 2), 500);
    EXPECT_GT(CountNear(band, 215, 222, 235, 30), 50);
    // Outside the band the viewport's own background shows.
    const wxImage above = GrabScreen(wxRect(centre.x - 250, centre.y - 80, 500, 20));
    EXPECT_EQ(CountNear(above, 38, 44, 56, 2), 0);

    if (HaveXdotool()) {
        const std::string move =
            "xdotool mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y) + " click 1";
        ASSERT_EQ(std::system(move.c_str()), 0);
        EXPECT_TRUE(PumpUntil([&] { return !w.posted.empty(); }, 2000));
        ASSERT_EQ(w.posted.size(), 1u);
        EXPECT_EQ(w.posted[0], ID_FILE_OPEN);
    }

    // A part takes the hint away and is drawn.
    w.hosted.doc.OnTestCube();
    PumpEvents(300);
    EXPECT_FALSE(w.view.hintVisible);
    const wxImage band2 = GrabScreen(wxRect(centre.x - 250, centre.y - 18, 500, 36));
    EXPECT_LT(CountNear(band2, 38, 44, 56, 2), 50);
}

TEST(RidgeforgeViewWindow, LayOnFaceLightsTheFacesAndTheHoveredOneInOrange) {
    ViewWindow w;
    ASSERT_TRUE(w.Viewport() != nullptr && w.Viewport()->renderer.ready);
    w.hosted.doc.OnTestCube();
    PumpEvents(300);
    const wxImage before = w.Screen();

    w.view.ToggleLayOnFace();
    PumpEvents(300);
    const wxImage lit = w.Screen();
    EXPECT_GT(CountOverlaid(before, lit, 77, 166, 242), 20000);

    std::int32_t top = -1;
    for (std::size_t c = 0; c < w.hosted.doc.components.size(); ++c) {
        if (w.hosted.doc.components[c].normal.z > 0.9f) top = static_cast<std::int32_t>(c);
    }
    ASSERT_GE(top, 0);
    w.view.SetHoverFace(top);
    PumpEvents(300);
    const wxImage hovered = w.Screen();
    EXPECT_GT(CountOverlaid(before, hovered, 250, 158, 51), 5000);
    EXPECT_LT(CountOverlaid(before, hovered, 250, 158, 51), CountOverlaid(before, lit, 77, 166, 242));

    w.view.ApplyFace(top);
    bool logged = false;
    for (const auto& line : w.hosted.host.log) logged = logged || line.text.rfind(L"Laid on a face of ", 0) == 0;
    EXPECT_TRUE(logged);
    w.view.ToggleLayOnFace();
    PumpEvents(300);
    EXPECT_EQ(w.Viewport()->renderer.restingFace.count, 0);
}

}  // namespace
}  // namespace ridgeforge::testing
