// The Output pane on a real window (needs a display): appending lines one
// call each, as the program logs them, up to and past the 20000-line cap;
// and measuring every line's height again after the pane's width changed.
#include <benchmark/benchmark.h>

#include "ui/app/OutputWnd.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <string>

namespace {

bool StartWindows() {
    static const bool started = [] {
        wxApp::SetInstance(new wxApp);
        int argc = 0;
        if (!wxEntryStart(argc, static_cast<wxChar**>(nullptr))) return false;
        return wxTheApp->CallOnInit();
    }();
    return started;
}

std::wstring Line(std::int64_t i) {
    return L"Remesh pass " + std::to_wstring(i) + L": 482,118 triangles, target 0.35 mm, open edges: " +
           std::to_wstring(i % 3) + L", saved to /home/user/parts/bracket.stl";
}

struct Pane {
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(900, 300));
    ridgeforge::COutputWnd* pane = new ridgeforge::COutputWnd(frame);
    Pane() {
        frame->Show();
        wxTheApp->Yield();
    }
    ~Pane() {
        frame->Destroy();
        wxTheApp->Yield();
    }
};

void BM_AppendLinesOneCallEach(benchmark::State& state) {
    if (!StartWindows()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        Pane pane;
        state.ResumeTiming();
        for (std::int64_t i = 0; i < state.range(0); ++i) pane.pane->AddLine(Line(i), ridgeforge::LogKind::Auto);
        state.PauseTiming();
        benchmark::DoNotOptimize(pane.pane->List().LineCount());
        wxTheApp->Yield();  // the one repaint the batch left behind, outside the timing
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendLinesOneCallEach)->Arg(1'000)->Arg(5'000)->Arg(20'000)->Arg(40'000)->Unit(benchmark::kMillisecond);

void BM_RemeasureAfterWidthChange(benchmark::State& state) {
    if (!StartWindows()) {
        state.SkipWithError("no display");
        return;
    }
    Pane pane;
    std::wstring batch;
    for (std::int64_t i = 0; i < state.range(0); ++i) batch += Line(i) + L"\n";
    batch.pop_back();
    pane.pane->AddLine(batch, ridgeforge::LogKind::Auto);
    int width = 900;
    for (auto _ : state) {
        width = width == 900 ? 700 : 900;
        pane.pane->SetSize(width, 300);
        benchmark::DoNotOptimize(pane.pane->List().LineHeightOfItem(0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RemeasureAfterWidthChange)->Arg(5'000)->Arg(20'000)->Unit(benchmark::kMillisecond);

}  // namespace
