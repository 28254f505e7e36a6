// The levels control on screen: its colours as drawn, typing and Enter and
// Escape through the X server without reaching the dialog's buttons, and
// markers dragged with the real pointer.
#include "ui/dialogs/LevelsControl.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <cmath>

#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

using testing::GrabWindow;
using testing::PumpEvents;
using testing::PumpUntil;

wxColour At(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

class LevelsControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog_ = new wxDialog(nullptr, wxID_ANY, "levels", wxPoint(40, 40), wxSize(400, 300));
        auto* ok = new wxButton(dialog_, wxID_OK, "OK", wxPoint(300, 240), wxSize(80, 28));
        ok->SetDefault();
        dialog_->Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { ++okClicks_; }, wxID_OK);
        dialog_->Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { ++cancelClicks_; }, wxID_CANCEL);
        dialog_->Bind(kEvtLevelsChanged, [this](wxCommandEvent& e) {
            if (e.GetId() == CLevelsControl::kControlId) ++changes_;
        });
        control_ = new CLevelsControl();
        ASSERT_TRUE(control_->Create(dialog_, wxRect(10, 10, 316, 170)));
        dialog_->Show();
        dialog_->Raise();
        PumpEvents(100);
    }
    void TearDown() override {
        dialog_->Destroy();
        PumpEvents(20);
    }

    void Type(int marker, const char* text, int finalKey) {
        wxTextCtrl* box = control_->Box(marker);
        box->SetFocus();
        ASSERT_TRUE(PumpUntil([&] { return box->HasFocus(); }, 2000));
        box->SelectAll();
        wxUIActionSimulator input;
        input.Text(text);
        ASSERT_TRUE(PumpUntil([&] { return box->GetValue() == text; }, 2000)) << box->GetValue();
        input.Char(finalKey);
        PumpEvents(100);
    }

    void Drag(int fromX, int fromY, int toX) {
        wxUIActionSimulator input;
        input.MouseMove(control_->ClientToScreen(wxPoint(fromX, fromY)));
        PumpEvents(50);
        input.MouseDown();
        PumpEvents(50);
        for (int step = 1; step <= 4; ++step) {
            input.MouseMove(control_->ClientToScreen(wxPoint(fromX + (toX - fromX) * step / 4, fromY)));
            PumpEvents(30);
        }
        input.MouseUp();
        PumpEvents(80);
    }

    wxDialog* dialog_ = nullptr;
    CLevelsControl* control_ = nullptr;
    int okClicks_ = 0;
    int cancelClicks_ = 0;
    int changes_ = 0;
};

TEST_F(LevelsControlTest, HistogramAreaAndBarsInTheirEnabledAndGreyedColours) {
    // Two bins: the left half of the area empty, the right half full height.
    control_->histogram = {0, 10};
    control_->Refresh();
    PumpEvents(100);
    const LevelsLayout& l = control_->Layout();
    ASSERT_EQ(l.histogramWidth, 300);
    wxImage shot = GrabWindow(*control_);
    EXPECT_EQ(At(shot, 8 + 60, 20), wxColour(64, 64, 64));
    EXPECT_EQ(At(shot, 8 + 240, 20), wxColour(220, 220, 220));
    EXPECT_EQ(At(shot, 8 + 240, 63), wxColour(220, 220, 220));
    EXPECT_NE(At(shot, 4, 20), wxColour(64, 64, 64));  // the margin is the face colour
    // The output ramp runs dark to light.
    const int rampY = l.outputTop + 6;
    EXPECT_LT(At(shot, 8 + 10, rampY).Red(), 20);
    EXPECT_GT(At(shot, 8 + 290, rampY).Red(), 235);

    control_->Enable(false);
    PumpEvents(100);
    shot = GrabWindow(*control_);
    EXPECT_EQ(At(shot, 8 + 60, 20), wxColour(140, 140, 140));
    EXPECT_EQ(At(shot, 8 + 240, 20), wxColour(200, 200, 200));
    EXPECT_GE(At(shot, 8 + 10, rampY).Red(), 128);  // greyed ramp: half, plus 128
    for (int marker = kInputBlack; marker <= kOutputHigh; ++marker) EXPECT_FALSE(control_->Box(marker)->IsEnabled());
    control_->Enable(true);
    for (int marker = kInputBlack; marker <= kOutputHigh; ++marker) EXPECT_TRUE(control_->Box(marker)->IsEnabled());
}

