// Remesh by contouring on parts of realistic size: a closed part of about a
// million triangles contoured at several grid sizes, and a small cube at a
// fine cell. The peak resident size is reported as a counter (it only grows,
// so the sizes run from small to large).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <numbers>

#include "mesh/remesh/RemeshByContour.h"
#include "testing/Shapes.h"

namespace {

using namespace ridgeforge::mesh;

// A closed UV sphere of radius 50 mm with rings x segments x 2 triangles
// (less the pole fans' halves).
TriangleMesh MakeSphere(int rings, int segments) {
    TriangleMesh m;
    m.vertices.push_back({{0, 0, 50}, {}});
    for (int r = 1; r < rings; ++r) {
        const double theta = std::numbers::pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double phi = 2.0 * std::numbers::pi * s / segments;
            m.vertices.push_back(
                {{static_cast<float>(50 * std::sin(theta) * std::cos(phi)),
                  static_cast<float>(50 * std::sin(theta) * std::sin(phi)), static_cast<float>(50 * std::cos(theta))},
                 {}});
        }
    }
    m.vertices.push_back({{0, 0, -50}, {}});
    const auto at = [segments](int r, int s) {
        return static_cast<std::uint32_t>(1 + (r - 1) * segments + (s % segments));
    };
    const auto south = static_cast<std::uint32_t>(m.vertices.size() - 1);
    for (int s = 0; s < segments; ++s) m.indices.insert(m.indices.end(), {0, at(1, s), at(1, s + 1)});
    for (int r = 1; r + 1 < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            m.indices.insert(m.indices.end(), {at(r, s), at(r + 1, s), at(r + 1, s + 1)});
            m.indices.insert(m.indices.end(), {at(r, s), at(r + 1, s + 1), at(r, s + 1)});
        }
    }
    for (int s = 0; s < segments; ++s)
        m.indices.insert(m.indices.end(), {south, at(rings - 1, s + 1), at(rings - 1, s)});
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

TriangleMesh MakeCube(float edge) {
    TriangleMesh m;
    for (int i = 0; i < 8; ++i) {
        m.vertices.push_back({{(i & 1) ? edge : 0.0f, (i & 2) ? edge : 0.0f, (i & 4) ? edge : 0.0f}, {}});
    }
    m.indices = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                 2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
    m.RecomputeBounds();
    return m;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

const TriangleMesh& MillionTriangleSphere() {
    static const TriangleMesh sphere = MakeSphere(708, 708);  // 1,001,112 triangles
    return sphere;
}

void RemeshMillionTriangles(benchmark::State& state) {
    const TriangleMesh& part = MillionTriangleSphere();
    const auto cells = static_cast<float>(state.range(0));
    RemeshSettings settings;
    settings.targetEdgeMillimetres = 100.0f / cells;
    std::uint64_t after = 0;
    for (auto _ : state) {
        TriangleMesh mesh = part;
        const RemeshReport report = RemeshByContour(mesh, settings, {});
        after = report.trianglesAfter;
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["trianglesIn"] = static_cast<double>(part.indices.size() / 3);
    state.counters["trianglesOut"] = static_cast<double>(after);
    state.counters["peakMB"] = PeakResidentMegabytes();
}
BENCHMARK(RemeshMillionTriangles)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A ring 94 mm across, 24 mm thick: about half the sphere's surface in a
// flatter box, closer to a typical part.
void RemeshMillionTriangleRing(benchmark::State& state) {
    static const TriangleMesh ring = ridgeforge::test::MakeTorus(35.0f, 12.0f, 1000, 500);  // 1,000,000 triangles
    RemeshSettings settings;
    settings.targetEdgeMillimetres = (ring.boundsMax.x - ring.boundsMin.x) / static_cast<float>(state.range(0));
    std::uint64_t after = 0;
    for (auto _ : state) {
        TriangleMesh mesh = ring;
        after = RemeshByContour(mesh, settings, {}).trianglesAfter;
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["trianglesOut"] = static_cast<double>(after);
    state.counters["peakMB"] = PeakResidentMegabytes();
}
BENCHMARK(RemeshMillionTriangleRing)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

void RemeshCubeFine(benchmark::State& state) {
    const TriangleMesh cube = MakeCube(20.0f);
    RemeshSettings settings;
    settings.targetEdgeMillimetres = 0.2f;
    std::uint64_t after = 0;
    for (auto _ : state) {
        TriangleMesh mesh = cube;
        after = RemeshByContour(mesh, settings, {}).trianglesAfter;
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["trianglesOut"] = static_cast<double>(after);
}
BENCHMARK(RemeshCubeFine)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
