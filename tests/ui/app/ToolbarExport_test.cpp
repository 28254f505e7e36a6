// The toolbar's Export STL button on the program's own document: greyed out
// without a part, and with one it opens the same export check as
// File > Save STL.
#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "ui/app/AppToolbar.h"
#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/app/ShellDocument.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/commands/CommandIds.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/App.h"
#include "ui/framework/Commands.h"
#include "tests/document/FakeHost.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace ridgeforge::testing {
namespace {

// What the export check was given each time it opened.
struct ExportCall {
    const mesh::TriangleMesh* mesh = nullptr;
    float weldTolerance = 0.0f;
    std::uint64_t bodyCount = 0;
    CString warning;
};

class ExportHost : public test::FakeHost {
public:
    bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult&) override {
        calls.push_back({request.mesh, request.weldTolerance, request.bodyCount, request.warning});
        return false;  // cancelled: no file is asked for
    }
    std::vector<ExportCall> calls;
};

class HostedDocument : public ShellDocument {
public:
    explicit HostedDocument(ExportHost& host) : document_(&host) { host.document = &document_; }
    DocumentBase& Base() override { return document_; }
    bool PollPipeline() override { return document_.PollPipeline(); }
    bool PipelineRunning() const override { return document_.pipeline.IsRunning(); }
    mesh::PipelineStatus PipelineStatus() const override { return document_.pipeline.GetStatus(); }
    bool LoadHeightMap(const CString& path) override { return document_.LoadHeightMap(path); }
    CRidgeforgeDoc* RidgeforgeDoc() override { return &document_; }

private:
    CRidgeforgeDoc document_;
};

class ToolbarExportTest : public ::testing::Test {
protected:
    ToolbarExportTest() : scratch_("toolbar-export") {
        environment_.Set("XDG_CONFIG_HOME", (scratch_.Path() / "config").string());
        environment_.Set("HOME", (scratch_.Path() / "home").string());
        environment_.Unset("XDG_DOCUMENTS_DIR");
        std::filesystem::create_directories(scratch_.Path() / "home");
        std::filesystem::create_directories(scratch_.Path() / "program");
    }
    ~ToolbarExportTest() override {
        if (!app_) return;
        if (app_->Frame() != nullptr) {
            app_->Frame()->Destroy();
            PumpEvents(50);
        }
        app_->ExitInstance();
        idle_.reset();
        app_.reset();
        PumpEvents(20);
    }

    bool Start() {
        CRidgeforgeApp::Options options;
        options.arguments = {L"ridgeforge"};
        options.programFolder = scratch_.Path() / "program";
        options.makeDocument = [this](DocumentHost&) { return std::make_unique<HostedDocument>(host_); };
        app_ = std::make_unique<CRidgeforgeApp>(std::move(options));
        idle_ = std::make_unique<ui::IdleDriver>(*app_);
        if (!app_->InitInstance() || app_->Frame() == nullptr) return false;
        app_->Frame()->SetSize(wxRect(0, 0, 1280, 800));
        wxUIActionSimulator().MouseMove(1270, 790);
        PumpEvents(300);
        return true;
    }

    CMainFrame& Frame() { return *app_->Frame(); }
    CToolbarHostWnd& Strip() { return *Frame().ToolbarPane().Strip(); }
    const ToolbarButtonState& ExportButton() {
        for (const auto& entry : Strip().Entries())
            if (entry.button.commandId == ID_FILE_SAVE_AS) return entry;
        throw std::logic_error("no Export STL button");
    }

    test::ScopedEnvironment environment_;
    test::TempDir scratch_;
    ExportHost host_;
    std::unique_ptr<CRidgeforgeApp> app_;
    std::unique_ptr<ui::IdleDriver> idle_;
};

TEST_F(ToolbarExportTest, GreyedWithoutAPartThenTheSameExportCheckAsSaveStl) {
    ASSERT_TRUE(Start());
    // A solid test icon, so that the tint can be seen.
    const auto icons = scratch_.Path() / "icons";
    std::filesystem::create_directories(icons);
    wxImage icon(32, 32);
    icon.SetRGB(wxRect(0, 0, 32, 32), 200, 40, 10);
    ASSERT_TRUE(icon.SaveFile((icons / "proj_save.png").string(), wxBITMAP_TYPE_PNG));
    Strip().SetIconFolder(wxString::FromUTF8(icons.string()), false);
    PumpEvents(150);

    // No part: disabled, face colour without a frame, the icon grey
    // (3 * L + 150) >> 2 with L = (29 * 10 + 150 * 40 + 77 * 200) >> 8 = 84,
    // at alpha 115 over the face.
    EXPECT_FALSE(ExportButton().enabled);
    const wxRect rect = ExportButton().rect;
    wxImage shot = GrabWindow(Strip());
    const auto& face = Strip().GetColours().face;
    EXPECT_EQ(
        wxColour(shot.GetRed(rect.x, rect.y + 3), shot.GetGreen(rect.x, rect.y + 3), shot.GetBlue(rect.x, rect.y + 3)),
        face);
    const int grey = (3 * 84 + 150) >> 2;
    const int blended = (grey * 115 + 248 * (255 - 115) + 127) / 255;
    const wxPoint centre(rect.x + rect.width / 2, rect.y + rect.height / 2);
    EXPECT_NEAR(shot.GetRed(centre.x, centre.y), blended, 2);
    EXPECT_NEAR(shot.GetGreen(centre.x, centre.y), blended, 2);
    EXPECT_NEAR(shot.GetBlue(centre.x, centre.y), blended, 2);
    // Clicking it does nothing.
    wxUIActionSimulator mouse;
    mouse.MouseMove(Strip().ClientToScreen(centre));
    PumpEvents(60);
    mouse.MouseClick();
    PumpEvents(100);
    EXPECT_TRUE(host_.calls.empty());

    // With a part: enabled, the icon in its own colours, and a click opens
    // the export check on the same mesh and settings as File > Save STL.
    ui::SendCommand(&Frame(), ID_TEST_CUBE);
    ASSERT_TRUE(PumpUntil([&] { return ExportButton().enabled; }, 2000));
    PumpEvents(600);  // past the double-click time
    shot = GrabWindow(Strip());
    EXPECT_NEAR(shot.GetRed(centre.x, centre.y), 200, 2);
    EXPECT_NEAR(shot.GetBlue(centre.x, centre.y), 10, 2);
    mouse.MouseClick();
    PumpEvents(100);
    ASSERT_EQ(host_.calls.size(), 1u);
    EXPECT_TRUE(host_.saveRequests.empty());
    ui::SendCommand(&Frame(), ID_FILE_SAVE_STL);
    ASSERT_EQ(host_.calls.size(), 2u);
    EXPECT_NE(host_.calls[0].mesh, nullptr);
    EXPECT_EQ(host_.calls[0].mesh, host_.calls[1].mesh);
    EXPECT_EQ(host_.calls[0].weldTolerance, host_.calls[1].weldTolerance);
    EXPECT_EQ(host_.calls[0].bodyCount, 1u);
    EXPECT_EQ(host_.calls[0].bodyCount, host_.calls[1].bodyCount);
    EXPECT_EQ(host_.calls[0].warning, host_.calls[1].warning);
    mouse.MouseMove(1270, 790);
    PumpEvents(50);
}

}  // namespace
}  // namespace ridgeforge::testing
