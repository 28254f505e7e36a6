// One idle pass of the application while a run goes and its status does not
// change: the pipeline poll, the status snapshot and the comparisons that
// keep the status bar and the progress bar untouched. Needs a display
// (DISPLAY), as the program does.
#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/app/ShellDocument.h"

namespace {

// A document whose pipeline runs for ever with one unchanging status.
class RunningDocument : public ridgeforge::ShellDocument, public ridgeforge::DocumentBase {
public:
    explicit RunningDocument(ridgeforge::DocumentHost& host) : DocumentBase(&host) {
        status_.running = true;
        status_.progressText = "Displacement";
        status_.fraction = 0.4567f;
        status_.hasFraction = true;
    }
    DocumentBase& Base() override { return *this; }
    bool PollPipeline() override { return false; }
    bool PipelineRunning() const override { return true; }
    ridgeforge::mesh::PipelineStatus PipelineStatus() const override { return status_; }
    bool LoadHeightMap(const ridgeforge::CString&) override { return false; }

private:
    ridgeforge::mesh::PipelineStatus status_;
};

void IdlePassWhileRunning(benchmark::State& state) {
    ridgeforge::CRidgeforgeApp::Options options;
    options.arguments = {L"ridgeforge"};
    options.programFolder = std::filesystem::temp_directory_path();
    options.makeDocument = [](ridgeforge::DocumentHost& host) { return std::make_unique<RunningDocument>(host); };
    ridgeforge::CRidgeforgeApp app(std::move(options));
    if (!app.InitInstance()) {
        state.SkipWithError("the application did not start");
        return;
    }
    app.OnIdle(0);  // the first pass closes the splash and shows the job
    const long updates = app.Frame()->StatusUpdates();
    long count = 1;
    for (auto _ : state) benchmark::DoNotOptimize(app.OnIdle(count++));
    if (app.Frame()->StatusUpdates() != updates) state.SkipWithError("an unchanged status touched the status bar");
    app.ExitInstance();
}
BENCHMARK(IdlePassWhileRunning)->Unit(benchmark::kMicrosecond);

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
