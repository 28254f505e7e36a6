// The exact self-intersection search on tori of 62,500 to 1,000,000
// triangles: clean, and two tori whose tubes pass through each other. The
// counters give the crossing pairs found and how many orientation tests the
// double filter could not decide. Also validation with and without the search,
// and the search on parts crowded about one corner: a cone of one fan each
// side, a cylinder with fanned ends and copies of one triangle, whose time
// should follow their triangles as a torus's does.
#include <benchmark/benchmark.h>

#include "bench/mesh/StlBenchMesh.h"
#include "relief/validation/ExactPredicates.h"
#include "relief/validation/SelfIntersections.h"
#include "relief/validation/ValidateMesh.h"
#include "testing/StressParts.h"

namespace {

using namespace ridgeforge;

// around x around / 2 quads, two triangles each: around² triangles.
mesh::TriangleMesh CleanTorus(std::uint32_t around) { return test::MakeTorus(40.0f, 15.0f, around, around / 2); }

// Two tori of around² / 2 triangles each, at right angles, tubes crossing.
mesh::TriangleMesh CrossingTori(std::uint32_t around) {
    mesh::TriangleMesh m = test::MakeTorus(40.0f, 15.0f, around, around / 4);
    mesh::TriangleMesh second = m;
    for (mesh::Vertex& v : second.vertices) {
        const mesh::Vec3f p = v.position;
        v.position = {p.x + 25.0f, p.z, -p.y};
    }
    test::AppendMesh(m, second);
    return m;
}

void RunSearch(benchmark::State& state, const mesh::TriangleMesh& m) {
    std::vector<std::uint32_t> hits;
    bool stopped = false;
    const mesh::OrientationCounts before = mesh::OrientationTestCounts();
    for (auto _ : state) {
        mesh::FindSelfIntersections(m, nullptr, 40000000, hits, stopped);
        benchmark::DoNotOptimize(hits.data());
    }
    const mesh::OrientationCounts after = mesh::OrientationTestCounts();
    const auto perRun = [&](std::uint64_t a, std::uint64_t b) {
        return static_cast<double>(b - a) / static_cast<double>(state.iterations());
    };
    state.counters["triangles"] = static_cast<double>(m.TriangleCount());
    state.counters["pairs"] = static_cast<double>(hits.size() / 2);
    state.counters["stopped"] = stopped ? 1 : 0;
    state.counters["orient"] = perRun(before.tests, after.tests);
    state.counters["exact"] = perRun(before.exactTests, after.exactTests);
}

void BM_SearchCleanTorus(benchmark::State& state) {
    RunSearch(state, CleanTorus(static_cast<std::uint32_t>(state.range(0))));
}
BENCHMARK(BM_SearchCleanTorus)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchCrossingTori(benchmark::State& state) {
    RunSearch(state, CrossingTori(static_cast<std::uint32_t>(state.range(0))));
}
BENCHMARK(BM_SearchCrossingTori)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ValidateTorus(benchmark::State& state) {
    const mesh::TriangleMesh m = bench::MakeTorus();
    const mesh::ValidationOptions options{0.001f, state.range(0) != 0, false, 40000000};
    for (auto _ : state) {
        mesh::ValidationReport report = mesh::ValidateMesh(m, options);
        benchmark::DoNotOptimize(report.verdict);
    }
}
BENCHMARK(BM_ValidateTorus)->ArgName("search")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchCone(benchmark::State& state) {
    RunSearch(state, test::MakeCone(10.0f, 24.0f, static_cast<std::uint32_t>(state.range(0)), 1));
}
BENCHMARK(BM_SearchCone)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchFanCylinder(benchmark::State& state) {
    RunSearch(state, test::MakeFanCappedRod(10.0f, 20.0f, static_cast<std::uint32_t>(state.range(0)), {0, 0, 1}));
}
BENCHMARK(BM_SearchFanCylinder)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchCopies(benchmark::State& state) {
    RunSearch(state, test::MakeCopiedTriangle(static_cast<std::uint32_t>(state.range(0)), 20.0f));
}
BENCHMARK(BM_SearchCopies)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
