// The view's commands in the running program, as a person meets them: the
// menu marks, the camera presets, the status bar's tool text, and the F key
// that frames the part in the viewport but is typed into a text field.
#include <gtest/gtest.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <cmath>
#include <cstdlib>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/commands/CommandIds.h"
#include "ui/app/ShellDocument.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/dialogs/MaskPanel.h"
#include "document/RidgeforgeDoc.h"
#include "gl/CameraMath.h"
#include "ui/framework/App.h"
#include "ui/framework/Commands.h"
#include "tests/ui/app/ShellFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "ui/view/OpenGLViewport.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/commands/ViewCommands.h"

namespace ridgeforge::testing {
namespace {

bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

class ViewCommandsProgram : public ProgramShellTest {
protected:
    ViewCommandsProgram() : ProgramShellTest(200) {}
    CRidgeforgeView& View() { return dynamic_cast<CRidgeforgeView&>(App().DocManager()->GetView()); }
    COpenGLViewport* Viewport() {
        return dynamic_cast<COpenGLViewport*>(View().Window()->FindWindow(COpenGLViewport::kControlId));
    }
    wxMenuItem* Item(CommandId id) { return Frame().GetMenuBar()->FindItem(ui::WxIdOf(id)); }
    // The menus as they are about to open: every item's update handler run.
    void UpdateMenus() {
        wxMenuBar* bar = Frame().GetMenuBar();
        for (size_t i = 0; i < bar->GetMenuCount(); ++i) bar->GetMenu(i)->UpdateUI(&Frame());
    }
};

TEST_F(ViewCommandsProgram, MenuMarksCameraPresetsAndToolText) {
    ASSERT_TRUE(started_);
    UpdateMenus();
    ASSERT_NE(Item(ID_SHADING_FLAT), nullptr);
    EXPECT_EQ(Item(ID_SHADING_FLAT)->GetKind(), wxITEM_RADIO);
    EXPECT_TRUE(Item(ID_SHADING_FLAT)->IsChecked());
    EXPECT_FALSE(Item(ID_SHADING_SMOOTH)->IsChecked());
    EXPECT_EQ(Item(ID_SHOW_NORMALS)->GetKind(), wxITEM_CHECK);
    // "Num 5" is named but is no accelerator: the keypad's 5 stays the viewport's.
    EXPECT_NE(Item(ID_VIEW_ORTHOGRAPHIC)->GetItemLabel().Find("Num 5"), wxNOT_FOUND);
    EXPECT_EQ(Item(ID_VIEW_ORTHOGRAPHIC)->GetAccel(), nullptr);
    EXPECT_FALSE(Item(ID_STOP_PROCESSING)->IsEnabled());
    EXPECT_FALSE(Item(ID_TOOL_MOVE_TEXTURE)->IsEnabled());

    Doc().OnTestCube();
    PumpEvents(200);
    COpenGLViewport* viewport = Viewport();
    ASSERT_NE(viewport, nullptr);
    gl::Renderer& r = viewport->renderer;
    ASSERT_TRUE(r.ready);

    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_VIEW_TOP));
    EXPECT_FLOAT_EQ(r.pitchDegrees, 89.5f);
    EXPECT_FLOAT_EQ(r.yawDegrees, -90.0f);
    EXPECT_TRUE(r.orthographic);
    EXPECT_FLOAT_EQ(r.distance, gl::FramingDistance(r.sceneRadius));
    UpdateMenus();
    EXPECT_TRUE(Item(ID_VIEW_ORTHOGRAPHIC)->IsChecked());
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_VIEW_BOTTOM));
    EXPECT_FLOAT_EQ(r.pitchDegrees, -89.5f);
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_VIEW_ISOMETRIC));
    EXPECT_FALSE(r.orthographic);
    EXPECT_FLOAT_EQ(r.yawDegrees, -135.0f);
    EXPECT_FLOAT_EQ(r.pitchDegrees, 45.0f);
    // Orthographic turned on by hand: Isometric still returns to perspective,
    // and an axis view keeps it on.
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_VIEW_ORTHOGRAPHIC));
    EXPECT_TRUE(r.orthographic);
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_VIEW_LEFT));
    EXPECT_TRUE(r.orthographic);
    EXPECT_FALSE(viewport->interaction.autoOrthographic);
    EXPECT_FLOAT_EQ(std::abs(r.yawDegrees), 180.0f);
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_VIEW_ISOMETRIC));
    EXPECT_FALSE(r.orthographic);

    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_TOOL_MOVE_TEXTURE));
    EXPECT_EQ(Frame().GetStatusBar()->GetStatusText(2), "Tool: Move Texture");
    UpdateMenus();
    EXPECT_TRUE(Item(ID_TOOL_MOVE_TEXTURE)->IsChecked());
    EXPECT_FALSE(Item(ID_TOOL_NONE)->IsChecked());

    EXPECT_FALSE(r.showNormals);
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_SHOW_NORMALS));
    EXPECT_TRUE(r.showNormals);
    EXPECT_GT(r.normalLines.count, 0);
    UpdateMenus();
    EXPECT_TRUE(Item(ID_SHOW_NORMALS)->IsChecked());

    // Add Box turns to Move Mask with the panel; the last volume going by
    // another road (undo, a project) ends at No Handles with the panel hidden.
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_MASK_ADD_BOX));
    EXPECT_EQ(View().tool, ViewTool::MoveMask);
    CMaskPanel* panel = View().CommandHandlers().MaskPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->IsShown());
    EXPECT_EQ(Frame().GetStatusBar()->GetStatusText(2), "Tool: Move Mask");
    Doc().DeleteMaskVolume(0);
    Doc().UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    EXPECT_EQ(View().tool, ViewTool::None);
    EXPECT_FALSE(panel->IsShown());
    EXPECT_EQ(Frame().GetStatusBar()->GetStatusText(2), "Tool: none (orbit)");

    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_MESH_INFORMATION));
    EXPECT_EQ(Frame().Information().InformationText(), Doc().MeshInformationReport());
}

