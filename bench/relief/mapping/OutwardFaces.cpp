// The occupancy grid and the outward-face classification of the 1,000,000
// triangle torus (StlBenchMesh.h) at 256 and 1024 cells, with smaller tori
// at 256 to show how the cost grows. The grid marks in parallel chunks; the
// classification marches one ray per face in parallel. The grid's memory is
// reported as a counter: the bricks of cells its surface passes through, 4
// KiB each, out of room set aside for every brick of the box.
//
// The grid alone at the document's 256 cells and the print check's 512 on
// parts of long slivers (a cone of one fan each side, a cylinder with fanned
// ends, a rod along the diagonal), each beside a sphere of about as many
// triangles and the same extent: the marking's cost should follow the
// surface, whatever the shape of its triangles.
#include "relief/mapping/OutwardFaces.h"

#include <benchmark/benchmark.h>

#include "bench/mesh/StlBenchMesh.h"
#include "relief/mapping/OccupancyGrid.h"
#include "testing/StressParts.h"

using namespace ridgeforge;
using namespace ridgeforge::mesh;

namespace {

void BM_OccupancyGridBuild(benchmark::State& state) {
    const TriangleMesh mesh = bench::MakeTorusOf(state.range(0));
    OccupancyGrid grid;
    for (auto _ : state) {
        grid.Build(mesh, static_cast<std::int32_t>(state.range(1)));
        benchmark::DoNotOptimize(grid.cells.data());
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.counters["gridMB"] = static_cast<double>(grid.bricksMarked) * 4096.0 / 1e6;
    state.counters["surfaceCells"] = static_cast<double>(grid.surfaceCells);
}

void BM_ClassifyOutwardFaces(benchmark::State& state) {
    const TriangleMesh mesh = bench::MakeTorusOf(state.range(0));
    OccupancyGrid grid;
    grid.Build(mesh, static_cast<std::int32_t>(state.range(1)));
    OutwardFaceCounts counts;
    for (auto _ : state) {
        const std::vector<std::uint8_t> flags = ClassifyOutwardFaces(grid, mesh, &counts);
        benchmark::DoNotOptimize(flags.data());
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.counters["outward"] = static_cast<double>(counts.outward);
}

void GridOn(benchmark::State& state, const TriangleMesh& mesh, std::int64_t requestedCells) {
    OccupancyGrid grid;
    const auto cells = static_cast<std::int32_t>(requestedCells);
    for (auto _ : state) {
        grid.Build(mesh, cells);
        benchmark::DoNotOptimize(grid.cells.data());
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.counters["surfaceCells"] = static_cast<double>(grid.surfaceCells);
}

void BM_OccupancyGridCone(benchmark::State& state) {
    GridOn(state, test::MakeCone(10.0f, 24.0f, static_cast<std::uint32_t>(state.range(0)), 1), state.range(1));
}
void BM_OccupancyGridFanCylinder(benchmark::State& state) {
    GridOn(state, test::MakeFanCappedRod(10.0f, 20.0f, static_cast<std::uint32_t>(state.range(0)), {0, 0, 1}),
           state.range(1));
}
void BM_OccupancyGridDiagonalRod(benchmark::State& state) {
    GridOn(state, test::MakeFanCappedRod(5.0f, 100.0f, static_cast<std::uint32_t>(state.range(0)), {1, 1, 1}),
           state.range(1));
}
// Triangles, radius and requested cells.
void BM_OccupancyGridSphere(benchmark::State& state) {
    GridOn(state,
           test::MakeRingSphereOf(static_cast<std::uint64_t>(state.range(0)), static_cast<float>(state.range(1))),
           state.range(2));
}

}  // namespace

// Smaller tori at 256 cells, then the benchmark torus at 256 and 1024.
static void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({10000, 256})->Args({100000, 256})->Args({1000000, 256})->Args({1000000, 1024});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_OccupancyGridBuild)->Apply(Sizes);
BENCHMARK(BM_ClassifyOutwardFaces)->Apply(Sizes);
// At the document's default 256 cells and at the print check's 512.
static void SliverSizes(benchmark::internal::Benchmark* b, std::int64_t segments) {
    b->ArgsProduct({{segments}, {256, 512}})->ArgNames({"segments", "cells"});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_OccupancyGridCone)->Apply([](benchmark::internal::Benchmark* b) {
    SliverSizes(b, 2000);
    SliverSizes(b, 50000);
});
BENCHMARK(BM_OccupancyGridFanCylinder)->Apply([](benchmark::internal::Benchmark* b) { SliverSizes(b, 40000); });
BENCHMARK(BM_OccupancyGridDiagonalRod)->Apply([](benchmark::internal::Benchmark* b) { SliverSizes(b, 4000); });
BENCHMARK(BM_OccupancyGridSphere)->Apply([](benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{4000, 100000}, {12}, {256, 512}})->ArgsProduct({{160000}, {10}, {256, 512}});
    b->ArgsProduct({{16000}, {50}, {256, 512}})->ArgNames({"triangles", "radius", "cells"});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
});
