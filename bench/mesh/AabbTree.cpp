// Tree build and closest-point queries on a mesh of about a million triangles:
// a bumpy sphere, so that boxes overlap as on a real scanned part.
#include "mesh/AabbTree.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <execution>
#include <numeric>
#include <random>

using namespace ridgeforge::mesh;

namespace {

constexpr float kRadius = 50.0f;

// A latitude-longitude sphere with a ripple; rings x segments quads, pole caps as fans.
TriangleMesh MakeBumpySphere(int rings, int segments) {
    TriangleMesh m;
    const float pi = 3.14159265f;
    const auto radiusAt = [](float theta, float phi) {
        return kRadius * (1.0f + 0.02f * std::sin(13.0f * theta) * std::cos(17.0f * phi));
    };
    m.vertices.push_back({{0, 0, radiusAt(0, 0)}, {}});
    for (int i = 1; i < rings; ++i) {
        const float theta = pi * float(i) / float(rings);
        for (int j = 0; j < segments; ++j) {
            const float phi = 2.0f * pi * float(j) / float(segments);
            const float r = radiusAt(theta, phi);
            m.vertices.push_back(
                {{r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi), r * std::cos(theta)}, {}});
        }
    }
    m.vertices.push_back({{0, 0, -radiusAt(pi, 0)}, {}});
    const std::uint32_t south = std::uint32_t(m.vertices.size() - 1);
    const auto at = [segments](int ring, int j) { return std::uint32_t(1 + (ring - 1) * segments + (j % segments)); };
    for (int j = 0; j < segments; ++j) m.indices.insert(m.indices.end(), {0, at(1, j), at(1, j + 1)});
    for (int i = 1; i + 1 < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            m.indices.insert(m.indices.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            m.indices.insert(m.indices.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    for (int j = 0; j < segments; ++j)
        m.indices.insert(m.indices.end(), {south, at(rings - 1, j + 1), at(rings - 1, j)});
    return m;
}

const TriangleMesh& Sphere() {
    static const TriangleMesh mesh = MakeBumpySphere(501, 1000);  // 1,000,000 triangles
    return mesh;
}

void BM_AabbTreeBuild(benchmark::State& state) {
    const TriangleMesh& mesh = Sphere();
    for (auto _ : state) {
        AabbTree tree;
        tree.Build(mesh);
        benchmark::DoNotOptimize(tree.nodes.data());
    }
    state.counters["triangles"] = double(mesh.TriangleCount());
}
BENCHMARK(BM_AabbTreeBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs a million closest-point queries in parallel, as the remeshers project
// their vertices back onto the part.
void RunClosestPointQueries(benchmark::State& state, const std::vector<Vec3f>& points) {
    const TriangleMesh& mesh = Sphere();
    AabbTree tree;
    tree.Build(mesh);
    std::vector<std::uint32_t> index(points.size());
    std::iota(index.begin(), index.end(), 0u);
    std::vector<float> distance(points.size());
    for (auto _ : state) {
        std::for_each(std::execution::par, index.begin(), index.end(),
                      [&](std::uint32_t i) { distance[i] = tree.ClosestPoint(mesh, points[i]).distance; });
        benchmark::DoNotOptimize(distance.data());
    }
    state.counters["queries"] = double(points.size());
}

// One point per triangle, in mesh order, up to 0.5 mm (about two edge
// lengths) off its centroid along the normal: what a remesher asks, vertex
// after vertex through the mesh, so neighbouring queries share cached nodes.
void BM_AabbTreeClosestPoint1MAlongTheMesh(benchmark::State& state) {
    const TriangleMesh& mesh = Sphere();
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> offset(-0.5f, 0.5f);
    std::vector<Vec3f> points(mesh.TriangleCount());
    for (std::uint32_t t = 0; t < points.size(); ++t) {
        const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
        const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
        const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
        points[t] = (a + b + c) * 0.33333334f + mesh.FaceNormal(t) * offset(rng);
    }
    RunClosestPointQueries(state, points);
}
BENCHMARK(BM_AabbTreeClosestPoint1MAlongTheMesh)->Unit(benchmark::kMillisecond)->UseRealTime();

// A million points in random order within state.range(0) tenths of a
// millimetre of the surface: every query starts from cold caches.
void BM_AabbTreeClosestPoint1MScattered(benchmark::State& state) {
    const float offset = float(state.range(0)) * 0.1f;
    std::mt19937 rng(1);
    std::normal_distribution<float> direction(0.0f, 1.0f);
    std::uniform_real_distribution<float> shell(kRadius - offset, kRadius + offset);
    std::vector<Vec3f> points(1000000);
    for (Vec3f& p : points) p = Normalize({direction(rng), direction(rng), direction(rng)}) * shell(rng);
    RunClosestPointQueries(state, points);
}
BENCHMARK(BM_AabbTreeClosestPoint1MScattered)->Arg(5)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
