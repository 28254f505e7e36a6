// Working out the kind and the highlight runs of log lines, as the Output
// list does for every line it adds and draws: a mix of report lines with
// labels, counts, units, warnings and paths.
#include <benchmark/benchmark.h>

#include "ui/app/LogHighlights.h"
#include "ui/app/LogLineRules.h"

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> SampleLines() {
    return {
        L"Processed: 1,234,567 triangles, relief 0.42 mm.",
        L"  Open edges: 0",
        L"  Non-manifold edges: 12",
        L"Remesh: target 0.35 mm, 482,118 triangles in 1.25 s",
        L"Saved /home/user/parts/bracket v2 textured.stl",
        L"Validation: no problems found",
        L"The relief needs support: 3 feature(s) have nothing beneath them.",
        L"Error: the file could not be read (permission denied)",
        L"Layer 214 at 42.80 mm is 0.5 mm short of the warning distance",
        L"Texture: Knurling, 40 x 40 mm, 512 x 512 px, seamless by mirror",
    };
}

void BM_ClassifyAndHighlight(benchmark::State& state) {
    const std::vector<std::wstring> samples = SampleLines();
    const auto count = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::size_t runs = 0;
        int kinds = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::wstring& line = samples[i % samples.size()];
            kinds += static_cast<int>(ridgeforge::ClassifyLogLine(line));
            runs += ridgeforge::FindLogHighlights(line).size();
        }
        benchmark::DoNotOptimize(runs);
        benchmark::DoNotOptimize(kinds);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClassifyAndHighlight)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
