// The toolbar as a person sees and uses it in the running program: its height
// at two DPIs, the colours of checked and disabled buttons, hover texts, and
// clicks made with the real mouse.
#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "ui/app/AppToolbar.h"
#include "ui/commands/CommandIds.h"
#include "ui/app/ToolbarHostWnd.h"
#include "tests/ui/app/StandInView.h"
#include "ui/framework/Commands.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

const wxColour kSolid(10, 200, 40);

// A shading radio group (Flat first), and Sliced, which needs a part the
// test never loads.
class ShadingView : public CViewArea {
public:
    ShadingView() {
        commands_.AddRange(
            ID_SHADING_SMOOTH, ID_SHADING_SOLID_WIREFRAME,
            [this](CommandId id) {
                shading = static_cast<int>(id - ID_SHADING_SMOOTH);
                chosen.push_back(id);
            },
            [this](CommandId id, CommandState& state) {
                state.checked = shading == static_cast<int>(id - ID_SHADING_SMOOTH);
                state.radio = true;
            });
        commands_.Add(
            ID_DISPLAY_SLICED, [this](CommandId) { ++sliced; },
            [](CommandId, CommandState& state) { state.enabled = false; });
    }
    int shading = 1;
    int sliced = 0;
    std::vector<CommandId> chosen;
};

void WriteSolidIcon(const std::filesystem::path& path) {
    wxImage image(32, 32);
    image.SetRGB(wxRect(0, 0, 32, 32), kSolid.Red(), kSolid.Green(), kSolid.Blue());
    image.InitAlpha();
    ASSERT_TRUE(image.SaveFile(path.string(), wxBITMAP_TYPE_PNG));
}

void ExpectColour(const wxImage& image, wxPoint at, const wxColour& colour, int tolerance = 0) {
    EXPECT_NEAR(image.GetRed(at.x, at.y), colour.Red(), tolerance) << "at " << at.x << ", " << at.y;
    EXPECT_NEAR(image.GetGreen(at.x, at.y), colour.Green(), tolerance) << "at " << at.x << ", " << at.y;
    EXPECT_NEAR(image.GetBlue(at.x, at.y), colour.Blue(), tolerance) << "at " << at.x << ", " << at.y;
}

wxPoint Centre(const wxRect& rect) { return wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2); }

class AppToolbarTest : public ShellTest {
protected:
    AppToolbarTest() {
        makeView_ = [this] {
            auto view = std::make_unique<ShadingView>();
            view_ = view.get();
            return view;
        };
    }

    // Starts the program with the solid test icon for Flat Shaded, Smooth
    // Shaded and Sliced (the others show the missing-icon frame).
    void StartWithIcons() {
        ASSERT_TRUE(Start());
        icons_ = Scratch().Path() / "icons";
        std::filesystem::create_directories(icons_);
        for (const char* key : {"flatshaded", "smoothshaded", "3Dprint_view"})
            WriteSolidIcon(icons_ / (std::string(key) + ".png"));
        Strip().SetIconFolder(wxString::FromUTF8(icons_.string()), false);
        // Keep the pointer off the strip so nothing shows hovered.
        wxUIActionSimulator().MouseMove(1270, 790);
        PumpEvents(150);
    }

    CToolbarHostWnd& Strip() { return *Frame().ToolbarPane().Strip(); }
    int IndexOf(CommandId id) {
        const auto& entries = Strip().Entries();
        for (std::size_t index = 0; index < entries.size(); ++index)
            if (entries[index].button.commandId == id) return static_cast<int>(index);
        return -1;
    }
    wxRect RectOf(CommandId id) { return Strip().Entries()[static_cast<std::size_t>(IndexOf(id))].rect; }
    wxPoint ScreenCentre(CommandId id) { return Strip().ClientToScreen(Centre(RectOf(id))); }

    ShadingView* view_ = nullptr;
    std::filesystem::path icons_;
};

