// The wheel's pick of the part under the cursor: every triangle against the
// ray after the bounds test, on flat grids of 10,000 to 1,000,000 triangles
// with the ray through the middle (every triangle is tested either way).
#include <benchmark/benchmark.h>

#include <cmath>

#include "gl/Picking.h"
#include "testing/Shapes.h"

namespace {

using namespace ridgeforge;

void BM_PickMeshTriangle(benchmark::State& state) {
    const auto cells = static_cast<std::uint32_t>(std::lround(std::sqrt(static_cast<double>(state.range(0)) / 2.0)));
    mesh::TriangleMesh plate = test::MakeGridPlate(100.0f, cells);
    plate.RecomputeBounds();
    const mesh::Ray ray{{50.3f, 49.8f, 50.0f}, mesh::Normalize({0.01f, 0.02f, -1.0f})};
    for (auto _ : state) benchmark::DoNotOptimize(gl::PickMeshTriangle(ray, plate));
    state.counters["triangles"] = static_cast<double>(plate.TriangleCount());
}
BENCHMARK(BM_PickMeshTriangle)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
