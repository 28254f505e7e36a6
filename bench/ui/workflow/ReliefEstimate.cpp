// The Relief section's triangle estimate, which runs on the user-interface
// thread whenever the triangle size or the part changes: one pass over the
// part's triangles for its area. Aim: under 30 ms for 1,000,000 triangles.
#include <benchmark/benchmark.h>

#include "testing/Shapes.h"
#include "ui/workflow/ReliefRules.h"

namespace {

void BM_ReliefEstimate(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    const ridgeforge::mesh::TriangleMesh part = ridgeforge::test::MakeGridBox({0, 0, 0}, {60, 40, 30}, n);
    ridgeforge::mesh::RemeshSettings settings;
    settings.targetEdgeMillimetres = 0.15f;
    for (auto _ : state) {
        const auto estimate = ridgeforge::EstimateReliefTriangles(part, settings);
        benchmark::DoNotOptimize(ridgeforge::EstimateText(estimate));
    }
    state.counters["triangles"] = static_cast<double>(part.indices.size() / 3);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(part.indices.size() / 3));
}
// 12 n^2 triangles: about 100,000, 1,000,000 and 4,000,000.
BENCHMARK(BM_ReliefEstimate)->Arg(91)->Arg(289)->Arg(577)->Unit(benchmark::kMillisecond);

}  // namespace
