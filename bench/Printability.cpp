// The printability check on a torus standing on its rim, 100 mm tall at 0.2 mm
// layers: its lower half overhangs and its top arches over the hole, so every
// kind of finding is searched for. Single-threaded by design.
#include <benchmark/benchmark.h>

#include "mesh/validation/Printability.h"
#include "tests/support/Shapes.h"

using namespace ridgeforge::mesh;

namespace {

// Standing along Y: 2 x (35 + 15) = 100 mm tall.
const TriangleMesh& StandingTorus(std::int64_t around) {
    static TriangleMesh small = ridgeforge::test::MakeTorus(35.0f, 15.0f, 500, 250);
    static TriangleMesh large = ridgeforge::test::MakeTorus(35.0f, 15.0f, 1000, 500);
    return around == 500 ? small : large;
}

void BM_CheckPrintability(benchmark::State& state) {
    const TriangleMesh& mesh = StandingTorus(state.range(0));
    PrintabilitySettings settings;
    settings.buildAxis = 1;
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
