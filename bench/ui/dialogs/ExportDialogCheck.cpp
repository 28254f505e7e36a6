// The Save STL dialog's whole check of a clean part, as its worker runs it:
// cleanup, fixes and read-back rounds, then the document's pre-save checks.
// The part is a closed 50 x 50 x 20 mm grid box of about 62,000, 250,000 and
// 1,000,000 triangles; the copy the dialog makes on its own thread first is
// timed apart ("copy_ms"), since the user waits for it too.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>

#include "ui/dialogs/ExportDialog.h"
#include "document/ExportCheck.h"
#include "ui/framework/BackgroundJobs.h"
#include "testing/Shapes.h"

namespace {

using namespace ridgeforge;

const mesh::TriangleMesh& CleanPart(std::int64_t n) {
    static std::map<std::int64_t, mesh::TriangleMesh> made;
    auto it = made.find(n);
    if (it == made.end()) {
        mesh::TriangleMesh m = test::MakeGridBox({0, 0, 0}, {50, 50, 20}, static_cast<std::uint32_t>(n));
        m.RecomputeBounds();
        it = made.emplace(n, std::move(m)).first;
    }
    return it->second;
}

void BM_RunCheckCleanPart(benchmark::State& state) {
    const mesh::TriangleMesh& part = CleanPart(state.range(0));
    mesh::DisplacementBase base;
    base.enabled = true;
    base.planeMillimetres = part.boundsMin.z;
    ExportCheckInputs inputs;
    inputs.weldToleranceMillimetres = 5e-5f;
    inputs.bodyCount = 1;
    const ExportCheckFunction check = [base](const mesh::TriangleMesh& m, std::wstring& text) {
        return ExportCheckReport(m, base, text);
    };
    double copyMilliseconds = 0.0;
    bool passed = false;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto copy = std::make_shared<mesh::TriangleMesh>(part);
        copyMilliseconds += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        auto shared = std::make_shared<CExportDialog::Shared>();
        ++ui::BackgroundJobCount();  // as the dialog raises it before its worker runs
        CExportDialog::RunCheck(shared, nullptr, 1, std::move(copy), inputs, check, {});
        passed = shared->checksPassed;
        benchmark::DoNotOptimize(shared->mesh);
    }
    state.counters["copy_ms"] = copyMilliseconds / static_cast<double>(state.iterations());
    state.counters["passed"] = passed ? 1 : 0;
    state.counters["triangles"] = static_cast<double>(part.TriangleCount());
}
BENCHMARK(BM_RunCheckCleanPart)
    ->Arg(72)
    ->Arg(144)
    ->Arg(289)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
