// The log and the Information pane inside the running program: what the
// document's host calls reach, the Output pane's caption strip, and focus.
#include <gtest/gtest.h>
#include <wx/textctrl.h>

#include "ui/app/OutputWnd.h"
#include "ui/app/RightPane.h"
#include "ui/commands/CommandIds.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/Commands.h"
#include "ui/framework/CaptionedPane.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

class ShellPanesTest : public ShellTest {};

TEST_F(ShellPanesTest, DocumentHostReachesTheLogAndTheInformationPane) {
    ASSERT_TRUE(Start());
    const std::vector<std::wstring> first = LogLines();
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(first[0], L"Output log ready.");
    EXPECT_EQ(first[1], L"Ruvolta ready.");

    DocumentHost& host = *Document().Host();
    auto* output = dynamic_cast<COutputWnd*>(Frame().OutputPane().Content());
    ASSERT_NE(output, nullptr);
    const std::size_t before = output->LineCount();
    std::wstring batch;
    for (int i = 0; i < 20000; ++i) batch += L"line " + std::to_wstring(i) + (i + 1 < 20000 ? L"\n" : L"");
    host.AddLogLine(batch, LogKind::Plain);
    EXPECT_EQ(output->LineCount(), 20000u);
    EXPECT_EQ(Frame().OutputPane().Caption(), wxString::Format("Output (%zu older lines discarded)", before));

    // The document empties the log before Process and Validate; the count stays.
    host.ClearLog();
    EXPECT_EQ(output->LineCount(), 0u);
    EXPECT_EQ(Frame().OutputPane().Caption(), wxString::Format("Output (%zu older lines discarded)", before));

    // After an input-mesh command the pane comes forward with the focus in the list.
    host.ShowOutputPane();
    EXPECT_TRUE(PumpUntil([output] { return wxWindow::FindFocus() == &output->List(); }, 2000));

    host.ShowInformation(L"Repaired: 3 holes filled.", InfoKind::Good);
    auto* information = dynamic_cast<CRightPaneDialog*>(Frame().RightPane().Content());
    ASSERT_NE(information, nullptr);
    EXPECT_EQ(information->Message(), L"Repaired: 3 holes filled.");
    PumpEvents(200);
    const wxImage shot = GrabWindow(*information->MessageControl());
    ASSERT_TRUE(shot.IsOk());
    EXPECT_EQ(shot.GetRed(shot.GetWidth() - 3, 3), 226);
    EXPECT_EQ(shot.GetGreen(shot.GetWidth() - 3, 3), 244);
    EXPECT_EQ(shot.GetBlue(shot.GetWidth() - 3, 3), 224);
}

class InformationOutcomeTest : public ShellTest {
protected:
    InformationOutcomeTest() { programDocument_ = true; }
    CRidgeforgeDoc& Doc() { return *App().Document()->RidgeforgeDoc(); }
    int RefusalLines() {
        int count = 0;
        for (const std::wstring& line : LogLines()) count += line.rfind(L"Refused: ", 0) == 0 ? 1 : 0;
        return count;
    }
    bool RunProcess() {
        if (!ui::SendCommand(&Frame(), ID_PROCESS)) return false;
        return PumpUntil([this] { return !Doc().pipeline.IsRunning() && !Doc().processRequested; }, 60000);
    }
};

// A refused run shows its reason in red below the part's information. Once
// the settings are mended, Validate reports no refusal of its own, and the
// next Process that succeeds takes the red text away.
TEST_F(InformationOutcomeTest, ARefusalStaysOnlyUntilAProcessSucceeds) {
    ASSERT_TRUE(Start());
    auto* information = dynamic_cast<CRightPaneDialog*>(Frame().RightPane().Content());
    ASSERT_NE(information, nullptr);
    Doc().OnTestCube();
    Doc().displacementEnabled = false;
    Doc().simplifyEnabled = false;
    Doc().maximumTriangles = 1000;
    Doc().OnSettingsChanged();
    ASSERT_TRUE(RunProcess());
    PumpEvents(100);
    EXPECT_EQ(RefusalLines(), 1);
    EXPECT_EQ(information->Message().rfind(L"About ", 0), 0u);
    ASSERT_TRUE(information->MessageControl()->IsShown());
    const wxImage red = GrabWindow(*information->MessageControl());
    ASSERT_TRUE(red.IsOk());
    EXPECT_EQ(red.GetRed(red.GetWidth() - 3, 3), 253);
    EXPECT_EQ(red.GetGreen(red.GetWidth() - 3, 3), 226);

    Doc().maximumTriangles = 18'000'000;
    Doc().remeshSettings.targetEdgeMillimetres = 2.0f;
    Doc().OnSettingsChanged();
    ASSERT_TRUE(ui::SendCommand(&Frame(), ID_MESH_VALIDATE));
    PumpEvents(50);
    EXPECT_EQ(RefusalLines(), 0);

    ASSERT_TRUE(RunProcess());
    PumpEvents(100);
    EXPECT_EQ(RefusalLines(), 0);
    EXPECT_TRUE(information->Message().empty());
    EXPECT_FALSE(information->MessageControl()->IsShown());
    // The part's information takes the whole pane again.
    EXPECT_GT(information->InformationControl()->GetSize().y, information->GetClientSize().y - 16);
}

}  // namespace
}  // namespace ridgeforge::testing
