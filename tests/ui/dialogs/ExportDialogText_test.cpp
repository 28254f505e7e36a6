// The Save STL dialog's verdict line and the report as shown, from report
// texts written the way the document's check writes them.
#include "ui/dialogs/ExportDialogText.h"

#include <gtest/gtest.h>

namespace ridgeforge {
namespace {

TEST(ExportSummary, ProblemsNotesAndMissingChecks) {
    const std::wstring clean = L"Cleanup: nothing to do.\r\n\r\nBefore saving:\r\n  ok      Edges: closed\r\n";
    ExportSummary s = SummarizeExportReport(clean, true);
    EXPECT_EQ(s.text, L"Ready to save: no problems found.");
    EXPECT_TRUE(s.good);

    s = SummarizeExportReport(clean + L"  note    Overhangs need support\r\n", true);
    EXPECT_EQ(s.text, L"Ready to save: no problems found. 1 note about printing below.");
    EXPECT_TRUE(s.good);
    s = SummarizeExportReport(clean + L"  note    a\r\n  note    b\r\n  -       not made\r\n", true);
    EXPECT_EQ(s.text, L"Ready to save: no problems found. 2 notes about printing below.");

    // The problem text is trimmed of the blanks around it, also the "\r".
    s = SummarizeExportReport(clean + L"  PROBLEM   4 open edges  \r\n  note    x\r\n", false);
    EXPECT_EQ(s.text, L"1 problem found: 4 open edges.");
    EXPECT_FALSE(s.good);
    s = SummarizeExportReport(L"  PROBLEM Folds: 2\r\n  ok      fine\r\n  PROBLEM Crossings: 7\r\n", false);
    EXPECT_EQ(s.text, L"2 problems found: Folds: 2; Crossings: 7.");
    // A problem line decides even when the check said it passed.
    EXPECT_FALSE(SummarizeExportReport(L"  PROBLEM x\n", true).good);

    // Only the ten-character prefix counts: one blank less, or a prefix later
    // in the line, is no problem.
    s = SummarizeExportReport(L" PROBLEM x\r\nsee  PROBLEM y\r\n", true);
    EXPECT_EQ(s.text, L"Ready to save: no problems found.");

    // No check function: nothing passed, and no problem line to name.
    s = SummarizeExportReport(clean, false);
    EXPECT_EQ(s.text, L"Not checked: see below.");
    EXPECT_FALSE(s.good);
}

TEST(ExportReportShown, TimingsGoUnlessTheDetailedLogIsOn) {
    const std::wstring report =
        L"Cleanup: 3 vertices merged (12 ms)\r\n\r\nFixes:\r\n  in 40 ms\r\n  Split 2 edges (7 ms)\r\n\r\n";
    EXPECT_EQ(ShownExportReport(report, 0.0, false), L"Cleanup: 3 vertices merged\r\n\r\nFixes:\r\n  Split 2 edges");
    EXPECT_EQ(ShownExportReport(report, 2.46, true), report + L"\r\nChecked in 2.5 s.");
    EXPECT_EQ(ShownExportReport(L"", 0.0, false), L"");
}

}  // namespace
}  // namespace ridgeforge
