// Every road by which the window's own code takes a file name, with names as
// people have them (letters outside ASCII, an emoji, a space, a leading dash,
// a name that is not UTF-8) in a home folder whose name is neither ASCII nor
// UTF-8, under a UTF-8 locale and under the C locale: the program opens,
// saves and lists each, and lives.
#include <gtest/gtest.h>
#include <wx/filehistory.h>
#include <wx/frame.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "document/RidgeforgeDoc.h"
#include "mesh/StlImport.h"
#include "tests/support/NamesAbroad.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "tests/ui/app/ShellFixture.h"
#include "text/PathText.h"
#include "text/Utf8.h"
#include "textures/TextureLibrary.h"
#include "textures/procedural/TextureRegistry.h"
#include "ui/app/WxDocumentHost.h"
#include "ui/dialogs/ProceduralTextureDialog.h"
#include "ui/framework/Profile.h"
#include "ui/workflow/FlowWnd.h"
#include "ui/workflow/TextureBody.h"

namespace ridgeforge::testing {
namespace {

namespace fs = std::filesystem;

void WriteCube(const fs::path& path) { test::WriteBinaryStl(path, test::MakeBox({0, 0, 0}, {20, 20, 20})); }

void WriteGrey(const fs::path& path) {
    std::vector<std::uint16_t> grey(32 * 32);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint16_t>(i * 61);
    ASSERT_TRUE(test::WritePng(path, 32, 32, 1, 16, grey));
}

class AnyFileNameTest : public ShellTest {
protected:
    AnyFileNameTest() { programDocument_ = true; }

    CRidgeforgeDoc& Doc() { return *App().Document()->RidgeforgeDoc(); }
    CTextureBody& Texture() {
        return *dynamic_cast<CTextureBody*>(Frame().LeftPane().Flow().GetSection(FlowStep::Texture).body);
    }
    // A home folder named in UTF-8 and in Latin-1 at once.
    fs::path Home() const { return Scratch().Path() / "h\xc3\xb6me \xe9"; }
    fs::path Folder(const std::string& name) const { return Home() / name; }
};

// Open a part by the command line, File > Open's road, the recent files and
// a drop; Save STL's default extension and both encodings; a project saved
// and opened again beside the part.
TEST_F(AnyFileNameTest, PartsAndProjectsOpenAndSave) {
    for (const char* locale : test::LocalesAbroad()) {
        const test::ScopedLocale scoped(locale);
        ASSERT_TRUE(scoped.Ok()) << locale;
        for (const std::string& stem : test::NamesAbroad()) {
            SCOPED_TRACE(std::string(locale) + " [" + stem + "]");
            const fs::path folder = Folder(stem);  // the folder is named too
            fs::create_directories(folder);
            const fs::path part = folder / (stem + ".stl");
            WriteCube(part);
            environment_.Set("HOME", Home().string());

            ASSERT_TRUE(Start({WideFromPath(part)}));
            EXPECT_EQ(PathFromWide(Doc().partName).native(), part.native());
            ASSERT_GE(App().Profile().RecentFiles().GetCount(), 1u);
            EXPECT_EQ(PathFromWide(App().Profile().RecentFiles().GetHistoryFile(0).ToStdWstring()), part);

            // Again from the recent files and from a drop with an image.
            App().OnFileNew();
            App().OnOpenRecentFile(0);
            EXPECT_EQ(PathFromWide(Doc().partName), part);
            const fs::path image = folder / (stem + ".png");
            WriteGrey(image);
            Frame().OpenDroppedFiles({part, image});
            EXPECT_EQ(PathFromWide(Doc().textureImagePath), image);

            // Save STL: the picker's name gets its extension, and both
            // encodings write the file and read it back, named after it.
            const CString chosen = WithDefaultExtension(WideFromPath(folder / (stem + " out")), L"stl");
            EXPECT_EQ(PathFromWide(chosen), folder / (stem + " out.stl"));
            // The plan the export check hands over (its dialog is its own test's).
            CRidgeforgeDoc::ExportPlan plan;
            plan.mesh = Doc().workingPart;
            for (const bool ascii : {false, true}) {
                const fs::path saved = folder / (stem + (ascii ? " ascii.stl" : " binary.stl"));
                EXPECT_TRUE(Doc().ExportStl(WideFromPath(saved), ascii, plan)) << ascii;
                const mesh::StlImportResult read = mesh::LoadStlFile(saved, {true, -1, true, true, false, true});
                EXPECT_TRUE(read.ok) << read.error;
                EXPECT_EQ(read.report.trianglesRead, 12u);
            }

            // A project beside the part, and opened through the window's road.
            const fs::path project = folder / (stem + ".rgproj");
            ASSERT_TRUE(Doc().SaveProject(WideFromPath(project)));
            App().OnFileNew();
            ASSERT_TRUE(App().OpenDocumentFile(WideFromPath(project)));
            EXPECT_EQ(PathFromWide(Doc().partName), part);
            EXPECT_EQ(PathFromWide(Doc().textureImagePath), image);
            EXPECT_TRUE(App().Frame() != nullptr);
            // What people read never holds an escaped byte: U+FFFD stands for it.
            const auto shown = [](const std::wstring& text) {
                return std::none_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x100000 && c <= 0x1000FF; });
            };
            EXPECT_TRUE(shown(Frame().GetTitle().ToStdWstring())) << Frame().GetTitle();
            for (const std::wstring& line : LogLines()) EXPECT_TRUE(shown(line));
            Stop();
            fs::remove_all(Home());
        }
    }
}

