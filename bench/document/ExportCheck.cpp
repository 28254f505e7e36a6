// The export check on a relief: a 50 x 50 x 20 mm grid box whose vertices are
// moved along their normals by the Bricks texture (0.4 mm deep, 5 mm tiles),
// of about 62,000, 250,000 and 1,000,000 triangles. The report's benchmark
// gives each check's milliseconds as counters; the rounds' benchmark gives
// each stage's milliseconds (measured between the stage texts), the rounds
// run and what the first round's fixes found; the whole run's benchmark adds
// the pre-save check after the rounds, as the Save STL dialog's worker does,
// and is run as well on a tube whose open ends are filled as fans.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>

#include "document/ExportCheck.h"
#include "document/ExportCheckWorker.h"
#include "testing/ReliefShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "text/Utf8.h"

namespace {

using namespace ridgeforge;

mesh::TriangleMesh MakeRelief(std::uint32_t n) {
    mesh::TriangleMesh m = test::MakeGridBox({0, 0, 0}, {50, 50, 20}, n);
    const std::vector<float> heights = test::TextureHeights(m, "Bricks", 5.0f, 0.4f);
    for (std::size_t v = 0; v < m.vertices.size(); ++v) m.vertices[v].position += m.vertices[v].normal * heights[v];
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

const mesh::TriangleMesh& Relief(std::int64_t n) {
    static std::map<std::int64_t, mesh::TriangleMesh> made;
    auto it = made.find(n);
    if (it == made.end()) it = made.emplace(n, MakeRelief(static_cast<std::uint32_t>(n))).first;
    return it->second;
}

mesh::DisplacementBase BaseUnder(const mesh::TriangleMesh& m) {
    mesh::DisplacementBase base;
    base.enabled = true;
    base.planeMillimetres = m.boundsMin.z;
    return base;
}

void BM_ExportCheckReport(benchmark::State& state) {
    const mesh::TriangleMesh& relief = Relief(state.range(0));
    const mesh::DisplacementBase base = BaseUnder(relief);
    ExportCheckTimes sum;
    bool passed = false;
    for (auto _ : state) {
        std::wstring text;
        ExportCheckTimes times;
        passed = ExportCheckReport(relief, base, text, times);
        sum.validation += times.validation;
        sum.crossings += times.crossings;
        sum.folds += times.folds;
        sum.base += times.base;
        sum.support += times.support;
        benchmark::DoNotOptimize(text);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["validation_ms"] = sum.validation / runs;
    state.counters["crossings_ms"] = sum.crossings / runs;
    state.counters["folds_ms"] = sum.folds / runs;
    state.counters["base_ms"] = sum.base / runs;
    state.counters["support_ms"] = sum.support / runs;
    state.counters["passed"] = passed ? 1 : 0;
    state.counters["triangles"] = static_cast<double>(relief.TriangleCount());
}
BENCHMARK(BM_ExportCheckReport)
    ->Arg(72)
    ->Arg(144)
    ->Arg(289)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// Adds the time since the last stage text to that stage.
struct StageClock {
    std::map<std::string, double> milliseconds;
    std::string current;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();

    void Enter(const std::string& stage) {
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

void BM_ExportCheckRounds(benchmark::State& state) {
    const mesh::TriangleMesh& relief = Relief(state.range(0));
    ExportCheckInputs inputs;
    inputs.weldToleranceMillimetres = 5e-5f;
    inputs.bodyCount = 1;
    const std::atomic<bool> stop{false};
    StageClock clock;
    ExportCheckResult result;
    int rounds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mesh::TriangleMesh copy = relief;
        rounds = 0;
        state.ResumeTiming();
        clock.since = std::chrono::steady_clock::now();
        result = RunExportCheck(
            std::move(copy), inputs,
            [&](const std::wstring& stage) {
                const std::string name = Utf8FromWide(stage);
                rounds += name == "Reading the file back as a slicer will...";
                clock.Enter(name);
            },
            nullptr, stop);
        clock.Close();
    }
    for (const auto& [stage, ms] : clock.milliseconds) {
        state.counters[stage] = benchmark::Counter(ms / static_cast<double>(state.iterations()));
    }
    state.counters["rounds"] = rounds;
    state.counters["crossingFound"] = static_cast<double>(result.fixes.selfIntersectingFound);
    state.counters["crossingLeft"] = static_cast<double>(result.fixes.selfIntersectingLeft);
    state.counters["foldedFound"] = static_cast<double>(result.fixes.foldedFound);
    state.counters["triangles"] = static_cast<double>(relief.TriangleCount());
}
BENCHMARK(BM_ExportCheckRounds)
    ->Arg(72)
    ->Arg(144)
    ->Arg(289)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The Save STL dialog's whole run on a part: the rounds, then the check.
void WholeRun(benchmark::State& state, const mesh::TriangleMesh& part) {
    const mesh::DisplacementBase base = BaseUnder(part);
    ExportCheckInputs inputs;
    inputs.weldToleranceMillimetres = 5e-5f;
    inputs.bodyCount = 1;
    const std::atomic<bool> stop{false};
    const ExportCheckFunction check = [base](const mesh::TriangleMesh& m, std::wstring& text) {
        return ExportCheckReport(m, base, text);
    };
    ExportCheckResult result;
    for (auto _ : state) {
        state.PauseTiming();
        mesh::TriangleMesh copy = part;
        state.ResumeTiming();
        result = RunExportCheck(std::move(copy), inputs, nullptr, check, stop);
    }
    state.counters["passed"] = result.checksPassed ? 1 : 0;
    state.counters["triangles"] = static_cast<double>(part.TriangleCount());
}

void BM_ExportCheckWholeRun(benchmark::State& state) { WholeRun(state, Relief(state.range(0))); }
BENCHMARK(BM_ExportCheckWholeRun)
    ->Arg(72)
    ->Arg(144)
    ->Arg(289)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// A tube 3 mm across whose two open ends of `corners` corners each are
// filled as holes: every fill is a fan of that many triangles about one
// corner, which the fixes and the check then look at.
void BM_ExportCheckOpenTube(benchmark::State& state) {
    static std::map<std::int64_t, mesh::TriangleMesh> made;
    auto it = made.find(state.range(0));
    if (it == made.end()) {
        it = made.emplace(state.range(0), test::MakeOpenTube(1.5f, 20.0f, static_cast<std::uint32_t>(state.range(0))))
                 .first;
    }
    WholeRun(state, it->second);
}
BENCHMARK(BM_ExportCheckOpenTube)
    ->ArgName("corners")
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
