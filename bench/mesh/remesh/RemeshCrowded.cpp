// Remesh Input Mesh with its default settings on parts whose few triangles
// are costly: a rod 100 mm long with fanned ends, upright and along the
// diagonal; a cone of one fan each side; a cylinder with fanned ends; copies
// of one triangle; beside spheres of as many triangles. The counters give the
// milliseconds of each stage, so that where a shape's cost goes shows.
#include <benchmark/benchmark.h>

#include "mesh/remesh/Remesh.h"
#include "testing/StressParts.h"

using namespace ridgeforge::mesh;

namespace {

namespace crowded = ridgeforge::test::crowded;

void BM_RemeshInputCrowded(benchmark::State& state) {
    const TriangleMesh part = ridgeforge::test::MakeCrowdedPart(state.range(0), state.range(1));
    RemeshReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = part;
        state.ResumeTiming();
        report = Remesh(mesh, RemeshSettings{}, {});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["before"] = static_cast<double>(report.trianglesBefore);
    state.counters["after"] = static_cast<double>(report.trianglesAfter);
    for (const StageTime& stage : report.stages) state.counters[stage.name] = stage.milliseconds;
}
BENCHMARK(BM_RemeshInputCrowded)
    ->ArgNames({"shape", "size"})
    ->Args({crowded::kUprightRod, 256})
    ->Args({crowded::kUprightRod, 1000})
    ->Args({crowded::kUprightRod, 4000})
    ->Args({crowded::kDiagonalRod, 256})
    ->Args({crowded::kDiagonalRod, 1000})
    ->Args({crowded::kDiagonalRod, 4000})
    ->Args({crowded::kCone, 2000})
    ->Args({crowded::kCone, 10000})
    ->Args({crowded::kFanCylinder, 5000})
    ->Args({crowded::kFanCylinder, 20000})
    ->Args({crowded::kCopies, 1000})
    ->Args({crowded::kCopies, 3000})
    ->Args({crowded::kSphere, 4000})
    ->Args({crowded::kSphere, 20000})
    ->Args({crowded::kSphere, 80000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
