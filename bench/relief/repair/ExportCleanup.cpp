// Export cleanup of a torus 100 mm across: clean; with 200 small holes and
// 200 zero-area triangles (a vertex moved onto its neighbour), which makes
// the weld passes and the hole filling run; and with 200 clusters of short
// edges (the neighbours of a vertex drawn to it), where joins made earlier
// in a pass change what the link condition of later ones sees. Last, a
// double cone whose rim of 100 x around edges is all shorter than the
// tolerance: every triangle is a candidate, and the joins along the rim grow
// one class of vertices for as long as the weld lets them. And a tube with
// open ends of 20 x around corners, each filled as one hole.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "relief/repair/ExportCleanup.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"

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

TriangleMesh DoubleCone(std::int64_t around) {
    TriangleMesh mesh;
    const auto rim = static_cast<std::uint32_t>(100 * around);
    const float radius = 1e-4f * static_cast<float>(rim) / 6.2831853f * 0.5f;  // rim edges of half the tolerance
    for (std::uint32_t i = 0; i < rim; ++i) {
        const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(rim);
        mesh.vertices.push_back({{radius * std::cos(a), radius * std::sin(a), 0.0f}, {}});
    }
    mesh.vertices.push_back({{0, 0, 5}, {}});
    mesh.vertices.push_back({{0, 0, -5}, {}});
    for (std::uint32_t i = 0; i < rim; ++i) {
        const std::uint32_t j = (i + 1) % rim;
        mesh.indices.insert(mesh.indices.end(), {i, j, rim, j, i, rim + 1});
    }
    mesh.RecomputeBounds();
    return mesh;
}

void BM_CleanupForExport(benchmark::State& state) {
    // A tube 3 mm across and 20 mm long with open ends of 20 x around corners.
    const TriangleMesh input = state.range(1) == 4 ? ridgeforge::test::MakeOpenTube(
                                                         1.5f, 20.0f, 20 * static_cast<std::uint32_t>(state.range(0)))
                               : state.range(1) == 3 ? DoubleCone(state.range(0))
                               : state.range(1) == 2 ? Clustered(state.range(0))
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
    ->ArgsProduct({{500, 1000}, {0, 1, 2, 3, 4}})
    ->ArgNames({"around", "damaged"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
