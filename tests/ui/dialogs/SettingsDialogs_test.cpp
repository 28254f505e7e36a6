// Mapping Settings and Texture Settings on screen, and what their callers
// write back into the document.
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <algorithm>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/LevelsControl.h"
#include "ui/dialogs/MappingSettingsDialog.h"
#include "ui/commands/MappingTextureCommands.h"
#include "ui/dialogs/TextureSettingsDialog.h"
#include "document/RidgeforgeDoc.h"
#include "tests/support/ui/DialogFixture.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

using testing::GrabWindow;
using testing::PumpEvents;
using testing::PumpUntil;
using M = CMappingSettingsDialog;
using T = CTextureSettingsDialog;

class SettingsDialogsTest : public testing::DialogTest {
protected:
    SettingsDialogsTest() : DialogTest(wxSize(1000, 760)) {}
    static wxCheckBox* Box(wxWindow& dialog, int id) { return Control<wxCheckBox>(dialog, id); }
    static wxTextCtrl* Field(wxWindow& dialog, int id) { return Control<wxTextCtrl>(dialog, id); }
};

TEST_F(SettingsDialogsTest, PlaneMappingGreysBlendingAndOkKeepsTheStoredFlag) {
    M dialog(owner_);
    dialog.blendingApplies = false;
    dialog.blendSides = true;
    dialog.sharpness = 6.0f;
    dialog.testGridCells = 300;
    dialog.Open();
    dialog.Show();
    EXPECT_FALSE(dialog.FindWindow(M::kBlendBox)->IsEnabled());
    EXPECT_FALSE(dialog.FindWindow(M::kSharpnessField)->IsEnabled());
    EXPECT_EQ(dialog.NoteText(), "Blending belongs to the box and sphere mappings.");
    EXPECT_EQ(static_cast<wxChoice*>(dialog.FindWindow(M::kGridList))->GetSelection(), 1);
    EXPECT_EQ(static_cast<wxChoice*>(dialog.FindWindow(M::kGridList))->GetString(1), "256 cells across");
    EXPECT_NE(dialog.FindWindow(kHelpPaneId), nullptr);
    Box(dialog, M::kBlendBox)->SetValue(false);
    Box(dialog, M::kWholeTilesBox)->SetValue(false);
    dialog.TakeControls();
    EXPECT_TRUE(dialog.blendSides);
    EXPECT_FALSE(dialog.wholeTiles);
    EXPECT_EQ(dialog.testGridCells, 256);
}

TEST_F(SettingsDialogsTest, BoxMappingNoteFollowsTheBlendBoxAndSharpnessIsHeldTo1To16) {
    M dialog(owner_);
    dialog.blendSides = false;
    dialog.testGridCells = 512;
    dialog.Open();
    dialog.Show();
    EXPECT_TRUE(dialog.FindWindow(M::kBlendBox)->IsEnabled());
    EXPECT_FALSE(dialog.FindWindow(M::kSharpnessField)->IsEnabled());
    EXPECT_EQ(dialog.NoteText(), "");
    EXPECT_EQ(Field(dialog, M::kSharpnessField)->GetValue(), "4");

    // A real click on the box.
    wxCheckBox* box = Box(dialog, M::kBlendBox);
    dialog.Raise();
    PumpEvents(80);
    wxUIActionSimulator input;
    input.MouseMove(box->ClientToScreen(wxPoint(8, box->GetSize().y / 2)));
    input.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return box->GetValue(); }, 2000));
    PumpEvents(50);
    EXPECT_TRUE(dialog.FindWindow(M::kSharpnessField)->IsEnabled());
    EXPECT_EQ(dialog.NoteText(),
              "The Checkerboard and Height Map views show the corners blended, as the processed part will be.");

    Field(dialog, M::kSharpnessField)->ChangeValue("0");
    dialog.TakeControls();
    EXPECT_FLOAT_EQ(dialog.sharpness, 1.0f);
    EXPECT_TRUE(dialog.blendSides);
    EXPECT_EQ(dialog.testGridCells, 512);
    Field(dialog, M::kSharpnessField)->ChangeValue("40");
    dialog.TakeControls();
    EXPECT_FLOAT_EQ(dialog.sharpness, 16.0f);
    Field(dialog, M::kSharpnessField)->ChangeValue("soft");
    dialog.TakeControls();
    EXPECT_FLOAT_EQ(dialog.sharpness, 16.0f);
}

