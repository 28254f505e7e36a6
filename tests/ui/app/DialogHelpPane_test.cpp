// The dialogs' help column: which page file is read (the user's copy first,
// hidden pages and missing ones give a short notice) and how a dialog makes
// room for the column.
#include "ui/app/DialogHelpPane.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/sizer.h>

#include <string>

#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "textures/DeletedIndex.h"

namespace ridgeforge {
namespace {

using ridgeforge::testing::GrabWindow;
using ridgeforge::testing::PumpEvents;

TEST(HelpPage, UserCopyFirstThenBesideTheProgramElseANotice) {
    test::TempDir dir("help");
    const std::vector<LibraryRoot> roots = {{dir / "program", false}, {dir / "user", true}};
    test::WriteTextFile(dir / "program/help/export.md", "# Factory\n");
    test::WriteTextFile(dir / "program/help/mapping.md", "# Mapping\n\nBox, plane, cylinder.");
    test::WriteTextFile(dir / "user/help/export.md", "\xEF\xBB\xBF# Mine \xC3\xA9\n");
    test::WriteTextFile(dir / "user/help/relief.md", "\xEF\xBB\xBF");
    test::WriteTextFile(dir / "user/help/simplify.md", "");
    test::WriteTextFile(dir / "program/help/texture.md", "# Texture\n");
    test::WriteTextFile(dir / "program/help/zero.md", std::string("ab\0cd", 5));

    EXPECT_EQ(LoadHelpPage(L"export", roots), L"# Mine \u00e9\n");  // the user's copy, without its mark
    EXPECT_EQ(LoadHelpPage(L"mapping", roots), L"# Mapping\n\nBox, plane, cylinder.");
    EXPECT_EQ(LoadHelpPage(L"relief", roots), L"");  // only a byte-order mark: an empty page
    EXPECT_EQ(LoadHelpPage(L"zero", roots), L"ab");
    EXPECT_EQ(LoadHelpPage(L"seamless", roots),
              L"# No help yet\n\nThe page `help/seamless.md` was not found beside the program.");
    EXPECT_EQ(LoadHelpPage(L"simplify", roots),  // an empty file is no page
              L"# No help yet\n\nThe page `help/simplify.md` was not found beside the program.");

    ASSERT_TRUE(WriteDeletedIndex(roots, "help", {"texture.md"}));
    EXPECT_EQ(LoadHelpPage(L"texture", roots),
              L"# No help yet\n\nThe page `help/texture.md` was not found beside the program.");

    // A name from the root of the file system is a path of its own.
    const std::string absolute = (dir / "program/help/texture").string();
    EXPECT_EQ(LoadHelpPage(std::wstring(absolute.begin(), absolute.end()), roots), L"# Texture\n");
}

TEST(HelpPane, WidensTheDialogAndKeepsItsControlsApart) {
    auto* owner = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(1000, 700));
    owner->Show();
    auto* dialog = new wxDialog(owner, wxID_ANY, "help pane", wxPoint(100, 100), wxSize(300, 220));
    auto* first = new wxButton(dialog, wxID_OK, "OK", wxPoint(20, 20), wxSize(80, 30));
    auto* second = new wxButton(dialog, wxID_CANCEL, "Cancel", wxPoint(130, 70), wxSize(80, 30));
    const wxSize before = dialog->GetSize();

    CMarkdownTextCtrl* viewer = AddDialogHelpPane(*dialog, L"# Help\n\nSome words to read.");
    ASSERT_NE(viewer, nullptr);
    const wxSize units = dialog->ConvertDialogToPixels(wxSize(190, 8));
    const int w = units.x;
    const int m = units.y;
    ASSERT_GT(w, 190);
    ASSERT_GT(m, 4);

    EXPECT_EQ(dialog->GetSize(), wxSize(before.x + w + m, before.y));
    EXPECT_EQ(first->GetPosition(), wxPoint(20 + w + m, 20));
    EXPECT_EQ(second->GetPosition(), wxPoint(130 + w + m, 70));
    EXPECT_EQ(first->GetSize(), wxSize(80, 30));

    EXPECT_EQ(viewer->GetId(), kHelpPaneId);
    EXPECT_EQ(viewer->GetParent(), dialog);
    EXPECT_EQ(viewer->GetPosition(), wxPoint(m, m));
    EXPECT_EQ(viewer->GetSize(), wxSize(w, dialog->GetClientSize().y - 2 * m));
    EXPECT_EQ(viewer->GetMarkdown(), L"# Help\n\nSome words to read.");
    EXPECT_FALSE(viewer->IsLayoutOutOfDate());

    // Centred on its owner.
    const wxRect placed = dialog->GetRect();
    EXPECT_NEAR(placed.x + placed.width / 2, 500, 2);

    dialog->Show();
    PumpEvents(300);
    const wxImage shot = GrabWindow(*viewer);
    int white = 0;
    int ink = 0;
    for (int y = 0; y < shot.GetHeight(); ++y)
        for (int x = 0; x < shot.GetWidth() - 20; ++x) {
            const int r = shot.GetRed(x, y), g = shot.GetGreen(x, y), b = shot.GetBlue(x, y);
            if (r == 255 && g == 255 && b == 255) ++white;
            if (r < 90 && g < 90 && b < 90) ++ink;
        }
    EXPECT_GT(white, shot.GetWidth() * shot.GetHeight() / 2);
    EXPECT_GT(ink, 50);
    dialog->Destroy();
    owner->Destroy();
    PumpEvents(50);
}

TEST(HelpPane, ADialogLaidOutBySizersKeepsItsControlsRightOfTheColumn) {
    auto* dialog = new wxDialog(nullptr, wxID_ANY, "sized", wxPoint(50, 50), wxSize(260, 180));
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* first = new wxButton(dialog, wxID_OK, "OK");
    auto* second = new wxButton(dialog, wxID_CANCEL, "Cancel");
    column->Add(first, 0, wxALL, 10);
    column->Add(second, 0, wxALL, 10);
    dialog->SetSizer(column);
    dialog->Layout();
    const wxPoint firstBefore = first->GetPosition();
    const wxPoint secondBefore = second->GetPosition();
    const wxSize before = dialog->GetSize();

    CMarkdownTextCtrl* viewer = AddDialogHelpPane(*dialog, L"text");
    ASSERT_NE(viewer, nullptr);
    const wxSize units = dialog->ConvertDialogToPixels(wxSize(190, 8));
    const int shift = units.x + units.y;
    dialog->Show();
    PumpEvents(200);
    dialog->Layout();  // a later layout keeps the column
    EXPECT_EQ(dialog->GetSize(), wxSize(before.x + shift, before.y));
    EXPECT_EQ(first->GetPosition(), firstBefore + wxPoint(shift, 0));
    EXPECT_EQ(second->GetPosition(), secondBefore + wxPoint(shift, 0));
    EXPECT_EQ(viewer->GetRect(), wxRect(units.y, units.y, units.x, dialog->GetClientSize().y - 2 * units.y));
    dialog->Destroy();
    PumpEvents(50);
}

}  // namespace
}  // namespace ridgeforge
