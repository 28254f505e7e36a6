// The search for what a simplification damaged, on a fine plate whose every
// fiftieth vertex moved a little, beside one large triangle that moved too:
// few changed triangles of very different sizes, as a flat area merged into
// a few large triangles leaves them. The changed triangles' neighbourhood is
// looked up in a grid of their boxes; its cost should follow the plate.
#include <benchmark/benchmark.h>

#include <numeric>

#include "relief/repair/SimplifyDamage.h"
#include "testing/Shapes.h"

namespace {

using namespace ridgeforge;

struct DamageCase {
    mesh::TriangleMesh input, result;
    std::vector<std::uint32_t> vertexMap, faceMap;
};

DamageCase MakeCase(std::uint32_t divisions) {
    DamageCase c;
    c.input = test::MakeGridPlate(200.0f, divisions);
    const auto base = static_cast<std::uint32_t>(c.input.vertices.size());
    for (const mesh::Vec3f p : {mesh::Vec3f{0, 0, 100}, mesh::Vec3f{200, 0, 100}, mesh::Vec3f{0, 200, 100}})
        c.input.vertices.push_back({p, {0, 0, 1}});
    c.input.indices.insert(c.input.indices.end(), {base, base + 1, base + 2});
    c.input.RecomputeBounds();
    c.result = c.input;
    for (std::uint32_t v = 0; v < base; v += 50) c.result.vertices[v].position.x += 1e-4f;
    c.result.vertices[base].position.x -= 1.0f;
    c.vertexMap.resize(c.result.vertices.size());
    c.faceMap.resize(c.result.TriangleCount());
    std::iota(c.vertexMap.begin(), c.vertexMap.end(), 0u);
    std::iota(c.faceMap.begin(), c.faceMap.end(), 0u);
    return c;
}

void BM_FindSimplifyDamage(benchmark::State& state) {
    const DamageCase c = MakeCase(static_cast<std::uint32_t>(state.range(0)));
    std::size_t found = 0;
    for (auto _ : state) {
        found = mesh::FindSimplifyDamage(c.input, c.result, c.vertexMap, c.faceMap).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["triangles"] = static_cast<double>(c.input.TriangleCount());
    state.counters["damaged"] = static_cast<double>(found);
}
BENCHMARK(BM_FindSimplifyDamage)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
