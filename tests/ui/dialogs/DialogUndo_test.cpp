// Each dialog that edits the document's settings, driven through its OK as
// a person would: one OK is one Undo step, whatever it changed, and one Redo
// brings all of it again.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include <vector>

#include "ui/dialogs/MappingSettingsDialog.h"
#include "ui/dialogs/ProceduralTextureDialog.h"
#include "ui/commands/MappingTextureCommands.h"
#include "ui/dialogs/RemeshSettingsDialog.h"
#include "ui/dialogs/SeamlessDialog.h"
#include "ui/commands/SettingsCommands.h"
#include "ui/dialogs/TextureSettingsDialog.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/document/FakeHost.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/DialogFixture.h"

namespace ridgeforge {
namespace {

using testing::DialogTest;

// The open modal dialog, found through one of its controls.
wxWindow& OpenDialog(int anyChildId) { return *wxWindow::FindWindowById(anyChildId)->GetParent(); }


class DialogUndoTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        d_.doc.OnTestCube();
    }
    // One more undo step than before, and an empty redo stack.
    void ExpectOneStep(std::size_t before) {
        EXPECT_EQ(d_.doc.undoStack.size(), before + 1);
        EXPECT_TRUE(d_.doc.redoStack.empty());
    }
    test::HostedDocument d_;
};

TEST_F(DialogUndoTest, MappingSettings) {
    // Blending and whole tiles in one mapping that uses both (the sphere),
    // every value moved off its start.
    d_.doc.Edit([](DocumentEdit& edit) { edit.projection.type = mesh::ProjectionType::Sphere; });
    const mesh::Projection start = d_.doc.projection;
    ASSERT_FALSE(start.box.blended);
    ASSERT_FLOAT_EQ(start.box.blendSharpness, 4.0f);
    ASSERT_TRUE(start.sphere.wholeTiles);
    const std::size_t depth = d_.doc.undoStack.size();
    wxTheApp->CallAfter([] {
        using M = CMappingSettingsDialog;
        wxWindow& dialog = OpenDialog(M::kBlendBox);
        Control<wxCheckBox>(dialog, M::kBlendBox)->SetValue(true);
        Control<wxTextCtrl>(dialog, M::kSharpnessField)->ChangeValue("9");
        Control<wxCheckBox>(dialog, M::kWholeTilesBox)->SetValue(false);
        Control<wxChoice>(dialog, M::kGridList)->SetSelection(2);
        Press(dialog, wxID_OK);
    });
    ASSERT_TRUE(RunMappingSettings(d_.doc, nullptr));
    EXPECT_TRUE(d_.doc.projection.box.blended);
    EXPECT_FLOAT_EQ(d_.doc.projection.box.blendSharpness, 9.0f);
    EXPECT_FALSE(d_.doc.projection.sphere.wholeTiles);
    EXPECT_TRUE(d_.doc.projection.cylinder.wholeTiles);  // not the sphere mapping's
    EXPECT_EQ(d_.doc.occupancyCells, 512);
    ExpectOneStep(depth);

    d_.doc.OnEditUndo();
    EXPECT_FALSE(d_.doc.projection.box.blended);
    EXPECT_FLOAT_EQ(d_.doc.projection.box.blendSharpness, 4.0f);
    EXPECT_TRUE(d_.doc.projection.sphere.wholeTiles);
    EXPECT_EQ(d_.doc.undoStack.size(), depth);
    d_.doc.OnEditRedo();
    EXPECT_TRUE(d_.doc.projection.box.blended);
    EXPECT_FLOAT_EQ(d_.doc.projection.box.blendSharpness, 9.0f);
    EXPECT_FALSE(d_.doc.projection.sphere.wholeTiles);
    EXPECT_TRUE(d_.doc.redoStack.empty());
}

TEST_F(DialogUndoTest, TextureSettings) {
    d_.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    const mesh::TextureSettings start = d_.doc.texture.settings;
    ASSERT_FLOAT_EQ(start.widthMillimetres, 30.0f);
    ASSERT_FALSE(start.invert);
    ASSERT_FLOAT_EQ(start.blurMillimetres, 0.0f);
    const std::size_t depth = d_.doc.undoStack.size();
    wxTheApp->CallAfter([] {
        using T = CTextureSettingsDialog;
        wxWindow& dialog = OpenDialog(T::kWidthField);
        Control<wxTextCtrl>(dialog, T::kWidthField)->ChangeValue("12");
        Control<wxCheckBox>(dialog, T::kInvertBox)->SetValue(true);
        Control<wxTextCtrl>(dialog, T::kBlurField)->ChangeValue("0.5");
        Press(dialog, wxID_OK);
    });
    ASSERT_TRUE(RunTextureSettings(d_.doc, nullptr));
    EXPECT_FLOAT_EQ(d_.doc.texture.settings.widthMillimetres, 12.0f);
    EXPECT_TRUE(d_.doc.texture.settings.invert);
    EXPECT_FLOAT_EQ(d_.doc.texture.settings.blurMillimetres, 0.5f);
    ExpectOneStep(depth);

    d_.doc.OnEditUndo();
    EXPECT_FLOAT_EQ(d_.doc.texture.settings.widthMillimetres, 30.0f);
    EXPECT_FALSE(d_.doc.texture.settings.invert);
    EXPECT_FLOAT_EQ(d_.doc.texture.settings.blurMillimetres, 0.0f);
    d_.doc.OnEditRedo();
    EXPECT_FLOAT_EQ(d_.doc.texture.settings.widthMillimetres, 12.0f);
    EXPECT_TRUE(d_.doc.texture.settings.invert);
    EXPECT_FLOAT_EQ(d_.doc.texture.settings.blurMillimetres, 0.5f);
}

