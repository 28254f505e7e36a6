#include "ui/app/MainFrame.h"

#include <gtest/gtest.h>
#include <wx/menu.h>
#include <wx/statusbr.h>

#include <fstream>

#include "ui/commands/CommandIds.h"
#include "textures/procedural/TextureRegistry.h"
#include "ui/framework/CaptionedPane.h"
#include "ui/framework/FileDrop.h"
#include "ui/framework/ProgressGauge.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

bool IsBorder(const wxImage& image, int x, int y) {
    return image.GetRed(x, y) == 210 && image.GetGreen(x, y) == 215 && image.GetBlue(x, y) == 222;
}

// The columns (or rows) of a screenshot that show the pane border.
std::vector<int> BorderColumns(const wxImage& image, int y) {
    std::vector<int> columns;
    for (int x = 0; x < image.GetWidth(); ++x)
        if (IsBorder(image, x, y)) columns.push_back(x);
    return columns;
}

class MainFrameTest : public ShellTest {};

// The panes keep their design sizes: on screen the left pane's border is its
// 340th column, the right pane's border starts its last 240 columns, the
// log's border starts its last 130 rows; the status fields are 170, 130 and
// 150 px. At 144 DPI: 510, 360, 195 and 255, 195, 225.
TEST_F(MainFrameTest, PanesAndStatusFieldsKeepDesignSizesAtEachDpi) {
    ASSERT_TRUE(Start());
    for (const unsigned dpi : {96u, 144u}) {
        Frame().SetDpi(dpi);
        PumpEvents(400);
        const wxImage shot = GrabWindow(Frame());
        ASSERT_TRUE(shot.IsOk());
        const int width = shot.GetWidth();
        const int height = shot.GetHeight();
        const int left = dpi == 96 ? 340 : 510;
        const int right = dpi == 96 ? 240 : 360;
        const int log = dpi == 96 ? 130 : 195;

        // A row through the middle of the view: the two side borders (the
        // workflow column's own frames inside the left pane left aside).
        std::vector<int> columns = BorderColumns(shot, (height - log) / 2);
        std::erase_if(columns, [left](int x) { return x < left - 1; });
        ASSERT_EQ(columns.size(), 2u) << "dpi " << dpi;
        EXPECT_EQ(columns[0], left - 1);
        EXPECT_EQ(columns[1], width - right);
        // A column through the view: the log's top border.
        int borderRow = -1;
        for (int y = 0; y < height; ++y)
            if (IsBorder(shot, left + 20, y)) borderRow = y;
        EXPECT_EQ(borderRow, height - log);
        EXPECT_EQ(Frame().LeftPane().GetSize().x, left);
        EXPECT_EQ(Frame().RightPane().GetSize().x, right);
        EXPECT_EQ(Frame().OutputPane().GetSize().y, log);

        wxStatusBar* status = Frame().GetStatusBar();
        ASSERT_NE(status, nullptr);
        // A field's width is the distance from its start to the next one's
        // (each rectangle is drawn 2 px in from its field's edges).
        wxRect progress, tool, frameTime, caps;
        ASSERT_TRUE(status->GetFieldRect(kStatusProgress, progress));
        ASSERT_TRUE(status->GetFieldRect(kStatusTool, tool));
        ASSERT_TRUE(status->GetFieldRect(kStatusFrame, frameTime));
        ASSERT_TRUE(status->GetFieldRect(kStatusCaps, caps));
        EXPECT_EQ(tool.x - progress.x, dpi == 96 ? 170 : 255);
        EXPECT_EQ(frameTime.x - tool.x, dpi == 96 ? 130 : 195);
        EXPECT_EQ(caps.x - frameTime.x, dpi == 96 ? 150 : 225);
        EXPECT_EQ(progress.width, (dpi == 96 ? 170 : 255) - 4);
        // The progress bar fills its field's rectangle.
        EXPECT_EQ(Frame().Gauge()->GetRect(), progress);
    }
    // The captions read as the panes are named.
    EXPECT_EQ(Frame().LeftPane().Caption(), "Workflow");
    EXPECT_EQ(Frame().OutputPane().Caption(), "Output");
    EXPECT_EQ(Frame().RightPane().Caption(), "Information");
    EXPECT_TRUE(Logged(L"Ruvolta ready."));
}

