// The Output pane as a person sees and uses it: colours and marker bars on
// screen, hanging indents, the line cap and its caption, following the end,
// copy to the clipboard, the saved file and clearing.
#include "ui/app/OutputWnd.h"
#include "document/RidgeforgeDoc.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "tests/document/FakeHost.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/frame.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

namespace ridgeforge {
namespace {

using ridgeforge::testing::GrabWindow;
using ridgeforge::testing::PixelAt;
using ridgeforge::testing::PumpEvents;

// Pixels in the area drawn in this colour over the list's background:
// anti-aliased text blends the two, so a pixel counts when it lies on the
// blend at least two thirds of the way to the colour.
int CountInk(const wxImage& image, const wxRect& area, const wxColour& colour,
             const wxColour& background = wxColour(30, 30, 30)) {
    const double dr = colour.Red() - background.Red(), dg = colour.Green() - background.Green(),
                 db = colour.Blue() - background.Blue();
    const double norm = dr * dr + dg * dg + db * db;
    int count = 0;
    for (int y = std::max(area.y, 0); y <= area.GetBottom() && y < image.GetHeight(); ++y) {
        for (int x = std::max(area.x, 0); x <= area.GetRight() && x < image.GetWidth(); ++x) {
            const wxColour p = PixelAt(image, x, y);
            const double pr = p.Red() - background.Red(), pg = p.Green() - background.Green(),
                         pb = p.Blue() - background.Blue();
            const double a = (pr * dr + pg * dg + pb * db) / norm;
            const bool onBlend = std::abs(pr - a * dr) < 10 && std::abs(pg - a * dg) < 10 && std::abs(pb - a * db) < 10;
            if (a >= 0.66 && a <= 1.05 && onBlend) ++count;
        }
    }
    return count;
}

// Leftmost column in the rows that differs from the background, or -1.
int LeftmostInk(const wxImage& image, int y0, int y1, const wxColour& background) {
    for (int x = 0; x < image.GetWidth(); ++x) {
        for (int y = y0; y < y1; ++y) {
            if (PixelAt(image, x, y) != background) return x;
        }
    }
    return -1;
}

const wxColour kBackground(30, 30, 30);

class OutputPane : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = new wxFrame(nullptr, wxID_ANY, "output", wxPoint(20, 20), wxSize(640, 320));
        pane_ = new COutputWnd(frame_);
        frame_->Show();
        PumpEvents(200);
    }
    void TearDown() override {
        frame_->Destroy();
        PumpEvents(50);
    }
    COutputList& List() { return pane_->List(); }
    wxImage Shot() {
        List().Refresh();
        List().Update();
        PumpEvents(150);
        return GrabWindow(List());
    }

    wxFrame* frame_ = nullptr;
    COutputWnd* pane_ = nullptr;
};

TEST_F(OutputPane, StartsReadyAndDrawsKindsInTheirColours) {
    ASSERT_EQ(List().LineCount(), 1u);
    EXPECT_EQ(List().LineText(0), L"Output log ready.");
    EXPECT_EQ(pane_->Caption(), "Output");

    pane_->AddLine(L"Error: the file could not be read", LogKind::Auto);
    pane_->AddLine(L"Just some plain words", LogKind::Auto);
    pane_->AddLine(L"Saved the log", LogKind::Auto);
    pane_->AddLine(L"Careful here", LogKind::Warning);
    EXPECT_EQ(List().LineKind(1), LogKind::Error);
    EXPECT_EQ(List().LineKind(2), LogKind::Plain);
    EXPECT_EQ(List().LineKind(3), LogKind::Good);
    EXPECT_EQ(List().LineKind(4), LogKind::Warning);

    const wxImage shot = Shot();
    const wxRect error = List().GetItemRect(1);
    const wxRect plain = List().GetItemRect(2);
    const wxRect good = List().GetItemRect(3);
    const wxRect warning = List().GetItemRect(4);
    ASSERT_FALSE(error.IsEmpty());
    ASSERT_FALSE(warning.IsEmpty());
    const int mid = error.y + error.height / 2;
    // A 3-pixel bar in the line's colour on error and warning lines only.
    EXPECT_EQ(PixelAt(shot, 0, mid), wxColour(255, 107, 107));
    EXPECT_EQ(PixelAt(shot, 2, mid), wxColour(255, 107, 107));
    EXPECT_EQ(PixelAt(shot, 3, mid), kBackground);
    EXPECT_EQ(PixelAt(shot, 1, warning.y + warning.height / 2), wxColour(240, 208, 80));
    EXPECT_EQ(PixelAt(shot, 1, plain.y + plain.height / 2), kBackground);
    // Text in the kind's colour; none of the other kinds' colours.
    EXPECT_GT(CountInk(shot, error, {255, 107, 107}), 3 * error.height);
    EXPECT_GT(CountInk(shot, plain, {212, 212, 212}), 10);
    EXPECT_EQ(CountInk(shot, plain, {255, 107, 107}), 0);
    EXPECT_GT(CountInk(shot, good, {115, 201, 145}), 10);
    // Below the last line the list stays dark.
    EXPECT_EQ(PixelAt(shot, 100, shot.GetHeight() - 5), kBackground);
    EXPECT_EQ(PixelAt(shot, 100, warning.GetBottom() + 10), kBackground);
}

