// The relief and simplify settings dialog and the remesh input dialog on
// screen: the page they show, what the estimate says while the user types,
// the automatic midlevel, and what OK stores.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <cmath>
#include <memory>

#include "ui/app/DialogHelpPane.h"
#include "ui/dialogs/RemeshInputDialog.h"
#include "ui/dialogs/RemeshSettingsDialog.h"
#include "tests/support/ui/DialogFixture.h"
#include "tests/support/ui/WxTest.h"
#include "testing/Shapes.h"

namespace ridgeforge {
namespace {

using testing::PumpEvents;

// A part whose contour estimate at 0.2 mm is 1,200,000 triangles.
mesh::TriangleMesh PartOf1200000At02() {
    const double area = 1200000.5 * static_cast<double>(0.2f) * static_cast<double>(0.2f) / 2.16;
    const float leg = static_cast<float>(std::sqrt(2.0 * area));
    mesh::TriangleMesh part;
    part.vertices.resize(3);
    part.vertices[1].position = {leg, 0.0f, 0.0f};
    part.vertices[2].position = {0.0f, leg, 0.0f};
    part.indices = {0, 1, 2};
    part.RecomputeBounds();
    return part;
}

using RemeshDialogTest = testing::DialogTest;

using D = CRemeshSettingsDialog;

TEST_F(RemeshDialogTest, SimplifyPageShowsOnlyItsBandWithTheButtonsBelow) {
    auto dialog = std::make_unique<D>(owner_);
    dialog->page = 2;
    const int widthBefore = dialog->GetClientSize().x;
    dialog->Open();
    dialog->Show();
    PumpEvents(50);
    EXPECT_EQ(dialog->GetTitle(), "Simplify Settings");

    for (int id : {D::kPlanarToleranceField, D::kDetailField, D::kExtraHighButton, D::kLowButton})
        EXPECT_TRUE(dialog->FindWindow(id)->IsShown()) << id;
    for (int id : {D::kSizeField, D::kStrengthField, D::kDirectionList, D::kMidLevelField, D::kAutomaticMidLevel,
                   D::kEstimateText, D::kTriangleLimitField})
        EXPECT_FALSE(dialog->FindWindow(id)->IsShown()) << id;

    // The planar tolerance field stood at 198 dialog units, 18 into the band.
    EXPECT_EQ(dialog->FindWindow(D::kPlanarToleranceField)->GetPosition().y,
              dialog->ConvertDialogToPixels(wxPoint(0, 18)).y);
    // The band is 124 units high; the buttons stand 4 below it and the
    // dialog ends 8 below them.
    wxWindow* ok = dialog->FindWindow(wxID_OK);
    const int buttonsTop = dialog->ConvertDialogToPixels(wxPoint(0, 128)).y;
    EXPECT_EQ(ok->GetPosition().y, buttonsTop);
    EXPECT_EQ(dialog->FindWindow(wxID_CANCEL)->GetPosition().y, buttonsTop);
    EXPECT_EQ(dialog->GetClientSize().y, buttonsTop + ok->GetSize().y + dialog->ConvertDialogToPixels(wxSize(0, 8)).y);

    // The help column is on the left, the dialog wider by it and its margin.
    wxWindow* help = dialog->FindWindow(kHelpPaneId);
    ASSERT_NE(help, nullptr);
    const wxSize column = dialog->ConvertDialogToPixels(wxSize(190, 8));
    EXPECT_EQ(dialog->GetClientSize().x, widthBefore + column.x + column.y);
    EXPECT_LT(help->GetPosition().x, dialog->FindWindow(D::kPlanarToleranceField)->GetPosition().x);

    // The detail buttons write their levels.
    Press(*dialog, D::kMediumButton);
    EXPECT_EQ(Control<wxTextCtrl>(*dialog, D::kDetailField)->GetValue(), "0.1");
    Press(*dialog, D::kExtraHighButton);
    EXPECT_EQ(Control<wxTextCtrl>(*dialog, D::kDetailField)->GetValue(), "0.001");
}

TEST_F(RemeshDialogTest, ReliefPageEstimatesWhileTypingAndStoresWhatOkReads) {
    const mesh::TriangleMesh part = PartOf1200000At02();
    auto dialog = std::make_unique<D>(owner_);
    dialog->part = &part;
    dialog->remesh.targetEdgeMillimetres = 0.2f;
    dialog->displacement.strengthMillimetres = 0.8f;
    dialog->triangleLimit = 20000000;
    dialog->displayLimit = 0;
    dialog->simplify.planarToleranceMillimetres = 0.002f;
    dialog->Open();
    dialog->Show();
    PumpEvents(50);
    EXPECT_EQ(dialog->GetTitle(), "Relief Settings");
    EXPECT_FALSE(dialog->FindWindow(D::kPlanarToleranceField)->IsShown());
    EXPECT_TRUE(dialog->FindWindow(D::kSizeField)->IsShown());
    EXPECT_EQ(dialog->EstimateText(), "About 1,300,000 triangles at 0.2 mm.");

    auto* limit = Control<wxTextCtrl>(*dialog, D::kTriangleLimitField);
    EXPECT_EQ(limit->GetValue(), "20");
    limit->SetValue("1.25");
    EXPECT_EQ(dialog->EstimateText(),
              "About 1,300,000 triangles at 0.2 mm. Over the triangle limit of 1.25 million: Process would refuse it.");

    auto* size = Control<wxTextCtrl>(*dialog, D::kSizeField);
    size->SetValue("0");
    EXPECT_EQ(dialog->EstimateText().BeforeFirst(' ', nullptr), "About");
    EXPECT_NE(dialog->EstimateText().Find("triangles at 0.01 mm"), wxNOT_FOUND) << dialog->EstimateText();

    Control<wxTextCtrl>(*dialog, D::kStrengthField)->SetValue("-3");
    Control<wxTextCtrl>(*dialog, D::kDisplayLimitField)->SetValue("0.05");
    limit->SetValue("500");
    Control<wxTextCtrl>(*dialog, D::kPlanarToleranceField)->SetValue("5");
    Control<wxChoice>(*dialog, D::kDirectionList)->SetSelection(1);
    Control<wxCheckBox>(*dialog, D::kKeepBedFlat)->SetValue(true);
    Press(*dialog, wxID_OK);
    EXPECT_FLOAT_EQ(dialog->remesh.targetEdgeMillimetres, 0.01f);
    EXPECT_FLOAT_EQ(dialog->displacement.strengthMillimetres, 0.8f);
    EXPECT_EQ(dialog->triangleLimit, 200000000u);
    EXPECT_EQ(dialog->displayLimit, 100000u);
    EXPECT_FLOAT_EQ(dialog->simplify.planarToleranceMillimetres, 1.0f);
    EXPECT_EQ(dialog->displacement.direction, mesh::DisplacementDirection::Outward);
    EXPECT_TRUE(dialog->displacement.base.enabled);

    // A strength too large to mean anything keeps the old value too; one in
    // range is taken.
    Control<wxTextCtrl>(*dialog, D::kStrengthField)->SetValue("1e30");
    Press(*dialog, wxID_OK);
    EXPECT_FLOAT_EQ(dialog->displacement.strengthMillimetres, 0.8f);
    Control<wxTextCtrl>(*dialog, D::kStrengthField)->SetValue("2.5");
    Press(*dialog, wxID_OK);
    EXPECT_FLOAT_EQ(dialog->displacement.strengthMillimetres, 2.5f);
}

TEST_F(RemeshDialogTest, AutomaticMidlevelWithoutATextureAndBackToTheTypedValue) {
    auto dialog = std::make_unique<D>(owner_);
    dialog->displacement.midLevel = 0.5f;
    dialog->Open();
    dialog->Show();
    EXPECT_EQ(dialog->EstimateText(), "Open a part to see how many triangles the relief makes.");
    auto* field = Control<wxTextCtrl>(*dialog, D::kMidLevelField);
    auto* automatic = Control<wxCheckBox>(*dialog, D::kAutomaticMidLevel);
    EXPECT_TRUE(field->IsEnabled());
    EXPECT_EQ(dialog->MidLevelText(),
              "Outward only cannot thin a wall or cut through a thin model, which is why it is the safest for "
              "printing.");

    field->SetValue("0.35");
    automatic->SetValue(true);
    dialog->UpdateZeroLevelText();  // what the click sends
    EXPECT_FALSE(field->IsEnabled());
    EXPECT_EQ(field->GetValue(), "");
    EXPECT_EQ(dialog->MidLevelText(),
              "Automatic: worked out from the texture once there is one. Outward only cannot thin a wall or cut "
              "through a thin model, which is why it is the safest for printing.");
    // OK while automatic keeps the typed value as the manual one.
    Press(*dialog, wxID_OK);
    EXPECT_EQ(dialog->displacement.midLevelMode, mesh::MidLevelMode::Automatic);
    EXPECT_FLOAT_EQ(dialog->displacement.midLevel, 0.35f);

    automatic->SetValue(false);
    dialog->UpdateZeroLevelText();
    EXPECT_TRUE(field->IsEnabled());
    EXPECT_EQ(field->GetValue(), "0.35");

    // With a texture the field shows the value worked out from it, three digits.
    mesh::HeightMap map;
    map.SetImage(2, 2, {0.2f, 0.4f, 0.6f, 0.8f});
    mesh::TextureSettings plain = map.settings;
    plain.autoLevels = false;
    map.SetSettings(plain);
    auto textured = std::make_unique<D>(owner_);
    textured->heightMap = &map;
    textured->displacement.midLevelMode = mesh::MidLevelMode::Automatic;
    textured->displacement.direction = mesh::DisplacementDirection::Inward;
    textured->displacement.midLevel = 0.42f;
    textured->Open();
    EXPECT_EQ(Control<wxTextCtrl>(*textured, D::kMidLevelField)->GetValue(), "0.8");
    Control<wxChoice>(*textured, D::kDirectionList)->SetSelection(1);
    textured->UpdateZeroLevelText();
    EXPECT_EQ(Control<wxTextCtrl>(*textured, D::kMidLevelField)->GetValue(), "0.2");
    EXPECT_EQ(textured->MidLevelText().BeforeFirst('.'),
              "Automatic: from the image's darkest, so the whole relief grows out of the surface");
    Control<wxCheckBox>(*textured, D::kAutomaticMidLevel)->SetValue(false);
    textured->UpdateZeroLevelText();
    EXPECT_EQ(Control<wxTextCtrl>(*textured, D::kMidLevelField)->GetValue(), "0.42");
}

// The remesh input dialog run modally, as the document runs it: the user
// picks the method and a size and presses Remesh.
TEST_F(RemeshDialogTest, RemeshInputAsksSizeAndMethod) {
    const mesh::TriangleMesh part = PartOf1200000At02();
    CRemeshInputDialog dialog(owner_);
    dialog.settings.method = mesh::kRemeshContour;
    dialog.settings.targetEdgeMillimetres = 0.2f;
    dialog.settings.rounds = 9;
    dialog.part = &part;
    wxString seen;
    dialog.CallAfter([&] {
        seen = dialog.EstimateText();
        static_cast<wxChoice*>(dialog.FindWindow(CRemeshInputDialog::kMethodList))->SetSelection(0);
        static_cast<wxTextCtrl*>(dialog.FindWindow(CRemeshInputDialog::kSizeField))->SetValue("0.5");
        Press(dialog, wxID_OK);
    });
    ASSERT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(seen,
              "About 1,200,000 triangles from 1. The result replaces the part as loaded; open the file again to get "
              "the original back.");
    EXPECT_EQ(static_cast<wxButton*>(dialog.FindWindow(wxID_OK))->GetLabel(), "Remesh");
    EXPECT_EQ(dialog.settings.method, mesh::kRemeshIsotropic);
    EXPECT_FLOAT_EQ(dialog.settings.targetEdgeMillimetres, 0.5f);
    EXPECT_EQ(dialog.settings.rounds, 9);

    // Without a part the line stays empty; an isotropic setting opens on its item.
    CRemeshInputDialog empty(owner_);
    empty.settings.method = mesh::kRemeshIsotropic;
    empty.Open();
    EXPECT_EQ(empty.EstimateText(), "");
    EXPECT_EQ(static_cast<wxChoice*>(empty.FindWindow(CRemeshInputDialog::kMethodList))->GetSelection(), 0);
    static_cast<wxTextCtrl*>(empty.FindWindow(CRemeshInputDialog::kSizeField))->SetValue("0");
    EXPECT_EQ(empty.EstimateText(), "");
    Press(empty, wxID_OK);
    EXPECT_FLOAT_EQ(empty.settings.targetEdgeMillimetres, 0.01f);
}

// Remesh stays off while the estimate is over the triangle limit, which the
// document would refuse; the limit itself is still allowed.
TEST_F(RemeshDialogTest, RemeshInputIsOffWhileTheEstimateIsOverTheLimit) {
    const mesh::TriangleMesh part = PartOf1200000At02();
    CRemeshInputDialog dialog(owner_);
    dialog.settings.method = mesh::kRemeshContour;
    dialog.settings.targetEdgeMillimetres = 0.2f;
    dialog.part = &part;
    dialog.triangleLimit = 1'200'000;
    dialog.Open();
    auto* remesh = static_cast<wxButton*>(dialog.FindWindow(wxID_OK));
    auto* size = static_cast<wxTextCtrl*>(dialog.FindWindow(CRemeshInputDialog::kSizeField));
    EXPECT_TRUE(remesh->IsEnabled());
    EXPECT_EQ(dialog.EstimateText(),
              "About 1,200,000 triangles from 1. The result replaces the part as loaded; open the file again to get "
              "the original back.");

    dialog.triangleLimit = 1'199'999;
    dialog.UpdateEstimate();
    EXPECT_FALSE(remesh->IsEnabled());
    EXPECT_EQ(dialog.EstimateText(),
              "About 1,200,000 triangles from 1. Over the triangle limit of 1,199,999: a larger triangle size makes "
              "fewer.");
    // A larger size brings it under, and the button back.
    size->SetValue("0.25");
    EXPECT_TRUE(remesh->IsEnabled());
    size->SetValue("0.2");
    EXPECT_FALSE(remesh->IsEnabled());
    // Without a limit nothing is over.
    dialog.triangleLimit = 0;
    dialog.UpdateEstimate();
    EXPECT_TRUE(remesh->IsEnabled());
}

}  // namespace
}  // namespace ridgeforge