// Texture > Custom > Load... of images of every name keeps them in the
// user's list (in the home folder's Documents), with their thumbnails, across
// a restart; an image that does not load is never listed.
TEST_F(AnyFileNameTest, CustomImagesLoadAndStayListed) {
    for (const char* locale : test::LocalesAbroad()) {
        const test::ScopedLocale scoped(locale);
        ASSERT_TRUE(scoped.Ok()) << locale;
        SCOPED_TRACE(locale);
        fs::create_directories(Home());
        environment_.Set("HOME", Home().string());
        const fs::path part = Home() / "part.stl";
        WriteCube(part);
        ASSERT_TRUE(Start({WideFromPath(part)}));
        std::vector<std::string> expected;
        for (const std::string& stem : test::NamesAbroad()) {
            const fs::path image = Folder(stem) / (stem + ".png");
            fs::create_directories(image.parent_path());
            WriteGrey(image);
            Texture().LoadChosenImage(Utf8FromPath(image));
            EXPECT_EQ(PathFromWide(Doc().textureImagePath), image) << stem;
            expected.insert(expected.begin(), Utf8FromPath(image));
        }
        const fs::path broken = Folder("gr\xc3\xa5") / "gr\xc3\xa5.png";
        fs::create_directories(broken.parent_path());
        test::WriteTextFile(broken, "not an image");
        Texture().LoadChosenImage(Utf8FromPath(broken));
        EXPECT_EQ(Texture().CustomImages(), expected);

        Texture().SetTab(kCustomTab);
        const std::vector<ThumbnailItem> items = Texture().CustomItems();
        ASSERT_EQ(items.size(), expected.size());
        for (const ThumbnailItem& item : items) EXPECT_GT(item.side, 0) << item.caption;
        EXPECT_EQ(items.back().caption, wxString(WideFromPath(test::NamesAbroad().front())));
        Stop();

        // The list was saved under the home folder and reads back the same.
        ASSERT_TRUE(Start());
        EXPECT_EQ(Texture().CustomImages(), expected);
        EXPECT_TRUE(fs::is_regular_file(Home() / "Documents" / "Ruvolta" / "custom" / "images.json"));
        Stop();
        fs::remove_all(Home());
    }
}

