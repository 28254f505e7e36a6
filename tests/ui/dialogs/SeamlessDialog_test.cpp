// The seamless dialog on screen: stored values come back only for the
// image's own method, the rows follow the sliders and the fields, the
// previews show what the method does, and OK hands back name and values.
#include "ui/dialogs/SeamlessDialog.h"

#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <memory>

#include "ui/dialogs/PreviewPicture.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

using testing::GrabWindow;
using testing::PumpEvents;
using testing::PumpUntil;
using D = CSeamlessDialog;

// Left half black, right half white: a hard join at the tile's middle and edge.
std::vector<float> HalfAndHalf(int width, int height) {
    std::vector<float> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f);
    for (int y = 0; y < height; ++y)
        for (int x = width / 2; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = 1.0f;
    return pixels;
}

class SeamlessDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(1200, 780));
        owner_->Show();
    }
    void TearDown() override {
        owner_->Destroy();
        PumpEvents(20);
    }

    static void Choose(D& dialog, const wxString& method) {
        auto* list = static_cast<wxChoice*>(dialog.FindWindow(D::kMethodList));
        list->SetStringSelection(method);
        dialog.OnMethodChanged();
    }
    static wxString Field(D& dialog, int row) {
        return static_cast<wxTextCtrl*>(dialog.FindWindow(D::kFirstField + row))->GetValue();
    }
    static wxSlider* Slider(D& dialog, int row) {
        return static_cast<wxSlider*>(dialog.FindWindow(D::kFirstSlider + row));
    }

    wxFrame* owner_ = nullptr;
};

TEST_F(SeamlessDialogTest, StoredValuesComeBackOnlyForTheImagesOwnMethod) {
    D dialog(HalfAndHalf(64, 48), 64, 48, owner_);
    dialog.methodName = "Cross-fade";
    dialog.parameterText = "percent=30\n";
    dialog.Open();
    EXPECT_EQ(static_cast<wxChoice*>(dialog.FindWindow(D::kMethodList))->GetStringSelection(), "Cross-fade");
    EXPECT_EQ(Field(dialog, 0), "30");
    EXPECT_EQ(Slider(dialog, 0)->GetValue(), 667);  // 30 of 0..45 on 1000 steps
    EXPECT_EQ(Slider(dialog, 0)->GetMax(), 1000);
    EXPECT_EQ(Slider(dialog, 0)->GetPageSize(), 100);
    EXPECT_FALSE(dialog.FindWindow(D::kFirstField + 1)->IsShown());

    Choose(dialog, "Histogram blend");
    const auto* method = dialog.CurrentMethod();
    ASSERT_EQ(method->Name(), std::string("Histogram blend"));
    // Its patches row: an Integer of 2..24 gives 22 steps, at the default 4.
    ASSERT_EQ(method->Parameters()[0].key, "patches");
    EXPECT_EQ(Field(dialog, 0), "4");
    EXPECT_EQ(Slider(dialog, 0)->GetMax(), 22);
    EXPECT_EQ(Slider(dialog, 0)->GetValue(), 2);
    EXPECT_TRUE(dialog.FindWindow(D::kFirstField + 1)->IsShown());

    Choose(dialog, "Cross-fade");
    EXPECT_EQ(Field(dialog, 0), "30");

    // Slider to field and field to slider; a value past the range is shown clamped.
    Slider(dialog, 0)->SetValue(500);
    dialog.OnSliderMoved(0);
    EXPECT_EQ(Field(dialog, 0), "22.5");
    static_cast<wxTextCtrl*>(dialog.FindWindow(D::kFirstField))->SetValue("99");
    dialog.TakeControls();
    EXPECT_EQ(Field(dialog, 0), "45");
    EXPECT_EQ(Slider(dialog, 0)->GetValue(), 1000);
    static_cast<wxTextCtrl*>(dialog.FindWindow(D::kFirstField))->SetValue("not a number");
    dialog.TakeControls();
    EXPECT_EQ(Field(dialog, 0), "45");

    // A method that does nothing has no rows and no values.
    Choose(dialog, "Unchanged");
    for (int row = 0; row < D::kRows; ++row) EXPECT_FALSE(dialog.FindWindow(D::kFirstLabel + row)->IsShown());
    EXPECT_EQ(dialog.ReportLine(), "The image is used as it was loaded.");
}

