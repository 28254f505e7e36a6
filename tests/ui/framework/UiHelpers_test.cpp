#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <cstdlib>
#include <filesystem>

#include "platform/KnownFolders.h"
#include "ui/framework/App.h"
#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ui = ridgeforge::ui;

namespace {

// The desktop's opener is looked up folder by folder along a PATH value:
// the first executable regular file named xdg-open wins; a folder of that
// name, a file that may not run, an empty entry and a missing folder are
// passed over.
TEST(UiOpener, TheFirstExecutableOpenerAlongThePathIsFound) {
    ridgeforge::test::TempDir dir("opener");
    const auto make = [&](const std::string& folder, bool executable) {
        const auto file = dir / folder / "xdg-open";
        ridgeforge::test::WriteTextFile(file, "#!/bin/sh\n");
        std::filesystem::permissions(
            file, executable ? std::filesystem::perms::owner_all
                             : std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        return file;
    };
    make("plain", false);
    std::filesystem::create_directories(dir / "folder" / "xdg-open");
    const auto second = make("second", true);
    const auto third = make("third", true);
    const std::string missing = (dir / "missing").string();
    const std::string search = missing + "::" + (dir / "plain").string() + ":" + (dir / "folder").string() + ":" +
                               (dir / "second").string() + ":" + (dir / "third").string();
    EXPECT_EQ(ui::FindDesktopOpener(search), second);
    EXPECT_EQ(ui::FindDesktopOpener((dir / "third").string() + ":" + (dir / "second").string()), third);
    EXPECT_EQ(ui::FindDesktopOpener(missing + ":" + (dir / "plain").string()), std::filesystem::path());
    EXPECT_EQ(ui::FindDesktopOpener(""), std::filesystem::path());
    EXPECT_EQ(ui::FindDesktopOpener(":"), std::filesystem::path());

    // xdg-open's exit: 0 done, 3 a tool it needs (the viewer) is missing,
    // everything else a failure (2 no such file, 4 the action failed, 255
    // the opener could not run).
    EXPECT_EQ(ui::OpenerOutcome(0), ui::OpenOutcome::Opened);
    EXPECT_EQ(ui::OpenerOutcome(3), ui::OpenOutcome::NoProgramForType);
    for (int code : {1, 2, 4, 255}) EXPECT_EQ(ui::OpenerOutcome(code), ui::OpenOutcome::Failed) << code;
}

// Rounding of scaled sizes: the pane sizes at 144 DPI, font heights, halves
// away from zero on both signs, and a zero divisor.
TEST(UiDpi, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(ui::MulDiv(340, 144, 96), 510);
    EXPECT_EQ(ui::MulDiv(130, 144, 96), 195);
    EXPECT_EQ(ui::MulDiv(240, 144, 96), 360);
    EXPECT_EQ(ui::MulDiv(9, 96, 72), 12);
    EXPECT_EQ(ui::MulDiv(8, 120, 72), 13);  // 13.33
    EXPECT_EQ(ui::MulDiv(3, 1, 2), 2);      // 1.5
    EXPECT_EQ(ui::MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(ui::MulDiv(3, 1, -2), -2);
    EXPECT_EQ(ui::MulDiv(5, 1, 4), 1);  // 1.25
    EXPECT_EQ(ui::MulDiv(7, 1, 4), 2);  // 1.75
    EXPECT_EQ(ui::MulDiv(5, 1, 0), -1);
    EXPECT_EQ(ui::ScaleDip(170, 144u), 255);
    EXPECT_EQ(ui::WindowDpi(nullptr), 96u);  // the test display runs at 96 DPI
}

// The design faces map to DejaVu; one font object per (style, DPI), and
// text grows with the DPI.
TEST(UiFonts, MappedFacesCachedPerStyleAndDpi) {
    EXPECT_EQ(ui::MapFaceName("Segoe UI"), "DejaVu Sans");
    EXPECT_EQ(ui::MapFaceName("Consolas"), "DejaVu Sans Mono");
    EXPECT_EQ(ui::MapFaceName("Arial"), "Arial");

    const wxFont& normal96 = ui::GetUiFont(ui::Normal, 96);
    const wxFont& normal144 = ui::GetUiFont(ui::Normal, 144);
    EXPECT_NE(&normal96, &normal144);
    EXPECT_EQ(&normal96, &ui::GetUiFont(ui::Normal, 96));
    EXPECT_NE(&normal96, &ui::GetUiFont(ui::Title, 96));
    EXPECT_EQ(normal96.GetFaceName(), "DejaVu Sans");
    EXPECT_EQ(ui::GetUiFont(ui::Title, 96).GetWeight(), wxFONTWEIGHT_SEMIBOLD);
    EXPECT_EQ(ui::MakeFont("Consolas", 9, 400, 96).GetFaceName(), "DejaVu Sans Mono");

    wxBitmap bitmap(200, 100);
    wxMemoryDC dc(bitmap);
    dc.SetFont(normal96);
    const wxSize small = dc.GetTextExtent("Hg");
    dc.SetFont(normal144);
    const wxSize large = dc.GetTextExtent("Hg");
    // 9 pt at 96 DPI is a 12 px character height; DejaVu Sans's line is
    // about 1.17 of that, 14 to 15 px (a 12 px line would be 7 pt text).
    EXPECT_GE(small.y, 14);
    EXPECT_LE(small.y, 16);
    EXPECT_NEAR(large.y, small.y * 1.5, 2.0);
}

// Dialog numbers: "%g" out; in, the C locale's reading of a trimmed prefix,
// the caller's value for anything that is no finite number.
TEST(UiDialogFloat, ReadsCLocalePrefixAndKeepsFallback) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "fields");
    auto* field = new wxTextCtrl(frame, 1001, "");
    auto read = [&](const char* text) {
        field->ChangeValue(text);
        return ui::GetDlgItemFloat(frame, 1001, -7.0f);
    };
    auto checkAll = [&] {
        EXPECT_FLOAT_EQ(read("  2.5 mm"), 2.5f);
        EXPECT_FLOAT_EQ(read(""), -7.0f);
        EXPECT_FLOAT_EQ(read("   "), -7.0f);
        EXPECT_FLOAT_EQ(read("abc"), -7.0f);
        EXPECT_FLOAT_EQ(read("1e999"), -7.0f);
        EXPECT_FLOAT_EQ(read("nan"), -7.0f);
        EXPECT_FLOAT_EQ(read("1,5"), 1.0f);
        EXPECT_FLOAT_EQ(read("-0.25\t"), -0.25f);
        EXPECT_FLOAT_EQ(read("3e2"), 300.0f);
        ui::SetDlgItemFloat(frame, 1001, 0.1f);
        EXPECT_EQ(field->GetValue(), "0.1");
        ui::SetDlgItemFloat(frame, 1001, 1234567.0f);
        EXPECT_EQ(field->GetValue(), "1.23457e+06");
        ui::SetDlgItemFloat(frame, 1001, -2.5f);
        EXPECT_EQ(field->GetValue(), "-2.5");
    };
    checkAll();
    {
        ridgeforge::test::CommaLocale comma;
        if (!comma.Active()) GTEST_SKIP() << "no comma-decimal locale could be made";
        checkAll();
    }
    EXPECT_FLOAT_EQ(ui::GetDlgItemFloat(frame, 4242, 3.0f), 3.0f);  // no such field
    frame->Destroy();
}

wxImage Draw(const std::string& key, const wxRect& rect) {
    wxBitmap bitmap(48, 48, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        ui::DrawIconImage(dc, key, rect);
    }
    return bitmap.ConvertToImage();
}

// A missing icon draws the grey-blue outline and nothing inside it; the file
// is looked for once, so one added later in the run is not seen; a present
// icon is drawn scaled into the rectangle.
TEST(UiIcons, MissingIconOutlineAndPresentIconScaled) {
    const wxImage missing = Draw("no_such_icon_for_tests", wxRect(4, 4, 32, 32));
    // The outline runs along x = 5 (inset 1); its strongest pixel in the
    // middle of the left side is the outline colour, bluer than it is red.
    int best = 255 * 3;
    int bestX = -1;
    for (int x = 3; x <= 8; ++x) {
        const int sum = missing.GetRed(x, 20) + missing.GetGreen(x, 20) + missing.GetBlue(x, 20);
        if (sum < best) best = sum, bestX = x;
    }
    ASSERT_GE(bestX, 4);
    ASSERT_LE(bestX, 6);
    EXPECT_NEAR(missing.GetRed(bestX, 20), 170, 22);
    EXPECT_NEAR(missing.GetGreen(bestX, 20), 176, 22);
    EXPECT_NEAR(missing.GetBlue(bestX, 20), 186, 22);
    EXPECT_GT(missing.GetBlue(bestX, 20), missing.GetRed(bestX, 20));
    EXPECT_EQ(missing.GetRed(20, 20), 255);  // not filled
    EXPECT_EQ(missing.GetRed(1, 20), 255);   // nothing outside the rectangle
    EXPECT_EQ(ui::LoadIconImage("no_such_icon_for_tests"), nullptr);

    const std::filesystem::path folder = ridgeforge::platform::ExecutableFolder() / "resources";
    std::filesystem::create_directories(folder);
    wxImage red(8, 8);
    red.SetRGB(wxRect(0, 0, 8, 8), 220, 30, 30);
    const std::filesystem::path late = folder / "no_such_icon_for_tests.png";
    ASSERT_TRUE(red.SaveFile(late.string(), wxBITMAP_TYPE_PNG));
    EXPECT_EQ(ui::LoadIconImage("no_such_icon_for_tests"), nullptr);

    const std::filesystem::path present = folder / "icon_present_for_tests.png";
    ASSERT_TRUE(red.SaveFile(present.string(), wxBITMAP_TYPE_PNG));
    const wxImage drawn = Draw("icon_present_for_tests", wxRect(10, 10, 24, 24));
    EXPECT_EQ(drawn.GetRed(20, 20), 220);
    EXPECT_EQ(drawn.GetGreen(20, 20), 30);
    EXPECT_EQ(drawn.GetRed(38, 20), 255);  // outside the rectangle
    ASSERT_NE(ui::LoadIconImage("icon_present_for_tests"), nullptr);
    EXPECT_EQ(ui::LoadIconImage("icon_present_for_tests")->GetWidth(), 8);
    std::filesystem::remove(late);
    std::filesystem::remove(present);
}

// A long text is cut with an ellipsis to fit; a short one is left whole. A
// status dot is filled or a ring.
TEST(UiPaint, EllipsisTextAndStatusDot) {
    wxBitmap bitmap(120, 40, 24);
    wxMemoryDC dc(bitmap);
    dc.SetFont(ui::GetUiFont(ui::Normal, 96));
    const wxString longText = "A rather long texture name that cannot fit";
    const wxString cut = ui::EllipsizeText(dc, longText, 80);
    EXPECT_TRUE(cut.EndsWith("...") || cut.EndsWith(wxString::FromUTF8("\xE2\x80\xA6"))) << cut;
    EXPECT_LE(dc.GetTextExtent(cut).x, 80);
    EXPECT_TRUE(longText.StartsWith(cut.Left(4)));
    EXPECT_EQ(ui::EllipsizeText(dc, "Bricks", 80), "Bricks");

    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    ui::DrawStatusDot(dc, wxRect(0, 0, 20, 20), wxColour(58, 123, 213), false);
    ui::DrawStatusDot(dc, wxRect(40, 0, 20, 20), wxColour(58, 123, 213), true);
    ui::FillRectExact(dc, wxRect(80, 0, 10, 10), wxColour(10, 20, 30));
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    EXPECT_EQ(image.GetBlue(10, 10), 213);  // filled centre
    EXPECT_EQ(image.GetRed(50, 10), 255);   // the ring's centre stays empty
    EXPECT_LT(image.GetRed(41, 10), 200);   // its outline is drawn
    EXPECT_EQ(image.GetRed(80, 0), 10);
    EXPECT_EQ(image.GetRed(89, 9), 10);
    EXPECT_EQ(image.GetRed(90, 9), 255);
    EXPECT_EQ(image.GetRed(89, 10), 255);
}

}  // namespace