// A part adopted while a tool is active (Test Shapes, Open, New) clears the
// document's tool flag; the view drops the tool with it, so Process then
// starts the way it does from No Handles, and nothing of the tool is drawn.
TEST_F(ViewCommandsProgram, ANewPartDropsTheToolAsProcessDoes) {
    ASSERT_TRUE(started_);
    Doc().OnTestSphere();
    PumpEvents(100);
    for (const CommandId tool : {ID_TOOL_MOVE_TEXTURE, ID_TOOL_ROTATE_CAGE}) {
        ASSERT_TRUE(ui::SendCommand(&Frame(), tool));
        ASSERT_NE(View().tool, ViewTool::None);
        ASSERT_TRUE(Doc().placementToolActive);
        Doc().OnTestCube();
        PumpEvents(50);
        EXPECT_EQ(View().tool, ViewTool::None);
        EXPECT_FALSE(Doc().placementToolActive);
        EXPECT_EQ(Frame().GetStatusBar()->GetStatusText(2), "Tool: none (orbit)");
        UpdateMenus();
        EXPECT_TRUE(Item(ID_TOOL_NONE)->IsChecked());
    }
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_TOOL_MOVE_TEXTURE));
    ASSERT_TRUE(App().DocManager()->OnFileNew());
    PumpEvents(50);
    EXPECT_EQ(View().tool, ViewTool::None);
    EXPECT_EQ(Frame().GetStatusBar()->GetStatusText(2), "Tool: none (orbit)");
}

// Duplicate and Delete act on the chosen mask volume, so both are off
// whenever none is chosen, in the menu route and on the panel's strip:
// with no volume, and with one that Undo and Redo brought back unchosen.
TEST_F(ViewCommandsProgram, DuplicateAndDeleteMaskAreOffWhileNoMaskIsChosen) {
    ASSERT_TRUE(started_);
    Doc().OnTestCube();
    PumpEvents(100);
    auto enabled = [&](CommandId id) { return ui::QueryCommand(Frame(), id).enabled; };
    EXPECT_FALSE(enabled(ID_MASK_DUPLICATE));
    EXPECT_FALSE(enabled(ID_MASK_DELETE));

    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MASK_ADD_BOX));
    CMaskPanel* panel = View().CommandHandlers().MaskPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return panel->IsShown(); }, 2000));
    // The strip's entries in order: Move, Rotate, Resize, Duplicate, Delete.
    auto onStrip = [&](std::size_t entry) {
        PumpEvents(30);
        panel->UpdateStrip();
        return panel->Strip().Entries().at(entry).enabled;
    };
    EXPECT_TRUE(enabled(ID_MASK_DUPLICATE));
    EXPECT_TRUE(enabled(ID_MASK_DELETE));
    EXPECT_TRUE(onStrip(3));
    EXPECT_TRUE(onStrip(4));

    // Chosen no longer while the panel is open: the strip greys both.
    Doc().SelectMask(-1);
    PumpEvents(30);
    EXPECT_FALSE(enabled(ID_MASK_DUPLICATE));
    EXPECT_FALSE(enabled(ID_MASK_DELETE));
    EXPECT_FALSE(onStrip(3));
    EXPECT_FALSE(onStrip(4));
    Doc().SelectMask(0);
    PumpEvents(30);

    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_EDIT_UNDO));
    PumpEvents(50);
    ASSERT_TRUE(Doc().maskVolumes.empty());
    EXPECT_FALSE(enabled(ID_MASK_DUPLICATE));
    EXPECT_FALSE(enabled(ID_MASK_DELETE));
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_EDIT_REDO));
    PumpEvents(50);
    ASSERT_EQ(Doc().maskVolumes.size(), 1u);
    ASSERT_EQ(Doc().activeMask, -1);
    EXPECT_FALSE(enabled(ID_MASK_DUPLICATE));
    EXPECT_FALSE(enabled(ID_MASK_DELETE));
    ui::SendCommand(&Frame(), ID_MASK_DUPLICATE);
    ui::SendCommand(&Frame(), ID_MASK_DELETE);
    EXPECT_EQ(Doc().maskVolumes.size(), 1u);

    // Edit Masks chooses the volume: both come back, on the strip too.
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MASK_EDIT));
    ASSERT_TRUE(PumpUntil([&] { return panel->IsShown(); }, 2000));
    EXPECT_EQ(Doc().activeMask, 0);
    EXPECT_TRUE(enabled(ID_MASK_DUPLICATE));
    EXPECT_TRUE(enabled(ID_MASK_DELETE));
    EXPECT_TRUE(onStrip(3));
    EXPECT_TRUE(onStrip(4));
}

