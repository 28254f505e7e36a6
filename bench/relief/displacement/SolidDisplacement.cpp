// The solid relief of a 50 x 50 x 50 mm part carrying a procedural texture,
// at field cells of 0.4, 0.2 and 0.1 mm, the part meshed at the cell size as
// the pipeline's remesh leaves it. Peak resident size is reported as a
// counter; it only grows, so run one size per process for a clean figure
// (--benchmark_filter=SolidRelief/100). The standing torus and cubes of
// growing size at the default 0.2 mm cell follow.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "bench/relief/validation/StandingTorus.h"
#include "relief/displacement/SolidDisplacement.h"
#include "testing/ReliefShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"

namespace {

using namespace ridgeforge::mesh;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void SolidRelief(benchmark::State& state) {
    const float cell = static_cast<float>(state.range(0)) / 1000.0f;
    const auto n = static_cast<std::uint32_t>(50.0f / cell);
    TriangleMesh part = ridgeforge::test::MakeGridBox({0, 0, 0}, {50, 50, 50}, n);
    const std::vector<float> heights = ridgeforge::test::TextureHeights(part, "Knurl", 5.0f, 0.6f);
    AabbTree tree;
    tree.Build(part);
    SolidDisplacementOptions options;
    options.cellSize = cell;
    options.cutEnabled = true;
    options.cutZ = 0.0f;
    SolidDisplacementReport report;
    std::uint64_t trianglesOut = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        TriangleMesh out;
        const double cpuStart = CpuSeconds();
        if (!DisplaceSolid(part, heights, options, {}, out, report, &tree)) {
            state.SkipWithError(FormatSolidDisplacementReport(report).c_str());
            return;
        }
        cpu += CpuSeconds() - cpuStart;
        trianglesOut = out.TriangleCount();
    }
    // Processor seconds of all threads: on a loaded machine, cpuSeconds / 8
    // bounds the time the call would take on eight idle cores.
    state.counters["cpuSeconds"] = cpu;
    state.counters["trianglesIn"] = static_cast<double>(part.TriangleCount());
    state.counters["trianglesOut"] = static_cast<double>(trianglesOut);
    state.counters["bricks"] = static_cast<double>(report.blocksStored);
    state.counters["fieldMs"] = report.fieldMilliseconds;
    state.counters["contourMs"] = report.contourMilliseconds;
    state.counters["capMs"] = report.capMilliseconds;
    state.counters["seedingMs"] = report.seedingMilliseconds;
    state.counters["propagationMs"] = report.propagationMilliseconds;
    state.counters["valuesMs"] = report.valuesMilliseconds;
    state.counters["columnsMs"] = report.columnsMilliseconds;
    state.counters["bricksMs"] = report.bricksMilliseconds;
    state.counters["rounds"] = report.propagationRounds;
    state.counters["peakMB"] = PeakResidentMegabytes();
}
BENCHMARK(SolidRelief)->Arg(400)->Arg(200)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Runs the solid relief of `part` with the Knurl texture once per iteration
// and records the stage times of the last run.
void RunSolidRelief(benchmark::State& state, const TriangleMesh& part, const SolidDisplacementOptions& options) {
    const std::vector<float> heights = ridgeforge::test::TextureHeights(part, "Knurl", 5.0f, 0.6f);
    AabbTree tree;
    tree.Build(part);
    SolidDisplacementReport report;
    std::uint64_t trianglesOut = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        TriangleMesh out;
        const double cpuStart = CpuSeconds();
        if (!DisplaceSolid(part, heights, options, {}, out, report, &tree)) {
            state.SkipWithError(FormatSolidDisplacementReport(report).c_str());
            return;
        }
        cpu += CpuSeconds() - cpuStart;
        trianglesOut = out.TriangleCount();
    }
    state.counters["cpuSeconds"] = cpu / static_cast<double>(state.iterations());
    state.counters["trianglesIn"] = static_cast<double>(part.TriangleCount());
    state.counters["trianglesOut"] = static_cast<double>(trianglesOut);
    state.counters["heightsHeld"] = static_cast<double>(report.heightsHeld);
    state.counters["capMs"] = report.capMilliseconds;
    state.counters["fieldMs"] = report.fieldMilliseconds;
    state.counters["contourMs"] = report.contourMilliseconds;
    state.counters["columnsMs"] = report.columnsMilliseconds;
    state.counters["bricksMs"] = report.bricksMilliseconds;
    state.counters["seedingMs"] = report.seedingMilliseconds;
    state.counters["propagationMs"] = report.propagationMilliseconds;
    state.counters["valuesMs"] = report.valuesMilliseconds;
}

