// The "Mask Volumes" panel on screen over a real document: what the fields
// show and take back, that tabbing through them changes nothing, where the
// panel opens, how the list follows the document, and the commands it sends
// its owner (Delete, Escape, the close box) as the stand-in view answers them.
#include "ui/dialogs/MaskPanel.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <memory>

#include "ui/commands/CommandIds.h"
#include "ui/app/ToolbarHostWnd.h"
#include "document/RidgeforgeDoc.h"
#include "mesh/TestShapes.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Profile.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/commands/ViewCommands.h"

namespace ridgeforge {
namespace {

using testing::PumpEvents;
using testing::PumpUntil;

enum Field { kPosX, kPosY, kPosZ, kSizeX, kSizeY, kSizeZ, kTurnX, kTurnY, kTurnZ, kFeather };

class MaskPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.Set("XDG_CONFIG_HOME", dir_.Path().string());
        profile_ = std::make_unique<ui::Profile>("Fernwhistle", "MaskPanelTest", 4, wxID_FILE1);
        owner_ = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(700, 500));
        owner_->Bind(wxEVT_MENU, [this](wxCommandEvent& e) { commands_.push_back(ui::CommandOf(e.GetId())); });
        owner_->Show();
        // A part whose lowest point is at z 2.5.
        mesh::TriangleMesh cube = mesh::MakeTestCube(20.0f);
        cube.RecomputeBounds();
        const float lift = 2.5f - cube.boundsMin.z;
        for (mesh::Vertex& v : cube.vertices) v.position.z += lift;
        doc_.LoadTestShape(std::move(cube), L"cube", L"Cube", L"cube");
        ASSERT_EQ(doc_.AddMaskVolume(0), 0);
        mesh::MaskVolume v = doc_.maskVolumes[0];
        v.center = {12.3456f, 1.0f, 12.5f};
        v.size = {6.0f, 7.0f, 3.0f};
        v.rotationDegrees = {-0.004f, 30.0f, 0.0f};
        v.featherMillimetres = 1.25f;
        doc_.UpdateMaskVolume(0, v);
        doc_.StartPlacementHistory();
    }
    void TearDown() override {
        owner_->Destroy();
        PumpEvents(20);
    }
    CMaskPanel* MakePanel() {
        auto* panel = new CMaskPanel(owner_, profile_.get());
        panel->ShowNear(wxPoint(100, 100), &doc_);
        PumpEvents(80);
        return panel;
    }
    void TypeInto(CMaskPanel& panel, int field, const char* text) {
        wxTextCtrl& box = panel.Field(field);
        panel.Raise();
        box.SetFocus();
        ASSERT_TRUE(PumpUntil([&] { return box.HasFocus(); }, 2000));
        box.SelectAll();
        wxUIActionSimulator input;
        input.Text(text);
        ASSERT_TRUE(PumpUntil([&] { return box.GetValue() == text; }, 2000)) << box.GetValue();
        input.Char(WXK_RETURN);
        PumpEvents(60);
    }

    test::TempDir dir_{"maskpanel"};
    test::ScopedEnvironment env_;
    std::unique_ptr<ui::Profile> profile_;
    wxFrame* owner_ = nullptr;
    CRidgeforgeDoc doc_;
    CRidgeforgeView view_;
    std::vector<CommandId> commands_;
};

TEST_F(MaskPanelTest, FieldsShowTheVolumeWithZAboveTheBedAndTakeTypedValuesBack) {
    CMaskPanel* panel = MakePanel();
    EXPECT_EQ(panel->Field(kPosX).GetValue(), "12.35");
    EXPECT_EQ(panel->Field(kPosY).GetValue(), "1");
    EXPECT_EQ(panel->Field(kPosZ).GetValue(), "10");
    EXPECT_EQ(panel->Field(kSizeY).GetValue(), "7");
    EXPECT_EQ(panel->Field(kTurnX).GetValue(), "0");
    EXPECT_EQ(panel->Field(kFeather).GetValue(), "1.25");

    TypeInto(*panel, kPosZ, "20");
    EXPECT_FLOAT_EQ(doc_.maskVolumes[0].center.z, 22.5f);
    TypeInto(*panel, kSizeY, "0.2");
    EXPECT_FLOAT_EQ(doc_.maskVolumes[0].size.y, 0.5f);
    TypeInto(*panel, kFeather, "-1");
    EXPECT_FLOAT_EQ(doc_.maskVolumes[0].featherMillimetres, 0.0f);
    TypeInto(*panel, kTurnZ, "abc");
    EXPECT_EQ(doc_.maskVolumes[0].rotationDegrees.z, 0.0f);
    // The untouched values kept every digit.
    EXPECT_EQ(doc_.maskVolumes[0].center.x, 12.3456f);
    EXPECT_EQ(doc_.maskVolumes[0].rotationDegrees.x, -0.004f);
}