TEST_F(AppToolbarTest, FixedHeightAtTheTopGivenBackWhenHidden) {
    StartWithIcons();
    CAppToolbarPane& pane = Frame().ToolbarPane();
    EXPECT_EQ(pane.GetSize().y, 42);
    EXPECT_EQ(pane.GetPosition(), wxPoint(0, 0));
    EXPECT_EQ(pane.GetSize().x, Frame().GetClientSize().x);
    EXPECT_EQ(Strip().GetSize(), pane.GetSize());
    EXPECT_EQ(Frame().LeftPane().GetPosition().y, 42);
    const int leftHeight = Frame().LeftPane().GetSize().y;
    // Icons at 96 DPI: laid out 26 px high, painted 24.
    EXPECT_EQ(Strip().ScaledIconHeights(), (std::vector<int>{24, 26}));

    pane.ShowPane(false);
    PumpEvents(50);
    EXPECT_EQ(Frame().LeftPane().GetPosition().y, 0);
    EXPECT_EQ(Frame().LeftPane().GetSize().y, leftHeight + 42);
    pane.ShowPane(true);
    PumpEvents(50);
    EXPECT_EQ(Frame().LeftPane().GetPosition().y, 42);

    // At 144 DPI 60 + 2 px, icons again at the new heights (48 px buttons).
    Frame().SetDpi(144);
    PumpEvents(100);
    EXPECT_EQ(pane.GetSize().y, 62);
    EXPECT_EQ(Frame().LeftPane().GetPosition().y, 62);
    EXPECT_EQ(RectOf(ID_SHADING_FLAT).height, 48);
    PumpUntil([&] { return Strip().ScaledIconHeights() == std::vector<int>{36, 39}; }, 1000);
    EXPECT_EQ(Strip().ScaledIconHeights(), (std::vector<int>{36, 39}));
    Frame().SetDpi(96);
    PumpEvents(100);
    EXPECT_EQ(pane.GetSize().y, 42);
    PumpUntil([&] { return Strip().ScaledIconHeights() == std::vector<int>{24, 26}; }, 1000);
    EXPECT_EQ(Strip().ScaledIconHeights(), (std::vector<int>{24, 26}));
}

TEST_F(AppToolbarTest, CheckedAndDisabledButtonsFollowTheUpdateHandlers) {
    StartWithIcons();
    const auto& colours = Strip().GetColours();
    const wxRect flat = RectOf(ID_SHADING_FLAT);
    const wxRect smooth = RectOf(ID_SHADING_SMOOTH);
    const wxRect sliced = RectOf(ID_DISPLAY_SLICED);
    ASSERT_FALSE(flat.IsEmpty());
    ASSERT_FALSE(sliced.IsEmpty());

    wxImage shot = GrabWindow(Strip());
    // Flat is the radio choice: checked fill inside its checked frame.
    ExpectColour(shot, wxPoint(flat.x, flat.y + 3), colours.checkedFrame);
    ExpectColour(shot, wxPoint(flat.x + 2, flat.y + 2), colours.checked);
    ExpectColour(shot, wxPoint(smooth.x, smooth.y + 3), colours.face);
    ExpectColour(shot, wxPoint(smooth.x + 2, smooth.y + 2), colours.face);
    // The enabled icon as it is; the disabled one (Sliced without a part)
    // grey (3 * 124 + 150) >> 2 = 130 at alpha 115 over the face, no frame.
    ExpectColour(shot, Centre(smooth), kSolid, 2);
    ExpectColour(shot, wxPoint(sliced.x, sliced.y + 3), colours.face);
    const int blended = (130 * 115 + 248 * (255 - 115) + 127) / 255;
    ExpectColour(shot, Centre(sliced), wxColour(blended, blended, blended), 2);
    // A command that no table knows stays enabled on the strip (its menu
    // item is disabled); a button with no icon file shows the frame inset
    // 10 and 8 px.
    const wxRect lay = RectOf(ID_LAY_ON_FACE);
    EXPECT_TRUE(Strip().Entries()[static_cast<std::size_t>(IndexOf(ID_LAY_ON_FACE))].enabled);
    EXPECT_FALSE(ui::QueryCommand(Frame(), ID_LAY_ON_FACE).enabled);
    ExpectColour(shot, wxPoint(lay.x + 10, lay.y + 8), wxColour(170, 170, 170));
    ExpectColour(shot, wxPoint(lay.x + 9, lay.y + 8), colours.face);

    // Choosing Smooth from the menu moves the check on the next idle pass.
    ui::SendCommand(&Frame(), ID_SHADING_SMOOTH);
    PumpEvents(150);
    shot = GrabWindow(Strip());
    ExpectColour(shot, wxPoint(smooth.x + 2, smooth.y + 2), colours.checked);
    ExpectColour(shot, wxPoint(flat.x + 2, flat.y + 2), colours.face);
    ExpectColour(shot, wxPoint(flat.x, flat.y + 3), colours.face);
}

