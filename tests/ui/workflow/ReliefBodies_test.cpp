// The Relief and Simplify bodies against a test document: what they show,
// which typed values and clicks reach the document, which do not call the
// settings entry, Return and Escape in the fields, and the diagram on
// screen.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include "ui/framework/DialogFloat.h"
#include "tests/ui/workflow/FlowFixture.h"
#include "ui/workflow/ReliefBodies.h"
#include "ui/workflow/ReliefRules.h"

namespace ridgeforge::testing {
namespace {

class ReliefBodiesTest : public FlowTest {
protected:
    void Open(int width = 340) {
        frame_ = new RecordingFrame();
        frame_->SetClientSize(width, 400);
        relief_ = new CReliefBody();
        ASSERT_TRUE(relief_->Create(frame_, 202, FlowStep::Relief));
        relief_->SetSize(0, 0, width, relief_->GetPreferredHeight());
        simplify_ = new CSimplifyBody();
        ASSERT_TRUE(simplify_->Create(frame_, 203, FlowStep::Simplify));
        simplify_->SetSize(0, relief_->GetPreferredHeight(), width, simplify_->GetPreferredHeight());
        frame_->Show();
        frame_->Raise();
        PumpUntil([this] { return relief_->IsShownOnScreen(); });
        PumpEvents(100);
    }
    ~ReliefBodiesTest() override {
        if (frame_ != nullptr) frame_->Destroy();
        PumpEvents(30);
    }
    void Refresh() {
        relief_->UpdateFromDocument(documentActive ? &document : nullptr);
        simplify_->UpdateFromDocument(documentActive ? &document : nullptr);
    }
    CRemeshBody& Remesh() { return *relief_->Remesh(); }
    CDisplacementBody& Displacement() { return *relief_->Displacement(); }