TEST_F(OutputPane, HighlightsLabelsNumbersAndPaths) {
    pane_->AddLine(L"Relief height: 12.5 mm", LogKind::Auto);
    pane_->AddLine(L"Open edges: 3", LogKind::Auto);
    pane_->AddLine(L"Saved /parts/b2.stl", LogKind::Auto);
    const wxImage shot = Shot();
    const wxRect plain = List().GetItemRect(1);
    const wxRect warning = List().GetItemRect(2);
    const wxRect saved = List().GetItemRect(3);
    // The label and the number on a plain line, each in its own colour, the label first.
    const wxRect labelPart(0, plain.y, 60, plain.height);
    const wxRect rest(90, plain.y, 200, plain.height);
    EXPECT_GT(CountInk(shot, labelPart, {156, 220, 254}), 5);
    EXPECT_EQ(CountInk(shot, labelPart, {78, 201, 176}), 0);
    EXPECT_GT(CountInk(shot, rest, {78, 201, 176}), 5);
    // On a warning line the label takes the line's colour and the number is white.
    EXPECT_GT(CountInk(shot, warning, {255, 255, 255}), 2);
    EXPECT_EQ(CountInk(shot, warning, {156, 220, 254}), 0);
    // The path is one colour: its digit is not a number.
    EXPECT_GT(CountInk(shot, saved, {206, 145, 120}), 10);
    EXPECT_EQ(CountInk(shot, saved, {78, 201, 176}), 0);
}

TEST_F(OutputPane, LongLinesWrapWithAHangingIndentAndStopAtTheItemLimit) {
    frame_->SetSize(300, 320);
    PumpEvents(200);
    std::wstring words;
    for (int i = 0; i < 12; ++i) words += L"word ";
    pane_->AddLine(words, LogKind::Plain);
    const std::size_t item = List().LineCount() - 1;
    const int lineHeight = List().Metrics().lineHeight;
    ASSERT_GT(List().LineHeightOfItem(item), 2 * lineHeight);  // wrapped
    const wxImage shot = Shot();
    const wxRect rect = List().GetItemRect(item);
    ASSERT_FALSE(rect.IsEmpty());
    const int first = LeftmostInk(shot, rect.y + 1, rect.y + 1 + lineHeight, kBackground);
    const int second = LeftmostInk(shot, rect.y + 1 + lineHeight, rect.y + 1 + 2 * lineHeight, kBackground);
    ASSERT_GE(first, 0);
    // Text starts after the bar and margin; continuation lines 16 pixels further in.
    EXPECT_GE(first, 9);
    EXPECT_LE(first, 11);
    EXPECT_EQ(second - first, 16);

    pane_->AddLine(CString(3000, L'w'), LogKind::Plain);
    EXPECT_EQ(List().LineHeightOfItem(List().LineCount() - 1), 255);
}