// Presets saved and loaded by the pattern dialog under names as people type
// them, in a user folder under the odd home; and a preset file whose name is
// not UTF-8 (copied in from elsewhere) is listed and loads.
TEST_F(AnyFileNameTest, PresetsOfAnyNameSaveAndLoad) {
    for (const char* locale : test::LocalesAbroad()) {
        const test::ScopedLocale scoped(locale);
        ASSERT_TRUE(scoped.Ok()) << locale;
        SCOPED_TRACE(locale);
        const std::vector<LibraryRoot> roots = {{Home() / "program", false}, {Home() / "Documents" / "Ruvolta", true}};
        fs::create_directories(Home() / "program");
        auto texture = mesh::procedural::CreateTexture("Bricks");
        ASSERT_TRUE(texture);
        auto* owner = new wxFrame(nullptr, wxID_ANY, "owner");
        auto* dialog = new CProceduralTextureDialog(owner, *texture, 2, roots);
        dialog->askYesNo = [](const wxString&, const wxString&) { return true; };
        wxString typed;
        dialog->askPresetName = [&typed](const wxString&) -> std::optional<wxString> { return typed; };
        dialog->Open();
        float rows = 2.0f;
        for (const std::string& stem : test::NamesAbroad()) {
            if (WideFromUtf8(stem) != WideFromPath(stem)) continue;  // not text a person types
            typed = wxString(WideFromUtf8(stem));
            texture->SetValue("rows", rows += 1.0f);
            dialog->OnSavePreset();
            EXPECT_EQ(dialog->Note(), "Saved \"" + typed + "\".") << stem;
            ASSERT_NE(dialog->SelectedPreset(), nullptr) << stem;
            EXPECT_EQ(dialog->SelectedPreset()->name, stem);
        }
        const std::vector<PresetItem> saved = dialog->PresetItems();
        ASSERT_FALSE(saved.empty());
        const fs::path copied = saved.front().presetPath.parent_path() / "caf\xe9.rgpreset";
        fs::copy_file(saved.front().presetPath, copied);
        dialog->FillPresetList("caf\xe9");
        const PresetItem* chosen = dialog->SelectedPreset();
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(chosen->presetPath, copied);
        texture->SetValue("rows", 1.0f);
        dialog->OnPresetChosen();
        EXPECT_NE(texture->GetValue("rows"), 1.0f);
        EXPECT_TRUE(dialog->Note().StartsWith("Loaded \"caf")) << dialog->Note();
        dialog->Destroy();
        owner->Destroy();
        PumpEvents(20);
        fs::remove_all(Home());
    }
}

// The manual in a program folder of any name goes to the desktop's opener
// as its own bytes, and the messages about it name the folder.
TEST_F(AnyFileNameTest, TheManualsOpenerAndMessagesTakeAnyFolder) {
    const fs::path bin = Scratch().Path() / "bin";
    const fs::path handed = Scratch().Path() / "handed.txt";
    fs::create_directories(bin);
    test::WriteTextFile(bin / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + handed.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    environment_.Set("PATH", bin.string());
    for (const char* locale : test::LocalesAbroad()) {
        const test::ScopedLocale scoped(locale);
        ASSERT_TRUE(scoped.Ok()) << locale;
        for (const std::string& stem : test::NamesAbroad()) {
            SCOPED_TRACE(std::string(locale) + " [" + stem + "]");
            const fs::path manual = Folder(stem) / "Ruvolta_Manual.pdf";
            fs::create_directories(manual.parent_path());
            test::WriteTextFile(manual, "%PDF-1.4\n");
            fs::remove(handed);
            EXPECT_EQ(ui::OpenWithDefaultApplication(manual, {}), ui::OpenOutcome::Opened);
            EXPECT_TRUE(PumpUntil([&] { return test::ReadTextFile(handed) == manual.string(); }, 5000));
            const CString message = ManualNotOpenedMessage(ui::OpenOutcome::NoProgramForType, manual);
            EXPECT_NE(message.find(WideFromPath(manual)), CString::npos);
        }
    }
}

}  // namespace
}  // namespace ridgeforge::testing
