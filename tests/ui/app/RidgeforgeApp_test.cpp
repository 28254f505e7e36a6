#include "ui/app/RidgeforgeApp.h"

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/filehistory.h>
#include <wx/stattext.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "ui/app/AboutDialog.h"
#include "ui/commands/CommandIds.h"
#include "tests/ui/app/StandInView.h"
#include "ui/framework/BackgroundJobs.h"
#include "ui/framework/DocView.h"
#include "ui/framework/Profile.h"
#include "ui/framework/Splash.h"
#include "tests/ui/app/ShellFixture.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge::testing {
namespace {

class AppTest : public ShellTest {
protected:
    std::string ProfileText() {
        std::ifstream file(App().Profile().FilePath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
};

// The toolkit answers a widget asked to take a negative size with a warning
// on the terminal. The workflow bodies are first laid out before the column
// has its width, and must ask for none.
TEST_F(AppTest, StartsWithoutToolkitWarnings) {
    StderrCapture capture((Scratch().Path() / "stderr.txt").string());
    const bool started = Start() && App().FirstIdleDone();
    const std::string text = capture.Text();
    ASSERT_TRUE(started);
    EXPECT_EQ(text.find("Gtk-CRITICAL"), std::string::npos) << text;
    EXPECT_EQ(text.find("Gtk-WARNING"), std::string::npos) << text;
}

// Detailed Log is stored in the profile and said in the log; after a restart
// it is ticked and the first idle logs the start-up table, whose first row
// shows its time twice and whose last row is the first idle.
TEST_F(AppTest, DetailedLogSurvivesRestartAndLogsStartupTable) {
    ASSERT_TRUE(Start());
    EXPECT_FALSE(App().DetailedLog());
    EXPECT_FALSE(ui::QueryCommand(Frame(), ID_DETAILED_LOG).checked);
    for (const auto& line : LogLines()) EXPECT_EQ(line.find(L"Start-up"), std::wstring::npos);  // off: no table
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_DETAILED_LOG));
    EXPECT_TRUE(Logged(L"Detailed log on: every step reports its timings and counts from now on."));
    EXPECT_NE(ProfileText().find("[Log]\nDetailed=1"), std::string::npos) << ProfileText();
    for (const auto& line : LogLines()) EXPECT_EQ(line.find(L"Start-up"), std::wstring::npos);  // not later either
    Stop();

    ASSERT_TRUE(Start());
    EXPECT_TRUE(App().DetailedLog());
    EXPECT_TRUE(ui::QueryCommand(Frame(), ID_DETAILED_LOG).checked);
    ASSERT_TRUE(App().FirstIdleDone());
    const auto lines = LogLines();
    auto header = std::find(lines.begin(), lines.end(),
                            L"Start-up (ms since the process was created, and the phase's own share):");
    ASSERT_NE(header, lines.end());
    // "  %8.0f  %+7.0f  %s": the columns are fixed.
    std::vector<std::wstring> names;
    double first = -1, firstShare = -1, previous = 0;
    auto it = header + 1;
    for (; it != lines.end() && !it->empty(); ++it) {
        ASSERT_GT(it->size(), 21u);
        EXPECT_EQ(it->substr(0, 2), L"  ");
        EXPECT_EQ(it->substr(10, 2), L"  ");
        EXPECT_EQ(it->substr(19, 2), L"  ");
        const std::wstring shareText = it->substr(12, 7);
        EXPECT_NE(shareText.find_first_of(L"+-"), std::wstring::npos);  // always signed
        const double value = std::stod(it->substr(2, 8));
        const double share = std::stod(shareText);
        if (first < 0) first = value, firstShare = share;
        EXPECT_NEAR(share, value - previous, 1.0);
        previous = value;
        names.push_back(it->substr(21));
    }
    EXPECT_EQ(first, firstShare);
    EXPECT_GT(first, 0);
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(names.front(), L"InitInstance entered (the shared libraries loaded)");
    EXPECT_EQ(names.back(), L"first idle: ready");
    EXPECT_NE(std::find(names.begin(), names.end(), L"  the frame window"), names.end());
    // The table's line break leaves an empty line after it (other lines may
    // follow it on a slow machine).
    EXPECT_TRUE(it != lines.end() && it->empty());

    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_DETAILED_LOG));
    EXPECT_EQ(LogLines().back(), L"Detailed log off.");
    EXPECT_NE(ProfileText().find("Detailed=0"), std::string::npos);
}