TEST_F(OutputPane, CapKeepsTwentyThousandLinesAndCountsTheRest) {
    std::wstring batch;
    for (int i = 1; i < 20000; ++i) batch += L"line " + std::to_wstring(i) + (i + 1 < 20000 ? L"\n" : L"");
    pane_->AddLine(batch, LogKind::Plain);
    ASSERT_EQ(List().LineCount(), 20000u);
    EXPECT_EQ(pane_->Caption(), "Output");
    EXPECT_EQ(pane_->DiscardedLines(), 0u);

    pane_->AddLine(L"line 20000", LogKind::Plain);
    EXPECT_EQ(List().LineCount(), 20000u);
    EXPECT_EQ(List().LineText(0), L"line 1");
    EXPECT_EQ(pane_->Caption(), "Output (1 older lines discarded)");
    // The end of the log is in view.
    PumpEvents(50);
    EXPECT_EQ(List().GetVisibleRowsEnd(), 20000u);

    // Scrolled up, new lines keep the same text in view, and the selection
    // stays on the lines it was on.
    List().SetTopLine(500);
    List().Select(510);
    List().Select(512);
    const std::wstring shown = List().LineText(List().TopLine());
    pane_->AppendLines(L"a\nb\nc", LogKind::Plain, false, List().TopLine());
    EXPECT_EQ(List().LineText(List().TopLine()), shown);
    EXPECT_EQ(pane_->Caption(), "Output (4 older lines discarded)");
    EXPECT_EQ(List().SelectedText(), L"line 511\r\nline 513");
    List().DeselectAll();
    // So does AddLine while the user holds the mouse in the list.
    List().CaptureMouse();
    pane_->AddLine(L"d", LogKind::Plain);
    EXPECT_EQ(List().LineText(List().TopLine()), shown);
    List().ReleaseMouse();

    // Clear empties the list but the count and caption stay.
    pane_->Clear();
    EXPECT_EQ(List().LineCount(), 0u);
    EXPECT_EQ(pane_->DiscardedLines(), 5u);
    EXPECT_EQ(pane_->Caption(), "Output (5 older lines discarded)");
    pane_->AddLine(L"after", LogKind::Plain);
    EXPECT_EQ(List().LineCount(), 1u);
}

// What the shell's host does with the document's log calls: the lines go to
// the pane as they arrive, so timings are taken out once, by the document.
class PaneHost : public test::FakeHost {
public:
    explicit PaneHost(COutputWnd& pane) : pane_(pane) {}
    void AddLogLine(const CString& text, LogKind kind) override { pane_.AddLine(text, kind); }
    void ClearLog() override { pane_.Clear(); }

private:
    COutputWnd& pane_;
};

TEST_F(OutputPane, LineBreaksAndTheDocumentsLogRules) {
    pane_->AddLine(L"A\r\n", LogKind::Auto);
    ASSERT_EQ(List().LineCount(), 3u);
    EXPECT_EQ(List().LineText(1), L"A");
    EXPECT_EQ(List().LineText(2), L"");

    PaneHost host(*pane_);
    CRidgeforgeDoc doc(&host);
    doc.LogText("A\n");
    ASSERT_EQ(List().LineCount(), 4u);
    EXPECT_EQ(List().LineText(3), L"A");
    doc.LogText("B\n\nOpen edges: 3");
    ASSERT_EQ(List().LineCount(), 7u);
    EXPECT_EQ(List().LineText(5), L"");
    EXPECT_EQ(List().LineKind(6), LogKind::Warning);

    doc.Log(L"Remesh (123 ms)", LogKind::Auto);
    doc.Log(L"in 12.5 ms", LogKind::Auto);
    ASSERT_EQ(List().LineCount(), 8u);
    EXPECT_EQ(List().LineText(7), L"Remesh");
    host.detailedLog = true;
    doc.Log(L"Remesh (123 ms)", LogKind::Good);
    doc.Log(L"in 12.5 ms", LogKind::Auto);
    ASSERT_EQ(List().LineCount(), 10u);
    EXPECT_EQ(List().LineText(8), L"Remesh (123 ms)");
    EXPECT_EQ(List().LineKind(8), LogKind::Good);
    EXPECT_EQ(List().LineText(9), L"in 12.5 ms");
}

TEST_F(OutputPane, CopyPutsTheSelectedLinesOnTheClipboard) {
    pane_->AddLine(L"first\nsecond\nthird", LogKind::Plain);
    List().Select(1);
    List().Select(3);
    // As the context menu's Copy sends it.
    wxCommandEvent copy(wxEVT_MENU, COutputList::kCopyCommand);
    List().ProcessWindowEvent(copy);
    wxString text;
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject data;
    EXPECT_TRUE(wxTheClipboard->GetData(data));
    wxTheClipboard->Close();
    EXPECT_EQ(data.GetText(), "first\r\nthird");

    // Nothing selected: the focused line (the last one selected).
    List().DeselectAll();
    List().OnEditCopy();
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject focused;
    EXPECT_TRUE(wxTheClipboard->GetData(focused));
    wxTheClipboard->Close();
    EXPECT_EQ(focused.GetText(), "third");

    // An empty list copies nothing: the clipboard keeps what it had.
    wxCommandEvent clear(wxEVT_MENU, COutputList::kClearCommand);
    List().ProcessWindowEvent(clear);
    EXPECT_EQ(List().LineCount(), 0u);
    List().OnEditCopy();
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject kept;
    EXPECT_TRUE(wxTheClipboard->GetData(kept));
    wxTheClipboard->Close();
    EXPECT_EQ(kept.GetText(), "third");
}

