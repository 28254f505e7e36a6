// Vertex rows, edge tables and sorted edge keys of tori from 100,000 to 3.2 million triangles,
// in the torus's own order and with the triangles shuffled, as an editing
// copy's triangles are after many splits.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "mesh/EditableMesh.h"
#include "mesh/simplify/PlanarRegions.h"
#include "testing/Shapes.h"

using namespace ridgeforge::mesh;

namespace {

// state.range(0): thousands of triangles; state.range(1): 1 to shuffle them.
TriangleMesh Part(const benchmark::State& state) {
    const auto around = static_cast<std::uint32_t>(state.range(0));
    TriangleMesh mesh = ridgeforge::test::MakeTorus(20.0f, 6.0f, around, 500);
    if (state.range(1) != 0) {
        std::vector<std::array<std::uint32_t, 3>> triangles(mesh.indices.size() / 3);
        for (std::size_t t = 0; t < triangles.size(); ++t) {
            triangles[t] = {mesh.indices[3 * t], mesh.indices[3 * t + 1], mesh.indices[3 * t + 2]};
        }
        std::shuffle(triangles.begin(), triangles.end(), std::mt19937(7));
        for (std::size_t t = 0; t < triangles.size(); ++t) std::copy_n(triangles[t].begin(), 3, &mesh.indices[3 * t]);
    }
    return mesh;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (const int around : {100, 800, 3200}) {
        for (const int shuffled : {0, 1}) b->Args({around, shuffled});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_RebuildVertexFaces(benchmark::State& state) {
    EditableMesh mesh(Part(state));
    for (auto _ : state) {
        mesh.RebuildVertexFaces();
        benchmark::DoNotOptimize(mesh.vertexFaces.data());
    }
}
BENCHMARK(BM_RebuildVertexFaces)->Apply(Sizes);

void BM_CollectEdges(benchmark::State& state) {
    const EditableMesh mesh(Part(state));
    for (auto _ : state) benchmark::DoNotOptimize(mesh.CollectEdges().data());
}
BENCHMARK(BM_CollectEdges)->Apply(Sizes);

void BM_EdgeNeighbours(benchmark::State& state) {
    const TriangleMesh mesh = Part(state);
    for (auto _ : state) benchmark::DoNotOptimize(EdgeNeighbours(mesh).data());
}
BENCHMARK(BM_EdgeNeighbours)->Apply(Sizes);

void BM_SortedEdgeKeys(benchmark::State& state) {
    const TriangleMesh mesh = Part(state);
    for (auto _ : state) benchmark::DoNotOptimize(BuildSortedEdgeKeys(mesh).data());
}
BENCHMARK(BM_SortedEdgeKeys)->Apply(Sizes);

void BM_SplitIntoBodies(benchmark::State& state) {
    const TriangleMesh mesh = Part(state);
    for (auto _ : state) benchmark::DoNotOptimize(SplitIntoBodies(mesh).vertexNeighbours.data());
}
BENCHMARK(BM_SplitIntoBodies)->Apply(Sizes);

}  // namespace
