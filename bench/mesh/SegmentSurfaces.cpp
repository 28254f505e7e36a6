// Flat-surface search on parts of about a million triangles: a torus (curved
// and partly concave, so few planes survive the standing test), a smooth
// sphere (convex, so every large plane is checked against all vertices) and
// a noisy torus.
#include "mesh/SegmentSurfaces.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace ridgeforge::mesh;

namespace {

// A grid of u x v points placed by `place`, closed around u and, when
// `closeV`, around v too; two triangles a quad.
template <typename Place>
TriangleMesh MakeWrappedGrid(int u, int v, bool closeV, Place place) {
    TriangleMesh m;
    for (int i = 0; i < u; ++i)
        for (int j = 0; j < v; ++j) m.vertices.push_back({place(i, j), {}});
    const auto at = [&](int i, int j) { return std::uint32_t((i % u) * v + (j % v)); };
    for (int i = 0; i < u; ++i)
        for (int j = 0; j < (closeV ? v : v - 1); ++j)
            m.indices.insert(m.indices.end(),
                             {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    m.RecomputeBounds();
    return m;
}

const TriangleMesh& Torus() {
    static const TriangleMesh mesh = MakeWrappedGrid(1000, 500, true, [](int i, int j) {
        const float a = 6.2831853f * float(i) / 1000.0f, b = 6.2831853f * float(j) / 500.0f;
        const float r = 40.0f + 15.0f * std::cos(b);
        return Vec3f{r * std::cos(a), r * std::sin(a), 15.0f * std::sin(b)};
    });
    return mesh;
}

// The torus as a scanner gives it: every point off by up to 0.05 mm, so that
// almost every triangle starts a plane of its own (the index's worst case).
const TriangleMesh& NoisyTorus() {
    static const TriangleMesh mesh = [] {
        TriangleMesh m = Torus();
        std::uint32_t state = 1;
        for (Vertex& v : m.vertices) {
            state = state * 1664525u + 1013904223u;
            v.position.z += 0.1f * (float(state >> 8) / 16777216.0f - 0.5f);
        }
        return m;
    }();
    return mesh;
}

const TriangleMesh& Sphere() {
    // Rings between the poles only (no caps): the two small pole openings do
    // not matter for the search. Latitude runs south to north so that the
    // faces point outwards.
    static const TriangleMesh mesh = MakeWrappedGrid(1000, 501, false, [](int i, int j) {
        const float a = 6.2831853f * float(i) / 1000.0f, b = 3.1415927f * (1.0f - (float(j) + 0.5f) / 501.0f);
        return Vec3f{50.0f * std::sin(b) * std::cos(a), 50.0f * std::sin(b) * std::sin(a), 50.0f * std::cos(b)};
    });
    return mesh;
}

void RunSearch(benchmark::State& state, const TriangleMesh& mesh) {
    std::size_t found = 0;
    for (auto _ : state) {
        const std::vector<Surface> surfaces = SegmentSurfaces(mesh, {1.0f, 1.0f, 0.05f});
        found = surfaces.size();
        benchmark::DoNotOptimize(surfaces.data());
    }
    state.counters["triangles"] = double(mesh.TriangleCount());
    state.counters["surfaces"] = double(found);
}

void BM_SegmentSurfacesTorus(benchmark::State& state) { RunSearch(state, Torus()); }
void BM_SegmentSurfacesSphere(benchmark::State& state) { RunSearch(state, Sphere()); }
void BM_SegmentSurfacesNoisyTorus(benchmark::State& state) { RunSearch(state, NoisyTorus()); }

}  // namespace

BENCHMARK(BM_SegmentSurfacesTorus)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SegmentSurfacesSphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SegmentSurfacesNoisyTorus)->Unit(benchmark::kMillisecond);