// The relief page is checked with a processed result in
// SettingsCommands_test; here the simplify page with the triangle limit.
TEST_F(DialogUndoTest, SimplifySettings) {
    const mesh::SimplifySettings start = d_.doc.simplifySettings;
    ASSERT_EQ(d_.doc.maximumTriangles, 18'000'000u);
    const std::size_t depth = d_.doc.undoStack.size();
    wxTheApp->CallAfter([] {
        using D = CRemeshSettingsDialog;
        wxWindow& dialog = OpenDialog(D::kPlanarToleranceField);
        Control<wxTextCtrl>(dialog, D::kPlanarToleranceField)->SetValue("0.5");
        Control<wxTextCtrl>(dialog, D::kTriangleLimitField)->SetValue("9");
        Press(dialog, D::kLowButton);
        Press(dialog, wxID_OK);
    });
    ASSERT_TRUE(RunReliefSettingsCommand(d_.doc, nullptr, 2));
    EXPECT_FLOAT_EQ(d_.doc.simplifySettings.planarToleranceMillimetres, 0.5f);
    EXPECT_NE(d_.doc.simplifySettings.meshDetailError, start.meshDetailError);
    EXPECT_EQ(d_.doc.maximumTriangles, 9'000'000u);
    const mesh::SimplifySettings chosen = d_.doc.simplifySettings;
    ExpectOneStep(depth);

    d_.doc.OnEditUndo();
    EXPECT_TRUE(d_.doc.simplifySettings == start);
    EXPECT_EQ(d_.doc.maximumTriangles, 18'000'000u);
    d_.doc.OnEditRedo();
    EXPECT_TRUE(d_.doc.simplifySettings == chosen);
    EXPECT_EQ(d_.doc.maximumTriangles, 9'000'000u);
}

TEST_F(DialogUndoTest, SeamlessMethodAndItsValue) {
    std::vector<float> pixels(32 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i % 32) / 31.0f;
    d_.doc.texture.SetImage(32, 16, pixels);
    d_.doc.StartPlacementHistory();
    ASSERT_EQ(d_.doc.texture.settings.seamlessMethod, "Unchanged");
    wxTheApp->CallAfter([] {
        auto* list = static_cast<wxChoice*>(wxWindow::FindWindowById(CSeamlessDialog::kMethodList));
        auto* dialog = static_cast<CSeamlessDialog*>(list->GetParent());
        list->SetStringSelection("Cross-fade");
        dialog->OnMethodChanged();
        Control<wxTextCtrl>(*dialog, CSeamlessDialog::kFirstField)->SetValue("10");
        Press(*dialog, wxID_OK);
    });
    ASSERT_TRUE(RunSeamlessCommand(d_.doc, nullptr));
    EXPECT_EQ(d_.doc.texture.settings.seamlessMethod, "Cross-fade");
    EXPECT_EQ(d_.doc.texture.settings.seamlessParameters, "percent=10\n");
    ExpectOneStep(0);

    d_.doc.OnEditUndo();
    EXPECT_EQ(d_.doc.texture.settings.seamlessMethod, "Unchanged");
    EXPECT_EQ(d_.doc.texture.settings.seamlessParameters, "");
    d_.doc.OnEditRedo();
    EXPECT_EQ(d_.doc.texture.settings.seamlessMethod, "Cross-fade");
    EXPECT_EQ(d_.doc.texture.settings.seamlessParameters, "percent=10\n");
}

TEST_F(DialogUndoTest, ProceduralTextureSettings) {
    d_.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    d_.doc.StartPlacementHistory();
    ASSERT_FLOAT_EQ(d_.doc.proceduralTexture->GetValue("stripes"), 8.0f);
    const std::uint32_t revision = d_.doc.textureRevision;
    test::TempDir dir("procedural undo");
    const std::vector<LibraryRoot> roots = {{dir / "program", false}, {dir / "user", true}};
    d_.host.proceduralDialog = [&](mesh::procedural::ProceduralTexture& texture) {
        using D = CProceduralTextureDialog;
        D dialog(owner_, texture, 2, roots);
        wxTheApp->CallAfter([&dialog] {
            Control<wxTextCtrl>(dialog, D::kFirstField)->SetValue("12");       // stripes
            Control<wxChoice>(dialog, D::kFirstCombo + 1)->SetSelection(2);     // direction
            Control<wxTextCtrl>(dialog, D::kFirstField + 3)->SetValue("0.5");  // sharpness
            Press(dialog, wxID_OK);
        });
        return dialog.ShowModal() == wxID_OK;
    };
    d_.doc.OnProceduralSettings();
    ASSERT_EQ(d_.host.proceduralDialogRuns, 1);
    const auto expectValues = [this](float stripes, float direction, float sharpness) {
        ASSERT_NE(d_.doc.proceduralTexture, nullptr);
        EXPECT_FLOAT_EQ(d_.doc.proceduralTexture->GetValue("stripes"), stripes);
        EXPECT_FLOAT_EQ(d_.doc.proceduralTexture->GetValue("direction"), direction);
        EXPECT_FLOAT_EQ(d_.doc.proceduralTexture->GetValue("sharpness"), sharpness);
    };
    expectValues(12.0f, 2.0f, 0.5f);
    EXPECT_NE(d_.doc.textureRevision, revision);
    ExpectOneStep(0);

    d_.doc.OnEditUndo();
    expectValues(8.0f, 0.0f, 0.0f);
    EXPECT_EQ(d_.doc.textureRevision, revision);
    d_.doc.OnEditRedo();
    expectValues(12.0f, 2.0f, 0.5f);
}

}  // namespace
}  // namespace ridgeforge
