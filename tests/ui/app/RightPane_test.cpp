// The Information pane on screen: message colours by kind, the message at
// the bottom and never taller than half the pane, hiding it, and text given
// before the window exists.
#include "ui/app/RightPane.h"
#include "tests/support/ui/WxTest.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <filesystem>
#include <cmath>
#include <map>
#include <tuple>
#include <string>

namespace ridgeforge {
namespace {

using ridgeforge::testing::GrabWindow;
using ridgeforge::testing::PixelAt;
using ridgeforge::testing::PumpEvents;

// The colour most pixels of the image have.
wxColour Dominant(const wxImage& image) {
    std::map<std::tuple<int, int, int>, int> counts;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x)
            ++counts[{image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)}];
    }
    auto best = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; });
    return wxColour(std::get<0>(best->first), std::get<1>(best->first), std::get<2>(best->first));
}

// Whether some pixel is the text colour, or nearly (anti-aliased glyph cores).
bool HasNear(const wxImage& image, const wxColour& colour, int tolerance = 12) {
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            const wxColour p = PixelAt(image, x, y);
            if (std::abs(p.Red() - colour.Red()) <= tolerance && std::abs(p.Green() - colour.Green()) <= tolerance &&
                std::abs(p.Blue() - colour.Blue()) <= tolerance) {
                return true;
            }
        }
    }
    return false;
}

class InformationPane : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = new wxFrame(nullptr, wxID_ANY, "information", wxPoint(700, 20), wxSize(240, 400));
        dialog_ = new CRightPaneDialog();
        dialog_->Create(frame_);
        frame_->Show();
        PumpEvents(200);
    }
    void TearDown() override {
        frame_->Destroy();
        PumpEvents(50);
    }
    CRightPaneDialog& Dialog() { return *dialog_; }
    wxImage MessageShot() {
        PumpEvents(250);
        return GrabWindow(*Dialog().MessageControl());
    }

    wxFrame* frame_ = nullptr;
    CRightPaneDialog* dialog_ = nullptr;
};

TEST_F(InformationPane, MessagesShowInTheirKindsColours) {
    const wxSize client = Dialog().GetClientSize();
    ASSERT_GT(client.y, 200);
    EXPECT_FALSE(Dialog().MessageControl()->IsShown());
    EXPECT_EQ(Dialog().InformationControl()->GetSize().y, client.y - 8);
    EXPECT_EQ(Dialog().InformationControl()->GetFont().GetFaceName(), "DejaVu Sans Mono");

    Dialog().ShowMessage(L"Saved.", InfoKind::Good);
    ASSERT_TRUE(Dialog().MessageControl()->IsShown());
    wxImage shot = MessageShot();
    EXPECT_EQ(Dominant(shot), wxColour(226, 244, 224));
    EXPECT_TRUE(HasNear(shot, {28, 92, 40}));

    Dialog().ShowMessage(L"Careful.", InfoKind::Caution);
    shot = MessageShot();
    EXPECT_EQ(Dominant(shot), wxColour(255, 244, 214));
    EXPECT_TRUE(HasNear(shot, {122, 78, 0}));

    Dialog().ShowMessage(L"Broken.", static_cast<InfoKind>(5));
    shot = MessageShot();
    EXPECT_EQ(Dominant(shot), wxColour(253, 226, 226));
    EXPECT_TRUE(HasNear(shot, {140, 24, 24}));
    EXPECT_FALSE(HasNear(shot, {28, 92, 40}, 4));

    // The message sits at the bottom; the information box takes the rest.
    const wxRect message = Dialog().MessageControl()->GetRect();
    const wxRect information = Dialog().InformationControl()->GetRect();
    EXPECT_EQ(message.GetBottom() + 1, client.y - 4);
    EXPECT_EQ(message.x, 4);
    EXPECT_EQ(message.width, client.x - 8);
    EXPECT_EQ(information.GetBottom() + 1 + 4, message.y);

    // An empty message hides the box and gives the pane back to the information.
    Dialog().ShowMessage(L"", InfoKind::Good);
    EXPECT_FALSE(Dialog().MessageControl()->IsShown());
    EXPECT_EQ(Dialog().InformationControl()->GetSize().y, client.y - 8);
}

