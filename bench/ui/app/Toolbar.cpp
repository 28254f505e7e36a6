// The application toolbar's two recurring costs: the update pass of its 20
// buttons through the command route (view, document, frame, application),
// which runs on every idle pass, and one paint of the whole strip at 1280 px
// with its icons already scaled. Needs a display (DISPLAY), as the program
// does.
#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "ui/app/AppToolbar.h"
#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/commands/CommandIds.h"
#include "ui/app/ShellDocument.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/framework/DocView.h"

namespace {

using ridgeforge::CommandId;
using ridgeforge::CommandState;

class IdleDocument : public ridgeforge::ShellDocument, public ridgeforge::DocumentBase {
public:
    explicit IdleDocument(ridgeforge::DocumentHost& host) : DocumentBase(&host) {}
    DocumentBase& Base() override { return *this; }
    bool PollPipeline() override { return false; }
    bool PipelineRunning() const override { return false; }
    ridgeforge::mesh::PipelineStatus PipelineStatus() const override { return {}; }
    bool LoadHeightMap(const ridgeforge::CString&) override { return false; }
};

// Update handlers for the toolbar's view commands, as the view will have
// them: radio groups and ticks read from a few fields.
class BenchView : public ridgeforge::ui::View {
public:
    void CreateViewWindow(wxWindow* parent) override {
        if (window_ == nullptr) window_ = new wxWindow(parent, wxID_ANY);
    }
    wxWindow* Window() const override { return window_; }

    BenchView() {
        const auto radio = [this](CommandId first) {
            return [this, first](CommandId id, CommandState& state) {
                state.checked = choice == static_cast<int>(id - first);
                state.radio = true;
            };
        };
        const auto nothing = [](CommandId) {};
        commands_.AddRange(ridgeforge::ID_SHADING_SMOOTH, ridgeforge::ID_SHADING_SOLID_WIREFRAME, nothing,
                           radio(ridgeforge::ID_SHADING_SMOOTH));
        for (const CommandId id :
             {ridgeforge::ID_SURFACE_PLAIN, ridgeforge::ID_SURFACE_CHECKERBOARD, ridgeforge::ID_SURFACE_PROJECTOR,
              ridgeforge::ID_SURFACE_HEIGHT_MAP, ridgeforge::ID_SURFACE_OUTER_INNER, ridgeforge::ID_TOOL_NONE,
              ridgeforge::ID_TOOL_MOVE_TEXTURE, ridgeforge::ID_TOOL_ROTATE_TEXTURE, ridgeforge::ID_TOOL_ZOOM_TEXTURE,
              ridgeforge::ID_MASK_EDIT, ridgeforge::ID_LAY_ON_FACE, ridgeforge::ID_VIEW_ORTHOGRAPHIC,
              ridgeforge::ID_DISPLAY_SLICED}) {
            commands_.Add(id, nothing, [this](CommandId, CommandState& state) {
                state.enabled = hasPart;
                state.checked = false;
            });
        }
    }
    int choice = 1;
    bool hasPart = true;

private:
    wxWindow* window_ = nullptr;
};

std::unique_ptr<ridgeforge::CRidgeforgeApp> StartApp(const std::filesystem::path& icons) {
    ridgeforge::CRidgeforgeApp::Options options;
    options.arguments = {L"ridgeforge"};
    options.programFolder = std::filesystem::temp_directory_path();
    options.makeDocument = [](ridgeforge::DocumentHost& host) { return std::make_unique<IdleDocument>(host); };
    options.makeView = [] { return std::make_unique<BenchView>(); };
    auto app = std::make_unique<ridgeforge::CRidgeforgeApp>(std::move(options));
    if (!app->InitInstance()) return nullptr;
    app->Frame()->SetSize(wxRect(0, 0, 1280, 800));
    // Plain 32 x 32 icons for every button, so that every button scales and
    // draws one.
    std::filesystem::create_directories(icons);
    wxImage icon(32, 32);
    icon.SetRGB(wxRect(0, 0, 32, 32), 58, 123, 213);
    icon.InitAlpha();
    for (const auto& button : ridgeforge::BuildToolbarButtons())
        if (!button.iconKey.empty()) icon.SaveFile((icons / (button.iconKey + ".png")).string(), wxBITMAP_TYPE_PNG);
    app->Frame()->ToolbarPane().Strip()->SetIconFolder(wxString::FromUTF8(icons.string()), false);
    app->Frame()->Layout();
    return app;
}

void StopApp(std::unique_ptr<ridgeforge::CRidgeforgeApp>& app) {
    app->Frame()->Destroy();
    app->ExitInstance();
}

const std::filesystem::path& IconFolder() {
    static const std::filesystem::path folder = std::filesystem::temp_directory_path() / "ridgeforge-bench-icons";
    return folder;
}

void ToolbarUpdatePass(benchmark::State& state) {
    auto app = StartApp(IconFolder());
    if (!app) {
        state.SkipWithError("the application did not start");
        return;
    }
    ridgeforge::CToolbarHostWnd& strip = *app->Frame()->ToolbarPane().Strip();
    strip.UpdateButtonStates();
    for (auto _ : state) strip.UpdateButtonStates();
    StopApp(app);
}
BENCHMARK(ToolbarUpdatePass)->Unit(benchmark::kMicrosecond);

void ToolbarPaint1280(benchmark::State& state) {
    auto app = StartApp(IconFolder());
    if (!app) {
        state.SkipWithError("the application did not start");
        return;
    }
    ridgeforge::CToolbarHostWnd& strip = *app->Frame()->ToolbarPane().Strip();
    strip.SetSize(wxSize(1280, 42));
    wxBitmap target(strip.GetClientSize(), 24);
    wxMemoryDC dc(target);
    strip.PaintStrip(dc);  // warms both icon caches
    for (auto _ : state) strip.PaintStrip(dc);
    dc.SelectObject(wxNullBitmap);
    StopApp(app);
}
BENCHMARK(ToolbarPaint1280)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    const auto profile = std::filesystem::temp_directory_path() / "ridgeforge-bench-profile";
    setenv("XDG_CONFIG_HOME", profile.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "the benchmark needs a display (DISPLAY)\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    benchmark::RunSpecifiedBenchmarks();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
