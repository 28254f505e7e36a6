#include <gtest/gtest.h>
#include <wx/filehistory.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "ui/framework/App.h"
#include "ui/framework/DocView.h"
#include "ui/framework/Profile.h"
#include "ui/framework/StartupMarks.h"
#include "tests/document/FakeHost.h"
#include "platform/Files.h"
#include "text/PathText.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/NamesAbroad.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

class RecordingDocument : public DocumentBase {
public:
    using DocumentBase::DocumentBase;
    bool SaveModified() override {
        calls.push_back(L"save?");
        return allowReplace;
    }
    void DeleteContents() override { calls.push_back(L"delete"); }
    bool OnNewDocument() override {
        calls.push_back(L"new");
        return DocumentBase::OnNewDocument();
    }
    bool OnOpenDocument(const CString& path) override {
        calls.push_back(L"open " + path);
        if (path.find(L"spoilt") != CString::npos) {  // fails after emptying itself
            DeleteContents();
            SetModifiedFlag(true);
            return false;
        }
        if (path.find(L"bad") != CString::npos) return false;  // fails untouched
        return DocumentBase::OnOpenDocument(path);
    }
    std::vector<CString> calls;
    bool allowReplace = true;
};

class RecordingView : public ui::View {
public:
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnUpdate(DocumentView* sender, ViewUpdateHint hint) override {
        (void)sender;
        hints.push_back(hint);
    }
    int initialUpdates = 0;
    std::vector<ViewUpdateHint> hints;
};

// One document object for the run: New and Open ask SaveModified first and
// reuse it; a failed open keeps an untouched document as it was and gives a
// spoilt one a fresh start; the view hears of each.
TEST(SingleDocManager, NewAndOpenReuseTheOneDocument) {
    test::FakeHost host;
    RecordingDocument document(&host);
    RecordingView view;
    std::vector<CString> titles;
    ui::SingleDocManager manager(document, view, [&](const CString& title) { titles.push_back(title); });
    EXPECT_EQ(view.GetDocument(), &document);

    ASSERT_TRUE(manager.OnFileNew());
    EXPECT_EQ(document.calls, (std::vector<CString>{L"save?", L"new", L"delete"}));
    EXPECT_EQ(view.initialUpdates, 1);
    EXPECT_EQ(titles.back(), L"Untitled");

    document.calls.clear();
    ASSERT_TRUE(manager.OpenDocumentFile(L"/parts/bracket.stl"));
    EXPECT_EQ(document.calls, (std::vector<CString>{L"save?", L"open /parts/bracket.stl", L"delete"}));
    EXPECT_EQ(document.GetPathName(), L"/parts/bracket.stl");
    EXPECT_EQ(titles.back(), L"bracket.stl");
    EXPECT_EQ(host.recentFiles, (std::vector<CString>{L"/parts/bracket.stl"}));
    EXPECT_EQ(view.initialUpdates, 2);

    document.SetModifiedFlag(true);
    document.calls.clear();
    EXPECT_FALSE(manager.OpenDocumentFile(L"/parts/bad.stl"));
    EXPECT_TRUE(document.IsModified());  // kept as it was, edits and all
    EXPECT_EQ(document.GetTitle(), L"bracket.stl");
    EXPECT_EQ(view.initialUpdates, 2);

    document.SetModifiedFlag(false);
    EXPECT_FALSE(manager.OpenDocumentFile(L"/parts/spoilt.stl"));
    EXPECT_EQ(document.calls.back(), L"delete");  // made new again
    EXPECT_EQ(document.GetTitle(), L"Untitled");
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(view.initialUpdates, 3);

    document.allowReplace = false;
    document.calls.clear();
    EXPECT_FALSE(manager.OnFileNew());
    EXPECT_FALSE(manager.OpenDocumentFile(L"/parts/other.stl"));
    EXPECT_EQ(document.calls, (std::vector<CString>{L"save?", L"save?"}));

    document.UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
    document.UpdateAllViews(&view, ViewUpdateHint::FullRefresh);  // not back to the sender
    EXPECT_EQ(view.hints, (std::vector<ViewUpdateHint>{ViewUpdateHint::PlacementChanged}));
}

TEST(SingleDocManager, CommandLineNamesTheFile) {
    const auto file = [](std::vector<std::wstring> arguments) { return ui::CommandLineFile(arguments); };
    EXPECT_EQ(file({L"ridgeforge", L"/parts/a b.stl"}), std::optional<CString>(L"/parts/a b.stl"));
    EXPECT_EQ(file({L"ridgeforge"}), std::nullopt);
    EXPECT_EQ(file({}), std::nullopt);
    // The program has no options: a name that starts with a dash is a file,
    // before a "--" and after one; only the first "--" is the marker.
    EXPECT_EQ(file({L"ridgeforge", L"-dash.stl"}), std::optional<CString>(L"-dash.stl"));
    EXPECT_EQ(file({L"ridgeforge", L"--", L"-dash.stl"}), std::optional<CString>(L"-dash.stl"));
    EXPECT_EQ(file({L"ridgeforge", L"--", L"--"}), std::optional<CString>(L"--"));
    EXPECT_EQ(file({L"ridgeforge", L"", L"b.stl", L"c.stl"}), std::optional<CString>(L"b.stl"));
}