// The standing torus of 250,000 and 1,000,000 triangles (70 mm across the
// ring, 30 mm thick) with the Knurl texture at a 0.2 mm cell: a curved part
// whose hole the slot-keeping rays must measure across.
void SolidReliefTorus(benchmark::State& state) {
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    RunSolidRelief(state, ridgeforge::bench::StandingTorus(state.range(0)), options);
}
BENCHMARK(SolidReliefTorus)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Cubes of 10, 20 and 40 mm meshed at 0.2 mm, relief at a 0.2 mm cell cut
// at the bed: the work should grow with the surface, four times per step.
void SolidReliefCube(benchmark::State& state) {
    const float side = static_cast<float>(state.range(0));
    const TriangleMesh part =
        ridgeforge::test::MakeGridBox({0, 0, 0}, {side, side, side}, static_cast<std::uint32_t>(side / 0.2f));
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    options.cutEnabled = true;
    options.cutZ = 0.0f;
    RunSolidRelief(state, part, options);
}
BENCHMARK(SolidReliefCube)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A raw rod (remesh off: 64 long sides, fan caps) 5 mm in radius and 60 mm
// long, upright (0) or leaning along the diagonal (1), at a 0.2 mm cell: the
// bricks looked at should follow the rod's surface, so leaning it should
// cost about what standing does, not what its box holds. The last figure is
// a sum over the result's corners, equal when two builds give one mesh.
void SolidReliefRawRod(benchmark::State& state) {
    const Vec3f axis = state.range(0) == 0 ? Vec3f{0, 0, 1} : Vec3f{1, 1, 1};
    const TriangleMesh rod = ridgeforge::test::MakeFanCappedRod(5.0f, 60.0f, 64, axis);
    const std::vector<float> heights = ridgeforge::test::TextureHeights(rod, "Knurl", 5.0f, 0.6f);
    AabbTree tree;
    tree.Build(rod);
    SolidDisplacementOptions options;
    options.cellSize = 0.2f;
    SolidDisplacementReport report;
    double corners = 0.0;
    std::uint64_t trianglesOut = 0;
    for (auto _ : state) {
        TriangleMesh out;
        if (!DisplaceSolid(rod, heights, options, {}, out, report, &tree)) {
            state.SkipWithError(FormatSolidDisplacementReport(report).c_str());
            return;
        }
        trianglesOut = out.TriangleCount();
        corners = 0.0;
        for (std::size_t i = 0; i < out.indices.size(); ++i) {
            const Vec3f& p = out.vertices[out.indices[i]].position;
            corners += static_cast<double>(i % 7 + 1) * (p.x + 2.0 * p.y + 3.0 * p.z);
        }
    }
    state.counters["candidateBricks"] = static_cast<double>(report.candidateBlocks);
    state.counters["bricks"] = static_cast<double>(report.blocksStored);
    state.counters["bricksMs"] = report.bricksMilliseconds;
    state.counters["fieldMs"] = report.fieldMilliseconds;
    state.counters["seedingMs"] = report.seedingMilliseconds;
    state.counters["valuesMs"] = report.valuesMilliseconds;
    state.counters["trianglesOut"] = static_cast<double>(trianglesOut);
    state.counters["cornerSum"] = corners;
}
BENCHMARK(SolidReliefRawRod)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
