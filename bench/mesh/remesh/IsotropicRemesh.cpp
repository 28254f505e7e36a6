// Isotropic remesh of a 50,000-triangle part to about 900,000 triangles in
// three rounds.
#include <benchmark/benchmark.h>

#include "mesh/remesh/Remesh.h"
#include "testing/Shapes.h"

using namespace ridgeforge::mesh;

namespace {

void BM_IsotropicRemesh(benchmark::State& state) {
    static const TriangleMesh part = ridgeforge::test::MakeTorus(20.0f, 6.0f, 250, 100);
    RemeshSettings settings;
    settings.method = kRemeshIsotropic;
    settings.targetEdgeMillimetres = 0.11f;
    settings.rounds = 3;
    RemeshReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = part;
        state.ResumeTiming();
        report = Remesh(mesh, settings, {});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["before"] = static_cast<double>(report.trianglesBefore);
    state.counters["after"] = static_cast<double>(report.trianglesAfter);
    for (const StageTime& stage : report.stages) state.counters[stage.name] = stage.milliseconds;
}
BENCHMARK(BM_IsotropicRemesh)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