TEST_F(MaskPanelTest, TabbingThroughAllTenFieldsChangesNothingAndAddsNoUndoStep) {
    CMaskPanel* panel = MakePanel();
    const mesh::MaskVolume before = doc_.maskVolumes[0];
    const std::size_t undoSteps = doc_.undoStack.size();
    panel->Raise();
    panel->Field(kPosX).SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return panel->Field(kPosX).HasFocus(); }, 2000));
    wxUIActionSimulator input;
    for (int field = 1; field < 10; ++field) {
        input.Char(WXK_TAB);
        ASSERT_TRUE(PumpUntil([&] { return panel->Field(field).HasFocus(); }, 2000)) << field;
    }
    input.Char(WXK_TAB);
    PumpEvents(80);
    EXPECT_FALSE(panel->Field(kFeather).HasFocus());
    EXPECT_EQ(doc_.maskVolumes[0], before);
    EXPECT_EQ(doc_.maskVolumes[0].center.x, 12.3456f);
    EXPECT_EQ(doc_.undoStack.size(), undoSteps);
}

TEST_F(MaskPanelTest, MovingThePanelIsRememberedWhileADisplayHoldsThePlace) {
    CMaskPanel* panel = MakePanel();
    EXPECT_EQ(panel->GetPosition(), wxPoint(112, 112));
    panel->Move(300, 250);
    ASSERT_TRUE(PumpUntil([&] { return profile_->GetInt("MaskPanel", "X", -1) == 300; }, 2000));
    EXPECT_EQ(profile_->GetInt("MaskPanel", "Y", -1), 250);

    panel->Hide();
    panel->ShowNear(wxPoint(40, 40), &doc_);
    PumpEvents(60);
    EXPECT_EQ(panel->GetPosition(), wxPoint(300, 250));

    // Shown already: the place stays.
    panel->ShowNear(wxPoint(500, 10), &doc_);
    EXPECT_EQ(panel->GetPosition(), wxPoint(300, 250));

    // A place no display holds any more (the screen is 1280 x 800).
    panel->Hide();
    profile_->WriteInt("MaskPanel", "X", 1265);
    panel->ShowNear(wxPoint(40, 40), &doc_);
    PumpEvents(60);
    EXPECT_EQ(panel->GetPosition(), wxPoint(52, 52));
}

TEST_F(MaskPanelTest, TheListFollowsTheDocumentAndAFocusedFieldKeepsItsTyping) {
    ASSERT_EQ(doc_.AddMaskVolume(2), 1);
    CMaskPanel* panel = MakePanel();
    wxListCtrl& list = panel->List();
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(1, 1), "Sphere");
    EXPECT_EQ(list.GetItemState(1, wxLIST_STATE_SELECTED), wxLIST_STATE_SELECTED);
    const long rebuilds = panel->ListRebuilds();

    mesh::MaskVolume sphere = doc_.maskVolumes[1];
    sphere.enabled = false;
    doc_.UpdateMaskVolume(1, sphere);
    panel->SyncFromDocument(&doc_);
    EXPECT_EQ(panel->ListRebuilds(), rebuilds);
    EXPECT_FALSE(list.IsItemChecked(1));
    EXPECT_TRUE(list.IsItemChecked(0));

    sphere.name = "Dome";
    doc_.UpdateMaskVolume(1, sphere);
    panel->SyncFromDocument(&doc_);
    EXPECT_EQ(panel->ListRebuilds(), rebuilds + 1);
    EXPECT_EQ(list.GetItemText(1, 0), "Dome");

    // The user ticks the box again: the document's flag follows.
    list.CheckItem(1, true);
    PumpEvents(30);
    EXPECT_TRUE(doc_.maskVolumes[1].enabled);

    // Typing in Position Y, then a refresh after the volume moved.
    panel->Raise();
    panel->Field(kPosY).SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return panel->Field(kPosY).HasFocus(); }, 2000));
    panel->Field(kPosY).ChangeValue("77");
    sphere = doc_.maskVolumes[1];
    sphere.center = {3.0f, 4.0f, 2.5f + 6.0f};
    doc_.UpdateMaskVolume(1, sphere);
    panel->SyncFromDocument(&doc_);
    EXPECT_EQ(panel->Field(kPosY).GetValue(), "77");
    EXPECT_EQ(panel->Field(kPosX).GetValue(), "3");
    EXPECT_EQ(panel->Field(kPosZ).GetValue(), "6");

    // Choosing the other volume in the list makes it the document's.
    list.SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    PumpEvents(30);
    EXPECT_EQ(doc_.activeMask, 0);
}