    RecordingFrame* frame_ = nullptr;
    CReliefBody* relief_ = nullptr;
    CSimplifyBody* simplify_ = nullptr;
};

TEST_F(ReliefBodiesTest, SizesAndWhatTheyShowWithoutAPart) {
    Open();
    EXPECT_EQ(Remesh().GetPreferredHeight(), 76);
    EXPECT_EQ(Displacement().GetPreferredHeight(), 100);
    EXPECT_EQ(relief_->GetPreferredHeight(), 176);
    EXPECT_EQ(simplify_->GetPreferredHeight(), 64);
    EXPECT_EQ(Displacement().GetPosition().y, 76);
    EXPECT_EQ(Remesh().Preset(1)->GetPosition().x, 164 + 43);
    EXPECT_EQ(Remesh().Preset(1)->GetLabel(), "0.15");
    EXPECT_EQ(Displacement().Preset(2)->GetLabel(), "1");

    Refresh();
    EXPECT_FALSE(Remesh().Enabled());
    EXPECT_FALSE(Remesh().Edit()->IsEnabled());
    EXPECT_FALSE(Remesh().Preset(0)->IsEnabled());
    EXPECT_EQ(Remesh().EstimateLine(), L"Open a part to see how many triangles the relief makes.");
    EXPECT_FALSE(Displacement().Direction()->IsEnabled());
    EXPECT_FALSE(simplify_->FlatAreas()->IsEnabled());
    // Disabled bodies still show the document's values.
    EXPECT_EQ(Remesh().Edit()->GetValue(), "0.2");
    EXPECT_EQ(Displacement().Edit()->GetValue(), "1");
    EXPECT_TRUE(simplify_->WholeMesh()->GetValue());
}

TEST_F(ReliefBodiesTest, EstimateFollowsSizeAndPartOnly) {
    Open();
    document.LoadBox();
    // Whatever the document's method, the estimate is the contour one: a
    // 700 mm^2 box at 0.5 mm cells makes 700 / (0.25 / 2.16) = 6048
    // triangles (6047 after rounding), shown with a twelfth more.
    document.remesh.method = mesh::kRemeshIsotropic;
    document.remesh.targetEdgeMillimetres = 0.5f;
    Refresh();
    EXPECT_TRUE(Remesh().Enabled());
    EXPECT_TRUE(Remesh().EstimateLine() == L"About 6,552 triangles." ||
                Remesh().EstimateLine() == L"About 6,550 triangles.")
        << Remesh().EstimateLine();
    EXPECT_EQ(Remesh().EstimateCount(), 1);
    Refresh();
    EXPECT_EQ(Remesh().EstimateCount(), 1);
    document.remesh.targetEdgeMillimetres = 0.25f;
    Refresh();
    EXPECT_EQ(Remesh().EstimateCount(), 2);
    EXPECT_EQ(Remesh().Edit()->GetValue(), "0.25");
    document.LoadBox();
    Refresh();
    EXPECT_EQ(Remesh().EstimateCount(), 3);
    // Relief switched off greys the controls but keeps the estimate.
    document.displacementOn = false;
    Refresh();
    EXPECT_FALSE(Remesh().Edit()->IsEnabled());
    EXPECT_FALSE(Displacement().KeepFlat()->IsEnabled());
    EXPECT_EQ(Remesh().EstimateCount(), 3);
}

TEST_F(ReliefBodiesTest, TypedTriangleSizesAndPresets) {
    Open();
    document.LoadBox();
    Refresh();
    auto type = [this](const char* text) {
        Remesh().Edit()->ChangeValue(text);
        Remesh().CommitTypedSize();
    };
    type("0");
    type("abc");
    EXPECT_FLOAT_EQ(document.remesh.targetEdgeMillimetres, 0.2f);
    EXPECT_EQ(document.settingsChanges, 0);
    type("0.005");
    EXPECT_FLOAT_EQ(document.remesh.targetEdgeMillimetres, 0.01f);
    EXPECT_EQ(document.settingsChanges, 1);
    // Only the size changes; the method and the rest are carried.
    EXPECT_EQ(document.remesh.method, mesh::kRemeshContour);

    document.remesh.targetEdgeMillimetres = 0.15f;
    ClickAt(*Remesh().Preset(1), {10, 10});
    EXPECT_EQ(document.settingsChanges, 1);
    ClickAt(*Remesh().Preset(0), {10, 10});
    EXPECT_FLOAT_EQ(document.remesh.targetEdgeMillimetres, 0.1f);
    EXPECT_EQ(document.settingsChanges, 2);

    // Without an active document an edit changes nothing.
    documentActive = false;
    type("3");
    EXPECT_FLOAT_EQ(document.remesh.targetEdgeMillimetres, 0.1f);
}

TEST_F(ReliefBodiesTest, StrengthDirectionAndBedFace) {
    Open();
    document.LoadBox();
    Refresh();
    Displacement().Edit()->ChangeValue("0");
    Displacement().CommitTypedStrength();
    EXPECT_EQ(document.displacement.strengthMillimetres, 0.0f);
    EXPECT_EQ(document.settingsChanges, 1);
    Displacement().Edit()->ChangeValue("-2");
    Displacement().CommitTypedStrength();
    EXPECT_EQ(document.settingsChanges, 1);
    EXPECT_EQ(Displacement().Edit()->GetValue(), "0");

    ClickAt(*Displacement().Preset(1), {10, 10});
    EXPECT_FLOAT_EQ(document.displacement.strengthMillimetres, 0.6f);
    EXPECT_EQ(document.settingsChanges, 2);
    ClickAt(*Displacement().Preset(1), {10, 10});
    EXPECT_EQ(document.settingsChanges, 2);

    Displacement().ApplyDirection(0);
    EXPECT_EQ(document.settingsChanges, 2);
    Displacement().Direction()->SetSelection(1);
    wxCommandEvent choose(wxEVT_CHOICE, Displacement().Direction()->GetId());
    choose.SetInt(1);
    choose.SetEventObject(Displacement().Direction());
    Displacement().Direction()->GetEventHandler()->ProcessEvent(choose);
    EXPECT_EQ(document.displacement.direction, mesh::DisplacementDirection::Outward);
    EXPECT_EQ(document.settingsChanges, 3);

    ClickAt(*Displacement().KeepFlat(), {8, 12});
    EXPECT_TRUE(document.displacement.base.enabled);
    EXPECT_EQ(document.settingsChanges, 4);
    // A box that ends as it was calls nothing.
    Displacement().ApplyKeepFlat(true);
    EXPECT_EQ(document.settingsChanges, 4);
    // The refresh ticks the box from the document.
    document.displacement.base.enabled = false;
    Refresh();
    EXPECT_FALSE(Displacement().KeepFlat()->GetValue());
}

// Also: a value the document takes back while the field keeps the focus
// (Edit > Undo after Return) shows in the field and is not committed again
// when the field loses the focus; text still being typed is left as it is.
TEST_F(ReliefBodiesTest, ReturnCommitsAndEscapeRestores) {
    Open();
    document.LoadBox();
    Refresh();
    wxUIActionSimulator simulator;
    Displacement().Edit()->SetFocus();
    Displacement().Edit()->SelectAll();
    PumpEvents(50);
    simulator.Text("2.5");
    simulator.Char(WXK_RETURN);
    PumpEvents(80);
    EXPECT_FLOAT_EQ(document.displacement.strengthMillimetres, 2.5f);
    document.displacement.strengthMillimetres = 0.7f;  // as Undo does
    Refresh();
    EXPECT_EQ(Displacement().Edit()->GetValue(), "0.7");

    Remesh().Edit()->SetFocus();
    Remesh().Edit()->SelectAll();
    PumpEvents(50);
    EXPECT_FLOAT_EQ(document.displacement.strengthMillimetres, 0.7f);
    simulator.Text("7");
    PumpEvents(50);
    Refresh();
    EXPECT_EQ(Remesh().Edit()->GetValue(), "7");
    simulator.Char(WXK_ESCAPE);
    PumpEvents(80);
    EXPECT_EQ(Remesh().Edit()->GetValue(), "0.2");
    EXPECT_FLOAT_EQ(document.remesh.targetEdgeMillimetres, 0.2f);

    // Leaving the field commits what was typed.
    Remesh().Edit()->SelectAll();
    simulator.Text("0.3");
    PumpEvents(50);
    Displacement().Edit()->SetFocus();
    PumpEvents(80);
    EXPECT_FLOAT_EQ(document.remesh.targetEdgeMillimetres, 0.3f);
}

TEST_F(ReliefBodiesTest, SimplifyBoxes) {
    Open();
    document.LoadBox();
    document.displacement.base.enabled = true;
    Refresh();
    EXPECT_TRUE(simplify_->FlatAreas()->IsEnabled());
    // A ticked box shows its tick (the theme's blue fill), not an empty square;
    // the theme fades the tick in.
    PumpEvents(600);
    for (wxCheckBox* box : {simplify_->FlatAreas(), simplify_->WholeMesh(), Displacement().KeepFlat()}) {
        ASSERT_TRUE(box->GetValue());
        const wxImage shot = GrabWindow(*box);
        EXPECT_LE(ClosestColourDistance(shot, wxRect(0, 0, 24, shot.GetHeight()), wxColour(53, 132, 228)), 40)
            << box->GetLabel();
    }
    ClickAt(*simplify_->FlatAreas(), {8, 12});
    EXPECT_FALSE(document.simplify.flatAreas);
    EXPECT_TRUE(document.simplify.wholeMesh);
    EXPECT_EQ(document.settingsChanges, 1);
    simplify_->ApplyBoxes();
    EXPECT_EQ(document.settingsChanges, 1);
    document.simplifyOn = false;
    Refresh();
    EXPECT_FALSE(simplify_->WholeMesh()->IsEnabled());
}

TEST_F(ReliefBodiesTest, DiagramOnScreenAndItsNarrowForm) {
    Open();
    document.LoadBox();
    Refresh();
    relief_->Refresh();
    PumpEvents(100);
    const wxRect diagram = Displacement().DiagramArea();
    ASSERT_EQ(diagram, wxRect(220, 38, 112, 54));
    const wxImage shot = GrabWindow(Displacement());
    EXPECT_EQ(ClosestColourDistance(shot, diagram, wxColour(214, 224, 238)), 0);
    // The dashed surface line of a centred relief, half-way down.
    const DirectionDiagram d = LayoutDirectionDiagram(diagram, 96, 0);
    EXPECT_LE(
        ClosestColourDistance(shot, wxRect(diagram.x, static_cast<int>(d.surfaceY) - 1, 56, 3), wxColour(58, 123, 213)),
        30);
    EXPECT_EQ(Displacement().KeepFlat()->GetSize().x, 206);

    frame_->Destroy();
    frame_ = nullptr;
    PumpEvents(30);
    Open(291);
    document.displacement.strengthMillimetres = 0.0f;
    Refresh();
    EXPECT_TRUE(Displacement().DiagramArea().IsEmpty());
    EXPECT_EQ(Displacement().KeepFlat()->GetSize().x, 275);
    const wxImage narrow = GrabWindow(Displacement());
    EXPECT_GT(ClosestColourDistance(narrow, wxRect(150, 38, 141, 54), wxColour(214, 224, 238)), 0);
}

}  // namespace
}  // namespace ridgeforge::testing
