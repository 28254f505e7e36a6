// The sliced preview of the standing torus at 0.2 mm layers, with the view's
// draw budget. Single-threaded by design.
#include <benchmark/benchmark.h>

#include "bench/relief/validation/StandingTorus.h"
#include "relief/validation/SlicedPreview.h"

using namespace ridgeforge::mesh;

namespace {

void BM_BuildSlicedPreview(benchmark::State& state) {
    const TriangleMesh& mesh = ridgeforge::bench::StandingTorus(state.range(0));
    SlicedPreviewSettings settings;
    settings.buildAxis = ridgeforge::bench::kStandingAxis;
    SlicedPreview preview;
    for (auto _ : state) {
        preview = BuildSlicedPreview(mesh, settings);
        benchmark::DoNotOptimize(preview.mesh.indices.data());
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.counters["layers"] = static_cast<double>(preview.layers);
    state.counters["drawStep"] = static_cast<double>(preview.drawStep);
    state.counters["beadSegments"] = static_cast<double>(preview.beadSegments);
    state.counters["cuts"] = static_cast<double>(preview.cutsBeforeSimplifying);
}
BENCHMARK(BM_BuildSlicedPreview)->Arg(500)->Arg(1000)->ArgName("around")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
