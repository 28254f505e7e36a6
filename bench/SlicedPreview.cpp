// The sliced preview of a torus standing on its rim, 100 mm tall at 0.2 mm
// layers, with the view's draw budget. Single-threaded by design.
#include <benchmark/benchmark.h>

#include "mesh/validation/SlicedPreview.h"
#include "tests/support/Shapes.h"

using namespace ridgeforge::mesh;

namespace {

const TriangleMesh& StandingTorus(std::int64_t around) {
    static TriangleMesh small = ridgeforge::test::MakeTorus(35.0f, 15.0f, 500, 250);
    static TriangleMesh large = ridgeforge::test::MakeTorus(35.0f, 15.0f, 1000, 500);
    return around == 500 ? small : large;
}

void BM_BuildSlicedPreview(benchmark::State& state) {
    const TriangleMesh& mesh = StandingTorus(state.range(0));
    SlicedPreviewSettings settings;
    settings.buildAxis = 1;
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
