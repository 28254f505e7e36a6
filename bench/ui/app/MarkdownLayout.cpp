// Cost of the help viewer on long pages: layout with a fixed-width measurer
// (the engine alone), layout measuring with the real fonts from a cold cache
// (every distinct word measured once, as when the first dialog opens), in a
// new viewer once the words were measured (a dialog opened again), and again
// after a resize (every width known), and one paint of a long page scrolled
// half way with everything selected. Needs a display (DISPLAY, e.g. Xvfb).
#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <cstdio>
#include <string>

#include "ui/app/MarkdownLayout.h"
#include "ui/app/MarkdownTextCtrl.h"
#include "ui/app/internal/MarkdownFonts.h"
#include "ui/app/internal/MarkdownMeasurer.h"

namespace {

using namespace ridgeforge;

// A help page of about `lines` source lines: headings, wrapped paragraphs
// with inline runs, items, code and a table every 50 lines.
std::wstring LongPage(int lines) {
    std::wstring page;
    for (int i = 0; i < lines; ++i) {
        const int kind = i % 50;
        const std::wstring n = std::to_wstring(i);
        if (kind == 0)
            page += L"## Section " + n + L"\n";
        else if (kind < 30)
            page += L"Text of line " + n + L" with **bold " + n + L"** and *slanted* words, `code " + n +
                    L"`, and more words to wrap.\n";
        else if (kind < 36)
            page += L"- item " + n + L" on the list with a few words\n";
        else if (kind == 36)
            page += L"\n| Name | Value |\n";
        else if (kind == 37)
            page += L"|:--|--:|\n";
        else if (kind < 41)
            page += L"| row " + n + L" | " + n + L" mm |\n";
        else if (kind == 41 || kind == 49)
            page += L"\n";
        else if (kind == 42 || kind == 48)
            page += L"```\n";
        else
            page += L"  code line " + n + L" = value;\n";
    }
    return page;
}

class FixedMeasurer : public MarkdownMeasurer {
public:
    int TextWidth(MarkdownFont, std::wstring_view text) override { return 7 * static_cast<int>(text.size()); }
    FontMetrics Metrics(MarkdownFont) override { return {17, 2}; }
};

MarkdownLayoutInput Input() {
    MarkdownLayoutInput input;
    input.clientWidth = 380;
    input.scrollBarWidth = 14;
    input.margins = {10, 8, 10, 8};
    input.bodyLineHeight = 19;
    return input;
}

void BM_LayoutFixedWidths(benchmark::State& state) {
    const std::wstring page = LongPage(static_cast<int>(state.range(0)));
    FixedMeasurer measurer;
    for (auto _ : state) benchmark::DoNotOptimize(LayOutMarkdown(page, Input(), measurer));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LayoutFixedWidths)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_LayoutWithFonts(benchmark::State& state) {
    const std::wstring page = LongPage(static_cast<int>(state.range(0)));
    const MarkdownFontSet fonts = CreateMarkdownFonts(96);
    wxBitmap bitmap(8, 8);
    wxMemoryDC dc(bitmap);
    WxMarkdownMeasurer measurer;
    for (auto _ : state) {
        WxMarkdownMeasurer::ForgetAllWidths();
        measurer.Reset();
        measurer.Attach(&dc, &fonts);
        benchmark::DoNotOptimize(LayOutMarkdown(page, Input(), measurer));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LayoutWithFonts)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();

// A new viewer (its own fonts and measurer) on a page whose words were
// measured before, as when a dialog is opened again.
void BM_LayoutInNewViewer(benchmark::State& state) {
    const std::wstring page = LongPage(static_cast<int>(state.range(0)));
    wxBitmap bitmap(8, 8);
    wxMemoryDC dc(bitmap);
    WxMarkdownMeasurer::ForgetAllWidths();  // only this page's words are kept
    {
        const MarkdownFontSet fonts = CreateMarkdownFonts(96);
        WxMarkdownMeasurer first;
        first.Attach(&dc, &fonts);
        benchmark::DoNotOptimize(LayOutMarkdown(page, Input(), first));
    }
    for (auto _ : state) {
        const MarkdownFontSet fonts = CreateMarkdownFonts(96);
        WxMarkdownMeasurer measurer;
        measurer.Attach(&dc, &fonts);
        benchmark::DoNotOptimize(LayOutMarkdown(page, Input(), measurer));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LayoutInNewViewer)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();

// A relayout after a resize: every word's width is already known.
void BM_RelayoutWithFonts(benchmark::State& state) {
    const std::wstring page = LongPage(static_cast<int>(state.range(0)));
    const MarkdownFontSet fonts = CreateMarkdownFonts(96);
    wxBitmap bitmap(8, 8);
    wxMemoryDC dc(bitmap);
    WxMarkdownMeasurer::ForgetAllWidths();  // only this page's words are kept
    WxMarkdownMeasurer measurer;
    measurer.Attach(&dc, &fonts);
    benchmark::DoNotOptimize(LayOutMarkdown(page, Input(), measurer));
    MarkdownLayoutInput narrower = Input();
    narrower.clientWidth -= 40;
    for (auto _ : state) benchmark::DoNotOptimize(LayOutMarkdown(page, narrower, measurer));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RelayoutWithFonts)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_PaintHalfway(benchmark::State& state) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(400, 600));
    auto* viewer = new CMarkdownTextCtrl(frame, wxID_ANY, wxPoint(0, 0), frame->GetClientSize());
    viewer->SetBackgroundColor(*wxWHITE);
    viewer->SetTextColor(wxColour(28, 32, 38));
    viewer->SetMarkdown(LongPage(static_cast<int>(state.range(0))));
    frame->Show();
    viewer->RecalcLayout();
    viewer->ScrollTo(viewer->GetTotalHeight() / 2);
    viewer->SelectAll();
    wxBitmap bitmap(viewer->GetClientSize());
    wxMemoryDC dc(bitmap);
    viewer->PaintTo(dc);  // lays out once
    for (auto _ : state) viewer->PaintTo(dc);
    frame->Destroy();
    wxTheApp->ProcessIdle();
}
BENCHMARK(BM_PaintHalfway)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "this benchmark needs a display (DISPLAY is not usable)\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