TEST_F(OutputPane, SavesUtf8WithCrLfAndReportsFailures) {
    test::TempDir dir("outputlog");
    pane_->AddLine(L"Fl\u00E4che 5 mm\u00B2\n\nend", LogKind::Plain);
    const std::filesystem::path path = dir / "Ruvolta log.txt";
    std::string error;
    ASSERT_TRUE(List().SaveLog(path, &error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes,
              "Output log ready.\r\nFl\xC3\xA4"
              "che 5 mm\xC2\xB2\r\n\r\nend\r\n");
    EXPECT_EQ(List().LastSavedFolder(), dir.Path());

    // A folder in the way: the save fails with the system's words and leaves nothing behind.
    const std::filesystem::path folder = dir / "taken";
    std::filesystem::create_directory(folder);
    error.clear();
    EXPECT_FALSE(List().SaveLog(folder, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error, "Is a directory");
    EXPECT_FALSE(List().SaveLog(dir / "missing" / "log.txt", &error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(List().LastSavedFolder(), dir.Path());

    // A link planted beside the log is not written through.
    test::WriteTextFile(dir / "victim.txt", "DATA");
    std::filesystem::create_symlink("victim.txt", dir / "Ruvolta log.txt.tmp");
    ASSERT_TRUE(List().SaveLog(path, &error)) << error;
    EXPECT_EQ(test::ReadTextFile(dir / "victim.txt"), "DATA");
    EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(path)));
}

// Run in a process of its own: 0 when a save of the log, larger than the
// file size limit, is refused as too large and leaves only the old log.
int SaveLogUnderASizeLimit(COutputList& list, const std::filesystem::path& path) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 64;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    std::string error;
    const bool refused = !list.SaveLog(path, &error) && error == "File too large";
    const bool untouched =
        test::ReadTextFile(path) == "old log" && std::distance(std::filesystem::directory_iterator(path.parent_path()),
                                                               std::filesystem::directory_iterator()) == 1;
    return refused && untouched ? 0 : 1;
}

TEST_F(OutputPane, ASaveTooLargeForTheLimitOrWhoseRenameFailsKeepsTheOldLog) {
    test::TempDir dir("outputlog-limits");
    const std::filesystem::path path = dir / "Ruvolta log.txt";
    test::WriteTextFile(path, "old log");
    pane_->AddLine(L"A line that makes the log longer than sixty-four bytes, the limit below.", LogKind::Plain);
    // A process of its own, started afresh, has the limit.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(SaveLogUnderASizeLimit(List(), path)), ::testing::ExitedWithCode(0), "");

    for (const int failure : {EXDEV, EACCES, EIO}) {
        platform::FailSafeWriteRenames(failure);
        std::string error;
        const bool saved = List().SaveLog(path, &error);
        platform::ClearSafeWriteHooks();
        EXPECT_FALSE(saved);
        EXPECT_EQ(error, platform::SystemErrorText(failure));
        EXPECT_EQ(test::ReadTextFile(path), "old log");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
                  1);
    }
}

TEST_F(OutputPane, HigherDpiWidensTheBar) {
    const int lineHeight = List().Metrics().lineHeight;
    pane_->SetDpi(192);
    pane_->AddLine(L"Error: twice the size", LogKind::Auto);
    const wxImage shot = Shot();
    const wxRect rect = List().GetItemRect(List().LineCount() - 1);
    ASSERT_FALSE(rect.IsEmpty());
    const int mid = rect.y + rect.height / 2;
    EXPECT_EQ(PixelAt(shot, 5, mid), wxColour(255, 107, 107));
    EXPECT_EQ(PixelAt(shot, 6, mid), kBackground);
    EXPECT_GE(List().Metrics().lineHeight, 2 * lineHeight - 2);
    EXPECT_LE(List().Metrics().lineHeight, 2 * lineHeight + 2);
}

}  // namespace
}  // namespace ridgeforge