// The toolkit's own options leave the command line; everything else comes
// from the bytes the process got, which the library's copy loses.
TEST(SingleDocManager, ProgramArgumentsKeepEveryByteAndLeaveTheToolkitsOptionsOut) {
    const std::string cafe = "caf\xc3\xa9 gear.stl", latin = "caf\xe9.stl";
    const std::vector<std::string> raw = {"ridgeforge", "--display", ":1", cafe, latin, "-dash.stl", "--name=x"};
    for (const char* locale : test::LocalesAbroad()) {
        SCOPED_TRACE(locale);
        test::ScopedEnvironment environment;
        environment.Set("LC_ALL", locale);
        // What the library keeps: its own conversion of what the toolkit left.
        std::vector<wxString> kept;
        for (const std::size_t index : {0u, 3u, 4u, 5u}) {
            const wxWCharBuffer converted = wxConvLocal.cMB2WC(raw[index].c_str());
            if (converted.data() != nullptr) kept.push_back(wxString(converted));
        }
        const std::vector<std::wstring> arguments = ui::ProgramArguments(raw, kept);
        const std::vector<std::wstring> expected = {L"ridgeforge", WideFromPath(cafe), WideFromPath(latin),
                                                    L"-dash.stl"};
        EXPECT_EQ(arguments, expected);
        EXPECT_EQ(PathFromWide(arguments[2]).native(), latin);
    }
    // Kept arguments that match nothing raw: every raw argument is the program's.
    EXPECT_EQ(ui::ProgramArguments({"ridgeforge", "a.stl"}, {"ridgeforge", "other"}),
              (std::vector<std::wstring>{L"ridgeforge", L"a.stl"}));
    EXPECT_TRUE(ui::ProgramArguments({}, {}).empty());
}

// The profile lives under XDG_CONFIG_HOME (or ~/.config), keeps what is
// written across instances, and the four newest recent files, newest first.
TEST(Profile, KeepsValuesAndFourRecentFilesAcrossRuns) {
    test::TempDir scratch("profile");
    test::ScopedEnvironment environment;
    environment.Set("HOME", (scratch.Path() / "home").string());
    environment.Set("XDG_CONFIG_HOME", (scratch.Path() / "xdg").string());
    {
        ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
        EXPECT_EQ(profile.FilePath(), scratch.Path() / "xdg" / "Ruvolta" / "Ruvolta.conf");
        EXPECT_EQ(profile.GetInt("Log", "Detailed", 7), 7);
        profile.WriteInt("Log", "Detailed", 1);
        for (const char* name : {"/p/1.stl", "/p/2.stl", "/p/3.stl", "/p/4.stl", "/p/5.stl", "/p/3.stl"})
            profile.AddRecentFile(name);
    }
    {
        ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
        EXPECT_EQ(profile.GetInt("Log", "Detailed", 0), 1);
        wxFileHistory& recent = profile.RecentFiles();
        ASSERT_EQ(recent.GetCount(), 4u);
        EXPECT_EQ(recent.GetHistoryFile(0), "/p/3.stl");
        EXPECT_EQ(recent.GetHistoryFile(1), "/p/5.stl");
        EXPECT_EQ(recent.GetHistoryFile(3), "/p/2.stl");
        profile.RemoveRecentFile(0);
        profile.RemoveRecentFile(9);  // no such entry: nothing
    }
    {
        ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
        EXPECT_EQ(profile.RecentFiles().GetCount(), 3u);
        EXPECT_EQ(profile.RecentFiles().GetHistoryFile(0), "/p/5.stl");
    }
    environment.Unset("XDG_CONFIG_HOME");
    EXPECT_EQ(ui::ProfileFolder("Ruvolta"), scratch.Path() / "home" / ".config" / "Ruvolta");
    environment.Set("XDG_CONFIG_HOME", "relative/dir");  // not absolute: ignored
    EXPECT_EQ(ui::ProfileFolder("Ruvolta"), scratch.Path() / "home" / ".config" / "Ruvolta");
}

