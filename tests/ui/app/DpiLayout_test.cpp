// Every window at every desktop scale: the main window and each dialog are
// opened as a person opens them, at 96, 120, 144 and 192 DPI (Xft.dpi) and at
// a text scale of 1.5 (GDK_DPI_SCALE), and every label, button, check box,
// edit field, list row and status field must have the width its text needs
// in its own font. Each scale runs in a process of its own on an X server of
// its own (the toolkit reads the scale once, at start), large enough for the
// windows at 192 DPI; screenshots of every window at every scale are written
// beside the test's output, in "dpi_layout/<scale>/".
#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/toplevel.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "ui/app/AboutDialog.h"
#include "ui/commands/CommandIds.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/MaskPanel.h"
#include "ui/dialogs/PresetNameDialog.h"
#include "ui/dialogs/SeamlessDialog.h"
#include "testing/Shapes.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "tests/ui/app/ShellFixture.h"
#include "tests/support/TestImages.h"
#include "tests/support/ui/TextFit.h"

namespace ridgeforge::testing {
namespace {

constexpr const char* kChildVariable = "RIDGEFORGE_DPI_LAYOUT_CHILD";
constexpr const char* kShotsVariable = "RIDGEFORGE_DPI_LAYOUT_SHOTS";
constexpr const char* kDpiVariable = "RIDGEFORGE_DPI_LAYOUT_DPI";

struct Scale {
    const char* name;
    int xftDpi;
    const char* textScale;  // GDK_DPI_SCALE, or null
    unsigned dpi;           // what the layout must use
};

std::filesystem::path OutputFolder() {
    const char* tmp = std::getenv("RIDGEFORGE_TEST_TMP");
    const std::filesystem::path base = tmp != nullptr ? std::filesystem::path(tmp).parent_path() : ".";
    return std::filesystem::absolute(base / "dpi_layout");
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// Runs this program's child test at the scale on an X server of its own;
// returns its exit status and leaves its output in `log`.
int RunAtScale(const Scale& scale, std::string& log) {
    const std::filesystem::path folder = OutputFolder() / scale.name;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "xresources") << "Xft.dpi: " << scale.xftDpi << "\n";
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    std::ostringstream script;
    script << "cd " << Quoted(folder) << " || exit 90\n"
           << "Xvfb -displayfd 3 -screen 0 2600x1800x24 -nolisten tcp 3>display 2>/dev/null &\n"
           << "server=$!\n"
           << "for i in $(seq 200); do [ -s display ] && break; sleep 0.05; done\n"
           << "[ -s display ] || { kill $server; exit 91; }\n"
           // Ended well before the test's own time limit, so that neither
           // it nor its X server outlives the test.
           << "timeout -k 10 420 env -u GDK_SCALE -u GDK_DPI_SCALE DISPLAY=:$(cat display) XENVIRONMENT=\"$PWD/xresources\" "
           << (scale.textScale != nullptr ? std::string("GDK_DPI_SCALE=") + scale.textScale + " " : std::string())
           << kChildVariable << "=1 " << kShotsVariable << "=\"$PWD\" " << kDpiVariable << "=" << scale.dpi << " "
           << Quoted(self) << " --gtest_filter='DpiLayoutChild.*' >log.txt 2>&1\n"
           << "status=$?\n"
           << "kill $server\n"
           << "exit $status\n";
    std::ofstream(folder / "run.sh") << script.str();
    const int status = std::system(("bash " + Quoted(folder / "run.sh")).c_str());
    std::ifstream in(folder / "log.txt");
    log.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExpectFitsAtScale(const Scale& scale) {
    std::string log;
    const int status = RunAtScale(scale, log);
    EXPECT_EQ(status, 0) << "at " << scale.name << ":\n" << log;
    EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << "the child's test did not run and pass";
}

// A modal dialog that a command is about to open: `inspect` runs inside its
// modal loop once it is on screen, then it is cancelled.
void InspectNextModal(const std::function<void(wxDialog&)>& inspect, bool& seen) {
    wxTheApp->CallAfter([inspect, &seen] {
        wxDialog* open = nullptr;
        PumpUntil([&] {
            for (wxWindow* window : wxTopLevelWindows) {
                auto* dialog = dynamic_cast<wxDialog*>(window);
                if (dialog != nullptr && dialog->IsModal() && dialog->IsShownOnScreen()) open = dialog;
            }
            return open != nullptr;
        });
        if (open == nullptr) return;
        seen = true;
        PumpEvents(300);
        inspect(*open);
        if (open->IsModal()) open->EndModal(wxID_CANCEL);
    });
}

class DpiLayoutChild : public ShellTest {
protected:
    DpiLayoutChild() {
        programDocument_ = true;
        keepStartPlace_ = true;
    }

    static bool Active() { return std::getenv(kChildVariable) != nullptr; }

    CRidgeforgeDoc& Doc() { return *App().Document()->RidgeforgeDoc(); }

    // Texts that do not fit, and a screenshot named `name`.
    void Check(wxWindow& window, const std::string& name, const std::vector<const wxWindow*>& ellipsisAllowed = {}) {
        PumpEvents(100);
        const std::vector<TextShortfall> short_ = FindShortTexts(window, ellipsisAllowed);
        EXPECT_TRUE(short_.empty()) << name << ":\n" << Describe(short_);
        const wxImage shot = GrabWindow(window);
        if (shot.IsOk()) shot.SaveFile(wxString::FromUTF8((shots_ / (name + ".png")).string()), wxBITMAP_TYPE_PNG);
        ++checked_;
    }

    void CheckCommand(CommandId command, const std::string& name) {
        bool seen = false;
        InspectNextModal([&](wxDialog& dialog) { Check(dialog, name); }, seen);
        ui::SendCommand(&Frame(), command);
        EXPECT_TRUE(seen) << name << " did not open";
    }

    template <class Dialog>
    void CheckModal(Dialog& dialog, const std::string& name) {
        bool seen = false;
        InspectNextModal([&](wxDialog& open) { Check(open, name); }, seen);
        dialog.ShowModal();
        EXPECT_TRUE(seen) << name << " did not open";
    }

    std::filesystem::path shots_ = std::getenv(kShotsVariable) != nullptr ? std::getenv(kShotsVariable) : ".";
    int checked_ = 0;
};

TEST_F(DpiLayoutChild, EveryWindowHoldsItsTexts) {
    if (!Active()) GTEST_SKIP() << "runs inside the DpiLayout tests";
    const unsigned dpi = static_cast<unsigned>(std::atoi(std::getenv(kDpiVariable)));
    ASSERT_TRUE(Start());
    EXPECT_EQ(ui::WindowDpi(&Frame()), dpi);
    EXPECT_EQ(Frame().Dpi(), dpi);

    // A part with an image texture, so that the levels and the seamless
    // preview have something to show.
    Doc().OnTestCube();
    const std::filesystem::path image = Scratch().Path() / "ramp.png";
    std::vector<std::uint16_t> samples;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) samples.push_back(static_cast<std::uint16_t>((x * 4 + y) % 256));
    ASSERT_TRUE(test::WritePng(image, 64, 64, 1, 8, samples));
    ASSERT_TRUE(Doc().LoadHeightMap(image.wstring()));
    PumpEvents(800);

    // The panes at their design sizes at this DPI.
    EXPECT_EQ(Frame().LeftPane().GetSize().x, ui::ScaleDip(340, dpi));
    EXPECT_EQ(Frame().OutputPane().GetSize().y, ui::ScaleDip(130, dpi));
    EXPECT_EQ(Frame().RightPane().GetSize().x, ui::ScaleDip(240, dpi));
    Check(Frame(), "main window");

    CheckCommand(ID_MAPPING_SETTINGS, "mapping settings");
    CheckCommand(ID_TEXTURE_SETTINGS, "texture settings");
    CheckCommand(ID_RELIEF_SETTINGS, "relief settings");
    CheckCommand(ID_SIMPLIFY_SETTINGS, "simplify settings");
    CheckCommand(ID_MESH_REMESH_INPUT, "remesh input");
    // Every seamless method, since each reports on its own line.
    bool seamlessSeen = false;
    InspectNextModal(
        [&](wxDialog& dialog) {
            auto* methods = static_cast<wxChoice*>(dialog.FindWindow(CSeamlessDialog::kMethodList));
            ASSERT_NE(methods, nullptr);
            for (unsigned index = 0; index < methods->GetCount(); ++index) {
                methods->SetSelection(static_cast<int>(index));
                wxCommandEvent chosen(wxEVT_CHOICE, CSeamlessDialog::kMethodList);
                chosen.SetEventObject(methods);
                chosen.SetInt(static_cast<int>(index));
                methods->GetEventHandler()->ProcessEvent(chosen);
                Check(dialog, "seamless " + std::string(methods->GetString(index).utf8_str()));
            }
        },
        seamlessSeen);
    ui::SendCommand(&Frame(), ID_TEXTURE_SEAMLESS);
    EXPECT_TRUE(seamlessSeen);
    // Every procedural texture, since each has rows of its own.
    for (CommandId pattern = ID_PROCEDURAL_PATTERN_FIRST; pattern <= ID_PROCEDURAL_PATTERN_LAST; ++pattern)
        CheckCommand(pattern, "procedural texture " + std::to_string(pattern - ID_PROCEDURAL_PATTERN_FIRST + 1));
    CheckCommand(ID_APP_ABOUT, "about");

    CPresetNameDialog presetName(&Frame());
    presetName.name = L"Fine bricks for the lid";
    CheckModal(presetName, "preset name");

    const mesh::TriangleMesh cube = test::MakeBox({0, 0, 0}, {20, 20, 20});
    CExportDialog exportCheck(&Frame());
    exportCheck.meshToWrite = &cube;
    exportCheck.note = L"The part has not been processed with the current settings (Needs: relief). The part as "
                       L"shown is what will be saved.";
    bool exportSeen = false;
    InspectNextModal(
        [&](wxDialog& open) {
            PumpUntil([&] { return !exportCheck.Busy(); }, 20000);
            // The summary line ends in an ellipsis when it is too long.
            Check(open, "export check", {open.FindWindow(CExportDialog::kSummaryId)});
        },
        exportSeen);
    exportCheck.ShowModal();
    EXPECT_TRUE(exportSeen);

    ui::SendCommand(&Frame(), ID_MASK_ADD_BOX);
    ui::SendCommand(&Frame(), ID_MASK_EDIT);
    PumpEvents(300);
    CMaskPanel* panel = nullptr;
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* each = dynamic_cast<CMaskPanel*>(window); each != nullptr && each->IsShown()) panel = each;
    ASSERT_NE(panel, nullptr);
    Check(*panel, "mask panel");
    EXPECT_GE(checked_, 12 + 24 + 2);
}

const Scale kScales[] = {
    {"96", 96, nullptr, 96}, {"120", 120, nullptr, 120}, {"144", 144, nullptr, 144},
    {"192", 192, nullptr, 192}, {"text_1.5", 96, "1.5", 144},
};

TEST(DpiLayout, At96Dpi) { ExpectFitsAtScale(kScales[0]); }
TEST(DpiLayout, At120Dpi) { ExpectFitsAtScale(kScales[1]); }
TEST(DpiLayout, At144Dpi) { ExpectFitsAtScale(kScales[2]); }
TEST(DpiLayout, At192Dpi) { ExpectFitsAtScale(kScales[3]); }
TEST(DpiLayout, AtTextScale1_5) { ExpectFitsAtScale(kScales[4]); }

}  // namespace
}  // namespace ridgeforge::testing