// Stage text, percentage, draft mark and the cancel hint; the position in
// thousandths; a marquee without a fraction; nothing set when nothing changed.
TEST_F(MainFrameTest, JobProgressShowsStagePercentAndMarquee) {
    ASSERT_TRUE(Start());
    wxStatusBar* status = Frame().GetStatusBar();
    // The idle passes show what the document's pipeline reports; it reports
    // the same job as the direct calls below.
    Document().running = true;
    mesh::PipelineStatus& job = Document().status;
    job.running = true;
    job.progressText = "Remesh";
    job.fraction = 0.4567f;
    job.hasFraction = true;
    job.quality = mesh::PipelineQuality::Preview;
    Frame().ShowJobProgress(job);
    EXPECT_EQ(status->GetStatusText(kStatusMessage), "Remesh... 46%  (draft)   -  Mesh > Stop, or Escape, to cancel");
    EXPECT_EQ(Frame().Gauge()->GetValue(), 457);
    EXPECT_TRUE(Frame().Gauge()->IsShown());
    EXPECT_FALSE(Frame().Gauge()->IsMarquee());

    const long updates = Frame().StatusUpdates();
    Frame().ShowJobProgress(job);
    EXPECT_EQ(Frame().StatusUpdates(), updates);

    job.fraction = 0.9996f;  // rounds to the end of the range
    job.quality = mesh::PipelineQuality::Full;
    Frame().ShowJobProgress(job);
    EXPECT_EQ(Frame().Gauge()->GetValue(), 1000);
    EXPECT_EQ(status->GetStatusText(kStatusMessage), "Remesh... 100%   -  Mesh > Stop, or Escape, to cancel");

    job.hasFraction = false;
    Frame().ShowJobProgress(job);
    EXPECT_EQ(status->GetStatusText(kStatusMessage), "Remesh...   -  Mesh > Stop, or Escape, to cancel");
    EXPECT_TRUE(Frame().Gauge()->IsMarquee());
    const long pulses = Frame().Gauge()->PulseCount();
    PumpEvents(200);
    EXPECT_GE(Frame().Gauge()->PulseCount(), pulses + 3);  // every 30 ms

    job.progressText.clear();  // no stage text: no fraction either
    job.hasFraction = true;
    Frame().ShowJobProgress(job);
    EXPECT_EQ(status->GetStatusText(kStatusMessage), "Working...   -  Mesh > Stop, or Escape, to cancel");
    EXPECT_TRUE(Frame().Gauge()->IsMarquee());

    Frame().HideJobProgress();
    EXPECT_EQ(status->GetStatusText(kStatusMessage), "");
    EXPECT_FALSE(Frame().Gauge()->IsShown());
    EXPECT_FALSE(Frame().Gauge()->IsMarquee());
}

// The idle pass polls the pipeline: a run shows its progress, its end hides
// it again.
TEST_F(MainFrameTest, IdlePassesFollowTheRun) {
    ASSERT_TRUE(Start());
    Document().running = true;
    Document().status.running = true;
    Document().status.progressText = "Displacement";
    Document().status.fraction = 0.25f;
    Document().status.hasFraction = true;
    ASSERT_TRUE(PumpUntil([&] { return Frame().Gauge()->IsShown(); }, 2000));
    EXPECT_EQ(Frame().JobText(), "Displacement... 25%   -  Mesh > Stop, or Escape, to cancel");
    EXPECT_EQ(Frame().Gauge()->GetValue(), 250);
    const long polls = Document().polls;
    PumpEvents(100);
    EXPECT_GT(Document().polls, polls + 5);  // polled continuously while it runs
    Document().finishDue = true;
    ASSERT_TRUE(PumpUntil([&] { return !Frame().Gauge()->IsShown(); }, 2000));
    EXPECT_EQ(Frame().JobText(), "");
}

// A drop opens the first part, then loads the first image as its texture,
// and names what it left alone.
TEST_F(MainFrameTest, DropOpensPartThenTextureAndNamesTheRest) {
    const auto part = Scratch().Path() / "a.STL";
    std::ofstream(part) << "solid a\nendsolid a\n";
    const auto second = Scratch().Path() / "b.stl";
    std::ofstream(second) << "solid b\nendsolid b\n";
    ASSERT_TRUE(Start());
    std::vector<CString> order;
    Document().onOpen = [&](const CString& path) { order.push_back(L"open " + path); };
    ASSERT_TRUE(ui::SimulateFileDrop(Frame().ViewArea(), {part, second, Scratch().Path() / "t.PNG",
                                                          Scratch().Path() / "u.png", "/x/notes.txt", "/x/y.docx"}));
    ASSERT_EQ(Document().opened.size(), 1u);
    EXPECT_EQ(Document().opened[0], part.wstring());
    ASSERT_EQ(Document().textures.size(), 1u);
    EXPECT_EQ(Document().textures[0], (Scratch().Path() / "t.PNG").wstring());
    const std::wstring warning = L"Not a part, a project or an image, so left alone: notes.txt, y.docx";
    EXPECT_EQ(LogLines().back(), warning);
    EXPECT_EQ(Frame().Information().Message(), warning);
    EXPECT_EQ(Frame().Information().MessageKind(), InfoKind::Caution);
    EXPECT_EQ(Frame().GetTitle(), "a.STL - Ruvolta");

    // Every pane takes drops, and a project counts as a document.
    EXPECT_TRUE(ui::SimulateFileDrop(Frame().LeftPane(), {Scratch().Path() / "p.RGPROJ"}));
    EXPECT_EQ(Document().opened.back(), (Scratch().Path() / "p.RGPROJ").wstring());
    EXPECT_TRUE(ui::SimulateFileDrop(*Frame().OutputPane().Content(), {"/x/readme.md"}));
    EXPECT_EQ(LogLines().back(), L"Not a part, a project or an image, so left alone: readme.md");
}

