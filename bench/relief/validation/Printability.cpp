// The printability check of the standing torus at 0.2 mm layers, with and
// without the view's highlights. Single-threaded by design.
#include <benchmark/benchmark.h>

#include "bench/relief/validation/StandingTorus.h"
#include "relief/validation/Printability.h"

using namespace ridgeforge::mesh;

namespace {

void BM_CheckPrintability(benchmark::State& state) {
    const TriangleMesh& mesh = ridgeforge::bench::StandingTorus(state.range(0));
    PrintabilitySettings settings;
    settings.buildAxis = ridgeforge::bench::kStandingAxis;
    settings.collectHighlights = state.range(1) != 0;
    PrintabilityReport report;
    for (auto _ : state) {
        report = CheckPrintability(mesh, settings);
        benchmark::DoNotOptimize(report.layers);
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.counters["layers"] = static_cast<double>(report.layers);
    state.counters["cellsPerLayer"] = static_cast<double>(report.cellsPerLayer);
    state.counters["laidInAir"] = static_cast<double>(report.laidInAir.size());
    state.counters["farReaches"] = static_cast<double>(report.farReaches.size());
}
BENCHMARK(BM_CheckPrintability)
    ->ArgsProduct({{500, 1000}, {0, 1}})
    ->ArgNames({"around", "highlights"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
