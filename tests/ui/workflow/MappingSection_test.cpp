// The Mapping section in a window: side rows clicked for real, the check
// boxes that switch and those that must not, and the picture's colours.
#include <wx/dcmemory.h>

#include "tests/ui/workflow/SectionBodyFixture.h"
#include "ui/workflow/MappingBody.h"

namespace ridgeforge::testing {
namespace {

class MappingSectionTest : public SectionTest {
protected:
    CMappingBody* Make() {
        auto* body = MakeBody<CMappingBody>(FlowStep::Mapping, {340, 224});
        body->UpdateFromDocument(&document);
        PumpEvents(50);
        return body;
    }
    // The middle of row `index`'s name, and of its check box.
    static wxPoint RowName(int index) { return {80, 1 + 22 * index + 11}; }
    static wxPoint RowCheck(int index) { return {14, 1 + 22 * index + 11}; }

    // The picture painted off screen at its size.
    static wxImage PaintPicture(const CMappingPicture& picture, const wxSize& size) {
        wxBitmap bitmap(size, 24);
        {
            wxMemoryDC dc(bitmap);
            picture.PaintPicture(dc, size);
        }
        return bitmap.ConvertToImage();
    }
};

TEST_F(MappingSectionTest, SelectingASideAndClearingItWithASecondClick) {
    document.LoadBox();
    document.projection.type = mesh::ProjectionType::Cylinder;
    document.projection.cylinder.axis = mesh::Axis::Y;
    CMappingBody* body = Make();
    EXPECT_EQ(body->GetPreferredHeight(), 224);
    EXPECT_EQ(body->SideList()->GetPosition(), wxPoint(168, 54));
    ASSERT_EQ(body->SideList()->Rows().size(), 3u);
    EXPECT_EQ(body->SideList()->Rows()[1].name, "Top cap (+Y)");

    ClickAt(*body->SideList(), RowName(1));
    EXPECT_EQ(document.projection.activeLayer, 4);
    EXPECT_EQ(document.hints, (std::vector<ViewUpdateHint>{ViewUpdateHint::PlacementChanged}));
    EXPECT_EQ(body->SideList()->Selected(), 1);
    ClickAt(*body->SideList(), RowName(1));
    EXPECT_EQ(document.projection.activeLayer, -1);
    EXPECT_EQ(body->SideList()->Selected(), -1);
    EXPECT_EQ(document.settingsChanges, 0);

    // The wall's check box switches the wall itself.
    ClickAt(*body->SideList(), RowCheck(0));
    EXPECT_FALSE(document.projection.cylinder.sideEnabled);
    EXPECT_EQ(document.settingsChanges, 1);
    EXPECT_FALSE(body->SideList()->Rows()[0].on);
    EXPECT_TRUE(frame->commands.empty());
}

TEST_F(MappingSectionTest, LayoutFollowsTheDpi) {
    CMappingBody* body = Make();
    body->SetSize(0, 0, 510, 336);
    body->SetDpi(144);
    EXPECT_EQ(body->GetPreferredHeight(), 336);
    // m 12, strip 60, gap 9, picture 162, axis strip 60.
    EXPECT_EQ(body->Picture()->GetRect(), wxRect(12, 81, 162, 162));
    EXPECT_EQ(body->AxisStrip()->GetRect(), wxRect(183, 81, 60, 174));
    EXPECT_EQ(body->SideList()->GetRect(), wxRect(252, 81, 510 - 252 - 12, 174));
    EXPECT_EQ(body->SurfacesStrip()->GetRect(), wxRect(12 + 93, 264, 510 - 24 - 93, 60));
}

TEST_F(MappingSectionTest, BoxSidesAreViewCommandsAndThePlaneCannotBeSwitchedOff) {
    document.LoadBox();
    CMappingBody* body = Make();
    ClickAt(*body->SideList(), RowCheck(3));
    EXPECT_EQ(frame->commands, (std::vector<CommandId>{32804}));

    document.projection.type = mesh::ProjectionType::Plane;
    body->UpdateFromDocument(&document);
    PumpEvents(50);
    ASSERT_EQ(body->SideList()->Rows().size(), 1u);
    const mesh::Projection before = document.projection;
    ClickAt(*body->SideList(), RowCheck(0));
    EXPECT_EQ(frame->commands.size(), 1u);
    EXPECT_TRUE(document.projection == before);
    EXPECT_EQ(document.settingsChanges, 0);
}

TEST_F(MappingSectionTest, WithoutAPartTheBoxesAreGreyAndInert) {
    CMappingBody* body = Make();
    ASSERT_EQ(body->SideList()->Rows().size(), 6u);
    ClickAt(*body->SideList(), RowCheck(0));
    ClickAt(*body->SideList(), RowName(2));
    EXPECT_TRUE(frame->commands.empty());
    EXPECT_EQ(document.projection.activeLayer, -1);
    PumpEvents(50);
    const wxImage shot = GrabWindow(*body->SideList());
    EXPECT_EQ(PixelAt(shot, 7 + 1, 5 + 12), wxColour(170, 176, 186));  // under the tick
}

TEST_F(MappingSectionTest, PictureShowsTheTopFaceOverWhite) {
    document.LoadBox();
    document.projection.box.sideEnabled = {false, false, false, false, true, false};
    CMappingBody* body = Make();
    const wxSize size = body->Picture()->GetClientSize();
    ASSERT_EQ(size, wxSize(108, 108));
    // (0.5, -0.5, 1) on the top face: (54 + 0.866 * 18.36, 58.32 - 18.36).
    const wxPoint inside(70, 40);
    const wxImage on = PaintPicture(*body->Picture(), size);
    const wxColour seen = PixelAt(on, inside.x, inside.y);
    EXPECT_NEAR(seen.Red(), 189, 2);
    EXPECT_NEAR(seen.Green(), 210, 2);
    EXPECT_NEAR(seen.Blue(), 248, 2);
    // The window shows the same.
    PumpEvents(50);
    const wxColour shown = PixelAt(GrabWindow(*body->Picture()), inside.x, inside.y);
    EXPECT_NEAR(shown.Red(), 189, 2);
    EXPECT_NEAR(shown.Blue(), 248, 2);

    document.projection.box.sideEnabled = {false, false, false, false, false, false};
    body->UpdateFromDocument(&document);
    EXPECT_EQ(PixelAt(PaintPicture(*body->Picture(), size), inside.x, inside.y), wxColour(255, 255, 255));

    // Without a part the face is drawn at half the alpha: 47 of 255.
    document.part = {};
    document.projection.box.sideEnabled[4] = true;
    body->UpdateFromDocument(&document);
    const wxColour faint = PixelAt(PaintPicture(*body->Picture(), size), inside.x, inside.y);
    EXPECT_NEAR(faint.Red(), 222, 2);
}

// A main window whose table handles the projection types: Cylinder ticked,
// Sphere disabled.
class ViewFrame : public RecordingFrame {
public:
    ViewFrame() {
        table.AddRange(
            32796, 32798, [this](CommandId id) { handled.push_back(id); },
            [](CommandId id, CommandState& state) { state.checked = id == 32798; });
        table.Add(
            32887, [this](CommandId id) { handled.push_back(id); },
            [](CommandId, CommandState& state) { state.enabled = false; });
    }
    std::vector<const CommandTable*> CommandRoute() const override { return {&table}; }
    CommandTable table;
    std::vector<CommandId> handled;
};

TEST_F(MappingSectionTest, StripsTakeTheirStatesFromTheCommandsAndSendThem) {
    frame->Destroy();
    auto* view = new ViewFrame();
    frame = view;
    CMappingBody* body = Make();
    CToolbarHostWnd& strip = *body->ProjectionStrip();
    // The committed icons, read from the source tree.
    strip.SetIconFolder(wxString::FromUTF8(RIDGEFORGE_RESOURCES_DIR), false);
    PumpEvents(50);
    const auto& entries = strip.Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(entries[2].checked);
    EXPECT_FALSE(entries[0].checked);
    EXPECT_FALSE(entries[3].enabled);
    const wxRect box = entries[0].rect;
    const wxRect sphere = entries[3].rect;
    ClickAt(strip, {box.x + box.width / 2, box.y + box.height / 2});
    ClickAt(strip, {sphere.x + sphere.width / 2, sphere.y + sphere.height / 2});
    EXPECT_EQ(view->handled, (std::vector<CommandId>{32796}));
    // On screen: the ticked button in the checked fill, the disabled one in
    // the face colour, and the box's icon (its blue side) inside its button.
    strip.Refresh();
    PumpEvents(50);
    const wxImage shot = GrabWindow(strip);
    const wxRect cylinder = entries[2].rect;
    EXPECT_EQ(PixelAt(shot, cylinder.x + 2, cylinder.y + 2), wxColour(226, 236, 248));
    EXPECT_EQ(PixelAt(shot, sphere.x + 2, sphere.y + 2), wxColour(248, 248, 248));
    int blue = 0;
    for (int y = box.y; y < box.GetBottom(); ++y)
        for (int x = box.x; x < box.GetRight(); ++x) {
            const wxColour c = PixelAt(shot, x, y);
            blue += c.Blue() > 180 && c.Red() < 100 && c.Green() < 150;
        }
    EXPECT_GT(blue, 20);
}

}  // namespace
}  // namespace ridgeforge::testing
