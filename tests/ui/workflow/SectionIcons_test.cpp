// The committed icons in the workflow headers on screen: each section's own
// icon and the settings gear, drawn from the icon folder beside the program
// rather than as the grey placeholder of a missing file.
#include <wx/frame.h>

#include <filesystem>
#include <memory>

#include "platform/KnownFolders.h"
#include "tests/ui/workflow/FlowFixture.h"
#include "ui/workflow/FlowWnd.h"

namespace ridgeforge::testing {
namespace {

namespace fs = std::filesystem;

// How many pixels of `rect` are close to `colour` (each channel within 24).
int CountNear(const wxImage& image, const wxRect& rect, const wxColour& colour) {
    int count = 0;
    for (int y = rect.y; y <= rect.GetBottom(); ++y)
        for (int x = rect.x; x <= rect.GetRight(); ++x) {
            const wxColour c = PixelAt(image, x, y);
            count += std::abs(c.Red() - colour.Red()) < 24 && std::abs(c.Green() - colour.Green()) < 24 &&
                     std::abs(c.Blue() - colour.Blue()) < 24;
        }
    return count;
}

class SectionIconsTest : public FlowTest {
protected:
    // The icons must be in place before anything asks for them: a key that
    // was missing once stays missing for the run.
    SectionIconsTest() {
        fs::create_directories(folder_);
        for (const char* key : kKeys) {
            const fs::path to = folder_ / (std::string(key) + ".png");
            if (!fs::exists(to)) {
                fs::copy_file(fs::path(RIDGEFORGE_RESOURCES_DIR) / (std::string(key) + ".png"), to);
                copied_.push_back(to);
            }
        }
    }
    ~SectionIconsTest() override {
        if (frame_ != nullptr) frame_->Destroy();
        PumpEvents(30);
        for (const fs::path& file : copied_) fs::remove(file);
    }

    static constexpr const char* kKeys[] = {"flow_mapping", "flow_texture", "flow_displacement", "flow_simplify",
                                            "settings"};
    fs::path folder_ = platform::ExecutableFolder() / "resources";
    std::vector<fs::path> copied_;
    RecordingFrame* frame_ = nullptr;
};

TEST_F(SectionIconsTest, HeadersDrawTheirStepIconAndTheSettingsGear) {
    frame_ = new RecordingFrame();
    frame_->SetClientSize(360, 760);
    auto profile = MakeProfile();
    auto* flow = new CFlowWnd();
    ASSERT_TRUE(flow->Create(frame_, 1, profile.get()));
    flow->SetSize(frame_->GetClientSize());
    flow->SetCollapsedMask(0xF);
    frame_->Show();
    frame_->Raise();
    PumpUntil([flow] { return flow->IsShownOnScreen(); });
    PumpEvents(150);

    const wxColour blue(58, 123, 213), ink(52, 64, 84), orange(230, 140, 50);
    for (FlowStep step : {FlowStep::Mapping, FlowStep::Texture, FlowStep::Relief, FlowStep::Simplify}) {
        CSectionHeader& header = *flow->GetSection(step).header;
        header.Refresh();
        header.Update();
        PumpEvents(30);
        const wxImage shot = GrabWindow(header);
        const wxRect icon = header.Rects().icon;
        const wxRect gear = header.Rects().settings;
        SCOPED_TRACE(header.Info().title);
        ASSERT_EQ(icon.width, 24);
        // Every step icon has some accent blue or ink; the grey placeholder
        // outline of a missing file has neither.
        EXPECT_GT(CountNear(shot, icon, blue) + CountNear(shot, icon, ink), 15);
        // The gear: a solid dark ring with a light hole.
        EXPECT_GT(CountNear(shot, gear, ink), 60);
        const wxPoint middle(gear.x + gear.width / 2, gear.y + gear.height / 2);
        EXPECT_GT(PixelAt(shot, middle.x, middle.y).Red(), 200);
    }
    // The mapping icon's orange arrow and the relief icon's orange arrow tell
    // them from the plain texture icon, which has none.
    auto orangeIn = [&](FlowStep step) {
        CSectionHeader& header = *flow->GetSection(step).header;
        return CountNear(GrabWindow(header), header.Rects().icon, orange);
    };
    EXPECT_GT(orangeIn(FlowStep::Mapping), 3);
    EXPECT_EQ(orangeIn(FlowStep::Texture), 0);
}

}  // namespace
}  // namespace ridgeforge::testing