TEST_F(InformationPane, MessageHeightFollowsItsWrappedLinesUpToHalfThePane) {
    const int half = Dialog().GetClientSize().y / 2;
    Dialog().ShowMessage(L"One line.", InfoKind::Good);
    const int one = Dialog().MessageControl()->GetSize().y;
    Dialog().ShowMessage(L"One line.\nTwo lines.", InfoKind::Good);
    const int two = Dialog().MessageControl()->GetSize().y;
    EXPECT_GT(one, 10 + 10);
    EXPECT_EQ(two - one, one - 10);  // each line adds one line height
    // A long paragraph wraps in the narrow pane and takes more lines.
    Dialog().ShowMessage(
        L"The relief needs support: enable support in the slicer, or Reset and displace with the "
        L"texture moved or with less depth.",
        InfoKind::Caution);
    EXPECT_GT(Dialog().MessageControl()->GetSize().y, two);

    std::wstring many;
    for (int i = 0; i < 40; ++i) many += L"line " + std::to_wstring(i) + L"\r\n";
    Dialog().ShowMessage(many, InfoKind::Problem);
    EXPECT_EQ(Dialog().MessageControl()->GetSize().y, half);
    // The "\r\n" breaks are single line breaks in the box.
    EXPECT_EQ(Dialog().MessageControl()->GetValue().Find('\r'), wxNOT_FOUND);

    // A taller pane gives a tall message more room.
    frame_->SetSize(240, 600);
    PumpEvents(200);
    EXPECT_EQ(Dialog().MessageControl()->GetSize().y, Dialog().GetClientSize().y / 2);
}

// A window manager first gives the new main window, and so the pane, almost
// no room; boxes squeezed below what their scroll bar needs make the toolkit
// complain. The pane waits for a usable size, then lays out as before.
TEST_F(InformationPane, ANearlyEmptyPaneLeavesItsBoxesAlone) {
    Dialog().ShowMessage(L"Validation found nothing to repair.", InfoKind::Good);
    PumpEvents(100);
    const wxSize box = Dialog().FindWindow(CRightPaneDialog::kInformationBoxId)->GetSize();
    testing::StderrCapture capture((std::filesystem::temp_directory_path() / "right-pane-stderr.txt").string());
    for (const wxSize tiny : {wxSize(2, 300), wxSize(240, 3), wxSize(6, 6)}) {
        Dialog().SetSize(tiny);
        PumpEvents(100);
        EXPECT_EQ(Dialog().FindWindow(CRightPaneDialog::kInformationBoxId)->GetSize(), box);
    }
    const std::string text = capture.Text();
    EXPECT_EQ(text.find("CRITICAL"), std::string::npos) << text;
    EXPECT_EQ(text.find("Gtk-WARNING"), std::string::npos) << text;
    Dialog().SetSize(wxSize(240, 400));
    PumpEvents(100);
    EXPECT_EQ(Dialog().FindWindow(CRightPaneDialog::kInformationBoxId)->GetSize().x, 240 - 8);
}

TEST(InformationPaneBeforeItsWindow, TextAndMessageGivenEarlyShowOnCreation) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "early", wxPoint(700, 20), wxSize(240, 400));
    auto* dialog = new CRightPaneDialog();
    dialog->SetInformationText(L"Triangles: 12");
    dialog->ShowMessage(L"Could not load.", InfoKind::Problem);
    ASSERT_TRUE(dialog->Create(frame));
    frame->Show();
    PumpEvents(250);
    EXPECT_EQ(dialog->InformationControl()->GetValue(), "Triangles: 12");
    ASSERT_TRUE(dialog->MessageControl()->IsShown());
    EXPECT_EQ(dialog->MessageControl()->GetValue(), "Could not load.");
    const wxImage shot = GrabWindow(*dialog->MessageControl());
    EXPECT_EQ(Dominant(shot), wxColour(253, 226, 226));
    EXPECT_GT(dialog->MessageControl()->GetSize().y, 10);
    frame->Destroy();
    PumpEvents(50);
}

}  // namespace
}  // namespace ridgeforge