TEST_F(LevelsControlTest, EnterAndEscapeInTheBoxesStayInsideTheControl) {
    control_->values.inputWhite = 100.0f / 255.0f;
    control_->UpdateEdits();
    Type(kInputBlack, "200", WXK_RETURN);
    EXPECT_FLOAT_EQ(control_->values.inputBlack, 200.0f / 255.0f);
    EXPECT_FLOAT_EQ(control_->values.inputWhite, 201.0f / 255.0f);
    EXPECT_EQ(control_->Box(kInputWhite)->GetValue(), "201");
    EXPECT_EQ(changes_, 1);
    EXPECT_EQ(okClicks_, 0);

    Type(kGammaMarker, "2", WXK_ESCAPE);
    EXPECT_EQ(control_->Box(kGammaMarker)->GetValue(), "1.00");
    EXPECT_FLOAT_EQ(control_->values.gamma, 1.0f);
    EXPECT_EQ(cancelClicks_, 0);
    EXPECT_TRUE(dialog_->IsShown());

    // Enter again with nothing changed tells nobody.
    Type(kInputBlack, "200", WXK_RETURN);
    EXPECT_EQ(changes_, 1);
}

TEST_F(LevelsControlTest, LeavingABoxTakesItsGamma) {
    Type(kGammaMarker, "2", WXK_TAB);
    EXPECT_FLOAT_EQ(control_->values.gamma, 0.5f);
    EXPECT_EQ(control_->Box(kGammaMarker)->GetValue(), "2.00");
    EXPECT_EQ(changes_, 1);
    Type(kGammaMarker, "20", WXK_TAB);
    EXPECT_EQ(control_->Box(kGammaMarker)->GetValue(), "9.99");
    EXPECT_FLOAT_EQ(control_->values.gamma, 1.0f / 9.99f);
}

TEST_F(LevelsControlTest, MarkersDragWithThePointerAndStopAtTheirNeighbours) {
    control_->values = {40.0f / 255.0f, 240.0f / 255.0f, 0.5f, 0.2f, 0.6f};
    control_->UpdateEdits();
    control_->Refresh();
    PumpEvents(50);
    const LevelsLayout& l = control_->Layout();
    const int inputY = l.inputTop + l.inputHeight / 2;
    // The gamma marker, a quarter of the way from black to white, onto black.
    const int gammaX = LevelToX(GammaMarkerLevel(control_->values), l.histogramLeft, l.histogramWidth);
    const int blackX = LevelToX(control_->values.inputBlack, l.histogramLeft, l.histogramWidth);
    EXPECT_EQ(gammaX, l.histogramLeft + static_cast<int>(std::lround(300.0 * (40 + 50) / 255.0)));
    Drag(gammaX, inputY, blackX);
    EXPECT_NEAR(control_->values.gamma, std::log(0.5) / std::log(0.02), 1e-4);
    EXPECT_EQ(control_->DraggedMarker(), kNoMarker);
    EXPECT_FALSE(control_->HasCapture());
    EXPECT_GE(changes_, 1);

    // Output low dragged past output high stops there.
    const int outputY = l.outputTop + l.outputHeight - 4;
    Drag(LevelToX(0.2f, l.histogramLeft, l.histogramWidth), outputY, l.histogramLeft + 290);
    EXPECT_FLOAT_EQ(control_->values.outputLow, 0.6f);
    EXPECT_EQ(control_->Box(kOutputLow)->GetValue(), "153");

    // A greyed control ignores the pointer.
    control_->Enable(false);
    const LevelValues before = control_->values;
    Drag(LevelToX(0.6f, l.histogramLeft, l.histogramWidth), outputY, l.histogramLeft + 10);
    EXPECT_EQ(control_->values, before);
}

}  // namespace
}  // namespace ridgeforge