TEST_F(SeamlessDialogTest, MirrorFlipsEveryOtherTileOnScreen) {
    D dialog(HalfAndHalf(40, 40), 40, 40, owner_);
    dialog.methodName = "Mirror";
    dialog.Open();
    dialog.Show();
    dialog.Raise();
    PumpEvents(200);

    const auto& before = dialog.BeforePicture();
    const auto& after = dialog.AfterPicture();
    ASSERT_EQ(before.Side(), 80);
    ASSERT_EQ(after.Side(), 80);
    const auto grey = [](const CPreviewPicture& picture, int x, int y) {
        return static_cast<int>(picture.Pixels()[static_cast<std::size_t>(y * picture.Side() + x)] & 0xFF);
    };
    // Laid as loaded, the second tile starts black again; mirrored, it starts white.
    EXPECT_EQ(grey(before, 45, 10), 0);
    EXPECT_EQ(grey(before, 75, 10), 255);
    EXPECT_EQ(grey(after, 45, 10), 255);
    EXPECT_EQ(grey(after, 75, 10), 0);
    EXPECT_NE(dialog.ReportLine().Find("Seamless: Mirror"), wxNOT_FOUND) << dialog.ReportLine();
    EXPECT_NE(dialog.ReportLine().Find("(measured on the 40 x 40 preview"), wxNOT_FOUND);

    // On screen: a row through the middle of each square, in quarters. Before:
    // dark, light, dark, light; after: dark, light, light, dark.
    const wxImage shot = GrabWindow(dialog);
    ASSERT_TRUE(shot.IsOk());
    const auto quarters = [&](const CPreviewPicture& picture) {
        const wxRect square = picture.PictureSquare();
        const wxPoint origin = picture.GetPosition();
        std::string seen;
        for (int q = 0; q < 4; ++q) {
            const int x = origin.x + square.x + square.width * (2 * q + 1) / 8;
            const int y = origin.y + square.y + square.height / 2;
            seen += shot.GetRed(x, y) < 60 ? 'd' : shot.GetRed(x, y) > 200 ? 'l' : '?';
        }
        return seen;
    };
    EXPECT_EQ(quarters(before), "dldl");
    EXPECT_EQ(quarters(after), "dlld");
}

TEST_F(SeamlessDialogTest, WithoutAnImageTheDialogStillOpens) {
    D dialog({}, 0, 0, owner_);
    dialog.methodName = "Cross-fade";
    dialog.Open();
    EXPECT_EQ(dialog.ReportLine(), "No image loaded.");
    EXPECT_EQ(dialog.BeforePicture().Side(), 0);
    EXPECT_EQ(dialog.AfterPicture().Side(), 0);
    EXPECT_TRUE(dialog.FindWindow(D::kFirstField)->IsShown());

    // An unknown stored method opens on the first.
    D other(HalfAndHalf(8, 8), 8, 8, owner_);
    other.methodName = "Swirl";
    other.Open();
    EXPECT_EQ(static_cast<wxChoice*>(other.FindWindow(D::kMethodList))->GetSelection(), 0);
}

// Typed through the X server: Enter in the field closes the dialog with the
// typed value taken; Cancel leaves the two results as they were.
TEST_F(SeamlessDialogTest, EnterInAFieldTakesItsValueBeforeClosing) {
    D dialog(HalfAndHalf(64, 64), 64, 64, owner_);
    dialog.methodName = "Cross-fade";
    dialog.parameterText = "percent=30\n";
    bool typed = false;
    dialog.CallAfter([&] {
        auto* field = static_cast<wxTextCtrl*>(dialog.FindWindow(D::kFirstField));
        dialog.Raise();
        field->SetFocus();
        field->SelectAll();
        PumpUntil([&] { return field->HasFocus(); }, 2000);
        wxUIActionSimulator input;
        input.Text("12");
        PumpUntil([&] { return field->GetValue() == "12"; }, 2000);
        typed = field->GetValue() == "12";
        input.Char(WXK_RETURN);
    });
    ASSERT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_TRUE(typed);
    EXPECT_EQ(dialog.methodName, "Cross-fade");
    EXPECT_EQ(dialog.parameterText, "percent=12\n");

    D cancelled(HalfAndHalf(8, 8), 8, 8, owner_);
    cancelled.methodName = "Cross-fade";
    cancelled.parameterText = "percent=30\n";
    cancelled.CallAfter([&] {
        Choose(cancelled, "Mirror");
        cancelled.EndModal(wxID_CANCEL);
    });
    ASSERT_EQ(cancelled.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(cancelled.methodName, "Cross-fade");
    EXPECT_EQ(cancelled.parameterText, "percent=30\n");
}

}  // namespace
}  // namespace ridgeforge