// The menu tree: the eight menus, the 25 patterns on their own ids in the
// registry's order with "Leather" last, 32881 kept for the pattern settings.
TEST_F(MainFrameTest, MenusCarryEveryPatternOnItsOwnId) {
    ASSERT_TRUE(Start());
    wxMenuBar* bar = Frame().GetMenuBar();
    ASSERT_NE(bar, nullptr);
    const std::vector<wxString> titles{"File", "Edit", "View", "Mesh", "Texture", "Mapping", "Masks", "Help"};
    ASSERT_EQ(bar->GetMenuCount(), titles.size());
    for (std::size_t index = 0; index < titles.size(); ++index) EXPECT_EQ(bar->GetMenuLabelText(index), titles[index]);

    const std::vector<std::string> names = mesh::procedural::TextureNames();
    ASSERT_EQ(names.size(), 25u);
    wxMenu* patternsMenu = nullptr;
    for (std::size_t index = 0; index < names.size(); ++index) {
        wxMenu* owner = nullptr;
        wxMenuItem* item =
            bar->FindItem(ui::WxIdOf(ID_PROCEDURAL_PATTERN_FIRST + static_cast<CommandId>(index)), &owner);
        ASSERT_NE(item, nullptr) << names[index];
        EXPECT_EQ(item->GetItemLabelText(), wxString::FromUTF8(names[index].c_str()) + "...");
        if (patternsMenu == nullptr) patternsMenu = owner;
        EXPECT_EQ(owner, patternsMenu);
    }
    EXPECT_EQ(bar->FindItem(ui::WxIdOf(ID_PROCEDURAL_PATTERN_LAST))->GetItemLabelText(), "Leather...");
    ASSERT_NE(patternsMenu, nullptr);
    EXPECT_EQ(patternsMenu->GetMenuItemCount(), 25u);
    wxMenu* settingsOwner = nullptr;
    ASSERT_NE(bar->FindItem(ui::WxIdOf(ID_PROCEDURAL_SETTINGS), &settingsOwner), nullptr);
    EXPECT_NE(settingsOwner, patternsMenu);

    // Items the prose names, where it places them.
    for (const auto& [id, text] : std::vector<std::pair<CommandId, wxString>>{{ID_FILE_OPEN, "Open STL..."},
                                                                              {ID_DETAILED_LOG, "Detailed Log"},
                                                                              {ID_USER_MANUAL, "User Manual"},
                                                                              {ID_APP_ABOUT, "About Ruvolta..."},
                                                                              {ID_RELOAD_TEXTURES, "Reload Textures"},
                                                                              {ID_STOP_PROCESSING, "Stop Processing"},
                                                                              {ID_RELIEF_SETTINGS, "Relief..."},
                                                                              {ID_APP_EXIT, "Exit"}}) {
        wxMenuItem* item = bar->FindItem(ui::WxIdOf(id));
        ASSERT_NE(item, nullptr) << text;
        EXPECT_EQ(item->GetItemLabelText(), text);
    }
    wxMenu* mesh = bar->GetMenu(static_cast<size_t>(bar->FindMenu("Mesh")));
    EXPECT_NE(mesh->FindItem(ui::WxIdOf(ID_STOP_PROCESSING)), nullptr);

    // Opening a menu asks the route for each item's state: a command no
    // table knows is greyed, a ticked one is ticked.
    mesh->UpdateUI(&Frame());
    EXPECT_FALSE(mesh->IsEnabled(ui::WxIdOf(ID_STOP_PROCESSING)));
    wxMenu* view = bar->GetMenu(static_cast<size_t>(bar->FindMenu("View")));
    view->UpdateUI(&Frame());
    EXPECT_FALSE(view->IsChecked(ui::WxIdOf(ID_DETAILED_LOG)));
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_DETAILED_LOG));
    view->UpdateUI(&Frame());
    EXPECT_TRUE(view->IsChecked(ui::WxIdOf(ID_DETAILED_LOG)));
    EXPECT_TRUE(view->IsEnabled(ui::WxIdOf(ID_DETAILED_LOG)));
}

}  // namespace
}  // namespace ridgeforge::testing