// A command-line part is open before the window first paints; a file that
// cannot be opened leaves the program running with an empty document.
TEST_F(AppTest, CommandLineFileOpensBeforeFirstPaintAndFailureKeepsRunning) {
    const auto part = Scratch().Path() / "bracket.stl";
    std::ofstream(part) << "solid b\nendsolid b\n";
    long paintsAtOpen = -1;
    bool shownAtOpen = true;
    makeView_ = [] { return std::unique_ptr<ui::View>(std::make_unique<CViewArea>()); };
    onDocument_ = [&](ScriptedDocument& document) {
        document.onOpen = [&](const CString&) {
            auto& view = static_cast<CViewArea&>(App().DocManager()->GetView());
            paintsAtOpen = view.PaintCount();
            shownAtOpen = App().Frame()->IsShown();
        };
    };
    ASSERT_TRUE(Start({part.wstring()}));
    ASSERT_EQ(Document().opened.size(), 1u);
    EXPECT_EQ(Document().opened[0], part.wstring());
    EXPECT_EQ(paintsAtOpen, 0);
    EXPECT_FALSE(shownAtOpen);
    EXPECT_EQ(Frame().GetTitle(), "bracket.stl - Ruvolta");
    EXPECT_TRUE(Frame().IsShown());
    // Opened files go first among the recent ones.
    EXPECT_EQ(App().Profile().RecentFiles().GetCount(), 1u);
    Stop();

    const auto missing = Scratch().Path() / "missing.stl";
    ASSERT_TRUE(Start({missing.wstring()}));
    EXPECT_TRUE(Frame().IsShown());
    EXPECT_EQ(Document().opened.size(), 1u);
    EXPECT_EQ(Document().newDocuments, 1);
    EXPECT_TRUE(Logged(L"The file could not be opened: " + missing.wstring()));
    EXPECT_EQ(Frame().GetTitle(), "Untitled - Ruvolta");
    // A title the document gives itself without an Open (a test shape).
    Document().Base().SetTitle(L"Test Cylinder");
    wxWakeUpIdle();
    PumpEvents(100);
    EXPECT_EQ(Frame().GetTitle(), "Test Cylinder - Ruvolta");
}

// About names the program and its version; a missing manual is named with
// its path in the log and the Information pane.
TEST_F(AppTest, AboutAndMissingManual) {
    ASSERT_TRUE(Start());
    wxString versionLine;
    wxString title;
    Frame().CallAfter([&] {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<CAboutDlg*>(window)) {
                title = dialog->GetTitle();
                if (wxWindow* line = dialog->FindWindow(CAboutDlg::kVersionLineId)) versionLine = line->GetLabel();
                dialog->EndModal(wxID_OK);
            }
    });
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_APP_ABOUT));
    EXPECT_EQ(title, "About Ruvolta");
    EXPECT_EQ(versionLine, "Ruvolta, Version 1.0");

    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_USER_MANUAL));
    const std::wstring message =
        L"The manual is not beside the program: " + (ProgramFolder() / "Ruvolta_Manual.pdf").wstring();
    EXPECT_EQ(LogLines().back(), message);
    EXPECT_EQ(Frame().Information().Message(), message);
    EXPECT_EQ(Frame().Information().MessageKind(), InfoKind::Caution);
}

