// Export cleanup of a torus 100 mm across: clean; with 200 small holes and
// 200 zero-area triangles (a vertex moved onto its neighbour), which makes
// the weld passes and the hole filling run; and with 200 clusters of short
// edges (the neighbours of a vertex drawn to it), where joins made earlier
// in a pass change what the link condition of later ones sees.
#include <benchmark/benchmark.h>

#include <random>

#include "relief/repair/ExportCleanup.h"
#include "testing/Shapes.h"

using namespace ridgeforge::mesh;

namespace {

TriangleMesh Torus(std::int64_t around) {
    return ridgeforge::test::MakeTorus(35.0f, 15.0f, static_cast<std::uint32_t>(around),
                                       static_cast<std::uint32_t>(around / 2));
}

TriangleMesh Damaged(std::int64_t around) {
    TriangleMesh mesh = Torus(around);
    const std::size_t triangles = mesh.TriangleCount();
    const std::size_t stride = triangles / 200;
    // Collapse triangle k + stride / 2 by moving its first corner onto its second.
    for (std::size_t t = stride / 2; t < triangles; t += stride) {
        const std::uint32_t* c = &mesh.indices[3 * t];
        mesh.vertices[c[0]].position = mesh.vertices[c[1]].position;
    }
    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size());
    for (std::size_t t = 0; t < triangles; ++t) {
        if (t % stride != 0) kept.insert(kept.end(), &mesh.indices[3 * t], &mesh.indices[3 * t + 3]);
    }
    mesh.indices = std::move(kept);
    mesh.RecomputeBounds();
    return mesh;
}

TriangleMesh Clustered(std::int64_t around) {
    TriangleMesh mesh = Torus(around);
    std::mt19937 random(7);
    std::vector<bool> drawn(mesh.vertices.size(), false);
    std::vector<std::uint32_t> centres;
    for (int spot = 0; spot < 200; ++spot) centres.push_back(mesh.indices[3 * (random() % mesh.TriangleCount())]);
    for (const std::uint32_t centre : centres) {
        const Vec3f c = mesh.vertices[centre].position;
        for (std::size_t i = 0; i < mesh.indices.size(); ++i) {
            if (mesh.indices[i] != centre) continue;
            for (std::size_t j = 1; j < 3; ++j) {
                const std::uint32_t v = mesh.indices[i - i % 3 + (i % 3 + j) % 3];
                if (drawn[v]) continue;
                drawn[v] = true;
                Vec3f& p = mesh.vertices[v].position;
                p = c + (p - c) * 1e-4f;  // well within the weld tolerance below
            }
        }
    }
    mesh.RecomputeBounds();
    return mesh;
}

void BM_CleanupForExport(benchmark::State& state) {
    const TriangleMesh input = state.range(1) == 2   ? Clustered(state.range(0))
                               : state.range(1) == 1 ? Damaged(state.range(0))
                                                     : Torus(state.range(0));
    ExportCleanupReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = input;
        state.ResumeTiming();
        report = CleanupForExport(mesh, 1e-4f, ExportCleanupOptions{});
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["triangles"] = static_cast<double>(input.TriangleCount());
    state.counters["passes"] = static_cast<double>(report.passes);
    state.counters["merged"] = static_cast<double>(report.verticesMerged);
    state.counters["holesFilled"] = static_cast<double>(report.holesFilled);
    state.counters["holesLeftOpen"] = static_cast<double>(report.holesLeftOpen);
}
BENCHMARK(BM_CleanupForExport)
    ->ArgsProduct({{500, 1000}, {0, 1, 2}})
    ->ArgNames({"around", "damaged"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
