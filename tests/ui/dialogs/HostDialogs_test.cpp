// The desktop host opens the document's two modal dialogs over the main
// window and hands back what the user chose.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include "ui/app/WxDocumentHost.h"
#include "ui/dialogs/ProceduralTextureDialog.h"
#include "ui/dialogs/RemeshInputDialog.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/ui/app/ShellFixture.h"
#include "testing/Shapes.h"

namespace ridgeforge::testing {
namespace {

void Press(wxWindow* dialog, int id) {
    wxWindow* button = dialog->FindWindow(id);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

class HostDialogsTest : public ShellTest {};

TEST_F(HostDialogsTest, RemeshInputAndProceduralTextureRunOverTheMainWindow) {
    ASSERT_TRUE(Start());
    WxDocumentHost host(App());

    const mesh::TriangleMesh part = test::MakeBox({0, 0, 0}, {10, 20, 30});
    mesh::RemeshSettings start;
    start.method = mesh::kRemeshContour;
    start.targetEdgeMillimetres = 0.4f;
    mesh::RemeshSettings chosen;
    wxWindow* parent = nullptr;
    wxTheApp->CallAfter([&] {
        auto* field = static_cast<wxTextCtrl*>(wxWindow::FindWindowById(CRemeshInputDialog::kSizeField));
        parent = field->GetParent()->GetParent();
        field->SetValue("0.25");
        Press(field->GetParent(), wxID_OK);
    });
    ASSERT_TRUE(host.RunRemeshInputDialog(start, part, 18'000'000, chosen));
    EXPECT_EQ(parent, &Frame());
    EXPECT_EQ(chosen.method, mesh::kRemeshContour);
    EXPECT_FLOAT_EQ(chosen.targetEdgeMillimetres, 0.25f);

    auto texture = mesh::procedural::CreateTexture("Bricks");
    int tiles = 0;
    wxTheApp->CallAfter([&] {
        auto* field = static_cast<wxTextCtrl*>(wxWindow::FindWindowById(CProceduralTextureDialog::kFirstField));
        auto* dialog = static_cast<CProceduralTextureDialog*>(field->GetParent());
        tiles = dialog->TileCount();
        field->SetValue("12");
        Press(dialog, wxID_OK);
    });
    ASSERT_TRUE(host.RunProceduralTextureDialog(*texture));
    EXPECT_EQ(tiles, 2);
    EXPECT_FLOAT_EQ(texture->GetValue("rows"), 12.0f);

    wxTheApp->CallAfter([&] {
        auto* field = wxWindow::FindWindowById(CProceduralTextureDialog::kFirstField);
        static_cast<wxDialog*>(field->GetParent())->EndModal(wxID_CANCEL);
    });
    EXPECT_FALSE(host.RunProceduralTextureDialog(*texture));
}

}  // namespace
}  // namespace ridgeforge::testing