TEST_F(SettingsDialogsTest, MappingCallerWritesWholeTilesToTheMappingsItBelongsTo) {
    CRidgeforgeDoc doc;
    doc.projection.type = mesh::ProjectionType::Cylinder;
    doc.projection.sphere.wholeTiles = true;
    MappingSettingsValues values = MappingSettingsOf(doc);
    EXPECT_FALSE(values.blendingApplies);
    values.wholeTiles = false;
    values.testGridCells = 128;
    ApplyMappingSettings(doc, values);
    EXPECT_FALSE(doc.projection.cylinder.wholeTiles);
    EXPECT_TRUE(doc.projection.sphere.wholeTiles);
    EXPECT_EQ(doc.occupancyCells, 128);

    doc.projection.type = mesh::ProjectionType::Sphere;
    values = MappingSettingsOf(doc);
    EXPECT_TRUE(values.blendingApplies);
    EXPECT_TRUE(values.wholeTiles);  // the sphere's flag
    values.wholeTiles = false;
    values.blendSides = true;
    values.sharpness = 9.0f;
    ApplyMappingSettings(doc, values);
    EXPECT_FALSE(doc.projection.sphere.wholeTiles);
    EXPECT_TRUE(doc.projection.box.blended);
    EXPECT_FLOAT_EQ(doc.projection.box.blendSharpness, 9.0f);

    doc.projection.type = mesh::ProjectionType::Box;
    values = MappingSettingsOf(doc);
    values.wholeTiles = true;
    ApplyMappingSettings(doc, values);
    EXPECT_TRUE(doc.projection.cylinder.wholeTiles);
    EXPECT_TRUE(doc.projection.sphere.wholeTiles);
}

TEST_F(SettingsDialogsTest, TextureOkRefusesAZeroWidthAndStaysOpen) {
    T dialog(owner_);
    std::vector<wxString> refusals;
    dialog.showRefusal = [&](const wxString& text) { refusals.push_back(text); };
    dialog.settings.lockAspect = false;
    dialog.seamlessAvailable = true;
    dialog.Open();
    dialog.Show();
    EXPECT_EQ(static_cast<wxStaticText*>(dialog.FindWindow(T::kSourceText))->GetLabel(), "(none loaded)");
    EXPECT_NE(dialog.FindWindow(kHelpPaneId), nullptr);
    Field(dialog, T::kWidthField)->ChangeValue("0");
    wxCommandEvent seamless(wxEVT_BUTTON, T::kSeamlessButton);
    dialog.FindWindow(T::kSeamlessButton)->GetEventHandler()->ProcessEvent(seamless);
    ASSERT_EQ(refusals.size(), 1u);
    EXPECT_EQ(refusals[0], "The texture width and height must both be greater than zero.");
    EXPECT_FALSE(dialog.seamlessAsked);
    EXPECT_TRUE(dialog.IsShown());
    EXPECT_NE(dialog.GetReturnCode(), wxID_OK);
    EXPECT_FLOAT_EQ(dialog.settings.widthMillimetres, 30.0f);
    EXPECT_EQ(Field(dialog, T::kWidthField)->GetValue(), "0");  // the typing is kept

    Field(dialog, T::kWidthField)->ChangeValue("12.5");
    Field(dialog, T::kBlurField)->ChangeValue("-3");
    dialog.OnSeamless();
    EXPECT_TRUE(dialog.seamlessAsked);
    EXPECT_EQ(dialog.GetReturnCode(), wxID_OK);
    EXPECT_FLOAT_EQ(dialog.settings.widthMillimetres, 12.5f);
    EXPECT_FLOAT_EQ(dialog.settings.blurMillimetres, 0.0f);
}

TEST_F(SettingsDialogsTest, TextureOkWithTheAspectLockTakesTheHeightFromTheWidth) {
    T dialog(owner_);
    dialog.showRefusal = [](const wxString&) { FAIL(); };
    dialog.settings.widthMillimetres = 30.0f;
    dialog.settings.heightMillimetres = 15.0f;
    dialog.settings.lockAspect = true;
    dialog.imageAspect = 1.6f;
    dialog.procedural = true;
    dialog.seamlessAvailable = true;
    dialog.sourceName = "bricks";
    dialog.Open();
    dialog.Show();
    EXPECT_FALSE(dialog.FindWindow(T::kHeightField)->IsEnabled());
    EXPECT_FALSE(dialog.FindWindow(T::kSeamlessButton)->IsEnabled());
    EXPECT_EQ(static_cast<wxStaticText*>(dialog.FindWindow(T::kSeamlessText))->GetLabel(), "Seamless: not needed");
    EXPECT_FLOAT_EQ(dialog.LockAspect(), 1.6f);
    Field(dialog, T::kWidthField)->ChangeValue("40");
    Field(dialog, T::kHeightField)->ChangeValue("99");
    ASSERT_TRUE(dialog.TryOk());
    EXPECT_FLOAT_EQ(dialog.settings.heightMillimetres, 25.0f);

    // Unlocked, the typed height stands; locking again recomputes the field.
    Box(dialog, T::kLockBox)->SetValue(false);
    dialog.OnLockAspect();
    EXPECT_TRUE(dialog.FindWindow(T::kHeightField)->IsEnabled());
    Field(dialog, T::kHeightField)->ChangeValue("99");
    ASSERT_TRUE(dialog.TryOk());
    EXPECT_FLOAT_EQ(dialog.settings.heightMillimetres, 99.0f);
    Box(dialog, T::kLockBox)->SetValue(true);
    dialog.OnLockAspect();
    EXPECT_EQ(Field(dialog, T::kHeightField)->GetValue(), "25");
}

