// The sliced preview of the standing torus at 0.2 mm layers, with the view's
// draw budget, and of a rod 100 mm long upright and lying along the diagonal,
// whose small sections sit in a wide frame. Single-threaded by design.
#include <benchmark/benchmark.h>

#include "bench/relief/validation/StandingTorus.h"
#include "relief/validation/SlicedPreview.h"
#include "testing/StressParts.h"

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

void BM_SlicedPreviewRod(benchmark::State& state) {
    const Vec3f axis = state.range(1) == 0 ? Vec3f{0, 0, 1} : Vec3f{1, 1, 1};
    const TriangleMesh mesh =
        ridgeforge::test::MakeFanCappedRod(5.0f, 100.0f, static_cast<std::uint32_t>(state.range(0)), axis);
    SlicedPreview preview;
    for (auto _ : state) {
        preview = BuildSlicedPreview(mesh, SlicedPreviewSettings{});
        benchmark::DoNotOptimize(preview.mesh.indices.data());
    }
    state.counters["layers"] = static_cast<double>(preview.layers);
    state.counters["skinTriangles"] = static_cast<double>(preview.skinTriangles);
}
BENCHMARK(BM_SlicedPreviewRod)
    ->ArgsProduct({{256, 4000}, {0, 1}})
    ->ArgNames({"segments", "diagonal"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
