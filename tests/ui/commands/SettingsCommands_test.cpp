// The view's settings commands on a real document: the dialogs open on the
// document's values and OK writes back what the user changed.
#include "ui/commands/SettingsCommands.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include "ui/dialogs/RemeshSettingsDialog.h"
#include "ui/dialogs/SeamlessDialog.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/document/FakeHost.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

template <class T>
T* Find(int id) {
    return static_cast<T*>(wxWindow::FindWindowById(id));
}

void PressOk(int anyChildId) {
    wxWindow* dialog = wxWindow::FindWindowById(anyChildId)->GetParent();
    wxWindow* ok = dialog->FindWindow(wxID_OK);
    wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
    click.SetEventObject(ok);
    ok->GetEventHandler()->ProcessEvent(click);
}

TEST(SettingsCommands, ReliefDialogWritesBackWhatChanged) {
    test::HostedDocument d;
    d.doc.OnTestCube();
    const mesh::SimplifySettings simplify = d.doc.simplifySettings;
    const float size = d.doc.remeshSettings.targetEdgeMillimetres;
    wxString estimate;
    wxTheApp->CallAfter([&] {
        using D = CRemeshSettingsDialog;
        estimate = static_cast<D*>(wxWindow::FindWindowById(D::kEstimateText)->GetParent())->EstimateText();
        Find<wxTextCtrl>(D::kStrengthField)->SetValue("0.75");
        Find<wxTextCtrl>(D::kTriangleLimitField)->SetValue("3");
        Find<wxChoice>(D::kDirectionList)->SetSelection(2);
        PressOk(D::kStrengthField);
    });
    ASSERT_TRUE(RunReliefSettingsCommand(d.doc, nullptr, 1));
    EXPECT_EQ(estimate.Left(6), "About ") << estimate;  // the cube is the part estimated
    EXPECT_FLOAT_EQ(d.doc.displacementSettings.strengthMillimetres, 0.75f);
    EXPECT_EQ(d.doc.displacementSettings.direction, mesh::DisplacementDirection::Inward);
    EXPECT_EQ(d.doc.maximumTriangles, 3000000u);
    EXPECT_FLOAT_EQ(d.doc.remeshSettings.targetEdgeMillimetres, size);
    EXPECT_TRUE(d.doc.simplifySettings == simplify);

    // Cancel changes nothing.
    wxTheApp->CallAfter([&] {
        auto* field = Find<wxTextCtrl>(CRemeshSettingsDialog::kPlanarToleranceField);
        field->SetValue("0.5");
        static_cast<wxDialog*>(field->GetParent())->EndModal(wxID_CANCEL);
    });
    EXPECT_FALSE(RunReliefSettingsCommand(d.doc, nullptr, 2));
    EXPECT_TRUE(d.doc.simplifySettings == simplify);
}

// The OK of one dialog is one Undo step: Undo brings back every value it
// changed at once, and the result processed before is up to date again.
TEST(SettingsCommands, OneOkOfTheReliefDialogIsOneUndoStep) {
    test::HostedDocument d;
    d.doc.OnTestCube();
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    d.doc.remeshSettings.targetEdgeMillimetres = 2.0f;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_EQ(d.doc.ProcessStatusText(), L"Up to date");
    const std::size_t depth = d.doc.undoStack.size();
    const mesh::DisplacementSettings displacement = d.doc.displacementSettings;
    wxTheApp->CallAfter([&] {
        using D = CRemeshSettingsDialog;
        Find<wxTextCtrl>(D::kStrengthField)->SetValue("0.35");
        Find<wxTextCtrl>(D::kTriangleLimitField)->SetValue("7");
        Find<wxTextCtrl>(D::kDisplayLimitField)->SetValue("2");
        Find<wxTextCtrl>(D::kSizeField)->SetValue("1.5");
        PressOk(D::kStrengthField);
    });
    ASSERT_TRUE(RunReliefSettingsCommand(d.doc, nullptr, 1));
    ASSERT_FLOAT_EQ(d.doc.displacementSettings.strengthMillimetres, 0.35f);
    ASSERT_FLOAT_EQ(d.doc.remeshSettings.targetEdgeMillimetres, 1.5f);
    EXPECT_EQ(d.doc.maximumTriangles, 7000000u);
    EXPECT_EQ(d.doc.displayTriangles, 2000000u);
    EXPECT_EQ(d.doc.undoStack.size(), depth + 1);
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Needs: relief, simplify");

    d.doc.OnEditUndo();
    EXPECT_TRUE(d.doc.displacementSettings == displacement);
    EXPECT_FLOAT_EQ(d.doc.remeshSettings.targetEdgeMillimetres, 2.0f);
    EXPECT_EQ(d.doc.maximumTriangles, 18000000u);
    EXPECT_EQ(d.doc.displayTriangles, 4000000u);
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Up to date");
    d.doc.OnEditRedo();
    EXPECT_FLOAT_EQ(d.doc.displacementSettings.strengthMillimetres, 0.35f);
    EXPECT_FLOAT_EQ(d.doc.remeshSettings.targetEdgeMillimetres, 1.5f);
    EXPECT_EQ(d.doc.displayTriangles, 2000000u);
    EXPECT_TRUE(d.doc.redoStack.empty());

    // An OK that changed nothing records nothing.
    wxTheApp->CallAfter([] { PressOk(CRemeshSettingsDialog::kStrengthField); });
    ASSERT_TRUE(RunReliefSettingsCommand(d.doc, nullptr, 1));
    EXPECT_EQ(d.doc.undoStack.size(), depth + 1);
}

TEST(SettingsCommands, SeamlessDialogHandsItsChoiceToTheTexture) {
    test::HostedDocument d;
    EXPECT_FALSE(CanRunSeamlessCommand(d.doc));
    EXPECT_FALSE(RunSeamlessCommand(d.doc, nullptr));  // no image: no dialog

    std::vector<float> pixels(32 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i % 32) / 31.0f;
    d.doc.texture.SetImage(32, 16, pixels);
    ASSERT_TRUE(CanRunSeamlessCommand(d.doc));
    wxTheApp->CallAfter([&] {
        auto* list = Find<wxChoice>(CSeamlessDialog::kMethodList);
        auto* dialog = static_cast<CSeamlessDialog*>(list->GetParent());
        list->SetStringSelection("Cross-fade");
        dialog->OnMethodChanged();
        Find<wxTextCtrl>(CSeamlessDialog::kFirstField)->SetValue("10");
        PressOk(CSeamlessDialog::kMethodList);
    });
    ASSERT_TRUE(RunSeamlessCommand(d.doc, nullptr));
    EXPECT_EQ(d.doc.texture.settings.seamlessMethod, "Cross-fade");
    EXPECT_EQ(d.doc.texture.settings.seamlessParameters, "percent=10\n");

    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    EXPECT_FALSE(CanRunSeamlessCommand(d.doc));
}

}  // namespace
}  // namespace ridgeforge