TEST_F(SettingsDialogsTest, AutoLevelsGreysTheLevelsAndUncheckingShowsNeutralLevels) {
    T dialog(owner_);
    dialog.settings.autoLevels = true;
    dialog.settings.blackLevel = 0.3f;
    dialog.settings.whiteLevel = 0.7f;
    dialog.settings.seamlessMethod = "Mirror";
    dialog.autoBlack = 0.1f;
    dialog.autoWhite = 0.9f;
    // The left half of the bins half as high as the right half.
    dialog.histogram.assign(256, 2);
    std::fill(dialog.histogram.begin(), dialog.histogram.begin() + 128, 1);
    dialog.Open();
    dialog.Show();
    dialog.Raise();
    PumpEvents(120);
    CLevelsControl& levels = dialog.Levels();
    EXPECT_EQ(static_cast<wxStaticText*>(dialog.FindWindow(T::kSeamlessText))->GetLabel(), "Seamless: Mirror");
    EXPECT_FALSE(levels.IsEnabled());
    EXPECT_FALSE(levels.Box(kInputBlack)->IsEnabled());
    EXPECT_EQ(levels.Box(kInputBlack)->GetValue(), "26");
    EXPECT_EQ(levels.Box(kInputWhite)->GetValue(), "230");
    wxImage shot = GrabWindow(levels);
    const LevelsLayout& l = levels.Layout();
    EXPECT_EQ(shot.GetRed(l.histogramLeft + 5, 2), 140);  // above a half-height bar
    EXPECT_EQ(shot.GetRed(l.histogramLeft + 5, l.histogramHeight - 2), 200);

    // With auto levels on, OK stores the levels the control shows.
    ASSERT_TRUE(dialog.TryOk());
    EXPECT_FLOAT_EQ(dialog.settings.blackLevel, 0.1f);

    // A real click on "Auto levels" turns it off.
    wxCheckBox* box = Box(dialog, T::kAutoLevelsBox);
    wxUIActionSimulator input;
    input.MouseMove(box->ClientToScreen(wxPoint(8, box->GetSize().y / 2)));
    input.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !box->GetValue(); }, 2000));
    PumpEvents(100);
    EXPECT_TRUE(levels.IsEnabled());
    EXPECT_EQ(levels.Box(kInputBlack)->GetValue(), "0");
    EXPECT_EQ(levels.Box(kInputWhite)->GetValue(), "255");
    shot = GrabWindow(levels);
    EXPECT_EQ(shot.GetRed(l.histogramLeft + 5, l.histogramHeight - 2), 220);

    // A gamma typed with auto levels off survives switching them on again.
    levels.Box(kGammaMarker)->ChangeValue("2");
    levels.CommitEdits();
    box->SetValue(true);
    dialog.OnAutoLevels();
    EXPECT_EQ(levels.Box(kGammaMarker)->GetValue(), "2.00");
    EXPECT_EQ(levels.Box(kInputBlack)->GetValue(), "26");
}

TEST_F(SettingsDialogsTest, TextureCallerGivesTheImagesHistogramAspectAndPercentiles) {
    CRidgeforgeDoc doc;
    // 4 x 2 pixels: values in bins 0, 64, 128, 255 (twice each).
    doc.texture.SetImage(4, 2, {0.0f, 0.25f, 0.5f, 1.0f, 0.0f, 0.25f, 0.5f, 1.0f});
    doc.texture.name = "ridges.png";
    T dialog(owner_);
    FillTextureSettingsDialog(dialog, doc);
    EXPECT_EQ(dialog.sourceName, "ridges.png");
    EXPECT_FLOAT_EQ(dialog.imageAspect, 2.0f);
    EXPECT_FALSE(dialog.procedural);
    EXPECT_TRUE(dialog.seamlessAvailable);
    ASSERT_EQ(dialog.histogram.size(), 256u);
    EXPECT_EQ(dialog.histogram[0], 2u);
    EXPECT_EQ(dialog.histogram[64], 2u);
    EXPECT_EQ(dialog.histogram[128], 2u);
    EXPECT_EQ(dialog.histogram[255], 2u);
    EXPECT_FLOAT_EQ(dialog.autoBlack, 0.0f);
    EXPECT_FLOAT_EQ(dialog.autoWhite, 1.0f);

    CRidgeforgeDoc empty;
    T none(owner_);
    FillTextureSettingsDialog(none, empty);
    EXPECT_FLOAT_EQ(none.imageAspect, 0.0f);
    EXPECT_FALSE(none.seamlessAvailable);
    none.Open();
    EXPECT_EQ(static_cast<wxStaticText*>(none.FindWindow(T::kSourceText))->GetLabel(), "(none loaded)");
    EXPECT_FLOAT_EQ(none.LockAspect(), 1.0f);  // 30 / 30 from the settings
}

}  // namespace
}  // namespace ridgeforge