// Recent files and the profile itself under a home folder whose name is not
// ASCII, or not UTF-8: each file comes back as the bytes it was given.
TEST(Profile, RecentFilesOfAnyNameComeBackUnderEitherLocale) {
    for (const char* locale : test::LocalesAbroad()) {
        const test::ScopedLocale scoped(locale);
        ASSERT_TRUE(scoped.Ok()) << locale;
        test::TempDir scratch("profile-names");
        test::ScopedEnvironment environment;
        const std::filesystem::path home = scratch.Path() / "h\xc3\xb6me \xe9";
        environment.Unset("XDG_CONFIG_HOME");
        environment.Set("HOME", home.string());
        const std::vector<std::string>& names = test::NamesAbroad();
        {
            ui::Profile profile("Fernwhistle", "Ruvolta", 9, 24848);
            for (const std::string& name : names) profile.AddRecentFile(home / (name + ".stl"));
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(home / ".config" / "Ruvolta" / "Ruvolta.conf"));
        ui::Profile profile("Fernwhistle", "Ruvolta", 9, 24848);
        wxFileHistory& recent = profile.RecentFiles();
        ASSERT_EQ(recent.GetCount(), names.size()) << locale;
        for (std::size_t index = 0; index < names.size(); ++index) {
            const std::filesystem::path expected = home / (names[names.size() - 1 - index] + ".stl");
            EXPECT_EQ(PathFromWide(recent.GetHistoryFile(index).ToStdWstring()).native(), expected.native())
                << locale << " " << index;
        }
    }
}

// A profile kept elsewhere through a link (as dotfile managers do) stays a
// link, a private profile stays private, and a save leaves nothing beside it.
TEST(Profile, SavesKeepALinkedProfileLinkedAndPrivate) {
    test::TempDir scratch("profile-link");
    test::ScopedEnvironment environment;
    environment.Set("XDG_CONFIG_HOME", (scratch.Path() / "xdg").string());
    const std::filesystem::path folder = scratch.Path() / "xdg" / "Ruvolta";
    test::WriteTextFile(scratch.Path() / "dotfiles" / "Ruvolta.conf", "[Log]\nDetailed=3\n");
    ::chmod((scratch.Path() / "dotfiles" / "Ruvolta.conf").c_str(), 0600);
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(scratch.Path() / "dotfiles" / "Ruvolta.conf", folder / "Ruvolta.conf");
    {
        ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
        EXPECT_EQ(profile.GetInt("Log", "Detailed", 0), 3);
        profile.WriteInt("Log", "Detailed", 5);
        profile.AddRecentFile("/p/a.stl");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(folder / "Ruvolta.conf")));
    const std::string text = test::ReadTextFile(scratch.Path() / "dotfiles" / "Ruvolta.conf");
    EXPECT_NE(text.find("Detailed=5"), std::string::npos) << text;
    EXPECT_NE(text.find("/p/a.stl"), std::string::npos) << text;
    struct stat info {};
    ASSERT_EQ(::stat((scratch.Path() / "dotfiles" / "Ruvolta.conf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path() / "dotfiles"))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"Ruvolta.conf"});
}

// A FIFO or an outsized file where the profile belongs: the program starts
// without waiting or reading it, keeps its settings in memory for the run,
// and leaves the file as it found it.
TEST(Profile, AProfileThatIsNoSmallFileIsNeitherReadNorWritten) {
    test::TempDir scratch("profile-hostile");
    test::ScopedEnvironment environment;
    environment.Set("XDG_CONFIG_HOME", scratch.Path().string());
    const std::filesystem::path path = scratch.Path() / "Ruvolta" / "Ruvolta.conf";
    std::filesystem::create_directories(path.parent_path());
    test::MakeFifo(path);
    EXPECT_TRUE(test::ReturnsWithoutWriter(path, [] {
        ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
        EXPECT_EQ(profile.GetInt("Log", "Detailed", 7), 7);
        profile.WriteInt("Log", "Detailed", 1);
        EXPECT_EQ(profile.GetInt("Log", "Detailed", 7), 1);
    }));
    EXPECT_EQ(std::filesystem::status(path).type(), std::filesystem::file_type::fifo);

    std::filesystem::remove(path);
    test::MakeSparseFile(path, platform::kSmallFileBytes + 1);
    {
        ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
        profile.WriteInt("Log", "Detailed", 1);
    }
    EXPECT_EQ(std::filesystem::file_size(path), platform::kSmallFileBytes + 1);

    // A profile of ordinary size is read as ever.
    std::filesystem::remove(path);
    test::WriteTextFile(path, "[Log]\nDetailed=5\n");
    ui::Profile profile("Fernwhistle", "Ruvolta", 4, 24848);
    EXPECT_EQ(profile.GetInt("Log", "Detailed", 0), 5);
}

// The start-up table: each mark's time and its own share, the first share
// measured from 0; marks count from the process's creation.
TEST(StartupMarks, TableColumnsAndProcessClock) {
    const std::string table = ui::FormatStartupTable({{"a", 12.4}, {"b two", 20.6}, {"c", 1234567.0}});
    EXPECT_EQ(table,
              "Start-up (ms since the process was created, and the phase's own share):\n"
              "        12      +12  a\n"
              "        21       +8  b two\n"
              "   1234567  +1234546  c\n");
    const double first = ui::MillisecondsSinceProcessStart();
    const double second = ui::MillisecondsSinceProcessStart();
    EXPECT_GT(first, 0.0);
    EXPECT_GE(second, first);
    EXPECT_LT(first, 3600.0 * 1000.0);  // this test process started within the hour
}

}  // namespace
}  // namespace ridgeforge