TEST_F(MaskPanelTest, WithoutAChosenVolumeTheFieldsAreEmptyAndGreyed) {
    CMaskPanel* panel = MakePanel();
    doc_.activeMask = -1;
    panel->SyncFromDocument(&doc_);
    for (int field = 0; field < 10; ++field) {
        EXPECT_FALSE(panel->Field(field).IsEnabled());
        EXPECT_EQ(panel->Field(field).GetValue(), "");
    }
    panel->ApplyFields();  // nothing to apply to
    panel->SyncFromDocument(nullptr);
    EXPECT_EQ(panel->List().GetItemCount(), 0);
}

TEST_F(MaskPanelTest, EscapeAndTheCloseBoxAskForNoHandlesAndKeepThePanel) {
    CMaskPanel* panel = MakePanel();
    EXPECT_FALSE(panel->Close());
    PumpEvents(40);
    ASSERT_EQ(commands_.size(), 1u);
    EXPECT_EQ(commands_[0], ID_TOOL_NONE);
    panel->Raise();
    panel->List().SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return panel->List().HasFocus() || panel->HasFocus(); }, 2000));
    wxUIActionSimulator input;
    input.Char(WXK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return commands_.size() == 2; }, 2000));
    EXPECT_EQ(commands_[1], ID_TOOL_NONE);
    EXPECT_TRUE(panel->IsShown());
}

TEST_F(MaskPanelTest, DeleteOnTheLastVolumeLeavesNoHandlesAndHidesThePanel) {
    // Outlives the owner, which TearDown destroys with the view's window.
    CRidgeforgeView& view = view_;
    view.SetDocument(&doc_);
    view.CreateViewWindow(owner_);
    // The owner routes the panel's commands to the view, as the main window does.
    owner_->Bind(wxEVT_MENU, [&](wxCommandEvent& e) { view.Commands().Execute(ui::CommandOf(e.GetId())); });
    ASSERT_TRUE(view.Commands().Execute(ID_TOOL_MOVE_MASK));
    CMaskPanel* panel = view.CommandHandlers().MaskPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return panel->IsShown(); }, 2000));
    EXPECT_TRUE(doc_.placementToolActive);

    panel->Raise();
    panel->List().SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return panel->List().HasFocus(); }, 2000));
    wxUIActionSimulator input;
    input.Char(WXK_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return doc_.maskVolumes.empty(); }, 2000));
    PumpEvents(40);
    EXPECT_EQ(view.tool, ViewTool::None);
    EXPECT_FALSE(panel->IsShown());
    EXPECT_FALSE(doc_.placementToolActive);
    // A mask tool needs a volume.
    view.Commands().Execute(ID_TOOL_MOVE_MASK);
    EXPECT_FALSE(panel->IsShown());
}

// The tool strip: five icon buttons above the list, a click sends the
// button's command to the owner, and the Delete button shows its red cross.
TEST_F(MaskPanelTest, TheToolStripSitsAboveTheListAndSendsItsCommands) {
    CMaskPanel* panel = MakePanel();
    CToolbarHostWnd& strip = panel->Strip();
    strip.SetIconFolder(wxString::FromUTF8(RIDGEFORGE_RESOURCES_DIR), false);
    panel->Raise();
    PumpEvents(80);
    const auto& entries = strip.Entries();
    ASSERT_EQ(entries.size(), 5u);
    for (const ToolbarButtonState& entry : entries) EXPECT_FALSE(entry.rect.IsEmpty()) << entry.button.iconKey;
    EXPECT_EQ(strip.GetSize().y, 40);
    EXPECT_GE(panel->List().GetPosition().y, strip.GetRect().GetBottom());

    const wxRect duplicate = entries[3].rect;
    wxUIActionSimulator mouse;
    mouse.MouseMove(strip.ClientToScreen(duplicate.GetPosition() + wxPoint(duplicate.width / 2, duplicate.height / 2)));
    PumpEvents(60);
    mouse.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !commands_.empty(); }, 2000));
    EXPECT_EQ(commands_, std::vector<CommandId>{32908});

    strip.Refresh();
    PumpEvents(60);
    const wxImage shot = testing::GrabWindow(strip);
    auto reddish = [&shot](const wxRect& rect) {
        int count = 0;
        for (int y = rect.y; y <= rect.GetBottom(); ++y)
            for (int x = rect.x; x <= rect.GetRight(); ++x)
                count += shot.GetRed(x, y) > 170 && shot.GetGreen(x, y) < 120 && shot.GetBlue(x, y) < 120;
        return count;
    };
    EXPECT_GT(reddish(entries[4].rect), 15);
    EXPECT_EQ(reddish(entries[3].rect), 0);
}

}  // namespace
}  // namespace ridgeforge