TEST_F(AppToolbarTest, ClicksTooltipsAndTheCommandTarget) {
    StartWithIcons();
    wxUIActionSimulator mouse;
    // Hover shows the label above the tooltip text, in the hover colours.
    mouse.MouseMove(ScreenCentre(ID_SHADING_WIREFRAME));
    ASSERT_TRUE(PumpUntil([&] { return Strip().HoverIndex() == IndexOf(ID_SHADING_WIREFRAME); }, 2000));
    EXPECT_EQ(Strip().GetToolTipText(), "Wireframe\nDraw the triangles' edges only.");
    const wxRect wire = RectOf(ID_SHADING_WIREFRAME);
    PumpEvents(50);
    ExpectColour(GrabWindow(Strip()), wxPoint(wire.x, wire.y + 3), Strip().GetColours().hoverFrame);

    // Pressed on Smooth, released over Wireframe: nothing.
    mouse.MouseMove(ScreenCentre(ID_SHADING_SMOOTH));
    PumpEvents(60);
    mouse.MouseDown();
    PumpEvents(60);
    EXPECT_EQ(Strip().PressedIndex(), IndexOf(ID_SHADING_SMOOTH));
    mouse.MouseMove(ScreenCentre(ID_SHADING_WIREFRAME));
    PumpEvents(60);
    mouse.MouseUp();
    PumpEvents(100);
    EXPECT_TRUE(view_->chosen.empty());
    EXPECT_EQ(Strip().PressedIndex(), -1);

    // A real click sends the command once; a disabled button sends nothing.
    mouse.MouseMove(ScreenCentre(ID_SHADING_WIREFRAME));
    PumpEvents(60);
    mouse.MouseClick();
    PumpEvents(100);
    EXPECT_EQ(view_->chosen, std::vector<CommandId>{ID_SHADING_WIREFRAME});
    EXPECT_TRUE(Strip().Entries()[static_cast<std::size_t>(IndexOf(ID_SHADING_WIREFRAME))].checked);
    mouse.MouseMove(ScreenCentre(ID_DISPLAY_SLICED));
    PumpEvents(60);
    mouse.MouseClick();
    PumpEvents(100);
    EXPECT_EQ(view_->sliced, 0);

    // A target of the owner's choosing answers the updates and gets the
    // commands; once it is gone the main window does again.
    auto* target = new wxFrame(nullptr, wxID_ANY, "target");
    std::vector<int> received;
    target->Bind(
        wxEVT_UPDATE_UI, [](wxUpdateUIEvent& event) { event.Enable(false); }, ui::WxIdOf(ID_SHADING_SMOOTH));
    target->Bind(
        wxEVT_UPDATE_UI, [](wxUpdateUIEvent& event) { event.Check(true); }, ui::WxIdOf(ID_DISPLAY_SLICED));
    target->Bind(wxEVT_MENU, [&](wxCommandEvent& event) {
        EXPECT_EQ(event.GetEventObject(), &Strip());
        received.push_back(event.GetId());
    });
    Strip().SetCommandTarget(target);
    Strip().UpdateButtonStates();
    const auto entry = [&](CommandId id) { return Strip().Entries()[static_cast<std::size_t>(IndexOf(id))]; };
    EXPECT_FALSE(entry(ID_SHADING_SMOOTH).enabled);
    EXPECT_TRUE(entry(ID_DISPLAY_SLICED).enabled);
    EXPECT_TRUE(entry(ID_DISPLAY_SLICED).checked);
    EXPECT_FALSE(entry(ID_SHADING_WIREFRAME).checked);  // no handler: enabled, unchecked
    // Still over Sliced; past the double-click time, as a second press soon
    // after the first is a double click, which sends nothing more.
    PumpEvents(600);
    mouse.MouseClick();
    PumpEvents(100);
    EXPECT_EQ(received, std::vector<int>{ui::WxIdOf(ID_DISPLAY_SLICED)});
    EXPECT_EQ(view_->sliced, 0);

    target->Destroy();
    PumpEvents(100);
    Strip().UpdateButtonStates();
    EXPECT_EQ(Strip().CommandTarget(), &Frame());
    EXPECT_FALSE(entry(ID_DISPLAY_SLICED).enabled);
    EXPECT_TRUE(entry(ID_SHADING_WIREFRAME).checked);
    mouse.MouseMove(1270, 790);
    PumpEvents(50);
}

}  // namespace
}  // namespace ridgeforge::testing
