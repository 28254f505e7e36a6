// Texture coordinates for every triangle corner of a torus, as the coverage
// and displacement stages compute them: box with blending, cylinder with both
// caps, and sphere, on 10,000 to 1,000,000 triangles (the last being the
// torus of StlBenchMesh.h), in the chunked parallel loop.
#include "relief/mapping/ProjectToTexture.h"

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/mesh/StlBenchMesh.h"
#include "mesh/ParallelChunks.h"
#include "testing/Shapes.h"

using namespace ridgeforge;
using namespace ridgeforge::mesh;

namespace {

Projection MappingOf(ProjectionType type) {
    Projection p;
    p.type = type;
    p.cage = {{0, 0, 0}, {10, -5, 20}, {110, 110, 30}};
    p.box.blended = true;
    p.cylinder.topCapEnabled = true;
    p.cylinder.bottomCapEnabled = true;
    for (ProjectionLayer& layer : p.layer) layer = {{2, 3}, 15, 1.5f, 0};
    return p;
}

void Run(benchmark::State& state, ProjectionType type) {
    const TriangleMesh mesh = bench::MakeTorusOf(state.range(0));
    const Projection projection = MappingOf(type);
    std::vector<ProjectionSamples> samples(mesh.indices.size());
    for (auto _ : state) {
        ForEachChunk(mesh.indices.size(), 4096, [&](std::size_t begin, std::size_t end) {
            for (std::size_t c = begin; c < end; ++c) {
                const Vertex& v = mesh.vertices[mesh.indices[c]];
                samples[c] = ProjectToTexture(projection, v.position, v.normal);
            }
        });
        benchmark::DoNotOptimize(samples.data());
        benchmark::ClobberMemory();
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(mesh.indices.size()));
}

void BM_ProjectBoxBlended(benchmark::State& state) { Run(state, ProjectionType::Box); }
void BM_ProjectCylinder(benchmark::State& state) { Run(state, ProjectionType::Cylinder); }
void BM_ProjectSphere(benchmark::State& state) { Run(state, ProjectionType::Sphere); }

}  // namespace

BENCHMARK(BM_ProjectBoxBlended)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProjectCylinder)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProjectSphere)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
