// The export fixes and the repair on a relief-like torus of 1,000,000
// triangles: the surface is displaced along its normals by a fine ripple, and
// 50 pairs of spikes lean over each other so that the surface folds over and
// passes through itself there. The counters give
// the milliseconds of each stage (measured between the stage callbacks) and
// what the fixes found and left.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <string>

#include "bench/mesh/StlBenchMesh.h"
#include "relief/repair/ExportFixes.h"
#include "relief/repair/Repair.h"
#include "relief/validation/SelfIntersections.h"

namespace {

using namespace ridgeforge;

mesh::TriangleMesh MakeRelief(std::uint32_t around) {
    mesh::TriangleMesh m = test::MakeTorus(40.0f, 15.0f, around, around / 2);
    for (std::size_t i = 0; i < m.vertices.size(); ++i) {
        mesh::Vertex& v = m.vertices[i];
        const float ripple = 0.3f * std::sin(0.7f * static_cast<float>(i % (around / 2))) *
                             std::cos(0.5f * static_cast<float>(i / (around / 2)));
        v.position += v.normal * ripple;
    }
    // Pairs of spikes three rows apart that lean over each other, as a relief
    // too deep for its spacing does: their tents pass through each other.
    const std::uint32_t across = around / 2;
    std::mt19937 random(11);
    std::uniform_int_distribution<std::uint32_t> pickAround(0, around - 1), pickAcross(0, across / 3);
    const auto lean = [&](std::uint32_t index, float rows) {
        mesh::Vertex& v = m.vertices[index];
        const float row = 6.2831853f * std::hypot(v.position.x, v.position.y) / static_cast<float>(around);
        const mesh::Vec3f along = mesh::Normalize(mesh::Cross(v.normal, mesh::Vec3f{0, 0, 1}));
        v.position += along * (rows * row) + v.normal * (1.5f * row);
    };
    for (int k = 0; k < 50; ++k) {
        const std::uint32_t i = pickAround(random), j = (pickAcross(random) + across - across / 6) % across;
        lean(i * across + j, -2.0f);
        lean(((i + 3) % around) * across + j, 2.0f);
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

const mesh::TriangleMesh& Relief(std::uint32_t around) {
    static std::map<std::uint32_t, mesh::TriangleMesh> made;
    auto it = made.find(around);
    if (it == made.end()) it = made.emplace(around, MakeRelief(around)).first;
    return it->second;
}

// Adds the time since the last stage text to that stage.
struct StageClock {
    std::map<std::string, double> milliseconds;
    std::string current;
    std::chrono::steady_clock::time_point since;

    void Enter(const char* stage) {
        Close();
        current = stage;
    }
    void Close() {
        const auto now = std::chrono::steady_clock::now();
        if (!current.empty()) milliseconds[current] += std::chrono::duration<double, std::milli>(now - since).count();
        current.clear();
        since = now;
    }
};

// Runs `work` on a fresh copy of the relief each iteration (the copy is not
// timed) and gives each stage's mean milliseconds as a counter.
template <typename Work>
void TimeStages(benchmark::State& state, const mesh::TriangleMesh& relief, Work work) {
    StageClock clock;
    for (auto _ : state) {
        state.PauseTiming();
        mesh::TriangleMesh part = relief;
        state.ResumeTiming();
        clock.since = std::chrono::steady_clock::now();
        work(part, [&](const char* stage) { clock.Enter(stage); });
        clock.Close();
    }
    for (const auto& [stage, ms] : clock.milliseconds) {
        state.counters[stage] = benchmark::Counter(ms / static_cast<double>(state.iterations()));
    }
    state.counters["triangles"] = static_cast<double>(relief.TriangleCount());
}

void BM_FixMeshForExport(benchmark::State& state) {
    mesh::ExportFixReport report;
    TimeStages(
        state, Relief(static_cast<std::uint32_t>(state.range(0))), [&](mesh::TriangleMesh& part, const auto& stage) {
            report = mesh::FixMeshForExport(part, mesh::ExportFixOptions{true, true, true, true, 40, 1.0f}, stage, 1);
        });
    std::vector<std::uint32_t> atStart =
        mesh::SelfIntersectingTriangles(Relief(static_cast<std::uint32_t>(state.range(0))), nullptr);
    std::sort(atStart.begin(), atStart.end());
    state.counters["crossingAtStart"] =
        static_cast<double>(std::unique(atStart.begin(), atStart.end()) - atStart.begin());
    state.counters["crossingFound"] = static_cast<double>(report.selfIntersectingFound);
    state.counters["crossingLeft"] = static_cast<double>(report.selfIntersectingLeft);
    state.counters["foldedFound"] = static_cast<double>(report.foldedFound);
    state.counters["foldedLeft"] = static_cast<double>(report.foldedLeft);
    state.counters["collapsed"] = static_cast<double>(report.trianglesCollapsed);
}
BENCHMARK(BM_FixMeshForExport)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_RepairMesh(benchmark::State& state) {
    mesh::RepairReport report;
    TimeStages(state, Relief(static_cast<std::uint32_t>(state.range(0))),
               [&](mesh::TriangleMesh& part, const auto& stage) { report = mesh::RepairMesh(part, stage); });
    state.counters["changed"] = report.changed ? 1 : 0;
    state.counters["rounds"] = report.rounds;
}
BENCHMARK(BM_RepairMesh)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
