// Edge-collapse simplification of a million-triangle curved part to a tenth,
// of contoured cubes of growing size (large flat faces, where every collapse
// costs exactly zero), flat-area simplification of a million-triangle box,
// and Simplify Input Mesh on parts whose triangles crowd round one corner (a
// cylinder closed by fans from its axis, a cone, copies of one triangle),
// each beside a sphere of as many triangles, and on a fan with a flap nearly
// folded at its hub.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "mesh/TestShapes.h"
#include "mesh/remesh/RemeshByContour.h"
#include "mesh/simplify/SimplifyFlatAreas.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"

using namespace ridgeforge::mesh;

namespace {

const TriangleMesh& CurvedPart() {
    static const TriangleMesh torus = ridgeforge::test::MakeTorus(40.0f, 12.0f, 1000, 500);
    return torus;
}

void BM_SimplifyMeshToATenth(benchmark::State& state) {
    MeshSimplifyOptions options;
    options.detailLevel = 1.0f;
    options.targetTriangles = CurvedPart().TriangleCount() / 10;
    options.bedAxis = 2;
    options.measureMovement = state.range(0) != 0;
    SimplifyReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = CurvedPart();
        state.ResumeTiming();
        report = SimplifyMesh(mesh, options, {});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["before"] = static_cast<double>(report.trianglesBefore);
    state.counters["after"] = static_cast<double>(report.trianglesAfter);
    state.counters["maxMoved_mm"] = report.maxMovedMillimetres;
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(report.trianglesBefore));
}
BENCHMARK(BM_SimplifyMeshToATenth)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 20 mm cube contoured to about `triangles` triangles (12 per cell face).
const TriangleMesh& ContouredCube(std::int64_t triangles) {
    static std::map<std::int64_t, TriangleMesh> cubes;
    auto [it, added] = cubes.try_emplace(triangles);
    if (added) {
        it->second = MakeTestCube(20.0f);
        RemeshSettings settings;
        settings.targetEdgeMillimetres = 20.0f / std::sqrt(static_cast<float>(triangles) / 12.0f);
        RemeshByContour(it->second, settings, {});
    }
    return it->second;
}

void BM_SimplifyContouredCube(benchmark::State& state) {
    const TriangleMesh& cube = ContouredCube(state.range(0));
    MeshSimplifyOptions options;  // as Simplify Input Mesh passes them
    options.detailLevel = 0.01f;
    SimplifyReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = cube;
        state.ResumeTiming();
        report = SimplifyMesh(mesh, options, {});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["before"] = static_cast<double>(report.trianglesBefore);
    state.counters["after"] = static_cast<double>(report.trianglesAfter);
    state.counters["refusedTip"] = static_cast<double>(report.refusedTip);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(report.trianglesBefore));
}
BENCHMARK(BM_SimplifyContouredCube)->Arg(30000)->Arg(120000)->Arg(480000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SimplifyFlatAreasBox(benchmark::State& state) {
    static const TriangleMesh box = ridgeforge::test::MakeGridBox({0, 0, 0}, {100, 80, 60}, 289);
    FlatAreaSimplifyReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = box;
        state.ResumeTiming();
        report = SimplifyFlatAreas(mesh, nullptr, SimplifySettings{}, {});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["before"] = static_cast<double>(report.trianglesBefore);
    state.counters["after"] = static_cast<double>(report.trianglesAfter);
    state.counters["sweeps"] = static_cast<double>(report.sweeps);
    state.counters["held"] = report.GuaranteeHeld() ? 1.0 : 0.0;
}
BENCHMARK(BM_SimplifyFlatAreasBox)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace crowded = ridgeforge::test::crowded;

// Times the simplification of a fresh copy of the part.
void TimeSimplify(benchmark::State& state, const TriangleMesh& part, const MeshSimplifyOptions& options) {
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = part;
        state.ResumeTiming();
        SimplifyMesh(mesh, options, {});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["triangles"] = static_cast<double>(part.TriangleCount());
}

void BM_SimplifyInputCrowded(benchmark::State& state) {
    // As the Simplify Input Mesh command passes them.
    TimeSimplify(state, ridgeforge::test::MakeCrowdedPart(state.range(0), state.range(1)),
                 MeshSimplifyOptions{0.01f, 0, 2, 78.0f, true, nullptr, 0.0f});
}
BENCHMARK(BM_SimplifyInputCrowded)
    ->ArgNames({"shape", "size"})
    ->Args({crowded::kFanCylinder, 2000})
    ->Args({crowded::kFanCylinder, 10000})
    ->Args({crowded::kFanCylinder, 40000})
    ->Args({crowded::kCone, 10000})
    ->Args({crowded::kCone, 50000})
    ->Args({crowded::kCopies, 10000})
    ->Args({crowded::kCopies, 100000})
    ->Args({crowded::kSphere, 8000})
    ->Args({crowded::kSphere, 40000})
    ->Args({crowded::kSphere, 160000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A flap nearly folded against the sum at the hub of a fan: every collapse
// along the edge beside it reads the hub. Beta in tenths of a degree: 1070
// stands clear, 1077 stands in the band where each of them is refused.
void BM_SimplifyFlappedFan(benchmark::State& state) {
    const TriangleMesh part = ridgeforge::test::MakeFlappedFan(static_cast<std::uint32_t>(state.range(0)),
                                                               0.1 * static_cast<double>(state.range(1)));
    std::vector<std::uint8_t> held(part.TriangleCount(), 0);
    held.back() = 1;
    TimeSimplify(state, part, MeshSimplifyOptions{0.1f, 0, -1, 78.0f, false, &held, 0.0f});
}
BENCHMARK(BM_SimplifyFlappedFan)
    ->ArgNames({"fan", "beta"})
    ->Args({1000, 1070})
    ->Args({1000, 1077})
    ->Args({4000, 1077})
    ->Args({40000, 1070})
    ->Args({40000, 1077})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