// The manual is there: Help > User Manual hands it to the desktop's opener
// along $PATH. Without an opener the message says that none is installed;
// an opener that ends telling it has no program for PDF files (exit 3), or
// that failed (exit 4), is named when it ends; one that opened the file
// leaves nothing to say.
TEST_F(AppTest, TheManualNamesAMissingOpenerOrViewer) {
    ASSERT_TRUE(Start());
    const std::filesystem::path manual = ProgramFolder() / "Ruvolta_Manual.pdf";
    test::WriteTextFile(manual, "%PDF-1.4\n");
    const std::filesystem::path bin = Scratch().Path() / "bin";
    std::filesystem::create_directories(bin);
    // Only the test's folder is searched: the machine's own opener is not.
    test::ScopedEnvironment environment;
    environment.Set("PATH", bin.string());
    const auto standIn = [&](const std::string& body) {
        test::WriteTextFile(bin / "xdg-open", "#!/bin/sh\n" + body);
        std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    };
    const std::wstring noOpener =
        L"The manual could not be opened, as there is no program here to open files with (xdg-open is not "
        L"installed): " +
        manual.wstring();
    const std::wstring noViewer =
        L"The manual could not be opened, as no program for PDF files is installed: " + manual.wstring();
    const std::wstring failed = L"The manual could not be opened: " + manual.wstring();
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_USER_MANUAL));
    EXPECT_EQ(LogLines().back(), noOpener);
    EXPECT_EQ(Frame().Information().Message(), noOpener);
    EXPECT_EQ(Frame().Information().MessageKind(), InfoKind::Caution);

    standIn("exit 3\n");
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_USER_MANUAL));
    ASSERT_TRUE(PumpUntil([&] { return LogLines().back() == noViewer; }, 5000)) << LogLines().back();
    EXPECT_EQ(Frame().Information().Message(), noViewer);

    standIn("exit 4\n");
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_USER_MANUAL));
    ASSERT_TRUE(PumpUntil([&] { return LogLines().back() == failed; }, 5000)) << LogLines().back();

    const std::filesystem::path handed = Scratch().Path() / "handed.txt";
    standIn("printf '%s' \"$1\" > '" + handed.string() + "'\n");
    const std::size_t lines = LogLines().size();
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_USER_MANUAL));
    EXPECT_TRUE(PumpUntil([&] { return test::ReadTextFile(handed) == manual.string(); }, 5000));
    PumpEvents(100);
    EXPECT_EQ(LogLines().size(), lines);
}

// Exit waits for background jobs, but not longer than 5 s; without jobs it
// does not wait.
TEST_F(AppTest, ExitWaitsForBackgroundJobsAtMostFiveSeconds) {
    ASSERT_TRUE(Start());
    std::thread job([] {
        ui::BackgroundJobScope running;
        std::this_thread::sleep_for(std::chrono::seconds(6));
    });
    while (ui::BackgroundJobCount() == 0) std::this_thread::yield();
    App().Frame()->Destroy();
    PumpEvents(20);
    App().ExitInstance();
    EXPECT_NEAR(App().ExitWaitMilliseconds(), 5000.0, 300.0);
    job.join();
    App().ExitInstance();
    EXPECT_LT(App().ExitWaitMilliseconds(), 50.0);
}

// The splash: as large as the picture, shrunk to 80 % of the screen when it
// is larger, centred; gone at the first idle pass.
TEST_F(AppTest, SplashFitsTheScreenAndClosesOnFirstIdle) {
    EXPECT_EQ(ui::SplashSize(wxSize(480, 270), wxSize(1280, 800)), wxSize(480, 270));
    EXPECT_EQ(ui::SplashSize(wxSize(2000, 500), wxSize(1280, 800)), wxSize(1024, 256));
    EXPECT_EQ(ui::SplashSize(wxSize(400, 1600), wxSize(1280, 800)), wxSize(160, 640));
    EXPECT_EQ(ui::SplashSize(wxSize(5000, 1), wxSize(1280, 800)), wxSize(1024, 1));

    wxImage picture(300, 200);
    picture.SetRGB(wxRect(0, 0, 300, 200), 200, 30, 90);
    std::filesystem::create_directories(ProgramFolder() / "resources");
    ASSERT_TRUE(picture.SaveFile((ProgramFolder() / "resources" / "splash.png").string(), wxBITMAP_TYPE_PNG));
    ASSERT_TRUE(ui::ShowSplashWindow(ProgramFolder() / "resources" / "splash.png"));
    PumpEvents(200);
    const wxRect where = ui::SplashRect();
    EXPECT_EQ(where.GetSize(), wxSize(300, 200));
    EXPECT_EQ(where.x, (1280 - 300) / 2);
    const wxImage shot = GrabScreen(where);
    EXPECT_EQ(shot.GetRed(150, 100), 200);
    EXPECT_EQ(shot.GetBlue(150, 100), 90);
    ui::CloseSplashWindow();
    EXPECT_FALSE(ui::IsSplashShown());

    // The application shows it while it starts and closes it when idle.
    bool splashDuringStart = false;
    onDocument_ = [&](ScriptedDocument&) { splashDuringStart = ui::IsSplashShown(); };
    ASSERT_TRUE(Start());
    EXPECT_TRUE(splashDuringStart);
    EXPECT_TRUE(App().FirstIdleDone());
    EXPECT_FALSE(ui::IsSplashShown());
    EXPECT_FALSE(ui::ShowSplashWindow(ProgramFolder() / "resources" / "none.png"));
}

}  // namespace
}  // namespace ridgeforge::testing