// With two volumes, a choice made away from the panel's list (by the
// document, as the view's commands do, and by Undo) shows in the list
// without emptying and filling it again; only a change of the volumes
// themselves refills it.
TEST_F(ViewCommandsProgram, TheMaskListFollowsAChoiceMadeElsewhere) {
    ASSERT_TRUE(started_);
    Doc().OnTestCube();
    PumpEvents(100);
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MASK_ADD_BOX));
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MASK_ADD_SPHERE));
    CMaskPanel* panel = View().CommandHandlers().MaskPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return panel->IsShown(); }, 2000));
    wxListCtrl& list = panel->List();
    ASSERT_EQ(list.GetItemCount(), 2);
    auto selected = [&](long item) { return list.GetItemState(item, wxLIST_STATE_SELECTED) != 0; };
    EXPECT_TRUE(selected(1));

    // The person chooses the box in the list.
    list.SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    PumpEvents(30);
    ASSERT_EQ(Doc().activeMask, 0);
    EXPECT_TRUE(selected(0));
    EXPECT_FALSE(selected(1));
    const long rebuilds = panel->ListRebuilds();

    // The sphere is chosen elsewhere: the list moves its selection and the
    // fields show the sphere, whose centre sits apart from the box's.
    mesh::MaskVolume sphere = Doc().maskVolumes[1];
    sphere.center.x = 7.5f;
    Doc().UpdateMaskVolume(1, sphere);
    Doc().SelectMask(1);
    PumpEvents(30);
    EXPECT_FALSE(selected(0));
    EXPECT_TRUE(selected(1));
    EXPECT_EQ(list.GetItemState(1, wxLIST_STATE_FOCUSED), wxLIST_STATE_FOCUSED);
    EXPECT_EQ(panel->Field(0).GetValue(), "7.5");
    EXPECT_EQ(panel->ListRebuilds(), rebuilds);

    // Undo of the sphere's move keeps the sphere chosen and the list as it is.
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_EDIT_UNDO));
    PumpEvents(30);
    ASSERT_EQ(Doc().maskVolumes.size(), 2u);
    EXPECT_NE(Doc().maskVolumes[1].center.x, 7.5f);
    EXPECT_EQ(Doc().activeMask, 1);
    EXPECT_TRUE(selected(1));
    EXPECT_FALSE(selected(0));
    EXPECT_NE(panel->Field(0).GetValue(), "7.5");
    EXPECT_EQ(panel->ListRebuilds(), rebuilds);

    // A copy of the sphere is a third row, chosen; Undo takes it away and
    // the sphere, the second row, is chosen again.
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MASK_DUPLICATE));
    PumpEvents(30);
    ASSERT_EQ(list.GetItemCount(), 3);
    EXPECT_TRUE(selected(2));
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_EDIT_UNDO));
    PumpEvents(30);
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(Doc().activeMask, 1);
    EXPECT_TRUE(selected(1));
    EXPECT_FALSE(selected(0));
}

TEST_F(ViewCommandsProgram, TheFKeyFramesThePartButIsTypedIntoATextField) {
    ASSERT_TRUE(started_);
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    Doc().OnTestCube();
    PumpEvents(200);
    COpenGLViewport* viewport = Viewport();
    ASSERT_NE(viewport, nullptr);
    gl::Renderer& r = viewport->renderer;
    const float framed = gl::FramingDistance(r.sceneRadius);

    auto* field = new wxTextCtrl(&Frame(), wxID_ANY, "", wxPoint(0, 0), wxSize(120, 28));
    field->Raise();
    Frame().Raise();
    field->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return field->HasFocus(); }, 2000));
    r.distance = 3.0f * framed;
    ASSERT_EQ(std::system("xdotool key f"), 0);
    ASSERT_TRUE(PumpUntil([&] { return field->GetValue() == "f"; }, 2000)) << field->GetValue();
    EXPECT_FLOAT_EQ(r.distance, 3.0f * framed);
    // Home, the other framing key, moves the caret there.
    ASSERT_EQ(std::system("xdotool key Home key g"), 0);
    ASSERT_TRUE(PumpUntil([&] { return field->GetValue() == "gf"; }, 2000)) << field->GetValue();
    EXPECT_FLOAT_EQ(r.distance, 3.0f * framed);

    viewport->Canvas().SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return !field->HasFocus(); }, 2000));
    ASSERT_EQ(std::system("xdotool key f"), 0);
    EXPECT_TRUE(PumpUntil([&] { return std::abs(r.distance - framed) < 1e-4f * framed; }, 2000)) << r.distance;
    EXPECT_EQ(field->GetValue(), "gf");
    field->Destroy();
}

}  // namespace
}  // namespace ridgeforge::testing
