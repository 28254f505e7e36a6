// The view's stand-ins for large parts: a reduced copy of a torus of 1 and 4
// million triangles at a quarter of its size, and the clipping plane through
// its middle.
#include "mesh/DisplayComputations.h"

#include <benchmark/benchmark.h>

#include <map>

#include "testing/Shapes.h"

namespace {

using namespace ridgeforge;

const mesh::TriangleMesh& Torus(std::int64_t triangles) {
    static std::map<std::int64_t, mesh::TriangleMesh> made;
    auto it = made.find(triangles);
    if (it == made.end()) {
        const auto around = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(triangles)));
        const auto across = static_cast<std::uint32_t>(triangles / 2 / around);
        it = made.emplace(triangles, test::MakeTorus(60.0f, 20.0f, around, across)).first;
    }
    return it->second;
}

void BM_MakeReducedCopy(benchmark::State& state) {
    const mesh::TriangleMesh& m = Torus(state.range(0));
    const auto budget = static_cast<std::uint64_t>(state.range(0) / 4);
    std::uint64_t kept = 0;
    for (auto _ : state) {
        mesh::ReducedMesh copy = mesh::MakeReducedCopy(m, budget);
        kept = copy.mesh.TriangleCount();
        benchmark::DoNotOptimize(copy);
    }
    state.counters["kept"] = static_cast<double>(kept);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MakeReducedCopy)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

void BM_ClipMeshByPlane(benchmark::State& state) {
    const mesh::TriangleMesh& m = Torus(state.range(0));
    for (auto _ : state) {
        mesh::TriangleMesh half = mesh::ClipMeshByPlane(m, {5.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
        benchmark::DoNotOptimize(half);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClipMeshByPlane)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
