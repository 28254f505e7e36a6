// The program's Mapping > Settings..., Texture > Settings... and mask
// commands from the main window: each opens its window over the program's
// document, and what is chosen there reaches the document.
#include <gtest/gtest.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/toplevel.h>

#include "ui/app/DialogHelpPane.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/commands/CommandIds.h"
#include "ui/dialogs/MappingSettingsDialog.h"
#include "ui/dialogs/MaskPanel.h"
#include "ui/dialogs/TextureSettingsDialog.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/Commands.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

wxTopLevelWindow* FindTopLevel(const wxString& title) {
    for (wxWindow* window : wxTopLevelWindows)
        if (window->GetLabel() == title && window->IsShown()) return static_cast<wxTopLevelWindow*>(window);
    return nullptr;
}

void PressOk(wxWindow& dialog) {
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    ok.SetEventObject(dialog.FindWindow(wxID_OK));
    dialog.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
}

class SettingsMenusTest : public ShellTest {
protected:
    SettingsMenusTest() { programDocument_ = true; }
    CRidgeforgeDoc& Doc() { return *App().Document()->RidgeforgeDoc(); }
};

TEST_F(SettingsMenusTest, SettingsDialogsOpenFromTheMenusAndWriteBack) {
    ASSERT_TRUE(Start());
    Doc().OnTestCube();
    PumpEvents(50);

    bool sawHelp = false;
    Frame().CallAfter([&] {
        wxTopLevelWindow* dialog = FindTopLevel("Mapping Settings");
        ASSERT_NE(dialog, nullptr);
        sawHelp = dialog->FindWindow(kHelpPaneId) != nullptr;
        static_cast<wxTextCtrl*>(dialog->FindWindow(CMappingSettingsDialog::kSharpnessField))->ChangeValue("9");
        PressOk(*dialog);
    });
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_MAPPING_SETTINGS));
    EXPECT_TRUE(sawHelp);
    EXPECT_FLOAT_EQ(Doc().projection.box.blendSharpness, 9.0f);

    Frame().CallAfter([&] {
        wxTopLevelWindow* dialog = FindTopLevel("Texture Settings");
        ASSERT_NE(dialog, nullptr);
        static_cast<wxTextCtrl*>(dialog->FindWindow(CTextureSettingsDialog::kWidthField))->ChangeValue("12");
        PressOk(*dialog);
    });
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_TEXTURE_SETTINGS));
    EXPECT_FLOAT_EQ(Doc().texture.settings.widthMillimetres, 12.0f);
    EXPECT_FLOAT_EQ(Doc().texture.settings.heightMillimetres, 12.0f);  // locked to the 30 x 30 aspect
}

TEST_F(SettingsMenusTest, AddingAMaskShowsThePanelAndNoHandlesHidesIt) {
    ASSERT_TRUE(Start());
    EXPECT_FALSE(ui::QueryCommand(Frame(), ID_MASK_ADD_BOX).enabled);
    Doc().OnTestCube();
    EXPECT_FALSE(ui::QueryCommand(Frame(), ID_TOOL_MOVE_MASK).enabled);
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_MASK_ADD_BOX));
    ASSERT_TRUE(PumpUntil([] { return FindTopLevel("Mask Volumes") != nullptr; }, 2000));
    EXPECT_TRUE(ui::QueryCommand(Frame(), ID_TOOL_MOVE_MASK).checked);
    EXPECT_EQ(Doc().maskVolumes.size(), 1u);
    // The panel's Rotate button chooses that tool and shows it pressed.
    auto* panel = static_cast<CMaskPanel*>(FindTopLevel("Mask Volumes"));
    CToolbarHostWnd& strip = panel->Strip();
    ASSERT_TRUE(PumpUntil([&strip] { return !strip.Entries().at(1).rect.IsEmpty(); }, 2000));
    wxUIActionSimulator mouse;
    mouse.MouseMove(strip.ClientToScreen(strip.Entries()[1].rect.GetPosition() + wxPoint(6, 6)));
    PumpEvents(60);
    mouse.MouseClick();
    ASSERT_TRUE(PumpUntil([this] { return ui::QueryCommand(Frame(), ID_TOOL_ROTATE_MASK).checked; }, 2000));
    PumpEvents(60);
    EXPECT_TRUE(strip.Entries()[1].checked);
    EXPECT_FALSE(strip.Entries()[0].checked);
    EXPECT_TRUE(strip.Entries()[4].enabled);
    EXPECT_EQ(strip.Entries()[4].button.iconKey, "mask_delete");
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_TOOL_NONE));
    ASSERT_TRUE(PumpUntil([] { return FindTopLevel("Mask Volumes") == nullptr; }, 2000));
    EXPECT_TRUE(ui::QueryCommand(Frame(), ID_TOOL_NONE).checked);
    EXPECT_FALSE(ui::QueryCommand(Frame(), ID_MASK_EDIT).checked);

    // Edit Masks with no volume chosen chooses the first and opens the panel again.
    Doc().activeMask = -1;
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_MASK_EDIT));
    ASSERT_TRUE(PumpUntil([] { return FindTopLevel("Mask Volumes") != nullptr; }, 2000));
    EXPECT_EQ(Doc().activeMask, 0);
    EXPECT_TRUE(ui::QueryCommand(Frame(), ID_MASK_EDIT).checked);
}

}  // namespace
}  // namespace ridgeforge::testing
